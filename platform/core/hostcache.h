#pragma once
// Folders of the host's cache that keep what a start worked out for the
// next one (decoded pictures, rendered glyphs): where they are, writing an
// entry so that no reader sees half of it, and keeping a folder bounded.

#include <cstddef>
#include <string>
#include <string_view>

// "$XDG_CACHE_HOME/OrvelFlash/<name>" (or under "$HOME/.cache"); empty when
// neither is set.
std::string hostCacheFolder(const char* name);

// Writes `bytes` to `path` through a temporary file renamed over it, making
// the folder when missing; false when it cannot be written.
bool replaceCacheFile(const std::string& path, std::string_view bytes);

// Removes the oldest files of `folder` but `newest` until it holds at most
// `count` (times are coarse: the file just written may share its time with
// older ones); a temporary file left by a killed writer goes in its turn.
void keepNewestFiles(const std::string& folder, std::size_t count, const std::string& newest);

// FNV-1a of the bytes, as sixteen hexadecimal digits: an entry's file name.
std::string cacheName(std::string_view bytes);
