// The generator's output as the launcher meets it: the files in the build
// folder, read back byte by byte and through the launcher's own readers, and
// placed where the window layout puts them.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "assets/embedded.h"
#include "assets/generator/generator.h"
#include "assets/generator/quantise.h"
#include "autorun/program.h"
#include "menu/disc_paths.h"
#include "pictures/cursor_file.h"
#include "pictures/picture.h"
#include "platform/disc/disc_path.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using platform::Control;

fs::path BuildDir() {
  if (const char* dir = std::getenv("AUTORUN_BUILD_DIR"); dir != nullptr && *dir != '\0') return dir;
  return AUTORUN_TEST_BUILD_DIR;
}

Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

unsigned U16(const Bytes& b, std::size_t at) { return b.at(at) | b.at(at + 1) << 8; }
std::uint32_t U32(const Bytes& b, std::size_t at) { return U16(b, at) | std::uint32_t{U16(b, at + 2)} << 16; }
std::int32_t S32(const Bytes& b, std::size_t at) { return static_cast<std::int32_t>(U32(b, at)); }

struct Pixel {
  int r, g, b;
};
Pixel At(const pictures::Image& image, int x, int y) {
  const std::uint32_t v = image.At(x, y);
  return {static_cast<int>(v >> 16 & 0xFF), static_cast<int>(v >> 8 & 0xFF), static_cast<int>(v & 0xFF)};
}
int Distance(Pixel a, Pixel b) { return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)}); }
bool IsWhite(Pixel p) { return p.r == 255 && p.g == 255 && p.b == 255; }
bool IsGrey(Pixel p) { return p.r == p.g && p.g == p.b && p.r < 255; }
int Luma(Pixel p) { return (299 * p.r + 587 * p.g + 114 * p.b) / 1000; }

pictures::Image Decode(const Bytes& bytes) {
  pictures::PictureResult result = pictures::DecodePicture(bytes);
  if (auto* error = std::get_if<pictures::PictureError>(&result)) {
    ADD_FAILURE() << "not decoded: " << pictures::Describe(*error);
    return {};
  }
  return std::get<pictures::Image>(std::move(result));
}

// A control's rectangle in pixels, as the window places it.
struct PixelRect {
  int left, top, width, height;
};
PixelRect Place(Control id) {
  const platform::ControlLayout* c = platform::FindControl(autorun::Layout(), id);
  return {platform::PixelsFromTwips(c->left), platform::PixelsFromTwips(c->top), platform::PixelsFromTwips(c->width),
          platform::PixelsFromTwips(c->height)};
}

struct ButtonCase {
  const char* name;
  Control control;
  const char* stem;  // file name without ".gif"
};
constexpr ButtonCase kButtonCases[] = {
    {"setup wizard", Control::SetupWizard, "setupwizard"},
    {"manual installation", Control::ManualInstallation, "manualinstallation"},
    {"documentation", Control::Documentation, "documentation"},
    {"exit", Control::Exit, "exit"},
};

fs::path ImageDir() { return BuildDir() / "disc" / "Setup" / "images"; }
fs::path AssetDir() { return BuildDir() / "assets"; }

const pictures::Image& Background() {
  static const pictures::Image image = Decode(ReadBytes(AssetDir() / "background.bmp"));
  return image;
}

// ---------------------------------------------------------------- BMP

TEST(BackgroundBitmap, HeaderFieldsFollowFromTheWindowSize) {
  const Bytes bmp = ReadBytes(AssetDir() / "background.bmp");
  const auto& window = autorun::Layout();
  const int width = platform::PixelsFromTwips(window.client_width);
  const int height = platform::PixelsFromTwips(window.client_height);
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  ASSERT_EQ(bmp.size(), 54 + stride * height);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(U32(bmp, 2), bmp.size());
  EXPECT_EQ(U32(bmp, 6), 0u);
  EXPECT_EQ(U32(bmp, 10), 54u);
  EXPECT_EQ(U32(bmp, 14), 40u);
  EXPECT_EQ(S32(bmp, 18), width);
  EXPECT_EQ(S32(bmp, 22), height);  // positive: bottom-up rows
  EXPECT_EQ(U16(bmp, 26), 1u);
  EXPECT_EQ(U16(bmp, 28), 24u);
  EXPECT_EQ(U32(bmp, 30), 0u);
  EXPECT_EQ(U32(bmp, 34), stride * height);
  const auto ppm = static_cast<std::uint32_t>(std::lround(96 / 0.0254));  // 96 dots per inch
  EXPECT_EQ(U32(bmp, 38), ppm);
  EXPECT_EQ(U32(bmp, 42), ppm);
  EXPECT_EQ(U32(bmp, 46), 0u);
  EXPECT_EQ(U32(bmp, 50), 0u);
  for (int row = 0; row < height; ++row)
    for (std::size_t pad = width * 3; pad < stride; ++pad)
      ASSERT_EQ(bmp[54 + row * stride + pad], 0) << "row " << row;
}

