#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/core/handles.h"
#include "platform/core/shellapi.h"
#include "platform/display/display.h"
#include "platform/display/script.h"
#include "platform/gdi/wingdi.h"
#include "tests/platform/display/png_reader.h"
#include "tests/support/tempdir.h"
#include "tests/support/testdevice.h"

namespace {

constexpr UINT_PTR kTickTimer = 1124;
constexpr COLORREF kSkin = RGB(30, 60, 200);
constexpr COLORREF kPressed = RGB(250, 200, 0);

// A small program: a main window with a 2000 ms timer, painting blue, and
// painting a yellow square where the pen went down.
struct Program {
  int ticks = 0;
  std::vector<POINT> taps;
  std::vector<WPARAM> keys;
  static Program* current;
};
Program* Program::current = nullptr;

LRESULT programProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Program& p = *Program::current;
  switch (message) {
    case WM_CREATE:
      SetTimer(hwnd, kTickTimer, 2000, nullptr);
      return 0;
    case WM_TIMER:
      if (wParam == kTickTimer) ++p.ticks;
      return 0;
    case WM_LBUTTONDOWN:
      p.taps.push_back(POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))});
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_KEYDOWN:
      p.keys.push_back(wParam);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT client;
      GetClientRect(hwnd, &client);
      HBRUSH skin = CreateSolidBrush(kSkin);
      FillRect(dc, &client, skin);
      DeleteObject(skin);
      if (!p.taps.empty()) {
        POINT t = p.taps.back();
        RECT mark{t.x - 5, t.y - 5, t.x + 5, t.y + 5};
        HBRUSH b = CreateSolidBrush(kPressed);
        FillRect(dc, &mark, b);
        DeleteObject(b);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

class Session : public testing::Test {
 protected:
  void SetUp() override {
    wm::resetForTests();
    Program::current = &m_program;
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = programProc;
    wc.lpszClassName = u"Program";
    RegisterClassW(&wc);
  }
  void TearDown() override {
    m_display.reset();
    wm::resetForTests();
  }

  bool open(const std::string& script, std::string& error) {
    display::DisplayOptions options;
    options.backend = display::Backend::Headless;
    if (!script.empty()) {
      writeHostFile(m_dir / "session.txt", script);
      options.scriptFile = (m_dir / "session.txt").string();
    }
    m_display = display::openDisplay(options, error);
    return m_display != nullptr;
  }

  HWND createMain() {
    return CreateWindowExW(0, u"Program", u"Orvel Flash Player", WS_VISIBLE | WS_CLIPCHILDREN, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  }

  // The program's own message loop, as its entry point runs it.
  int runLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
  }

  TempDir m_dir;
  Program m_program;
  std::unique_ptr<display::Display> m_display;
};

TEST_F(Session, ScriptDrivesTheProgramsOwnLoopOnTheVirtualClock) {
  std::string shot = (m_dir / "shot.png").string();
  std::string dump = (m_dir / "dump.txt").string();
  std::string error;
  ASSERT_TRUE(
      open("# a session\n"
           "wait 1999\n"
           "dump " +
               dump +
               "\n"
               "wait 1\n"
               "tap 120 100   # in the work area: (120, 74) in the window\n"
               "key app3\n"
               "screenshot " +
               shot +
               "\n"
               "wait 6000\n",
           error))
      << error;
  HWND main = createMain();
  ASSERT_TRUE(main);
  EXPECT_EQ(runLoop(), 0) << "the session ends the loop when the script is done";
  EXPECT_EQ(m_program.ticks, 4) << "2000, 4000, 6000 and 8000 ms: the 2000 ms tick is exact";
  ASSERT_EQ(m_program.taps.size(), 1u);
  EXPECT_EQ(m_program.taps[0].x, 120);
  EXPECT_EQ(m_program.taps[0].y, 74);
  EXPECT_EQ(m_program.keys, (std::vector<WPARAM>{VK_APP1 + 2}));

  PngPixels png;
  ASSERT_TRUE(readPng(shot, png));
  EXPECT_EQ(png.width, 240);
  EXPECT_EQ(png.height, 320);
  EXPECT_EQ(png.at(120, 100), gdi::pixelOf(kPressed)) << "the screenshot shows the mark where the pen went down";
  EXPECT_EQ(png.at(10, 200), gdi::pixelOf(kSkin));
  EXPECT_EQ(png.at(10, 10), gdi::pixelOf(GetSysColor(COLOR_BACKGROUND))) << "the task bar's place is not the window's";

  std::string text = readHostFile(dump);
  EXPECT_NE(text.find("window class=\"Program\" title=\"Orvel Flash Player\" rect=0,26,240,294 visible active"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("[screen]\nsize=240x320 work=0,26,240,294"), std::string::npos) << text;
}

TEST_F(Session, RunAllDrivesTheSameStepsInProcess) {
  std::string error;
  ASSERT_TRUE(open("", error)) << error;
  wm::useVirtualClock(true);
  createMain();
  display::ScriptRunner runner;
  ASSERT_TRUE(runner.load("drag 10 100 200 120 4\nwait 2000\nwait 2000\n", error)) << error;
  ASSERT_TRUE(runner.runAll(error)) << error;
  EXPECT_EQ(m_program.ticks, 2);
  EXPECT_EQ(m_program.taps.size(), 1u);
}

TEST(ScriptParsing, FaultsAreFoundBeforeAnythingRuns) {
  struct Case {
    const char* script;
    const char* error;  // empty: loads
  };
  const Case cases[] = {
      {"tap 1 2\n\n  # only a comment\nwait 0\n", ""},
      {"key ctrl+q\nkey left down\nkey left up\nkey app9\n", ""},
      {"tap 1\n", "line 1: expected a screen point X Y"},
      {"wait 10\njump 3 4\n", "line 2: unknown command \"jump\""},
      {"wait -5\n", "line 1: expected wait MS (0 to 86400000)"},
      {"wait 99999999999999999999\n", "line 1: expected wait MS (0 to 86400000)"},
      {"key nosuch\n", "line 1: unknown key \"nosuch\""},
      {"key a sideways\n", "line 1: expected down or up after the key name"},
      {"drag 1 2 3 4 0\n", "line 1: drag steps must be 1 to 1000"},
      {"tap 1 2 # fine\nscreenshot\n", "line 2: expected screenshot FILE"},
      {"quit now\n", "line 1: quit takes no arguments"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    display::ScriptRunner runner;
    std::string error;
    EXPECT_EQ(runner.load(c.script, error), std::string(c.error).empty());
    EXPECT_EQ(error, c.error);
  }
}

TEST(ScriptParsing, KeyNames) {
  EXPECT_EQ(display::keyByName("left"), VK_LEFT);
  EXPECT_EQ(display::keyByName("return"), VK_RETURN);
  EXPECT_EQ(display::keyByName("app1"), 193);
  EXPECT_EQ(display::keyByName("app9"), 201);
  EXPECT_EQ(display::keyByName("q"), 'Q');
  EXPECT_EQ(display::keyByName("app0"), 0);
  EXPECT_EQ(display::keyByName(""), 0);
}

TEST(DisplayOptions, ParsedAndTakenOutOfTheArguments) {
  struct Case {
    std::vector<std::string> args;
    bool ok;
    int zoom, width, height;
    bool headless;
    std::vector<std::string> rest;
  };
  const Case cases[] = {
      {{"movie.swf"}, true, 2, 240, 320, false, {"movie.swf"}},
      {{"--zoom", "3", "a.swf", "--headless"}, true, 3, 240, 320, true, {"a.swf"}},
      {{"--screen", "480x640", "--script", "s.txt"}, true, 2, 480, 640, true, {}},
      {{"--zoom", "0"}, false, 2, 240, 320, false, {}},
      {{"--zoom", "2x"}, false, 2, 240, 320, false, {}},
      {{"--zoom"}, false, 2, 240, 320, false, {}},
      {{"--screen", "10x10"}, false, 2, 240, 320, false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    std::vector<std::string> args = c.args;
    display::DisplayOptions o;
    std::string error;
    ASSERT_EQ(display::parseDisplayOptions(args, o, error), c.ok) << error;
    if (!c.ok) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    EXPECT_EQ(o.zoom, c.zoom);
    EXPECT_EQ(o.width, c.width);
    EXPECT_EQ(o.height, c.height);
    EXPECT_EQ(o.backend == display::Backend::Headless, c.headless);
    EXPECT_EQ(args, c.rest);
  }
  EXPECT_NE(display::displayHelp().find("F1: application button 1"), std::string::npos);
}

TEST_F(Session, FrameShowsTheWaitCursorAndGoesBlackWhenPoweredOff) {
  std::string error;
  ASSERT_TRUE(open("", error)) << error;
  createMain();
  wm::dispatchPending();
  const gdi::Surface& frame = m_display->frame();
  EXPECT_EQ(frame.row(160)[120 + 9], gdi::pixelOf(kSkin));
  HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  EXPECT_NE(m_display->frame().row(160)[120 + 9], gdi::pixelOf(kSkin)) << "the busy ring is drawn over the screen";
  EXPECT_EQ(gdi::screenSurface().row(160)[120 + 9], gdi::pixelOf(kSkin)) << "but not into the program's pixels";
  SetCursor(old);
  EXPECT_EQ(m_display->frame().row(160)[120 + 9], gdi::pixelOf(kSkin));

  HDC dc = GetDC(nullptr);
  VIDEO_POWER_MANAGEMENT off{12, 1, VideoPowerOff}, on{12, 1, VideoPowerOn};
  ExtEscape(dc, SETPOWERMANAGEMENT, 12, reinterpret_cast<LPCSTR>(&off), 0, nullptr);
  EXPECT_EQ(m_display->frame().row(100)[100], 0u);
  ExtEscape(dc, SETPOWERMANAGEMENT, 12, reinterpret_cast<LPCSTR>(&on), 0, nullptr);
  EXPECT_EQ(m_display->frame().row(100)[100], gdi::pixelOf(kSkin));
  ReleaseDC(nullptr, dc);

  std::string again;
  EXPECT_EQ(display::openDisplay(display::DisplayOptions{display::Backend::Headless}, again), nullptr);
  EXPECT_EQ(again, "the device has one screen, and it is open");
}

}  // namespace

// A device program that writes its arguments to a host file; what a headless
// screen starts must open no window of its own.
TEST(DisplayOptions, AHeadlessScreenStartsItsProgramsHeadless) {
  TestDevice device;
  std::filesystem::path log = device.outside("args.txt");
  writeHostFile(device.host("Windows/tool.exe"), "#!/bin/sh\nprintf '%s;' \"$@\" > '" + log.string() + "'\n");
  std::filesystem::permissions(device.host("Windows/tool.exe"), std::filesystem::perms::owner_all);
  auto start = [&] {
    std::filesystem::remove(log);
    SHELLEXECUTEINFO info{};
    info.cbSize = kDeviceShellExecuteInfoSize;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = u"\\Windows\\tool.exe";
    info.lpParameters = u"page";
    EXPECT_TRUE(ShellExecuteEx(&info));
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hProcess);
    return readHostFile(log);
  };
  std::string error;
  {
    display::DisplayOptions options;
    options.backend = display::Backend::Headless;
    auto screen = display::openDisplay(options, error);
    ASSERT_TRUE(screen) << error;
    EXPECT_EQ(start(), "--headless;page;");
  }
  EXPECT_EQ(start(), "page;") << "the screen closed: the options before it are back";
}
