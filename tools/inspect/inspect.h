// tidalhall-inspect: one file per kind of data the show reads.
#pragma once
#include <string>

// Pictures (any extension the picture readers take) and .qub motion files: prints what the
// readers see, one fact a line; `argc`/`argv` are the whole command line (for --png).
// Returns the exit status.
int inspect_asset(const std::string& path, int argc, char** argv);
