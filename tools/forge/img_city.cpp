// The city's maps: facades, metal, road, cars, vertical signs and billboards. Whatever a
// file's name suggests, everything on a map is invented here (made-up words, shapes and
// colours; no logos).
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "assets/data_files.h"
#include "forge_media.h"
#include "text_font.h"

namespace forge {

namespace {

constexpr int S = 256;

// Night facade: wall with a grid of windows, some lit. Tiles in both directions.
Canvas facade(uint32_t seed, Col wall, Col lit, int cols, int rows, float lit_share, float frame) {
  Canvas c(S, S);
  const float cw = static_cast<float>(S) / cols, ch = static_cast<float>(S) / rows;
  c.shade([&](float x, float y) {
    int ci = static_cast<int>(x / cw), ri = static_cast<int>(y / ch);
    float fx = (x - ci * cw) / cw, fy = (y - ri * ch) / ch;
    Col w = wall * (1 + 0.15f * tile_fbm(x, y, S, 8, 4, seed));
    bool in = fx > frame && fx < 1 - frame && fy > frame * 1.3f && fy < 1 - frame;
    if (!in) return w;
    float k = hash01(static_cast<uint32_t>(ci), static_cast<uint32_t>(ri), seed);
    if (k < lit_share) {
      float curtain = 0.75f + 0.25f * std::sin(fx * 20 + k * 30);
      Col l = mix(lit, lit * Col{1.0f, 0.8f, 0.6f}, hash01(ci, ri, seed + 1)) * curtain;
      return l * (0.8f + 0.2f * fy);
    }
    return rgb8(14, 18, 30) +
           rgb8(30, 40, 60) * (1 - fy) * 0.5f;  // dark glass with a sky reflection
  });
  return c;
}

Canvas rust(uint32_t seed, Col a, Col b) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    float n = tile_fbm(x, y, S, 4, 5, seed);
    float streak = tile_fbm2(x, y, S, 16, 2, 3, seed + 7);
    float rivet = 0;
    float rx = std::fmod(x, 64.0f) - 32, ry = std::fmod(y, 128.0f) - 8;
    if (rx * rx + ry * ry < 9) rivet = 0.3f;
    float seam = smoothstep(1.5f, 0.3f, std::fmod(y, 128.0f));
    return mix(a, b, clamp01(0.5f + n + 0.3f * streak)) * (1 - 0.5f * seam) +
           Col{rivet, rivet, rivet};
  });
  return c;
}

Canvas corrugated(uint32_t seed, Col base) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    float ridge = 0.75f + 0.25f * std::sin(x / S * 6.2831853f * 24);
    float n = tile_fbm(x, y, S, 4, 4, seed);
    float dirt = clamp01(0.5f + n) * 0.4f;
    return base * ridge * (1 - dirt) + rgb8(90, 50, 20) * dirt * 0.5f;
  });
  return c;
}

Canvas road(uint32_t seed) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    float n = tile_fbm(x, y, S, 16, 4, seed);
    Col asphalt = rgb8(52, 52, 58) * (1 + 0.25f * n);
    // Dashed centre line and two solid edge lines along v.
    float centre =
        smoothstep(4, 2.5f, std::fabs(x - 128)) * (std::fmod(y, 128.0f) < 72 ? 1.0f : 0.0f);
    float edge = smoothstep(4, 2.5f, std::fabs(x - 16)) + smoothstep(4, 2.5f, std::fabs(x - 240));
    float kerb = smoothstep(6, 0, std::min(x, 256 - x)) * 0.6f;
    return asphalt + rgb8(200, 190, 140) * centre + rgb8(200, 200, 200) * edge * 0.8f +
           rgb8(90, 90, 90) * kerb;
  });
  return c;
}

Canvas car(uint32_t seed, Col paint) {
  Canvas c(S, S);
  c.shade([&](float x, float y) {
    float sheen = 0.7f + 0.3f * std::sin(y / S * 3.14159f);
    float n = 0.03f * tile_fbm(x, y, S, 8, 2, seed);
    return paint * (sheen + n);
  });
  // Windows band, door seams, lights.
  c.rect(0, 40, 256, 100, rgb8(20, 30, 50));
  c.each([&](float, float y, Col& p) {
    if (y > 40 && y < 100) p = p + rgb8(60, 80, 120) * ((100 - y) / 60 * 0.6f);
  });
  c.rect(0, 96, 256, 104, rgb8(180, 180, 190));
  for (int i = 1; i < 4; ++i) c.line(i * 64.0f, 104, i * 64.0f, 200, 1.5f, paint * 0.4f);
  c.ellipse(20, 150, 14, 9, rgb8(255, 250, 220));
  c.ellipse(236, 150, 14, 9, rgb8(255, 40, 40));
  c.rect(0, 200, 256, 256, rgb8(20, 20, 24));
  return c;
}

