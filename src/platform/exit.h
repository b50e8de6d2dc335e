// Ending the process from deep inside a reader. The show's readers print their message
// and end the process with a status; we throw instead, so main() can unwind, tools can
// report the status, and tests and fuzzers can catch it.
#pragma once

namespace platform {

struct ProcessExit {
  int status;
};

// Flushes standard output and throws ProcessExit{status}. Callers print their message first.
[[noreturn]] void process_exit(int status);

}  // namespace platform
