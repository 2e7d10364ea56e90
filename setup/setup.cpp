// OrvelFlashSetup.dll: the installer's hook. Installing registers the
// installed player as the handler of ".swf" files with the same routine the
// player's "Settings" dialog uses; removing leaves that registration alone.
#include <string>

#include "app/filetype.h"
#include "platform/core/wcrt.h"
#include "platform/installer/ce_setup.h"

namespace {

// As much of the folder as the player's own command buffer takes.
constexpr size_t kFolderChars = 258;
constexpr WCHAR kProgramName[] = u"\\OrvelFlash.exe";
constexpr int kDocumentIcon = -108;

// Written by hand rather than formatted: the library resolves nothing from
// the device beyond the registry calls and the runtime's string calls.
std::u16string asciiNumber(int value) {
  std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

SETUP_API codeINSTALL_INIT Install_Init(HWND, BOOL, BOOL, LPCTSTR installFolder) {
  if (!installFolder) return codeINSTALL_INIT_CONTINUE;
  std::u16string folder(installFolder, wcslenW(installFolder));
  std::u16string command = u"\"" + folder.substr(0, kFolderChars) + kProgramName + u"\" %1";
  std::u16string icon = folder + kProgramName + u", " + asciiNumber(kDocumentIcon);
  registerFileType(u".swf", command.c_str(), u"ShockwaveFlash.ShockwaveFlash", icon.c_str());
  return codeINSTALL_INIT_CONTINUE;
}

SETUP_API codeINSTALL_EXIT Install_Exit(HWND, LPCTSTR, unsigned, unsigned, unsigned, unsigned, unsigned) {
  return codeINSTALL_EXIT_DONE;
}

SETUP_API codeUNINSTALL_INIT Uninstall_Init(HWND, LPCTSTR) { return codeUNINSTALL_INIT_CONTINUE; }

SETUP_API codeUNINSTALL_EXIT Uninstall_Exit(HWND) { return codeUNINSTALL_EXIT_DONE; }
