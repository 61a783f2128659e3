#pragma once
// Text set with FreeType into coverage masks, for titles, button names and
// help pictures.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "assets/generator/canvas.h"

namespace assets {

// One typeface file, opened once. Throws std::runtime_error if it cannot be read.
class Font {
 public:
  explicit Font(const std::string& path);
  ~Font();
  Font(Font&&) noexcept;
  Font& operator=(Font&&) noexcept;

  struct Face;
  Face& face() const { return *face_; }

 private:
  std::unique_ptr<Face> face_;
};

struct Fonts {
  Font bold;
  Font regular;
};

// A line of text as coverage. The pen starts at (pad, baseline) inside the mask.
struct TextLine {
  Mask mask;
  int baseline = 0;  // row of the baseline inside the mask
  int advance = 0;   // pen travel in pixels
  int ascent = 0;    // the font's ascender and descender at this size
  int descent = 0;   // (positive, below the baseline)
};

// Sets ASCII text in one line at `pixel_size` pixels per em, leaving `pad`
// empty pixels on every side for outlines and shadows.
TextLine SetText(const Font& font, std::string_view text, int pixel_size, int pad = 0);

int TextWidth(const Font& font, std::string_view text, int pixel_size);

// Ink bounds of a mask: columns and rows that hold any coverage.
struct InkBox {
  int left = 0, top = 0, right = -1, bottom = -1;  // inclusive; right < left when empty
  int width() const { return right - left + 1; }
  int height() const { return bottom - top + 1; }
};
InkBox FindInk(const Mask& mask, float threshold = 1.0f / 255.0f);

// Breaks text at spaces into lines no wider than `max_width`.
std::vector<std::string> WrapText(const Font& font, std::string_view text, int pixel_size, int max_width);


// How a line of lettering is dressed: fill, optional outline, optional shadow.
struct LetterStyle {
  Rgba fill;
  Rgba outline{0, 0, 0, 0};  // alpha 0: no outline
  float outline_width = 0;
  Rgba shadow{0, 0, 0, 0};  // alpha 0: no shadow
  int shadow_dx = 0, shadow_dy = 0;
  float shadow_blur = 0;  // Gaussian sigma; 0 keeps the shadow sharp
};

// Draws a line set with SetText so that its pen starts at (pen_x, baseline_y).
Canvas DrawLettering(Canvas canvas, const TextLine& line, int pen_x, int baseline_y, const LetterStyle& style);

}  // namespace assets
