// The picture writers against the project's own readers and against ImageMagick, on
// pictures made to hit the awkward cases: bytes of 0xC0 and above, runs longer than a
// count can hold, runs up to the end of a line, odd widths.
#include <gtest/gtest.h>

#include <fstream>

#include "assets/image.h"
#include "forgemedia_support.h"
#include "img_writers.h"
#include "platform/exit.h"

namespace {

using forge::Bitmap;
namespace fs = std::filesystem;

Bitmap awkward(int w, int h) {
  Bitmap b;
  b.w = w;
  b.h = h;
  b.rgb.resize(static_cast<size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = b.at(x, y);
      if (y % 3 == 0) {  // long flat runs of high bytes, to the end of the line
        p[0] = 0xC0;
        p[1] = 0xFF;
        p[2] = static_cast<uint8_t>(x < w / 2 ? 0xC1 : 7);
      } else {
        p[0] = static_cast<uint8_t>(x * 37 + y * 11);
        p[1] = static_cast<uint8_t>(0xBE + (x % 5));
        p[2] = static_cast<uint8_t>(x * y);
      }
    }
  return b;
}

fs::path temp(const std::string& name, const std::vector<uint8_t>& bytes) {
  fs::path p =
      fs::temp_directory_path() / ("forgemedia_" + std::to_string(::getpid()) + "_" + name);
  std::ofstream(p, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return p;
}

std::vector<uint8_t> ours(const fs::path& p) {
  std::unique_ptr<Image> img;
  try {
    img = load_image(p.string().c_str());
  } catch (const platform::ProcessExit& e) {
    ADD_FAILURE() << p << " refused by the reader, status " << e.status;
    return {};
  }
  std::vector<uint8_t> out;
  for (int i = 0; i < img->width * img->height; ++i) {
    uint32_t v = img->pixels[i];
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
  }
  return out;
}

// Walks a PCX body line by line the way a strict reader does; fails on a run that crosses
// a line, a zero count, or a byte of 0xC0 and above that stands alone.
void expect_clean_pcx_runs(const std::vector<uint8_t>& f, int h, bool has_palette) {
  const int planes = f[65], bpl = f[66] | f[67] << 8;
  EXPECT_EQ(bpl % 2, 0) << "bytes per line must be even";
  size_t i = 128, end = f.size() - (has_palette ? 769 : 0);
  for (int line = 0; line < h * planes; ++line) {
    int filled = 0;
    while (filled < bpl) {
      ASSERT_LT(i, end) << "data ends inside line " << line;
      uint8_t b = f[i++];
      if (b >= 0xC0) {
        int count = b & 0x3F;
        ASSERT_GT(count, 0) << "a run of zero bytes at " << i - 1;
        ASSERT_LE(filled + count, bpl) << "a run crosses the end of line " << line;
        ++i;
        filled += count;
      } else {
        ++filled;
      }
    }
  }
  EXPECT_EQ(i, end);
  if (has_palette) {
    EXPECT_EQ(f[end], 0x0C);
  }
}

TEST(ForgeMediaWriters, PcxTgaAndRawComeBackExactlyThroughBothReaders) {
  const Bitmap b = awkward(67, 9);
  forge::Indexed ix = forge::quantise_keyed(b);
  Bitmap via_palette = b;  // what the 8-bit file holds after quantising
  for (size_t i = 0; i < ix.index.size(); ++i)
    for (int c = 0; c < 3; ++c) via_palette.rgb[i * 3 + c] = ix.palette[ix.index[i] * 3 + c];

  const auto pcx24 = forge::encode_pcx24(b),
             pcx8 = forge::encode_pcx8(b.w, b.h, ix.index, ix.palette);
  expect_clean_pcx_runs(pcx24, b.h, false);
  expect_clean_pcx_runs(pcx8, b.h, true);
  struct Case {
    std::string name;
    std::vector<uint8_t> bytes;
    const Bitmap* expect;
  };
  const Case cases[] = {{"a.pcx", pcx24, &b},
                        {"b.pcx", pcx8, &via_palette},
                        {"c.tga", forge::encode_tga(b, false), &b},
                        {"d.tga", forge::encode_tga(b, true), &b}};
  const bool magick = forgemedia_test::have_magick();
  if (!magick && std::getenv("CI") && std::string(std::getenv("CI")) == "true")
    ADD_FAILURE() << "ImageMagick is missing";
  for (const auto& c : cases) {
    fs::path p = temp(c.name, c.bytes);
    EXPECT_EQ(ours(p), c.expect->rgb) << c.name << " through load_image";
    if (magick) {
      EXPECT_EQ(forgemedia_test::magick_rgb(p, b.w, b.h), c.expect->rgb)
          << c.name << " through ImageMagick";
    }
    fs::remove(p);
  }
  EXPECT_EQ(forge::encode_raw_rgb(b).size(), static_cast<size_t>(67 * 9 * 3));
}

TEST(ForgeMediaWriters, KeyedPaletteKeepsTheKeyForTheKeyAlone) {
  Bitmap b;
  b.w = 40;
  b.h = 30;
  b.rgb.assign(static_cast<size_t>(b.w) * b.h * 3, 0);  // key: black
  for (int y = 10; y < 20; ++y)
    for (int x = 0; x < 40; ++x) {
      uint8_t* p = b.at(x, y);
      p[0] = p[1] = static_cast<uint8_t>(x / 8);  // near-black text edge, not the key
      p[2] = static_cast<uint8_t>(x == 0 ? 1 : x * 6);
    }
  const forge::Indexed ix = forge::quantise_keyed(b);
  for (int y = 0; y < b.h; ++y)
    for (int x = 0; x < b.w; ++x) {
      bool key = y < 10 || y >= 20;
      EXPECT_EQ(ix.index[static_cast<size_t>(y) * b.w + x] == 0, key) << x << "," << y;
    }
  for (int i = 1; i < 256; ++i)
    EXPECT_FALSE(ix.palette[i * 3] == 0 && ix.palette[i * 3 + 1] == 0 &&
                 ix.palette[i * 3 + 2] == 0 && std::count(ix.index.begin(), ix.index.end(), i) > 0)
        << "palette entry " << i << " is the key colour";
}

int jpeg_components(const std::vector<uint8_t>& f) {
  for (size_t i = 2; i + 9 < f.size(); ++i)
    if (f[i] == 0xFF && (f[i + 1] == 0xC0 || f[i + 1] == 0xC1 || f[i + 1] == 0xC2)) return f[i + 9];
  return -1;
}

TEST(ForgeMediaWriters, JpegColourAndGreyDecodeCloseToTheSource) {
  forge::Canvas c(48, 32);
  c.shade([](float x, float y) { return forge::Col{x / 48, y / 32, 0.5f}; });
  const Bitmap b = c.bitmap();
  for (bool grey : {false, true}) {
    const auto bytes = forge::encode_jpeg(b, 95, grey);
    EXPECT_EQ(jpeg_components(bytes), grey ? 1 : 3);
    fs::path p = temp(grey ? "g.jpg" : "c.jpg", bytes);
    const auto got = ours(p);
    ASSERT_EQ(got.size(), b.rgb.size());
    double err = 0;
    for (size_t i = 0; i < got.size(); ++i) {
      int want = grey ? b.rgb[i / 3 * 3] : b.rgb[i];  // grey keeps the red channel
      err += std::abs(static_cast<int>(got[i]) - want);
    }
    EXPECT_LT(err / got.size(), 2.5) << (grey ? "grey" : "colour");
    fs::remove(p);
  }
}

}  // namespace
