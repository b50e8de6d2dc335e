// The morph side of tidalhall-inspect: the grid a morph file gives, and a picture of both
// grids over the two portraits side by side (the second picture's points are stored as if
// it stood right of the first, so they land on it as they are).
#include <png.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "assets/data_files.h"
#include "assets/image.h"
#include "assets/morph.h"
#include "inspect.h"
#include "platform/exit.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSheetWidth = 640, kSheetHeight = 240;

struct Sheet {
  std::vector<uint32_t> px = std::vector<uint32_t>(kSheetWidth * kSheetHeight, 0x00202020);
  void plot(int x, int y, uint32_t c) {
    if (x >= 0 && x < kSheetWidth && y >= 0 && y < kSheetHeight) px[y * kSheetWidth + x] = c;
  }
  void line(int x0, int y0, int x1, int y1, uint32_t c) {
    const int n = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int i = 0; i <= n; ++i)
      plot(x0 + (n ? (x1 - x0) * i / n : 0), y0 + (n ? (y1 - y0) * i / n : 0), c);
  }
};

// The portrait next to the morph file's folder, as the show lays its data out, if it is
// there and has the frame's size (a picture that cannot be read ends with its reader's line).
void paste_portrait(Sheet& sheet, const fs::path& root, const char* show_name, int left) {
  std::string rel = show_name;
  for (char& c : rel)
    if (c == '\\') c = '/';
  const fs::path file = root / rel;
  if (!fs::exists(file)) return;
  std::unique_ptr<Image> img = load_image(file.string().c_str());
  if (!img || img->width != 320 || img->height != 240) return;
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) sheet.px[y * kSheetWidth + left + x] = img->pixels[y * 320 + x];
}

void draw_grid(Sheet& sheet, const MorphPoint (&g)[kMorphRows][kMorphColumns], int columns,
               int rows, uint32_t colour) {
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      const MorphPoint p = g[r][c];
      if (c + 1 < columns) sheet.line(p.x, p.y, g[r][c + 1].x, g[r][c + 1].y, colour);
      if (r + 1 < rows) sheet.line(p.x, p.y, g[r + 1][c].x, g[r + 1][c].y, colour);
      // The triangles' shared diagonal, as the morph cuts each cell.
      if (c + 1 < columns && r + 1 < rows)
        sheet.line(g[r][c + 1].x, g[r][c + 1].y, g[r + 1][c].x, g[r + 1][c].y, colour & 0x7F7F7F);
    }
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c)
      for (int d = -1; d <= 1; ++d) {
        sheet.plot(g[r][c].x + d, g[r][c].y, 0x00FF3030);
        sheet.plot(g[r][c].x, g[r][c].y + d, 0x00FF3030);
      }
}

bool write_sheet(const char* out, const Sheet& sheet) {
  std::vector<uint8_t> rgb(sheet.px.size() * 3);
  for (size_t i = 0; i < sheet.px.size(); ++i) {
    rgb[3 * i] = static_cast<uint8_t>(sheet.px[i] >> 16);
    rgb[3 * i + 1] = static_cast<uint8_t>(sheet.px[i] >> 8);
    rgb[3 * i + 2] = static_cast<uint8_t>(sheet.px[i]);
  }
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = kSheetWidth;
  png.height = kSheetHeight;
  png.format = PNG_FORMAT_RGB;
  const bool ok = png_image_write_to_file(&png, out, 0, rgb.data(), 0, nullptr) != 0;
  png_image_free(&png);
  return ok;
}

}  // namespace

int inspect_morph(const std::string& path, int argc, char** argv) {
  const char* png_out = nullptr;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--png") != 0 || i + 1 >= argc) {
      std::fprintf(stderr, "tidalhall-inspect: %s takes only --png OUT.png (see --help)\n",
                   argv[1]);
      return 2;
    }
    png_out = argv[++i];
  }
  // Starts from an empty grid, so only what the file gives is shown.
  morph_grid = {};
  const MorphFileInfo info = load_morph(path.c_str());
  switch (info.result) {
    case MorphLoad::kMissing:
      std::printf("morph file not found: %s\n", path.c_str());
      return 1;
    case MorphLoad::kNotMorph:
      std::printf("not a morph file: %s\n", path.c_str());
      return 1;
    case MorphLoad::kTooLarge:
      std::printf("morph: columns %d rows %d, more than the grid's %d x %d\n", info.columns,
                  info.rows, kMorphColumns, kMorphRows);
      return 1;
    case MorphLoad::kLoaded:
    case MorphLoad::kShort:
      break;
  }
  std::printf("morph: columns %d rows %d\n", info.columns, info.rows);
  const int whole = info.values_read / 4;
  for (int i = 0; i < whole; ++i) {
    const int r = i / info.columns, c = i % info.columns;
    const MorphPoint a = morph_grid.first[r][c], b = morph_grid.second[r][c];
    std::printf("point %d %d: first %d %d second %d %d\n", r, c, a.x, a.y, b.x, b.y);
  }
  if (info.result == MorphLoad::kShort) {
    std::printf("morph file ends after %d of %d points\n", whole,
                std::max(0, info.columns) * std::max(0, info.rows));
    return 1;
  }
  if (!png_out) return 0;
  Sheet sheet;
  const fs::path root = fs::absolute(path).parent_path().parent_path();
  paste_portrait(sheet, root, data_file::kPortrait1, 0);
  paste_portrait(sheet, root, data_file::kPortrait2, 320);
  const int columns = std::max(0, info.columns), rows = std::max(0, info.rows);
  draw_grid(sheet, morph_grid.first, columns, rows, 0x00FFFF40);
  draw_grid(sheet, morph_grid.second, columns, rows, 0x0040FFFF);
  if (!write_sheet(png_out, sheet)) {
    std::printf("cannot write %s\n", png_out);
    return 1;
  }
  return 0;
}
