#pragma once
// A fixed area of a control, in twips from its top-left corner.

namespace menu {

// Closed on both axes: a point on any bound is inside. Event coordinates and
// bounds are both single precision, so a value just past a bound is outside.
struct Rect {
  float x_low, x_high;
  float y_low, y_high;

  constexpr bool Contains(float x, float y) const {
    return x_low <= x && x <= x_high && y_low <= y && y <= y_high;
  }
};

}  // namespace menu