TEST(BackgroundBitmap, ReaderGivesTheStoredPixels) {
  const Bytes bmp = ReadBytes(AssetDir() / "background.bmp");
  const pictures::Image& image = Background();
  ASSERT_EQ(image.width, S32(bmp, 18));
  ASSERT_EQ(image.height, S32(bmp, 22));
  const std::size_t stride = (static_cast<std::size_t>(image.width) * 3 + 3) / 4 * 4;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const std::size_t at = 54 + (image.height - 1 - y) * stride + x * 3;
      const std::uint32_t stored = 0xFF000000u | bmp[at + 2] << 16 | bmp[at + 1] << 8 | bmp[at];
      ASSERT_EQ(image.At(x, y), stored) << x << "," << y;
    }
}

TEST(BackgroundBitmap, EmbeddedObjectCarriesTheSameBitmap) {
  const Bytes bmp = ReadBytes(AssetDir() / "background.bmp");
  const auto object = assets::BackgroundObject();
  const Bytes ole(object.begin(), object.end());
  EXPECT_EQ(ole, ReadBytes(AssetDir() / "background.ole"));
  // The bitmap lies whole in the object's storage, after its 24-byte record.
  const auto found = std::search(ole.begin() + 24, ole.end(), bmp.begin(), bmp.end());
  EXPECT_NE(found, ole.end());
}

TEST(BackgroundBitmap, HelpBoxFrameIsOnePixelGreyAroundWhite) {
  const pictures::Image& bg = Background();
  const PixelRect help = Place(Control::Help);
  // Find the frame by walking outwards from the panel's centre along each axis.
  const int cx = help.left + help.width / 2, cy = help.top + help.height / 2;
  int left = cx, right = cx, top = cy, bottom = cy;
  while (left > 0 && IsWhite(At(bg, left, cy))) --left;
  while (right < bg.width - 1 && IsWhite(At(bg, right, cy))) ++right;
  while (top > 0 && IsWhite(At(bg, cx, top))) --top;
  while (bottom < bg.height - 1 && IsWhite(At(bg, cx, bottom))) ++bottom;
  EXPECT_EQ(left, 226);
  EXPECT_EQ(right, 615);
  EXPECT_EQ(top, 264);
  EXPECT_EQ(bottom, 346);
  const Pixel frame = At(bg, left, top);
  EXPECT_TRUE(IsGrey(frame));
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x) {
      const bool on_frame = x == left || x == right || y == top || y == bottom;
      const Pixel p = At(bg, x, y);
      ASSERT_TRUE(on_frame ? Distance(p, frame) == 0 : IsWhite(p)) << x << "," << y;
    }
  // Nothing grey continues the frame outside it.
  for (int x = left - 1; x <= right + 1; ++x) {
    EXPECT_NE(Distance(At(bg, x, top - 1), frame), 0) << x;
    EXPECT_NE(Distance(At(bg, x, bottom + 1), frame), 0) << x;
  }
  // The help panel lies wholly inside the white.
  EXPECT_GT(help.left, left);
  EXPECT_GT(help.top, top);
  EXPECT_LT(help.left + help.width - 1, right);
  EXPECT_LT(help.top + help.height - 1, bottom);
}

TEST(BackgroundBitmap, EdgeIsWhiteWithAGreyLineInside) {
  const pictures::Image& bg = Background();
  const Pixel edge_grey{102, 102, 102};
  for (int y = 0; y < bg.height; ++y)
    for (int x = 0; x < bg.width; ++x) {
      const int ring = std::min({x, y, bg.width - 1 - x, bg.height - 1 - y});
      if (ring > 1) continue;
      const Pixel p = At(bg, x, y);
      ASSERT_TRUE(ring == 0 ? IsWhite(p) : Distance(p, edge_grey) == 0) << x << "," << y;
    }
}

