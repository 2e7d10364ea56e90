// The installer: what it copies and records, the order of the setup
// library's calls, and a device left as it was whenever something refuses.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/core/utf8.h"
#include "platform/installer/installer.h"
#include "tests/support/registryread.h"

namespace fs = std::filesystem;

namespace {

const std::u16string kFolder = u"\\Program Files\\Orvel Flash";

// A package of the player's four files, the setup library being `setup`.
class Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    m_log = device.outside("setup.log");
    setenv("ORVEL_SETUP_LOG", m_log.c_str(), 1);
    writeHostFile(device.outside("package/OrvelFlash.exe"), "#!/bin/sh\nexit 0\n");
    fs::permissions(device.outside("package/OrvelFlash.exe"), fs::perms::owner_all);
    writeHostFile(device.outside("package/help.htm"), "<html>help</html>");
    writeHostFile(device.outside("package/default.zskn"), "PK skin");
  }
  void TearDown() override { unsetenv("ORVEL_SETUP_LOG"); }

  InstallPackage package(const fs::path& setup, const char16_t* setupName) const {
    InstallPackage p;
    for (const char* name : {"OrvelFlash.exe", "help.htm", "default.zskn"})
      p.files.push_back(device.outside("package") / name);
    p.files.push_back(setup);
    p.setupLibrary = setupName;
    return p;
  }
  InstallPackage player() const { return package(ORVEL_SETUP_LIBRARY, u"OrvelFlashSetup.dll"); }
  InstallPackage withTestSetup(const char* variant) const {
    return package(fs::path(ORVEL_TEST_SETUP_FOLDER) / variant / "TestSetup.dll", u"TestSetup.dll");
  }
  std::string log() const {
    std::error_code ec;
    return fs::exists(m_log, ec) ? readHostFile(m_log) : "";
  }
  fs::path installed(const char* name) const { return device.host("Program Files/Orvel Flash") / name; }

  TestDevice device;

 private:
  fs::path m_log;
};

