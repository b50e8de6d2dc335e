// The 256 x 256 textures of the catwalk, the dancer, the cube, the warps and the dance
// floor, the light spots and the flower sprite. Maps that the engine repeats or the warps
// wrap are built from periodic functions only, so they tile without a seam.
#include <cmath>

#include "assets/data_files.h"
#include "forge_media.h"
#include "text_font.h"

namespace forge {

namespace {

constexpr int S = 256;
constexpr float kTau = 6.28318530718f;

float wave(float x, float cycles) {
  return std::sin(kTau * cycles * x / S);
}

// Cosine palette: a + b cos(2 pi (c t + d)) per channel.
Col cospal(float t, Col a, Col b, Col c, Col d) {
  return {a.r + b.r * std::cos(kTau * (c.r * t + d.r)),
          a.g + b.g * std::cos(kTau * (c.g * t + d.g)),
          a.b + b.b * std::cos(kTau * (c.b * t + d.b))};
}

// Colour map for the plasma and the object's environment: smooth bands all the way round.
Canvas cmap(uint32_t seed) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    float v = 0.5f + 0.18f * (wave(x, 1) + wave(y, 2) + wave(x + y, 1) + wave(x - 2 * y, 1)) +
              0.15f * tile_fbm(x, y, S, 4, 2, seed);
    return cospal(v, {0.5f, 0.5f, 0.5f}, {0.5f, 0.5f, 0.5f}, {1.0f, 1.0f, 1.0f},
                  {0.0f, 0.33f, 0.67f});
  });
  return c;
}

// Environment maps of the metaballs (also wrapped by the warps): a tinted periodic marble
// with a highlight in the middle that fades out before the edges.
Canvas meta(uint32_t seed, Col a, Col b, Col hi) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    float n = tile_fbm(x, y, S, 4, 4, seed);
    float m = 0.5f + 0.5f * std::sin(kTau * (x / S) + 5.0f * n + wave(y, 2));
    Col col = mix(a, b, m);
    float dx = x - 128, dy = y - 100, r = std::sqrt(dx * dx + dy * dy);
    float h = std::pow(clamp01(1 - r / 110), 2.5f);
    return mix(col, hi, h);
  });
  return c;
}

// Multiplied over the warps: light, with soft coloured blobs.
Canvas blobs(uint32_t seed) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    float n = tile_fbm(x, y, S, 4, 3, seed);
    float m = tile_fbm(x, y, S, 2, 2, seed + 11);
    float blob = smoothstep(0.05f, 0.35f, n);
    Col tint = mix(rgb8(255, 210, 190), rgb8(190, 230, 255), 0.5f + 0.5f * m);
    return mix(rgb8(252, 250, 244), tint, blob);
  });
  return c;
}

// Multiplied over the warps: light bevelled tiles.
Canvas qubes(uint32_t seed) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    const float cell = 32;
    int cx = static_cast<int>(x / cell), cy = static_cast<int>(y / cell);
    float fx = std::fmod(x, cell) / cell, fy = std::fmod(y, cell) / cell;
    float edge = std::min(std::min(fx, 1 - fx), std::min(fy, 1 - fy));
    float bevel = smoothstep(0.0f, 0.12f, edge);
    float lit = fx < fy ? 0.94f : 0.82f;  // two faces of a bevel, lit from the upper left
    float shade = mix(Col{lit, lit, lit}, Col{1, 1, 1}, bevel).r;
    float k = hash01(static_cast<uint32_t>(cx & 7), static_cast<uint32_t>(cy & 7), seed);
    Col tint = hsv(0.55f + 0.25f * k, 0.18f, 1.0f);
    return tint * shade * (0.97f + 0.03f * tile_fbm(x, y, S, 8, 2, seed));
  });
  return c;
}