TEST(BackgroundBitmap, IsWarmAroundTheButtonsAndTheTitleIsWhite) {
  const pictures::Image& bg = Background();
  // The area the buttons stand on is orange: red high, blue low.
  for (const ButtonCase& c : kButtonCases) {
    SCOPED_TRACE(c.name);
    const PixelRect r = Place(c.control);
    const Pixel corner = At(bg, r.left, r.top);
    EXPECT_GT(corner.r, 200);
    EXPECT_LT(corner.b, 100);
  }
  // The title's letters: pure white pixels in the upper fifth, dark shadow below them.
  int white = 0, dark = 0;
  for (int y = 2; y < bg.height / 5; ++y)
    for (int x = 2; x < bg.width - 2; ++x) {
      white += IsWhite(At(bg, x, y));
      dark += Luma(At(bg, x, y)) < 90;
    }
  EXPECT_GT(white, 2000);
  EXPECT_GT(dark, 200);
}

// ---------------------------------------------------------------- GIF

struct GifFacts {
  int screen_width = 0, screen_height = 0, packed = 0, background = -1, aspect = -1;
  std::string blocks;  // 'C' graphic control, 'E' other extension, 'I' image, 'T' trailer
  int gce_packed = -1, gce_delay = -1;
  int left = -1, top = -1, width = 0, height = 0, image_packed = -1;
  std::size_t trailer_at = 0;
};

// Walks a GIF's blocks, checking each length against the bytes present.
std::optional<GifFacts> ParseGif(const Bytes& b) {
  GifFacts f;
  if (b.size() < 13 || std::string(b.begin(), b.begin() + 6) != "GIF89a") return std::nullopt;
  f.screen_width = U16(b, 6);
  f.screen_height = U16(b, 8);
  f.packed = b[10];
  f.background = b[11];
  f.aspect = b[12];
  std::size_t at = 13 + ((f.packed & 0x80) ? 3u << ((f.packed & 7) + 1) : 0);
  const auto skip_sub_blocks = [&] {
    while (at < b.size() && b[at] != 0) at += b[at] + 1;
    ++at;
  };
  while (at < b.size()) {
    const int kind = b[at];
    if (kind == 0x3B) {
      f.blocks += 'T';
      f.trailer_at = at;
      return f;
    }
    if (kind == 0x21 && at + 7 < b.size() && b[at + 1] == 0xF9 && b[at + 2] == 4) {
      f.blocks += 'C';
      f.gce_packed = b[at + 3];
      f.gce_delay = static_cast<int>(U16(b, at + 4));
      at += 8;
    } else if (kind == 0x21) {
      f.blocks += 'E';
      at += 2;
      skip_sub_blocks();
    } else if (kind == 0x2C && at + 10 < b.size()) {
      f.blocks += 'I';
      f.left = static_cast<int>(U16(b, at + 1));
      f.top = static_cast<int>(U16(b, at + 3));
      f.width = static_cast<int>(U16(b, at + 5));
      f.height = static_cast<int>(U16(b, at + 7));
      f.image_packed = b[at + 9];
      at += 10 + ((f.image_packed & 0x80) ? 3u << ((f.image_packed & 7) + 1) : 0) + 1;  // + LZW code size
      skip_sub_blocks();
    } else {
      return std::nullopt;
    }
  }
  return std::nullopt;  // no trailer
}

struct GifCase {
  const char* name;
  fs::path path;
  PixelRect place;  // where the launcher shows it
};

std::vector<GifCase> AllGifs() {
  std::vector<GifCase> cases;
  for (const ButtonCase& c : kButtonCases) {
    cases.push_back({c.name, AssetDir() / (std::string(c.stem) + ".gif"), Place(c.control)});
    cases.push_back({c.name, ImageDir() / (std::string(c.stem) + ".gif"), Place(c.control)});
    cases.push_back({c.name, ImageDir() / (std::string(c.stem) + "down.gif"), Place(c.control)});
  }
  for (const char* help : {"help", "setupwizardhelp", "manualinstallationhelp", "documentationhelp"})
    cases.push_back({help, ImageDir() / (std::string(help) + ".gif"), Place(Control::Help)});
  return cases;
}

