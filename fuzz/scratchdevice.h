#pragma once
// A device in a temporary host folder, made on first use and current for the
// rest of the run; at exit the device that was current before comes back and
// the folder is removed, so a fuzz run leaves nothing behind.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

class Device;

Device& scratchDevice();
// The host path of a path below the scratch device's root, given with '/'.
std::filesystem::path scratchHost(std::string_view relative);
// Replaces the host file at `path` with `bytes`.
void writeScratchFile(const std::filesystem::path& path, const std::uint8_t* bytes, std::size_t size);
std::string readScratchFile(const std::filesystem::path& path);
