#include "assets/generator/help_pictures.h"

#include <stdexcept>
#include <string>

#include "assets/generator/shapes.h"

namespace assets {
namespace {

constexpr int kTextLeft = 12;
constexpr int kTextRight = kHelpWidth - 6;
constexpr int kHeadingSize = 13;
constexpr int kBodySize = 11;
constexpr int kLineHeight = 14;
constexpr int kHeadingBaseline = 15;
constexpr int kBodyFirstBaseline = 34;

constexpr Rgba kHeadingColour = Rgb8(190, 78, 6);
constexpr Rgba kBodyColour = Rgb8(51, 51, 51);

Canvas PaintAccent(Canvas canvas) {
  // A slim orange bar beside the text ties the panel to the window's colours.
  return Fill(std::move(canvas), Box(2, 4, 6, kHelpHeight - 4, 2),
              Linear(0, 4, Rgb8(255, 190, 60), 0, kHelpHeight - 4, Rgb8(226, 100, 18)));
}

Canvas PaintRule(Canvas canvas) {
  return Fill(std::move(canvas), Box(kTextLeft, 21, kTextRight, 22),
              Linear(kTextLeft, 0, Rgb8(230, 150, 60), kTextRight, 0, Rgb8(255, 255, 255)));
}

}  // namespace

Canvas DrawHelpPicture(const HelpPage& help, const Fonts& fonts) {
  Canvas canvas(kHelpWidth, kHelpHeight, Rgb8(255, 255, 255));
  canvas = PaintAccent(std::move(canvas));
  canvas = PaintRule(std::move(canvas));
  const TextLine heading = SetText(fonts.bold, help.heading, kHeadingSize);
  canvas = DrawLettering(std::move(canvas), heading, kTextLeft, kHeadingBaseline, {.fill = kHeadingColour});

  const auto lines = WrapText(fonts.regular, help.body, kBodySize, kTextRight - kTextLeft);
  const int last_baseline = kBodyFirstBaseline + static_cast<int>(lines.size() - 1) * kLineHeight;
  if (lines.empty() || last_baseline + 3 > kHelpHeight)
    throw std::runtime_error("help text does not fit: " + std::string(help.file_name));
  int baseline = kBodyFirstBaseline;
  for (const std::string& text : lines) {
    const TextLine line = SetText(fonts.regular, text, kBodySize);
    canvas = DrawLettering(std::move(canvas), line, kTextLeft, baseline, {.fill = kBodyColour});
    baseline += kLineHeight;
  }
  return canvas;
}

}  // namespace assets
