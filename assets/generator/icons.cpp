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

// Cells of the glass in the order sand fills them: the upper bulb from the neck
// up, the lower bulb from the bottom up as a mound.
std::vector<Cell> UpperSandOrder() {
  std::vector<Cell> cells;
  for (int y = kNeckRow; y >= kGlassTop + 2; --y)
    for (int d = 0; d < HalfWidth(y); ++d) cells.push_back({kAxis - 1 - d, y}), cells.push_back({kAxis + d, y});
  return cells;
}

std::vector<Cell> LowerSandOrder() {
  std::vector<Cell> cells;
  for (int y = kNeckRow + 1; y <= kGlassBottom; ++y)
    for (int x = 0; x < kCursorSide; ++x)
      if (InsideGlass(x, y)) cells.push_back({x, y});
  const auto height = [](const Cell& c) { return (kGlassBottom - c.y) * 2.0f + std::abs(c.x + 0.5f - kAxis); };
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
      {21.5f, 27.5f, Rgb8(150, 20, 28)},   // dark red
      {13.5f, 19.0f, Rgb8(250, 196, 20)},  // yellow
      {0.0f, 11.0f, Rgb8(112, 40, 150)},   // purple
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
  const std::vector<Cell> upper = UpperSandOrder(), lower = LowerSandOrder();
  const int total = static_cast<int>(upper.size());
  const int fallen = std::clamp(total * index / std::max(count, 1), 0, total);
  for (int i = 0; i < total - fallen; ++i) canvas.at(upper[i].x, upper[i].y) = kBlack;
  for (int i = 0; i < fallen && i < static_cast<int>(lower.size()); ++i) canvas.at(lower[i].x, lower[i].y) = kBlack;
  if (fallen < total) {
    // A thin stream of grains, shifting by one row each frame so it seems to fall.
    for (int y = kNeckRow + 1; y <= kGlassBottom; ++y)
      for (const int x : {kAxis - 1, kAxis})
        if ((y + x + index) % 2 == 0 && canvas.at(x, y).a > 0 && canvas.at(x, y).r > 0.5f) canvas.at(x, y) = kBlack;
  }
  return canvas;
}

}  // namespace assets
