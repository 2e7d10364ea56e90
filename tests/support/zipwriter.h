#pragma once
// Writes zip archives on the host for tests and benchmarks, including the
// malformed kinds a hostile package would hold: links, lying sizes, stored
// and deflated entries.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct ZipEntry {
  std::string name;
  std::string content;
  bool link = false;                      // a Unix symbolic link whose target is `content`
  std::optional<unsigned long> declared;  // an uncompressed size other than the content's
  bool stored = false;                    // no compression
  const char* password = nullptr;         // traditional PKWARE encryption
  bool zip64 = false;                     // ZIP64 extra fields on the entry
};

// Answers false when minizip refuses an entry.
bool writeZip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries);
