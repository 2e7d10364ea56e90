#include "platform/installer/installer.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>

#include "platform/core/device.h"
#include "platform/core/regkey.h"
#include "platform/core/registry.h"
#include "platform/core/utf8.h"
#include "platform/core/wcrt.h"
#include "platform/core/winbase.h"
#include "platform/core/winreg.h"
#include "platform/installer/ce_setup.h"

namespace fs = std::filesystem;

namespace {

constexpr WCHAR kAppsKey[] = u"Software\\Apps\\";
constexpr WCHAR kFolderValue[] = u"InstallDir";
constexpr WCHAR kInstalledValue[] = u"Instl";
constexpr WCHAR kFilesValue[] = u"Files";
constexpr WCHAR kSetupValue[] = u"SetupLibrary";

std::string narrow(std::u16string_view text) { return toUtf8(text); }

bool sameName(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && _wcsnicmp(a.data(), b.data(), a.size()) == 0;
}

// ---- the setup library

class SetupLibrary {
 public:
  SetupLibrary() = default;
  ~SetupLibrary() {
    if (m_handle) dlclose(m_handle);
  }
  SetupLibrary(const SetupLibrary&) = delete;
  SetupLibrary& operator=(const SetupLibrary&) = delete;

  // Loads the library and finds all four exports; a library missing one is
  // refused before anything on the device changes.
  bool load(const fs::path& hostFile, const std::string& name, std::string& error) {
    m_handle = dlopen(hostFile.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
      const char* reason = dlerror();
      error = "cannot load the setup library " + name + ": " + (reason ? reason : "unknown reason");
      return false;
    }
    return resolve(kInstallInitName, installInit, name, error) && resolve(kInstallExitName, installExit, name, error) &&
           resolve(kUninstallInitName, uninstallInit, name, error) &&
           resolve(kUninstallExitName, uninstallExit, name, error);
  }

  pfnINSTALL_INIT installInit = nullptr;
  pfnINSTALL_EXIT installExit = nullptr;
  pfnUNINSTALL_INIT uninstallInit = nullptr;
  pfnUNINSTALL_EXIT uninstallExit = nullptr;

 private:
  template <class F>
  bool resolve(const char* symbol, F& function, const std::string& name, std::string& error) {
    function = reinterpret_cast<F>(dlsym(m_handle, symbol));
    if (!function) error = "the setup library " + name + " does not export " + symbol;
    return function != nullptr;
  }

  void* m_handle = nullptr;
};

std::string refusal(const std::string& library, const char* call, int answer, const char* what) {
  return "the setup library " + library + " answered " + std::to_string(answer) + " to " + call + ": " + what +
         " stopped, nothing changed";
}

// ---- the registry as it was

// The whole registry in its text form, put back when an installation fails
// after the setup library may have changed it.
class RegistrySnapshot {
 public:
  explicit RegistrySnapshot(RegistryStore& store) : m_store(store) {
    m_store.read([&](const RegTree& tree) -> LONG {
      m_text = formatRegistry(tree);
      return ERROR_SUCCESS;
    });
  }
  void restore() {
    m_store.modify([&](RegTree& tree, bool& changed) -> LONG {
      RegTree before;
      std::string error;
      if (!parseRegistry(m_text, before, error)) return ERROR_CANTREAD;
      tree = std::move(before);
      changed = true;
      return ERROR_SUCCESS;
    });
  }

 private:
  RegistryStore& m_store;
  std::string m_text;
};

// ---- files and folders, undone on failure

class FileChanges {
 public:
  explicit FileChanges(Device& device) : m_device(device) {}
  ~FileChanges() { discardBackups(); }
  FileChanges(const FileChanges&) = delete;
  FileChanges& operator=(const FileChanges&) = delete;

  // Makes every missing folder of `folder`, remembering the ones it made.
  bool makeFolders(std::u16string_view folder, std::string& error) {
    std::u16string path;
    size_t at = 0;
    while (at < folder.size()) {
      size_t end = folder.find_first_of(u"\\/", at);
      if (end == std::u16string_view::npos) end = folder.size();
      if (end > at) {
        path += u'\\';
        path += folder.substr(at, end - at);
        if (!makeFolder(path, error)) return false;
      }
      at = end + 1;
    }
    return true;
  }

