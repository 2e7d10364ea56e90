#pragma once
// The device's application installer: copies an application's files into an
// installation folder of the current device and calls its setup library
// (ce_setup.h) around that, as the device's installer does with a package;
// removing calls the library again and deletes the files.
//
// Either the whole installation or removal happens, or the device is left as
// it was (files, folders and registry) and the answer says why. What was
// installed is kept under HKEY_LOCAL_MACHINE\Software\Apps\<name>.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::u16string_view kDefaultInstallFolder = u"\\Program Files\\OrvelFlash";
inline constexpr std::u16string_view kDefaultApplicationName = u"OrvelFlash";

struct InstallPackage {
  std::u16string name{kDefaultApplicationName};  // the application's entry in the installed list
  std::vector<std::filesystem::path> files;      // host files, installed under their own names
  std::u16string setupLibrary;                   // the file name of one of `files`, or empty for none
};

struct InstalledApplication {
  std::u16string folder;
  std::vector<std::u16string> files;
  std::u16string setupLibrary;
};

// Installs `package` into the device folder `folder` (made when missing).
// Installing again into the same folder replaces the files.
bool installApplication(const InstallPackage& package, std::u16string_view folder, std::string& error);
// Removes the application installed under `name`.
bool uninstallApplication(std::u16string_view name, std::string& error);
std::optional<InstalledApplication> findInstalledApplication(std::u16string_view name);