// Vertical signs with invented glyphs: blocky stroke characters in neon.
Canvas vertical_sign(uint32_t seed, Col neon, Col panel) {
  Canvas c(S, S, panel);
  c.each([&](float x, float y, Col& p) { p = p * (0.8f + 0.2f * tile_fbm(x, y, S, 4, 3, seed)); });
  const int per_col = 5;
  for (int col = 0; col < 2; ++col)
    for (int g = 0; g < per_col; ++g) {
      float gx = 40 + col * 128.0f, gy = 10 + g * 49.0f;
      c.rect(gx - 6, gy - 3, gx + 54, gy + 44, panel * 0.6f);
      for (int s = 0; s < 5; ++s) {
        uint32_t h = hash32(static_cast<uint32_t>(col * 31 + g), static_cast<uint32_t>(s), seed);
        float x0 = gx + (h & 3) * 16.0f, y0 = gy + ((h >> 2) & 3) * 13.0f;
        bool horiz = (h >> 4) & 1;
        float len = 16 + ((h >> 5) & 1) * 16.0f;
        float x1 = horiz ? x0 + len : x0 + ((h >> 6) & 1) * 6.0f,
              y1 = horiz ? y0 + ((h >> 7) & 1) * 4.0f : y0 + len;
        c.line(x0, y0, std::min(x1, gx + 48), std::min(y1, gy + 40), 5, neon * 0.5f);
        c.line(x0, y0, std::min(x1, gx + 48), std::min(y1, gy + 40), 2.5f, neon);
      }
    }
  return c;
}

// Invented words from syllables, the same for the same seed.
std::string invent_word(uint32_t seed, int syllables) {
  const char* on[] = {"K", "M", "N", "S", "T", "R", "V", "L", "Z", "D", "B", "H"};
  const char* nu[] = {"A", "O", "I", "E", "U", "AI", "OU"};
  std::string w;
  for (int i = 0; i < syllables; ++i) {
    w += on[hash32(seed, i, 1) % 12];
    w += nu[hash32(seed, i, 2) % 7];
  }
  if (hash32(seed, 9) % 3 == 0) w += "X";
  return w;
}

enum class Style { Circle, Stripes, Figure, Sea, Fruit, Grid };

struct Billboard {
  const char* file;
  Style style;
  float hue;
  const char* line;  // the small line under the word
};

