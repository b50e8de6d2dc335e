# Frames must come out bit for bit the same on every build: no fused multiply-add,
# no fast-math, no host-specific instruction set (SSE2 is the x86-64 baseline).
add_compile_options(-Wall -Wextra -ffp-contract=off -fno-fast-math)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64")
  add_compile_options(-msse2)
endif()
if(TH_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Release builds with GCC are optimised across the libraries at link time: the pipeline's
# small per-vertex and per-triangle calls cross subsystem files. It keeps every option above
# (frames stay the same) and costs about a minute of linking. The sanitizer and fuzz trees,
# built with clang, are left as they are.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND NOT TH_SANITIZE AND NOT TH_FUZZ)
  include(CheckIPOSupported)
  check_ipo_supported(RESULT th_ipo LANGUAGES CXX)
  if(th_ipo)
    set(CMAKE_INTERPROCEDURAL_OPTIMIZATION_RELEASE ON)
  endif()
endif()

# th_library(NAME DEPS ...): a static library from every .cpp in src/NAME.
function(th_library name)
  cmake_parse_arguments(TL "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*/*.cpp)
  if(NOT srcs)
    # A subsystem that has only headers so far.
    add_library(th_${name} INTERFACE)
    target_include_directories(th_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(th_${name} INTERFACE ${TL_DEPS})
    return()
  endif()
  add_library(th_${name} STATIC ${srcs})
  target_include_directories(th_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(th_${name} PUBLIC ${TL_DEPS} PRIVATE ${TL_PRIVATE_DEPS})
endfunction()
