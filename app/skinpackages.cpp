#include "app/skinpackages.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "app/settings.h"
#include "platform/core/guards.h"
#include "platform/core/winbase.h"
#include "platform/core/winnls.h"
#include "platform/core/wstdio.h"
#include "platform/core/zipio.h"

namespace {

constexpr size_t kMaxNarrowPath = 259;  // 260 bytes with the terminator
constexpr size_t kMaxEntryName = 260;
constexpr unsigned kCopyBlock = 2048;

struct ZipCloser {
  void operator()(void* zip) const { unzClose(zip); }
};
using ZipArchive = std::unique_ptr<void, ZipCloser>;

// Deletes everything inside `folder` and keeps the folder; failures are ignored.
void emptyFolder(const WideString& folder) {
  for (const FolderEntry& entry : listFolder(folder)) {
    WideString path = joinPath(folder, entry.name);
    if (entry.isFolder) {
      emptyFolder(path);
      RemoveDirectoryW(path.c_str());
    } else {
      DeleteFileW(path.c_str());
    }
  }
}

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// A part made of dots and blanks only, other than ".", may name the parent
// on a file system that trims trailing dots and blanks.
bool climbsUp(WideStringView part) {
  if (part == u".") return false;
  return !part.empty() && std::all_of(part.begin(), part.end(), [](char16_t c) { return c == u'.' || c == u' '; });
}

// An entry name that stays inside the destination: relative, no drive or
// stream colon, no part that climbs to the parent, and no control character
// (a NUL would cut the name short and write a file the package never named).
bool staysInside(WideStringView name) {
  if (name.empty() || isSeparator(name.front()) || name.find(u':') != WideStringView::npos) return false;
  if (std::any_of(name.begin(), name.end(), [](char16_t c) { return c < u' '; })) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !isSeparator(name[end])) ++end;
    if (climbsUp(name.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

// A symbolic link as Unix zip tools store it, or a Windows reparse point.
bool isLinkEntry(const unz_file_info& info) {
  constexpr unsigned long kUnixHost = 3, kTypeMask = 0170000, kLink = 0120000, kReparsePoint = 0x400;
  if ((info.version >> 8) == kUnixHost && ((info.external_fa >> 16) & kTypeMask) == kLink) return true;
  return (info.external_fa & kReparsePoint) != 0;
}

// Links are never followed, and an encrypted entry cannot be read without
// its password: unpacking either would write what the package never meant.
bool isUnpackable(const unz_file_info& info) {
  constexpr unsigned long kEncrypted = 1;
  return info.size_filename <= kMaxEntryName && !isLinkEntry(info) && (info.flag & kEncrypted) == 0;
}

// The entry's name as stored, every byte of it.
WideString entryName(const char* name, const unz_file_info& info) {
  return ansiToWide(std::string_view(name, info.size_filename));
}

// Creates every folder along `path` (a device path with "\" only), then the
// path itself.
void createFoldersAlong(const WideString& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != u'\\') continue;
    WideString prefix = path.substr(0, i);
    if (GetFileAttributesW(prefix.c_str()) == INVALID_FILE_ATTRIBUTES) CreateDirectoryW(prefix.c_str(), nullptr);
  }
}

// Copies the open entry, whose size is `size`, into `target`. A read error,
// a bad checksum, a failed write or a size other than `size` removes the
// partial file.
unsigned long long copyEntry(unzFile zip, const WideString& target, unsigned long long size) {
  // Replaced, not rewritten in place: a file linked from elsewhere keeps its
  // bytes, and the file system need not flush a truncated file on close.
  DeleteFileW(target.c_str());
  FileHandle out(_wfopen(target.c_str(), u"wb"));
  if (!out) return 0;
  char block[kCopyBlock];
  unsigned long long written = 0;
  bool sound = true;
  int read;
  while ((read = unzReadCurrentFile(zip, block, sizeof block)) > 0) {
    written += static_cast<unsigned>(read);
    if (written > size || std::fwrite(block, 1, static_cast<size_t>(read), out.get()) != static_cast<size_t>(read)) {
      sound = false;
      break;
    }
  }
  sound = sound && read == 0 && written == size && std::fclose(out.release()) == 0;
  if (unzCloseCurrentFile(zip) != UNZ_OK) sound = false;
  if (!sound) {
    out.reset();
    DeleteFileW(target.c_str());
    return 0;
  }
  return written;
}

// What unpacking one entry came to: the bytes written, or the package's
// byte bound reached, after which nothing more is unpacked.
struct EntryOutcome {
  unsigned long long written = 0;
  bool overBudget = false;
};

// Unpacks the archive's current entry within `budget` bytes.
EntryOutcome extractEntry(unzFile zip, const WideString& destination, unsigned long long entryLimit,
                          unsigned long long budget) {
  char name[kMaxEntryName + 1];
  unz_file_info info;
  if (unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) return {};
  if (!isUnpackable(info)) return {};
  WideString entry = entryName(name, info);
  if (!staysInside(entry)) return {};
  if (info.uncompressed_size > entryLimit) return {};
  // The copy never writes more than the declared size, so the declared sizes
  // alone keep the package within its bound.
  if (info.uncompressed_size > budget) return {0, true};
  if (unzOpenCurrentFile(zip) != UNZ_OK) return {};

  WideString target = joinPath(destination, entry);
  std::replace(target.begin(), target.end(), u'/', u'\\');
  createFoldersAlong(target.substr(0, target.rfind(u'\\')));
  if (target.back() == u'\\') {  // a folder entry: the folder is all there is
    unzCloseCurrentFile(zip);
    return {};
  }
  return {copyEntry(zip, target, info.uncompressed_size)};
}

}  // namespace

