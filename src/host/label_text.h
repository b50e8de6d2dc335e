// Small readable text for the contact sheet's labels: FreeType with DejaVu Sans.
#pragma once
#include <cstdint>
#include <string>

// Draws text with its top-left corner at (x, y), about `px` pixels high, blended over the
// 0x00RRGGBB picture and clipped to it. False when the font cannot be loaded (nothing drawn).
bool draw_text(uint32_t* pixels, int width, int height, int x, int y, const std::string& text,
               int px, uint32_t colour);
// The width draw_text would use for text (0 without the font).
int text_width(const std::string& text, int px);
