#include "platform/core/builtins.h"

#include <cstdlib>

#include "platform/core/device.h"
#include "platform/core/registry.h"

namespace fs = std::filesystem;

namespace {

constexpr DWORD kRegSz = 1;
constexpr char16_t kClassName[] = u"Shockwave Flash Object";

std::vector<BYTE> stringValue(std::u16string_view text) {
  std::vector<BYTE> data((text.size() + 1) * 2, 0);
  for (size_t i = 0; i < text.size(); ++i) {
    data[2 * i] = static_cast<BYTE>(text[i] & 0xFF);
    data[2 * i + 1] = static_cast<BYTE>(text[i] >> 8);
  }
  return data;
}

RegKey& makeKey(RegKey& from, std::initializer_list<std::u16string_view> names) {
  RegKey* key = &from;
  bool created;
  for (auto name : names) key = &key->subkey(name, created);
  return *key;
}

void registerClass(RegTree& tree) {
  RegKey& root = tree.root(RegRoot::ClassesRoot);
  RegKey& cls = makeKey(root, {u"CLSID", kFlashControlClsid});
  cls.setValue(u"", kRegSz, stringValue(kClassName));
  RegKey& server = makeKey(cls, {u"InprocServer32"});
  server.setValue(u"", kRegSz, stringValue(kFlashControlDevicePath));
  server.setValue(u"ThreadingModel", kRegSz, stringValue(u"Apartment"));
  makeKey(cls, {u"ProgID"}).setValue(u"", kRegSz, stringValue(kFlashControlProgId));
  RegKey& progId = makeKey(root, {kFlashControlProgId});
  progId.setValue(u"", kRegSz, stringValue(kClassName));
  makeKey(progId, {u"CLSID"}).setValue(u"", kRegSz, stringValue(kFlashControlClsid));
}

bool unregisterClass(RegTree& tree) {
  RegKey& root = tree.root(RegRoot::ClassesRoot);
  bool removed = root.removeSubkey(kFlashControlProgId);
  if (RegKey* classes = root.findSubkey(u"CLSID")) removed = classes->removeSubkey(kFlashControlClsid) || removed;
  return removed;
}

// A hard link where the file system allows it: the same file for every device
// made from one build, so that a process loads it once.
bool placeFile(const fs::path& from, const fs::path& to, const char* what, std::string& error) {
  std::error_code ec;
  fs::remove(to, ec);
  fs::create_hard_link(from, to, ec);
  if (ec) fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  if (ec) error = std::string("cannot put ") + what + " " + from.string() + " on the device: " + ec.message();
  return !ec;
}

// An ordinary file association: each extension names the type, the type
// holds the open command, as any document's does.
void registerPages(RegTree& tree) {
  RegKey& root = tree.root(RegRoot::ClassesRoot);
  for (const char16_t* extension : {u".htm", u".html"})
    makeKey(root, {extension}).setValue(u"", kRegSz, stringValue(kPageFileType));
  RegKey& type = makeKey(root, {kPageFileType});
  type.setValue(u"", kRegSz, stringValue(u"HTML Document"));
  makeKey(type, {u"Shell", u"Open", u"Command"}).setValue(u"", kRegSz, stringValue(kBrowserOpenCommand));
}

// A library or program of this build for the device; false with a message when missing.
bool sourceExists(const fs::path& source, const char* what, std::string& error) {
  std::error_code ec;
  if (!source.empty() && fs::is_regular_file(source, ec)) return true;
  error = std::string(what) + " " + (source.empty() ? std::string("is not known") : source.string() + " is missing");
  return false;
}

}  // namespace

fs::path flashControlSource() {
  if (const char* chosen = std::getenv("ORVELFLASH_FLASH_CONTROL"); chosen && *chosen) return chosen;
#ifdef ORVEL_FLASH_CONTROL_FILE
  return ORVEL_FLASH_CONTROL_FILE;
#else
  return {};
#endif
}

bool installFlashControl(Device& device, std::string& error) {
  fs::path source = flashControlSource();
  if (!sourceExists(source, "the Flash control's library", error)) return false;
  fs::path target;
  if (device.hostPathOf(kFlashControlDevicePath, target) != 0) {
    error = "the device has no \\Windows folder for the Flash control";
    return false;
  }
  if (!placeFile(source, target, "the Flash control", error)) return false;
  LONG result = device.registry().modify([](RegTree& tree, bool& changed) -> LONG {
    registerClass(tree);
    changed = true;
    return ERROR_SUCCESS;
  });
  if (result != ERROR_SUCCESS) error = "cannot write the registry of the device";
  return result == ERROR_SUCCESS;
}

bool removeFlashControl(Device& device, std::string& error) {
  LONG result = device.registry().modify([](RegTree& tree, bool& changed) -> LONG {
    changed = unregisterClass(tree);
    return ERROR_SUCCESS;
  });
  if (result != ERROR_SUCCESS) {
    error = "cannot write the registry of the device";
    return false;
  }
  fs::path target;
  std::error_code ec;
  if (device.hostPathOf(kFlashControlDevicePath, target) == 0) fs::remove(target, ec);
  return true;
}

bool flashControlInstalled(Device& device) {
  bool registered = false;
  device.registry().read([&](const RegTree& tree) -> LONG {
    const RegKey* classes = tree.root(RegRoot::ClassesRoot).findSubkey(u"CLSID");
    const RegKey* cls = classes ? classes->findSubkey(kFlashControlClsid) : nullptr;
    registered =
        cls && cls->findSubkey(u"InprocServer32") && tree.root(RegRoot::ClassesRoot).findSubkey(kFlashControlProgId);
    return ERROR_SUCCESS;
  });
  fs::path target;
  std::error_code ec;
  return registered && device.hostPathOf(kFlashControlDevicePath, target) == 0 && fs::is_regular_file(target, ec);
}

fs::path browserSource() {
  if (const char* chosen = std::getenv("ORVELFLASH_BROWSER"); chosen && *chosen) return chosen;
#ifdef ORVEL_BROWSER_FILE
  return ORVEL_BROWSER_FILE;
#else
  return {};
#endif
}

bool installBrowser(Device& device, std::string& error) {
  fs::path source = browserSource();
  if (!sourceExists(source, "the browser", error)) return false;
  fs::path target;
  if (device.hostPathOf(kBrowserDevicePath, target) != 0) {
    error = "the device has no \\Windows folder for the browser";
    return false;
  }
  if (!placeFile(source, target, "the browser", error)) return false;
  LONG result = device.registry().modify([](RegTree& tree, bool& changed) -> LONG {
    registerPages(tree);
    changed = true;
    return ERROR_SUCCESS;
  });
  if (result != ERROR_SUCCESS) error = "cannot write the registry of the device";
  return result == ERROR_SUCCESS;
}

bool browserInstalled(Device& device) {
  bool registered = false;
  device.registry().read([&](const RegTree& tree) -> LONG {
    const RegKey* type = tree.root(RegRoot::ClassesRoot).findSubkey(kPageFileType);
    const RegKey* command = type ? type->findSubkey(u"Shell") : nullptr;
    command = command ? command->findSubkey(u"Open") : nullptr;
    registered = command && command->findSubkey(u"Command") && tree.root(RegRoot::ClassesRoot).findSubkey(u".htm");
    return ERROR_SUCCESS;
  });
  fs::path target;
  std::error_code ec;
  return registered && device.hostPathOf(kBrowserDevicePath, target) == 0 && fs::is_regular_file(target, ec);
}
