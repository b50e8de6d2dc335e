#include "platform/files.h"

namespace platform {
namespace {
std::string data_folder = ".";
}

void set_data_dir(const std::string& dir) {
  data_folder = dir.empty() ? "." : dir;
}

const std::string& data_dir() {
  return data_folder;
}

std::string data_path(const char* show_name) {
  std::string name = show_name ? show_name : "";
  for (char& c : name)
    if (c == '\\') c = '/';
  if (!name.empty() && name[0] == '/') return name;
  if (data_folder == ".") return name;
  return data_folder + "/" + name;
}

FILE* data_fopen(const char* show_name, const char* mode) {
  return std::fopen(data_path(show_name).c_str(), mode);
}

}  // namespace platform
