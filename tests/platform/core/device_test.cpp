// Making, opening and starting devices.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/core/builtins.h"
#include "platform/core/winbase.h"
#include "platform/core/winnls.h"
#include "tests/support/testdevice.h"

namespace fs = std::filesystem;

TEST(Device, OpenMakesMissingDevicesAndRefusesStrangers) {
  TempDir scratch;
  std::string error;
  auto made = Device::open(scratch / "new", error);
  ASSERT_TRUE(made) << error;
  for (const char* folder : {"My Documents", "Windows", "Program Files", "Temp"})
    EXPECT_TRUE(fs::is_directory(scratch / "new" / folder)) << folder;

  writeHostFile(scratch / "stranger" / "notes.txt", "mine");
  EXPECT_FALSE(Device::open(scratch / "stranger", error));
  EXPECT_NE(error.find("not a device"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(scratch / "stranger" / "My Documents"));       // nothing was added
  EXPECT_FALSE(Device::create(scratch / "new", DeviceConfig{}, error));  // not over an existing device

  DeviceConfig config;
  config.ansiCodePage = 936;
  config.screenWidth = 480;
  config.screenHeight = 640;
  ASSERT_TRUE(Device::create(scratch / "chinese", config, error)) << error;
  auto opened = Device::open(scratch / "chinese", error);
  ASSERT_TRUE(opened) << error;
  EXPECT_EQ(opened->ansiCodePage(), 936u);
  EXPECT_EQ(opened->config().screenWidth, 480);
  EXPECT_EQ(opened->config().screenHeight, 640);

  config.ansiCodePage = 65001;  // characters of up to four bytes: not an ANSI code page
  EXPECT_FALSE(Device::create(scratch / "utf8", config, error));
  EXPECT_FALSE(fs::exists(scratch / "utf8"));

  writeHostFile(scratch / "chinese" / ".orvel" / "device.ini", "acp=banana\n");
  EXPECT_FALSE(Device::open(scratch / "chinese", error));
  EXPECT_NE(error.find("acp=banana"), std::string::npos) << error;
}

TEST(Device, ConfigTextParsing) {
  struct Case {
    const char* text;
    bool ok;
    int width, height;
  };
  const Case kScreens[] = {
      {"240x320", true, 240, 320}, {"640x480", true, 640, 480}, {"0x320", false, 0, 0}, {"240x", false, 0, 0},
      {"240*320", false, 0, 0},    {"99999x1", false, 0, 0},    {"-1x5", false, 0, 0},  {"240x320x", false, 0, 0},
  };
  for (const auto& c : kScreens) {
    SCOPED_TRACE(c.text);
    int w = 0, h = 0;
    EXPECT_EQ(parseScreenSize(c.text, w, h), c.ok);
    if (c.ok) {
      EXPECT_EQ(w, c.width);
      EXPECT_EQ(h, c.height);
    }
  }
  DeviceConfig config;
  EXPECT_TRUE(parseOsVersion("5.1", config));
  EXPECT_EQ(config.osBuild, 0u);
  for (const char* bad : {"5", "5.", "a.b", "5.1.2.3", ""}) EXPECT_FALSE(parseOsVersion(bad, config)) << bad;
}

TEST(Device, StartTakesItsOptionsOutOfTheCommandLine) {
  TempDir scratch;
  std::string folder = (scratch / "dev").string(), card = scratch.path().string();
  std::string arguments[] = {"player", "--device", folder, "movie.swf", "--card", card, "--other"};
  char* argv[8];
  for (int i = 0; i < 7; ++i) argv[i] = arguments[i].data();
  argv[7] = nullptr;
  int argc = 7;
  std::string error;
  auto previous = exchangeCurrentDevice(nullptr);
  ASSERT_TRUE(startDevice(argc, argv, error)) << error;
  ASSERT_EQ(argc, 3);
  EXPECT_STREQ(argv[1], "movie.swf");
  EXPECT_STREQ(argv[2], "--other");
  EXPECT_EQ(argv[3], nullptr);
  ASSERT_NE(currentDevice(), nullptr);
  EXPECT_EQ(currentDevice()->root(), fs::canonical(folder));
  EXPECT_EQ(GetFileAttributesW(u"\\Storage Card\\dev"), FILE_ATTRIBUTE_DIRECTORY);

  char* missingValue[] = {arguments[0].data(), arguments[1].data(), nullptr};
  int two = 2;
  EXPECT_FALSE(startDevice(two, missingValue, error));
  exchangeCurrentDevice(std::move(previous));
}

TEST(Device, WithoutADeviceCallsFailCleanly) {
  auto previous = exchangeCurrentDevice(nullptr);
  EXPECT_EQ(currentDevice(), nullptr);
  EXPECT_EQ(GetFileAttributesW(u"\\My Documents"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetACP(), 1252u);
  exchangeCurrentDevice(std::move(previous));
}

TEST(DeviceTool, MakesShowsAndPrintsDevices) {
  const char* binaries = std::getenv("ORVEL_BINARY_DIR");
  if (!binaries) GTEST_SKIP() << "ORVEL_BINARY_DIR is not set";
  std::string tool = std::string(binaries) + "/tools/device/device";
  TempDir scratch;
  std::string folder = (scratch / "dev").string();
  auto run = [&](const std::string& arguments, const char* output) {
    return std::system((tool + " " + arguments + " > " + (scratch / output).string() + " 2>&1").c_str());
  };
  EXPECT_EQ(run("create " + folder + " --acp 949 --screen 320x240", "create.txt"), 0);
  EXPECT_NE(run("create " + folder, "again.txt"), 0);
  EXPECT_NE(run("create " + (scratch / "bad").string() + " --acp 65001", "bad.txt"), 0);
  EXPECT_EQ(run("info " + folder, "info.txt"), 0);
  std::string info = readHostFile(scratch / "info.txt");
  EXPECT_NE(info.find("ansi code page: 949"), std::string::npos) << info;
  EXPECT_NE(info.find("screen: 320x240"), std::string::npos) << info;
  EXPECT_EQ(run("reg " + folder, "reg.txt"), 0);
  EXPECT_NE(readHostFile(scratch / "reg.txt").find("\"BodyCharset\"=sz:\"ks_c_5601-1987\""), std::string::npos);
  EXPECT_NE(run("info " + (scratch / "nothing").string(), "none.txt"), 0);
  EXPECT_FALSE(fs::exists(scratch / "nothing"));  // info never makes a device
}

// New devices carry what the build's list names, and only rows that make sense.
TEST(Device, BuiltInServersComeFromTheListedRows) {
  TempDir scratch;
  writeHostFile(scratch / "server.dll", "library");
  std::string good = "{11111111-2222-3333-4444-555555555555}|Probe.Probe|Probe Object|\\Windows\\Probe.dll|" +
                     (scratch / "server.dll").string();
  writeHostFile(scratch / "list.txt", good + "\n" +
                                          "{22222222-2222-3333-4444-555555555555}|Short|Row\n"  // four fields
                                          "|NoClass.Id|No CLSID|\\Windows\\x.dll|/x\n"          // empty CLSID
                                          "\n");
  setenv("ORVELFLASH_BUILTINS", (scratch / "list.txt").c_str(), 1);
  std::vector<BuiltinServer> listed = builtinServers();
  ASSERT_EQ(listed.size(), 1u);
  {
    DeviceConfig bare;  // a device for drawing skins only
    bare.installPrograms = false;
    TestDevice withoutPrograms(bare);
    EXPECT_FALSE(builtinServerInstalled(withoutPrograms.device(), listed[0]));
    EXPECT_FALSE(fs::exists(withoutPrograms.host("Windows/Probe.dll")));
    EXPECT_FALSE(browserInstalled(withoutPrograms.device()));
  }
  TestDevice device;
  unsetenv("ORVELFLASH_BUILTINS");
  EXPECT_EQ(listed[0].progId, u"Probe.Probe");
  EXPECT_TRUE(builtinServerInstalled(device.device(), listed[0]));  // the new device got it
  EXPECT_TRUE(fs::exists(device.host("Windows/Probe.dll")));
  std::string error;
  ASSERT_TRUE(removeBuiltinServer(device.device(), listed[0], error)) << error;
  EXPECT_FALSE(builtinServerInstalled(device.device(), listed[0]));
  EXPECT_FALSE(fs::exists(device.host("Windows/Probe.dll")));

  listed[0].hostFile = scratch / "missing.dll";
  EXPECT_FALSE(installBuiltinServer(device.device(), listed[0], error));
  EXPECT_NE(error.find("is missing"), std::string::npos) << error;
  EXPECT_FALSE(builtinServerInstalled(device.device(), listed[0]));  // nothing registered on failure
}
