#pragma once
// expat in its UTF-16 build: every string a handler receives is a run of
// 16-bit units, read here as char16_t. Error texts (XML_LChar) stay 8-bit.

#include <expat.h>

#include "base/widestring.h"

static_assert(sizeof(XML_Char) == sizeof(char16_t), "expat must be built with XML_UNICODE");

inline const char16_t* wideOf(const XML_Char* text) { return reinterpret_cast<const char16_t*>(text); }
inline WideStringView wideViewOf(const XML_Char* text, int length) {
  return WideStringView(wideOf(text), static_cast<std::size_t>(length));
}
inline WideStringView wideViewOf(const XML_Char* text) { return WideStringView(wideOf(text)); }
