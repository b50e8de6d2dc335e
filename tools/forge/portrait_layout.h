// Where the features of the two 320 x 240 portraits ("gfx\tovr1.jpg", "gfx\tovr2.jpg")
// lie. The picture writer paints the faces at these places and the morph writer puts
// its grid lines through them, so the morph carries eye onto eye and mouth onto mouth.
// Shared by both writers; change both pictures and the morph together.
#pragma once

namespace forge::portrait {

struct Layout {
  // Columns, left to right (strictly increasing, inside 1..318).
  int head_left;    // outer edge of the hair at eye height
  int cheek_left;   // face outline (jaw) at mouth height
  int eye_left_x;   // centre of the left eye (as seen in the picture)
  int centre_x;     // nose tip and mouth centre
  int eye_right_x;  // centre of the right eye
  int cheek_right;
  int head_right;
  // Rows, top to bottom (strictly increasing, inside 1..238).
  int head_top;  // top of the hair
  int eye_y;     // eye centres
  int nose_y;    // nose tip
  int mouth_y;   // line between the lips
  int chin_y;    // bottom of the chin
  // Sizes of the features.
  int eye_radius;
  int mouth_half_width;
};

// First portrait: face a little to the left, wide and low.
inline constexpr Layout kFirst = {96, 118, 136, 158, 182, 200, 222, 30, 104, 134, 162, 198, 11, 22};

// Second portrait: narrower, longer face standing a little to the right and higher.
inline constexpr Layout kSecond = {112, 130, 146, 166, 186, 204, 222,
                                   18,  92,  126, 156, 196, 10,  18};

// The morph grid's 9 columns and 7 rows: the picture edges plus the feature lines.
inline constexpr int kColumns = 9;
inline constexpr int kRows = 7;

constexpr int grid_x(const Layout& l, int column) {
  const int xs[kColumns] = {0,          l.head_left,   l.cheek_left,  l.eye_left_x,
                            l.centre_x, l.eye_right_x, l.cheek_right, l.head_right,
                            319};
  return xs[column];
}

constexpr int grid_y(const Layout& l, int row) {
  const int ys[kRows] = {0, l.head_top, l.eye_y, l.nose_y, l.mouth_y, l.chin_y, 239};
  return ys[row];
}

}  // namespace forge::portrait