// The metaball cube's inside: dark panels with glowing seams.
Canvas cube_panels(uint32_t seed) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    float n = tile_fbm(x, y, S, 8, 3, seed);
    Col base = mix(rgb8(10, 16, 40), rgb8(28, 36, 80), 0.5f + 0.5f * n);
    float gx = std::fabs(std::fmod(x + 0.5f, 64.0f) - 32),
          gy = std::fabs(std::fmod(y + 0.5f, 64.0f) - 32);
    float seam = std::max(smoothstep(27.0f, 31.5f, gx), smoothstep(27.0f, 31.5f, gy));
    float fine = std::max(smoothstep(14.5f, 15.8f, std::fabs(std::fmod(x, 32.0f) - 16)),
                          smoothstep(14.5f, 15.8f, std::fabs(std::fmod(y, 32.0f) - 16)));
    return base + rgb8(60, 140, 255) * seam + rgb8(20, 40, 90) * fine * 0.5f;
  });
  return c;
}

// A soft round spot on black: the catwalk's spotlight pattern.
Canvas spot(int size, float radius) {
  Canvas c(size, size);
  const float h = size * 0.5f;
  c.shade([&](float x, float y) {
    float r = std::sqrt((x - h) * (x - h) + (y - h) * (y - h)) / radius;
    float v = r < 1 ? std::pow(std::cos(r * 1.5707963f), 2.0f) : 0.0f;
    return Col{1.0f, 0.97f, 0.9f} * v;
  });
  return c;
}

// The light's glow for the lens flares: a hot core, a halo and four thin rays.
Canvas light_glow() {
  const int n = 128;
  Canvas c(n, n);
  const float h = n * 0.5f;
  c.shade([&](float x, float y) {
    float dx = x - h, dy = y - h, r = std::sqrt(dx * dx + dy * dy);
    float core = std::exp(-r * r / 60.0f);
    float halo = 0.45f * std::pow(clamp01(1 - r / 62), 2.0f);
    float rays = 0.6f * (std::exp(-dx * dx / 3.0f) + std::exp(-dy * dy / 3.0f)) *
                 std::pow(clamp01(1 - r / 62), 3.0f);
    float v = core + halo + rays;
    return Col{v, v * 0.97f, v * 0.92f};
  });
  return c;
}

Canvas flower() {
  const int n = 64;
  Canvas c(n, n);
  const float h = n * 0.5f;
  c.shade([&](float x, float y) {
    float dx = x - h, dy = y - h, r = std::sqrt(dx * dx + dy * dy), a = std::atan2(dy, dx);
    float petal = 13 + 15 * std::pow(std::fabs(std::cos(a * 4)), 0.7f);
    float in = clamp01(petal - r + 0.5f);
    float vein = 0.8f + 0.2f * std::cos(a * 32);
    Col pet = mix(rgb8(255, 90, 170), rgb8(120, 20, 120), clamp01(r / 30)) * vein;
    Col col = pet * in;
    float centre = clamp01(7.5f - r);
    col = mix(col, mix(rgb8(255, 230, 90), rgb8(255, 150, 30), clamp01(r / 7)), centre);
    if (r > 30.5f) col = {};
    return col;
  });
  return c;
}

// ---- the dancer ----

Col skin_at(float x, float y, uint32_t seed) {
  return rgb8(226, 170, 138) *
         (1 + 0.09f * tile_fbm(x, y, S, 8, 4, seed) + 0.05f * tile_fbm(x, y, S, 2, 2, seed + 1));
}

