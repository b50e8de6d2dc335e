#include "platform/exit.h"

#include <cstdio>

namespace platform {

void process_exit(int status) {
  std::fflush(stdout);
  throw ProcessExit{status};
}

}  // namespace platform
