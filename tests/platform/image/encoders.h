#pragma once
// Small pictures made in memory by the real encoders, so that each test knows
// exactly which pixels it decodes.

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// 0x00RRGGBB pixels, rows from the top.
struct Picture {
  int width;
  int height;
  std::vector<std::uint32_t> pixels;
};

Bytes encodePng(const Picture& p);
// A palette PNG whose entry `transparentIndex` is fully transparent in tRNS.
Bytes encodePalettePng(int width, int height, const std::vector<std::uint32_t>& palette,
                       const std::vector<unsigned char>& indexes, int transparentIndex);
// RGBA with the alpha given per pixel.
Bytes encodeAlphaPng(const Picture& p, const std::vector<unsigned char>& alpha);
Bytes encodeJpeg(const Picture& p);
// One frame using all of the screen; transparentIndex -1 for none.
Bytes encodeGif(int width, int height, const std::vector<std::uint32_t>& palette,
                const std::vector<unsigned char>& indexes, int transparentIndex);
Bytes encodeBmp24(const Picture& p, bool topDown);
Bytes encodeBmp8(int width, int height, const std::vector<std::uint32_t>& palette,
                 const std::vector<unsigned char>& indexes);