TEST(GeneratedGif, BlocksAndFieldsHaveTheOneFixedForm) {
  for (const GifCase& c : AllGifs()) {
    SCOPED_TRACE(c.path.string());
    const Bytes gif = ReadBytes(c.path);
    const std::optional<GifFacts> f = ParseGif(gif);
    ASSERT_TRUE(f.has_value());
    EXPECT_EQ(f->blocks, "CIT");
    EXPECT_EQ(f->trailer_at, gif.size() - 1);  // nothing after the trailer
    EXPECT_EQ(f->screen_width, c.place.width);
    EXPECT_EQ(f->screen_height, c.place.height);
    EXPECT_EQ(f->packed & 0x80, 0x80);         // global table present
    EXPECT_EQ(3 << ((f->packed & 7) + 1), 768);  // of 256 entries
    EXPECT_EQ((f->packed >> 4) & 7, 7);        // colour resolution 8 bits
    EXPECT_EQ(f->background, 0);
    EXPECT_EQ(f->aspect, 0);
    EXPECT_EQ(f->gce_packed & 0x01, 0);         // no transparent colour
    EXPECT_EQ((f->gce_packed >> 2) & 7, 0);     // disposal 0
    EXPECT_EQ(f->gce_delay, 0);
    EXPECT_EQ(f->left, 0);
    EXPECT_EQ(f->top, 0);
    EXPECT_EQ(f->width, f->screen_width);
    EXPECT_EQ(f->height, f->screen_height);
    EXPECT_EQ(f->image_packed & 0x80, 0);  // no local table
    EXPECT_EQ(f->image_packed & 0x40, 0);  // not interlaced
  }
}

TEST(GeneratedGif, BuiltInButtonsAreTheDiscsNormalPictures) {
  using Getter = std::span<const std::uint8_t> (*)();
  const std::map<std::string, Getter> embedded = {
      {"setupwizard", &assets::SetupWizardButton},
      {"manualinstallation", &assets::ManualInstallationButton},
      {"documentation", &assets::DocumentationButton},
      {"exit", &assets::ExitButton},
  };
  for (const ButtonCase& c : kButtonCases) {
    SCOPED_TRACE(c.name);
    const auto built_in = embedded.at(c.stem)();
    const Bytes disc = ReadBytes(ImageDir() / (std::string(c.stem) + ".gif"));
    EXPECT_EQ(Bytes(built_in.begin(), built_in.end()), disc);
    EXPECT_EQ(disc, ReadBytes(AssetDir() / (std::string(c.stem) + ".gif")));
  }
}

// Border pixels of a picture set at `r` on the background, and how far they stray.
int WorstBorderError(const pictures::Image& picture, const PixelRect& r) {
  int worst = 0;
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) {
      if (x != 0 && y != 0 && x != picture.width - 1 && y != picture.height - 1) continue;
      worst = std::max(worst, Distance(At(picture, x, y), At(Background(), r.left + x, r.top + y)));
    }
  return worst;
}

// Bounding box of the lettering: near-white pixels (the background here is orange).
struct Box {
  int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
};
Box Lettering(const pictures::Image& picture) {
  Box box;
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) {
      const Pixel p = At(picture, x, y);
      if (std::min({p.r, p.g, p.b}) < 215) continue;
      box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x), std::max(box.bottom, y)};
    }
  return box;
}

constexpr int kQuantisationError = 3;

TEST(GeneratedButton, BordersRepeatTheBackgroundAtTheButtonsPlace) {
  for (const ButtonCase& c : kButtonCases) {
    SCOPED_TRACE(c.name);
    const pictures::Image button = Decode(ReadBytes(ImageDir() / (std::string(c.stem) + ".gif")));
    const PixelRect r = Place(c.control);
    ASSERT_EQ(button.width, r.width);
    ASSERT_EQ(button.height, r.height);
    EXPECT_LE(WorstBorderError(button, r), kQuantisationError);
    // Opaque everywhere: the blend comes from the pixels, not from transparency.
    for (std::uint32_t p : button.pixels) ASSERT_EQ(p >> 24, 0xFFu);
  }
}

TEST(GeneratedButton, LetteringIsWhiteOutlinedAndInsideThePicture) {
  for (const ButtonCase& c : kButtonCases) {
    SCOPED_TRACE(c.name);
    const pictures::Image button = Decode(ReadBytes(ImageDir() / (std::string(c.stem) + ".gif")));
    const Box ink = Lettering(button);
    ASSERT_GE(ink.right, 0) << "no lettering";
    EXPECT_GE(ink.left, 2);
    EXPECT_GE(ink.top, 2);
    EXPECT_LE(ink.right, button.width - 3);
    EXPECT_LE(ink.bottom, button.height - 3);
    // Roughly centred across: the margins differ by a few pixels at most.
    EXPECT_LE(std::abs(ink.left - (button.width - 1 - ink.right)), 3);
    int dark = 0;
    for (int y = 0; y < button.height; ++y)
      for (int x = 0; x < button.width; ++x) dark += Luma(At(button, x, y)) < 100;
    EXPECT_GT(dark, 10) << "no dark outline";
  }
}

