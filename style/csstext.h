#pragma once
// Small text helpers shared by the declaration parser, the value grammar and
// the colour reader. CSS syntax is ASCII: only ASCII letters fold.

#include <string_view>

#include "dom/domstring.h"

using DomStringView = std::u16string_view;

namespace css {

constexpr bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; }
constexpr bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
constexpr bool isLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
constexpr bool isHexDigit(char16_t c) { return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); }
constexpr char16_t toLower(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

DomString lowered(DomStringView text);
DomStringView trimmed(DomStringView text);
DomStringView trimmedEnd(DomStringView text);
bool equalsAsciiIgnoreCase(DomStringView text, std::string_view ascii);
bool startsWithAsciiIgnoreCase(DomStringView text, std::string_view ascii);

}  // namespace css
