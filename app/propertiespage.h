#pragma once
// The properties page: the facts of the current movie filled into the HTML
// template of string resource 40008.

#include "base/widestring.h"

struct PropertiesFacts {
  WideString moviePath;  // the last path opened; may be empty
  WideString charset;    // of the device's ANSI code page; may be empty
  int flashVersion = 0;  // from the movie header
  int totalFrames = 0;
  int frameRate = 0;  // whole frames per second, from the movie header
  int currentFrame = 0;
};

// "mm:ss" of totalFrames / frameRate seconds (00:00 without a rate).
WideString estimatedTime(int totalFrames, int frameRate);

// The file name after the last "\" and the folder before it; a path
// without "\" is all file name.
struct PathParts {
  WideString fileName, folder;
};
PathParts splitMoviePath(WideStringView path);

// The page: the template's %s and %d in the order charset, file name,
// folder, version, total frames, rate, time, current frame. File name and
// folder are escaped, so a name holding "<" or "&" shows as itself.
WideString propertiesPage(WideStringView pageTemplate, const PropertiesFacts& facts);