TEST_F(Installer, InstallsThePlayerIntoAFolderWithBlanks) {
  std::string error;
  ASSERT_TRUE(installApplication(player(), kFolder, error)) << error;
  for (const char* name : {"OrvelFlash.exe", "help.htm", "default.zskn", "OrvelFlashSetup.dll"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(readHostFile(installed(name)),
              readHostFile(name == std::string("OrvelFlashSetup.dll") ? fs::path(ORVEL_SETUP_LIBRARY)
                                                                      : device.outside("package") / name));
  }
  EXPECT_TRUE((fs::status(installed("OrvelFlash.exe")).permissions() & fs::perms::owner_exec) != fs::perms::none);
  EXPECT_EQ(classesDefault(u"ShockwaveFlash.ShockwaveFlash\\Shell\\Open\\Command"),
            u"\"\\Program Files\\Orvel Flash\\OrvelFlash.exe\" %1");
  auto app = findInstalledApplication(u"OrvelFlash");
  ASSERT_TRUE(app);
  EXPECT_EQ(app->folder, kFolder);
  EXPECT_EQ(app->files,
            (std::vector<std::u16string>{u"OrvelFlash.exe", u"help.htm", u"default.zskn", u"OrvelFlashSetup.dll"}));
}

TEST_F(Installer, CallsTheSetupLibraryAroundTheCopies) {
  std::string error;
  ASSERT_TRUE(installApplication(withTestSetup("logging"), kFolder, error)) << error;
  writeHostFile(device.outside("package/help.htm"), "<html>new help</html>");
  ASSERT_TRUE(installApplication(withTestSetup("logging"), kFolder + u"\\", error)) << error;
  // First call, then previously installed; the files come between Init and Exit.
  EXPECT_EQ(log(),
            "Install_Init 1 0 0\nInstall_Exit 0 0 1\n"
            "Install_Init 1 1 1\nInstall_Exit 0 0 1\n");
  EXPECT_EQ(readHostFile(installed("help.htm")), "<html>new help</html>");

  ASSERT_TRUE(uninstallApplication(u"OrvelFlash", error)) << error;
  EXPECT_EQ(log().substr(log().find("Uninstall")), "Uninstall_Init -1 -1 1\nUninstall_Exit -1 -1 0\n");
  EXPECT_FALSE(fs::exists(device.host("Program Files/Orvel Flash")));
  EXPECT_TRUE(fs::exists(device.host("Program Files")));
  EXPECT_FALSE(findInstalledApplication(u"OrvelFlash"));
}

TEST_F(Installer, RemovingThePlayerKeepsItsRegistration) {
  std::string error;
  ASSERT_TRUE(installApplication(player(), kFolder, error)) << error;
  ASSERT_TRUE(uninstallApplication(u"OrvelFlash", error)) << error;
  EXPECT_FALSE(fs::exists(installed("OrvelFlash.exe")));
  EXPECT_EQ(classesDefault(u"ShockwaveFlash.ShockwaveFlash\\Shell\\Open\\Command"),
            u"\"\\Program Files\\Orvel Flash\\OrvelFlash.exe\" %1");
}

struct RefusalCase {
  const char* label;
  const char* variant;  // test setup library, or null for a package file that is missing
  const char* message;  // part of the answer
  const char* log;      // the calls made
};

TEST_F(Installer, ARefusedInstallationLeavesTheDeviceAsItWas) {
  const RefusalCase cases[] = {
      {"Install_Init answers 1", "cancelling", "answered 1 to Install_Init", "Install_Init 1 0 0\n"},
      {"Install_Exit answers 1", "undoing", "answered 1 to Install_Exit", "Install_Init 1 0 0\nInstall_Exit 0 0 1\n"},
      {"an export is missing", "incomplete", "does not export Uninstall_Exit", ""},
      {"a package file is missing", nullptr, "is missing", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    TestDevice fresh;
    fs::remove(device.outside("setup.log"));
    const std::string registryBefore = registryText(fresh);
    InstallPackage p = withTestSetup(c.variant ? c.variant : "logging");
    if (!c.variant) p.files.push_back(device.outside("package/absent.txt"));
    std::string error;
    EXPECT_FALSE(installApplication(p, kFolder, error));
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_EQ(log(), c.log);
    EXPECT_EQ(registryText(fresh), registryBefore);
    EXPECT_FALSE(fs::exists(fresh.host("Program Files/Orvel Flash")));
  }
}

TEST_F(Installer, AFailedReinstallationPutsTheOldFilesBack) {
  std::string error;
  ASSERT_TRUE(installApplication(withTestSetup("logging"), kFolder, error)) << error;
  const std::string registryBefore = registryText(device);
  writeHostFile(device.outside("package/help.htm"), "<html>new help</html>");
  EXPECT_FALSE(installApplication(withTestSetup("undoing"), kFolder, error));
  EXPECT_EQ(readHostFile(installed("help.htm")), "<html>help</html>");
  EXPECT_EQ(readHostFile(installed("TestSetup.dll")),
            readHostFile(fs::path(ORVEL_TEST_SETUP_FOLDER) / "logging" / "TestSetup.dll"));
  EXPECT_EQ(registryText(device), registryBefore);
}

TEST_F(Installer, ARefusedRemovalKeepsEverything) {
  std::string error;
  ASSERT_TRUE(installApplication(withTestSetup("keeping"), kFolder, error)) << error;
  EXPECT_FALSE(uninstallApplication(u"OrvelFlash", error));
  EXPECT_NE(error.find("answered 1 to Uninstall_Init"), std::string::npos) << error;
  EXPECT_TRUE(fs::exists(installed("OrvelFlash.exe")));
  EXPECT_TRUE(findInstalledApplication(u"OrvelFlash"));
}

TEST_F(Installer, RefusesFoldersItCannotUse) {
  std::string error;
  ASSERT_TRUE(installApplication(player(), kFolder, error)) << error;
  EXPECT_FALSE(installApplication(player(), u"\\Storage Card\\Orvel", error));  // installed elsewhere already
  EXPECT_NE(error.find("already installed in \\Program Files\\Orvel Flash"), std::string::npos) << error;
  ASSERT_TRUE(uninstallApplication(u"OrvelFlash", error)) << error;
  const std::string registryBefore = registryText(device);
  EXPECT_FALSE(installApplication(player(), u"\\..\\..\\outside", error));  // leaves the device
  EXPECT_EQ(registryText(device), registryBefore);
  EXPECT_FALSE(fs::exists(device.root().parent_path() / "outside"));
  EXPECT_FALSE(uninstallApplication(u"OrvelFlash", error));
  EXPECT_NE(error.find("is not installed"), std::string::npos) << error;
}

}  // namespace
