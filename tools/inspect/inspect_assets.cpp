// The picture and motion side of tidalhall-inspect.
#include <png.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "assets/image.h"
#include "assets/motion.h"
#include "inspect.h"
#include "platform/exit.h"

namespace {

bool is_motion_file(const std::string& path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = path.substr(dot + 1);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext == "qub";
}

// The value of --png, or null. A picture or motion file takes no other option; anything
// else, or --png without its value, sets `bad` after a one-line message.
const char* png_option(int argc, char** argv, bool& bad) {
  bad = false;
  const char* png = nullptr;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--png") != 0) {
      std::fprintf(stderr, "tidalhall-inspect: %s does not apply to %s (see --help)\n", argv[i],
                   argv[1]);
      bad = true;
      return nullptr;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "tidalhall-inspect: --png needs a file name (see --help)\n");
      bad = true;
      return nullptr;
    }
    png = argv[++i];
  }
  return png;
}

bool write_png(const char* out, const Image& image) {
  std::vector<uint8_t> rgb(static_cast<size_t>(image.width) * image.height * 3);
  for (size_t i = 0; i < rgb.size() / 3; ++i) {
    const uint32_t p = image.pixels[i];
    rgb[3 * i] = static_cast<uint8_t>(p >> 16);
    rgb[3 * i + 1] = static_cast<uint8_t>(p >> 8);
    rgb[3 * i + 2] = static_cast<uint8_t>(p);
  }
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_RGB;
  const bool ok = png_image_write_to_file(&png, out, 0, rgb.data(), 0, nullptr) != 0;
  png_image_free(&png);
  return ok;
}

int inspect_motion(const std::string& path) {
  switch (motion_load(path.c_str())) {
    case MotionLoad::kMissing:
      std::printf("motion file not found: %s\n", path.c_str());
      return 1;
    case MotionLoad::kRefused:
      return 1;
    case MotionLoad::kLoaded:
      break;
  }
  std::printf("motion: tracks %d\n", motion_track_count);
  for (int i = 0; i < motion_track_count; ++i)
    std::printf("track \"%s\" frames %d\n", motion_tracks[i].name, motion_tracks[i].frame_count);
  return 0;
}

int inspect_picture(const std::string& path, const char* png_out) {
  std::unique_ptr<Image> image = load_image(path.c_str());
  if (!image) {
    std::printf("%s: not enough memory for its pixels\n", path.c_str());
    return 1;
  }
  std::printf("picture: %d x %d\n", image->width, image->height);
  if (png_out && !write_png(png_out, *image)) {
    std::printf("cannot write %s\n", png_out);
    return 1;
  }
  return 0;
}

}  // namespace

int inspect_asset(const std::string& path, int argc, char** argv) {
  bool bad = false;
  const char* png_out = png_option(argc, argv, bad);
  if (bad) return 2;
  try {
    if (is_motion_file(path)) {
      if (png_out) {
        std::fprintf(stderr, "tidalhall-inspect: --png does not apply to a motion file\n");
        return 2;
      }
      return inspect_motion(path);
    }
    return inspect_picture(path, png_out);
  } catch (const platform::ProcessExit& e) {
    return e.status;
  }
}
