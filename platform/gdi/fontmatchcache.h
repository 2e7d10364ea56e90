#pragma once
// The faces fontconfig chose for the device's font requests, kept in a file
// of the host's cache folder. Loading fontconfig's configuration and font
// lists costs more than everything else a start does before its first
// painted screen, and it answers the same for the same request until the
// host's fonts or font configuration change. So a start whose requests are
// all in the file opens the faces straight away and never starts fontconfig.
//
// The file is valid for one stamp: the modification times of the font and
// configuration folders (and the variables that move fontconfig elsewhere).
// A file of another stamp, or one that cannot be read, is an empty cache.

#include <map>
#include <string>

namespace gdi {

struct FaceMatch {
  std::string file;
  int index = 0;
  std::string family;  // the family the face really has
  bool bold = false;
  bool italic = false;
};

class FontMatchCache {
 public:
  // The matches kept in `path` for `stamp`; an empty cache otherwise.
  static FontMatchCache load(const std::string& path, const std::string& stamp);

  const FaceMatch* find(const std::string& family, bool bold, bool italic) const;
  void add(const std::string& family, bool bold, bool italic, const FaceMatch& match);
  void remove(const std::string& family, bool bold, bool italic);
  // Replaces the file with the matches under this cache's stamp (written to
  // a temporary file first, so that a reader never sees half of it); false
  // when it cannot be written.
  bool save(const std::string& path) const;

 private:
  static std::string keyOf(const std::string& family, bool bold, bool italic);

  std::string m_stamp;
  std::map<std::string, FaceMatch> m_matches;
};

// The stamp of the host's fonts as they are now: the modification times of
// the folders fontconfig reads, with their subfolders, and of the files of
// its configuration folder itself.
std::string hostFontStamp();
// "$XDG_CACHE_HOME/OrvelFlash/font-matches" (or under "$HOME/.cache"); empty
// when neither is set.
std::string fontMatchCachePath();

}  // namespace gdi