TEST(GeneratedButton, PressedPictureIsDarkerAndShiftedByAPixel) {
  for (const ButtonCase& c : kButtonCases) {
    SCOPED_TRACE(c.name);
    const pictures::Image normal = Decode(ReadBytes(ImageDir() / (std::string(c.stem) + ".gif")));
    const pictures::Image pressed = Decode(ReadBytes(ImageDir() / (std::string(c.stem) + "down.gif")));
    ASSERT_EQ(pressed.width, normal.width);
    ASSERT_EQ(pressed.height, normal.height);
    long normal_luma = 0, pressed_luma = 0;
    for (int y = 0; y < normal.height; ++y)
      for (int x = 0; x < normal.width; ++x) {
        normal_luma += Luma(At(normal, x, y));
        pressed_luma += Luma(At(pressed, x, y));
      }
    EXPECT_LT(pressed_luma * 100, normal_luma * 90);  // at least a tenth darker
    const Box a = Lettering(normal), b = Lettering(pressed);
    EXPECT_EQ(b.left - a.left, 1);
    EXPECT_EQ(b.top - a.top, 1);
  }
}

TEST(GeneratedHelp, PicturesAreDarkTextOnTheHelpBoxWhite) {
  for (const char* help : {"help", "setupwizardhelp", "manualinstallationhelp", "documentationhelp"}) {
    SCOPED_TRACE(help);
    const pictures::Image picture = Decode(ReadBytes(ImageDir() / (std::string(help) + ".gif")));
    const PixelRect r = Place(Control::Help);
    ASSERT_EQ(picture.width, r.width);
    ASSERT_EQ(picture.height, r.height);
    int white = 0, dark = 0;
    for (int y = 0; y < picture.height; ++y)
      for (int x = 0; x < picture.width; ++x) {
        white += IsWhite(At(picture, x, y));
        dark += Luma(At(picture, x, y)) < 110;
      }
    EXPECT_GT(white * 10, picture.width * picture.height * 7);  // mostly white
    EXPECT_GT(dark, 300);                                        // several lines of text
    // Its top, right and bottom edges are white: no seam against the box.
    for (int x = 0; x < picture.width; ++x) {
      EXPECT_TRUE(IsWhite(At(picture, x, 0))) << x;
      EXPECT_TRUE(IsWhite(At(picture, x, picture.height - 1))) << x;
    }
    for (int y = 0; y < picture.height; ++y) EXPECT_TRUE(IsWhite(At(picture, picture.width - 1, y))) << y;
  }
}

// ---------------------------------------------------------------- ICO and CUR

TEST(WindowIcon, OneOpaqueSixteenColourImage) {
  const Bytes ico = ReadBytes(AssetDir() / "autorun.ico");
  ASSERT_GE(ico.size(), 22u + 40u);
  EXPECT_EQ(U16(ico, 0), 0u);
  EXPECT_EQ(U16(ico, 2), 1u);  // icon
  EXPECT_EQ(U16(ico, 4), 1u);  // one image
  EXPECT_EQ(ico[6], 32);
  EXPECT_EQ(ico[7], 32);
  EXPECT_EQ(ico[8], 16);
  EXPECT_EQ(ico[9], 0);
  EXPECT_EQ(U16(ico, 10), 1u);
  EXPECT_EQ(U16(ico, 12), 4u);
  const std::uint32_t size = U32(ico, 14), offset = U32(ico, 18);
  EXPECT_EQ(offset, 22u);
  ASSERT_EQ(offset + size, ico.size());
  EXPECT_EQ(U32(ico, 22), 40u);
  EXPECT_EQ(S32(ico, 26), 32);
  EXPECT_EQ(S32(ico, 30), 64);  // image and mask
  EXPECT_EQ(U16(ico, 34), 1u);
  EXPECT_EQ(U16(ico, 36), 4u);
  EXPECT_EQ(U32(ico, 38), 0u);
  // Palette, 4-bit rows, then a 1-bit mask of 32 rows of 4 bytes: all zero.
  EXPECT_EQ(size, 40u + 16 * 4 + 32 * 16 + 32 * 4);
  EXPECT_TRUE(std::all_of(ico.end() - 32 * 4, ico.end(), [](std::uint8_t b) { return b == 0; }));
  EXPECT_EQ(Bytes(assets::WindowIcon().begin(), assets::WindowIcon().end()), ico);
}

