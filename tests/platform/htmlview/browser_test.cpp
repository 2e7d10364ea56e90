// The device's browser: where links lead, how page files are read, and the
// program itself started by ShellExecuteEx on a page, driven by a script.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/core/builtins.h"
#include "platform/core/handles.h"
#include "platform/core/shellapi.h"
#include "platform/core/winuser.h"
#include "platform/core/utf8.h"
#include "platform/htmlview/browser/pagefile.h"
#include "tests/support/tempdir.h"
#include "tests/support/testdevice.h"

namespace {

using browser::LinkKind;

TEST(BrowserLinks, LeadFromThePageTheyAreOn) {
  struct Case {
    const char16_t* href;
    LinkKind kind;
    const char16_t* path;
    const char16_t* anchor = u"";
  };
  const Case cases[] = {
      {u"second.htm", LinkKind::DeviceFile, u"\\My Documents\\help\\second.htm"},
      {u"../other.htm", LinkKind::DeviceFile, u"\\My Documents\\other.htm"},
      {u"sub/page.html#part", LinkKind::DeviceFile, u"\\My Documents\\help\\sub\\page.html", u"part"},
      {u"./page.htm?x=1", LinkKind::DeviceFile, u"\\My Documents\\help\\page.htm"},
      {u"\\Windows\\a.htm", LinkKind::DeviceFile, u"\\Windows\\a.htm"},
      {u"/Windows/a.htm", LinkKind::DeviceFile, u"\\Windows\\a.htm"},
      {u"file:///My%20Documents/b.htm", LinkKind::DeviceFile, u"\\My Documents\\b.htm"},
      {u"FILE:\\Windows\\c.htm", LinkKind::DeviceFile, u"\\Windows\\c.htm"},
      {u"caf%C3%A9.htm", LinkKind::DeviceFile, u"\\My Documents\\help\\caf\u00e9.htm"},
      {u"100%25 %zz.htm", LinkKind::DeviceFile, u"\\My Documents\\help\\100% %zz.htm"},
      {u"../../../../x.htm", LinkKind::DeviceFile, u"\\x.htm"},  // never above the root
      {u"  movie.swf  ", LinkKind::DeviceFile, u"\\My Documents\\help\\movie.swf"},
      {u"#top", LinkKind::SamePage, u"", u"top"},
      {u"#two%20words", LinkKind::SamePage, u"", u"two words"},
      {u"", LinkKind::SamePage, u""},
      {u"file:", LinkKind::SamePage, u""},
      {u"http://example.com/a.htm", LinkKind::Elsewhere, u""},
      {u"mailto:someone@example.com", LinkKind::Elsewhere, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(toUtf8(c.href));
    browser::Link link = browser::resolveLink(u"\\My Documents\\help\\index.htm", c.href);
    EXPECT_EQ(link.kind, c.kind);
    EXPECT_EQ(toUtf8(link.path), toUtf8(c.path));
    EXPECT_EQ(toUtf8(link.anchor), toUtf8(c.anchor));
  }
}

TEST(BrowserPages, TextComesFromTheRightEncoding) {
  TestDevice device;  // ANSI code page 1252
  struct Case {
    std::string bytes;
    std::u16string text;
  };
  const Case cases[] = {
      {std::string("\xFF\xFE<\0p\0>\0\xE9\0", 10), u"<p>\u00e9"},
      {"\xEF\xBB\xBF<p>caf\xC3\xA9", u"<p>caf\u00e9"},
      {"<meta charset=utf-8><p>caf\xC3\xA9", u"<meta charset=utf-8><p>caf\u00e9"},
      {"<p>caf\xC3\xA9", u"<p>caf\u00e9"},          // valid UTF-8 without a word about it
      {"<p>caf\xE9 \x80", u"<p>caf\u00e9 \u20ac"},  // the device's code page
      {"", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(toUtf8(browser::decodePage(c.bytes)), toUtf8(c.text));
  }
}

// Runs the browser the way the file explorer opens a page, with a script
// for its headless screen; answers the program's exit code.
int openWithScript(const std::u16string& page, const std::filesystem::path& script, const std::string& text) {
  std::ofstream(script) << text;
  setProgramHostOptions({"--headless", "--script", script.string()});
  SHELLEXECUTEINFO info{};
  info.cbSize = kDeviceShellExecuteInfoSize;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = u"open";
  info.lpFile = page.c_str();
  info.nShow = SW_SHOW;
  bool started = ShellExecuteEx(&info);
  setProgramHostOptions({});
  EXPECT_TRUE(started);
  if (!started) return -1;
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 60000), WAIT_OBJECT_0);
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  return static_cast<int>(code);
}

std::string readText(const std::filesystem::path& file) {
  std::ifstream in(file);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::filesystem::path screenshotPath(const char* name) {
  const char* dir = std::getenv("ORVEL_BINARY_DIR");
  std::filesystem::path base =
      dir ? std::filesystem::path(dir) / "screenshots" : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(base);
  return base / name;
}

TEST(Browser, OpensAPageFromShellExecuteFollowsALinkGoesBackAndCloses) {
  TestDevice device;
  ASSERT_TRUE(browserInstalled(device.device()));
  writeHostFile(device.host("My Documents/first.htm"),
                "<title>First</title><body style=\"margin:0\"><a href=\"second.htm\" "
                "style=\"display:block;height:120px;background-color:#ffff00\">To the second page</a></body>");
  writeHostFile(device.host("My Documents/second.htm"), "<title>Second</title><p>The second page.</p>");
  TempDir work;
  const auto dump = work / "dump.txt", after = work / "after.txt";
  // The page starts under the 26-pixel task bar; Back is the menu bar's first
  // button, "ok" the task bar's right end.
  int code = openWithScript(u"\\My Documents\\first.htm", work / "session.txt",
                            "wait 100\ndump " + dump.string() + "\ntap 100 80\nwait 100\ndump " + dump.string() +
                                "\nscreenshot " + screenshotPath("browser-second.png").string() +
                                "\ntap 12 307\nwait 100\ndump " + dump.string() + "\ntap 223 13\nwait 100\ndump " +
                                after.string() + "\nquit\n");
  EXPECT_EQ(code, 0);
  std::string states = readText(dump);
  size_t first = states.find("page=\\My Documents\\first.htm back=0 title=First");
  size_t second = states.find("page=\\My Documents\\second.htm back=1 title=Second");
  size_t back = states.find("page=\\My Documents\\first.htm back=0", second == std::string::npos ? 0 : second);
  EXPECT_NE(first, std::string::npos) << states;
  EXPECT_NE(second, std::string::npos) << states;
  EXPECT_NE(back, std::string::npos) << states;
  EXPECT_FALSE(std::filesystem::exists(after));  // "ok" closed it before the last dump
}

TEST(Browser, ShowsThePlayersHelpTopAndScrolled) {
  TestDevice device;
  const char* source = std::getenv("ORVEL_SOURCE_DIR");
  ASSERT_NE(source, nullptr) << "ctest names the source folder";
  std::filesystem::path help = std::filesystem::path(source) / "resources" / "help.htm";
  std::filesystem::create_directories(device.host("Program Files/OrvelFlash"));
  std::filesystem::copy_file(help, device.host("Program Files/OrvelFlash/help.htm"));
  TempDir work;
  const auto dump = work / "dump.txt";
  int code =
      openWithScript(u"\\Program Files\\OrvelFlash\\help.htm", work / "session.txt",
                     "wait 100\nscreenshot " + screenshotPath("browser-help-top.png").string() +
                         "\nkey down\nkey down\nkey down\nkey down\nkey down\nkey down\nkey down\nkey down\n"
                         "wait 100\nscreenshot " +
                         screenshotPath("browser-help-scrolled.png").string() + "\ndump " + dump.string() + "\nquit\n");
  EXPECT_EQ(code, 0);
  EXPECT_NE(readText(dump).find("title=OrvelFlash Help"), std::string::npos) << readText(dump);
}

}  // namespace