// The head's map wraps round it: face in the middle half, hair round the back and on top.
Canvas face_map(uint32_t seed) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    Col col = skin_at(x, y, seed);
    float dx = (x - 128) / 128;
    col = col * (1.0f - 0.25f * dx * dx);  // cheeks turn away from the light
    return col;
  });
  // Eyes: white, iris, lid line; brows.
  for (int side = -1; side <= 1; side += 2) {
    float ex = 128 + side * 30.0f, ey = 112;
    c.ellipse(ex, ey, 15, 8, rgb8(245, 240, 235));
    c.ellipse(ex, ey, 7, 7, rgb8(40, 110, 120));
    c.ellipse(ex, ey, 3, 3, rgb8(8, 8, 12));
    c.ellipse(ex - 2, ey - 3, 1.5f, 1.5f, rgb8(255, 255, 255));
    c.line(ex - 16, ey - 2, ex + 16, ey - 4, 2.5f, rgb8(40, 20, 24));
    c.line(ex - 15, ey - 20, ex + 14, ey - 22, 4, rgb8(50, 30, 26));
  }
  // Nose shading and mouth.
  c.line(128, 118, 124, 150, 3, rgb8(190, 130, 104), 0.7f);
  c.ellipse(128, 153, 9, 3, rgb8(190, 130, 104), 0.6f);
  c.ellipse(128, 176, 22, 8, rgb8(190, 40, 70));
  c.line(108, 176, 148, 176, 2, rgb8(110, 20, 40));
  c.ellipse(124, 172, 8, 2, rgb8(240, 120, 140), 0.6f);
  // Cheek blush.
  c.ellipse(88, 150, 16, 10, rgb8(235, 130, 130), 0.25f, 8);
  c.ellipse(168, 150, 16, 10, rgb8(235, 130, 130), 0.25f, 8);
  // Hair: the top band, and all of the back (the map's left and right quarters).
  c.each([&](float x, float y, Col& p) {
    float n = tile_fbm2(x, y, S, 4, 64, 3, seed + 5);
    Col hair = mix(rgb8(16, 10, 22), rgb8(70, 40, 90), 0.5f + 0.5f * n);
    float dx = std::fabs(x - 128);
    float line = 62 + 14 * std::cos(dx / 128 * 3.14159f);  // hairline sweeps down at the sides
    float a = std::max(smoothstep(line - 3, line - 9, y),
                       smoothstep(78, 92, dx) * smoothstep(200, 120, y));
    p = mix(p, hair, a);
  });
  return c;
}

Canvas fabric(uint32_t seed, Col a, Col b, float sheen_cycles) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    float weave = 0.04f * wave(x, 64) * wave(y, 64);
    float sheen = 0.5f + 0.5f * wave(x, sheen_cycles);
    float n = 0.08f * tile_fbm(x, y, S, 8, 3, seed);
    return mix(a, b, sheen * sheen) * (1 + n + weave);
  });
  return c;
}

// The bodice, painted head-up like the hip: bare shoulders and a scooped neckline at the
// top, a gold waistband at the bottom.
void waistband(Canvas& c) {
  c.rect(0, 226, 256, 229, rgb8(140, 90, 20));
  c.rect(0, 229, 256, 256, rgb8(250, 200, 80));
  for (int i = 0; i < 8; ++i) c.ellipse(16 + i * 32.0f, 242, 4, 4, rgb8(255, 235, 160));
}

Canvas chest_front(uint32_t seed) {
  Canvas c = fabric(seed, rgb8(120, 10, 40), rgb8(230, 50, 90), 2);
  // Skin above a sweetheart neckline: two arcs meeting in a dip at the middle.
  c.each([&](float x, float y, Col& p) {
    float dx = std::fabs(x - 128) / 128;
    float neckline = 34 + 34 * (1 - dx * dx) - 26 * smoothstep(0.22f, 0.0f, dx);
    if (y < neckline)
      p = skin_at(x, y, seed);
    else if (y < neckline + 6)
      p = rgb8(250, 200, 80);  // gold piping
  });
  // Lacing that narrows down towards the waist, with studs either side.
  for (int i = 0; i < 8; ++i) {
    float y = 80 + i * 18.0f, half = 22 - i * 1.8f;
    c.line(128 - half, y, 128 + half, y + 9, 3, rgb8(250, 200, 80));
    c.line(128 + half, y, 128 - half, y + 9, 3, rgb8(250, 200, 80));
    c.ellipse(128 - half - 8, y + 4.5f, 3.5f, 3.5f, rgb8(255, 225, 130));
    c.ellipse(128 + half + 8, y + 4.5f, 3.5f, 3.5f, rgb8(255, 225, 130));
  }
  // A brooch in the neckline's dip.
  c.ellipse(128, 54, 9, 9, rgb8(250, 200, 80));
  c.ellipse(128, 54, 5, 5, rgb8(40, 150, 170));
  waistband(c);
  return c;
}