TEST(WindowIcon, WhiteFieldWithPurpleYellowAndDarkRedLowerRight) {
  const pictures::Image icon = Decode(ReadBytes(AssetDir() / "autorun.ico"));
  ASSERT_EQ(icon.width, 32);
  int white_upper_left = 0, purple = 0, yellow = 0, dark_red = 0, colour_upper_left = 0;
  for (int y = 0; y < icon.height; ++y)
    for (int x = 0; x < icon.width; ++x) {
      ASSERT_EQ(icon.At(x, y) >> 24, 0xFFu) << "icon must be opaque";
      const Pixel p = At(icon, x, y);
      const bool lower_right = x + y >= icon.width;
      const bool coloured = std::max({p.r, p.g, p.b}) - std::min({p.r, p.g, p.b}) > 60;
      if (!lower_right) {
        white_upper_left += IsWhite(p);
        colour_upper_left += coloured;
        continue;
      }
      purple += p.b > p.g + 60 && p.r > p.g + 40;
      yellow += p.r > 200 && p.g > 150 && p.b < 100;
      dark_red += p.r > 100 && p.r < 200 && p.g < 60 && p.b < 60;
    }
  EXPECT_GT(white_upper_left, 32 * 32 / 2 * 7 / 10);
  EXPECT_LT(colour_upper_left, 32);
  EXPECT_GT(purple, 20);
  EXPECT_GT(yellow, 20);
  EXPECT_GT(dark_red, 20);
}

TEST(HandPointer, HotSpotIsTheFingertip) {
  const Bytes cur = ReadBytes(AssetDir() / "hand.cur");
  ASSERT_GE(cur.size(), 22u);
  EXPECT_EQ(U16(cur, 2), 2u);  // cursor
  EXPECT_EQ(U16(cur, 4), 1u);
  EXPECT_EQ(cur[6], 32);
  EXPECT_EQ(cur[7], 32);
  EXPECT_EQ(U32(cur, 14) + U32(cur, 18), cur.size());
  EXPECT_EQ(U32(cur, 14), 40u + 2 * 4 + 2 * 32 * 4);  // header, 2 colours, image and mask
  EXPECT_EQ(Bytes(assets::HandPointer().begin(), assets::HandPointer().end()), cur);

  const pictures::CursorResult result = pictures::DecodeCursorFile(cur);
  ASSERT_TRUE(std::holds_alternative<pictures::CursorFile>(result));
  const pictures::CursorFrame& hand = std::get<pictures::CursorFile>(result).frames.at(0);
  const int hx = U16(cur, 10), hy = U16(cur, 12);
  EXPECT_EQ(hand.hotspot_x, hx);
  EXPECT_EQ(hand.hotspot_y, hy);
  // The hot spot is on the topmost drawn row, at its left end: the fingertip.
  int top_row = -1, top_left = -1;
  for (int y = 0; y < hand.image.height && top_row < 0; ++y)
    for (int x = 0; x < hand.image.width; ++x)
      if (hand.image.At(x, y) >> 24 != 0) {
        top_row = y;
        top_left = x;
        break;
      }
  EXPECT_EQ(hy, top_row);
  EXPECT_EQ(hx, top_left);
  EXPECT_EQ(hy, 0);
  // The finger points up: the opaque pixels right below the tip run straight down.
  for (int y = 1; y < 6; ++y) EXPECT_NE(hand.image.At(hx, y) >> 24, 0u) << y;
}

TEST(HandPointer, WhiteHandClosedByABlackOutline) {
  const pictures::CursorResult result = pictures::DecodeCursorFile(ReadBytes(AssetDir() / "hand.cur"));
  ASSERT_TRUE(std::holds_alternative<pictures::CursorFile>(result));
  const pictures::Image& img = std::get<pictures::CursorFile>(result).frames.at(0).image;
  int white = 0;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      if (img.At(x, y) != 0xFFFFFFFFu) continue;
      ++white;
      // No white pixel touches the transparent surround.
      for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
        const int nx = x + dx, ny = y + dy;
        ASSERT_TRUE(nx >= 0 && ny >= 0 && nx < img.width && ny < img.height) << x << "," << y;
        EXPECT_NE(img.At(nx, ny) >> 24, 0u) << x << "," << y;
      }
    }
  EXPECT_GT(white, 100);
}

// ---------------------------------------------------------------- ANI

