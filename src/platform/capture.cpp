#include "platform/capture.h"

#include <png.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace platform {

bool is_video_path(const std::string& path) {
  auto ends = [&](const char* ext) {
    size_t n = std::strlen(ext);
    return path.size() > n && path.compare(path.size() - n, n, ext) == 0;
  };
  return ends(".mp4") || ends(".mkv") || ends(".webm");
}

uint32_t surface_pixel(const SurfaceDesc& s, int x, int y) {
  const uint8_t* row = static_cast<const uint8_t*>(s.pixels) + static_cast<size_t>(y) * s.pitch;
  switch (s.bits) {
    case 32: {
      const uint8_t* p = row + x * 4;
      return p[2] << 16 | p[1] << 8 | p[0];
    }
    case 24: {
      const uint8_t* p = row + x * 3;
      return p[2] << 16 | p[1] << 8 | p[0];
    }
    case 16: {
      const uint8_t* p = row + x * 2;
      uint32_t w = p[0] | p[1] << 8;
      uint32_t r = w >> 11, g = (w >> 5) & 63, b = w & 31;
      r = r << 3 | r >> 2;
      g = g << 2 | g >> 4;
      b = b << 3 | b >> 2;
      return r << 16 | g << 8 | b;
    }
    default:
      return 0;
  }
}

bool write_surface_png(const std::string& path, const SurfaceDesc& s) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  std::vector<uint8_t> row(static_cast<size_t>(s.width) * 3);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  // Speed matters more than size for frame dumps.
  png_set_compression_level(png, 1);
  png_set_IHDR(png, info, s.width, s.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) {
      uint32_t c = surface_pixel(s, x, y);
      row[x * 3] = c >> 16;
      row[x * 3 + 1] = c >> 8;
      row[x * 3 + 2] = c;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0;
}

namespace {

class PngFolderSink : public FrameSink {
 public:
  explicit PngFolderSink(std::string dir) : dir_(std::move(dir)) {}

  bool frame(const SurfaceDesc& s) override {
    if (failed_) return false;
    if (count_ == 0) {
      std::error_code ec;
      std::filesystem::create_directories(dir_, ec);
    }
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%06ld.png", count_);
    if (!write_surface_png(dir_ + name, s)) {
      std::fprintf(stderr, "tidalhall: cannot write %s%s\n", dir_.c_str(), name);
      failed_ = true;
      return false;
    }
    ++count_;
    return true;
  }

  bool finish(const std::string&) override { return !failed_; }
  long frames() const override { return count_; }

 private:
  std::string dir_;
  long count_ = 0;
  bool failed_ = false;
};

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'')
      q += "'\\''";
    else
      q += c;
  }
  return q + "'";
}

bool ends_with(const std::string& s, const char* ext) {
  size_t n = std::strlen(ext);
  return s.size() >= n && s.compare(s.size() - n, n, ext) == 0;
}

class VideoSink : public FrameSink {
 public:
  VideoSink(std::string path, double fps, int scale, std::string work_dir)
      : path_(std::move(path)),
        fps_(fps),
        scale_(scale < 1 ? 1 : scale),
        work_(std::move(work_dir)) {
    webm_ = ends_with(path_, ".webm");
    picture_ = work_ + (webm_ ? "/picture.webm" : "/picture.mkv");
  }
  ~VideoSink() override {
    if (pipe_) pclose(pipe_);
  }

  bool frame(const SurfaceDesc& s) override {
    if (failed_) return false;
    if (!pipe_ && !open(s)) return fail("cannot start the ffmpeg program");
    if (s.width != width_ || s.height != height_ || s.bits != bits_)
      return fail("the screen mode changed during a video capture");
    size_t row_bytes = static_cast<size_t>(s.width) * (s.bits / 8);
    for (int y = 0; y < s.height; ++y) {
      const uint8_t* row = static_cast<const uint8_t*>(s.pixels) + static_cast<size_t>(y) * s.pitch;
      if (std::fwrite(row, 1, row_bytes, pipe_) != row_bytes)
        return fail("ffmpeg stopped taking frames");
    }
    ++count_;
    return true;
  }

  bool finish(const std::string& audio_wav) override {
    if (pipe_) {
      int status = pclose(pipe_);
      pipe_ = nullptr;
      if (status != 0 && !failed_) fail("ffmpeg could not encode the frames");
    }
    if (failed_ || count_ == 0) {
      if (count_ == 0 && !failed_)
        std::fprintf(stderr, "tidalhall: no frames to write to %s\n", path_.c_str());
      return false;
    }
    std::error_code ec;
    bool have_audio = !audio_wav.empty() && std::filesystem::file_size(audio_wav, ec) > 44 && !ec;
    std::string cmd = "ffmpeg -nostdin -y -loglevel error -i " + quote(picture_);
    if (have_audio)
      cmd += " -i " + quote(audio_wav) + " -map 0:v -map 1:a -c:a " + (webm_ ? "libopus" : "aac");
    cmd += " -c:v copy " + quote(path_);
    if (std::system(cmd.c_str()) != 0) {
      std::fprintf(stderr, "tidalhall: ffmpeg could not write %s\n", path_.c_str());
      return false;
    }
    return true;
  }

  long frames() const override { return count_; }

 private:
  bool open(const SurfaceDesc& s) {
    const char* format = s.bits == 32   ? "bgr0"
                         : s.bits == 24 ? "bgr24"
                         : s.bits == 16 ? "rgb565le"
                                        : nullptr;
    if (!format) return false;
    width_ = s.width;
    height_ = s.height;
    bits_ = s.bits;
    // A dead ffmpeg must show up as a failed write, not end the show.
    std::signal(SIGPIPE, SIG_IGN);
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.6f", fps_);
    // The picture is 320 x 240 (a 640 x 480 mode holds it in its top-left quarter, and is
    // brought to the same size): the video is that times the scale, pixels kept square.
    const std::string size = std::string(width_ > 320 ? "crop=320:240:0:0," : "") +
                             "scale=" + std::to_string(320 * scale_) + ":" +
                             std::to_string(240 * scale_);
    std::string cmd = "ffmpeg -nostdin -y -loglevel error -f rawvideo -pix_fmt " +
                      std::string(format) + " -s " + std::to_string(width_) + "x" +
                      std::to_string(height_) + " -r " + rate + " -i - -vf " + size +
                      ":flags=neighbor -pix_fmt yuv420p " +
                      (webm_ ? "-c:v libvpx-vp9 -b:v 0 -crf 30 -deadline realtime -cpu-used 8 "
                             : "-c:v libx264 -preset veryfast -crf 18 ") +
                      quote(picture_);
    pipe_ = popen(cmd.c_str(), "w");
    return pipe_ != nullptr;
  }

  bool fail(const char* what) {
    if (!failed_) std::fprintf(stderr, "tidalhall: %s (%s)\n", what, path_.c_str());
    failed_ = true;
    return false;
  }

  std::string path_;
  double fps_;
  int scale_;
  std::string work_;
  std::string picture_;
  bool webm_ = false;
  FILE* pipe_ = nullptr;
  int width_ = 0, height_ = 0, bits_ = 0;
  long count_ = 0;
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<FrameSink> png_folder_sink(const std::string& dir) {
  return std::make_unique<PngFolderSink>(dir);
}

std::unique_ptr<FrameSink> video_sink(const std::string& path, double fps, int scale,
                                      const std::string& work_dir) {
  return std::make_unique<VideoSink>(path, fps, scale, work_dir);
}

}  // namespace platform
