#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include <cstring>

#include "assets/image.h"
#include "files.h"

using namespace assets_test;

namespace {

// Decodes through read_image_file after a probe, as load_image does.
std::vector<uint32_t> decode(const std::string& path) {
  read_image_file(path.c_str(), nullptr);
  std::vector<uint32_t> px(static_cast<size_t>(image_width) * image_height, 0xDEADBEEF);
  read_image_file(path.c_str(), px.data());
  return px;
}

Bytes pcx_header(int w, int h, int planes, int bytes_per_line, int version = 5) {
  Bytes b(128, 0);
  b[0] = 10;
  b[1] = static_cast<uint8_t>(version);
  b[2] = 1;
  b[3] = 8;
  b[8] = static_cast<uint8_t>(w - 1), b[9] = static_cast<uint8_t>((w - 1) >> 8);
  b[10] = static_cast<uint8_t>(h - 1), b[11] = static_cast<uint8_t>((h - 1) >> 8);
  b[65] = static_cast<uint8_t>(planes);
  b[66] = static_cast<uint8_t>(bytes_per_line), b[67] = static_cast<uint8_t>(bytes_per_line >> 8);
  return b;
}

// Palette entry i = (i, 255 - i, 7).
void pcx_palette(Bytes& b) {
  b.push_back(12);
  for (int i = 0; i < 256; ++i) b.insert(b.end(), {uint8_t(i), uint8_t(255 - i), 7});
}

uint32_t pal(int i) {
  return uint32_t(i) << 16 | uint32_t(255 - i) << 8 | 7;
}

Bytes tga(int type, int w, int h, int depth, uint8_t descriptor, const Bytes& map, int map_bits,
          const Bytes& data) {
  Bytes b{2, uint8_t(map.empty() ? 0 : 1), uint8_t(type)};
  b.push_back(0), b.push_back(0);  // first entry
  put16(b, map_bits ? static_cast<uint32_t>(map.size() * 8 / map_bits) : 0);
  b.push_back(uint8_t(map_bits));
  put16(b, 0), put16(b, 0), put16(b, w), put16(b, h);
  b.push_back(uint8_t(depth)), b.push_back(descriptor);
  put_text(b, "ID");
  b.insert(b.end(), map.begin(), map.end());
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

Bytes bmp(int w, int h, int bits, int compression, uint32_t colours, const Bytes& palette,
          const Bytes& data) {
  Bytes b;
  put_text(b, "BM");
  put32(b, 0), put32(b, 0), put32(b, static_cast<uint32_t>(54 + palette.size()));
  put32(b, 40), put32(b, static_cast<uint32_t>(w)), put32(b, static_cast<uint32_t>(h));
  put16(b, 1), put16(b, static_cast<uint32_t>(bits)), put32(b, static_cast<uint32_t>(compression));
  put32(b, static_cast<uint32_t>(data.size())), put32(b, 2835), put32(b, 2835), put32(b, colours);
  put32(b, 0);
  b.insert(b.end(), palette.begin(), palette.end());
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

// A JPEG of the given samples, written with the same library the reader uses.
Bytes jpeg(int w, int h, int components, const Bytes& samples) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = static_cast<JDIMENSION>(w);
  c.image_height = static_cast<JDIMENSION>(h);
  c.input_components = components;
  c.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 100, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples.data() + c.next_scanline * w * components);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  Bytes out(mem, mem + size);
  free(mem);
  return out;
}

}  // namespace