std::vector<WideString> findSkinPackages(int depth) {
  std::vector<WideString> packages = findFiles(u"\\", u".zskn", depth);
  std::sort(packages.begin(), packages.end());
  return packages;
}

void installDefaultSkin(Settings& settings) {
  std::vector<WideString> packages = findSkinPackages(settings.scanDepth);
  auto isDefault = [](const WideString& path) {
    return equalsIgnoreCase(WideStringView(path).substr(path.rfind(u'\\') + 1), u"default.zskn");
  };
  auto chosen = std::find_if(packages.rbegin(), packages.rend(), isDefault);
  WideString package = chosen != packages.rend() ? *chosen : packages.empty() ? WideString() : packages.front();
  installSkinPackage(settings, package);
}

void installSkinPackage(Settings& settings, WideStringView package) {
  settings.zipskin = package;
  WideString skins = settings.dataFolder + u"\\skins";
  emptyFolder(skins);
  extractSkinPackage(package, skins);
  std::vector<WideString> documents = findFiles(skins, u".bskn", settings.scanDepth);
  settings.skin = documents.empty() ? WideString() : documents.front();
}

bool holdsSkinDocument(WideStringView package) {
  std::string narrowPackage = wideToAnsi(package);
  if (narrowPackage.size() > kMaxNarrowPath) return false;
  ZipArchive zip(unzOpenDevice(narrowPackage.c_str()));
  if (!zip) return false;
  for (int status = unzGoToFirstFile(zip.get()); status == UNZ_OK; status = unzGoToNextFile(zip.get())) {
    char name[kMaxEntryName + 1];
    unz_file_info info;
    if (unzGetCurrentFileInfo(zip.get(), &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) continue;
    if (!isUnpackable(info)) continue;
    WideString entry = entryName(name, info);
    if (staysInside(entry) && hasExtension(entry, u".bskn")) return true;
  }
  return false;
}

int extractSkinPackage(WideStringView package, WideStringView destination, const ExtractLimits& limits) {
  // The zip reader takes narrow paths; one too long for its buffer would be
  // cut and name another file.
  std::string narrowPackage = wideToAnsi(package);
  if (narrowPackage.size() > kMaxNarrowPath) return kExtractCannotOpen;
  ZipArchive zip(unzOpenDevice(narrowPackage.c_str()));
  if (!zip) return kExtractCannotOpen;
  WideString folder = ansiToWide(wideToAnsi(destination));  // as the narrow path would name it
  if (wideToAnsi(folder).size() > kMaxNarrowPath) return kExtractOk;
  unsigned long long budget = limits.packageBytes;
  unsigned visited = 0;
  for (int status = unzGoToFirstFile(zip.get()); status == UNZ_OK && visited < limits.entries;
       status = unzGoToNextFile(zip.get()), ++visited) {
    EntryOutcome outcome = extractEntry(zip.get(), folder, limits.entryBytes, budget);
    if (outcome.overBudget) break;
    budget -= outcome.written;
  }
  return kExtractOk;
}
