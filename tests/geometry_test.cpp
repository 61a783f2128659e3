// What every window runtime does alike with the controls: their places and
// design-time pictures, a new picture's effect on a control, the mouse
// arguments, drawing the client area, and running a bound procedure.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <stdexcept>

#include "assets/embedded.h"
#include "autorun/program.h"
#include "pictures/cursor_file.h"
#include "platform/window/compose.h"
#include "platform/window/mouse_args.h"
#include "platform/window/form_host.h"
#include "tests/picture_test_util.h"

namespace {

using namespace platform;
using namespace pictures;
using picture_test::MakeF;

Picture Shared(Image image) { return Picture(std::make_shared<const Image>(std::move(image))); }

TEST(Controls, RectanglesMeetWhereTheyShareAPixel) {
  const std::array<PixelRect, 4> kCases[] = {  // a, b, a and b, both
      {{{0, 0, 4, 3}, {2, 1, 5, 5}, {2, 1, 2, 2}, {0, 0, 7, 6}}},
      {{{0, 0, 3, 3}, {3, 0, 3, 3}, {}, {0, 0, 6, 3}}},
      {{{0, 0, 3, 3}, {0, 3, 3, 3}, {}, {0, 0, 3, 6}}},
      {{{-4, -2, 6, 5}, {1, 1, 0, 9}, {}, {-4, -2, 6, 5}}},
  };
  for (const auto& [a, b, both, all] : kCases) {
    SCOPED_TRACE(&a - &std::get<0>(kCases[0]));
    EXPECT_EQ(a.Intersect(b), both);
    EXPECT_EQ(b.Union(a), all);
  }
}

TEST(Controls, MouseArgumentsInTheProceduresTerms) {
  for (const auto& [left, others, argument] : {std::tuple{false, false, 0}, {true, false, 101}, {false, true, 606}})
    EXPECT_EQ(ButtonArgument({left, others, others}) * 100 + ShiftArgument({left, others, others}), argument) << argument;
  const MouseArgs args = ArgsAt(-3, 23, 2, 5);
  EXPECT_EQ((std::array{args.x, args.y, float(args.button), float(args.shift)}), (std::array{-45.0f, 345.0f, 2.0f, 5.0f}));
}

// Design-time pictures live in static storage, as the executable's do; a broken one names its control.
picture_test::Bytes g_gif = picture_test::Bytes(20);
std::span<const std::uint8_t> Gif() { return g_gif; }

TEST(Controls, ABrokenDesignTimePictureNamesItsControl) {
  const ControlLayout button{Control::Exit, "imgExit", ControlKind::Image, 1110, 4310, 1650, 360, &Gif, MousePointer::Default, nullptr};
  std::vector<std::uint8_t> scratch;
  EXPECT_THAT([&] { DesignSurface(button, scratch); },
              testing::ThrowsMessage<RuntimeError>(testing::StartsWith("Load \"imgExit\": ")));
}

// A canvas filled with a colour no control uses, so untouched pixels show.
struct Canvas9 {
  std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(11 * 8, 0xFF123456);
  Canvas View() { return {pixels.data(), 11, 8}; }
};

TEST(Controls, DrawingBackToFrontInsideTheRequestedPart) {
  const picture_test::Bytes bmp = assets::EncodeBmp24(MakeF(9, 6));
  ControlSurface background, button, empty;
  background.area = {0, 0, 9, 6}, background.bitmap = ViewBmp24(bmp), empty.area = {1, 1, 2, 2};
  Image picture = MakeF(4, 3);
  picture.pixels[0] = 0;  // clear: the background shows through
  picture.pixels[4] = 0xFF00FF00;  // its first column in a colour of its own
  AssignPicture(button, Shared(picture));
  button.area.x = 8, button.area.y = 2;  // reaches past the canvas
  const std::array<const ControlSurface*, 3> kBackToFront = {&background, &empty, &button};
  const Image f = MakeF(9, 6);
  const std::uint32_t untouched = 0xFF123456, window = kWindowColour;
  const std::tuple<PixelRect, std::vector<std::uint32_t>> kCases[] = {  // (0,0) (1,1) (8,2) (9,2) (8,3) (10,5)
      {{1, 1, 20, 20}, {untouched, f.At(1, 1), f.At(8, 2), picture.At(1, 0), picture.At(0, 1), window}},
      {{0, 0, 3, 3}, {f.At(0, 0), f.At(1, 1), untouched, untouched, untouched, untouched}},
      {{-100, -100, 1000, 1000}, {f.At(0, 0), f.At(1, 1), f.At(8, 2), picture.At(1, 0), picture.At(0, 1), window}},
      {{9, 0, 2, 2}, {untouched, untouched, untouched, untouched, untouched, untouched}},
  };
  for (const auto& [part, expected] : kCases) {
    Canvas9 canvas;
    Compose(canvas.View(), kBackToFront, part);
    const auto at = [&](int x, int y) { return canvas.pixels[y * 11 + x]; };
    EXPECT_EQ((std::vector{at(0, 0), at(1, 1), at(8, 2), at(9, 2), at(8, 3), at(10, 5)}), expected)
        << part.x << "," << part.y << " " << part.w << "x" << part.h;
  }
}

// The focus ring's dots: on its edge, every other pixel, black over a light pixel and white over a
// dark one: grey 128 is the darkest light grey, 127 the lightest dark one.
TEST(Controls, TheFocusRingIsDottedInAContrastingColour) {
  const std::pair<PixelRect, std::array<const char*, 6>> kCases[] = {  // the part drawn, then B black, W white
      {{0, 0, 8, 6}, {"........", ".B.B.W..", "......W.", ".B......", "..B.W.W.", "........"}},
      {{-5, 2, 8, 9}, {"........", "........", "........", ".B......", "..B.....", "........"}},
  };
  for (const auto& [part, rows] : kCases) {
    std::vector<std::uint32_t> pixels(8 * 6);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = i % 8 < 4 ? 0xFF808080 : 0xFF7F7F7F;
    const std::vector<std::uint32_t> before = pixels;
    DrawFocusRing({pixels.data(), 8, 6}, {1, 1, 6, 4}, part);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      const char c = rows[i / 8][i % 8];
      EXPECT_EQ(pixels[i], c == 'B' ? 0xFF000000 : c == 'W' ? 0xFFFFFFFF : before[i]) << i % 8 << "," << i / 8 << " of " << part.x;
    }
  }
}