TEST(PictureFiles, ExtensionChoosesTheReader) {
  Bytes grey = jpeg(8, 8, 1, Bytes(64, 0x80));
  std::string mixed = write_file("grey.Jpg", grey);
  EXPECT_EQ(decode(mixed)[0], 0x00808080u);  // "Jpg" is read as a JPEG

  // Only three letters count: ".jpeg" is ".jpe", which is not in the table.
  std::string four = write_file("grey.jpeg", grey);
  Ended e = run_capturing([&] { read_image_file(four.c_str(), nullptr); });
  EXPECT_EQ(e.status, 1);
  EXPECT_EQ(e.output, "sorry, files of .jpe type are not supported\n");

  e = run_capturing([] { read_image_file("no_dot_here", nullptr); });
  EXPECT_EQ(e.status, 1);
  EXPECT_EQ(e.output, "sorry, unable to detect filetype of file: no_dot_here\n");

  const std::pair<const char*, const char*> missing[] = {
      {"m.pcx", "PCX file not found\n"},     {"m.tga", "TGA file not found\n"},
      {"m.bmp", "BMP file not found\n"},     {"m.iff", "LBM/IFF file not found\n"},
      {"m.LBM", "LBM/IFF file not found\n"}, {"m.scx", "RIX file not found\n"},
      {"m.cel", "CEL file not found\n"},
  };
  for (auto [name, line] : missing) {
    std::string path = (scratch_dir() / name).string();
    e = run_capturing([&] { read_image_file(path.c_str(), nullptr); });
    EXPECT_EQ(e.status, 1) << name;
    EXPECT_EQ(e.output, line) << name;
  }
  std::string jpg = (scratch_dir() / "m.jpg").string();
  e = run_capturing([&] { read_image_file(jpg.c_str(), nullptr); });
  EXPECT_EQ(e.output, "JPG file not found (" + jpg + ")\n");
}

TEST(PictureFiles, PcxRunsAndPlanes) {
  // 0xC0 is a literal; 0xC1 0x05 is one byte 5; 0xC3 0x09 runs three 9s; a run longer than
  // the line is cut at its end and the next line starts afresh.
  Bytes b = pcx_header(6, 2, 1, 6);
  b.insert(b.end(), {0xC0, 0xC1, 0x05, 0xC3, 0x09, 0x01});
  b.insert(b.end(), {0xFF, 0x04, 0x02, 0x03});  // 63 x 4 cut to 6 bytes
  pcx_palette(b);
  auto px = decode(write_file("runs.pcx", b));
  EXPECT_EQ(px, (std::vector<uint32_t>{pal(0xC0), pal(5), pal(9), pal(9), pal(9), pal(1), pal(4),
                                       pal(4), pal(4), pal(4), pal(4), pal(4)}));

  // Width 321 with 322 bytes per line: green starts at line offset 322, blue at 644.
  Bytes rgb = pcx_header(321, 1, 3, 322);
  for (int plane = 0; plane < 3; ++plane)
    for (int x = 0; x < 322; ++x)
      rgb.push_back(static_cast<uint8_t>(plane == 0 ? x & 0x3F : plane == 1 ? 0x20 : 0x30));
  px = decode(write_file("odd.pcx", rgb));
  EXPECT_EQ(px[0], 0x00002030u);
  EXPECT_EQ(px[320], 0x00002030u | uint32_t(320 & 0x3F) << 16);

  // Bytes per line below the width, then a file that ends early: what is missing stays.
  Bytes narrow = pcx_header(4, 2, 1, 2);
  narrow.insert(narrow.end(), {3, 4, 5});
  px = decode(write_file("narrow.pcx", narrow));  // too short for its palette: black
  EXPECT_EQ(px, (std::vector<uint32_t>{0, 0, 0xDEADBEEF, 0xDEADBEEF, 0xDEADBEEF, 0xDEADBEEF,
                                       0xDEADBEEF, 0xDEADBEEF}));
}

TEST(PictureFiles, TgaOrientationDepthAndMaps) {
  Bytes bottom_up = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};  // 2 x 2, BGR
  auto px = decode(write_file("t2.tga", tga(2, 2, 2, 24, 0, {}, 0, bottom_up)));
  EXPECT_EQ(px, (std::vector<uint32_t>{0x090807, 0x0C0B0A, 0x030201, 0x060504}));
  px = decode(write_file("t2top.tga", tga(2, 2, 2, 24, 0x20, {}, 0, bottom_up)));
  EXPECT_EQ(px, (std::vector<uint32_t>{0x030201, 0x060504, 0x090807, 0x0C0B0A}));

  Bytes bgra = {1, 2, 3, 0xFF, 4, 5, 6, 0x80};
  px = decode(write_file("t32.tga", tga(2, 2, 1, 32, 0x20, {}, 0, bgra)));
  EXPECT_EQ(px, (std::vector<uint32_t>{0x030201, 0x060504}));
  Ended e = run_capturing([] {
    decode(write_file("t16.tga", tga(2, 2, 1, 16, 0x20, {}, 0, {1, 2, 3, 4})));
  });
  EXPECT_EQ(e.status, 1);
  EXPECT_NE(e.output.find("pixel depth 16"), std::string::npos);

  // 32-bit map entries are read at four bytes; a run packet never passes the last pixel.
  Bytes map = {10, 20, 30, 0, 40, 50, 60, 0};
  Bytes rle = {0x81, 1, 0x01, 0, 1, 0xFF, 0};
  px = decode(write_file("t9.tga", tga(9, 5, 1, 8, 0x20, map, 32, rle)));
  EXPECT_EQ(px, (std::vector<uint32_t>{0x3C3228, 0x3C3228, 0x1E140A, 0x3C3228, 0x1E140A}));
}

