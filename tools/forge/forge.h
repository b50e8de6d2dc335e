// The forge: writes the show's stand-in data set, part by part, deterministically.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace forge {

// A small, fast, portable generator (splitmix64) so that the same seed gives the same
// bytes on every machine and library version.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t next();
  double uniform();                      // [0, 1)
  double uniform(double lo, double hi);  // [lo, hi)
  int range(int lo, int hi);             // [lo, hi]
 private:
  uint64_t state_;
};

class Forge {
 public:
  Forge(std::filesystem::path out, uint64_t seed);

  const std::filesystem::path& out() const { return out_; }
  uint64_t seed() const { return seed_; }
  // A generator of its own for each named thing, so parts do not disturb each other.
  Rng rng(const std::string& name) const;
  // The path a file the show names ("3d\\catwalk.3ds") has in the output folder.
  std::filesystem::path path(const std::string& show_name) const;
  // Writes a file the show names; makes its folder; counts it for the summary.
  void write(const std::string& show_name, const std::vector<uint8_t>& bytes);
  // Counts a file a writer put at path(show_name) itself.
  void wrote(const std::string& show_name);

  size_t files() const { return files_; }
  uint64_t bytes() const { return bytes_; }

 private:
  std::filesystem::path out_;
  uint64_t seed_;
  size_t files_ = 0;
  uint64_t bytes_ = 0;
};

// One part of the data set (--only PART): a name and the routine that writes its files.
struct Part {
  const char* name;
  const char* what;
  void (*make)(Forge&);
};
const std::vector<Part>& parts();

}  // namespace forge