// Billboards: a background by style, a big invented word and a tag line.
Canvas billboard(const Billboard& b, uint32_t seed, const Font& bold, const Font& sans) {
  Canvas c(S, S);
  Col a = hsv(b.hue, 0.8f, 0.95f), d = hsv(b.hue + 0.5f, 0.7f, 0.35f),
      l = hsv(b.hue + 0.1f, 0.25f, 1.0f);
  switch (b.style) {
    case Style::Circle:
      c.shade([&](float, float y) { return mix(d, a, y / S); });
      c.ellipse(170, 90, 70, 70, l, 0.9f, 2);
      c.ring(170, 90, 82, 4, l, 0.6f);
      break;
    case Style::Stripes:
      c.shade([&](float x, float y) { return std::fmod(x + y, 48.0f) < 24 ? a : a * 0.75f; });
      c.rect(0, 150, 256, 256, d);
      break;
    case Style::Figure:
      // A silhouetted head and shoulders against a sunset: a fashion poster.
      c.shade([&](float, float y) { return mix(rgb8(255, 200, 120), a, y / S); });
      c.ellipse(96, 236, 86, 60, d);
      c.rect(78, 150, 114, 200, d);
      c.ellipse(96, 110, 38, 50, d);
      c.ellipse(80, 92, 52, 58, d * 0.8f);  // hair
      c.ellipse(150, 60, 30, 30, rgb8(255, 250, 220), 0.8f, 3);
      break;
    case Style::Sea:
      c.shade([&](float x, float y) {
        if (y < 120) return mix(rgb8(80, 160, 240), rgb8(230, 240, 255), y / 120);
        float w = 0.5f + 0.5f * std::sin(x * 0.1f + y * 0.5f + tile_fbm(x, y, S, 8, 2, seed) * 3);
        return mix(rgb8(10, 80, 150), rgb8(60, 160, 210), w) * (1 - (y - 120) / 300);
      });
      c.ellipse(190, 80, 26, 26, rgb8(255, 240, 180));
      break;
    case Style::Fruit:
      c.shade([&](float x, float y) {
        return std::fmod(x, 32.0f) < 16 ? l : l * 0.9f + Col{0, 0, 0.05f} * (y / S);
      });
      for (int i = 0; i < 3; ++i) {
        float cx = 60 + i * 70.0f, cy = 80 + (i & 1) * 30.0f;
        c.ellipse(cx, cy, 34, 34, a);
        c.ellipse(cx - 10, cy - 12, 10, 7, l, 0.6f, 4);
        c.ellipse(cx + 6, cy - 34, 8, 4, rgb8(60, 160, 60));
      }
      break;
    case Style::Grid:
      c.shade([&](float x, float y) {
        bool on = (static_cast<int>(x / 32) + static_cast<int>(y / 32)) & 1;
        return on ? d : d * 0.7f;
      });
      for (int i = 0; i < 6; ++i) c.ring(128, 80, 20.0f + i * 16, 3, a, 0.9f - i * 0.12f);
      break;
  }
  const std::string word = invent_word(seed, 2 + static_cast<int>(seed % 2));
  Mask m(S, S), sm(S, S);
  int px = 52;
  while (px > 20 && bold.width(word, px, 1) > 236) px -= 2;
  bold.draw_centred(m, 128, 206, word, px, 1);
  sans.draw_centred(sm, 128, 236, b.line, 15);
  Mask o = dilate(m, 2);
  c.each([&](float x, float y, Col& p) {
    int ix = static_cast<int>(x), iy = static_cast<int>(y);
    p = mix(p, rgb8(10, 10, 20), o.at(ix, iy) * 0.85f);
    p = mix(p, rgb8(255, 255, 250), m.at(ix, iy));
    p = mix(p, l, sm.at(ix, iy));
  });
  // A frame, so it reads as a sign on the wall.
  c.each([&](float x, float y, Col& p) {
    float e = std::min(std::min(x, S - x), std::min(y, S - y));
    if (e < 4) p = rgb8(40, 40, 46) + rgb8(60, 60, 70) * (e / 4);
  });
  return c;
}

// The show's name of a city map, from the one data-file list: a map the list does not
// name stops the forge rather than writing a file the show never opens.
std::string city_map(const std::string& file) {
  for (const data_file::CityMap& m : data_file::kCityMaps) {
    const std::string name = m.file;
    if (name.size() > file.size() &&
        name.compare(name.size() - file.size(), file.size(), file) == 0 &&
        name[name.size() - file.size() - 1] == '\\')
      return name;
  }
  throw std::logic_error("not a city map: " + file);
}

}  // namespace

