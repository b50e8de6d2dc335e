#include "platform/clock.h"

#include <chrono>
#include <cmath>

namespace platform {
namespace {

const auto process_start = std::chrono::steady_clock::now();
bool virtual_on = false;
double virtual_seconds = 0.0;

}  // namespace

uint32_t time_get_time() {
  if (virtual_on) return static_cast<uint32_t>(std::floor(virtual_seconds * 1000.0));
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                  process_start);
  return static_cast<uint32_t>(ms.count());
}

void virtual_clock_enable(double seconds) {
  virtual_on = true;
  virtual_seconds = seconds;
}

bool virtual_clock_enabled() {
  return virtual_on;
}

void virtual_clock_set(double seconds) {
  virtual_seconds = seconds;
}

double virtual_clock_seconds() {
  return virtual_seconds;
}

}  // namespace platform
