#include "img_writers.h"

#include <jpeglib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <unordered_map>

namespace forge {

namespace {

void put16(std::vector<uint8_t>& out, size_t at, int v) {
  out[at] = static_cast<uint8_t>(v & 0xFF);
  out[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

[[noreturn]] void jpeg_fail(j_common_ptr cinfo) {
  char msg[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, msg);
  throw std::runtime_error(std::string("JPEG encoder: ") + msg);
}

// One line's worth of PCX run-length data. Runs stop at the end of the line, and a
// byte of 0xC0 or more is always written as a run so no reader can take it for a count.
void pcx_line(std::vector<uint8_t>& out, const uint8_t* line, int n) {
  int i = 0;
  while (i < n) {
    uint8_t v = line[i];
    int run = 1;
    while (i + run < n && line[i + run] == v && run < 63) ++run;
    if (run > 1 || v >= 0xC0) out.push_back(static_cast<uint8_t>(0xC0 | run));
    out.push_back(v);
    i += run;
  }
}

std::vector<uint8_t> pcx_header(int w, int h, int planes, int bytes_per_line) {
  std::vector<uint8_t> out(128, 0);
  out[0] = 10;  // manufacturer
  out[1] = 5;   // version 5: 256-colour palette at the end for 8-bit pictures
  out[2] = 1;   // run-length encoding
  out[3] = 8;   // bits per pixel per plane
  put16(out, 4, 0);
  put16(out, 6, 0);
  put16(out, 8, w - 1);
  put16(out, 10, h - 1);
  put16(out, 12, 72);
  put16(out, 14, 72);
  out[65] = static_cast<uint8_t>(planes);
  put16(out, 66, bytes_per_line);
  put16(out, 68, 1);  // colour palette
  put16(out, 70, w);
  put16(out, 72, h);
  return out;
}

}  // namespace

std::vector<uint8_t> encode_jpeg(const Bitmap& b, int quality, bool grey) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jerr.error_exit = jpeg_fail;
  jpeg_create_compress(&cinfo);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  std::vector<uint8_t> out;
  try {
    jpeg_mem_dest(&cinfo, &mem, &size);
    cinfo.image_width = static_cast<JDIMENSION>(b.w);
    cinfo.image_height = static_cast<JDIMENSION>(b.h);
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.dct_method = JDCT_ISLOW;  // exact integer transform: same bytes everywhere
    cinfo.optimize_coding = TRUE;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(b.w) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
      const uint8_t* src = b.at(0, static_cast<int>(cinfo.next_scanline));
      if (grey)
        for (int x = 0; x < b.w; ++x) row[x] = src[x * 3];
      else
        std::copy(src, src + row.size(), row.begin());
      JSAMPROW rp = row.data();
      jpeg_write_scanlines(&cinfo, &rp, 1);
    }
    jpeg_finish_compress(&cinfo);
    out.assign(mem, mem + size);
  } catch (...) {
    jpeg_destroy_compress(&cinfo);
    std::free(mem);
    throw;
  }
  jpeg_destroy_compress(&cinfo);
  std::free(mem);
  return out;
}

std::vector<uint8_t> encode_pcx8(int w, int h, const std::vector<uint8_t>& index,
                                 const std::vector<uint8_t>& palette) {
  if (index.size() != static_cast<size_t>(w) * h || palette.size() != 768)
    throw std::runtime_error("PCX writer: index or palette of the wrong size");
  const int bpl = (w + 1) & ~1;  // even bytes per line
  std::vector<uint8_t> out = pcx_header(w, h, 1, bpl);
  std::vector<uint8_t> line(static_cast<size_t>(bpl), 0);
  for (int y = 0; y < h; ++y) {
    std::copy(index.begin() + static_cast<ptrdiff_t>(y) * w,
              index.begin() + static_cast<ptrdiff_t>(y + 1) * w, line.begin());
    pcx_line(out, line.data(), bpl);
  }
  out.push_back(0x0C);
  out.insert(out.end(), palette.begin(), palette.end());
  return out;
}

std::vector<uint8_t> encode_pcx24(const Bitmap& b) {
  const int bpl = (b.w + 1) & ~1;
  std::vector<uint8_t> out = pcx_header(b.w, b.h, 3, bpl);
  std::vector<uint8_t> plane(static_cast<size_t>(bpl), 0);
  for (int y = 0; y < b.h; ++y)
    for (int c = 0; c < 3; ++c) {
      for (int x = 0; x < b.w; ++x) plane[x] = b.at(x, y)[c];
      pcx_line(out, plane.data(), bpl);
    }
  return out;
}

Indexed quantise_keyed(const Bitmap& b) {
  const uint8_t* key = b.at(0, 0);
  auto is_key = [&](const uint8_t* p) {
    return p[0] == key[0] && p[1] == key[1] && p[2] == key[2];
  };
  // Histogram of 5-bit-per-channel boxes with their colour sums.
  struct Box {
    uint64_t n = 0, r = 0, g = 0, b = 0;
  };
  std::vector<Box> boxes(32768);
  for (int y = 0; y < b.h; ++y)
    for (int x = 0; x < b.w; ++x) {
      const uint8_t* p = b.at(x, y);
      if (is_key(p)) continue;
      Box& bx = boxes[(p[0] >> 3) << 10 | (p[1] >> 3) << 5 | (p[2] >> 3)];
      ++bx.n;
      bx.r += p[0];
      bx.g += p[1];
      bx.b += p[2];
    }
  std::vector<int> order;
  for (int i = 0; i < 32768; ++i)
    if (boxes[i].n) order.push_back(i);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int c) { return boxes[a].n > boxes[c].n; });
  if (order.size() > 255) order.resize(255);

  Indexed out;
  out.palette.assign(768, 0);
  out.palette[0] = key[0];
  out.palette[1] = key[1];
  out.palette[2] = key[2];
  const int n = static_cast<int>(order.size());
  for (int i = 0; i < n; ++i) {
    const Box& bx = boxes[order[i]];
    uint8_t* e = &out.palette[(i + 1) * 3];
    e[0] = static_cast<uint8_t>((bx.r + bx.n / 2) / bx.n);
    e[1] = static_cast<uint8_t>((bx.g + bx.n / 2) / bx.n);
    e[2] = static_cast<uint8_t>((bx.b + bx.n / 2) / bx.n);
    if (e[0] == key[0] && e[1] == key[1] && e[2] == key[2])
      e[2] = static_cast<uint8_t>(key[2] < 255 ? key[2] + 1 : 254);
  }
  out.index.resize(static_cast<size_t>(b.w) * b.h);
  std::unordered_map<uint32_t, uint8_t> nearest;
  for (int y = 0; y < b.h; ++y)
    for (int x = 0; x < b.w; ++x) {
      const uint8_t* p = b.at(x, y);
      uint8_t& dst = out.index[static_cast<size_t>(y) * b.w + x];
      if (is_key(p) || n == 0) {
        dst = 0;
        continue;
      }
      uint32_t c = static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2];
      auto it = nearest.find(c);
      if (it == nearest.end()) {
        int best = 1, bestd = 1 << 30;
        for (int i = 1; i <= n; ++i) {
          const uint8_t* e = &out.palette[i * 3];
          int dr = e[0] - p[0], dg = e[1] - p[1], db = e[2] - p[2];
          int d = dr * dr * 3 + dg * dg * 4 + db * db * 2;
          if (d < bestd) {
            bestd = d;
            best = i;
          }
        }
        it = nearest.emplace(c, static_cast<uint8_t>(best)).first;
      }
      dst = it->second;
    }
  return out;
}

