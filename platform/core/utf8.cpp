#include "platform/core/utf8.h"

#include <algorithm>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void appendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 | (c >> 10));
    out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
  }
}

// Decodes one code point at `pos`, advancing it; answers false on a malformed
// sequence (then `pos` moves past the first byte only).
bool decodeUtf8(std::string_view text, size_t& pos, char32_t& c) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char b0 = byte(pos);
  size_t length = b0 < 0x80 ? 1 : (b0 >> 5) == 0x6 ? 2 : (b0 >> 4) == 0xE ? 3 : (b0 >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || pos + length > text.size()) {
    ++pos;
    return false;
  }
  char32_t value = length == 1 ? b0 : b0 & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    unsigned char b = byte(pos + i);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return false;
    }
    value = (value << 6) | (b & 0x3F);
  }
  static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kMinimum[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    ++pos;
    return false;
  }
  pos += length;
  c = value;
  return true;
}

}  // namespace

std::string toUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  appendUtf8(out, text);
  return out;
}

void appendUtf8(std::string& out, std::u16string_view text) {
  // Host names are mostly ASCII: such a run is copied in one step.
  size_t ascii = 0;
  while (ascii < text.size() && text[ascii] < 0x80) ++ascii;
  size_t start = out.size();
  out.resize(start + ascii);
  std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(ascii),
            out.begin() + static_cast<std::ptrdiff_t>(start));
  for (size_t i = ascii; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    appendUtf8(out, c);
  }
}

std::u16string fromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    char32_t c;
    if (!decodeUtf8(text, pos, c)) c = kReplacement;
    appendUtf16(out, c);
  }
  return out;
}

bool assignValidUtf8(std::u16string& out, std::string_view text) {
  out.clear();
  size_t pos = 0;
  while (pos < text.size()) {
    char32_t c;
    if (!decodeUtf8(text, pos, c)) return false;
    appendUtf16(out, c);
  }
  return true;
}

bool isValidUtf8(std::string_view text) {
  size_t pos = 0;
  char32_t c;
  while (pos < text.size())
    if (!decodeUtf8(text, pos, c)) return false;
  return true;
}