TEST(BusyPointer, HourglassRunsThroughAtLeastEightFrames) {
  const pictures::CursorResult result = pictures::DecodeCursorFile(ReadBytes(ImageDir() / "hourglas.ani"));
  ASSERT_TRUE(std::holds_alternative<pictures::CursorFile>(result));
  const pictures::CursorFile& ani = std::get<pictures::CursorFile>(result);
  ASSERT_GE(ani.frames.size(), 8u);
  EXPECT_EQ(ani.steps.size(), ani.frames.size());
  std::vector<int> upper_sand, lower_sand;
  for (std::size_t i = 0; i < ani.frames.size(); ++i) {
    SCOPED_TRACE(i);
    const pictures::CursorFrame& f = ani.frames[i];
    EXPECT_EQ(f.hotspot_x, f.image.width / 2);
    EXPECT_EQ(f.hotspot_y, f.image.height / 2);
    EXPECT_GT(ani.steps[i].jiffies, 0u);
    int upper = 0, lower = 0;
    for (int y = 0; y < f.image.height; ++y)
      for (int x = 0; x < f.image.width; ++x)
        if (f.image.At(x, y) == 0xFF000000u) (y < f.image.height / 2 ? upper : lower) += 1;
    upper_sand.push_back(upper);
    lower_sand.push_back(lower);
    if (i > 0) {
      EXPECT_NE(f.image.pixels, ani.frames[i - 1].image.pixels);
    }
  }
  // Black grows in the lower half and shrinks in the upper one as the frames go by.
  for (std::size_t i = 1; i < upper_sand.size(); ++i) {
    EXPECT_LE(upper_sand[i], upper_sand[i - 1]) << i;
    EXPECT_GE(lower_sand[i] + 2, lower_sand[i - 1]) << i;  // the falling stream flickers a little
  }
  EXPECT_GT(upper_sand.front() - upper_sand.back(), 20);
  EXPECT_GT(lower_sand.back() - lower_sand.front(), 20);
}

// ---------------------------------------------------------------- the disc

class SampleDisc : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    fs::current_path(BuildDir() / "disc");
  }
  void TearDown() override { fs::current_path(previous_); }

 private:
  fs::path previous_;
};

TEST_F(SampleDisc, EveryLiteralPathOfTheWindowResolves) {
  const std::string_view paths[] = {
      menu::kHelpPicture, menu::kSetupWizardHelpPicture, menu::kManualInstallationHelpPicture,
      menu::kDocumentationHelpPicture, menu::kSetupWizardDownPicture, menu::kSetupWizardPicture,
      menu::kManualInstallationDownPicture, menu::kManualInstallationPicture, menu::kDocumentationDownPicture,
      menu::kDocumentationPicture, menu::kExitDownPicture, menu::kExitPicture, menu::kBusyPointer,
      menu::kSetupProgram, menu::kManualInstallationProgram, menu::kUserGuide,
  };
  for (std::string_view literal : paths) {
    SCOPED_TRACE(std::string(literal));
    const std::optional<std::string> found = platform::ResolveDiscPath(literal);
    ASSERT_TRUE(found.has_value());
    EXPECT_TRUE(fs::is_regular_file(*found));
    EXPECT_GT(fs::file_size(*found), 0u);
  }
  // "setup\" and "Setup\" must meet in one folder, not two.
  EXPECT_EQ(fs::path(*platform::ResolveDiscPath(menu::kHelpPicture)).parent_path(),
            fs::path(*platform::ResolveDiscPath(menu::kBusyPointer)).parent_path());
}

TEST_F(SampleDisc, EveryPictureDecodesThroughTheLaunchersReader) {
  for (const auto& entry : fs::directory_iterator("Setup/images")) {
    SCOPED_TRACE(entry.path().string());
    const Bytes bytes = ReadBytes(entry.path());
    if (entry.path().extension() == ".ani") {
      EXPECT_TRUE(std::holds_alternative<pictures::CursorFile>(pictures::DecodeCursorFile(bytes)));
    } else {
      EXPECT_TRUE(std::holds_alternative<pictures::Image>(pictures::DecodePicture(bytes)));
    }
  }
}

struct ProgramCase {
  const char* name;
  std::string_view literal;
  const char* says;
};
constexpr ProgramCase kPrograms[] = {
    {"setup wizard", menu::kSetupProgram, "stands in for the disc's setup wizard"},
    {"manual installation", menu::kManualInstallationProgram, "stands in for the disc's manual installation"},
};