std::vector<uint8_t> encode_tga(const Bitmap& b, bool rle) {
  std::vector<uint8_t> out(18, 0);
  out[2] = rle ? 10 : 2;
  put16(out, 12, b.w);
  put16(out, 14, b.h);
  out[16] = 24;
  out[17] = 0;  // origin bottom left: rows are stored bottom row first
  auto px = [&](int x, int y) {
    const uint8_t* p = b.at(x, y);
    return static_cast<uint32_t>(p[2]) | p[1] << 8 | p[0] << 16;  // stored blue, green, red
  };
  auto put_px = [&](uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v >> 16));
  };
  for (int y = b.h - 1; y >= 0; --y) {
    if (!rle) {
      for (int x = 0; x < b.w; ++x) put_px(px(x, y));
      continue;
    }
    // Packets stay within a row, as the format's second edition asks.
    int x = 0;
    while (x < b.w) {
      int run = 1;
      while (x + run < b.w && run < 128 && px(x + run, y) == px(x, y)) ++run;
      if (run > 1) {
        out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
        put_px(px(x, y));
        x += run;
        continue;
      }
      int lit = 1;
      while (x + lit < b.w && lit < 128 &&
             !(x + lit + 1 < b.w && px(x + lit, y) == px(x + lit + 1, y)))
        ++lit;
      out.push_back(static_cast<uint8_t>(lit - 1));
      for (int i = 0; i < lit; ++i) put_px(px(x + i, y));
      x += lit;
    }
  }
  return out;
}

std::vector<uint8_t> encode_raw_rgb(const Bitmap& b) {
  return b.rgb;
}

}  // namespace forge
