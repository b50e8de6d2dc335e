// tidalhall-inspect FILE [--png OUT.png]: what the show's readers see in a data file.
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tidalhall-inspect FILE [--png OUT.png]\n");
    return 2;
  }
  std::fprintf(stderr, "tidalhall-inspect: no reader for %s yet\n", argv[1]);
  return 1;
}
