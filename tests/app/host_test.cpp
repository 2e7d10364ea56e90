// The program as a user on the host meets it: `./run` and the `device` tool,
// host files checked before the device runs, a second start handing its
// movie to a running player (headless and in a desktop window), files dropped
// on the device's window, and full screen as it shows on the screen.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/windowing.h"
#include "tests/platform/display/png_reader.h"
#include "tests/support/testdevice.h"
#include "tests/support/xserver.h"
#include "tools/swfwriter/samples.h"

namespace fs = std::filesystem;

namespace {

const std::string kModule = "ORVELFLASH_MODULE='\\Program Files\\OrvelFlash\\OrvelFlash.exe'";

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct Ran {
  int code;
  std::string output;  // standard output and error together
};

// Runs a shell command line; its exit code and everything it wrote.
Ran shell(const std::string& command) {
  FILE* pipe = popen((command + " 2>&1 </dev/null").c_str(), "r");
  if (!pipe) return {-1, ""};
  std::string output;
  char chunk[512];
  while (size_t n = fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, n);
  int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::string binaryDir() { return std::getenv("ORVEL_BINARY_DIR") ? std::getenv("ORVEL_BINARY_DIR") : ""; }
std::string sourceDir() { return std::getenv("ORVEL_SOURCE_DIR") ? std::getenv("ORVEL_SOURCE_DIR") : ""; }
std::string deviceTool() { return quoted(binaryDir() + "/tools/device/device"); }

std::string readText(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeMovie(const fs::path& path, const std::vector<uint8_t>& movie) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(movie.data()), static_cast<std::streamsize>(movie.size()));
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A device with the player installed from this build, as `./run` leaves it.
class Host : public testing::Test {
 protected:
  void SetUp() override {
    wm::resetForTests();
    Ran installed = shell(deviceTool() + " install " + quoted(m_device.root().string()));
    ASSERT_EQ(installed.code, 0) << installed.output;
    writeMovie(m_device.host("My Documents/demo.swf"), swfwrite::demoMovie(false));
  }
  void TearDown() override { wm::resetForTests(); }

  // The installed program on this device, headless, with `args`.
  std::string program(const std::string& args) const {
    return kModule + " " + quoted(m_device.host("Program Files/OrvelFlash/OrvelFlash.exe").string()) + " --device " +
           quoted(m_device.root().string()) + " --headless " + args;
  }
  std::string script(const std::string& name, const std::string& text) const {
    fs::path file = m_device.outside(name);
    std::ofstream(file) << text;
    return quoted(file.string());
  }
  std::string run(const std::string& args) const {
    return "ORVELFLASH_BUILD=" + quoted(binaryDir()) + " ORVELFLASH_DEVICE=" + quoted(m_device.root().string()) + " " +
           quoted(sourceDir() + "/run") + " " + args;
  }

  TestDevice m_device;
};

TEST_F(Host, TheDeviceToolExplainsItselfAndRefusesFoldersThatAreNoDevice) {
  Ran help = shell(deviceTool() + " --help");
  EXPECT_EQ(help.code, 0);
  for (const char* command : {"create DIR", "info DIR", "reg DIR", "install DIR", "uninstall DIR", "open DIR FILE",
                              "flash DIR remove|add", "browser DIR"})
    EXPECT_TRUE(contains(help.output, command)) << command << "\n" << help.output;

  const fs::path mistyped = m_device.outside("mistyped/dir");
  fs::create_directories(m_device.outside("plain"));
  const std::string plain = m_device.outside("plain").string();
  for (const std::string& command : {"install " + quoted(mistyped.string()), "uninstall " + quoted(mistyped.string()),
                                     "open " + quoted(mistyped.string()) + " '\\a.swf'", "info " + quoted(plain),
                                     "flash " + quoted(plain) + " add", "install " + quoted(plain)}) {
    SCOPED_TRACE(command);
    Ran ran = shell(deviceTool() + " " + command);
    EXPECT_EQ(ran.code, 1);
    EXPECT_TRUE(contains(ran.output, "is not a device")) << ran.output;
  }
  EXPECT_FALSE(fs::exists(mistyped));
  EXPECT_TRUE(fs::is_empty(m_device.outside("plain"))) << "nothing made in a folder that is no device";

  Ran again = shell(deviceTool() + " install " + quoted(m_device.root().string()));
  EXPECT_EQ(again.code, 0);
  EXPECT_TRUE(contains(again.output, "up to date")) << again.output;
}

TEST_F(Host, HostFilesThatAreNoMoviesAreRefusedBeforeTheDeviceRuns) {
  fs::create_directories(m_device.outside("folder.swf"));
  writeHostFile(m_device.outside("empty.swf"), "");
  writeHostFile(m_device.outside("picture.swf"), "GIF89a\x01\x00\x01\x00");
  writeHostFile(m_device.outside("short.swf"), "FW");
  struct Row {
    const char* file;
    const char* says;
  } rows[] = {
      {"missing.swf", "missing.swf: no such file"},
      {"folder.swf", "folder.swf is a folder, not a movie"},
      {"empty.swf", "empty.swf is empty"},
      {"picture.swf", "picture.swf is not a Flash movie (it does not start with \"FWS\", \"CWS\" or \"ZWS\")"},
      {"short.swf", "short.swf is not a Flash movie"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.file);
    std::string file = quoted(m_device.outside(row.file).string());
    for (const std::string& command : {program(file), run(file)}) {
      Ran ran = shell(command);
      EXPECT_EQ(ran.code, 1) << command;
      EXPECT_TRUE(contains(ran.output, row.says)) << ran.output;
      EXPECT_FALSE(contains(ran.output, "played")) << ran.output;
    }
  }
  EXPECT_FALSE(fs::exists(m_device.host(".orvel/storage-card"))) << "no card inserted for a refused file";
}

TEST_F(Host, RunTakesItsOptionsAndTheMovieInAnyOrder) {
  writeMovie(m_device.outside("movies/my movie.swf"), swfwrite::demoMovie(true));
  const std::string movie = quoted(m_device.outside("movies/my movie.swf").string());
  const fs::path dump = m_device.outside("dump.txt");
  const std::string session = script("session.txt", "wait 1000\ndump " + dump.string() + "\nquit\n");
  for (const std::string& args :
       {"--zoom 2 " + movie + " --headless --script " + session, movie + " --zoom 1 --script " + session,
        "--script " + session + " --screen 240x320 " + movie}) {
    SCOPED_TRACE(args);
    fs::remove(dump);
    Ran ran = shell(run(args));
    EXPECT_EQ(ran.code, 0) << ran.output;
    std::string text = readText(dump);
    EXPECT_TRUE(contains(text, "movie=\\Storage Card\\my movie.swf")) << text;
    EXPECT_TRUE(contains(text, "control=1 frames=24")) << text;
  }

  // With no desktop, what it says follows what happened.
  writeHostFile(m_device.outside("broken.swf"), "CWS\x08@ a header cut short, no zlib stream");
  struct Row {
    std::string movie;
    const char* says;
  } rows[] = {{movie, "it played"}, {quoted(m_device.outside("broken.swf").string()), "did not load"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.movie);
    Ran ran = shell("DISPLAY= WAYLAND_DISPLAY= " + run(row.movie));
    EXPECT_EQ(ran.code, 0) << ran.output;
    EXPECT_TRUE(contains(ran.output, row.says)) << ran.output;
  }
}

// Two processes on one device, headless: the first in a scripted session
// that answers the second start.
class SecondStart : public Host {
 protected:
  // Starts the first player on `script`; the second start with `args` once the
  // first shows its window. Answers the first's exit code.
  int handOver(const std::string& firstScript, const std::string& args, const std::string& firstArgs = "") {
    const fs::path ready = m_device.outside("ready.txt");
    Child first({"/bin/sh", "-c",
                 program("--script " + script("first.txt", "wait 1000\ndump " + ready.string() + "\n" + firstScript) +
                         " " + firstArgs)},
                {});
    if (!first.started()) return -1;
    auto deadline = Clock::now() + std::chrono::seconds(60);
    // The second start comes once the first runs its loop, or it would be the first itself.
    while (!fs::exists(ready) && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    m_second = shell(program(args));
    return first.waitExit(deadline);
  }
  Ran m_second{-1, ""};
};

TEST_F(SecondStart, AScriptedSessionAnswersTheHandOverAndTheDumpShowsItBeforeTheWindowsGo) {
  fs::copy_file(m_device.host("My Documents/demo.swf"), m_device.host("My Documents/other.swf"));
  const fs::path during = m_device.outside("during.txt"), atExit = m_device.outside("exit.txt");
  ASSERT_EQ(handOver("serve 30000 copydata\nwait 500\ndump " + during.string() + "\nquit\n",
                     quoted("\\My Documents\\other.swf"),
                     "--dump " + quoted(atExit.string()) + " " + quoted("\\My Documents\\demo.swf")),
            0);
  EXPECT_EQ(m_second.code, 0) << m_second.output;
  std::string text = readText(during);
  EXPECT_TRUE(contains(text, "running=1 movie=\\My Documents\\other.swf")) << text;
  EXPECT_TRUE(contains(text, "put Movie(\"file://\\My Documents\\other.swf\") -> ok")) << text;
  EXPECT_TRUE(contains(text, "get TotalFrames() -> 24")) << text;
  std::string last = readText(atExit);
  EXPECT_TRUE(contains(last, "running=1")) << "taken while the player is still up\n" << last;
  EXPECT_TRUE(contains(last, "class=\"OrvelFlash\" title=\"Orvel Flash Player\"")) << last;
}

TEST_F(SecondStart, AHostFileHandedOverIsReachedByTheRunningPlayer) {
  writeMovie(m_device.outside("host/clip.swf"), swfwrite::demoMovie(false));
  const fs::path during = m_device.outside("during.txt");
  ASSERT_EQ(handOver("serve 30000 copydata\nwait 500\ndump " + during.string() + "\nquit\n",
                     quoted(m_device.outside("host/clip.swf").string()), quoted("\\My Documents\\demo.swf")),
            0);
  std::string text = readText(during);
  EXPECT_TRUE(contains(text, "running=1 movie=\\Storage Card\\clip.swf")) << text;
  EXPECT_TRUE(contains(text, "control=1 frames=24")) << text;
  EXPECT_FALSE(contains(text, "title=\"Warning\"")) << text;
}

TEST_F(SecondStart, ABareSecondStartLeavesTheFirstPlayerTakingItsKeys) {
  const fs::path after = m_device.outside("after.txt");
  ASSERT_EQ(handOver("serve 30000 foreground\nkey ctrl+q\nwait 200\ndump " + after.string() + "\nquit\n", "",
                     quoted("\\My Documents\\demo.swf")),
            0);
  EXPECT_EQ(m_second.code, 0) << m_second.output;
  EXPECT_FALSE(fs::exists(after)) << "Ctrl+Q closed the player before the script went on\n" << readText(after);
}

TEST_F(Host, InADesktopWindowASecondRunHandsItsHostMovieOverAndTheBuildWaitsForTheNextStart) {
  for (const char* tool : {"Xvfb", "xdotool"}) ASSERT_TRUE(onPath(tool)) << tool << " is missing";
  auto deadline = Clock::now() + std::chrono::seconds(90);
  XServer x(deadline);
  ASSERT_TRUE(x.started()) << "Xvfb did not start";
  const fs::path atExit = m_device.outside("exit.txt");
  const std::string display = "DISPLAY=" + x.display() + " SDL_VIDEODRIVER=x11 ASAN_OPTIONS=detect_leaks=0 ";
  Child first({"/bin/sh", "-c", display + run("--dump " + quoted(atExit.string()))}, {});
  ASSERT_TRUE(first.started());
  std::string window = x.findWindow("^Orvel Flash Player$", deadline);
  ASSERT_FALSE(window.empty());

  // A build that changed since the player started: it must wait for the player to end.
  writeHostFile(m_device.host("Program Files/OrvelFlash/help.htm"), "an older help page");
  writeMovie(m_device.outside("host/clip.swf"), swfwrite::demoMovie(false));
  Ran second = shell(display + run(quoted(m_device.outside("host/clip.swf").string())));
  EXPECT_EQ(second.code, 0) << second.output;
  EXPECT_TRUE(contains(second.output, "the player is running on the device")) << second.output;
  EXPECT_EQ(readText(m_device.host("Program Files/OrvelFlash/help.htm")), "an older help page");

  x.xdotool("windowfocus --sync " + window + " key --window " + window + " ctrl+q");
  EXPECT_EQ(first.waitExit(deadline), 0) << "Ctrl+Q ends the player: no warning box stands in the way";
  std::string text = readText(atExit);
  size_t put = text.find("put Movie(\"file://\\Storage Card\\clip.swf\") -> ok");
  ASSERT_NE(put, std::string::npos) << text;
  EXPECT_NE(text.find("get TotalFrames() -> 24", put), std::string::npos) << "the running player loaded it\n" << text;

  Ran third = shell(deviceTool() + " install " + quoted(m_device.root().string()));
  EXPECT_EQ(third.code, 0) << third.output;
  EXPECT_NE(readText(m_device.host("Program Files/OrvelFlash/help.htm")), "an older help page");
}

TEST_F(Host, DroppedFilesOpenAMovieOrAddASkinPackage) {
  writeMovie(m_device.outside("drops/dropped.swf"), swfwrite::demoMovie(false));
  fs::copy_file(m_device.host("Program Files/OrvelFlash/default.zskn"), m_device.outside("drops/blue.zskn"));
  writeHostFile(m_device.outside("drops/notes.txt"), "hello");
  const fs::path dump = m_device.outside("dump.txt");
  const std::string drops = m_device.outside("drops").string();
  Ran ran = shell(program("--script " +
                          script("drops.txt", "wait 1000\ndrop " + drops + "/dropped.swf\nserve 30000 copydata\n" +
                                                  "wait 500\ndrop " + drops + "/blue.zskn\ndrop " + drops +
                                                  "/notes.txt\ndump " + dump.string() + "\nquit\n") +
                          " " + quoted("\\My Documents\\demo.swf")));
  EXPECT_EQ(ran.code, 0) << ran.output;
  std::string text = readText(dump);
  EXPECT_TRUE(contains(text, "running=1 movie=\\Storage Card\\dropped.swf")) << text;
  EXPECT_TRUE(contains(text,
                       "verb=\"open\" file=\"\\Storage Card\\dropped.swf\" started=\"\\Program "
                       "Files\\OrvelFlash\\OrvelFlash.exe \\Storage Card\\dropped.swf\""))
      << text;
  EXPECT_TRUE(fs::exists(m_device.host("My Documents/blue.zskn")));
  EXPECT_TRUE(contains(ran.output, "put blue.zskn onto the device as \\My Documents\\blue.zskn")) << ran.output;
  EXPECT_TRUE(contains(ran.output, "notes.txt is neither a movie (.swf) nor a skin package (.zskn)")) << ran.output;
}

TEST_F(Host, FullScreenShowsTheWholeMovie) {
  struct Row {
    int width, height;
    int left, right;  // the movie's columns on the screen once turned
  } rows[] = {{400, 300, 0, 240}, {240, 180, 0, 240}, {320, 180, 30, 210}};
  for (const Row& row : rows) {
    std::string name = std::to_string(row.width) + "x" + std::to_string(row.height);
    SCOPED_TRACE(name);
    writeMovie(m_device.host("My Documents/" + name + ".swf"),
               swfwrite::countingMovie(1, 12, row.width, row.height, false));
    const fs::path shot = m_device.outside(name + ".png");
    Ran ran = shell(program(
        "--script " + script("full.txt", "wait 500\nkey return\nwait 500\nscreenshot " + shot.string() + "\nquit\n") +
        " " + quoted("\\My Documents\\" + name + ".swf")));
    ASSERT_EQ(ran.code, 0) << ran.output;
    PngPixels png;
    ASSERT_TRUE(readPng(shot.string(), png));
    ASSERT_EQ(png.width, 240);
    ASSERT_EQ(png.height, 320);
    constexpr uint32_t kBlue = 0x0000FF, kBlack = 0x000000;
    // Rows a pixel in from the edges, where the movie's own edges may be blended.
    for (int y : {1, 160, 318}) {
      SCOPED_TRACE(y);
      EXPECT_EQ(png.at(row.left + 1, y), kBlue);
      EXPECT_EQ(png.at((row.left + row.right) / 2, y), kBlue);
      EXPECT_EQ(png.at(row.right - 2, y), kBlue);
      if (row.left > 1) {
        EXPECT_EQ(png.at(row.left - 2, y), kBlack);
      }
      if (row.right < 239) {
        EXPECT_EQ(png.at(row.right + 1, y), kBlack);
      }
    }
  }
}

}  // namespace
