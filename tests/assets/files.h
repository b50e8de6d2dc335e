// Small helpers for tests that write picture and motion files byte by byte.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/exit.h"

namespace assets_test {

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void put32(Bytes& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}
inline void put_be16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v >> 8));
  b.push_back(static_cast<uint8_t>(v));
}
inline void put_be32(Bytes& b, uint32_t v) {
  put_be16(b, v >> 16);
  put_be16(b, v & 0xFFFF);
}
inline void put_text(Bytes& b, const std::string& s) {
  b.insert(b.end(), s.begin(), s.end());
}

// A fresh folder per test process under the build tree (ctest runs the cases of one
// binary in parallel processes), removed when the process ends.
inline std::filesystem::path scratch_dir() {
  struct Folder {
    std::filesystem::path path;
    Folder() {
      path = std::filesystem::path(TH_BINARY_DIR) / "tests" /
             ("assets-scratch-" + std::to_string(getpid()));
      std::filesystem::remove_all(path);
      std::filesystem::create_directories(path);
    }
    ~Folder() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  };
  static const Folder folder;
  return folder.path;
}

inline std::string write_file(const std::string& name, const Bytes& bytes) {
  std::string path = (scratch_dir() / name).string();
  FILE* f = std::fopen(path.c_str(), "wb");
  EXPECT_NE(f, nullptr) << path;
  if (f) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  return path;
}

inline Bytes read_file(const std::string& path) {
  Bytes b;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return b;
  int c;
  while ((c = std::fgetc(f)) != EOF) b.push_back(static_cast<uint8_t>(c));
  std::fclose(f);
  return b;
}

struct Ended {
  int status = -1;  // -1: the call returned normally
  std::string output;
};

// Runs `call`, capturing standard output and the status of a process_exit.
inline Ended run_capturing(const std::function<void()>& call) {
  Ended ended;
  testing::internal::CaptureStdout();
  try {
    call();
  } catch (const platform::ProcessExit& e) {
    ended.status = e.status;
  }
  ended.output = testing::internal::GetCapturedStdout();
  return ended;
}

}  // namespace assets_test
