#include "forge.h"

#include <fstream>
#include <stdexcept>

namespace forge {

uint64_t Rng::next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double Rng::uniform() {
  return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0);
}

double Rng::uniform(double lo, double hi) {
  return lo + (hi - lo) * uniform();
}

int Rng::range(int lo, int hi) {
  return lo + static_cast<int>(next() % static_cast<uint64_t>(hi - lo + 1));
}

Forge::Forge(std::filesystem::path out, uint64_t seed) : out_(std::move(out)), seed_(seed) {}

Rng Forge::rng(const std::string& name) const {
  uint64_t h = 1469598103934665603ull;  // FNV-1a of the name, mixed with the seed
  for (unsigned char c : name) h = (h ^ c) * 1099511628211ull;
  return Rng(h ^ (seed_ * 0x9E3779B97F4A7C15ull));
}

std::filesystem::path Forge::path(const std::string& show_name) const {
  std::string name = show_name;
  for (char& c : name)
    if (c == '\\') c = '/';
  return out_ / name;
}

void Forge::write(const std::string& show_name, const std::vector<uint8_t>& bytes) {
  auto p = path(show_name);
  std::filesystem::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + p.string());
  ++files_;
  bytes_ += bytes.size();
}

void Forge::wrote(const std::string& show_name) {
  ++files_;
  bytes_ += std::filesystem::file_size(path(show_name));
}

}  // namespace forge
