#include "platform/display/drop.h"

#include <cstdio>
#include <filesystem>

#include "platform/core/callrecord.h"
#include "platform/core/device.h"
#include "platform/core/shellapi.h"
#include "platform/core/utf8.h"
#include "platform/core/wcrt.h"
#include "platform/core/winbase.h"

namespace display {
namespace {

namespace fs = std::filesystem;

constexpr char16_t kSkinFolder[] = u"\\My Documents";

bool hasExtension(const fs::path& path, const char* extension) {
  std::u16string ext = fromUtf8(path.extension().string());
  return _wcsicmp(ext.c_str(), fromUtf8(extension).c_str()) == 0;
}

// The device path that reaches a host file: its own when it lies on the
// device, else the file on the storage card, its folder inserted for every
// process of the device.
bool reachOnDevice(Device& device, const fs::path& file, std::u16string& path, std::string& error) {
  std::error_code ec;
  fs::path relative = file.lexically_relative(device.root());
  if (!relative.empty() && *relative.begin() != ".." && *relative.begin() != Device::kStateFolderName) {
    path.clear();
    for (const auto& part : relative) path += u"\\" + fromUtf8(part.string());
    return true;
  }
  if (!device.insertStorageCard(file.parent_path(), error)) return false;
  path = u"\\" + std::u16string(Device::kStorageCardName) + u"\\" + fromUtf8(file.filename().string());
  return true;
}

bool openMovie(Device& device, const fs::path& file, std::string& said) {
  std::u16string path;
  if (!reachOnDevice(device, file, path, said)) return false;
  SHELLEXECUTEINFO info{};
  info.cbSize = sizeof info;
  info.lpVerb = u"open";
  info.lpFile = path.c_str();
  if (!ShellExecuteEx(&info)) {
    said = "cannot open " + toUtf8(path) + " (device error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  said = "opened " + toUtf8(path);
  return true;
}

bool addSkinPackage(Device& device, const fs::path& file, std::string& said) {
  std::u16string target = std::u16string(kSkinFolder) + u"\\" + fromUtf8(file.filename().string());
  fs::path host;
  std::error_code ec;
  if (device.hostPathOf(target, host) != 0 || !fs::copy_file(file, host, fs::copy_options::overwrite_existing, ec)) {
    said = "cannot put " + file.filename().string() + " onto the device" + (ec ? ": " + ec.message() : "");
    return false;
  }
  said = "put " + file.filename().string() + " onto the device as " + toUtf8(target) + "; \"Skin Options...\" lists it";
  return true;
}

bool handleDrop(const std::string& hostPath, std::string& said) {
  std::error_code ec;
  fs::path file = fs::canonical(hostPath, ec);
  if (ec || !fs::is_regular_file(file, ec)) {
    said = hostPath + " is not a file";
    return false;
  }
  Device* device = currentDevice();
  if (!device) {
    said = "no device";
    return false;
  }
  if (hasExtension(file, ".swf")) return openMovie(*device, file, said);
  if (hasExtension(file, ".zskn")) return addSkinPackage(*device, file, said);
  said = file.filename().string() + " is neither a movie (.swf) nor a skin package (.zskn): left where it is";
  return false;
}

}  // namespace

bool dropHostFile(const std::string& hostPath, std::string& said) {
  bool done = handleDrop(hostPath, said);
  // The user dropped it on the desktop window: the terminal that started it hears what became of it.
  std::printf("OrvelFlash: dropped %s: %s\n", hostPath.c_str(), said.c_str());
  std::fflush(stdout);
  wm::recordCall("drops", hostPath + ": " + said);
  return done;
}

}  // namespace display