TEST(PictureFiles, BmpRowsPaletteAndRle) {
  Bytes palette;
  for (int i = 0; i < 256; ++i) palette.insert(palette.end(), {uint8_t(i), 0, uint8_t(255 - i), 0});
  // Width 5: rows of 8 bytes, bottom row first.
  Bytes rows = {1, 2, 3, 4, 5, 0xEE, 0xEE, 0xEE, 6, 7, 8, 9, 10, 0xEE, 0xEE, 0xEE};
  auto red_of = [](int i) { return uint32_t(255 - i) << 16 | uint32_t(i); };
  auto px = decode(write_file("w5.bmp", bmp(5, 2, 8, 0, 0, palette, rows)));
  EXPECT_EQ(px[0], red_of(6));
  EXPECT_EQ(px[4], red_of(10));
  EXPECT_EQ(px[5], red_of(1));
  EXPECT_EQ(px[9], red_of(5));
  // A negative height stores the top row first.
  px = decode(write_file("down.bmp", bmp(5, -2, 8, 0, 0, palette, rows)));
  EXPECT_EQ(px[0], red_of(1));

  // Colours used above 256: the palette is cut at 256 and the pixel offset still holds.
  Bytes big = palette;
  big.resize(palette.size() + 4 * 44, 0xAB);
  px = decode(write_file("bigpal.bmp", bmp(5, 2, 8, 0, 300, big, rows)));
  EXPECT_EQ(px[5], red_of(1));

  // RLE8: a run clipped at the row end, end of line, delta, absolute run, end of bitmap.
  Bytes rle = {9, 1, 0, 0, 0, 2, 1, 1, 0, 3, 7, 8, 9, 0, 0, 1, 2, 2};
  px = decode(write_file("rle.bmp", bmp(4, 3, 8, 1, 256, palette, rle)));
  // File rows: 0 = 1111, 1 = untouched, 2 = . 7 8 9 (after the delta one right, one up).
  EXPECT_EQ(px, (std::vector<uint32_t>{0xDEADBEEF, red_of(7), red_of(8), red_of(9), 0xDEADBEEF,
                                       0xDEADBEEF, 0xDEADBEEF, 0xDEADBEEF, red_of(1), red_of(1),
                                       red_of(1), red_of(1)}));

  Ended e = run_capturing([] { decode(write_file("nobm.bmp", Bytes(60, 0))); });
  EXPECT_EQ(e.status, 1);
  EXPECT_EQ(e.output, (scratch_dir() / "nobm.bmp").string() + " is not a valid .BMP file\n");
}

TEST(PictureFiles, VgaPalettesAndLbm) {
  Bytes rix;
  put_text(rix, "RIX3");
  put16(rix, 2), put16(rix, 1), put16(rix, 0xAF);
  rix.resize(rix.size() + 768, 0);
  rix[10 + 3] = 63, rix[10 + 4] = 32, rix[10 + 5] = 1;
  rix.insert(rix.end(), {1, 0});
  EXPECT_EQ(decode(write_file("pal.rix", rix)), (std::vector<uint32_t>{0xFC8004, 0}));

  // A wrong signature is refused before any size is given out, even when only probing.
  rix[3] = '2';
  std::string bad = write_file("bad.scx", rix);
  image_width = 77;
  Ended e = run_capturing([&] { read_image_file(bad.c_str(), nullptr); });
  EXPECT_EQ(e.status, 1);
  EXPECT_EQ(e.output, bad + " is not a valid .RIX file\n");
  EXPECT_EQ(image_width, 77);

  // LBM: size from the BMHD; a chunk length past the end ends the walk; pixels stay black.
  Bytes lbm;
  put_text(lbm, "FORM"), put_be32(lbm, 100), put_text(lbm, "ILBM"), put_text(lbm, "BMHD");
  put_be32(lbm, 20), put_be16(lbm, 3), put_be16(lbm, 2);
  lbm.resize(40, 0);
  put_text(lbm, "ANNO"), put_be32(lbm, 0xFFFFFFF0u);
  std::unique_ptr<Image> image = load_image(write_file("x.lbm", lbm).c_str());
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 3);
  EXPECT_EQ(image->height, 2);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(image->pixels[i], 0u);
}

