// Shared by the forge's media tests: one generated data set per build of the tests, and
// decoding through ImageMagick.
#pragma once
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "forge.h"

namespace forgemedia_test {

namespace fs = std::filesystem;

inline double run_forge(const fs::path& out, uint64_t seed, const std::string& only = "") {
  auto t0 = std::chrono::steady_clock::now();
  forge::Forge f(out, seed);
  for (const auto& p : forge::parts())
    if (only.empty() || only == p.name) p.make(f);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The data set made with seed 1, made again whenever this test program is newer than it.
// ctest runs tests as separate processes, maybe at once: a lock keeps them from racing.
inline const fs::path& data_dir() {
  static const fs::path dir = [] {
    fs::path d = fs::path(TH_BINARY_DIR) / "tests" / "forgemedia-data";
    fs::create_directories(d.parent_path());
    int lock = ::open((d.string() + ".lock").c_str(), O_CREAT | O_RDWR, 0644);
    if (lock >= 0) ::flock(lock, LOCK_EX);
    const fs::path stamp = d / ".complete";
    const auto exe_time = fs::last_write_time("/proc/self/exe");
    if (!fs::exists(stamp) || fs::last_write_time(stamp) < exe_time) {
      fs::remove_all(d);
      double secs = run_forge(d, 1);
      std::printf("[ forge    ] whole data set made in %.2f s\n", secs);
      std::ofstream(stamp) << secs << "\n";
    }
    if (lock >= 0) ::close(lock);
    return d;
  }();
  return dir;
}

inline fs::path file(const std::string& show_name) {
  std::string n = show_name;
  for (char& c : n)
    if (c == '\\') c = '/';
  return data_dir() / n;
}

inline std::string shell_quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// The picture as ImageMagick decodes it: w x h x 3 bytes, or empty when it fails.
// `raw_size` "WxH" reads a headerless RGB file.
inline std::vector<uint8_t> magick_rgb(const fs::path& p, int w, int h,
                                       const std::string& raw_size = "") {
  std::string src = raw_size.empty()
                        ? shell_quote(p.string())
                        : "-size " + raw_size + " -depth 8 " + shell_quote("rgb:" + p.string());
  // ImageMagick marks a bottom-up TGA as such instead of turning it: -auto-orient turns it.
  std::string cmd = "convert " + src + " -auto-orient -depth 8 rgb:- 2>/dev/null";
  FILE* pipe = ::popen(cmd.c_str(), "r");
  if (!pipe) return {};
  std::vector<uint8_t> out(static_cast<size_t>(w) * h * 3 + 1);
  size_t got = std::fread(out.data(), 1, out.size(), pipe);
  int rc = ::pclose(pipe);
  if (rc != 0 || got != out.size() - 1) return {};
  out.pop_back();
  return out;
}

inline bool have_magick() {
  static const bool ok = std::system("convert -version >/dev/null 2>&1") == 0;
  return ok;
}

// Without ImageMagick the comparison is skipped, except on CI where a missing tool fails.
#define FORGEMEDIA_NEED_MAGICK()                                               \
  do {                                                                         \
    if (!forgemedia_test::have_magick()) {                                     \
      const char* ci = std::getenv("CI");                                      \
      if (ci && std::string(ci) == "true") FAIL() << "ImageMagick is missing"; \
      GTEST_SKIP() << "ImageMagick (convert) is not installed";                \
    }                                                                          \
  } while (0)

}  // namespace forgemedia_test