Canvas chest_back(uint32_t seed) {
  Canvas c = fabric(seed, rgb8(120, 10, 40), rgb8(230, 50, 90), 2);
  // Bare shoulders and an open back, a deep scoop down the middle, crossed by straps.
  c.each([&](float x, float y, Col& p) {
    float dx = std::fabs(x - 128) / 84;
    float edge = 30 + (dx < 1 ? 130 * (1 - dx * dx) : 0);
    if (y < edge)
      p = skin_at(x, y, seed);
    else if (y < edge + 5)
      p = rgb8(250, 200, 80);
  });
  for (int i = 0; i < 4; ++i) {
    float y = 60 + i * 26.0f, half = 70 - i * 14.0f;
    c.line(128 - half, y, 128 + half, y + 14, 6, rgb8(170, 30, 60));
    c.line(128 + half, y, 128 - half, y + 14, 6, rgb8(150, 20, 50));
  }
  waistband(c);
  return c;
}

Canvas hip(uint32_t seed, bool front) {
  Canvas c = fabric(seed, rgb8(14, 14, 30), rgb8(60, 60, 110), 3);
  c.rect(0, 0, 256, 34, rgb8(190, 190, 205));  // belt
  c.each([&](float x, float y, Col& p) {
    if (y < 34)
      p = p * (0.8f + 0.2f * std::sin(y / 34 * 3.14159f)) *
          (1 + 0.05f * tile_fbm(x, y, S, 32, 2, seed));
  });
  if (front) {
    c.rect(108, 2, 148, 32, rgb8(250, 200, 80));
    c.rect(116, 9, 140, 25, rgb8(140, 100, 30));
    c.line(128, 34, 128, 160, 2, rgb8(90, 90, 140));
  } else {
    for (int s = -1; s <= 1; s += 2) {
      c.rect(128 + s * 60.0f - 28, 60, 128 + s * 60.0f + 28, 120, rgb8(40, 40, 80), 0.8f);
      c.line(128 + s * 60.0f - 28, 60, 128 + s * 60.0f + 28, 60, 2, rgb8(110, 110, 160));
    }
  }
  // A hem of gold at the bottom.
  c.rect(0, 240, 256, 256, rgb8(250, 200, 80));
  return c;
}

// ---- the catwalk ----

Canvas cat_side(uint32_t seed) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    float n = tile_fbm(x, y, S, 4, 4, seed);
    Col base = mix(rgb8(20, 18, 30), rgb8(48, 40, 70), 0.5f + 0.5f * n);
    float strip = smoothstep(10, 4, std::fabs(y - 128));
    float lights =
        std::pow(0.5f + 0.5f * wave(x, 16), 12.0f) * smoothstep(6, 2, std::fabs(y - 128));
    float groove = smoothstep(2, 0.5f, std::fabs(std::fmod(x, 64.0f) - 32)) * 0.5f;
    return base * (1 - groove) + rgb8(200, 200, 220) * strip * 0.6f + rgb8(255, 200, 120) * lights;
  });
  return c;
}

Canvas gold(uint32_t seed) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    float brush = tile_fbm2(x, y, S, 2, 64, 3, seed);  // long streaks along x
    float band = 0.5f + 0.5f * wave(y, 2);
    Col col = mix(rgb8(150, 100, 20), rgb8(255, 215, 110), 0.35f + 0.45f * band + 0.2f * brush);
    return col;
  });
  return c;
}

Canvas pole(uint32_t seed) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    // Chrome round a cylinder: bright streaks where the room reflects.
    float u = x / S;
    float refl = 0.35f + 0.3f * std::sin(kTau * u) +
                 0.35f * std::pow(0.5f + 0.5f * std::sin(kTau * 3 * u + 1), 8.0f);
    float n = 0.05f * tile_fbm(x, y, S, 4, 2, seed);
    float ring = smoothstep(3, 1, std::fabs(std::fmod(y, 64.0f) - 32)) * 0.3f;
    float v = clamp01(refl + n - ring);
    return Col{v * 0.92f, v * 0.95f, v};
  });
  return c;
}

Canvas rope(uint32_t seed) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    float strand = 0.5f + 0.5f * std::sin(kTau * 8 * (x + y) / S);
    float fibre = 0.5f + 0.5f * std::sin(kTau * 64 * (x - y) / S);
    float n = tile_fbm(x, y, S, 16, 2, seed);
    float v = 0.45f + 0.45f * std::pow(strand, 0.6f) + 0.06f * fibre + 0.08f * n;
    return rgb8(200, 160, 100) * v;
  });
  return c;
}

