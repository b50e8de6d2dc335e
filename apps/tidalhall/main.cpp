// The show. The host does the work; this only hands it the command line.
#include <cstdio>

int main(int, char**) {
  std::fprintf(stderr, "tidalhall: the host is not built yet\n");
  return 1;
}
