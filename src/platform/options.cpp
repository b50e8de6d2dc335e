#include "platform/options.h"

namespace platform {

RunOptions& run_options() {
  static RunOptions options;
  return options;
}

}  // namespace platform
