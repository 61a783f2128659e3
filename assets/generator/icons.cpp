#include "assets/generator/icons.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "assets/generator/shapes.h"

namespace assets {
namespace {

constexpr Rgba kBlack = Rgb8(0, 0, 0);
constexpr Rgba kWhite = Rgb8(255, 255, 255);
constexpr Rgba kClear = Rgb8(0, 0, 0, 0.0f);

// '#' black outline, 'o' white, '.' transparent. Row 0 is the fingertip.
constexpr std::string_view kHand[] = {
    ".....##..........",
    "....#oo#.........",
    "....#oo#.........",
    "....#oo#.........",
    "....#oo#.........",
    "....#oo###.......",
    "....#oo#oo###....",
    "....#oo#oo#oo#...",
    "....#oo#oo#oo###.",
    ".##.#oo#oo#oo#oo#",
    "#oo##oo#oo#oo#oo#",
    "#ooo#ooooooooooo#",
    ".#oo#ooooooooooo#",
    ".#oooooooooooooo#",
    "..#ooooooooooooo#",
    "..#ooooooooooooo#",
    "...#oooooooooooo#",
    "...#ooooooooooo#.",
    "....#oooooooooo#.",
    "....#oooooooooo#.",
    "....############.",
};

Canvas FromPixelArt(std::span<const std::string_view> rows, int side) {
  Canvas canvas(side, side, kClear);
  for (std::size_t y = 0; y < rows.size(); ++y)
    for (std::size_t x = 0; x < rows[y].size(); ++x) {
      const char c = rows[y][x];
      if (c != '.') canvas.at(static_cast<int>(x), static_cast<int>(y)) = c == '#' ? kBlack : kWhite;
    }
  return canvas;
}

// The hourglass, column pair 15/16 on its axis.
constexpr int kGlassTop = 6;      // first row inside the glass
constexpr int kGlassBottom = 25;  // last row inside the glass
constexpr int kNeckRow = 15;      // last row of the upper bulb
// Half the inner width of the upper bulb, row by row from kGlassTop; the lower bulb mirrors it.
constexpr std::array<int, 10> kBulbHalfWidth = {7, 7, 7, 6, 6, 5, 4, 3, 2, 1};
constexpr int kAxis = 16;  // columns kAxis - w .. kAxis + w - 1 lie inside

int HalfWidth(int row) {
  if (row < kGlassTop || row > kGlassBottom) return 0;
  const int from_end = row <= kNeckRow ? row - kGlassTop : kGlassBottom - row;
  return kBulbHalfWidth[static_cast<std::size_t>(from_end)];
}

bool InsideGlass(int x, int y) {
  const int w = HalfWidth(y);
  return w > 0 && x >= kAxis - w && x < kAxis + w;
}

struct Cell {
  int x, y;
};

// Sand keeps one white pixel from the wall so it reads apart from the glass.
bool HoldsSand(int x, int y) {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      if (!InsideGlass(x + dx, y + dy)) return false;
  return true;
}

// Cells of one bulb in the order sand fills them, lowest first. A positive
// spread heaps the middle (a mound), a negative one hollows it (a funnel).
std::vector<Cell> SandOrder(int first_row, int last_row, float spread) {
  std::vector<Cell> cells;
  for (int y = first_row; y <= last_row; ++y)
    for (int x = 0; x < kCursorSide; ++x)
      if (HoldsSand(x, y)) cells.push_back({x, y});
  const auto height = [&](const Cell& c) { return (last_row - c.y) * 2.0f + spread * std::abs(c.x + 0.5f - kAxis); };
  std::stable_sort(cells.begin(), cells.end(), [&](const Cell& a, const Cell& b) { return height(a) < height(b); });
  return cells;
}

Canvas PaintGlass(Canvas canvas) {
  for (int y = kGlassTop - 1; y <= kGlassBottom + 1; ++y)
    for (int x = 0; x < kCursorSide; ++x) {
      if (InsideGlass(x, y)) {
        canvas.at(x, y) = kWhite;
        continue;
      }
      bool touches = false;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) touches = touches || InsideGlass(x + dx, y + dy);
      if (touches) canvas.at(x, y) = kBlack;
    }
  // Caps above and below the glass, rounded at their ends.
  for (const int top : {kGlassTop - 3, kGlassBottom + 1})
    for (int y = top; y < top + 3; ++y) {
      const bool outer = (top < kGlassTop) ? y == top : y == top + 2;
      for (int x = outer ? 8 : 7; x <= (outer ? 23 : 24); ++x) canvas.at(x, y) = kBlack;
    }
  return canvas;
}

}  // namespace

Canvas DrawWindowIcon() {
  Canvas canvas(kIconSide, kIconSide, kWhite);
  const float corner = kIconSide;  // arcs centred on the lower right corner
  const struct {
    float inner, outer;
    Rgba colour;
  } kArcs[] = {
      {17.5f, 22.5f, Rgb8(150, 20, 28)},   // dark red
      {10.5f, 15.0f, Rgb8(250, 196, 20)},  // yellow
      {0.0f, 8.5f, Rgb8(112, 40, 150)},    // purple
  };
  for (const auto& arc : kArcs)
    canvas = Fill(std::move(canvas), Subtract(Circle(corner, corner, arc.outer), Circle(corner, corner, arc.inner)),
                  Solid(arc.colour));
  // A thin grey frame keeps the white field visible on a white title bar.
  return Fill(std::move(canvas), Subtract(Box(0, 0, kIconSide, kIconSide), Box(1, 1, kIconSide - 1, kIconSide - 1)),
              Solid(Rgb8(160, 160, 160)));
}

Canvas DrawHandPointer() { return FromPixelArt(kHand, kCursorSide); }

Canvas DrawHourglass(int index, int count) {
  Canvas canvas = PaintGlass(Canvas(kCursorSide, kCursorSide, kClear));
  // The upper bulb keeps some air above its sand; it drains from the surface down.
  const std::vector<Cell> upper = SandOrder(kGlassTop + 2, kNeckRow, -0.7f);
  const std::vector<Cell> lower = SandOrder(kNeckRow + 1, kGlassBottom, 0.7f);
  const int total = static_cast<int>(std::min(upper.size(), lower.size()));
  const int fallen = std::clamp(total * index / std::max(count, 1), 0, total);
  for (int i = 0; i < total - fallen; ++i) canvas.at(upper[i].x, upper[i].y) = kBlack;
  for (int i = 0; i < fallen; ++i) canvas.at(lower[i].x, lower[i].y) = kBlack;
  if (fallen == total) return canvas;
  // A dashed stream through the neck whose dashes move down one row per frame.
  for (int y = kNeckRow - 1; y <= kGlassBottom; ++y)
    for (const int x : {kAxis - 1, kAxis})
      if (InsideGlass(x, y) && (y - index) % 3 != 0) canvas.at(x, y) = kBlack;
  return canvas;
}

}  // namespace assets