  bool copyInto(const fs::path& source, const std::u16string& target, std::string& error) {
    fs::path host;
    if (DWORD status = m_device.hostPathOf(target, host); status != ERROR_SUCCESS) {
      error = "cannot install " + narrow(target) + " (device error " + std::to_string(status) + ")";
      return false;
    }
    std::error_code ec;
    if (fs::exists(host, ec)) {
      if (!backUp(host, error)) return false;
    } else {
      m_madeFiles.push_back(host);
    }
    fs::copy_file(source, host, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::permissions(host, fs::status(source, ec).permissions(), ec);
    if (ec) {
      error = "cannot copy " + source.string() + " to " + narrow(target) + ": " + ec.message();
      return false;
    }
    return true;
  }

  void undo() {
    std::error_code ec;
    for (auto it = m_madeFiles.rbegin(); it != m_madeFiles.rend(); ++it) fs::remove(*it, ec);
    for (auto& [original, copy] : m_backups) fs::copy_file(copy, original, fs::copy_options::overwrite_existing, ec);
    for (auto it = m_madeFolders.rbegin(); it != m_madeFolders.rend(); ++it) RemoveDirectoryW(it->c_str());
    m_madeFiles.clear();
    m_madeFolders.clear();
  }

 private:
  bool makeFolder(const std::u16string& path, std::string& error) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      if (attributes & FILE_ATTRIBUTE_DIRECTORY) return true;
      error = narrow(path) + " is a file, not a folder";
      return false;
    }
    if (!CreateDirectoryW(path.c_str(), nullptr)) {
      error = "cannot make the folder " + narrow(path) + " (device error " + std::to_string(GetLastError()) + ")";
      return false;
    }
    m_madeFolders.push_back(path);
    return true;
  }

  bool backUp(const fs::path& host, std::string& error) {
    std::error_code ec;
    if (m_backupFolder.empty()) {
      m_backupFolder = m_device.stateFolder() / ("install-backup-" + std::to_string(getpid()));
      fs::create_directories(m_backupFolder, ec);
    }
    fs::path copy = m_backupFolder / std::to_string(m_backups.size());
    fs::copy_file(host, copy, fs::copy_options::overwrite_existing, ec);
    if (ec) {
      error = "cannot keep a copy of " + host.string() + ": " + ec.message();
      return false;
    }
    m_backups.emplace_back(host, copy);
    return true;
  }

  void discardBackups() {
    std::error_code ec;
    if (!m_backupFolder.empty()) fs::remove_all(m_backupFolder, ec);
  }

  Device& m_device;
  std::vector<std::u16string> m_madeFolders;
  std::vector<fs::path> m_madeFiles;
  std::vector<std::pair<fs::path, fs::path>> m_backups;
  fs::path m_backupFolder;
};

// ---- the record of what is installed

std::u16string recordKey(std::u16string_view name) { return kAppsKey + std::u16string(name); }

std::optional<std::vector<BYTE>> readValue(HKEY key, LPCWSTR name, DWORD expectedType) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != expectedType)
    return std::nullopt;
  std::vector<BYTE> data(size);
  if (RegQueryValueExW(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return std::nullopt;
  data.resize(size);
  return data;
}

std::vector<std::u16string> splitStrings(const std::vector<BYTE>& data) {
  std::u16string all(data.size() / 2, u'\0');
  std::copy_n(data.data(), all.size() * 2, reinterpret_cast<BYTE*>(all.data()));
  std::vector<std::u16string> strings;
  for (size_t at = 0; at < all.size();) {
    size_t end = all.find(u'\0', at);
    if (end == std::u16string::npos) end = all.size();
    if (end > at) strings.push_back(all.substr(at, end - at));
    at = end + 1;
  }
  return strings;
}

std::u16string firstString(const std::vector<BYTE>& data) {
  auto strings = splitStrings(data);
  return strings.empty() ? std::u16string() : strings.front();
}

LONG setBytes(HKEY key, LPCWSTR name, DWORD type, const std::u16string& text) {
  return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.data()),
                        static_cast<DWORD>(text.size() * 2));
}

bool writeRecord(std::u16string_view name, const InstalledApplication& app) {
  RegKeyHandle key;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, recordKey(name).c_str(), 0, nullptr, 0, 0, nullptr, key.out(),
                      &disposition) != ERROR_SUCCESS)
    return false;
  std::u16string files;
  for (const auto& file : app.files) files += file + u'\0';
  files += u'\0';
  DWORD installed = 1;
  return setBytes(key, kFolderValue, REG_SZ, app.folder + u'\0') == ERROR_SUCCESS &&
         RegSetValueExW(key, kInstalledValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&installed),
                        sizeof installed) == ERROR_SUCCESS &&
         setBytes(key, kFilesValue, REG_MULTI_SZ, files) == ERROR_SUCCESS &&
         setBytes(key, kSetupValue, REG_SZ, app.setupLibrary + u'\0') == ERROR_SUCCESS;
}

// "\Program Files\OrvelFlash\" and "Program Files/OrvelFlash" both name
// "\Program Files\OrvelFlash".
std::u16string canonicalFolder(std::u16string_view folder) {
  std::u16string path(folder);
  std::replace(path.begin(), path.end(), u'/', u'\\');
  while (!path.empty() && path.back() == u'\\') path.pop_back();
  if (path.empty() || path.front() != u'\\') path.insert(path.begin(), u'\\');
  return path;
}