TEST(PictureFiles, SizesOutsideTheLimitsAreRefused) {
  for (auto [w, h] : {std::pair{0, 4}, std::pair{16385, 1}}) {
    std::string path = write_file("size.tga", tga(2, w, h, 24, 0, {}, 0, {}));
    Ended e = run_capturing([&] { load_image(path.c_str()); });
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.output, path + ": TGA picture of " + std::to_string(w) + " x " + std::to_string(h) +
                            " pixels is not supported\n");
  }
  // BMP sides are signed 32-bit: the most negative height must not wrap.
  std::string path = write_file("neg.bmp", bmp(4, INT32_MIN, 24, 0, 0, {}, {}));
  EXPECT_EQ(run_capturing([&] { load_image(path.c_str()); }).status, 1);
}

TEST(PictureFiles, JpegGreyProbeAndLibraryErrors) {
  Bytes grey = jpeg(16, 8, 1, Bytes(128, 0x80));
  std::unique_ptr<Image> image = load_image(write_file("grey.jpg", grey).c_str());
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 16);
  EXPECT_EQ(image->pixels[16 * 8 - 1], 0x00808080u);

  // Without its quantisation tables the stream fails only when decoding starts, so a
  // probe that reports the size has decoded nothing.
  Bytes stripped;
  for (size_t i = 0; i < grey.size();) {
    if (grey[i] == 0xFF && grey[i + 1] == 0xDB) {
      i += 2 + (size_t(grey[i + 2]) << 8 | grey[i + 3]);
      continue;
    }
    stripped.push_back(grey[i++]);
  }
  std::string path = write_file("noquant.jpg", stripped);
  image_width = image_height = 0;
  Ended e = run_capturing([&] { read_image_file(path.c_str(), nullptr); });
  EXPECT_EQ(e.status, -1);
  EXPECT_EQ(image_width, 16);
  EXPECT_EQ(image_height, 8);
  e = run_capturing([&] { load_image(path.c_str()); });
  EXPECT_EQ(e.status, 255);
  EXPECT_NE(e.output.find("Quantization table"), std::string::npos) << e.output;

  e = run_capturing([] { load_image(write_file("junk.jpg", Bytes(40, 0x55)).c_str()); });
  EXPECT_EQ(e.status, 255);
  EXPECT_NE(e.output.find("Not a JPEG file"), std::string::npos) << e.output;
}

TEST(PictureFiles, TexturesArePowerOfTwoWithTheirCode) {
  // 300 x 20 becomes 256 x 32, code 7; 64 x 64 is kept texel for texel, code 3.
  Bytes wide;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 300; ++x) wide.insert(wide.end(), {uint8_t(x), uint8_t(y), 0});
  std::unique_ptr<Image> t =
      load_texture(write_file("wide.tga", tga(2, 300, 20, 24, 0x20, {}, 0, wide)).c_str());
  ASSERT_TRUE(t);
  EXPECT_EQ(t->width, 256);
  EXPECT_EQ(t->height, 32);
  EXPECT_EQ(t->size_code, 7);
  EXPECT_EQ(t->pixels[31 * 256 + 255], uint32_t(19) << 8 | ((255 * 300 / 256) & 255));

  Bytes square;
  for (int i = 0; i < 64 * 64; ++i) square.insert(square.end(), {uint8_t(i), uint8_t(i >> 8), 1});
  std::string path = write_file("square.tga", tga(2, 64, 64, 24, 0x20, {}, 0, square));
  t = load_texture(path.c_str());
  std::unique_ptr<Image> plain = load_image(path.c_str());
  ASSERT_TRUE(t && plain);
  EXPECT_EQ(t->size_code, 3);
  EXPECT_EQ(plain->size_code, 0);
  EXPECT_EQ(0, std::memcmp(t->pixels, plain->pixels, 64 * 64 * 4));
}
