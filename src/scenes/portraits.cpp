// The two portraits over the moving background: the second fades in and stays, morphs into
// the first, which stays, smears along the scan and fades to black.
#include "assets/data_files.h"
#include "assets/morph.h"
#include "kernels/kernels.h"
#include "scenes/scenes.h"
#include "scenes/show.h"

namespace {

void add_onto(uint32_t* pixels, const uint32_t* picture) {
  row_add_saturate(pixels, pixels, picture, kFramePixels);
}

}  // namespace

TH_SCENE(PortraitScene) {
  (void)entry, (void)index, (void)t, (void)start, (void)end;
  Show& s = show();
  const float q = progress;
  if (parameter == 1) {
    // The first tenth brings the second portrait up from black.
    if (q < 0.1f) {
      darken(s.scratch[0], s.portrait2->pixels, static_cast<int>(q * 10.0f * 255.0f), kFramePixels);
      add_onto(pixels, s.scratch[0]);
    } else {
      add_onto(pixels, s.portrait2->pixels);
    }
  } else if (parameter == 0) {
    add_onto(pixels, s.portrait1->pixels);
    // The second half smears ever longer (strength 128 down to 1 at the end) ...
    if (q > 0.5f) smear_scan(pixels, static_cast<int>(128.0f - (q - 0.5f) * 10.0f * 0.2f * 128.0f));
    // ... and the last twentieth goes to black.
    if (q > 0.95f)
      darken(pixels, pixels, static_cast<int>(255.0f - (q - 0.95f) * 10.0f * 2.0f * 255.0f),
             kFramePixels);
  }
}

TH_SCENE(MorphScene) {
  (void)entry, (void)index, (void)t, (void)start, (void)end, (void)parameter;
  Show& s = show();
  if (s.portraits.morph_to_load) {
    load_morph(data_file::kMorph);
    s.portraits.morph_to_load = false;
  }
  // From the second portrait at the row's start to the first at its end.
  morph(s.scratch[1], s.scratch[0], s.portrait1->pixels, s.portrait2->pixels, 1.0f - progress);
  add_onto(pixels, s.scratch[1]);
}
