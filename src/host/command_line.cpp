#include "host/command_line.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "music/streaming.h"

#ifndef TH_DEFAULT_DATA_DIR
#define TH_DEFAULT_DATA_DIR "data"
#endif

namespace {

bool to_number(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return end && *end == '\0' && std::isfinite(out);
}

// A word the show's own option search finds: the first letter as typed, the rest in any
// case ("8BIT" and "mONO" count, "Mono" does not).
bool is_show_word(const std::string& w) {
  for (const char* option : {"8bit", "mono", "1to1", "2to1", "4to1"})
    if (w.size() == std::strlen(option) && find_option(w.c_str(), option) == 1) return true;
  return false;
}

}  // namespace

std::string default_data_dir() {
  std::error_code ec;
  if (std::filesystem::is_regular_file("music/var56.mp3", ec)) return ".";
  return TH_DEFAULT_DATA_DIR;
}

bool parse_command_line(int argc, const char* const* argv, platform::RunOptions& o,
                        CommandLine& r) {
  auto fail = [&](std::string message) {
    r.error = std::move(message);
    return false;
  };
  bool end_given = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool has_inline = false;
    if (arg.rfind("--", 0) == 0) {
      size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
        arg = arg.substr(0, eq);
        has_inline = true;
      }
    }
    auto take = [&](std::string& out) {
      if (has_inline) {
        out = value;
        return true;
      }
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    auto number = [&](double& out, double low, double high) -> bool {
      std::string text;
      if (!take(text)) return fail(arg + " needs a value");
      if (!to_number(text, out) || out < low || out > high)
        return fail(arg + ": '" + text + "' is not a number from " +
                    std::to_string(static_cast<long>(low)) + " to " +
                    std::to_string(static_cast<long>(high)));
      return true;
    };
    auto flag_only = [&]() { return has_inline ? fail(arg + " takes no value") : true; };

    if (arg == "--help" || arg == "-h") {
      if (!flag_only()) return false;
      r.help = true;
    } else if (arg == "--version") {
      if (!flag_only()) return false;
      r.version = true;
    } else if (arg == "--data") {
      if (!take(o.data_dir)) return fail("--data needs a folder");
      std::error_code ec;
      if (!std::filesystem::is_directory(o.data_dir, ec))
        return fail("--data: no folder " + o.data_dir);
      r.data_given = true;
    } else if (arg == "--window") {
      if (!flag_only()) return false;
      o.fullscreen = false;
    } else if (arg == "--fullscreen") {
      if (!flag_only()) return false;
      o.fullscreen = true;
    } else if (arg == "--scale") {
      double v;
      if (!number(v, 1, 16)) return false;
      if (v != std::floor(v)) return fail("--scale needs a whole number");
      o.scale = static_cast<int>(v);
    } else if (arg == "--bits") {
      std::string v;
      if (!take(v)) return fail("--bits needs 32, 24 or 16");
      if (v != "32" && v != "24" && v != "16")
        return fail("--bits: '" + v + "' is not 32, 24 or 16");
      o.only_bits = std::atoi(v.c_str());
    } else if (arg == "--mode") {
      std::string v;
      if (!take(v)) return fail("--mode needs 320x240 or 640x480");
      if (v == "320x240") {
        o.only_width = 320;
        o.only_height = 240;
      } else if (v == "640x480") {
        o.only_width = 640;
        o.only_height = 480;
      } else {
        return fail("--mode: '" + v + "' is not 320x240 or 640x480");
      }
    } else if (arg == "--start") {
      if (!number(o.start, 0, 100000)) return false;
    } else if (arg == "--end") {
      if (!number(o.end, 0, 100000)) return false;
      end_given = true;
    } else if (arg == "--headless") {
      if (!flag_only()) return false;
      o.headless = true;
    } else if (arg == "--fps") {
      if (!number(o.fps, 1, 1000)) return false;
    } else if (arg == "--capture") {
      if (!take(o.capture) || o.capture.empty())
        return fail("--capture needs a folder or a video file");
      o.headless = true;
    } else if (arg == "--contact-sheet") {
      if (!take(o.contact_sheet) || o.contact_sheet.empty())
        return fail("--contact-sheet needs a PNG file");
      o.headless = true;
    } else if (arg == "--every") {
      if (!number(o.every, 0.001, 100000)) return false;
    } else if (arg == "--bench") {
      if (!flag_only()) return false;
      o.bench = true;
      o.headless = true;
    } else if (arg == "--json") {
      if (!take(o.bench_json) || o.bench_json.empty()) return fail("--json needs a file");
    } else if (arg == "--plain") {
      if (!flag_only()) return false;
      o.plain = true;
    } else if (arg == "--test-card") {
      if (!flag_only()) return false;
      r.test_card = true;
    } else if (is_show_word(arg)) {
      if (!o.music_words.empty()) o.music_words += ' ';
      o.music_words += arg;
    } else if (arg.rfind("-", 0) == 0) {
      return fail("unknown option " + arg);
    } else {
      return fail("unknown word '" + arg + "' (the show's words are 8bit, mono, 1to1, 2to1, 4to1)");
    }
  }
  if (end_given && o.end <= o.start) return fail("--end must lie after --start");
  if (!o.bench_json.empty() && !o.bench) return fail("--json goes with --bench");
  int outputs = !o.capture.empty() + !o.contact_sheet.empty() + o.bench;
  if (outputs > 1) return fail("--capture, --contact-sheet and --bench exclude each other");
  if (!r.data_given) o.data_dir = default_data_dir();
  return true;
}

