// Lens flares: a light drawn as a tinted glow at its screen position and a chain of small
// flare bitmaps along the line from it through the screen centre. The light fades out
// while a nearer surface in the depth buffer covers it and fades in when it reappears.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "assets/data_files.h"
#include "assets/image.h"
#include "engine/kelp.h"
#include "kernels/kernels.h"
#include "platform/exit.h"
#include "platform/files.h"

namespace {

struct FlareElement {
  const char* file;
  int width, height;
  float size;      // drawn width and height in target pixels
  float position;  // along the line: 1 on the light, 0 on the centre, < 0 beyond it
  std::vector<uint32_t> pixels;
};

FlareElement elements[kFlareElements] = {
    {data_file::kFlares[0], 40, 40, 40.0f, -2.0f, {}},
    {data_file::kFlares[1], 9, 10, 10.0f, -1.3f, {}},
    {data_file::kFlares[2], 8, 10, 9.0f, -1.0f, {}},
    {data_file::kFlares[3], 6, 6, 6.0f, -0.4f, {}},
    {data_file::kFlares[4], 18, 18, 18.0f, 0.1f, {}},
    {data_file::kFlares[5], 7, 7, 7.0f, 0.3f, {}},
    {data_file::kFlares[6], 6, 7, 7.0f, 0.6f, {}},
    {data_file::kFlares[7], 11, 11, 11.0f, 0.8f, {}},
    {data_file::kFlares[8], 7, 7, 7.0f, 0.9f, {}},
};

std::vector<uint32_t> light_image;

// Nearer than this the glow's size (intensity x scale / z) runs out of range.
constexpr float kNearestLight = 0.001f;
constexpr float kFadeRate = 13.0f;  // maximum intensities per time unit

[[noreturn]] void refuse(const char* line) {
  std::printf("%s\n", line);
  platform::process_exit(1);
}

// A raw bitmap of exactly the table's size, three bytes a pixel (red, green, blue).
void load_raw(FlareElement& e) {
  char line[256];
  FILE* f = platform::data_fopen(e.file, "rb");
  if (!f) {
    std::snprintf(line, sizeof line, "%s not found", e.file);
    refuse(line);
  }
  const long want = static_cast<long>(e.width) * e.height * 3;
  std::vector<uint8_t> bytes(static_cast<size_t>(want) + 1);
  const long got = static_cast<long>(std::fread(bytes.data(), 1, bytes.size(), f));
  std::fclose(f);
  if (got != want) {
    std::snprintf(line, sizeof line, "%s is %s %ld bytes, the show needs %ld", e.file,
                  got > want ? "over" : "only", got > want ? want : got, want);
    refuse(line);
  }
  e.pixels.resize(static_cast<size_t>(e.width) * e.height);
  for (size_t i = 0; i < e.pixels.size(); ++i)
    e.pixels[i] = uint32_t(bytes[i * 3]) << 16 | uint32_t(bytes[i * 3 + 1]) << 8 | bytes[i * 3 + 2];
}

}  // namespace

void flares_load() {
  const char* name = data_file::kLightTexture;
  read_image_file(name, nullptr);  // probe first: the buffer holds exactly 128 x 128
  if (image_width != kFlareLightSide || image_height != kFlareLightSide) {
    char line[256];
    std::snprintf(line, sizeof line, "%s is %d x %d, the show needs %d x %d", name, image_width,
                  image_height, kFlareLightSide, kFlareLightSide);
    refuse(line);
  }
  light_image.assign(kFlareLightSide * kFlareLightSide, 0);
  read_image_file(name, light_image.data());
  for (FlareElement& e : elements) load_raw(e);
}

const uint32_t* flare_light_image() {
  return light_image.empty() ? nullptr : light_image.data();
}

const uint32_t* flare_element_pixels(int k, int* width, int* height) {
  const FlareElement& e = elements[k];
  if (width) *width = e.width;
  if (height) *height = e.height;
  return e.pixels.empty() ? nullptr : e.pixels.data();
}

void flare_draw_faded(uint32_t* target, FlareState* state, const View* view, float time,
                      int with_flares) {
  const int saved_width = sprite_source_width, saved_height = sprite_source_height;
  sprite_source_width = sprite_source_height = kFlareLightSide;
  if (light_image.empty()) return;  // nothing loaded: nothing to draw with

  const Light& light = *state->light;
  Vec3 p;
  mat_transform_point(&light.position, &view->view_matrix, &p);
  if (!(p.z >= kNearestLight)) return;  // at, behind or too close to the camera

  const float sx = p.x * view->scale_x / p.z;
  const float sy = p.y * view->scale_y / p.z;
  const float half_w = static_cast<float>(view->width / 2);
  const float half_h = static_cast<float>(view->height / 2);
  int visible = sx >= -half_w && sx <= half_w && sy >= -half_h && sy <= half_h;
  if (visible && view->depth_buffer) {
    // The bounds are inclusive, so a light on the right or bottom edge maps one past the
    // last column or row: it is tested against the edge pixel instead.
    const int column = std::clamp(static_cast<int>(view->centre_x + sx), 0, view->width - 1);
    const int row = std::clamp(static_cast<int>(view->centre_y - sy), 0, view->height - 1);
    const float d = 1.0e9f / p.z;
    const int32_t depth = d >= 2147483520.0f ? INT32_MAX : static_cast<int32_t>(d);
    if (depth < view->depth_buffer[static_cast<long>(row) * view->pitch_pixels + column])
      visible = 0;
  }

  const float rate = kFadeRate * state->max_intensity;
  const float elapsed = time - state->last_time;
  if (visible != state->visible)
    state->visible = visible;
  else if (visible)
    state->intensity += elapsed * rate;
  else
    state->intensity -= elapsed * rate;
  state->last_time = time;
  if (state->intensity > state->max_intensity) state->intensity = state->max_intensity;
  if (!(state->intensity >= 1.0f)) {
    state->intensity = 1.0f;
    return;
  }

  const float cx = view->centre_x, cy = view->centre_y;
  const float glow = state->intensity * view->scale_x / p.z;
  sprite_draw_tinted(cx + sx, cy - sy, glow, glow, target, light_image.data(), light.r, light.g,
                     light.b);
  if (!with_flares) return;

  const float ratio = state->intensity / state->max_intensity;
  for (const FlareElement& e : elements) {
    if (e.pixels.empty()) continue;
    sprite_source_width = e.width;
    sprite_source_height = e.height;
    const float size = e.size * ratio;
    sprite_draw_tinted(cx + sx * e.position, cy - sy * e.position, size, size, target,
                       e.pixels.data(), light.r, light.g, light.b);
  }
  sprite_source_width = saved_width;
  sprite_source_height = saved_height;
}
