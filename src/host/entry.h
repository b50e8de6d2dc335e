// The tidalhall program: command line, backend, capture, then the show.
#pragma once

// Returns the process's exit status.
int tidalhall_main(int argc, const char* const* argv);