Canvas cat_floor(uint32_t seed) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    float n = tile_fbm(x, y, S, 4, 4, seed);
    Col base = mix(rgb8(12, 12, 16), rgb8(40, 36, 48), 0.5f + 0.5f * n);
    float gloss = 0.15f * std::pow(0.5f + 0.5f * wave(x + 0.3f * y, 1), 6.0f);
    float joint = std::max(smoothstep(1.5f, 0.3f, std::fabs(std::fmod(x, 128.0f))),
                           smoothstep(1.5f, 0.3f, std::fabs(std::fmod(y, 64.0f))));
    return base * (1 - 0.6f * joint) + Col{gloss, gloss, gloss * 1.2f};
  });
  return c;
}

// The catwalk's backdrop: an art-deco sunburst behind the show's name.
Canvas vog(uint32_t seed, const Font& serif) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    float dx = x - 128, dy = y - 230, a = std::atan2(dy, dx), r = std::sqrt(dx * dx + dy * dy);
    float ray = 0.5f + 0.5f * std::cos(a * 24);
    Col bg = mix(rgb8(40, 10, 60), rgb8(130, 40, 120), clamp01(1 - r / 300));
    bg = mix(bg, rgb8(220, 150, 60), ray * 0.35f * clamp01(1 - r / 260));
    return bg * (1 + 0.06f * tile_fbm(x, y, S, 8, 2, seed));
  });
  for (int i = 0; i < 4; ++i) c.ring(128, 230, 40.0f + i * 26, 2, rgb8(255, 210, 120), 0.8f);
  Mask m(S, S);
  serif.draw_centred(m, 128, 92, "TIDAL", 58, 2);
  serif.draw_centred(m, 128, 150, "HALL", 58, 6);
  Mask sh = box_blur(dilate(m, 2), 2);
  c.each([&](float x, float y, Col& p) {
    int ix = static_cast<int>(x), iy = static_cast<int>(y);
    p = mix(p, rgb8(10, 0, 20), sh.at(ix, iy) * 0.8f);
    p = mix(p, mix(rgb8(255, 240, 190), rgb8(230, 170, 60), y / 160), m.at(ix, iy));
  });
  return c;
}

// ---- the dance floor World ----

Canvas gradient(uint32_t seed) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    Col col = mix(rgb8(20, 70, 90), rgb8(90, 30, 110), y / S);
    return col * (1 + 0.04f * tile_fbm(x, y, S, 4, 3, seed));
  });
  return c;
}

Canvas floor_tiles(uint32_t seed) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    int cx = static_cast<int>(x / 64), cy = static_cast<int>(y / 64);
    bool dark = (cx + cy) & 1;
    float n = tile_fbm(x, y, S, 8, 4, seed);
    Col base = dark ? rgb8(30, 34, 44) : rgb8(120, 124, 130);
    float joint = std::max(smoothstep(1.5f, 0.2f, std::fmod(x, 64.0f)),
                           smoothstep(1.5f, 0.2f, std::fmod(y, 64.0f)));
    return base * (1 + 0.12f * n) * (1 - 0.5f * joint);
  });
  return c;
}

Canvas steps(uint32_t seed) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    float f = std::fmod(y, 64.0f);
    float nose = smoothstep(6, 0, f);
    float n = tile_fbm(x, y, S, 8, 3, seed);
    Col col = mix(rgb8(50, 50, 64), rgb8(80, 80, 100), 0.5f + 0.5f * n);
    return col + rgb8(120, 200, 255) * nose * 0.8f;
  });
  return c;
}

// Mostly dark: the floor is added over its own reflection.
Canvas dance_floor(uint32_t seed) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    int cx = static_cast<int>(x / 32), cy = static_cast<int>(y / 32);
    float fx = std::fmod(x, 32.0f) / 32 - 0.5f, fy = std::fmod(y, 32.0f) / 32 - 0.5f;
    float k = hash01(static_cast<uint32_t>(cx), static_cast<uint32_t>(cy), seed);
    Col lamp = hsv(k * 0.8f + 0.5f, 0.8f, 1.0f);
    float in = smoothstep(0.46f, 0.38f, std::max(std::fabs(fx), std::fabs(fy)));
    float glow = clamp01(1 - 2 * std::sqrt(fx * fx + fy * fy));
    float on = k > 0.55f ? 0.35f : 0.08f;
    return rgb8(6, 6, 10) + lamp * (in * on * (0.5f + 0.5f * glow));
  });
  return c;
}

