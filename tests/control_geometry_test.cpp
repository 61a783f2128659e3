// What the window runtimes share about the controls: rectangles, a picture's
// effect on a control's area, the design-time pictures, mouse arguments,
// drawing the client area and running a bound procedure.
#include "platform/window/control_geometry.h"
#include "platform/window/form_host.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <stdexcept>
#include <vector>

#include "assets/encode.h"
#include "assets/picture_object.h"
#include "tests/picture_test_util.h"

namespace {

using picture_test::Bytes;
using picture_test::MakeF;
using picture_test::MakeIndexedF;
using platform::Canvas;
using platform::ControlSurface;
using platform::PixelRect;

std::shared_ptr<const pictures::Image> Shared(pictures::Image image) {
  return std::make_shared<const pictures::Image>(std::move(image));
}

TEST(PixelRect, IntersectionAndUnion) {
  struct Case {
    const char* name;
    PixelRect a, b, intersection, both;
  };
  const Case kCases[] = {
      {"overlapping", {0, 0, 4, 3}, {2, 1, 5, 5}, {2, 1, 2, 2}, {0, 0, 7, 6}},
      {"one inside the other", {1, 1, 10, 10}, {3, 4, 2, 2}, {3, 4, 2, 2}, {1, 1, 10, 10}},
      {"touching edges share no pixel", {0, 0, 3, 3}, {3, 0, 3, 3}, {}, {0, 0, 6, 3}},
      {"apart", {0, 0, 2, 2}, {5, 6, 1, 1}, {}, {0, 0, 6, 7}},
      {"negative place", {-4, -2, 6, 5}, {0, 0, 641, 480}, {0, 0, 2, 3}, {-4, -2, 645, 482}},
      {"an empty one adds nothing", {7, 8, 0, 9}, {1, 2, 3, 4}, {}, {1, 2, 3, 4}},
      {"a negative side is empty", {1, 1, -5, 3}, {0, 0, 9, 9}, {}, {0, 0, 9, 9}},
      {"two empty ones", {1, 1, 0, 0}, {5, 5, 3, 0}, {}, {}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.a.Intersect(c.b), c.intersection);
    EXPECT_EQ(c.b.Intersect(c.a), c.intersection);
    EXPECT_EQ(c.a.Union(c.b), c.both);
    EXPECT_EQ(c.b.Union(c.a), c.both);
  }
}

TEST(PixelRect, ContainsItsFirstPixelsButNotTheEdgeBeyond) {
  const PixelRect r{74, 287, 110, 24};
  struct Case {
    const char* name;
    int x, y;
    bool inside;
  };
  const Case kCases[] = {
      {"top-left pixel", 74, 287, true},     {"bottom-right pixel", 183, 310, true},
      {"left of it", 73, 290, false},        {"right edge", 184, 290, false},
      {"above it", 80, 286, false},          {"bottom edge", 80, 311, false},
      {"far away", -1000, 100000, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(r.Contains(c.x, c.y), c.inside);
  }
}

TEST(AssignPicture, TheControlTakesThePicturesSizeAndKeepsItsPlace) {
  const platform::Picture wide(Shared(MakeF(30, 5)));
  const platform::Picture tall(Shared(MakeF(6, 40)));
  struct Case {
    const char* name;
    platform::Picture before, after;
    PixelRect area_after, redrawn;
  };
  const Case kCases[] = {
      {"a larger picture", tall, wide, {10, 20, 30, 5}, {10, 20, 30, 40}},
      {"a smaller picture", wide, tall, {10, 20, 6, 40}, {10, 20, 30, 40}},
      {"onto the empty picture", {}, wide, {10, 20, 30, 5}, {10, 20, 30, 5}},
      {"the empty picture keeps the size", wide, {}, {10, 20, 30, 5}, {10, 20, 30, 5}},
      {"the same picture again draws nothing", wide, wide, {10, 20, 30, 5}, {}},
      {"empty again draws nothing", {}, {}, {10, 20, 7, 7}, {}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ControlSurface control;
    control.area = {10, 20, 7, 7};
    platform::AssignPicture(control, c.before);
    EXPECT_EQ(platform::AssignPicture(control, c.after), c.redrawn);
    EXPECT_EQ(control.area, c.area_after);
    EXPECT_EQ(control.picture, c.after);
  }
}

TEST(MouseArguments, ButtonsAndKeysAddUpInTheProceduresNumbering) {
  struct Case {
    const char* name;
    platform::HeldButtons buttons;
    platform::HeldKeys keys;
    std::int16_t button, shift;
  };
  const Case kCases[] = {
      {"nothing held", {}, {}, 0, 0},
      {"left, shift", {true, false, false}, {true, false, false}, 1, 1},
      {"right, ctrl", {false, true, false}, {false, true, false}, 2, 2},
      {"middle, alt", {false, false, true}, {false, false, true}, 4, 4},
      {"left and right, shift and alt", {true, true, false}, {true, false, true}, 3, 5},
      {"all three", {true, true, true}, {true, true, true}, 7, 7},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(platform::ButtonArgument(c.buttons), c.button);
    EXPECT_EQ(platform::ShiftArgument(c.keys), c.shift);
  }
}

TEST(MouseArguments, PixelsFromTheControlsCornerBecomeTwips) {
  struct Case {
    const char* name;
    int x, y;
    float twips_x, twips_y;
  };
  const Case kCases[] = {
      {"the corner", 0, 0, 0.0f, 0.0f},
      {"inside", 7, 23, 105.0f, 345.0f},
      {"left of and above it, while captured", -3, -120, -45.0f, -1800.0f},
      {"far right of the client area", 4000, 1, 60000.0f, 15.0f},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const platform::MouseArgs args = platform::ArgsAt(c.x, c.y, 2, 5);
    EXPECT_EQ(args.x, c.twips_x);
    EXPECT_EQ(args.y, c.twips_y);
    EXPECT_EQ(args.button, 2);
    EXPECT_EQ(args.shift, 5);
  }
}

// A canvas pre-filled with a colour no control uses, so untouched pixels show.
struct TestCanvas {
  static constexpr std::uint32_t kUntouched = 0xFF123456;
  int width, height;
  std::vector<std::uint32_t> pixels;
  TestCanvas(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, kUntouched) {}
  Canvas View() { return {pixels.data(), width, height}; }
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

TEST(Compose, DrawsTheControlsBackToFrontWithinTheRectangleOnly) {
  // The background: an 11x8 F (red on blue) from a 24-bit BMP, read in place;
  // over it a 4x3 picture whose top-left pixel is transparent.
  const Bytes bmp = assets::EncodeBmp24(MakeF(11, 8));
  ControlSurface background;
  background.bitmap = pictures::ViewBmp24(bmp);
  ASSERT_TRUE(background.bitmap.has_value());
  background.area = {0, 0, 11, 8};
  pictures::Image button_image = MakeF(4, 3, picture_test::kWhite, picture_test::kBlack);
  button_image.pixels[0] = 0;
  ControlSurface button;
  platform::AssignPicture(button, platform::Picture(Shared(button_image)));
  button.area.x = 9;  // reaches past the canvas's right edge
  button.area.y = 2;
  const std::array<const ControlSurface*, 2> kBackToFront = {&background, &button};
  const pictures::Image f = MakeF(11, 8);

  TestCanvas canvas(11, 8);
  platform::Compose(canvas.View(), kBackToFront, {1, 1, 20, 20});
  struct Pixel {
    const char* name;
    int x, y;
    std::uint32_t expected;
  };
  const Pixel kPixels[] = {
      {"outside the rectangle", 0, 0, TestCanvas::kUntouched},
      {"outside the rectangle, lower left", 0, 7, TestCanvas::kUntouched},
      {"background inside the rectangle", 1, 1, f.At(1, 1)},
      {"background, bottom-right", 10, 7, f.At(10, 7)},
      {"background through the picture's transparent pixel", 9, 2, f.At(9, 2)},
      {"the picture's own pixel", 10, 2, button_image.At(1, 0)},
      {"the picture's second row", 9, 3, button_image.At(0, 1)},
      {"below the picture", 9, 5, f.At(9, 5)},
  };
  for (const Pixel& p : kPixels) {
    SCOPED_TRACE(p.name);
    EXPECT_EQ(canvas.At(p.x, p.y), p.expected);
  }
}

TEST(Compose, TheWindowColourShowsOnlyWhereTheBackgroundDoesNotReach) {
  const Bytes bmp = assets::EncodeBmp24(MakeF(5, 4));
  ControlSurface background;
  background.bitmap = pictures::ViewBmp24(bmp);
  ASSERT_TRUE(background.bitmap.has_value());
  background.area = {0, 0, 5, 4};
  ControlSurface empty_control;  // the empty picture draws nothing
  empty_control.area = {1, 1, 2, 2};
  const std::array<const ControlSurface*, 2> kBackToFront = {&background, &empty_control};
  struct Case {
    const char* name;
    PixelRect r;
    int x, y;
    std::uint32_t expected;
  };
  const pictures::Image f = MakeF(5, 4);
  const Case kCases[] = {
      {"beyond the background", {0, 0, 7, 6}, 6, 5, platform::kWindowColour},
      {"beyond the background, right of it", {0, 0, 7, 6}, 5, 0, platform::kWindowColour},
      {"on the background in the same pass", {0, 0, 7, 6}, 4, 3, f.At(4, 3)},
      {"under the empty control", {0, 0, 3, 3}, 1, 1, f.At(1, 1)},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    TestCanvas canvas(7, 6);
    platform::Compose(canvas.View(), kBackToFront, c.r);
    EXPECT_EQ(canvas.At(c.x, c.y), c.expected);
  }
}

TEST(Compose, ARectangleBeyondTheCanvasIsClipped) {
  ControlSurface control;
  platform::AssignPicture(control, platform::Picture(Shared(MakeF(6, 6))));
  control.area.x = -2;
  control.area.y = -3;
  const std::array<const ControlSurface*, 1> kOne = {&control};
  TestCanvas canvas(3, 2);
  platform::Compose(canvas.View(), kOne, {-100, -100, 1000, 1000});
  const pictures::Image f = MakeF(6, 6);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
      EXPECT_EQ(canvas.At(x, y), f.At(x + 2, y + 3));
    }
}

// Design-time pictures live in static storage, as the executable's do.
Bytes g_button_gif, g_object, g_broken;
std::span<const std::uint8_t> ButtonGif() { return g_button_gif; }
std::span<const std::uint8_t> Object() { return g_object; }
std::span<const std::uint8_t> Broken() { return g_broken; }

TEST(DesignSurface, ButtonsTakeTheirPicturesSizeAndTheBackgroundItsBitmap) {
  g_button_gif = assets::EncodeGif(MakeIndexedF(13, 7));
  g_object = assets::BuildPictureObject(assets::EncodeBmp24(MakeF(21, 9)), 0);
  using platform::ControlKind;
  using platform::MousePointer;
  const platform::ControlLayout button{platform::Control::SetupWizard, "imgSetupWizard", ControlKind::Image,
                                       1110, 4310, 1650, 360, &ButtonGif, MousePointer::Default, nullptr};
  const platform::ControlLayout panel{platform::Control::Help, "imgHelp", ControlKind::Image,
                                      3480, 4080, 5655, 1095, nullptr, MousePointer::Default, nullptr};
  const platform::ControlLayout background{platform::Control::Ole1, "OLE1", ControlKind::OleContainer,
                                           0, 0, 9615, 7200, &Object, MousePointer::Default, nullptr};
  std::vector<std::uint8_t> scratch;

  const ControlSurface b = platform::DesignSurface(button, scratch);
  EXPECT_EQ(b.area, (PixelRect{74, 287, 13, 7})) << "4310 twips stand on pixel row 287";
  ASSERT_NE(b.picture.image(), nullptr);
  EXPECT_EQ(b.picture.image()->pixels, picture_test::Expand(MakeIndexedF(13, 7)).pixels);

  const ControlSurface p = platform::DesignSurface(panel, scratch);
  EXPECT_EQ(p.area, (PixelRect{232, 272, 377, 73})) << "no picture: the layout's own size";
  EXPECT_TRUE(p.picture.empty());

  const ControlSurface o = platform::DesignSurface(background, scratch);
  EXPECT_EQ(o.area, (PixelRect{0, 0, 641, 480})) << "the container keeps its size";
  ASSERT_TRUE(o.bitmap.has_value()) << "the 24-bit bitmap is read in place";
  EXPECT_TRUE(o.picture.empty());
  TestCanvas canvas(21, 9);
  const std::array<const ControlSurface*, 1> kOne = {&o};
  platform::Compose(canvas.View(), kOne, {0, 0, 21, 9});
  EXPECT_EQ(canvas.pixels, MakeF(21, 9).pixels);
}

TEST(DesignSurface, ABrokenDesignPictureIsALoadErrorNamingTheControl) {
  g_broken = assets::EncodeGif(MakeIndexedF(13, 7));
  g_broken.resize(g_broken.size() - 1);  // no trailer
  g_object = assets::BuildPictureObject(assets::EncodeBmp24(MakeF(21, 9)), 0);
  g_object[30] ^= 0xFF;  // inside the compound file's signature
  using platform::ControlKind;
  using platform::MousePointer;
  struct Case {
    const char* name;
    platform::ControlLayout layout;
    const char* cause;
  };
  const Case kCases[] = {
      {"a truncated button picture",
       {platform::Control::Exit, "imgExit", ControlKind::Image, 1800, 6480, 660, 360, &Broken,
        MousePointer::Default, nullptr},
       "truncated picture"},
      {"a damaged picture object",
       {platform::Control::Ole1, "OLE1", ControlKind::OleContainer, 0, 0, 9615, 7200, &Object,
        MousePointer::Default, nullptr},
       "damaged picture object"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> scratch;
    try {
      platform::DesignSurface(c.layout, scratch);
      ADD_FAILURE() << "no error";
    } catch (const platform::RuntimeError& e) {
      EXPECT_EQ(e.operation(), "Load");
      EXPECT_EQ(e.path(), c.layout.name);
      EXPECT_EQ(e.cause_text(), c.cause);
    }
  }
}

// Procedures for RunBound. The window object is owned by g_form alone, as by
// the runtime, so a procedure can drop it while it runs, as Unload does.
std::shared_ptr<platform::Form> g_form;
std::vector<platform::MouseArgs> g_runs;
int g_running_seen = -1;
int* g_running = nullptr;

void Record(platform::Form&, const platform::MouseArgs& args) {
  g_runs.push_back(args);
  g_running_seen = *g_running;
}
void UnloadWhileRunning(platform::Form& form, const platform::MouseArgs& args) {
  std::weak_ptr<platform::Form> watch = g_form;
  g_form.reset();
  EXPECT_FALSE(watch.expired()) << "the window object died under its running procedure";
  Record(form, args);
}
void Fail(platform::Form&, const platform::MouseArgs&) { throw std::runtime_error("run-time error"); }

TEST(RunBound, RunsTheBoundProcedureHoldingTheWindowObjectAndCountingIt) {
  const platform::Binding kBindings[] = {
      {platform::Control::Exit, platform::MouseEvent::Up, &Record},
      {platform::Control::Documentation, platform::MouseEvent::Up, &UnloadWhileRunning},
      {platform::Control::SetupWizard, platform::MouseEvent::Up, &Fail},
  };
  const platform::EventTable events(kBindings);
  int running = 3;  // already nested three deep
  g_running = &running;
  struct Case {
    const char* name;
    platform::Control control;
    platform::MouseEvent event;
    bool with_form;
    std::size_t runs;
  };
  const Case kCases[] = {
      {"bound", platform::Control::Exit, platform::MouseEvent::Up, true, 1},
      {"another event of the same control", platform::Control::Exit, platform::MouseEvent::Down, true, 0},
      {"a control with no procedure", platform::Control::Help, platform::MouseEvent::Up, true, 0},
      {"no window object any more", platform::Control::Exit, platform::MouseEvent::Up, false, 0},
      {"unloaded while it runs", platform::Control::Documentation, platform::MouseEvent::Up, true, 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    g_runs.clear();
    g_running_seen = -1;
    g_form = c.with_form ? std::make_shared<platform::Form>() : nullptr;
    platform::RunBound(events, c.control, c.event, g_form, platform::ArgsAt(2, 3, 1, 0), running);
    ASSERT_EQ(g_runs.size(), c.runs);
    if (c.runs > 0) {
      EXPECT_EQ(g_runs[0].x, 30.0f);
      EXPECT_EQ(g_runs[0].y, 45.0f);
      EXPECT_EQ(g_running_seen, 4) << "counted while it runs";
    }
    EXPECT_EQ(running, 3) << "the count comes back down";
  }
  g_form = std::make_shared<platform::Form>();
  EXPECT_THROW(platform::RunBound(events, platform::Control::SetupWizard, platform::MouseEvent::Up, g_form, {},
                                  running),
               std::runtime_error);
  EXPECT_EQ(running, 3) << "the count comes back down when an error unwinds the procedure";
  g_form.reset();
}

}  // namespace
