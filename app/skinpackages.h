#pragma once
// Skin packages: zip archives ending in ".zskn" anywhere on the device,
// unpacked one at a time into dataFolder + "\skins", where the skin document
// (".bskn") is looked for. The same depth-limited walk finds movies.

#include <vector>

#include "base/findfiles.h"
#include "base/widestring.h"

class Settings;

// Every package on the device, sorted by full path (character codes).
std::vector<WideString> findSkinPackages(int depth);

// Installs the last "default.zskn" of the sorted list, else the first
// package, else nothing (both paths empty).
void installDefaultSkin(Settings& settings);
// Sets zipskin, replaces the skins folder with the package's files and sets
// skin to the first skin document found there. Does not save.
void installSkinPackage(Settings& settings, WideStringView package);

// True when the package opens as an archive and holds a skin document that
// unpacking would write.
bool holdsSkinDocument(WideStringView package);

inline constexpr int kExtractOk = 0;
inline constexpr int kExtractCannotOpen = -103;

// Unpacks every entry of `package` below `destination`, creating folders
// along each entry's path. Entries that would land outside `destination`
// (absolute names, drive letters, ".." parts), names holding control
// characters, links, encrypted entries and entries beyond the entry size
// limit are skipped; so are entries that cannot be read or
// written. At the first entry that would take the package past its byte or
// entry-count bound, unpacking stops; what was unpacked before stays, and no
// partial file is left.
// Upper bounds on what one package may write: a skin is a few hundred
// kilobytes in a few dozen files, so a package that claims or inflates to
// more is hostile.
struct ExtractLimits {
  unsigned long long entryBytes = 64ull << 20;
  unsigned long long packageBytes = 64ull << 20;
  unsigned entries = 4096;
};

int extractSkinPackage(WideStringView package, WideStringView destination, const ExtractLimits& limits = {});