// The window object is owned by g_form alone, as by the runtime, so a procedure can drop it while it runs.
std::shared_ptr<Form> g_form;
std::vector<int> g_seen;  // the count of running procedures each run saw
int g_running = 3;        // already nested three deep
void Seen(Form&, const MouseArgs& args) { g_seen.push_back(g_running * 100 + int(args.x)); }
void Unloads(Form& form, const MouseArgs& args) {
  const std::weak_ptr<Form> held = g_form;
  g_form.reset();
  if (!held.expired()) Seen(form, args);
}
void Fails(Form&, const MouseArgs&) { throw std::runtime_error("run-time error"); }

TEST(Controls, ABoundProcedureRunsHoldingTheWindowAndCounted) {
  const Binding kBindings[] = {{Control::Exit, MouseEvent::Up, &Seen}, {Control::Documentation, MouseEvent::Up, &Unloads},
                               {Control::SetupWizard, MouseEvent::Up, &Fails}};
  const EventTable events(kBindings);
  const std::tuple<Control, MouseEvent, bool, std::vector<int>> kCases[] = {
      {Control::Exit, MouseEvent::Up, true, {430}},        {Control::Exit, MouseEvent::Down, true, {}},
      {Control::Help, MouseEvent::Up, true, {}},           {Control::Exit, MouseEvent::Up, false, {}},
      {Control::Documentation, MouseEvent::Up, true, {430}},
  };
  for (const auto& [control, event, with_form, seen] : kCases) {
    SCOPED_TRACE(testing::Message() << int(control) << " " << int(event) << (with_form ? " with" : " without") << " the form");
    g_seen.clear();
    g_form = with_form ? std::make_shared<Form>() : nullptr;
    RunBound(events, control, event, g_form, ArgsAt(2, 3, 1, 0), g_running);
    EXPECT_EQ(g_seen, seen);
    EXPECT_EQ(g_running, 3);
  }
  g_form = std::make_shared<Form>();
  EXPECT_THROW(RunBound(events, Control::SetupWizard, MouseEvent::Up, g_form, {}, g_running), std::runtime_error);
  EXPECT_EQ(g_running, 3);
  g_form.reset();
}

// The pictures built into the launcher fit the controls the layout makes.
TEST(Controls, BuiltInPicturesFitTheirControls) {
  const std::pair<Control, PixelRect> kPlaces[] = {
      {Control::Help, {232, 272, 377, 73}},         {Control::Exit, {120, 432, 44, 24}},
      {Control::Documentation, {32, 384, 118, 25}}, {Control::ManualInstallation, {8, 334, 149, 23}},
      {Control::SetupWizard, {74, 287, 110, 24}},   {Control::Ole1, {0, 0, 641, 480}},
  };
  std::vector<std::uint8_t> scratch;
  for (const auto& [control, place] : kPlaces) {
    const ControlSurface s = DesignSurface(*FindControl(autorun::Layout(), control), scratch);
    const Image* picture = s.picture.image();
    // The area takes the mouse: it is the picture's own, or the design-time box where none is assigned.
    EXPECT_EQ(s.area, place) << int(control);
    const std::pair<int, int> size = picture ? std::pair(picture->width, picture->height)
                                     : s.bitmap ? std::pair(s.bitmap->width, s.bitmap->height) : std::pair(place.w, place.h);
    EXPECT_EQ(size, std::pair(place.w, place.h)) << int(control);
  }
  EXPECT_EQ(std::get<Image>(DecodePicture(assets::WindowIcon())).width, 32);
  EXPECT_THAT(DecodeCursorFile(assets::HandPointer()), testing::VariantWith<pictures::CursorFile>(testing::_));
}

}  // namespace
