#pragma once
// The window's background picture, drawn in layers, each canvas in, canvas out.

#include "assets/generator/canvas.h"
#include "assets/generator/text.h"

namespace assets {

inline constexpr int kBackgroundWidth = 641;
inline constexpr int kBackgroundHeight = 480;

// The white box the help panel is shown in; frame lines on these rows and columns.
struct FrameBox {
  int left, top, right, bottom;  // inclusive
};
inline constexpr FrameBox kHelpBox = {226, 264, 615, 346};

inline constexpr Rgba kHelpBoxFrame = Rgb8(128, 128, 128);
inline constexpr Rgba kEdgeGrey = Rgb8(102, 102, 102);

// Every layer in order, on a canvas of the background's size: an orange to
// yellow base with a warm glow, the curved bands, the printer, the title, the
// arrows, the help box, and a white outer line with a grey one inside it.
Canvas DrawBackground(const Fonts& fonts);

}  // namespace assets
