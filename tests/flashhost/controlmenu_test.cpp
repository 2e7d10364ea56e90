// The control's own menu: a held tap opens it while Menu is true, and its
// items do what the control's members of the same name do.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/core/windowing.h"
#include "platform/display/display.h"
#include "tests/flashhost/hostfixture.h"
#include "tests/support/steps.h"
#include "tools/swfwriter/swfwriter.h"

namespace hosttest {
namespace {

constexpr uint32_t kRedPixel = 0xC80000, kBluePixel = 0x0000DC;
constexpr int kTw = 20;
// The middle of each row of the menu, from its top edge.
constexpr int kZoomInRow = 10, kZoomOutRow = 28, kViewAllRow = 46, kPlayRow = 71, kLoopRow = 89, kRewindRow = 114,
              kForwardRow = 132, kBackRow = 150, kAboutRow = 175;

// A red movie with a blue square of a fifth of its width at its centre.
std::vector<uint8_t> squareMovie(int frames) {
  swfwrite::MovieWriter movie(100, 100, 10);
  movie.setBackground(swf::Rgba{200, 0, 0, 255});
  swfwrite::ShapeBuilder square;
  int fill = square.addSolidFill(swf::Rgba{0, 0, 220, 255});
  square.rectangle(40 * kTw, 40 * kTw, 20 * kTw, 20 * kTw, fill);
  movie.defineShape(1, square);
  movie.placeObject(1, 1);
  for (int i = 0; i < frames; ++i) movie.showFrame();
  return movie.finish(false);
}

std::vector<HWND> openMenus() {
  std::vector<HWND> out;
  for (const auto& w : wm::windowTree())
    if (w.visible && w.className == u"MNU") out.push_back(w.hwnd);
  return out;
}

RECT menuRect() {
  RECT r{};
  auto menus = openMenus();
  if (!menus.empty()) GetWindowRect(menus.front(), &r);
  return r;
}

void tapRow(int row) {
  RECT r = menuRect();
  POINT p{r.left + 30, r.top + row};
  wm::injectPen(wm::PenAction::Down, p);
  wm::injectPen(wm::PenAction::Up, p);
}

class ControlMenu : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(
        createFlash());  // 160 x 100: the movie is centred, its square 70..90 across (60..100 at twice the size)
    ASSERT_TRUE(m_control->putText(u"BGColor", u"-1"));
    ASSERT_TRUE(m_control->putText(u"Movie", u"file://" + writeMovie("menu.swf", squareMovie(20))));
  }

  POINT screenPoint(int x, int y) {
    POINT p{x, y};
    ClientToScreen(m_control->controlWindow(), &p);
    return p;
  }
  // A held tap on the control at (x, y), then the steps, run inside the menu.
  void heldTap(int x, int y, Steps& steps) {
    POINT p = screenPoint(x, y);
    wm::injectPen(wm::PenAction::Down, p, wm::PenButton::Right);
    wm::injectPen(wm::PenAction::Up, p, wm::PenButton::Right);
    steps.start();
    wm::dispatchPending();
    EXPECT_TRUE(steps.allRan());
    EXPECT_TRUE(openMenus().empty());
  }
  void choose(int row) {
    Steps steps;
    steps.then([row] { tapRow(row); });
    heldTap(80, 50, steps);
  }
  int frame() {
    std::optional<WideString> text;
    if (!m_control->invoke(u"CurrentFrame", {}, &text) || !text) return -1;
    return std::stoi(toNarrowAscii(*text));
  }
};

TEST_F(ControlMenu, AHeldTapOpensItOnlyWhileMenuIsTrue) {
  ASSERT_TRUE(m_control->putText(u"Menu", u"False"));
  Steps nothing;
  int seen = -1;
  nothing.then([&] { seen = static_cast<int>(openMenus().size()); });
  heldTap(80, 50, nothing);
  EXPECT_EQ(seen, 0) << "without Menu a held tap does nothing";

  ASSERT_TRUE(m_control->putText(u"Menu", u"True"));
  RECT shown{};
  Steps open;
  open.then([&] {
    shown = menuRect();
    std::filesystem::path dir = std::getenv("ORVEL_BINARY_DIR")
                                    ? std::filesystem::path(std::getenv("ORVEL_BINARY_DIR")) / "screenshots"
                                    : std::filesystem::temp_directory_path();
    std::filesystem::create_directories(dir);
    for (HWND menu : openMenus()) UpdateWindow(menu);  // the paint would come after this step
    EXPECT_TRUE(display::writePng(m_display->frame(), (dir / "flash-control-menu.png").string()));
    wm::injectKey(VK_ESCAPE, true);
    wm::injectKey(VK_ESCAPE, false);
  });
  heldTap(30, 20, open);
  POINT pen = screenPoint(30, 20);
  EXPECT_EQ(shown.left, pen.x) << "at the pen point";
  EXPECT_EQ(shown.top, pen.y);

  // Near the bottom right it stays on the screen.
  Steps edge;
  edge.then([&] {
    shown = menuRect();
    wm::injectKey(VK_ESCAPE, true);
    wm::injectKey(VK_ESCAPE, false);
  });
  heldTap(155, 95, edge);
  EXPECT_GT(shown.right, shown.left);
  EXPECT_LE(shown.right, 240);
  EXPECT_LE(shown.bottom, 320 - wm::kMenuBarHeight);
  EXPECT_GE(shown.top, 0);
}

