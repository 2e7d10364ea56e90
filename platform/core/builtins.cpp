#include "platform/core/builtins.h"

#include <cstdlib>
#include <fstream>

#include "platform/core/device.h"
#include "platform/core/registry.h"

namespace fs = std::filesystem;

namespace {

constexpr DWORD kRegSz = 1;
constexpr char kFieldSeparator = '|';

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

void registerClass(RegTree& tree, const BuiltinServer& s) {
  RegKey& root = tree.root(RegRoot::ClassesRoot);
  RegKey& cls = makeKey(root, {u"CLSID", s.clsid});
  cls.setValue(u"", kRegSz, stringValue(s.className));
  RegKey& server = makeKey(cls, {u"InprocServer32"});
  server.setValue(u"", kRegSz, stringValue(s.devicePath));
  server.setValue(u"ThreadingModel", kRegSz, stringValue(u"Apartment"));
  makeKey(cls, {u"ProgID"}).setValue(u"", kRegSz, stringValue(s.progId));
  RegKey& progId = makeKey(root, {s.progId});
  progId.setValue(u"", kRegSz, stringValue(s.className));
  makeKey(progId, {u"CLSID"}).setValue(u"", kRegSz, stringValue(s.clsid));
}

bool unregisterClass(RegTree& tree, const BuiltinServer& s) {
  RegKey& root = tree.root(RegRoot::ClassesRoot);
  bool removed = root.removeSubkey(s.progId);
  if (RegKey* classes = root.findSubkey(u"CLSID")) removed = classes->removeSubkey(s.clsid) || removed;
  return removed;
}

fs::path listFile() {
  if (const char* chosen = std::getenv("ORVELFLASH_BUILTINS"); chosen && *chosen) return chosen;
#ifdef ORVEL_DEVICE_BUILTINS
  return ORVEL_DEVICE_BUILTINS;
#else
  return {};
#endif
}

// The fields are ASCII, as CLSIDs, ProgIDs and device folders of the ROM are.
std::u16string widened(std::string_view text) { return std::u16string(text.begin(), text.end()); }

// A row of five fields; false for anything else.
bool parseRow(std::string_view line, BuiltinServer& server) {
  std::vector<std::string_view> fields;
  for (size_t start = 0;;) {
    size_t end = line.find(kFieldSeparator, start);
    fields.push_back(line.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  if (fields.size() != 5 || fields[0].empty() || fields[3].empty()) return false;
  server = {widened(fields[0]), widened(fields[1]), widened(fields[2]), widened(fields[3]), fs::path(fields[4])};
  return true;
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

std::vector<BuiltinServer> builtinServers() {
  std::vector<BuiltinServer> servers;
  std::ifstream in(listFile());
  BuiltinServer server;
  for (std::string line; std::getline(in, line);)
    if (parseRow(line, server)) servers.push_back(server);
  return servers;
}

bool findBuiltinServer(std::u16string_view clsid, BuiltinServer& server) {
  for (BuiltinServer& listed : builtinServers()) {
    if (listed.clsid != clsid) continue;
    server = std::move(listed);
    return true;
  }
  return false;
}

bool installBuiltinServer(Device& device, const BuiltinServer& server, std::string& error) {
  const fs::path& source = server.hostFile;
  if (!sourceExists(source, "the server's library", error)) return false;
  fs::path target;
  if (device.hostPathOf(server.devicePath, target) != 0) {
    error = "the device has no folder for " + std::string(server.devicePath.begin(), server.devicePath.end());
    return false;
  }
  if (!placeFile(source, target, "the server", error)) return false;
  LONG result = device.registry().modify([&](RegTree& tree, bool& changed) -> LONG {
    registerClass(tree, server);
    changed = true;
    return ERROR_SUCCESS;
  });
  if (result != ERROR_SUCCESS) error = "cannot write the registry of the device";
  return result == ERROR_SUCCESS;
}

bool removeBuiltinServer(Device& device, const BuiltinServer& server, std::string& error) {
  LONG result = device.registry().modify([&](RegTree& tree, bool& changed) -> LONG {
    changed = unregisterClass(tree, server);
    return ERROR_SUCCESS;
  });
  if (result != ERROR_SUCCESS) {
    error = "cannot write the registry of the device";
    return false;
  }
  fs::path target;
  std::error_code ec;
  if (device.hostPathOf(server.devicePath, target) == 0) fs::remove(target, ec);
  return true;
}

bool builtinServerInstalled(Device& device, const BuiltinServer& server) {
  bool registered = false;
  device.registry().read([&](const RegTree& tree) -> LONG {
    const RegKey* classes = tree.root(RegRoot::ClassesRoot).findSubkey(u"CLSID");
    const RegKey* cls = classes ? classes->findSubkey(server.clsid) : nullptr;
    registered = cls && cls->findSubkey(u"InprocServer32") && tree.root(RegRoot::ClassesRoot).findSubkey(server.progId);
    return ERROR_SUCCESS;
  });
  fs::path target;
  std::error_code ec;
  return registered && device.hostPathOf(server.devicePath, target) == 0 && fs::is_regular_file(target, ec);
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
