// --contact-sheet: one picture of the show, a grid of thumbnails taken every few seconds,
// each labelled with its show time and the timeline rows drawing then.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class ContactSheet {
 public:
  // Thumbnails at start, start + every, start + 2 every, ...
  ContactSheet(double start, double every);
  // Offers the frame shown at t (a 320 x 240 FrameBuffer); taken when a thumbnail is due.
  void offer(const uint32_t* frame, float t);
  int thumbnails() const { return static_cast<int>(shots_.size()); }
  // Composes the grid (0x00RRGGBB, width x height).
  std::vector<uint32_t> compose(int* width, int* height) const;
  bool save(const std::string& path) const;

  static constexpr int kColumns = 4;
  static constexpr int kThumbWidth = 160, kThumbHeight = 120;
  static constexpr size_t kLabelLines = 3;  // handler names under the time
  static constexpr int kLabelHeight = 12 + 10 * static_cast<int>(kLabelLines);

 private:
  struct Shot {
    float t;
    std::string label;                  // the show time
    std::vector<std::string> handlers;  // of the rows drawing then
    std::vector<uint32_t> pixels;       // kThumbWidth x kThumbHeight
  };
  double start_, every_;
  long next_ = 0;
  std::vector<Shot> shots_;
};

// The fallback without a font: draws text of digits, '.', ',', '-', 's' and 'r' in a 3 x 5 font at
// twice its size.
void draw_label(uint32_t* pixels, int width, int height, int x, int y, const std::string& text,
                uint32_t colour);
