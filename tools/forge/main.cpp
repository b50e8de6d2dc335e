// tidalhall-forge OUTDIR [--seed N] [--only PART]: writes the stand-in data set.
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <string>

#include "forge.h"

static int usage(const char* msg) {
  std::fprintf(stderr, "tidalhall-forge: %s (try --help)\n", msg);
  return 2;
}

int main(int argc, char** argv) {
  std::string out, only;
  uint64_t seed = 1;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::printf("usage: tidalhall-forge OUTDIR [--seed N] [--only PART]\n\nparts:\n");
      for (const auto& p : forge::parts()) std::printf("  %-10s %s\n", p.name, p.what);
      return 0;
    } else if ((a == "--seed" || a == "--only") && i + 1 == argc) {
      return usage((a + " needs a value").c_str());
    } else if (a == "--seed") {
      // strtoull would take "-1" as a huge seed and clamp what overflows: refuse both.
      const char* v = argv[++i];
      char* end = nullptr;
      errno = 0;
      seed = std::strtoull(v, &end, 10);
      if (*v < '0' || *v > '9' || *end || errno == ERANGE)
        return usage("--seed takes a whole number");
    } else if (a == "--only") {
      only = argv[++i];
    } else if (!a.empty() && a[0] == '-') {
      return usage(("unknown option " + a).c_str());
    } else if (out.empty()) {
      out = a;
    } else {
      return usage("one output folder only");
    }
  }
  if (out.empty()) return usage("no output folder");

  bool found = only.empty();
  for (const auto& p : forge::parts()) found |= only == p.name;
  if (!found) return usage(("no part named " + only).c_str());

  const bool tty = isatty(2);
  auto t0 = std::chrono::steady_clock::now();
  forge::Forge f(out, seed);
  try {
    const auto& all = forge::parts();
    for (size_t i = 0; i < all.size(); ++i) {
      if (!only.empty() && only != all[i].name) continue;
      if (tty)
        std::fprintf(stderr, "\r[%-20s] %zu/%zu %s   ",
                     std::string(20 * i / all.size(), '#').c_str(), i, all.size(), all[i].name);
      all[i].make(f);
    }
    if (tty) std::fprintf(stderr, "\r[%s] done%30s\n", std::string(20, '#').c_str(), "");
    if (only.empty()) std::ofstream(f.path(".complete")) << seed << "\n";
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tidalhall-forge: %s\n", e.what());
    return 1;
  }
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("forge: %zu files, %llu bytes, %.2f s\n", f.files(),
              static_cast<unsigned long long>(f.bytes()), secs);
  return 0;
}
