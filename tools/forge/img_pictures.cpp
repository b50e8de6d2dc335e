// The show's full-screen pictures, portraits, titles, captions, logo, credits scrollers
// and the swarm's sprite.
#include <cmath>
#include <string>
#include <vector>

#include "assets/data_files.h"
#include "forge_media.h"
#include "portrait_layout.h"
#include "text_font.h"

namespace forge {

namespace {

constexpr int W = 320, H = 240;

// Titles, captions and the logo are drawn on a flat key colour, black, which the scenes
// leave out; text pixels are kept off the key so none of them turns transparent.
constexpr Col kKey = {0, 0, 0};

Canvas keyed_text(int w, int h, const Font& font, const std::vector<std::string>& lines,
                  const std::vector<int>& sizes, const std::vector<float>& baselines, Col top,
                  Col bottom, float tracking) {
  Canvas c(w, h, kKey);
  Mask m(w, h);
  for (size_t i = 0; i < lines.size(); ++i)
    font.draw_centred(m, w * 0.5f, baselines[i], lines[i], sizes[i], tracking);
  Mask o = dilate(m, 2);
  c.each([&](float x, float y, Col& p) {
    int ix = static_cast<int>(x), iy = static_cast<int>(y);
    float a = std::max(o.at(ix, iy), m.at(ix, iy));
    if (a <= 0.02f) return;
    Col fill = mix(top, bottom, clamp01(y / h));
    Col col = mix(rgb8(12, 10, 24), fill, m.at(ix, iy) / std::max(a, 1e-3f));
    // Edges fade towards the outline colour, never to the key itself.
    p = mix(rgb8(8, 8, 16), col, a);
  });
  return c;
}

// Two profiles facing each other; the space between them reads as a vase.
Canvas kdouble() {
  Canvas c(W, H);
  auto profile = [](float y) {  // distance of the face's edge from the centre line
    float t = y / H;
    auto bump = [&](float at, float depth, float width) {
      return depth * std::exp(-std::pow((t - at) / width, 2.0f));
    };
    // forehead, nose, upper lip, lower lip, chin; the neck widens below
    return 62 - bump(0.40f, 24, 0.07f) - bump(0.535f, 9, 0.03f) - bump(0.605f, 9, 0.03f) -
           bump(0.72f, 14, 0.06f) + 10 * smoothstep(0.78f, 1.0f, t) - 8 * smoothstep(0.2f, 0.0f, t);
  };
  c.shade([&](float x, float y) {
    float d = std::fabs(x - 160) - profile(y);
    Col vase = mix(rgb8(255, 190, 90), rgb8(230, 70, 60), y / H);
    float dxv = (x - 160) / 60;
    vase = vase * (1.15f - 0.4f * dxv * dxv);
    Col face = mix(rgb8(20, 40, 110), rgb8(8, 10, 40), std::fabs(x - 160) / 160);
    float rim = std::exp(-std::fabs(d) / 3) * 0.8f;
    Col col = mix(vase, face, clamp01(d + 0.5f));
    return col + rgb8(140, 200, 255) * (d > 0 ? rim : 0);
  });
  return c;
}

// Ocean at night under a large moon.
Canvas kblue(uint32_t seed) {
  Canvas c(W, H);
  const float horizon = 138;
  c.shade([&](float x, float y) {
    if (y < horizon) {
      Col sky = mix(rgb8(4, 10, 40), rgb8(40, 90, 170), y / horizon);
      float n = tile_fbm(x, y * 3, 512, 4, 4, seed);
      sky = sky + rgb8(60, 90, 150) * std::max(0.0f, n) * 0.5f * (y / horizon);
      float dx = x - 210, dy = y - 70, r = std::sqrt(dx * dx + dy * dy);
      sky = sky + rgb8(150, 190, 255) * std::pow(clamp01(1 - r / 110), 3.0f);
      if (r < 30)
        sky = mix(sky, rgb8(235, 240, 255) * (0.93f + 0.07f * tile_fbm(x, y, 64, 4, 3, seed + 1)),
                  clamp01(30 - r));
      return sky;
    }
    float d = (y - horizon) / (H - horizon);
    Col sea = mix(rgb8(20, 60, 130), rgb8(2, 8, 30), d);
    float wv = tile_fbm(x * (1.5f - d), (y - horizon) * 6 / (d + 0.1f), 512, 8, 3, seed + 2);
    float glitter = std::pow(clamp01(1 - std::fabs(x - 210) / (30 + 90 * d)), 2.0f) *
                    smoothstep(0.1f, 0.5f, wv);
    return sea * (1 + 0.3f * wv) + rgb8(200, 220, 255) * glitter;
  });
  for (int i = 0; i < 60; ++i) {
    float sx = hash01(i, 1, seed) * W, sy = hash01(i, 2, seed) * 100;
    c.add(static_cast<int>(sx), static_cast<int>(sy), rgb8(200, 210, 255) * hash01(i, 3, seed));
  }
  return c;
}

// Multiplied over the plasma: mostly light, a row of arches along the top.
Canvas ktopb(uint32_t seed) {
  Canvas c(W, H);
  c.shade([&](float x, float y) {
    float dx = (x - 160) / 160, dy = (y - 130) / 130;
    float v = 1 - 0.22f * (dx * dx + dy * dy);
    Col col = Col{v, v * 0.98f, v * 0.95f} * (1 + 0.03f * tile_fbm(x, y, 512, 8, 3, seed));
    float cell = std::fmod(x, 40.0f) - 20;
    float arch = 40 - std::sqrt(std::max(0.0f, 400 - cell * cell));
    if (y < 56 && y > arch + 6) col = col * 0.55f;
    if (y < 6 || (y < 60 && y >= 56)) col = col * 0.45f;
    return col;
  });
  return c;
}

// A small ray-traced scene of mirror spheres over a chequered floor.
Canvas picture_3da() {
  struct Sphere {
    float x, y, z, r;
    Col c;
  };
  const Sphere sph[] = {{-1.1f, 0.7f, 5, 0.7f, rgb8(255, 90, 80)},
                        {0.6f, 1.0f, 6.2f, 1.0f, rgb8(90, 180, 255)},
                        {1.7f, 0.45f, 4.4f, 0.45f, rgb8(255, 220, 90)},
                        {-0.1f, 0.3f, 3.7f, 0.3f, rgb8(150, 255, 150)}};
  const float lx = -0.5f, ly = 0.8f, lz = -0.33f;
  auto trace = [&](auto&& self, float ox, float oy, float oz, float dx, float dy, float dz,
                   int depth) -> Col {
    float best = 1e9f;
    int hit = -1;
    for (int i = 0; i < 4; ++i) {
      float px = ox - sph[i].x, py = oy - sph[i].y, pz = oz - sph[i].z;
      float b = px * dx + py * dy + pz * dz, cc = px * px + py * py + pz * pz - sph[i].r * sph[i].r;
      float disc = b * b - cc;
      if (disc < 0) continue;
      float t = -b - std::sqrt(disc);
      if (t > 1e-3f && t < best) {
        best = t;
        hit = i;
      }
    }
    float tf = dy < 0 ? -oy / dy : 1e9f;
    if (hit < 0 && tf >= 1e9f) {  // sky
      float s = clamp01(dy * 2 + 0.2f);
      return mix(rgb8(250, 170, 120), rgb8(40, 50, 120), s);
    }
    if (tf < best) {
      float hx = ox + dx * tf, hz = oz + dz * tf;
      bool chk = (static_cast<int>(std::floor(hx)) + static_cast<int>(std::floor(hz))) & 1;
      Col fl = chk ? rgb8(230, 230, 240) : rgb8(40, 40, 70);
      float fog = clamp01(tf / 30);
      // Shadows of the spheres.
      float sh = 1;
      for (int i = 0; i < 4; ++i) {
        float px = hx - sph[i].x, py = -sph[i].y, pz = hz - sph[i].z;
        float b = px * lx + py * ly + pz * lz,
              cc = px * px + py * py + pz * pz - sph[i].r * sph[i].r;
        if (b * b - cc > 0 && b < 0) sh = 0.45f;
      }
      Col col = fl * sh;
      if (depth > 0) col = mix(col, self(self, hx, 1e-3f, hz, dx, -dy, dz, depth - 1), 0.25f);
      return mix(col, rgb8(250, 170, 120), fog);
    }
    const Sphere& s = sph[hit];
    float hx = ox + dx * best, hy = oy + dy * best, hz = oz + dz * best;
    float nx = (hx - s.x) / s.r, ny = (hy - s.y) / s.r, nz = (hz - s.z) / s.r;
    float diff = std::max(0.0f, nx * lx + ny * ly + nz * lz);
    float dn = dx * nx + dy * ny + dz * nz;
    float rx = dx - 2 * dn * nx, ry = dy - 2 * dn * ny, rz = dz - 2 * dn * nz;
    float shine = std::pow(std::max(0.0f, rx * lx + ry * ly + rz * lz), 40.0f);
    Col col = s.c * (0.25f + 0.75f * diff);
    if (depth > 0) col = mix(col, self(self, hx, hy, hz, rx, ry, rz, depth - 1), 0.35f);
    return col + Col{shine, shine, shine};
  };
  Canvas c(W, H);
  c.shade([&](float x, float y) {
    Col sum{};
    for (int s = 0; s < 4; ++s) {  // 2 x 2 samples a pixel
      float sx = x - 0.25f + 0.5f * (s & 1), sy = y - 0.25f + 0.5f * (s >> 1);
      float dx = (sx - 160) / 200, dy = -(sy - 100) / 200, dz = 1;
      float n = std::sqrt(dx * dx + dy * dy + dz * dz);
      sum = sum + trace(trace, 0.0f, 1.1f, 0.0f, dx / n, dy / n, dz / n, 2);
    }
    return sum * 0.25f;
  });
  return c;
}

// Face layers of the warp scenes. The back layer is multiplied (mostly light, features
// darker); the front layer is added (mostly dark, features glowing).
void face_features(Canvas& c, bool back) {
  const float cx = 160, ey = 104;
  for (int s = -1; s <= 1; s += 2) {
    float ex = cx + s * 42.0f;
    if (back) {
      c.ellipse(ex, ey, 30, 16, rgb8(150, 140, 170), 1, 10);
      c.ellipse(ex, ey, 10, 10, rgb8(60, 50, 90));
      c.line(ex - 30, ey - 30, ex + 26, ey - 34 - s * 2.0f, 5, rgb8(120, 110, 140));
    } else {
      c.glow(ex, ey, 26, rgb8(60, 200, 255), 2.5f);
      c.ring(ex, ey, 10, 2, rgb8(120, 230, 255), 0.9f);
      c.glow(ex - 3, ey - 3, 5, rgb8(255, 255, 255), 1);
    }
  }
  if (back) {
    c.line(cx, 110, cx - 6, 150, 4, rgb8(190, 180, 200), 0.8f);
    c.ellipse(cx, 180, 34, 12, rgb8(140, 90, 120));
  } else {
    c.glow(cx, 180, 44, rgb8(255, 40, 110), 2);
    c.ellipse(cx, 180, 30, 8, rgb8(255, 80, 140), 0.8f, 3);
  }
}

Canvas kfaceb(uint32_t seed) {
  Canvas c(W, H);
  c.shade([&](float x, float y) {
    float dx = (x - 160) / 118, dy = (y - 128) / 150;
    float r = std::sqrt(dx * dx + dy * dy);
    float edge = smoothstep(1.02f, 0.9f, r);
    float v = 0.97f - 0.18f * (1 - edge) * smoothstep(1.4f, 1.0f, r);
    return Col{v, v, v * 0.98f} * (1 + 0.02f * tile_fbm(x, y, 512, 8, 2, seed));
  });
  c.each([&](float x, float y, Col& p) {  // a soft line round the face
    float dx = (x - 160) / 118, dy = (y - 128) / 150;
    float r = std::sqrt(dx * dx + dy * dy);
    p = p * (1 - 0.35f * std::exp(-std::pow((r - 1) * 40, 2.0f)));
  });
  face_features(c, true);
  return c;
}

Canvas kfacef() {
  Canvas c(W, H);
  c.each([&](float x, float y, Col& p) {  // a rim of light round the face
    float dx = (x - 160) / 118, dy = (y - 128) / 150;
    float r = std::sqrt(dx * dx + dy * dy);
    p = rgb8(120, 60, 255) * (0.6f * std::exp(-std::pow((r - 1) * 18, 2.0f)));
  });
  face_features(c, false);
  return c;
}

// A portrait drawn where the morph grid expects its features.
Canvas paint_portrait(const portrait::Layout& l, Col skin, Col hair, Col backdrop, Col eye,
                      Col lips, uint32_t seed) {
  Canvas c(W, H);
  const float cx = l.centre_x, fx = (l.cheek_right - l.cheek_left) * 0.5f + 6;
  const float top = l.head_top, chin = l.chin_y;
  c.shade([&](float x, float y) {
    float dx = (x - cx) / 200, dy = (y - 120) / 200;
    return backdrop * std::max(0.0f, 0.14f - 0.25f * (dx * dx + dy * dy)) *
           (1 + 0.3f * tile_fbm(x, y, 512, 4, 3, seed));
  });
  // Neck and shoulders.
  c.rect(cx - fx * 0.45f, (l.mouth_y + chin) * 0.5f, cx + fx * 0.45f, H, skin * 0.55f);
  c.ellipse(cx, H + 30, fx * 2.6f, 70, backdrop * 0.5f + hair * 0.3f, 1, 3);
  // Hair behind the head.
  c.ellipse(cx, (top + l.mouth_y) * 0.5f + 4, (l.head_right - l.head_left) * 0.5f + 2,
            (l.mouth_y - top) * 0.5f + 22, hair, 1, 2);
  // The face: an egg shape from the forehead to the chin, shaded from the upper left.
  const float fy0 = l.eye_y - (l.eye_y - top) * 0.75f;
  c.each([&](float x, float y, Col& p) {
    float ny = (y - fy0) / (chin - fy0);  // 0 at the forehead, 1 at the chin
    if (ny < 0 || ny > 1) return;
    float half =
        fx *
        (ny < 0.55f
             ? std::sqrt(std::max(0.0f, 1 - std::pow((0.55f - ny) / 0.58f, 2.0f)))
             : std::sqrt(std::max(0.0f, 1 - std::pow((ny - 0.55f) / 0.45f, 2.0f))) * 0.98f + 0.02f);
    float d = std::fabs(x - cx) - half;
    float a = clamp01(0.5f - d);
    float shade =
        1.05f - 0.45f * std::pow(std::fabs(x - cx + fx * 0.25f) / (fx * 1.3f), 2.0f) - 0.1f * ny;
    p = mix(p, skin * shade, a);
  });
  // Fringe over the forehead.
  c.ellipse(cx - 4, top + (l.eye_y - top) * 0.28f, (l.head_right - l.head_left) * 0.47f,
            (l.eye_y - top) * 0.36f, hair, 1, 2);
  // Eyes, brows, nose, mouth at the layout's places.
  for (int s = -1; s <= 1; s += 2) {
    float ex = s < 0 ? l.eye_left_x : l.eye_right_x, ey = l.eye_y, r = l.eye_radius;
    c.ellipse(ex, ey, r * 1.35f, r * 0.7f, rgb8(240, 235, 230));
    c.ellipse(ex, ey, r * 0.62f, r * 0.62f, eye);
    c.ellipse(ex, ey, r * 0.28f, r * 0.28f, rgb8(5, 5, 10));
    c.ellipse(ex - r * 0.2f, ey - r * 0.25f, r * 0.14f, r * 0.14f, rgb8(255, 255, 255));
    c.line(ex - r * 1.4f, ey - r * 0.35f, ex + r * 1.4f, ey - r * 0.55f, 2, hair * 0.6f);
    c.line(ex - r * 1.3f, ey - r * 1.5f, ex + r * 1.3f, ey - r * 1.7f, 3, hair * 0.8f);
  }
  c.line(cx - 2, (l.eye_y + l.nose_y) * 0.5f, cx - 5, static_cast<float>(l.nose_y), 2.5f,
         skin * 0.72f, 0.8f);
  c.ellipse(cx, l.nose_y + 1.0f, 7, 3, skin * 0.7f, 0.7f);
  const float mw = l.mouth_half_width;
  c.ellipse(cx, l.mouth_y - 2.5f, mw * 0.9f, 4, lips);
  c.ellipse(cx, l.mouth_y + 3.5f, mw * 0.8f, 5, lips * 1.1f);
  c.line(cx - mw, static_cast<float>(l.mouth_y), cx + mw, static_cast<float>(l.mouth_y), 1.5f,
         lips * 0.45f);
  return c;
}

Canvas sprite() {
  const int n = 256;
  Canvas c(n, n);
  c.shade([&](float x, float y) {
    float dx = x - 128, dy = y - 128, r = std::sqrt(dx * dx + dy * dy);
    float core = std::pow(clamp01(1 - r / 50), 2.5f);
    float halo = 0.35f * std::pow(clamp01(1 - r / 126), 2.0f);
    float ring = 0.3f * std::exp(-std::pow((r - 80) / 5, 2.0f));
    float a = std::atan2(dy, dx);
    float rays = 0.35f * std::pow(std::fabs(std::cos(a * 3)), 40.0f) * clamp01(1 - r / 126);
    float v = core + halo + ring + rays;
    return Col{v * 0.85f, v * 0.92f, v};
  });
  return c;
}

// Credits: the show and its parts, never people. scroll1 stays sharp on top; scroll2 is
// the smeared layer under it and is taller, so it moves faster.
Canvas scroll1(const Font& bold, const Font& sans) {
  const int h = 960;
  Canvas c(W, h);
  Mask big(W, h), small(W, h);
  float y = 300;
  bold.draw_centred(big, 160, y, "TIDAL HALL", 36, 2);
  y += 28;
  sans.draw_centred(small, 160, y, "long night mix", 16, 1);
  y += 70;
  sans.draw_centred(small, 160, y - 30, "a rebuild in C++, made of", 13);
  const std::vector<std::pair<std::string, std::string>> parts = {
      {"kelp", "the software 3D engine"},        {"music", "the soundtrack, streamed"},
      {"host", "window, clock and start-up"},    {"display", "frame buffer to screen"},
      {"sequencer", "timeline, fades, flashes"}, {"assets", "picture, motion, morph readers"},
      {"scenes", "catwalk, city, portraits"},    {"kernels", "warps, glows, flares, sprites"},
      {"forge", "the data set: every picture,"}, {"", "scene, motion and note"}};
  for (const auto& [name, what] : parts) {
    if (name.empty()) {  // a second line for the part above
      sans.draw_centred(small, 160, y - 52 + 36, what, 13);
      continue;
    }
    bold.draw_centred(big, 160, y, name, 22, 1);
    sans.draw_centred(small, 160, y + 20, what, 13);
    y += 52;
  }
  bold.draw_centred(big, 160, h - 60, "thanks for watching", 18, 1);
  c.each([&](float x, float yy, Col& p) {
    int ix = static_cast<int>(x), iy = static_cast<int>(yy);
    Col gold = mix(rgb8(255, 230, 150), rgb8(255, 150, 60), std::fmod(yy, 52.0f) / 52);
    p = gold * big.at(ix, iy) + rgb8(170, 200, 255) * small.at(ix, iy);
  });
  return c;
}

Canvas scroll2(const Font& bold, uint32_t seed) {
  const int h = 1400;
  Canvas c(W, h);
  Mask m(W, h);
  const char* words[] = {"QUIET", "ORBIT", "TIDAL", "HALL", "LONG", "NIGHT", "MIX", "KELP"};
  for (int i = 0; i < 8; ++i) bold.draw_centred(m, 160, 260 + i * 140.0f, words[i], 64, 4);
  Mask g = box_blur(dilate(m, 3), 4);
  c.each([&](float x, float y, Col& p) {
    int ix = static_cast<int>(x), iy = static_cast<int>(y);
    Col hue = hsv(y / h * 0.8f + 0.55f, 0.7f, 1.0f);
    float n = 0.5f + 0.5f * tile_fbm(x, y, 1024, 8, 3, seed);
    p = hue * (0.55f * m.at(ix, iy) + 0.35f * g.at(ix, iy)) + rgb8(20, 30, 60) * n * 0.5f;
  });
  return c;
}

}  // namespace

void make_pictures(Forge& f) {
  // Only the fonts of fonts-dejavu-core, which ./run installs.
  const Font bold("DejaVuSans-Bold.ttf"), sans("DejaVuSans.ttf"), serif("DejaVuSerif-Bold.ttf");
  auto sd = [&](const char* n) { return seed_of(f, n); };

  save_jpeg(f, data_file::kDoublePicture, kdouble());
  save_jpeg(f, data_file::kBluePicture, kblue(sd("kblue")));
  save_jpeg(f, data_file::kTopPicture, ktopb(sd("ktopb")));
  save_jpeg(f, data_file::kCardPicture, picture_3da());
  save_jpeg(f, data_file::kFaceBackPicture, kfaceb(sd("kfaceb")));
  save_jpeg(f, data_file::kFaceFrontPicture, kfacef());
  save_jpeg(f, data_file::kPortrait1,
            paint_portrait(portrait::kFirst, rgb8(240, 180, 130), rgb8(90, 40, 20),
                           rgb8(255, 120, 40), rgb8(60, 120, 60), rgb8(200, 50, 60), sd("tovr1")));
  save_jpeg(f, data_file::kPortrait2,
            paint_portrait(portrait::kSecond, rgb8(190, 200, 240), rgb8(30, 30, 90),
                           rgb8(60, 120, 255), rgb8(60, 90, 160), rgb8(170, 60, 140), sd("tovr2")));
  save_jpeg(f, data_file::kSpritePicture, sprite());
  save_jpeg(f, data_file::kScroll1Picture, scroll1(bold, sans));
  save_jpeg(f, data_file::kScroll2Picture, scroll2(bold, sd("scroll2")));

  // Titles over the opening catwalk: low in the frame, so the dancer stays in view.
  const Col warm_top = rgb8(255, 250, 230), warm_bottom = rgb8(255, 170, 60);
  save_pcx_keyed(f, data_file::kTitles[0],
                 keyed_text(W, H, serif, {"a quiet orbit", "production"}, {22, 22}, {188, 214},
                            warm_top, warm_bottom, 1));
  save_pcx_keyed(f, data_file::kTitles[1],
                 keyed_text(W, H, bold, {"QUIET ORBIT", "presents"}, {30, 16}, {196, 220}, warm_top,
                            warm_bottom, 3));
  save_pcx_keyed(f, data_file::kTitles[2],
                 keyed_text(W, H, serif, {"TIDAL HALL"}, {38}, {210}, rgb8(255, 255, 255),
                            rgb8(120, 200, 255), 3));
  save_pcx_keyed(f, data_file::kTitles[3],
                 keyed_text(W, H, serif, {"long night mix"}, {28}, {208}, rgb8(255, 220, 250),
                            rgb8(230, 90, 200), 2));

  // Captions over the portraits (placed at 10, 10) and the corner logo.
  const char* words[] = {"artwork", "audio", "control", "objects", "love"};
  for (int i = 0; i < 5; ++i) {
    const int w = static_cast<int>(bold.width(words[i], 38, 1)) + 16;
    Col a = hsv(0.08f + 0.17f * i, 0.35f, 1.0f), b = hsv(0.02f + 0.17f * i, 0.85f, 1.0f);
    save_pcx_keyed(f, data_file::kCaptions[i],
                   keyed_text(w, 52, bold, {words[i]}, {38}, {40}, a, b, 1));
  }
  {
    Canvas logo = keyed_text(150, 44, bold, {"QUIET ORBIT", "tidal hall"}, {17, 11}, {22, 38},
                             rgb8(255, 255, 255), rgb8(140, 200, 255), 2);
    logo.line(30, 27, 120, 27, 1.5f, rgb8(255, 200, 90));
    save_pcx_keyed(f, data_file::kLogoPicture, logo);
  }
}

}  // namespace forge
