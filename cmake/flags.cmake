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

# Release builds with GCC are optimised at link time: the pipeline's many small calls per
# vertex, triangle and mesh cross files and libraries, and only the linker can inline them.
# Every compile option above stays (frames stay the same). Libraries of leaf loops opt out
# (th_library's LEAF_LOOPS). The sanitizer and fuzz trees, built with clang, are left as they
# are.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND NOT TH_SANITIZE AND NOT TH_FUZZ)
  include(CheckIPOSupported)
  check_ipo_supported(RESULT th_ipo LANGUAGES CXX)
  if(th_ipo)
    set(CMAKE_INTERPROCEDURAL_OPTIMIZATION_RELEASE ON)
  endif()
endif()

# th_library(NAME [LEAF_LOOPS] DEPS ...): a static library from every .cpp in src/NAME.
# LEAF_LOOPS: compiled as it stands, without link-time optimisation. Its kernels are loops
# that call little, so they gain nothing from it, and the move to the final link shifts their
# loops' alignment, which their speed depends on (one blend ran 1.3 times slower).
function(th_library name)
  cmake_parse_arguments(TL "LEAF_LOOPS" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*/*.cpp)
  if(NOT srcs)
    # A subsystem that has only headers so far.
    add_library(th_${name} INTERFACE)
    target_include_directories(th_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(th_${name} INTERFACE ${TL_DEPS})
    return()
  endif()
  add_library(th_${name} STATIC ${srcs})
  if(TL_LEAF_LOOPS)
    set_target_properties(th_${name} PROPERTIES INTERPROCEDURAL_OPTIMIZATION_RELEASE OFF)
  endif()
  target_include_directories(th_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(th_${name} PUBLIC ${TL_DEPS} PRIVATE ${TL_PRIVATE_DEPS})
endfunction()
