#include "style/csstext.h"

namespace css {

DomString lowered(DomStringView text) {
  DomString result(text);
  for (char16_t& c : result) c = toLower(c);
  return result;
}

DomStringView trimmedEnd(DomStringView text) {
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

DomStringView trimmed(DomStringView text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  return trimmedEnd(text);
}

bool startsWithAsciiIgnoreCase(DomStringView text, std::string_view ascii) {
  if (text.size() < ascii.size()) return false;
  for (size_t i = 0; i < ascii.size(); ++i) {
    if (toLower(text[i]) != toLower(static_cast<unsigned char>(ascii[i]))) return false;
  }
  return true;
}

bool equalsAsciiIgnoreCase(DomStringView text, std::string_view ascii) {
  return text.size() == ascii.size() && startsWithAsciiIgnoreCase(text, ascii);
}

}  // namespace css
