// tidalhall-inspect FILE [--png OUT.png]: what the show's readers see in a data file.
#include <cstdio>
#include <cstring>
#include <string>

#include "inspect.h"
#include "platform/exit.h"

namespace {

bool has_extension(const std::string& path, const char* ext) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.size() - dot - 1 != std::strlen(ext)) return false;
  for (size_t i = 0; ext[i]; ++i) {
    char c = path[dot + 1 + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != ext[i]) return false;
  }
  return true;
}

void usage(FILE* out) {
  std::fprintf(
      out,
      "usage: tidalhall-inspect FILE [--png OUT.png] [--frame F] [--camera C]\n"
      "  .3ds: the World the loader builds (meshes, materials, cameras, lights, nodes);\n"
      "        --png renders it at keyframe F from camera C\n"
      "  pictures (.jpg .pcx .tga .bmp .lbm .rix .cel): the size; --png the decoded pixels\n"
      "  .qub: the motion tracks and their frames\n"
      "  .amf: the morph grid's size and points; --png draws both grids over the portraits\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    usage(stdout);
    return 0;
  }
  if (argc < 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "tidalhall-inspect: name a data file first (see --help)\n");
    return 2;
  }
  const std::string path = argv[1];
  try {
    if (has_extension(path, "3ds")) return inspect_3ds(path, argc, argv);
    if (has_extension(path, "amf")) return inspect_morph(path, argc, argv);
    return inspect_asset(path, argc, argv);
  } catch (const platform::ProcessExit& e) {
    return e.status;
  }
}
