#include "assets/generator/background.h"

#include <algorithm>

#include "assets/generator/shapes.h"

namespace assets {
namespace {

constexpr float kRight = kBackgroundWidth - 1;

// A curve across the picture: cubic Bezier in y over x from 0 to the right edge.
struct Curve {
  float y0, y1, y2, y3;
  float operator()(float x) const {
    const float t = x / kRight, u = 1 - t;
    return u * u * u * y0 + 3 * u * u * t * y1 + 3 * u * t * t * y2 + t * t * t * y3;
  }
};

// A band between two curves, shaded from left to right.
struct Sweep {
  Curve upper, lower;
  Rgba left_colour, right_colour;
};

//  upper edge: y at the Bezier's four    lower edge                       colour at left               colour at right
//  control points, left to right
constexpr Sweep kSweeps[] = {
    // A deeper shade sweeping down from the top edge, behind the title.
    {{96, 40, -20, -80}, {196, 150, 70, 10}, Rgb8(196, 66, 8, 0.45f), Rgb8(214, 84, 12, 0.0f)},
    // Upper flow: rises from the left edge behind the printer to the top right.
    {{258, 236, 150, 104}, {266, 272, 246, 262}, Rgb8(255, 186, 52, 0.30f), Rgb8(255, 206, 80, 0.85f)},
    {{240, 205, 120, 78}, {262, 238, 160, 128}, Rgb8(255, 214, 96, 0.20f), Rgb8(255, 232, 140, 0.70f)},
    {{222, 190, 112, 70}, {226, 196, 120, 82}, Rgb8(255, 240, 190, 0.10f), Rgb8(255, 246, 210, 0.65f)},
    // Lower flow: from the bottom edge up to the right edge beneath the help box.
    {{560, 470, 400, 352}, {620, 560, 500, 468}, Rgb8(255, 170, 40, 0.55f), Rgb8(255, 200, 70, 0.80f)},
    {{540, 452, 390, 362}, {548, 466, 404, 380}, Rgb8(255, 226, 130, 0.25f), Rgb8(255, 240, 180, 0.70f)},
};

Canvas PaintSweep(Canvas canvas, const Sweep& s) {
  return Fill(std::move(canvas), Band(s.upper, s.lower), Linear(0, 0, s.left_colour, kRight, 0, s.right_colour));
}

// Thin bright lines that trace the edges of the bands.
constexpr Curve kHighlights[] = {
    {236, 200, 116, 74},
    {556, 462, 396, 356},
};

// The layers, back to front.
Canvas PaintBackdrop(Canvas canvas) {
  canvas = Fill(std::move(canvas), Box(-10, -10, kBackgroundWidth + 10, kBackgroundHeight + 10),
                Linear(0, 0, Rgb8(222, 92, 16), 0, kBackgroundHeight, Rgb8(238, 124, 26)));
  // Warm light behind the printer.
  return Fill(std::move(canvas), Box(-10, -10, kBackgroundWidth + 10, kBackgroundHeight + 10),
              Radial(520, 190, 330, Rgb8(255, 196, 64, 0.75f), Rgb8(255, 196, 64, 0.0f)));
}

Canvas PaintSweeps(Canvas canvas) {
  for (const Sweep& s : kSweeps) canvas = PaintSweep(std::move(canvas), s);
  for (const Curve& c : kHighlights)
    canvas = Fill(std::move(canvas), CurveStroke(c, 1.2f),
                  Linear(0, 0, Rgb8(255, 255, 255, 0.0f), kRight, 0, Rgb8(255, 255, 255, 0.8f)));
  return canvas;
}

Canvas PaintTitle(Canvas canvas, const Fonts& fonts) {
  constexpr const char* kTitle = "Network Print Server Setup";
  constexpr const char* kTagline = "Install your print server and read its User Guide";
  constexpr int kMaxWidth = 560;
  int size = 40;
  while (size > 12 && TextWidth(fonts.bold, kTitle, size) > kMaxWidth) --size;
  const TextLine title = SetText(fonts.bold, kTitle, size, 6);
  const LetterStyle title_style{.fill = Rgb8(255, 255, 255),
                                .shadow = Rgb8(90, 30, 0, 0.85f),
                                .shadow_dx = 2,
                                .shadow_dy = 2,
                                .shadow_blur = 1.6f};
  canvas = DrawLettering(std::move(canvas), title, (kBackgroundWidth - title.advance) / 2, 66, title_style);
  const TextLine tagline = SetText(fonts.regular, kTagline, 14, 4);
  const LetterStyle tagline_style{.fill = Rgb8(255, 240, 214),
                                  .shadow = Rgb8(90, 30, 0, 0.6f),
                                  .shadow_dx = 1,
                                  .shadow_dy = 1,
                                  .shadow_blur = 1.0f};
  return DrawLettering(std::move(canvas), tagline, (kBackgroundWidth - tagline.advance) / 2, 94, tagline_style);
}

Canvas PaintPrinter(Canvas canvas) {
  const Rgba beige_light = Rgb8(246, 238, 216), beige = Rgb8(228, 214, 182), beige_dark = Rgb8(196, 178, 142);
  // Soft shadow on the ground.
  const Mask ground = Blur(Rasterise(Box(456, 232, 616, 246, 7), canvas.width, canvas.height), 4.0f);
  canvas = DrawMask(std::move(canvas), ground, 0, 0, Solid(Rgb8(110, 40, 0, 0.45f)));
  // Paper waiting in the input tray, standing up behind the body.
  canvas = Fill(std::move(canvas), Polygon({{498, 114}, {580, 110}, {584, 152}, {500, 156}}),
                Linear(0, 110, Rgb8(255, 255, 255), 0, 150, Rgb8(232, 232, 228)));
  canvas = Fill(std::move(canvas), Box(484, 136, 596, 160, 5), Linear(0, 136, beige, 0, 160, beige_dark));
  // The body: a rounded block lit from above, with a slightly darker rim.
  canvas = Fill(std::move(canvas), Box(451, 151, 619, 237, 12), Solid(Rgb8(176, 156, 120)));
  canvas = Fill(std::move(canvas), Box(452, 152, 618, 236, 11), Linear(0, 152, beige_light, 0, 236, beige_dark));
  canvas = Fill(std::move(canvas), Box(452, 152, 618, 172, 11),
                Linear(0, 152, Rgb8(252, 248, 236), 0, 172, beige_light));
  // Control panel with a green light.
  canvas = Fill(std::move(canvas), Box(574, 178, 606, 192, 3), Solid(Rgb8(150, 136, 110)));
  canvas = Fill(std::move(canvas), Circle(582, 185, 3.2f), Solid(Rgb8(70, 210, 90)));
  canvas = Fill(std::move(canvas), Box(590, 182, 601, 188, 2), Solid(Rgb8(220, 208, 182)));
  // Output slot and a printed page coming out of it onto the front tray.
  canvas = Fill(std::move(canvas), Box(470, 198, 600, 204, 3), Solid(Rgb8(92, 80, 64)));
  canvas = Fill(std::move(canvas), Polygon({{488, 201}, {582, 201}, {588, 234}, {482, 234}}),
                Linear(0, 201, Rgb8(238, 238, 234), 0, 234, Rgb8(255, 255, 255)));
  for (int i = 0; i < 3; ++i) {
    const float y = 211 + i * 7.0f, left = 497 - i * 1.3f, right = 573 + i * 1.3f - (i == 2 ? 28 : 0);
    canvas = Fill(std::move(canvas), Box(left, y, right, y + 2.0f, 1), Solid(Rgb8(150, 150, 160)));
  }
  canvas = Fill(std::move(canvas), Box(474, 228, 596, 238, 3), Linear(0, 228, beige, 0, 238, beige_dark));
  // Base plate.
  return Fill(std::move(canvas), Box(458, 234, 612, 241, 3), Linear(0, 234, beige_dark, 0, 241, Rgb8(150, 130, 96)));
}

Canvas PaintArrows(Canvas canvas) {
  // Two chevrons pointing at the first button.
  for (const float left : {34.0f, 50.0f}) {
    const Sdf arrow = Polygon({{left, 291}, {left + 11, 299}, {left, 307}, {left + 4, 299}});
    const Mask shadow = Blur(Shift(Rasterise(arrow, canvas.width, canvas.height), 1, 1), 1.0f);
    canvas = DrawMask(std::move(canvas), shadow, 0, 0, Solid(Rgb8(110, 40, 0, 0.5f)));
    canvas = Fill(std::move(canvas), arrow, Solid(Rgb8(255, 255, 255)));
  }
  return canvas;
}

Canvas PaintHelpBox(Canvas canvas) {
  const FrameBox b = kHelpBox;
  const Mask shadow = Blur(Rasterise(Box(b.left + 3, b.top + 4, b.right + 4, b.bottom + 5, 2), canvas.width,
                                     canvas.height), 3.0f);
  canvas = DrawMask(std::move(canvas), shadow, 0, 0, Solid(Rgb8(110, 40, 0, 0.35f)));
  for (int y = b.top; y <= b.bottom; ++y)
    for (int x = b.left; x <= b.right; ++x) {
      const bool frame = x == b.left || x == b.right || y == b.top || y == b.bottom;
      canvas.at(x, y) = frame ? kHelpBoxFrame : Rgb8(255, 255, 255);
    }
  return canvas;
}

Canvas PaintEdge(Canvas canvas) {
  const int w = canvas.width, h = canvas.height;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int ring = std::min(std::min(x, y), std::min(w - 1 - x, h - 1 - y));
      if (ring == 0) canvas.at(x, y) = Rgb8(255, 255, 255);
      if (ring == 1) canvas.at(x, y) = kEdgeGrey;
    }
  return canvas;
}

}  // namespace

Canvas DrawBackground(const Fonts& fonts) {
  Canvas canvas(kBackgroundWidth, kBackgroundHeight, Rgb8(0, 0, 0));
  canvas = PaintBackdrop(std::move(canvas));
  canvas = PaintSweeps(std::move(canvas));
  canvas = PaintPrinter(std::move(canvas));
  canvas = PaintTitle(std::move(canvas), fonts);
  canvas = PaintArrows(std::move(canvas));
  canvas = PaintHelpBox(std::move(canvas));
  return PaintEdge(std::move(canvas));
}

}  // namespace assets
