// The device tool as a user runs it: install a package with the real setup
// library, then open a movie as the file explorer does; first with a stand-in
// program that writes what it was started with, then with the real player.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tests/support/tempdir.h"
#include "tools/swfwriter/samples.h"

namespace fs = std::filesystem;

namespace {

struct ToolRun {
  int status;
  std::string output;
};

ToolRun runDevice(const std::string& arguments) {
  std::string command = std::string("'") + ORVEL_DEVICE_TOOL + "' " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ToolRun run{-1, ""};
  if (!pipe) return run;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) run.output += buffer;
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

TEST(DeviceExplorer, OpensAMovieWithTheInstalledPlayer) {
  TempDir host;
  const fs::path package = host / "package", device = host / "device", log = host / "started.txt";
  writeHostFile(
      package / "OrvelFlash.exe",
      "#!/bin/sh\n{ for a in \"$@\"; do printf '%s\\n' \"$a\"; done; printf '%s\\n' \"$ORVELFLASH_MODULE\"; } > " +
          quoted(log) + "\n");
  fs::permissions(package / "OrvelFlash.exe", fs::perms::owner_all);
  writeHostFile(package / "help.htm", "<html></html>");
  writeHostFile(package / "default.zskn", "PK");

  ASSERT_EQ(runDevice("create " + quoted(device)).status, 0);
  ToolRun install = runDevice("install " + quoted(device) + " --folder '\\Program Files\\Orvel Flash' " +
                              quoted(package / "OrvelFlash.exe") + " " + quoted(package / "help.htm") + " " +
                              quoted(package / "default.zskn") + " '" + ORVEL_SETUP_LIBRARY + "'");
  ASSERT_EQ(install.status, 0) << install.output;
  writeHostFile(device / "My Documents" / "Big Movie.swf", "FWS");

  ToolRun open = runDevice("open " + quoted(device) + " '\\My Documents\\Big Movie.swf' --wait -- --headless");
  ASSERT_EQ(open.status, 0) << open.output;
  EXPECT_EQ(readHostFile(log),
            "--headless\n\\My Documents\\Big Movie.swf\n\\Program Files\\Orvel Flash\\OrvelFlash.exe\n");

  ToolRun uninstall = runDevice("uninstall " + quoted(device));
  ASSERT_EQ(uninstall.status, 0) << uninstall.output;
  EXPECT_FALSE(fs::exists(device / "Program Files" / "Orvel Flash"));
  // The registration stays: the explorer still names the removed program.
  ToolRun again = runDevice("open " + quoted(device) + " '\\My Documents\\Big Movie.swf'");
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.output.find("the program that opens it is missing"), std::string::npos) << again.output;
}

TEST(DeviceExplorer, TappingAMovieStartsTheInstalledPlayerWithIt) {
  TempDir host;
  const fs::path device = host / "device", dump = host / "dump.txt", script = host / "session.txt";
  // No files named: the player as this build made it, setup library included.
  ASSERT_EQ(runDevice("create " + quoted(device)).status, 0);
  ToolRun install = runDevice("install " + quoted(device));
  ASSERT_EQ(install.status, 0) << install.output;
  {
    std::vector<uint8_t> movie = swfwrite::demoMovie(true);
    std::ofstream(device / "My Documents" / "Holiday Film.swf", std::ios::binary)
        .write(reinterpret_cast<const char*>(movie.data()), static_cast<std::streamsize>(movie.size()));
  }
  std::ofstream(script) << "wait 1500\ndump " << dump.string() << "\nquit\n";

  ToolRun open = runDevice("open " + quoted(device) +
                           " '\\My Documents\\Holiday Film.swf' --wait -- --headless --script " + quoted(script));
  ASSERT_EQ(open.status, 0) << open.output;
  std::string text = readHostFile(dump);
  EXPECT_NE(text.find("running=1 movie=\\My Documents\\Holiday Film.swf"), std::string::npos) << text;
  EXPECT_NE(text.find("control=1 frames=24"), std::string::npos) << "the movie is loaded and plays\n" << text;
  // The first run unpacked the installed default skin.
  EXPECT_TRUE(fs::exists(device / "My Documents" / "OrvelFlash" / "skins" / "default.bskn"));
}

TEST(DeviceExplorer, ClearAnswersForWhatItCannotDo) {
  TempDir host;
  const fs::path device = host / "device";
  ASSERT_EQ(runDevice("create " + quoted(device)).status, 0);
  writeHostFile(device / "notes.txt", "text");
  ToolRun open = runDevice("open " + quoted(device) + " '\\notes.txt'");
  EXPECT_EQ(open.status, 1);
  EXPECT_NE(open.output.find("no program opens \\notes.txt"), std::string::npos) << open.output;
  ToolRun install = runDevice("install " + quoted(device) + " " + quoted(host / "absent.exe"));
  EXPECT_EQ(install.status, 1);
  EXPECT_NE(install.output.find("not installed: the package file"), std::string::npos) << install.output;
}

}  // namespace
