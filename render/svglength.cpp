#include "render/svglength.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cstdio>

namespace {

constexpr std::size_t kLengthTextLimit = 63;
constexpr std::size_t kListEntryLimit = 62;
constexpr std::size_t kPointNumberLimit = 62;
constexpr std::size_t kExactIntegerDigits = 15;  // below 2^53

bool isDigit(char c) { return c >= '0' && c <= '9'; }
// The C locale's white space, without asking the locale for every number.
bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isListSeparator(char16_t c) { return c == u',' || c == u' ' || c == u'\t'; }

std::size_t skipDigits(std::string_view text, std::size_t at) {
  while (at < text.size() && isDigit(text[at])) ++at;
  return at;
}

float toFloat(double value) {
  if (value > FLT_MAX) return FLT_MAX;
  if (value < -FLT_MAX) return -FLT_MAX;
  return static_cast<float>(value);
}

// Narrowed into a buffer on the stack: every geometry attribute of a skin
// comes through here while it loads.
float readLength(DomStringView text, std::size_t limit) {
  // A few digits and nothing else, as skins mostly write lengths.
  constexpr std::size_t kPlainDigits = 9;
  if (!text.empty() && text.size() <= kPlainDigits && text.size() <= limit &&
      std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
    std::int32_t whole = 0;
    for (char16_t c : text) whole = whole * 10 + (c - u'0');
    return static_cast<float>(whole);
  }
  char narrow[kLengthTextLimit + 1];
  const std::size_t size = std::min({text.size(), limit, sizeof narrow});
  for (std::size_t i = 0; i < size; ++i) narrow[i] = text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
  return toFloat(readLeadingNumber(std::string_view(narrow, size)));
}

}  // namespace

std::string narrowText(DomStringView text, std::size_t limit) {
  std::string out;
  out.reserve(std::min(text.size(), limit));
  for (char16_t c : text.substr(0, std::min(text.size(), limit))) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

double readLeadingNumber(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && isBlank(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  std::size_t start = at;
  std::size_t end = skipDigits(text, at);
  bool digits = end > start;
  const bool fractionOrExponent = end < text.size() && (text[end] == '.' || text[end] == 'e' || text[end] == 'E');
  if (digits && !fractionOrExponent && end - start <= kExactIntegerDigits) {
    // A whole number of a few digits, as skins mostly write them: exact in a
    // double, so read here without the general conversion.
    double whole = 0;
    for (std::size_t i = start; i < end; ++i) whole = whole * 10 + (text[i] - '0');
    return negative ? -whole : whole;
  }
  if (end < text.size() && text[end] == '.') {
    std::size_t fractionEnd = skipDigits(text, end + 1);
    digits |= fractionEnd > end + 1;
    end = fractionEnd;
  }
  if (!digits) return 0;
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    std::size_t exponent = end + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
    std::size_t exponentEnd = skipDigits(text, exponent);
    if (exponentEnd > exponent) end = exponentEnd;
  }
  double value = 0;
  auto [ptr, error] = std::from_chars(text.data() + start, text.data() + end, value);
  if (error == std::errc::result_out_of_range) {
    // Either far too large or far too small: tell them apart by the exponent's sign.
    std::string_view number = text.substr(start, end - start);
    std::size_t e = number.find_first_of("eE");
    bool tiny = e != std::string_view::npos && e + 1 < number.size() && number[e + 1] == '-';
    value = tiny ? 0.0 : DBL_MAX;
  }
  return negative ? -value : value;
}

void SVGLength::setValueAsString(DomStringView text) {
  m_unitType = SVG_LENGTHTYPE_NUMBER;
  m_value = readLength(text, kLengthTextLimit);
}

DomString SVGLength::valueAsString() const {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.7g", static_cast<double>(m_value));
  return toWide(buffer);
}

void SVGAnimatedLength::setFromText(DomStringView text) {
  m_baseVal.setValueAsString(text);
  m_animVal = m_baseVal;
}

void SVGLengthList::setFromText(DomStringView text) {
  m_entries.clear();
  std::size_t at = 0;
  while (at < text.size() && (text[at] == u' ' || text[at] == u'\t')) ++at;
  if (at == text.size()) return;
  while (true) {
    std::size_t end = at;
    while (end < text.size() && !isListSeparator(text[end])) ++end;
    SVGLength length;
    length.setValue(readLength(text.substr(at, end - at), kListEntryLimit));
    m_entries.push_back(length);
    if (end == text.size()) break;
    at = end + 1;  // the separator closed this entry; what follows is the next one
  }
}

void SVGPointList::setFromText(DomStringView text) {
  m_points.clear();
  std::vector<float> numbers;
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && isListSeparator(text[at])) ++at;
    if (at == text.size()) break;
    std::size_t end = at;
    while (end < text.size() && !isListSeparator(text[end])) ++end;
    numbers.push_back(readLength(text.substr(at, end - at), kPointNumberLimit));
    at = end;
  }
  m_points.reserve(numbers.size() / 2);
  for (std::size_t i = 0; i + 1 < numbers.size(); i += 2) m_points.push_back(SVGPoint{numbers[i], numbers[i + 1]});
}