Canvas stone(uint32_t seed) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    float n = tile_fbm(x, y, S, 4, 5, seed);
    float crack = smoothstep(0.04f, 0.0f, std::fabs(tile_fbm(x, y, S, 2, 3, seed + 3)));
    Col col = mix(rgb8(84, 84, 84), rgb8(164, 164, 164), 0.5f + 0.6f * n);
    return col * (1 - 0.5f * crack);
  });
  return c;
}

}  // namespace

void make_textures(Forge& f) {
  const Font serif("DejaVuSerif-Bold.ttf");
  auto sd = [&](const char* n) { return seed_of(f, n); };

  save_jpeg(f, data_file::kFaceTexture, face_map(sd("face")));
  save_jpeg(f, data_file::kBlackTexture,
            fabric(sd("black"), rgb8(14, 12, 20), rgb8(60, 56, 80), 4));
  save_jpeg(f, data_file::kSkinTexture, [&] {
    Canvas c(S, S);
    uint32_t s = sd("skin");
    c.shade([&](float x, float y) { return skin_at(x, y, s); });
    return c;
  }());
  save_jpeg(f, data_file::kArmGloveTexture,
            fabric(sd("armglove"), rgb8(40, 6, 60), rgb8(170, 80, 210), 3));
  save_jpeg(f, data_file::kChestFrontTexture, chest_front(sd("chestfnt")));
  save_jpeg(f, data_file::kChestBackTexture, chest_back(sd("chestbck")));
  save_jpeg(f, data_file::kHipFrontTexture, hip(sd("hipfront"), true));
  save_jpeg(f, data_file::kHipBackTexture, hip(sd("hipback"), false));

  save_jpeg(f, data_file::kPhongTexture, spot(256, 124));
  save_jpeg(f, data_file::kLightTexture, light_glow());
  save_jpeg(f, data_file::kCubeTexture, cube_panels(sd("cubetxt3")));
  save_jpeg(f, data_file::kBlobTexture, blobs(sd("blobtxt1")));
  save_jpeg(f, data_file::kQubTexture, qubes(sd("qub1")));
  save_jpeg(f, data_file::kMeta1Texture,
            meta(sd("meta1"), rgb8(120, 20, 10), rgb8(255, 170, 40), rgb8(255, 250, 220)));
  save_jpeg(f, data_file::kMeta2Texture,
            meta(sd("meta2"), rgb8(10, 40, 120), rgb8(60, 220, 255), rgb8(230, 250, 255)));
  save_jpeg(f, data_file::kMeta3Texture,
            meta(sd("meta3"), rgb8(10, 80, 30), rgb8(170, 255, 90), rgb8(240, 255, 220)));
  save_jpeg(f, data_file::kMeta4Texture,
            meta(sd("meta4"), rgb8(80, 10, 90), rgb8(255, 90, 200), rgb8(255, 230, 250)));
  save_jpeg(f, data_file::kCmapTexture, cmap(sd("cmap1")));
  save_pcx24(f, data_file::kFlowerTexture, flower());

  save_jpeg(f, data_file::kCatSideTexture, cat_side(sd("cat_side")));
  save_tga(f, data_file::kGoldTexture, gold(sd("gold")), true);
  save_tga(f, data_file::kPoleTexture, pole(sd("pole")), false);
  save_jpeg(f, data_file::kRopeTexture, rope(sd("rope")));
  save_jpeg(f, data_file::kCatFloorTexture, cat_floor(sd("cat_flr")));
  save_jpeg(f, data_file::kVogTexture, vog(sd("vog"), serif));

  save_jpeg(f, data_file::kGradientTexture, gradient(sd("gradient")));
  save_jpeg(f, data_file::kFloorTexture, floor_tiles(sd("floor")));
  save_jpeg(f, data_file::kStepTexture, steps(sd("step")));
  save_jpeg(f, data_file::kDanceFloorTexture, dance_floor(sd("danceflr")));
  save_jpeg_grey(f, data_file::kStoneTexture, stone(sd("stone")));
}

}  // namespace forge