std::u16string inFolder(const std::u16string& folder, std::u16string_view name) {
  return (folder == u"\\" ? folder : folder + u'\\') + std::u16string(name);
}

bool checkPackage(const InstallPackage& package, std::vector<std::u16string>& names, fs::path& setupFile,
                  std::string& error) {
  if (package.files.empty()) {
    error = "the package has no files";
    return false;
  }
  for (const fs::path& file : package.files) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
      error = "the package file " + file.string() + " is missing";
      return false;
    }
    names.push_back(fromUtf8(file.filename().string()));
    if (!package.setupLibrary.empty() && sameName(names.back(), package.setupLibrary)) setupFile = file;
  }
  if (!package.setupLibrary.empty() && setupFile.empty()) {
    error = "the setup library " + narrow(package.setupLibrary) + " is not among the package's files";
    return false;
  }
  return true;
}

}  // namespace

std::optional<InstalledApplication> findInstalledApplication(std::u16string_view name) {
  RegKeyHandle key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, recordKey(name).c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS)
    return std::nullopt;
  auto folder = readValue(key, kFolderValue, REG_SZ);
  if (!folder) return std::nullopt;
  InstalledApplication app;
  app.folder = firstString(*folder);
  if (auto files = readValue(key, kFilesValue, REG_MULTI_SZ)) app.files = splitStrings(*files);
  if (auto setup = readValue(key, kSetupValue, REG_SZ)) app.setupLibrary = firstString(*setup);
  return app;
}

bool installApplication(const InstallPackage& package, std::u16string_view folderAsked, std::string& error) {
  Device* device = currentDevice();
  if (!device) {
    error = "no device";
    return false;
  }
  const std::u16string folder = canonicalFolder(folderAsked);
  InstalledApplication app{folder, {}, package.setupLibrary};
  fs::path setupFile;
  if (!checkPackage(package, app.files, setupFile, error)) return false;
  const auto previous = findInstalledApplication(package.name);
  if (previous && !sameName(previous->folder, folder)) {
    error = narrow(package.name) + " is already installed in " + narrow(previous->folder) + ": remove it first";
    return false;
  }

  SetupLibrary setup;
  const std::string setupName = narrow(package.setupLibrary);
  if (!setupFile.empty() && !setup.load(setupFile, setupName, error)) return false;

  RegistrySnapshot registry(device->registry());
  FileChanges files(*device);
  auto undo = [&] {
    files.undo();
    registry.restore();
    return false;
  };
  if (setup.installInit) {
    int answer = setup.installInit(nullptr, TRUE, previous ? TRUE : FALSE, folder.c_str());
    if (answer != codeINSTALL_INIT_CONTINUE) {
      error = refusal(setupName, kInstallInitName, answer, "installation");
      return undo();
    }
  }
  if (!files.makeFolders(folder, error)) return undo();
  for (size_t i = 0; i < package.files.size(); ++i)
    if (!files.copyInto(package.files[i], inFolder(folder, app.files[i]), error)) return undo();
  if (setup.installExit) {
    int answer = setup.installExit(nullptr, folder.c_str(), 0, 0, 0, 0, 0);
    if (answer != codeINSTALL_EXIT_DONE) {
      error = refusal(setupName, kInstallExitName, answer, "installation");
      return undo();
    }
  }
  if (!writeRecord(package.name, app)) {
    error = "cannot record the installation in the registry";
    return undo();
  }
  return true;
}

bool uninstallApplication(std::u16string_view name, std::string& error) {
  Device* device = currentDevice();
  const auto app = findInstalledApplication(name);
  if (!device || !app) {
    error = narrow(name) + " is not installed";
    return false;
  }
  SetupLibrary setup;
  const std::string setupName = narrow(app->setupLibrary);
  if (!app->setupLibrary.empty()) {
    fs::path host;
    if (device->hostPathOf(inFolder(app->folder, app->setupLibrary), host) != ERROR_SUCCESS ||
        !setup.load(host, setupName, error)) {
      if (error.empty()) error = "the setup library " + setupName + " is missing";
      return false;
    }
    int answer = setup.uninstallInit(nullptr, app->folder.c_str());
    if (answer != codeUNINSTALL_INIT_CONTINUE) {
      error = refusal(setupName, kUninstallInitName, answer, "removal");
      return false;
    }
  }
  for (const auto& file : app->files) {
    std::u16string path = inFolder(app->folder, file);
    if (!DeleteFileW(path.c_str()) && GetLastError() != static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) {
      error = "cannot delete " + narrow(path) + " (device error " + std::to_string(GetLastError()) + ")";
      return false;
    }
  }
  // Only an emptied installation folder goes; the folders above it may hold other things.
  RemoveDirectoryW(app->folder.c_str());
  if (setup.uninstallExit) setup.uninstallExit(nullptr);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, recordKey(name).c_str());
  return true;
}
