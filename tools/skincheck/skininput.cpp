#include "tools/skincheck/skininput.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "app/skinpackages.h"
#include "base/findfiles.h"
#include "platform/core/device.h"
#include "platform/core/winbase.h"
#include "platform/core/winnls.h"
#include "platform/core/zipio.h"
#include "tools/skincheck/checkcontext.h"

namespace fs = std::filesystem;

namespace {

constexpr char16_t kCard[] = u"\\Storage Card";
constexpr char16_t kUnpacked[] = u"\\Temp\\skincheck";

struct ZipCloser {
  void operator()(void* zip) const { unzClose(zip); }
};

bool hasExtension(const fs::path& path, std::string_view extension) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == extension;
}

fs::path hostPathOf(std::u16string_view devicePath) {
  fs::path host;
  currentDevice()->hostPathOf(devicePath, host);
  return host;
}

// Why an entry that is not on the device after unpacking was left out.
std::string whyNotUnpacked(const std::string& name, const unz_file_info& info) {
  const ExtractLimits limits;
  if (name.empty() || name.front() == '/' || name.front() == '\\' || name.find(':') != std::string::npos ||
      name.find("..") != std::string::npos)
    return "its name leads outside the skin's folder";
  if (info.uncompressed_size > limits.entryBytes) return "it is larger than the player unpacks";
  return "it cannot be read (damaged, a link, or compressed in a way the player cannot read)";
}

// Every file entry of the package that unpacking left out, as an error.
void reportEntriesLeftOut(const std::string& package, Report& report) {
  std::unique_ptr<void, ZipCloser> zip(unzOpenDevice(package.c_str()));
  if (!zip) return;
  for (int status = unzGoToFirstFile(zip.get()); status == UNZ_OK; status = unzGoToNextFile(zip.get())) {
    char name[1024];
    unz_file_info info;
    if (unzGetCurrentFileInfo(zip.get(), &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) continue;
    std::string entry = name;
    if (entry.empty() || entry.back() == '/') continue;
    std::u16string target = std::u16string(kUnpacked) + u"\\" + ansiToWide(entry);
    std::replace(target.begin(), target.end(), u'/', u'\\');
    std::error_code ec;
    fs::path host = hostPathOf(target);
    bool there = !host.empty() && fs::is_regular_file(host, ec) && fs::file_size(host, ec) == info.uncompressed_size;
    if (!there) report.error({0, 0}, "entry '" + entry + "' would not unpack: " + whyNotUnpacked(entry, info));
  }
}

// The first document the player's walk finds below `folder`; more than one is worth a warning.
InputStatus pickDocument(std::u16string_view folder, const std::string& shownFolder, Report& report, SkinInput& input) {
  std::vector<WideString> documents = findFiles(folder, u".bskn", kScanDepth);
  if (documents.empty()) {
    report.error({0, 0}, "no skin document (.bskn) here: the player has nothing to load");
    return InputStatus::NoDocument;
  }
  const std::u16string& chosen = documents.front();
  std::u16string relative = chosen.substr(folder.size() + 1);
  std::replace(relative.begin(), relative.end(), u'\\', u'/');
  if (documents.size() > 1)
    report.warning({0, 0}, std::to_string(documents.size()) +
                               " skin documents: the player takes the first its folder walk finds, " + utf8(relative));
  input.devicePath = wideToAnsi(chosen);
  input.hostPath = hostPathOf(chosen);
  input.displayName = shownFolder + "/" + utf8(relative);
  return InputStatus::Found;
}

}  // namespace

InputStatus findSkinInput(const fs::path& path, Report& report, SkinInput& input, std::string& message) {
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  const bool folder = fs::is_directory(absolute, ec);
  if (ec || (!folder && !fs::is_regular_file(absolute, ec))) {
    message = "cannot read " + path.string();
    return InputStatus::Unreadable;
  }
  std::string error;
  if (!currentDevice()->insertStorageCard(folder ? absolute : absolute.parent_path(), error)) {
    message = error;
    return InputStatus::Unreadable;
  }
  report.file = path.string();
  if (folder) return pickDocument(kCard, path.string(), report, input);

  std::u16string onCard = std::u16string(kCard) + u"\\" + ansiToWide(absolute.filename().string());
  if (!hasExtension(absolute, ".zskn")) {
    input.devicePath = wideToAnsi(onCard);
    input.hostPath = absolute;
    input.displayName = path.string();
    return InputStatus::Found;
  }
  CreateDirectoryW(kUnpacked, nullptr);
  if (extractSkinPackage(onCard, kUnpacked) != kExtractOk) {
    message = path.string() + " is not a zip archive the player can open";
    return InputStatus::Unreadable;
  }
  reportEntriesLeftOut(wideToAnsi(onCard), report);
  return pickDocument(kUnpacked, path.string(), report, input);
}
