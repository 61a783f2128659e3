// The window core's own rules, on the null backend with a program whose
// procedures only say what reached them: which control takes the mouse, input
// held back while procedures nest, motion merged, the pointer's override, the
// window's end and the error report.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assets/encode.h"
#include "autorun/program.h"
#include "tests/support/null_window.h"

namespace {

using namespace platform;
using testing_support::NullWindow;

NullWindow* g_window;
std::string g_seen;
int g_depth = 0, g_deepest = 0;

// "Exit Up 3,4 1/2": control, event, position in pixels, button and shift.
template <Control C, MouseEvent E>
void Note(Form&, const MouseArgs& a) {
  const char* names[] = {"Help", "Exit", "Docs", "Manual", "Setup", "Back"};
  const char* events[] = {"Down", "Move", "Up"};
  g_seen += std::string(g_seen.empty() ? "" : "; ") + names[int(C)] + " " + events[int(E)] + " " +
            std::to_string(int(a.x) / 15) + "," + std::to_string(int(a.y) / 15) + " " + std::to_string(a.button) +
            "/" + std::to_string(a.shift);
}
// Notes its arrival, then pumps once: a flood of these nests.
void Nest(Form& form, const MouseArgs& a) {
  g_deepest = std::max(g_deepest, ++g_depth);
  Note<Control::Exit, MouseEvent::Up>(form, a);
  g_window->DoEvents();
  --g_depth;
}
void DisableSetup(Form& form, const MouseArgs& a) {
  Note<Control::SetupWizard, MouseEvent::Down>(form, a);
  g_window->SetEnabled(Control::SetupWizard, false);
}

constexpr Binding kBindings[] = {
    {Control::Exit, MouseEvent::Up, &Nest},
    {Control::Exit, MouseEvent::Move, &Note<Control::Exit, MouseEvent::Move>},
    {Control::Documentation, MouseEvent::Down, &Note<Control::Documentation, MouseEvent::Down>},
    {Control::Documentation, MouseEvent::Move, &Note<Control::Documentation, MouseEvent::Move>},
    {Control::Documentation, MouseEvent::Up, &Note<Control::Documentation, MouseEvent::Up>},
    {Control::SetupWizard, MouseEvent::Down, &DisableSetup},
    {Control::SetupWizard, MouseEvent::Move, &Note<Control::SetupWizard, MouseEvent::Move>},
    {Control::Ole1, MouseEvent::Down, &Note<Control::Ole1, MouseEvent::Down>},
    {Control::Ole1, MouseEvent::Move, &Note<Control::Ole1, MouseEvent::Move>},
};
const ProgramDescription kProgram{autorun::Layout(), kBindings,
                                  [](Runtime&) { return std::make_shared<Form>(); }, [](Form&) {}};

// Client pixels: the Documentation button's corner is at 32,384, Exit's at 120,432, Setup's at 74,287.
Input P(int x, int y, std::int16_t b = 1) { return {InputKind::Press, x, y, b, b, 0}; }
Input R(int x, int y, std::int16_t b = 1, std::int16_t held = 0) { return {InputKind::Release, x, y, b, held, 0}; }
Input M(int x, int y, std::int16_t held = 0, std::int16_t shift = 0) { return {InputKind::Motion, x, y, 0, held, shift}; }

struct Script {
  const char* rule;
  std::vector<Input> batch;  // all pending at once, at the first pump
  std::string seen;
  int dpi = 96;  // the screen's scale, F = dpi / 96
};

const Script kScripts[] = {
    {"a press holds the mouse until every button is up",
     {P(40, 390), P(300, 100, 2), M(600, 470, 3), R(600, 470, 1, 2), R(10, 10, 2), M(11, 11, 0, 5)},
     "Docs Down 8,6 1/0; Docs Down 268,-284 2/0; Docs Move 568,86 3/0; Docs Up 568,86 1/0; Docs Up -22,-374 2/0; "
     "Back Move 11,11 0/5"},
    {"a disabled control lets input through to what lies beneath",
     {P(80, 290), R(80, 290), P(80, 290), M(81, 290)},
     "Setup Down 6,3 1/0; Back Down 80,290 1/0; Back Move 81,290 0/0"},
    {"queued motion is one movement, to its latest place",
     {M(40, 390), M(41, 390), M(130, 440), P(130, 440), M(131, 441, 1), M(40, 390, 1), M(132, 440, 1)},
     "Exit Move 10,8 0/0; Exit Move 12,8 1/0"},
    {"motion that does not move is none", {M(40, 390), P(40, 390), M(40, 390), R(40, 390), M(40, 390)},
     "Docs Move 8,6 0/0; Docs Down 8,6 1/0; Docs Up 8,6 1/0"},
    {"at a scale, positions come back divided by it, rounded down",
     {M(48, 576), P(48, 576), R(-1, -1), M(47, 576)},
     "Docs Move 0,0 0/0; Docs Down 0,0 1/0; Docs Up -33,-385 1/0; Back Move 31,384 0/0", 144},
};

TEST(WindowCore, WhichControlTakesTheMouse) {
  for (const Script& s : kScripts) {
    NullWindow w(kProgram);
    g_window = &w, g_seen.clear();
    w.SetScale({s.dpi});
    w.Open();
    for (const Input& input : s.batch) w.Post(input);
    w.DoEvents();
    EXPECT_EQ(g_seen, s.seen) << s.rule;
  }
}

TEST(WindowCore, TheDesktopsScale) {
  // GDK_SCALE, Xft.dpi: the scale as dpi
  const std::tuple<const char*, const char*, int> kDesktops[] = {
      {nullptr, nullptr, 96}, {"2", "144", 192}, {"1.5", "144", 144}, {"0", "144", 144}, {"9", nullptr, 384},
      {"", "192", 192},       {nullptr, " 120 ", 120}, {nullptr, "1000", 384}, {nullptr, "50", 96},
      {nullptr, "dpi", 96},   {nullptr, "nan", 96},    {nullptr, "144.4", 144}};
  for (auto [gdk, xft, dpi] : kDesktops)
    EXPECT_EQ(Scale::FromX11(gdk, xft).dpi, dpi) << (gdk ? gdk : "unset") << ", " << (xft ? xft : "unset");
  const Scale f{144};
  EXPECT_EQ(std::tuple(f.Length(641), Scale{288}.Length(641), f.Logical(-1), f.PointerFactor(), Scale{120}.PointerFactor()),
            std::tuple(962, 1923, -1, 2, 1));
  EXPECT_EQ(f.ToScreen({142, 0, 1, 2}), (PixelRect{213, 0, 2, 3}));
  EXPECT_EQ(f.ToLogical({214, 1, 2, 2}), (PixelRect{142, 0, 2, 2}));
}

TEST(WindowCore, InputBeyondTheNestingBoundWaitsInOrder) {
  NullWindow w(kProgram);
  g_window = &w, g_seen.clear(), g_deepest = 0;
  w.Open();
  std::string expected;
  for (int i = 0; i < 300; ++i) {
    w.Post(R(120 + i % 40, 432 + i / 40));
    expected += std::string(i ? "; " : "") + "Exit Up " + std::to_string(i % 40) + "," + std::to_string(i / 40) + " 1/0";
    if (i == 270) {
      w.Post(M(40, 390));
      expected += "; Docs Move 8,6 0/0";
    }
  }
  w.DoEvents();
  EXPECT_EQ(g_deepest, kMaxNesting);
  EXPECT_EQ(g_seen, expected);
  for (std::size_t i = 0; i < kMaxHeldInput; ++i) w.Post(P(40, 390));
  EXPECT_FALSE(w.WantsInput());
}

// A dotted ring one pixel outside the focused button, each dot black or white against what lies beneath.
TEST(WindowCore, TheFocusShowsAsADottedRing) {
  NullWindow w(kProgram);
  w.Open();
  const std::vector<std::uint32_t> before = w.pixels();
  ASSERT_EQ(before.size(), 641u * 480);  // the client area the layout gives
  const Input tab{InputKind::KeyDown, 0, 0, 0, 0, 0, Key::Tab};
  const auto at = [&](int x, int y) { return w.pixels()[y * 641 + x]; };
  const auto contrast = [&](int x, int y) {
    const std::uint32_t p = before[y * 641 + x];
    return ((p >> 16 & 0xFF) * 299 + (p >> 8 & 0xFF) * 587 + (p & 0xFF) * 114) / 1000 >= 128 ? 0xFF000000u : 0xFFFFFFFFu;
  };
  w.Post(tab);
  w.DoEvents();  // the Setup Wizard button, 110 by 24 at 74,287
  // x, y, dotted: a dot of the ring, else what was there
  const std::tuple<int, int, bool> kPixels[] = {{73, 287, true},  {74, 287, false}, {73, 288, false}, {184, 310, true},
                                                {184, 311, false}, {185, 311, false}, {74, 286, true}, {75, 286, false},
                                                {75, 287, false}};  // inside the ring, in step with its dots
  for (auto [x, y, dotted] : kPixels)
    EXPECT_EQ(at(x, y), dotted ? contrast(x, y) : before[y * 641 + x]) << x << "," << y;
  w.Post(tab);
  w.DoEvents();
  EXPECT_EQ(std::pair(at(73, 287), at(184, 310)), std::pair(before[287 * 641 + 73], before[310 * 641 + 184]));
}

TEST(WindowCore, ThePointerOverrideHoldsUntilPutBack) {
  NullWindow w(kProgram);
  w.disc.Add("busy.cur", assets::EncodeCur1({1, 1, {0xFF000000}}, 0, 0));
  w.Open();
  const CursorHandle busy = w.LoadCursorFromFileA("busy.cur");
  // handle asked for, what SetCursor gives back
  const std::pair<CursorHandle, CursorHandle> kCalls[] = {{busy + 1, 0}, {busy, 1}, {0, busy}, {1, 0}, {busy, 1}};
  for (auto [handle, previous] : kCalls) EXPECT_EQ(w.SetCursor(handle), previous) << handle;
  EXPECT_EQ(w.transcript.Take(), "pointer made from busy.cur; pointer busy.cur; pointer hidden; pointer own; pointer busy.cur");
  EXPECT_EQ(w.LoadCursorFromFileA("none.cur"), 0u);
  const ControlState* exit = w.ControlAt(130, 440);
  ASSERT_NE(exit, nullptr);
  EXPECT_EQ(w.PointerOf(exit), w.PointerOf(nullptr));  // the busy pointer everywhere
  w.SetCursor(1);
  EXPECT_EQ(std::pair(w.PointerOf(exit), w.PointerOf(nullptr)), std::pair(exit->pointer, std::uintptr_t{0}));
  EXPECT_NE(exit->pointer, 0u);
}

TEST(WindowCore, ARunTimeErrorIsReportedInBothLanguagesAndEndsTheRun) {
  NullWindow w(autorun::Program());  // without the general help picture
  testing::internal::CaptureStderr();
  EXPECT_EQ(w.Play(), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "autorun: 執行階段錯誤：LoadPicture「setup\\images\\help.gif」：找不到檔案\n"
            "autorun: Run-time error: LoadPicture \"setup\\images\\help.gif\": file not found\n");
  EXPECT_EQ(w.transcript.Take(),
            "window closed; error: Run-time error: LoadPicture \"setup\\images\\help.gif\": file not found");
}

}  // namespace
