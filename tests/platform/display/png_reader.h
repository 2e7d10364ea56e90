#pragma once
// Reads a PNG file back into 0x00RRGGBB pixels, for checking screenshots.

#include <cstdint>
#include <string>
#include <vector>

struct PngPixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

bool readPng(const std::string& path, PngPixels& out);
