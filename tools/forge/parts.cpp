#include "forge.h"

namespace forge {

// The parts of the data set, in the order they are made.
const std::vector<Part>& parts() {
  static const std::vector<Part> all = {
  };
  return all;
}

}  // namespace forge