TEST_F(SampleDisc, ProgramsSayWhatTheyStandInForWithoutADisplay) {
  for (const ProgramCase& c : kPrograms) {
    SCOPED_TRACE(c.name);
    const std::string path = fs::absolute(*platform::ResolveDiscPath(c.literal)).string();
    EXPECT_EQ(access(path.c_str(), X_OK), 0);
    FILE* out = popen(("env -u DISPLAY '" + path + "'").c_str(), "r");
    ASSERT_NE(out, nullptr);
    std::string text;
    for (int ch; (ch = std::fgetc(out)) != EOF;) text += static_cast<char>(ch);
    const int status = pclose(out);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(text.find(c.says), std::string::npos) << text;
  }
}

TEST_F(SampleDisc, UserGuideIsSelfContained) {
  const Bytes bytes = ReadBytes(*platform::ResolveDiscPath(menu::kUserGuide));
  const std::string html(bytes.begin(), bytes.end());
  EXPECT_NE(html.find("<style"), std::string::npos);
  for (const char* outside : {"http://", "https://", "//", "<link", "<script", "<img", "@import"})
    EXPECT_EQ(html.find(outside), std::string::npos) << outside;
  // url() may only point inside the page.
  for (std::size_t at = html.find("url("); at != std::string::npos; at = html.find("url(", at + 1))
    EXPECT_EQ(html.substr(at, 5), "url(#") << html.substr(at, 30);
  for (const char* button : {"Setup Wizard", "Manual Installation", "Documentation", "Exit"})
    EXPECT_NE(html.find(button), std::string::npos) << button;
}

// ---------------------------------------------------------------- the generator itself

TEST(Generator, MakesTheSameBytesAsTheBuildDidAndNothingElse) {
  const assets::Fonts fonts{assets::Font(DEJAVU_BOLD), assets::Font(DEJAVU_REGULAR)};
  const std::vector<assets::GeneratedFile> files = assets::GenerateAll(fonts);
  std::vector<std::string> images;
  for (const assets::GeneratedFile& f : files) {
    SCOPED_TRACE(f.path);
    EXPECT_EQ(f.bytes, ReadBytes(BuildDir() / f.path));
    if (f.path.starts_with("disc/Setup/images/")) images.push_back(f.path.substr(18));
  }
  // The disc's picture folder holds exactly what the generator makes.
  std::vector<std::string> on_disc;
  for (const auto& entry : fs::directory_iterator(ImageDir())) on_disc.push_back(entry.path().filename());
  std::sort(images.begin(), images.end());
  std::sort(on_disc.begin(), on_disc.end());
  EXPECT_EQ(images, on_disc);
}

// An odd-sized picture with a given number of distinct colours, each in a run.
pictures::Image Swatches(int width, int height, int colours) {
  pictures::Image image{width, height, {}};
  for (int i = 0; i < width * height; ++i) {
    const std::uint32_t c = static_cast<std::uint32_t>(i * colours / (width * height));
    image.pixels.push_back(0xFF000000u | (c * 37 % 256) << 16 | (c * 91 % 256) << 8 | (255 - c));
  }
  return image;
}

TEST(Quantiser, KeepsEveryColourWhenThePaletteHasRoom) {
  const struct {
    const char* name;
    int colours, max_colours;
  } kCases[] = {
      {"two colours", 2, 256},
      {"a full palette", 256, 256},
      {"an icon's sixteen", 16, 16},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const pictures::Image image = Swatches(37, 11, c.colours);
    const assets::IndexedImage indexed = assets::Quantise(image, c.max_colours);
    EXPECT_LE(indexed.palette.size(), static_cast<std::size_t>(c.max_colours));
    EXPECT_EQ(assets::Expand(indexed).pixels, image.pixels);
  }
}

TEST(Quantiser, TooManyColoursStillGiveABoundedPaletteAndTheSameAnswer) {
  const pictures::Image image = Swatches(61, 23, 1000);
  const assets::IndexedImage a = assets::Quantise(image, 16), b = assets::Quantise(image, 16);
  EXPECT_LE(a.palette.size(), 16u);
  EXPECT_EQ(a.indices, b.indices);
  EXPECT_EQ(a.palette, b.palette);
  for (std::uint8_t i : a.indices) ASSERT_LT(i, a.palette.size());
}

TEST(Generator, MissingFontIsAClearError) {
  try {
    assets::Font font((BuildDir() / "no-such-font.ttf").string());
    FAIL() << "a missing font was accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("no-such-font.ttf"), std::string::npos);
  }
}

}  // namespace
