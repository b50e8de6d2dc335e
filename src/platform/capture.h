// Where a headless run's frames go: PNG files in a folder, or a video through the
// ffmpeg program with the soundtrack muxed in at the end.
#pragma once
#include <memory>
#include <string>

#include "platform/backend.h"

namespace platform {

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // Takes one shown frame; false once writing has failed (the message is printed once).
  virtual bool frame(const SurfaceDesc& surface) = 0;
  // Ends the output; audio_wav is the sound of the run ("" or a missing file: none).
  virtual bool finish(const std::string& audio_wav) = 0;
  virtual long frames() const = 0;
};

// frame_000000.png, frame_000001.png, ... in dir (made if absent).
std::unique_ptr<FrameSink> png_folder_sink(const std::string& dir);
// One video file (.mp4, .mkv or .webm) made by the ffmpeg program, the 320 x 240 picture
// scaled by `scale` (nearest neighbour); work_dir holds the picture-only intermediate file.
std::unique_ptr<FrameSink> video_sink(const std::string& path, double fps, int scale,
                                      const std::string& work_dir);

bool is_video_path(const std::string& path);

// Writes a surface of 32, 24 or 16 bits as an 8-bit RGB PNG.
bool write_surface_png(const std::string& path, const SurfaceDesc& surface);

// The surface's pixel at (x, y) as 0x00RRGGBB (16-bit channels widened by bit copying).
uint32_t surface_pixel(const SurfaceDesc& surface, int x, int y);

}  // namespace platform
