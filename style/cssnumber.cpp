// Numbers with units: the number part runs up to its last digit or ".", the
// rest names the unit by its first one or two letters.

#include <charconv>
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "style/cssparser.h"

namespace css {
namespace {

using Unit = CSSPrimitiveValue::UnitType;

struct UnitReading {
  Unit type;
  unsigned unitClass;
};

// Decimal only: optional sign, digits, optional fraction, optional exponent.
bool isDecimalNumber(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t exponentDigits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  return i == text.size();
}

// Whether a decimal that does not fit a double is huge rather than tiny: the
// power of ten of its first significant digit is positive.
bool isHuge(std::string_view text) {
  long long power = 0;
  bool significant = false, fraction = false;
  size_t i = (text[0] == '+' || text[0] == '-') ? 1 : 0;
  for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
    if (text[i] == '.') {
      fraction = true;
    } else if (!significant && text[i] == '0') {
      if (fraction) --power;
    } else if (!significant) {
      significant = true;
      if (fraction) --power;
    } else if (!fraction) {
      ++power;
    }
  }
  long long exponent = 0;
  if (i < text.size()) {
    bool negative = text[i + 1] == '-';
    for (size_t j = i + 1; j < text.size(); ++j) {
      if (text[j] >= '0' && text[j] <= '9') exponent = std::min(exponent * 10 + (text[j] - '0'), 1LL << 40);
    }
    if (negative) exponent = -exponent;
  }
  return significant && power + exponent > 0;
}

// A number that does not fit a float does not read.
bool readFloat(DomStringView text, float& value) {
  std::string ascii;
  for (char16_t c : text) {
    if (c >= 0x80) return false;
    ascii.push_back(static_cast<char>(c));
  }
  if (!isDecimalNumber(ascii)) return false;
  const char* begin = ascii.data() + (ascii[0] == '+' ? 1 : 0);
  double number = 0;
  auto [end, error] = std::from_chars(begin, ascii.data() + ascii.size(), number);
  if (error == std::errc::result_out_of_range) {
    if (isHuge(ascii)) return false;
    number = 0;  // too small to matter
  } else if (error != std::errc() || end != ascii.data() + ascii.size()) {
    return false;
  }
  if (std::abs(number) > std::numeric_limits<float>::max()) return false;
  value = static_cast<float>(number);
  return true;
}

bool readUnit(DomStringView unit, UnitReading& reading) {
  if (unit.empty()) return false;
  char16_t first = toLower(unit[0]);
  char16_t second = unit.size() > 1 ? toLower(unit[1]) : u'\0';
  auto is = [&](char16_t a, char16_t b) { return first == a && second == b; };
  if (first == u'%')
    reading = {Unit::CSS_PERCENTAGE, kPercent};
  else if (is(u'c', u'm'))
    reading = {Unit::CSS_CM, kLength};
  else if (is(u'm', u'm'))
    reading = {Unit::CSS_MM, kLength};
  else if (is(u'i', u'n'))
    reading = {Unit::CSS_IN, kLength};
  else if (is(u'p', u't'))
    reading = {Unit::CSS_PT, kLength};
  else if (is(u'p', u'c'))
    reading = {Unit::CSS_PC, kLength};
  else if (is(u'p', u'x'))
    reading = {Unit::CSS_PX, kLength};
  else if (is(u'e', u'm'))
    reading = {Unit::CSS_EMS, kLength};
  else if (is(u'e', u'x'))
    reading = {Unit::CSS_EXS, kLength};
  else if (first == u'd')
    reading = {Unit::CSS_DEG, kAngle};
  else if (first == u'g')
    reading = {Unit::CSS_GRAD, kAngle};
  else if (first == u'r')
    reading = {Unit::CSS_RAD, kAngle};
  else if (is(u'm', u's'))
    reading = {Unit::CSS_MS, kTime};
  else if (first == u's')
    reading = {Unit::CSS_S, kTime};
  else if (first == u'h')
    reading = {Unit::CSS_HZ, kFrequency};
  else if (first == u'k')
    reading = {Unit::CSS_KHZ, kFrequency};
  else
    return false;
  return true;
}

}  // namespace

Ref<CSSPrimitiveValue> parseNumberWithUnit(DomStringView text, unsigned allowed) {
  if (!text.empty() && text.front() == u'"') return {};
  text = trimmedEnd(text);
  size_t numberEnd = text.find_last_of(u"0123456789.");
  if (numberEnd == DomStringView::npos) return {};
  DomStringView numberPart = text.substr(0, numberEnd + 1);
  DomStringView unit = text.substr(numberEnd + 1);
  float value = 0;
  if (!readFloat(numberPart, value)) return {};
  if ((allowed & kNonNegative) && value < 0) return {};
  if (unit.empty()) {
    bool integral = numberPart.find(u'.') == DomStringView::npos;
    if ((allowed & kNumber) || ((allowed & kInteger) && integral)) {
      return CSSPrimitiveValue::number(value, Unit::CSS_NUMBER);
    }
    if (allowed & kLength) return CSSPrimitiveValue::number(value, Unit::CSS_PX);
    return {};
  }
  UnitReading reading;
  if (!readUnit(unit, reading) || !(allowed & reading.unitClass)) return {};
  return CSSPrimitiveValue::number(value, reading.type);
}

}  // namespace css
