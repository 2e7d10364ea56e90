#pragma once
// Finds the skin document the player would load from what the author names:
// a ".bskn" file, a ".zskn" package (unpacked with the player's own code on
// the scratch device) or a folder holding one; the same folder walk picks
// the document. Problems of the package itself go to the report.

#include <filesystem>
#include <string>

#include "tools/skincheck/report.h"

struct SkinInput {
  std::string devicePath;          // the document as the player opens it (ANSI)
  std::filesystem::path hostPath;  // the same file on this computer
  std::string displayName;         // how findings name it
};

enum class InputStatus { Found, NoDocument, Unreadable };

// Needs the scratch device to be current. `message` says why on Unreadable.
InputStatus findSkinInput(const std::filesystem::path& path, Report& report, SkinInput& input, std::string& message);
