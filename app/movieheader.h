#pragma once
// The fixed start of a movie file, read by the player for the movie's size,
// rate and version (the control reads the movie itself), and the offsets
// that place the turned movie in full-screen mode.

#include <cstdint>

#include "base/widestring.h"

struct MovieHeader {
  uint8_t version = 0;
  bool compressed = false;                           // signature "CWS": the body is a zlib stream
  uint32_t fileLength = 0;                           // header bytes 4..7
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // frame rectangle, twips
  uint16_t frameRate = 0;                            // 8.8 fixed point
  uint16_t frameCount = 0;
};

// Reads the header of the movie at the device path. False when the file
// cannot be opened, is not "FWS" or "CWS", or ends (or stops inflating)
// before the header does; `header` is then untouched. Of a compressed body
// only the bytes the header needs are inflated.
bool readMovieHeader(const WideString& path, MovieHeader& header);

// What the player keeps of a header.
struct MovieFacts {
  int frameRate = 0;  // whole frames per second
  int version = 0;
  int width = 0, height = 0;  // pixels
};
MovieFacts movieFactsOf(const MovieHeader& header);

// Where the movie's root goes when the movie is turned a quarter for full
// screen, with the screen W x H, the movie w x h and the zoom factor.
struct FullScreenOffsets {
  int x = 0, y = 0;
};
FullScreenOffsets fullScreenOffsets(int screenWidth, int screenHeight, int movieWidth, int movieHeight, float zoom);
