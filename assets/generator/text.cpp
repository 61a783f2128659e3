#include "assets/generator/text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <stdexcept>

#include "assets/generator/shapes.h"

namespace assets {

struct Font::Face {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~Face() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

Font::Font(const std::string& path) : face_(std::make_unique<Face>()) {
  if (FT_Init_FreeType(&face_->library) != 0) throw std::runtime_error("cannot start FreeType");
  if (FT_New_Face(face_->library, path.c_str(), 0, &face_->face) != 0)
    throw std::runtime_error("cannot open font " + path);
}
Font::~Font() = default;
Font::Font(Font&&) noexcept = default;
Font& Font::operator=(Font&&) noexcept = default;

namespace {

FT_Face SizedFace(const Font& font, int pixel_size) {
  FT_Face face = font.face().face;
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixel_size)) != 0)
    throw std::runtime_error("font cannot be set at this size");
  return face;
}

// Light hinting: glyphs snap to the pixel grid vertically only, which keeps
// their shapes true while making stems and baselines crisp.
constexpr FT_Int32 kLoadFlags = FT_LOAD_TARGET_LIGHT;

// Walks the glyphs of a line, calling visit(glyph slot, pen x) with kerning applied.
template <typename Visit>
int WalkGlyphs(FT_Face face, std::string_view text, bool render, Visit visit) {
  long pen = 0;  // 26.6 fixed point
  FT_UInt previous = 0;
  for (unsigned char c : text) {
    const FT_UInt index = FT_Get_Char_Index(face, c);
    if (previous != 0 && index != 0 && FT_HAS_KERNING(face)) {
      FT_Vector kern{};
      if (FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &kern) == 0) pen += kern.x;
    }
    if (FT_Load_Glyph(face, index, kLoadFlags | (render ? FT_LOAD_RENDER : 0)) != 0)
      throw std::runtime_error("glyph cannot be loaded");
    visit(face->glyph, static_cast<int>((pen + 32) >> 6));
    pen += face->glyph->advance.x;
    previous = index;
  }
  return static_cast<int>((pen + 32) >> 6);
}

}  // namespace

int TextWidth(const Font& font, std::string_view text, int pixel_size) {
  return WalkGlyphs(SizedFace(font, pixel_size), text, false, [](FT_GlyphSlot, int) {});
}

TextLine SetText(const Font& font, std::string_view text, int pixel_size, int pad) {
  FT_Face face = SizedFace(font, pixel_size);
  TextLine line;
  line.ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
  line.descent = static_cast<int>((-face->size->metrics.descender + 63) >> 6);
  line.advance = TextWidth(font, text, pixel_size);
  line.baseline = pad + line.ascent;
  // A little room either side: some glyphs reach past their advance.
  const int slack = pixel_size / 4 + 1;
  line.mask = Mask(line.advance + 2 * pad + 2 * slack, line.ascent + line.descent + 2 * pad);
  const int origin_x = pad + slack;
  WalkGlyphs(face, text, true, [&](FT_GlyphSlot g, int pen_x) {
    const FT_Bitmap& bm = g->bitmap;
    for (unsigned row = 0; row < bm.rows; ++row)
      for (unsigned col = 0; col < bm.width; ++col) {
        const int x = origin_x + pen_x + g->bitmap_left + static_cast<int>(col);
        const int y = line.baseline - g->bitmap_top + static_cast<int>(row);
        if (x < 0 || y < 0 || x >= line.mask.width || y >= line.mask.height) continue;
        const float v = bm.buffer[row * static_cast<unsigned>(bm.pitch) + col] / 255.0f;
        line.mask.at(x, y) = std::min(1.0f, line.mask.at(x, y) + v);
      }
  });
  // Report the pen start as `pad` by trimming the slack on the left.
  Mask trimmed(line.mask.width - slack, line.mask.height);
  for (int y = 0; y < trimmed.height; ++y)
    for (int x = 0; x < trimmed.width; ++x) trimmed.at(x, y) = line.mask.at(x + slack, y);
  line.mask = std::move(trimmed);
  return line;
}

InkBox FindInk(const Mask& mask, float threshold) {
  InkBox box{mask.width, mask.height, -1, -1};
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x)
      if (mask.at(x, y) >= threshold) {
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x);
        box.bottom = std::max(box.bottom, y);
      }
  if (box.right < 0) box = InkBox{};
  return box;
}

std::vector<std::string> WrapText(const Font& font, std::string_view text, int pixel_size, int max_width) {
  std::vector<std::string> lines;
  std::string current;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view word = text.substr(start, end - start);
    const std::string candidate = current.empty() ? std::string(word) : current + " " + std::string(word);
    if (!current.empty() && TextWidth(font, candidate, pixel_size) > max_width) {
      lines.push_back(current);
      current = std::string(word);
    } else {
      current = candidate;
    }
    start = end + 1;
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}


Canvas DrawLettering(Canvas canvas, const TextLine& line, int pen_x, int baseline_y, const LetterStyle& style) {
  // The line's mask starts `pad` pixels before the pen; its baseline row is known.
  const int pad = line.baseline - line.ascent;
  const int left = pen_x - pad, top = baseline_y - line.baseline;
  const Mask body = style.outline.a > 0 ? Grow(line.mask, style.outline_width) : line.mask;
  if (style.shadow.a > 0) {
    const Mask shadow = style.shadow_blur > 0 ? Blur(body, style.shadow_blur) : body;
    canvas = DrawMask(std::move(canvas), shadow, left + style.shadow_dx, top + style.shadow_dy, Solid(style.shadow));
  }
  if (style.outline.a > 0) canvas = DrawMask(std::move(canvas), body, left, top, Solid(style.outline));
  return DrawMask(std::move(canvas), line.mask, left, top, Solid(style.fill));
}

}  // namespace assets
