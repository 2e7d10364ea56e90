#pragma once
// A host folder that exists for the life of the object and is removed with
// everything in it afterwards.

#include <filesystem>
#include <string>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return m_path; }
  std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

 private:
  std::filesystem::path m_path;
};

// Writes `bytes` to a host file, creating its folders.
void writeHostFile(const std::filesystem::path& path, const std::string& bytes);
std::string readHostFile(const std::filesystem::path& path);
