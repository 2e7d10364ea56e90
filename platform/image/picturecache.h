#pragma once
// Pictures decoded at earlier starts, kept in a folder of the host's cache: a
// start that shows the same skin reads its pictures' pixels back instead of
// decoding them again, which was a fifth of what it did before its first
// painted screen.
//
// An entry holds the file bytes it was decoded from and answers only for
// exactly those bytes, so a changed picture is decoded again however its
// name or size compare. The folder keeps at most kMaxEntries entries: the
// oldest written go first. Entries are written to a temporary file and
// renamed, so a reader never sees half of one; one that does not read back
// whole is a miss.

#include <cstddef>
#include <span>
#include <string>

#include "platform/image/richimage.h"

namespace image {

class PictureCache {
 public:
  static constexpr std::size_t kMaxEntries = 64;

  // The cache in `folder`; an empty folder keeps nothing.
  explicit PictureCache(std::string folder) : m_folder(std::move(folder)) {}
  // The host's: "$XDG_CACHE_HOME/OrvelFlash/pictures" (or under
  // "$HOME/.cache"), none when neither is set.
  static PictureCache& host();

  // The picture decoded from `source`, when it was kept.
  bool find(std::span<const BYTE> source, RichImageData& out) const;
  // Keeps what `source` decodes to; false when it cannot be written.
  bool keep(std::span<const BYTE> source, const RichImageData& decoded) const;

 private:
  std::string entryPath(std::span<const BYTE> source) const;

  std::string m_folder;
};

}  // namespace image
