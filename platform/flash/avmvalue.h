#pragma once
// Values of the movie script machine: undefined, null, booleans, numbers,
// strings and objects, with the conversions whose rules change with the
// movie's version (undefined as text and as a number, strings as booleans).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace swf::avm {

class Object;

enum class Type : uint8_t { Undefined, Null, Boolean, Number, String, Object };

// Strings are shared and never changed once made; text is UTF-8.
using StringRef = std::shared_ptr<const std::string>;

struct Value {
  Type type = Type::Undefined;
  union {
    double num;
    bool boolean;
    Object* obj;  // owned by the heap
  };
  StringRef str;

  Value() : num(0) {}
  Value(double n) : type(Type::Number), num(n) {}
  Value(int n) : type(Type::Number), num(n) {}
  Value(bool b) : type(Type::Boolean), boolean(b) {}
  Value(Object* o) : type(o ? Type::Object : Type::Null), obj(o) {}
  Value(StringRef s) : type(Type::String), num(0), str(std::move(s)) {}
  Value(std::string s) : type(Type::String), num(0), str(std::make_shared<const std::string>(std::move(s))) {}
  Value(const char* s) : Value(std::string(s)) {}
  static Value null() {
    Value v;
    v.type = Type::Null;
    return v;
  }

  bool isUndefined() const { return type == Type::Undefined; }
  bool isNullish() const { return type == Type::Undefined || type == Type::Null; }
  bool isNumber() const { return type == Type::Number; }
  bool isString() const { return type == Type::String; }
  bool isObject() const { return type == Type::Object; }
  Object* object() const { return type == Type::Object ? obj : nullptr; }
  const std::string& text() const { return *str; }  // only for strings
};

// Number text as the player writes it: integers plainly, others with up
// to 15 significant digits, exponents from 1e15 and below 1e-5.
std::string numberToString(double n);
// A number written in `radix` 2..36, as Number.toString(radix) does.
std::string numberToRadix(double n, int radix);
// Text as a number by the version's rules: SWF 4 answers 0 for what does
// not read; later versions NaN, with leading spaces, and from SWF 6 hexadecimal "0x" and octal.
double stringToNumber(std::string_view text, int version);
// ECMAScript ToInt32 and ToUint32.
int32_t toInt32(double n);
uint32_t toUint32(double n);
// Whole-number part, toward zero; NaN and infinities give 0.
double toInteger(double n);

// Case-insensitive ASCII comparison, as names compare before SWF 7.
bool equalsIgnoreCase(std::string_view a, std::string_view b);
std::string toLowerAscii(std::string_view s);

// UTF-8 and UTF-16 for the string methods, which count in 16-bit units.
std::u16string toUtf16(std::string_view text);
std::string toUtf8(std::u16string_view text);
// Code points to UTF-8, through the UTF-16 the rest of the machine counts in.
std::string toUtf8(std::u32string_view text);

}  // namespace swf::avm
