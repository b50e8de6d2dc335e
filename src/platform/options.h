// How this run of the show was asked to behave: the command line's options, read once by
// the program's entry and consulted by the platform stand-ins.
#pragma once
#include <string>

namespace platform {

struct RunOptions {
  std::string data_dir;    // --data (resolved)
  bool fullscreen = true;  // --fullscreen / --window
  int scale = 3;           // --scale
  int only_bits = 0;       // --bits: 0 = any depth
  int only_width = 0;      // --mode: 0 = any size
  int only_height = 0;
  double start = 0.0;         // --start S
  double end = -1.0;          // --end E; below 0: the show's own end
  bool headless = false;      // --headless (also implied by capture, sheet, bench)
  double fps = 60.0;          // --fps: the virtual clock's frame rate
  std::string capture;        // --capture PATH ("" = none)
  std::string audio_capture;  // where the headless sound device writes its mix ("" = nowhere)
  std::string contact_sheet;  // --contact-sheet FILE.png
  double every = 4.0;         // --every SECONDS
  bool bench = false;         // --bench
  std::string bench_json;     // --json FILE: the bench figures as JSON
  bool plain = false;         // --plain: the plain routines, not the SIMD ones
  std::string music_words;    // the show's bare words, joined by single spaces
};

// The options of this process; defaults until the entry fills them in.
RunOptions& run_options();

}  // namespace platform
