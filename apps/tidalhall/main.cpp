// The show. The host does the work; this only hands it the command line.
#include "host/entry.h"

int main(int argc, char** argv) {
  return tidalhall_main(argc, argv);
}