TEST_F(ControlMenu, ItsItemsDoWhatTheMembersDo) {
  using Check = std::function<void()>;
  struct Row {
    const char* label;
    Check before;
    int row;
    Check after;
  };
  const Row rows[] = {
      {"Play stops a playing movie", [] {}, kPlayRow, [this] { EXPECT_EQ(m_control->getInteger(u"Playing"), 0); }},
      {"Play starts it again", [] {}, kPlayRow, [this] { EXPECT_NE(m_control->getInteger(u"Playing"), 0); }},
      {"Loop turns looping off", [] {}, kLoopRow, [this] { EXPECT_EQ(m_control->getInteger(u"Loop"), 0); }},
      {"Loop turns it on", [] {}, kLoopRow, [this] { EXPECT_NE(m_control->getInteger(u"Loop"), 0); }},
      {"Zoom In shows half the movie", [this] { EXPECT_EQ(pixel(65, 50), kRedPixel); }, kZoomInRow,
       [this] {
         EXPECT_EQ(pixel(65, 50), kBluePixel);
         EXPECT_EQ(pixel(105, 50), kRedPixel);
       }},
      {"Zoom Out goes back a step", [] {}, kZoomOutRow, [this] { EXPECT_EQ(pixel(65, 50), kRedPixel); }},
      {"View All after zooming in twice",
       [this] {
         choose(kZoomInRow);
         choose(kZoomInRow);
       },
       kViewAllRow,
       [this] {
         EXPECT_EQ(pixel(65, 50), kRedPixel);
         EXPECT_EQ(pixel(80, 50), kBluePixel);
       }},
      {"Rewind goes to frame 0 and stops",
       [this] {
         m_control->invoke(u"GotoFrame", {u"12"});
         m_control->invoke(u"Play", {});
       },
       kRewindRow,
       [this] {
         EXPECT_EQ(frame(), 0);
         EXPECT_EQ(m_control->getInteger(u"Playing"), 0);
       }},
      {"Forward goes a frame on", [this] { m_control->invoke(u"GotoFrame", {u"5"}); }, kForwardRow,
       [this] { EXPECT_EQ(frame(), 6); }},
      {"Back goes a frame back", [this] { m_control->invoke(u"GotoFrame", {u"5"}); }, kBackRow,
       [this] { EXPECT_EQ(frame(), 4); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    row.before();
    choose(row.row);
    row.after();
  }
}

TEST_F(ControlMenu, ZoomItemsAreGreyedWhereTheyCannotZoom) {
  struct Row {
    const char* label;
    const WCHAR* zoom;  // Zoom's argument first
    int row;
    bool greyed;  // a tap leaves the menu open
  };
  const Row rows[] = {
      {"Zoom Out with nothing zoomed", u"0", kZoomOutRow, true},
      {"View All with nothing zoomed", u"0", kViewAllRow, true},
      {"Zoom In at the deepest zoom", u"6", kZoomInRow, true},
      {"Zoom In one step before it", u"12", kZoomInRow, false},
      {"Zoom Out when zoomed in", u"50", kZoomOutRow, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    ASSERT_TRUE(m_control->invoke(u"Zoom", {row.zoom}));
    bool stayedOpen = false;
    Steps steps;
    steps.then([&] { tapRow(row.row); });
    steps.then([&] {
      stayedOpen = !openMenus().empty();
      wm::injectKey(VK_ESCAPE, true);
      wm::injectKey(VK_ESCAPE, false);
    });
    heldTap(80, 50, steps);
    EXPECT_EQ(stayedOpen, row.greyed);
  }
}

TEST_F(ControlMenu, AboutShowsTheVersion) {
  std::u16string caption, text;
  Steps steps;
  steps.then([] { tapRow(kAboutRow); });
  steps.then([&] {
    HWND box = GetForegroundWindow();
    WCHAR buffer[100] = {};
    GetWindowTextW(box, buffer, 100);
    caption = buffer;
    GetDlgItemTextW(box, 0xFFFF, buffer, 100);
    text = buffer;
    PostMessageW(GetDlgItem(box, IDOK), WM_LBUTTONDOWN, 0, MAKELPARAM(3, 3));
    PostMessageW(GetDlgItem(box, IDOK), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  });
  heldTap(80, 50, steps);
  EXPECT_EQ(caption, u"About Flash Player");
  EXPECT_EQ(text, u"Flash Player 6.0");
}

}  // namespace
}  // namespace hosttest
