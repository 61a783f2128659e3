#pragma once
// The small pictures: the window icon, the hand pointer and the frames of the
// busy pointer.

#include <vector>

#include "assets/generator/canvas.h"

namespace assets {

inline constexpr int kIconSide = 32;
inline constexpr int kCursorSide = 32;

// White field with purple, yellow and dark red arcs in the lower right half.
Canvas DrawWindowIcon();

// White hand with a black outline, index finger up; transparent around it.
Canvas DrawHandPointer();
inline constexpr int kHandHotspotX = 5;  // the fingertip's top pixel
inline constexpr int kHandHotspotY = 0;

// Frame `index` of `count` of the hourglass: sand runs from the top bulb into the
// bottom one as the index grows.
Canvas DrawHourglass(int index, int count);
inline constexpr int kHourglassFrames = 12;
inline constexpr int kHourglassHotspot = kCursorSide / 2;

}  // namespace assets
