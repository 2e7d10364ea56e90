// Setup libraries that misbehave in one way each, chosen when built:
// ANSWER_INSTALL_INIT / ANSWER_INSTALL_EXIT / ANSWER_UNINSTALL_INIT give that
// call's answer, WITHOUT_UNINSTALL_EXIT leaves that export out. Every call is
// logged to the host file named by ORVEL_SETUP_LOG, and Install_Init writes a
// registry key first, so a refused installation has something to undo.
// Each line ends with 1 when the library's own file is in the folder.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/core/winbase.h"
#include "platform/core/winreg.h"
#include "platform/installer/ce_setup.h"

#ifndef ANSWER_INSTALL_INIT
#define ANSWER_INSTALL_INIT 0
#endif
#ifndef ANSWER_INSTALL_EXIT
#define ANSWER_INSTALL_EXIT 0
#endif
#ifndef ANSWER_UNINSTALL_INIT
#define ANSWER_UNINSTALL_INIT 0
#endif

namespace {

std::u16string g_folder;

void log(const char* call, int a = -1, int b = -1) {
  const char* file = std::getenv("ORVEL_SETUP_LOG");
  if (!file) return;
  std::u16string self = g_folder + u"\\TestSetup.dll";
  int installed = GetFileAttributesW(self.c_str()) != INVALID_FILE_ATTRIBUTES ? 1 : 0;
  if (FILE* out = std::fopen(file, "a")) {
    std::fprintf(out, "%s %d %d %d\n", call, a, b, installed);
    std::fclose(out);
  }
}

}  // namespace

SETUP_API codeINSTALL_INIT Install_Init(HWND, BOOL firstCall, BOOL previouslyInstalled, LPCTSTR folder) {
  g_folder = folder;
  log("Install_Init", firstCall, previouslyInstalled);
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, u"TestSetup.Touched", 0, nullptr, 0, 0, nullptr, &key, &disposition) == 0)
    RegCloseKey(key);
  return static_cast<codeINSTALL_INIT>(ANSWER_INSTALL_INIT);
}

SETUP_API codeINSTALL_EXIT Install_Exit(HWND, LPCTSTR, unsigned failedDirs, unsigned failedFiles, unsigned, unsigned,
                                        unsigned) {
  log("Install_Exit", static_cast<int>(failedDirs), static_cast<int>(failedFiles));
  return static_cast<codeINSTALL_EXIT>(ANSWER_INSTALL_EXIT);
}

SETUP_API codeUNINSTALL_INIT Uninstall_Init(HWND, LPCTSTR folder) {
  g_folder = folder;
  log("Uninstall_Init");
  return static_cast<codeUNINSTALL_INIT>(ANSWER_UNINSTALL_INIT);
}

#ifndef WITHOUT_UNINSTALL_EXIT
SETUP_API codeUNINSTALL_EXIT Uninstall_Exit(HWND) {
  log("Uninstall_Exit");
  return codeUNINSTALL_EXIT_DONE;
}
#endif
