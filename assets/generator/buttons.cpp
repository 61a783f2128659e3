#include "assets/generator/buttons.h"

#include <algorithm>
#include <iterator>

#include "assets/generator/shapes.h"

namespace assets {
namespace {

constexpr float kOutline = 1.0f;
// Room kept free around the lettering: outline, shadow and a little air.
constexpr int kSideMargin = 4;
constexpr int kLargestSize = 16;

// Height of a capital at this size, for centring the lettering on its capitals.
int CapHeight(const Font& font, int size) { return FindInk(SetText(font, "H", size).mask).height(); }

bool Fits(const Fonts& fonts, const ButtonDesign& b, int size) {
  const TextLine line = SetText(fonts.bold, b.label, size, 2);
  return FindInk(line.mask).width() + 2 * kSideMargin <= b.width &&
         line.ascent + 2 * kOutline + 2 <= b.height;
}

LetterStyle Lettering(ButtonState state) {
  const bool pressed = state == ButtonState::Pressed;
  return {.fill = pressed ? Rgb8(236, 236, 236) : Rgb8(255, 255, 255),
          .outline = Rgb8(64, 64, 64, 0.9f),
          .outline_width = kOutline,
          .shadow = Rgb8(40, 16, 0, pressed ? 0.35f : 0.55f),
          .shadow_dx = pressed ? 0 : 1,
          .shadow_dy = pressed ? 0 : 1,
          .shadow_blur = 0.8f};
}

// The pushed-in look: the face darkens, with a soft shade along its top and left.
Canvas PushIn(Canvas canvas) {
  const float w = static_cast<float>(canvas.width), h = static_cast<float>(canvas.height);
  const Mask face = Rasterise(Box(0.5f, 0.5f, w - 0.5f, h - 0.5f, 4), canvas.width, canvas.height);
  canvas = Shade(std::move(canvas), face, 0.78f);
  const Mask inner = Subtract(face, Blur(Shift(face, 2, 2), 1.2f));
  return Shade(std::move(canvas), Scale(inner, 0.6f), 0.55f);
}

}  // namespace

int ButtonTextSize(const Fonts& fonts) {
  int size = kLargestSize;
  while (size > 6 && !std::all_of(std::begin(kButtons), std::end(kButtons),
                                  [&](const ButtonDesign& b) { return Fits(fonts, b, size); }))
    --size;
  return size;
}

Canvas DrawButton(const Canvas& background, const ButtonDesign& b, const Fonts& fonts, int text_size,
                  ButtonState state) {
  Canvas canvas = Crop(background, b.left, b.top, b.width, b.height);
  const bool pressed = state == ButtonState::Pressed;
  if (pressed) canvas = PushIn(std::move(canvas));
  const TextLine line = SetText(fonts.bold, b.label, text_size, 2);
  const InkBox ink = FindInk(line.mask);
  // Centre the ink across, and the capitals from top to bottom.
  const int pad = line.baseline - line.ascent;
  const int pen_x = (b.width - ink.width()) / 2 - (ink.left - pad);
  const int baseline = (b.height + CapHeight(fonts.bold, text_size) + 1) / 2 - 1;
  const int shift = pressed ? 1 : 0;
  return DrawLettering(std::move(canvas), line, pen_x + shift, baseline + shift, Lettering(state));
}

}  // namespace assets
