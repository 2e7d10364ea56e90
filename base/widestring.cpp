#include "base/widestring.h"

#include <algorithm>
#include <climits>

WideString toWide(std::string_view text) {
  WideString wide(text.size(), u'\0');
  std::transform(text.begin(), text.end(), wide.begin(),
                 [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
  return wide;
}

WideString decimalText(long long value) { return toWide(std::to_string(value)); }

bool readInteger(WideStringView& text, int& value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  size_t digits = i;
  long long magnitude = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
    magnitude = std::min<long long>(magnitude * 10 + (text[i] - u'0'), 1LL + INT_MAX);
  if (i == digits) return false;
  value = static_cast<int>(std::clamp<long long>(negative ? -magnitude : magnitude, INT_MIN, INT_MAX));
  text.remove_prefix(i);
  return true;
}

std::string toNarrowAscii(WideStringView text) {
  std::string narrow(text.size(), '\0');
  std::transform(text.begin(), text.end(), narrow.begin(),
                 [](char16_t c) { return c < 0x80 ? static_cast<char>(c) : '?'; });
  return narrow;
}

namespace {

// The device's folding; two ASCII units fold as ASCII letters do there, which
// spares the table for the tag and attribute names that loading compares.
int upperOf(char16_t c, bool ascii) {
  if (!ascii) return towupperW(c);
  return c >= u'a' && c <= u'z' ? c - 32 : c;
}

}  // namespace

int compareIgnoreCase(WideStringView a, WideStringView b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    if (a[i] == b[i]) continue;
    const bool ascii = (a[i] | b[i]) < 0x80;
    int ca = upperOf(a[i], ascii), cb = upperOf(b[i], ascii);
    if (ca != cb) return ca - cb;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

WideString foldedCase(WideStringView text) {
  WideString folded(text.size(), u'\0');
  std::transform(text.begin(), text.end(), folded.begin(),
                 [](char16_t c) { return static_cast<char16_t>(upperOf(c, c < 0x80)); });
  return folded;
}

bool endsWithIgnoreCase(WideStringView text, WideStringView suffix) {
  return text.size() >= suffix.size() && equalsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}
