// The tidalhall command line: options into RunOptions, the show's bare words into the
// music's command line.
#pragma once
#include <string>

#include "platform/options.h"

struct CommandLine {
  bool help = false;
  bool version = false;
  bool test_card = false;
  bool data_given = false;
  std::string error;  // set when the command line cannot be used
};

// Fills options from argv; false (with error set) on a command line it cannot use.
// The default data folder is resolved here too.
bool parse_command_line(int argc, const char* const* argv, platform::RunOptions& options,
                        CommandLine& result);

const char* help_text();

// The data folder when --data is not given: the current folder when it holds the
// soundtrack, else the data set the build makes.
std::string default_data_dir();