void make_city(Forge& f) {
  const Font bold("DejaVuSans-Bold.ttf"), sans("DejaVuSans.ttf");
  auto sd = [&](const std::string& n) { return seed_of(f, n); };

  save_jpeg(f, city_map("rust2.jpg"), rust(sd("rust2"), rgb8(90, 50, 30), rgb8(170, 90, 40)));
  save_jpeg(f, city_map("rust3.jpg"), rust(sd("rust3"), rgb8(60, 60, 66), rgb8(150, 80, 40)));
  save_jpeg(f, city_map("skur.jpg"), corrugated(sd("skur"), rgb8(150, 150, 160)));
  save_jpeg(f, city_map("sf2.jpg"),
            facade(sd("sf2"), rgb8(90, 80, 75), rgb8(255, 220, 150), 8, 8, 0.45f, 0.18f));
  save_jpeg(f, city_map("long1.jpg"),
            facade(sd("long1"), rgb8(70, 80, 95), rgb8(220, 240, 255), 16, 8, 0.35f, 0.12f));
  save_jpeg(f, city_map("loft31.jpg"),
            facade(sd("loft31"), rgb8(120, 60, 45), rgb8(255, 200, 120), 4, 4, 0.5f, 0.2f));
  save_jpeg(f, city_map("w.jpg"),
            facade(sd("w"), rgb8(190, 190, 185), rgb8(255, 245, 210), 8, 16, 0.3f, 0.15f));
  save_jpeg(f, city_map("window1.jpg"),
            facade(sd("window1"), rgb8(50, 55, 70), rgb8(255, 230, 160), 8, 8, 0.55f, 0.1f));
  save_jpeg(f, city_map("window2.jpg"),
            facade(sd("window2"), rgb8(40, 50, 60), rgb8(180, 230, 255), 4, 8, 0.5f, 0.08f));
  save_jpeg(f, city_map("window3.jpg"),
            facade(sd("window3"), rgb8(100, 90, 80), rgb8(255, 210, 140), 8, 4, 0.4f, 0.16f));
  save_jpeg(f, city_map("25015.jpg"),
            facade(sd("25015"), rgb8(110, 110, 120), rgb8(200, 255, 220), 16, 16, 0.4f, 0.2f));
  save_jpeg(f, city_map("pelto.jpg"),
            facade(sd("pelto"), rgb8(60, 70, 60), rgb8(255, 240, 200), 2, 4, 0.6f, 0.15f));
  save_jpeg(f, city_map("road2.jpg"), road(sd("road2")));
  save_jpeg(f, city_map("car1.jpg"), car(sd("car1"), rgb8(200, 30, 40)));
  save_jpeg(f, city_map("car2.jpg"), car(sd("car2"), rgb8(230, 200, 40)));
  {
    Canvas green(S, S);
    uint32_t s = sd("green");
    // Ivy: clumps, then leaves small enough to stay leaves when a camera passes close,
    // with dark gaps between them.
    green.shade([&](float x, float y) {
      float n = tile_fbm(x, y, S, 16, 4, s), m = tile_fbm(x, y, S, 4, 2, s + 1);
      float leaf = tile_fbm(x, y, S, 64, 2, s + 2);
      Col c =
          mix(rgb8(20, 60, 20), rgb8(110, 190, 60), clamp01(0.5f + n * 1.2f)) * (0.8f + 0.3f * m);
      return c * (0.55f + 0.9f * smoothstep(-0.35f, 0.35f, leaf));
    });
    save_jpeg(f, city_map("green.jpg"), green);
  }
  const Col neon[] = {rgb8(255, 60, 120), rgb8(60, 220, 255), rgb8(255, 200, 60),
                      rgb8(140, 255, 100), rgb8(220, 120, 255)};
  for (int i = 1; i <= 5; ++i) {
    const std::string n = "jptxt" + std::to_string(i) + ".jpg";
    save_jpeg(f, city_map(n),
              vertical_sign(sd(n), neon[i - 1], hsv(0.15f * i + 0.6f, 0.6f, 0.18f)));
  }
  const Billboard boards[] = {
      {"maxel2.jpg", Style::Circle, 0.60f, "sound for the long night"},
      {"maxell.jpg", Style::Stripes, 0.02f, "tape that remembers"},
      {"card.jpg", Style::Grid, 0.75f, "pay with a wave"},
      {"lcard.jpg", Style::Grid, 0.33f, "one card, every door"},
      {"dydo.jpg", Style::Fruit, 0.08f, "cold drinks all day"},
      {"pioneer.jpg", Style::Circle, 0.95f, "hear further"},
      {"chick1.jpg", Style::Figure, 0.88f, "autumn collection"},
      {"chick2.jpg", Style::Figure, 0.55f, "walk the line"},
      {"babe.jpg", Style::Figure, 0.05f, "night fashion"},
      {"sea1.jpg", Style::Sea, 0.55f, "the coast is near"},
      {"sea2.jpg", Style::Sea, 0.50f, "summer by rail"},
      {"orange.jpg", Style::Fruit, 0.07f, "fresh every morning"},
      {"yamaha.jpg", Style::Stripes, 0.70f, "play it loud"},
      {"mitsui.jpg", Style::Grid, 0.58f, "build the city"},
      {"mistio.jpg", Style::Circle, 0.15f, "open 24 hours"},
      {"avex.jpg", Style::Stripes, 0.85f, "new beats weekly"},
      {"pana.jpg", Style::Circle, 0.45f, "bright screens"},
      {"olympus.jpg", Style::Sea, 0.62f, "see it sharp"},
      {"lotte.jpg", Style::Fruit, 0.92f, "sweet and small"},
      {"shi.jpg", Style::Grid, 0.12f, "city line 7"},
      {"com.jpg", Style::Stripes, 0.40f, "call the future"},
  };
  for (const auto& b : boards) save_jpeg(f, city_map(b.file), billboard(b, sd(b.file), bold, sans));
}

}  // namespace forge
