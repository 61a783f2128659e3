#pragma once
// The window's background picture, drawn in layers. Each layer is a pure
// function: canvas in, canvas out.

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

Canvas PaintBackdrop(Canvas canvas);   // orange to yellow base with a warm glow
Canvas PaintSweeps(Canvas canvas);     // the curved bands
Canvas PaintTitle(Canvas canvas, const Fonts& fonts);
Canvas PaintPrinter(Canvas canvas);
Canvas PaintArrows(Canvas canvas);
Canvas PaintHelpBox(Canvas canvas);
Canvas PaintEdge(Canvas canvas);       // white outer line, grey line inside it

// All layers in order, on a canvas of the background's size.
Canvas DrawBackground(const Fonts& fonts);

}  // namespace assets
