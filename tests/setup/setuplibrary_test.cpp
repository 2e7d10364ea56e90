// OrvelFlashSetup.dll as the installer sees it: its exports, and what each
// call does to the registry.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "app/filetype.h"
#include "platform/installer/ce_setup.h"
#include "tests/support/registryread.h"

namespace {

class SetupLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    m_handle = dlopen(ORVEL_SETUP_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(m_handle, nullptr) << dlerror();
    installInit = reinterpret_cast<pfnINSTALL_INIT>(dlsym(m_handle, kInstallInitName));
    installExit = reinterpret_cast<pfnINSTALL_EXIT>(dlsym(m_handle, kInstallExitName));
    uninstallInit = reinterpret_cast<pfnUNINSTALL_INIT>(dlsym(m_handle, kUninstallInitName));
    uninstallExit = reinterpret_cast<pfnUNINSTALL_EXIT>(dlsym(m_handle, kUninstallExitName));
    ASSERT_TRUE(installInit && installExit && uninstallInit && uninstallExit);
  }
  void TearDown() override {
    if (m_handle) dlclose(m_handle);
  }

  TestDevice device;
  pfnINSTALL_INIT installInit = nullptr;
  pfnINSTALL_EXIT installExit = nullptr;
  pfnUNINSTALL_INIT uninstallInit = nullptr;
  pfnUNINSTALL_EXIT uninstallExit = nullptr;

 private:
  void* m_handle = nullptr;
};

std::u16string openCommand() {
  return classesDefault(u"ShockwaveFlash.ShockwaveFlash\\Shell\\Open\\Command").value_or(u"<none>");
}

TEST(SetupLibraryExports, ExactlyTheFourEntryPoints) {
  std::string command = std::string("nm -D --defined-only '") + ORVEL_SETUP_LIBRARY + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> exported;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    char kind = 0, name[256] = {};
    if (std::sscanf(line, "%*s %c %255s", &kind, name) == 2 && kind != 'w' && kind != 'U') exported.insert(name);
  }
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_EQ(exported, (std::set<std::string>{"Install_Exit", "Install_Init", "Uninstall_Exit", "Uninstall_Init"}));
}

TEST_F(SetupLibrary, InstallRegistersTheInstalledProgram) {
  struct Case {
    const char16_t* folder;
    const char16_t* command;
    const char16_t* icon;
  };
  const Case cases[] = {
      {u"\\Program Files\\OrvelFlash", u"\"\\Program Files\\OrvelFlash\\OrvelFlash.exe\" %1",
       u"\\Program Files\\OrvelFlash\\OrvelFlash.exe, -108"},
      // Blanks anywhere: the whole program path stays between the quotes.
      {u"\\Storage Card\\My Players\\Orvel Flash", u"\"\\Storage Card\\My Players\\Orvel Flash\\OrvelFlash.exe\" %1",
       u"\\Storage Card\\My Players\\Orvel Flash\\OrvelFlash.exe, -108"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(toUtf8(c.folder));
    EXPECT_EQ(installInit(nullptr, TRUE, FALSE, c.folder), codeINSTALL_INIT_CONTINUE);
    EXPECT_EQ(classesDefault(u".swf"), u"ShockwaveFlash.ShockwaveFlash");
    EXPECT_EQ(openCommand(), c.command);
    EXPECT_EQ(classesDefault(u"ShockwaveFlash.ShockwaveFlash\\DefaultIcon"), c.icon);
    // The player's own check, with the command its "Settings" dialog builds.
    EXPECT_TRUE(isDefaultPlayer(u".swf", c.command));
  }
}

TEST_F(SetupLibrary, InstallingAgainRewritesTheSameValues) {
  const char16_t* folder = u"\\Program Files\\OrvelFlash";
  ASSERT_EQ(installInit(nullptr, TRUE, FALSE, folder), codeINSTALL_INIT_CONTINUE);
  const std::string first = registryText(device);
  // A later call, and a call for an installation that was there before.
  EXPECT_EQ(installInit(nullptr, FALSE, FALSE, folder), codeINSTALL_INIT_CONTINUE);
  EXPECT_EQ(registryText(device), first);
  EXPECT_EQ(installInit(nullptr, TRUE, TRUE, folder), codeINSTALL_INIT_CONTINUE);
  EXPECT_EQ(registryText(device), first);
}

TEST_F(SetupLibrary, RemovalLeavesTheRegistration) {
  const char16_t* folder = u"\\Program Files\\OrvelFlash";
  ASSERT_EQ(installInit(nullptr, TRUE, FALSE, folder), codeINSTALL_INIT_CONTINUE);
  EXPECT_EQ(installExit(nullptr, folder, 0, 0, 0, 0, 0), codeINSTALL_EXIT_DONE);
  const std::string installed = registryText(device);
  EXPECT_EQ(uninstallInit(nullptr, folder), codeUNINSTALL_INIT_CONTINUE);
  EXPECT_EQ(uninstallExit(nullptr), codeUNINSTALL_EXIT_DONE);
  EXPECT_EQ(registryText(device), installed);
}

TEST_F(SetupLibrary, ALongFolderIsCutInTheCommand) {
  const std::u16string folder = u"\\" + std::u16string(299, u'f');
  ASSERT_EQ(installInit(nullptr, TRUE, FALSE, folder.c_str()), codeINSTALL_INIT_CONTINUE);
  EXPECT_EQ(openCommand(), u"\"" + folder.substr(0, 258) + u"\\OrvelFlash.exe\" %1");
  EXPECT_EQ(classesDefault(u"ShockwaveFlash.ShockwaveFlash\\DefaultIcon"), folder + u"\\OrvelFlash.exe, -108");
}

}  // namespace