const char* help_text() {
  return "usage: tidalhall [options] [8bit] [mono] [1to1] [2to1] [4to1]\n"
         "\n"
         "Plays \"Quiet Orbit - Tidal Hall (Long Night Mix)\", a real-time show of about 266 s.\n"
         "Escape or F12 ends it; any other key appends its running number and the show time\n"
         "to debug.txt in the current folder.\n"
         "\n"
         "The bare words are the show's own music options: 8bit (8-bit output), mono (one\n"
         "centred channel), 1to1, 2to1, 4to1 (full, half or quarter sample rate).\n"
         "\n"
         "options:\n"
         "  --data DIR            where the show's data lives (default: the current folder when\n"
         "                        it holds music/var56.mp3, else the data set the build made)\n"
         "  --fullscreen          full screen (the default)\n"
         "  --window              a window instead\n"
         "  --scale N             window scale factor, 1 to 16 (default 3: 960 x 720)\n"
         "  --bits 32|24|16       the display accepts only this screen depth\n"
         "  --mode 320x240|640x480  the display accepts only this screen size\n"
         "  --start S             start at show time S seconds\n"
         "  --end E               stop at show time E (default: the show's own end)\n"
         "  --headless            no window and no sound card; frame k is shown at S + k / fps\n"
         "  --fps N               frame rate of --headless, --capture, --bench, --contact-sheet\n"
         "                        (default 60)\n"
         "  --capture PATH        render [S, E) headless: PATH ending .mp4, .mkv or .webm is one\n"
         "                        video with sound (through ffmpeg); any other PATH is a folder\n"
         "                        of frame_000000.png ... and audio.wav\n"
         "  --contact-sheet FILE.png  one picture of thumbnails of [S, E), one every --every\n"
         "  --every SECONDS       spacing of the contact sheet's thumbnails (default 4)\n"
         "  --bench               play [S, E) headless and print the time each timeline row takes\n"
         "  --json FILE           with --bench: the same figures as JSON in FILE\n"
         "  --plain               the plain routines instead of the SIMD ones\n"
         "  --test-card           draw fixed colour bars instead of the show (to check colours)\n"
         "  --version             print the version\n"
         "  --help                this text\n"
         "\n"
         "exit status: 0 after a normal end, 1 when a file, the window, the display or the\n"
         "sound device failed, 255 after a JPEG stream the JPEG library rejects, 2 for a\n"
         "command line it cannot use.\n";
}
