// The texture-warp and picture-blend scenes: the double picture streaking out of white,
// the warped texture pair with the face fading in over it, the bulging plasma, and the
// rotozoom slides and twin swirls of the fast cuts. Each builds its layers in the shared
// scratch buffers (nothing in them survives the frame) and combines them into the frame.
#include <cmath>
#include <cstring>

#include "kernels/kernels.h"
#include "scenes/scenes.h"
#include "scenes/show.h"
#include "scenes/warps/grid.h"

namespace {

constexpr int kPixels = kFramePixels;
constexpr float kPi = 3.1415926535f;

uint32_t* scratch(int n) {
  return show().scratch[n - 1];  // S1..S5
}

int amount(float v) {
  return static_cast<int>(v);
}

}  // namespace

TH_SCENE(DoublePictureScene) {
  (void)entry, (void)index, (void)t, (void)start, (void)end, (void)parameter;
  const uint32_t* picture = show().double_picture->pixels;
  if (progress >= 0.5f) {
    std::memcpy(pixels, picture, kFrameBytes);
    return;
  }
  // Out of a large zoom, softened, and out of white over the first quarter.
  zoom_add_draw(pixels, picture, progress * 2.0f * 320.0f);
  blur_cross4(pixels, pixels);
  if (progress < 0.25f) whiten(pixels, pixels, amount(255.0f - progress * 4.0f * 255.0f), kPixels);
}

TH_SCENE(TextureWarpPairScene) {
  (void)entry, (void)index, (void)start, (void)end;
  Show& s = show();
  if (parameter == 0) {
    warp_three_centres(pixels, s.qub->pixels, 40.0f * t);
    warp_three_centres(scratch(1), s.blob->pixels, -40.0f * t);
    row_multiply(pixels, pixels, scratch(1), kPixels);
  } else if (parameter == 4) {
    // The previous scene's last picture fades into the warp.
    warp_three_centres(scratch(1), s.qub->pixels, 40.0f * t);
    warp_three_centres(scratch(2), s.blob->pixels, -40.0f * t);
    row_multiply(scratch(1), scratch(1), scratch(2), kPixels);
    crossfade(pixels, pixels, scratch(1), amount(progress * 255.0f), kPixels);
  }
}

TH_SCENE(FaceBlendScene) {
  (void)entry, (void)index, (void)t, (void)start, (void)end, (void)parameter;
  const uint32_t* back = show().face_back->pixels;
  const uint32_t* front = show().face_front->pixels;
  if (progress < 0.2f) {
    // The back layer comes out of white, so at first the warp shows unchanged.
    whiten(scratch(1), back, amount(255.0f - progress * 5.0f * 255.0f), kPixels);
    row_multiply(pixels, pixels, scratch(1), kPixels);
  } else if (progress < 0.4f) {
    darken(scratch(2), front, amount((progress - 0.2f) * 5.0f * 255.0f), kPixels);
    row_multiply(pixels, pixels, back, kPixels);
    row_add_saturate(pixels, pixels, scratch(2), kPixels);
  } else {
    row_multiply(pixels, pixels, back, kPixels);
    row_add_saturate(pixels, pixels, front, kPixels);
  }
}

TH_SCENE(TextureWarpScene) {
  (void)entry, (void)index, (void)start, (void)end;
  Show& s = show();
  WarpGrid& grid = s.warps.grid;
  uint32_t *s1 = scratch(1), *s2 = scratch(2), *s3 = scratch(3), *s4 = scratch(4), *s5 = scratch(5);
  const uint32_t* meta1 = s.meta[0]->pixels;
  if (parameter == 0) {
    // The faces through a growing bulge, giving way to the plasma in the second half.
    warp_three_centres(s1, s.qub->pixels, 40.0f * t);
    warp_three_centres(s2, s.blob->pixels, -40.0f * t);
    warp_three_centres_mode(s5, meta1, t, 0);
    row_multiply(s1, s1, s2, kPixels);
    warp_grid_sphere(grid, progress * 1.15f, 0.0f);
    if (progress > 0.5f) {
      const float a = (progress - 0.5f) * 2.0f * 255.0f;
      whiten(s3, s.face_back->pixels, amount(a), kPixels);
      darken(s4, s.face_front->pixels, amount(255.0f - a), kPixels);
      row_multiply(s1, s1, s3, kPixels);
      row_add_saturate(s1, s1, s4, kPixels);
      crossfade(s1, s1, s5, amount(a), kPixels);
    } else {
      row_multiply(s1, s1, s.face_back->pixels, kPixels);
      row_add_saturate(s1, s1, s.face_front->pixels, kPixels);
    }
  } else if (parameter == 1) {
    // The plasma turning under a full bulge.
    warp_three_centres_mode(s1, meta1, t, 0);
    warp_grid_sphere(grid, 1.0f, progress * 6.0f * kPi);
  } else if (parameter == 2) {
    // The bulge flattens while the plasma gives way to the texture pair again.
    warp_three_centres(s1, s.qub->pixels, 40.0f * t);
    warp_three_centres(s2, s.blob->pixels, -40.0f * t);
    warp_three_centres_mode(s3, meta1, t, 0);
    warp_grid_sphere(grid, 1.0f - progress, 0.0f);
    row_multiply(s1, s1, s2, kPixels);
    crossfade(s1, s1, s3, amount((1.0f - progress) * 255.0f), kPixels);
  } else {
    return;
  }
  grid_warp_picture(pixels, s1, grid, kWarpGridColumns, kWarpGridRows);
}

TH_SCENE(TextureSlideScene) {
  (void)entry, (void)index, (void)start, (void)end;
  Show& s = show();
  uint32_t* s1 = scratch(1);
  const float sq = std::sin(progress);
  if (parameter == 0)
    rotozoom_draw(s1, s.blob->pixels, 30.0f * t, 200.0f * sq + 28.0f);
  else if (parameter == 1)
    rotozoom_draw(s1, s.meta[0]->pixels, -20.0f * t, 228.0f - 150.0f * sq);
  else if (parameter == 2)
    rotozoom_draw(s1, s.meta[1]->pixels, 80.0f * t, 20.0f * sq + 148.0f);
  else
    return;
  row_multiply(pixels, pixels, s1, kPixels);
}

TH_SCENE(TwinWarpScene) {
  (void)entry, (void)index, (void)start, (void)end, (void)progress, (void)parameter;
  Show& s = show();
  WarpGrid& grid = s.warps.grid;
  warp_grid_swirls(grid, 1.4f * t, 1.7f * std::sin((t - 103.0f) * 1.5f), t);
  grid_warp_texture(pixels, s.qub->pixels, grid, kWarpGridColumns, kWarpGridRows);
  warp_grid_swirls(grid, 2.1f * t, 1.1f * std::sin((t + 103.0f) * 1.5f), -t);
  grid_warp_texture(scratch(1), s.blob->pixels, grid, kWarpGridColumns, kWarpGridRows);
  row_multiply(pixels, pixels, scratch(1), kPixels);
}
