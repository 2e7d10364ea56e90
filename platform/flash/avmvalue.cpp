#include "platform/flash/avmvalue.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace swf::avm {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kDigits = 15;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

// Hexadecimal and octal texts as numbers: digits after an optional sign,
// wrapped to a signed 32-bit integer as the player keeps them.
double parseRadix32(std::string_view s, int radix) {
  bool negative = false;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return kNaN;
  uint32_t value = 0;
  for (char c : s) {
    int d = digitValue(c);
    if (d >= radix) return kNaN;
    value = value * uint32_t(radix) + uint32_t(d);
  }
  double n = int32_t(value);
  return negative ? -n : n;
}

// A decimal number with optional fraction and exponent filling all of `s`.
double parseDecimal(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return kNaN;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t e = i + 1;
    if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
    size_t expDigits = 0;
    while (e < s.size() && s[e] >= '0' && s[e] <= '9') ++e, ++expDigits;
    if (expDigits == 0) return kNaN;
    i = e;
  }
  if (i != s.size()) return kNaN;
  return std::strtod(std::string(s).c_str(), nullptr);
}

bool allOctal(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '7') return false;
  return !s.empty();
}

}  // namespace

std::string numberToString(double n) {
  if (std::isnan(n)) return "NaN";
  if (std::isinf(n)) return n > 0 ? "Infinity" : "-Infinity";
  if (n == 0) return "0";
  if (std::fabs(n) < 1e15 && n == std::trunc(n)) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", n);
    return buf;
  }
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.*e", kDigits - 1, n);
  // Mantissa digits without trailing zeros, and the decimal exponent.
  std::string text(buf);
  size_t e = text.find('e');
  int exponent = std::atoi(text.c_str() + e + 1);
  std::string mantissa = text.substr(0, e);
  bool negative = mantissa[0] == '-';
  if (negative) mantissa.erase(0, 1);
  std::string digits;
  for (char c : mantissa)
    if (c != '.') digits += c;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out = negative ? "-" : "";
  if (exponent >= kDigits || exponent < -5) {
    out += digits.substr(0, 1);
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += exponent > 0 ? "e+" : "e-";
    out += std::to_string(std::abs(exponent));
  } else if (exponent < 0) {
    out += "0." + std::string(size_t(-exponent - 1), '0') + digits;
  } else {
    if (digits.size() <= size_t(exponent) + 1) digits.append(size_t(exponent) + 1 - digits.size(), '0');
    out += digits.substr(0, size_t(exponent) + 1);
    if (digits.size() > size_t(exponent) + 1) out += "." + digits.substr(size_t(exponent) + 1);
  }
  return out;
}

std::string numberToRadix(double n, int radix) {
  if (radix == 10 || radix < 2 || radix > 36 || !std::isfinite(n)) return numberToString(n);
  int64_t whole = int64_t(toInt32(n));
  bool negative = whole < 0;
  uint64_t u = uint64_t(negative ? -whole : whole);
  std::string out;
  do {
    out.insert(out.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[u % unsigned(radix)]);
    u /= unsigned(radix);
  } while (u);
  return negative ? "-" + out : out;
}

double stringToNumber(std::string_view text, int version) {
  if (version < 5) {
    // SWF 4 reads the decimal number at the start; none there is 0.
    size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    size_t start = i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    while (i < text.size() && ((text[i] >= '0' && text[i] <= '9') || text[i] == '.')) ++i;
    double v = std::strtod(std::string(text.substr(start, i - start)).c_str(), nullptr);
    return std::isfinite(v) ? v : 0;
  }
  size_t start = 0;
  while (start < text.size() && isSpace(text[start])) ++start;
  std::string_view s = text.substr(start);
  if (s.empty()) return kNaN;
  // Hexadecimal and octal texts read as such from SWF 6.
  if (version < 6) return parseDecimal(s);
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) return parseRadix32(s.substr(2), 16);
  // Octal only where the text starts with its digits, not after spaces.
  std::string_view unsignedPart = (s[0] == '-' || s[0] == '+') ? s.substr(1) : s;
  if (start == 0 && unsignedPart.size() > 1 && unsignedPart[0] == '0' && allOctal(unsignedPart))
    return parseRadix32(s, 8);
  return parseDecimal(s);
}

int32_t toInt32(double n) { return int32_t(toUint32(n)); }

uint32_t toUint32(double n) {
  if (!std::isfinite(n)) return 0;
  double t = std::fmod(std::trunc(n), 4294967296.0);
  if (t < 0) t += 4294967296.0;
  return uint32_t(t);
}

double toInteger(double n) {
  if (!std::isfinite(n)) return 0;
  return std::trunc(n);
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x + 32);
    if (y >= 'A' && y <= 'Z') y = char(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::string toLowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
  return out;
}

std::u16string toUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    uint32_t cp = c;
    size_t extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (extra) {
      cp = c & (0x3F >> extra);
      for (size_t k = 1; k <= extra; ++k) {
        if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
          cp = c;  // a stray byte stands for itself
          extra = 0;
          break;
        }
        cp = cp << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
      }
    }
    i += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += char16_t(0xD800 + (cp >> 10));
      out += char16_t(0xDC00 + (cp & 0x3FF));
    } else {
      out += char16_t(cp);
    }
  }
  return out;
}

std::string toUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (cp < 0x80) {
      out += char(cp);
    } else if (cp < 0x800) {
      out += char(0xC0 | cp >> 6);
      out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += char(0xE0 | cp >> 12);
      out += char(0x80 | ((cp >> 6) & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    } else {
      out += char(0xF0 | cp >> 18);
      out += char(0x80 | ((cp >> 12) & 0x3F));
      out += char(0x80 | ((cp >> 6) & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

std::string toUtf8(std::u32string_view text) {
  std::u16string units;
  units.reserve(text.size());
  for (char32_t c : text) {
    if (c >= 0x10000 && c <= 0x10FFFF) {
      units.push_back(char16_t(0xD800 + ((c - 0x10000) >> 10)));
      units.push_back(char16_t(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      units.push_back(char16_t(c));
    }
  }
  return toUtf8(units);
}

}  // namespace swf::avm
