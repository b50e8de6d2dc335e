// The one place where the show's data file names meet the file system.
#pragma once
#include <cstdio>
#include <string>

namespace platform {

// The folder that holds the show's data (3d, gfx, textures, music, ...).
void set_data_dir(const std::string& dir);
const std::string& data_dir();

// Turns a name as the show spells it ("3d\\catwalk.3ds") into a path under the data
// folder ("<data>/3d/catwalk.3ds"). Absolute names are kept as they are.
std::string data_path(const char* show_name);

// fopen() on data_path(show_name).
FILE* data_fopen(const char* show_name, const char* mode);

}  // namespace platform
