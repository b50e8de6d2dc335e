#include "host/entry.h"

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "host/bench.h"
#include "host/command_line.h"
#include "host/contact_sheet.h"
#include "host/host.h"
#include "platform/backend_headless.h"
#include "platform/capture.h"
#include "platform/clock.h"
#include "platform/exit.h"
#include "platform/files.h"

#ifndef TH_VERSION
#define TH_VERSION "0"
#endif

namespace {

// The show's own end: its last timeline row stops at 266 s. Only the progress bar uses it.
constexpr double kShowEnd = 266.0;

bool progress_on = false;
long frames_shown = 0;
ContactSheet* sheet = nullptr;
double progress_from = 0.0;
double progress_to = kShowEnd;

double progress_wall_began = 0.0;
double progress_last_drawn = -1.0;

double wall_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// One line, redrawn at most ten times a second: the bar, frames, show time, speed (show
// seconds per second of rendering) and the time left at that speed.
void show_progress(float t, bool last = false) {
  if (!progress_on) return;
  const double wall = wall_seconds();
  if (progress_wall_began == 0.0) progress_wall_began = wall;
  if (!last && progress_last_drawn >= 0.0 && wall - progress_last_drawn < 0.1) return;
  progress_last_drawn = wall;
  const double span = progress_to - progress_from;
  double done = span > 0 ? (t - progress_from) / span : 1.0;
  if (done < 0) done = 0;
  if (done > 1) done = 1;
  const int percent = static_cast<int>(done * 100.0);
  char bar[31];
  const int filled = percent * 30 / 100;
  for (int i = 0; i < 30; ++i) bar[i] = i < filled ? '#' : '.';
  bar[30] = '\0';
  const double elapsed = wall - progress_wall_began;
  const double shown = t - progress_from;
  const double speed = elapsed > 0 ? shown / elapsed : 0.0;
  const double left = speed > 0 ? (progress_to - t) / speed : 0.0;
  std::fprintf(stderr, "\r[%s] %3d%%  %6ld frames  t = %6.2f s  %5.1fx  %4.0f s left ", bar,
               percent, frames_shown, static_cast<double>(t), speed, left > 0 ? left : 0.0);
  std::fflush(stderr);
}

void frame_shown(float t) {
  ++frames_shown;
  platform::headless_capture_frame();
  if (sheet) sheet->offer(display_framebuffer(), t);
  show_progress(t);
}

struct WorkDir {
  std::string path;
  ~WorkDir() {
    if (!path.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  }
};

int run(int argc, const char* const* argv) {
  platform::RunOptions& o = platform::run_options();
  CommandLine cl;
  if (!parse_command_line(argc, argv, o, cl)) {
    std::fprintf(stderr, "tidalhall: %s (try --help)\n", cl.error.c_str());
    return 2;
  }
  if (cl.help) {
    std::fputs(help_text(), stdout);
    return 0;
  }
  if (cl.version) {
    std::printf("tidalhall %s\n", TH_VERSION);
    return 0;
  }
  platform::set_data_dir(o.data_dir);

  if (o.headless) {
    platform::set_backend(platform::headless_backend());
    platform::virtual_clock_enable(o.start);
  } else {
    platform::set_backend(platform::sdl_backend());
  }

  WorkDir work;
  std::unique_ptr<platform::FrameSink> sink;
  if (!o.capture.empty()) {
    if (platform::is_video_path(o.capture)) {
      char temp[] = "/tmp/tidalhall-XXXXXX";
      if (!mkdtemp(temp)) {
        std::fprintf(stderr, "tidalhall: cannot make a temporary folder for %s\n",
                     o.capture.c_str());
        return 1;
      }
      work.path = temp;
      o.audio_capture = work.path + "/audio.wav";
      sink = platform::video_sink(o.capture, o.fps, o.scale, work.path);
    } else {
      std::error_code ec;
      std::filesystem::create_directories(o.capture, ec);
      if (!std::filesystem::is_directory(o.capture, ec)) {
        std::fprintf(stderr, "tidalhall: cannot make the folder %s\n", o.capture.c_str());
        return 1;
      }
      o.audio_capture = o.capture + "/audio.wav";
      sink = platform::png_folder_sink(o.capture);
    }
    platform::headless_set_frame_sink(sink.get());
  }

  HostHooks& hooks = host_hooks();
  hooks.catch_up = show_catch_up;
  if (cl.test_card) {
    hooks.catch_up = nullptr;
    // The card checks the screen: it needs the blend routines, none of the show's assets.
    hooks.sequencer_frame = test_card_frame;
    hooks.prepare_assets = test_card_prepare;
  }
  bool progress = o.headless && isatty(STDERR_FILENO);
  if (progress) {
    progress_on = true;
    progress_from = o.start;
    progress_to = o.end >= 0 ? o.end : kShowEnd;
  }
  if (o.headless) hooks.frame_done = frame_shown;

  std::unique_ptr<ContactSheet> contact;
  if (!o.contact_sheet.empty()) {
    contact = std::make_unique<ContactSheet>(o.start, o.every);
    sheet = contact.get();
  }
  if (o.bench && !cl.test_card) {
    bench_reset();
    hooks.sequencer_frame = bench_sequencer_frame;
  }

  auto began = std::chrono::steady_clock::now();
  int status = WinMain(nullptr, nullptr, o.music_words.c_str(), 1);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  if (progress) std::fputc('\n', stderr);
  if (o.bench) {
    bench_report(stdout, frames_shown, seconds);
    if (!o.bench_json.empty() && !bench_write_json(o.bench_json, frames_shown, seconds)) {
      std::fprintf(stderr, "tidalhall: cannot write %s\n", o.bench_json.c_str());
      if (status == 0) status = 1;
    }
  }
  if (contact) {
    sheet = nullptr;
    if (!contact->save(o.contact_sheet)) {
      std::fprintf(stderr, "tidalhall: cannot write %s\n", o.contact_sheet.c_str());
      if (status == 0) status = 1;
    } else {
      std::fprintf(stderr, "tidalhall: %d thumbnails written to %s\n", contact->thumbnails(),
                   o.contact_sheet.c_str());
    }
  }

  if (sink) {
    platform::headless_set_frame_sink(nullptr);
    if (!sink->finish(o.audio_capture)) {
      if (status == 0) status = 1;
    } else {
      std::fprintf(stderr, "tidalhall: %ld frames written to %s\n", sink->frames(),
                   o.capture.c_str());
    }
  }
  return status;
}

}  // namespace

int tidalhall_main(int argc, const char* const* argv) {
  try {
    return run(argc, argv);
  } catch (const platform::ProcessExit& e) {
    return e.status;
  }
}
