// The catwalk: the dancer drawn from one of the World's cameras and lit by projected
// spotlights with shadows; the close-ups under a red and a blue spot; the titles over it.
#include <cmath>

#include "assets/data_files.h"
#include "assets/motion.h"
#include "kernels/kernels.h"
#include "scenes/dancers/dancers.h"
#include "scenes/scenes.h"
#include "scenes/show.h"

namespace {

constexpr uint32_t kUnlit = 0x3C3C3C3C;  // unlit surfaces keep 60/256 of their colour
constexpr float kKeysPerSecond = 22.5f;
constexpr int kPatternPixels = kLightPictureSide * kLightPictureSide;

// The spots' cone widths come from the lens stored in the World's first camera.
float first_lens(const World& w) {
  return w.camera_count > 0 ? w.cameras[0].lens : 0.0f;
}

void load_close_up_motion() {
  motion_load(data_file::kMotion02);
  motion_time_divisor = 1.0f;
}

ImagePtr tinted(const Image& pattern, int red, int green, int blue) {
  auto img = std::make_unique<Image>();
  img->width = kLightPictureSide;
  img->height = kLightPictureSide;
  img->size_code = pattern.size_code;
  img->pixels = new uint32_t[kPatternPixels]();
  tint_copy(img->pixels, pattern.pixels, red, green, blue, kPatternPixels);
  return img;
}

}  // namespace

void catwalk_render(uint32_t* frame, const CatwalkRender& r) {
  Show& s = show();
  View& v = s.screen_view;
  World* w = r.world;
  if (r.camera < 0 || r.camera >= w->camera_count) return;
  motion_unbind();
  fill_words(s.light, kUnlit, kFrameBytes);
  fill_words(s.depth, 0, kFrameBytes);
  view_set_cull_mode(&v, 0);
  view_set_cull_mode(&s.picture_view, 0);
  view_set_target(&v, kFramePitchBytes, frame, s.depth);

  world_animate(w, r.animation_time);
  view_set_camera(&v, &w->cameras[r.camera]);
  if (r.reset_matrices) world_reset_mesh_matrices(w);
  motion_apply(w, r.motion_time);
  view_clear(&v);
  world_draw_meshes(w, &v);
  view_sort(&v, 1);
  view_render(&v);
  view_clear(&v);

  motion_apply(w, r.motion_time);
  view_set_target(&v, kFramePitchBytes, s.light, s.depth);
  for (int i = 0; i < r.spot_count; ++i) {
    // The pass paints the light picture black as it goes: each spot starts from its pattern.
    s.picture_view.picture = r.spots[i].pattern;
    view_copy_picture(&s.picture_view);
    spotlight_render(r.spots[i].light, &s.picture_view, w, 1.0f, &v);
  }
  row_multiply(frame, frame, s.light, kFramePixels);
}

TH_SCENE(CatwalkScene) {
  (void)entry, (void)index, (void)start, (void)end, (void)progress;
  Show& s = show();
  DancerState& d = s.dancers;
  if (parameter == 5 && !d.catwalk_motion02_loaded) {
    // Other dancers have loaded their motions since the close-ups.
    load_close_up_motion();
    d.catwalk_motion02_loaded = true;
  }
  const int camera = parameter == 5 ? 3 : parameter;

  // While the opening runs the light swings from far down the runway onto the dancer.
  Light& spot = d.spots[0];
  spot.spot_fov = first_lens(s.catwalk) * 2.0f / 3.0f;
  spot.spot_roll = 0.0f;
  if (t < 10.0f) {
    const float k = 1.0f - t / 11.0f;
    spot.position = {0.0f, 250.0f, k * 500.0f - 100.0f};
    spot.target = {0.0f, k * 100.0f, k * 1350.0f};
  } else {
    spot.position = {0.0f, 250.0f, -100.0f};
    spot.target = {0.0f, 0.0f, 0.0f};
  }
  const CatwalkSpot spots[] = {{&spot, s.phong->pixels}};
  const float time = t * kKeysPerSecond;
  catwalk_render(pixels, {&s.catwalk, camera, time, time, true, spots, 1});
}

TH_SCENE(CatwalkCloseScene) {
  (void)entry, (void)index, (void)end, (void)progress;
  Show& s = show();
  DancerState& d = s.dancers;
  if (d.catwalk_close_first_frame) {
    d.red_light = tinted(*s.phong, 200, 40, 65);
    d.blue_light = tinted(*s.phong, 55, 40, 200);
    load_close_up_motion();
    d.catwalk_close_first_frame = false;
  }
  const float fov = first_lens(s.catwalk) / 2.1f;
  Light& blue = d.spots[0];
  blue.position = {-20.0f, 200.0f, -400.0f};
  blue.target = {140.0f * std::sin(t), 0.0f, 0.0f};
  Light& red = d.spots[1];
  red.position = {20.0f, 400.0f, -400.0f};
  red.target = {140.0f * std::cos(t), 100.0f, 0.0f};
  for (Light* l : {&blue, &red}) {
    l->spot_fov = fov;
    l->spot_roll = 0.0f;
  }
  const CatwalkSpot spots[] = {{&blue, d.blue_light->pixels}, {&red, d.red_light->pixels}};
  // The World's keyframes restart with the row; the dance runs with the show clock.
  catwalk_render(pixels, {&s.catwalk, parameter, (t - start) * kKeysPerSecond, t * kKeysPerSecond,
                          false, spots, 2});
}

TH_SCENE(TitleScene) {
  (void)entry, (void)index, (void)t, (void)start, (void)end, (void)progress;
  if (parameter < 0 || parameter > 3) return;
  const Image* title = show().titles[parameter].get();
  if (!title) return;
  copy_keyed(pixels, title->pixels, title->pixels[0], kFramePixels);
}
