// High-density desktops: the window F times larger, every pixel repeated at a
// whole F and blended at another, the pointers and the error message enlarged.
// Where the pointer's positions land at each scale is the window core's test.
// The desktop's scale is the test server's (resources) or Wine's (the registry).
#include "tests/e2e/harness.h"

#include <cmath>

namespace e2e {
namespace {

struct Desktop {
  int dpi;                // Xft.dpi (under Wine LogPixels); 0: none
  const char* gdk_scale;  // nullptr: not set
  int scale;              // the scale expected, as dpi
  int w, h;               // the window
  bool x_only;            // the X desktop's settings, or a blended picture that Wine's filter makes otherwise
};

Image Repeated(const Image& image, int n) {
  Image out{image.width * n, image.height * n, {}};
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) out.pixels.push_back(image.At(x / n, y / n));
  return out;
}

// The 1x picture as a bilinear filter enlarges it to w by h: screen pixel x shows the
// client area at (x + 0.5) / F - 0.5, its edge pixels repeated beyond it.
Image Enlarged(const Image& image, int dpi, int w, int h) {
  Image out{w, h, {}};
  auto at = [dpi](int x, int limit, double* t) {
    const double f = std::clamp((x + 0.5) * 96 / dpi - 0.5, 0.0, limit - 1.0);
    return *t = f - std::floor(f), int(f);
  };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double tx, ty;
      const int left = at(x, image.width, &tx), top = at(y, image.height, &ty);
      const int right = std::min(left + 1, image.width - 1), bottom = std::min(top + 1, image.height - 1);
      std::uint32_t p = 0xFF000000u;
      for (int c = 0; c < 24; c += 8) {
        auto v = [&](int px, int py) { return double(image.At(px, py) >> c & 0xFF); };
        p |= std::uint32_t(std::lround((v(left, top) * (1 - tx) + v(right, top) * tx) * (1 - ty) +
                                           (v(left, bottom) * (1 - tx) + v(right, bottom) * tx) * ty)) << c;
      }
      out.pixels.push_back(p);
    }
  return out;
}

// The mean difference of a channel.
double Departure(const Image& a, const Image& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i)
    for (int c = 0; c < 24; c += 8) sum += std::abs(int(a.pixels[i] >> c & 0xFF) - int(b.pixels[i] >> c & 0xFF));
  return sum / (3.0 * a.pixels.size());
}

using Scaled = LauncherTest;

TEST_F(Scaled, TheWindowIsFTimesLargerSharpAndHitWhereItShows) {
  const Desktop rows[] = {
      {0, nullptr, 96, 641, 480, false},  // first: the picture every other row is held against
      {192, nullptr, 192, 1282, 960, false},
      {144, nullptr, 144, 962, 720, true},
      {192, "1", 96, 641, 480, true},  // GDK_SCALE before Xft.dpi
      {0, "3", 288, 1923, 1440, true},
  };
  const Server& server = Server::Shared();
  Image reference;
  std::pair<int, int> message;  // the error message's size at 1x
  for (const Desktop& d : rows) {
    if (kPlatform.wine && d.x_only) continue;
    SCOPED_TRACE("dpi " + std::to_string(d.dpi) + ", GDK_SCALE " + (d.gdk_scale ? d.gdk_scale : "unset"));
    NewDisc();
    if (kPlatform.wine) {
      ASSERT_EQ(Child(Wine({"reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d",
                            std::to_string(d.dpi ? d.dpi : 96), "/f"}), server.folder, server.env).Wait(Millis(60000)), 0);
    } else {
      const fs::path resources = disc().dir.Write("resources", d.dpi ? "Xft.dpi: " + std::to_string(d.dpi) + "\n" : "");
      ASSERT_EQ(Child({"xrdb", "-nocpp", "-load", resources.string()}, disc().root, server.env).Wait(Millis(10000)), 0);
    }
    dpi_ = d.scale;
    const std::vector<std::string> env = {std::string("GDK_SCALE=") + (d.gdk_scale ? d.gdk_scale : "")};
    Session* s = Start(env);
    ASSERT_NE(s, nullptr);
    XWindowAttributes a{};
    XGetWindowAttributes(x().dpy, s->window, &a);
    EXPECT_EQ(std::pair(a.width, a.height), std::pair(d.w, d.h));
    const Image shown = x().Grab(s->window, 0, 0, d.w, d.h);
    if (reference.pixels.empty()) reference = shown;
    if (d.scale % 96 == 0) {
      EXPECT_EQ(Difference(shown, Repeated(reference, d.scale / 96)), "") << "not the 1x picture with each pixel repeated";
    } else {  // it departs by about 0.2; shifted by a client pixel by 2.9, blurred over three by 1.3, unfiltered by 2
      EXPECT_LT(Departure(shown, Enlarged(reference, d.scale, d.w, d.h)), 0.6) << "not the 1x picture, enlarged";
    }
    // The hand, each pixel repeated, its hot spot too.
    const int n = (d.scale + 48) / 96;
    const Image hand = Repeated(*BuildAsset("hand.cur"), n);
    Move(*s, kExit);
    const X::Shape c = Pointer([&](const X::Shape& c) { return Matches(c, hand) && c.hot_x == 5 * n && c.hot_y == 0; });
    EXPECT_TRUE(Matches(c, hand) && c.hot_x == 5 * n && c.hot_y == 0) << c.w << "x" << c.h << " at " << c.hot_x;
    // Not the system's message box; nor where Xft.dpi says otherwise than the scale: Xft sizes the letters by it.
    if (kPlatform.wine || (d.dpi != 0 && d.dpi != d.scale)) continue;
    // The error message: its letters and box F times as large, within the letters' rounding.
    NewDisc();
    fs::remove(disc().Path(Picture("help")));
    Child& failing = Spawn({}, env);
    Window dialog = None;
    ASSERT_TRUE(Poll([&] { return (dialog = x().Find(kDialogTitle)) != None; }, Millis(20000)));
    XGetWindowAttributes(x().dpy, dialog, &a);
    if (message.first == 0) message = {a.width, a.height};
    EXPECT_NEAR(a.width, message.first * d.scale / 96.0, message.first * d.scale / 960.0) << "the message's width";
    EXPECT_NEAR(a.height, message.second * d.scale / 96.0, message.second * d.scale / 960.0) << "the message's height";
    ExpectError(failing, "LoadPicture \"setup\\images\\help.gif\": file not found");
  }
}

}  // namespace
}  // namespace e2e
