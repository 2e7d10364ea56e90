// The built-in objects and global functions that movies call: Object,
// Function, Array, String, Number, Boolean, Math, Date, Error, the
// conversions and intervals.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <cwctype>
#include <locale.h>
#include <limits>
#include <optional>
#include <random>

#include "platform/flash/avm.h"

namespace swf::avm {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Value arg(std::span<const Value> args, size_t i) { return i < args.size() ? args[i] : Value(); }

ArrayObject* asArray(const Value& v) {
  Object* o = v.object();
  return o && o->kind() == ObjectKind::Array ? static_cast<ArrayObject*>(o) : nullptr;
}

Value obj(Object* o) { return Value(o); }

// A relative position of slice and friends: negative counts from the end.
size_t clampIndex(double n, size_t size) {
  if (std::isnan(n)) return 0;
  if (n < 0) n = std::max(0.0, double(size) + std::trunc(n));
  return size_t(std::min(std::trunc(n), double(size)));
}

std::string thisString(Machine& vm, const Value& self) {
  if (Object* o = self.object(); o && o->kind() == ObjectKind::String) return vm.toString(o->primitive);
  return vm.toString(self);
}

// Where the player's case tables, from an older Unicode, differ from today's:
// Georgian capitals lower to the letters in use then, and final sigma pairs
// with the unassigned capital beside sigma.
std::optional<char16_t> olderMapping(char16_t c, bool upper) {
  if (upper) {
    if (c == 0x03C2) return char16_t(0x03A2);
    if (c == 0x03F2) return char16_t(0x03A3);
    return std::nullopt;
  }
  if (c >= 0x10A0 && c <= 0x10C5) return char16_t(c + 0x30);
  if (c == 0x03A2) return char16_t(0x03C2);
  return std::nullopt;
}

// Unicode's simple case mappings, through the C library's UTF-8 locale.
class CaseLocale {
 public:
  CaseLocale() : m_locale(newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0))) {}
  ~CaseLocale() {
    if (m_locale) freelocale(m_locale);
  }
  CaseLocale(const CaseLocale&) = delete;
  CaseLocale& operator=(const CaseLocale&) = delete;
  char16_t map(char16_t c, bool upper) const {
    if (c < 0x80 || !m_locale) {
      if (upper) return c >= 'a' && c <= 'z' ? char16_t(c - 32) : c;
      return c >= 'A' && c <= 'Z' ? char16_t(c + 32) : c;
    }
    if (c >= 0xD800 && c <= 0xDFFF) return c;
    if (auto older = olderMapping(c, upper)) return *older;
    wint_t m = upper ? towupper_l(wint_t(c), m_locale) : towlower_l(wint_t(c), m_locale);
    // A mapping that leaves the 16-bit plane is not made.
    return m <= 0xFFFF ? char16_t(m) : c;
  }

 private:
  locale_t m_locale;
};

const CaseLocale& caseLocale() {
  static const CaseLocale locale;
  return locale;
}
char16_t upperCase(char16_t c) { return caseLocale().map(c, true); }
char16_t lowerCase(char16_t c) { return caseLocale().map(c, false); }

// A string position: a number wrapped to 32 bits, NaN as 0.
double position(Machine& vm, const Value& v) { return toInt32(vm.toNumber(v)); }

std::mt19937& engine() {
  static std::mt19937 e(std::random_device{}());
  return e;
}

// call and apply without an object to work on run on the global object.
Value thisForCall(Machine& vm, const Value& thisArg) { return thisArg.isNullish() ? Value(vm.global()) : thisArg; }

// apply's arguments: an array, or any object read through its length and indices.
std::vector<Value> argumentList(Machine& vm, const Value& list) {
  if (ArrayObject* a = asArray(list)) return a->items;
  Object* o = list.object();
  if (!o) return {};
  double length = vm.toNumber(vm.getOf(o, "length", list));
  std::vector<Value> items;
  for (int i = 0; i < std::min(length, 65536.0); ++i) items.push_back(vm.getOf(o, std::to_string(i), list));
  return items;
}

// The second argument of a two-place Math function: NaN when it was not passed.
double secondNumber(Machine& vm, std::span<const Value> args) { return args.size() > 1 ? vm.toNumber(args[1]) : kNaN; }

// -- Array --------------------------------------------------------------------------------

// Nested arrays join within a depth, counted while a join runs.
class JoinDepth {
 public:
  JoinDepth() { ++depth(); }
  ~JoinDepth() { --depth(); }
  JoinDepth(const JoinDepth&) = delete;
  JoinDepth& operator=(const JoinDepth&) = delete;
  bool tooDeep() const { return depth() > 65; }

 private:
  static int& depth() {
    static thread_local int value = 0;
    return value;
  }
};

std::string joinArray(Machine& vm, ArrayObject* a, const std::string& separator) {
  JoinDepth guard;
  if (guard.tooDeep()) return "";
  std::string out;
  for (size_t i = 0; i < a->items.size(); ++i) {
    if (i) out += separator;
    const Value& v = a->items[i];
    if (!v.isUndefined())
      out += vm.toString(v);
    else if (vm.version() >= 7)
      out += "undefined";
    vm.ensureStringLength(out.size());
  }
  return out;
}

// Another object borrowing join has no elements of its own, only a length.
Value joinAny(Machine& vm, const Value& self, const std::string& separator) {
  if (ArrayObject* a = asArray(self)) return Value(joinArray(vm, a, separator));
  Object* o = self.object();
  if (!o) return Value();
  double length = std::trunc(vm.toNumber(vm.getOf(o, "length", self)));
  if (!(length > 0)) return Value("");
  vm.ensureArrayLength(size_t(std::min(length, double(kMaxArrayLength) + 1)));
  ArrayObject* empty = vm.newArray();
  empty->items.resize(size_t(length));
  return Value(joinArray(vm, empty, separator));
}

enum SortFlags : int { kCaseInsensitive = 1, kDescending = 2, kUniqueSort = 4, kReturnIndexedArray = 8, kNumeric = 16 };

int compareValues(Machine& vm, const Value& a, const Value& b, int flags) {
  if (flags & kNumeric) {
    double x = vm.toNumber(a), y = vm.toNumber(b);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  std::string x = vm.toString(a), y = vm.toString(b);
  if (a.isUndefined()) x = "undefined";
  if (b.isUndefined()) y = "undefined";
  if (flags & kCaseInsensitive) {
    x = toLowerAscii(x);
    y = toLowerAscii(y);
  }
  return x.compare(y) < 0 ? -1 : x.compare(y) > 0 ? 1 : 0;
}

Value sortArray(Machine& vm, ArrayObject* a, std::span<const Value> args, const std::vector<std::string>* fields) {
  Value comparator;
  int flags = 0;
  size_t next = 0;
  if (!fields && arg(args, 0).object() && arg(args, 0).obj->kind() == ObjectKind::Function) comparator = args[next++];
  if (fields) next = 1;
  if (next < args.size()) flags = int(vm.toNumber(args[next]));
  std::vector<size_t> order(a->items.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  auto key = [&](size_t i, const std::string& field) {
    Object* o = a->items[i].object();
    return o ? vm.getOf(o, field, a->items[i]) : Value();
  };
  auto compare = [&](size_t x, size_t y) -> int {
    int c = 0;
    if (comparator.isObject()) {
      Value pair[2] = {a->items[x], a->items[y]};
      c = int(vm.toNumber(vm.call(comparator, Value(), pair)));
    } else if (fields) {
      for (const std::string& f : *fields)
        if ((c = compareValues(vm, key(x, f), key(y, f), flags)) != 0) break;
    } else {
      c = compareValues(vm, a->items[x], a->items[y], flags);
    }
    return (flags & kDescending) ? -c : c;
  };
  std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) { return compare(x, y) < 0; });
  if (flags & kUniqueSort)
    for (size_t i = 1; i < order.size(); ++i)
      if (compare(order[i - 1], order[i]) == 0) return Value(0.0);
  if (flags & kReturnIndexedArray) {
    std::vector<Value> indices;
    for (size_t i : order) indices.push_back(Value(double(i)));
    return obj(vm.newArray(std::move(indices)));
  }
  std::vector<Value> sorted;
  for (size_t i : order) sorted.push_back(a->items[i]);
  a->items = std::move(sorted);
  return obj(a);
}

void installArray(Machine& vm, Object* global) {
  Object* proto = vm.arrayPrototype();
  auto ctor = vm.newNative(
      [](Machine& vm, const Value&, std::span<const Value> args) {
        ArrayObject* a = vm.newArray();
        if (args.size() == 1 && args[0].isNumber()) {
          a->setLength(args[0].num);
        } else {
          a->items.assign(args.begin(), args.end());
        }
        return obj(a);
      },
      [](Machine& vm, const Value& self, std::span<const Value> args) {
        ArrayObject* a = vm.newArray();
        if (Object* o = self.object()) a->proto = o->proto;
        if (args.size() == 1 && args[0].isNumber()) {
          a->setLength(args[0].num);
        } else {
          a->items.assign(args.begin(), args.end());
        }
        return obj(a);
      });
  vm.setHidden(ctor, "prototype", obj(proto));
  vm.setHidden(proto, "constructor", obj(ctor));
  vm.setHidden(global, "Array", obj(ctor));
  for (auto [name, value] : {std::pair{"CASEINSENSITIVE", 1},
                             {"DESCENDING", 2},
                             {"UNIQUESORT", 4},
                             {"RETURNINDEXEDARRAY", 8},
                             {"NUMERIC", 16}})
    vm.setHidden(ctor, name, Value(double(value)));

  vm.method(proto, "push", [](Machine& vm, const Value& self, std::span<const Value> args) {
    ArrayObject* a = asArray(self);
    if (!a) return Value();
    vm.ensureArrayLength(a->items.size() + args.size());
    for (const Value& v : args) a->items.push_back(v);  // one by one: most pushes are of one item
    return Value(double(a->items.size()));
  });
  vm.method(proto, "pop", [](Machine&, const Value& self, std::span<const Value>) {
    ArrayObject* a = asArray(self);
    if (!a || a->items.empty()) return Value();
    Value v = a->items.back();
    a->items.pop_back();
    return v;
  });
  vm.method(proto, "shift", [](Machine&, const Value& self, std::span<const Value>) {
    ArrayObject* a = asArray(self);
    if (!a || a->items.empty()) return Value();
    Value v = a->items.front();
    a->items.erase(a->items.begin());
    return v;
  });
  vm.method(proto, "unshift", [](Machine& vm, const Value& self, std::span<const Value> args) {
    ArrayObject* a = asArray(self);
    if (!a) return Value();
    vm.ensureArrayLength(a->items.size() + args.size());
    a->items.insert(a->items.begin(), args.begin(), args.end());
    return Value(double(a->items.size()));
  });
  vm.method(proto, "join", [](Machine& vm, const Value& self, std::span<const Value> args) {
    return joinAny(vm, self, arg(args, 0).isUndefined() ? "," : vm.toString(args[0]));
  });
  vm.method(proto, "toString",
            [](Machine& vm, const Value& self, std::span<const Value>) { return joinAny(vm, self, ","); });
  vm.method(proto, "reverse", [](Machine&, const Value& self, std::span<const Value>) {
    ArrayObject* a = asArray(self);
    if (a) std::reverse(a->items.begin(), a->items.end());
    return self;
  });
  vm.method(proto, "concat", [](Machine& vm, const Value& self, std::span<const Value> args) {
    ArrayObject* a = asArray(self);
    ArrayObject* out = vm.newArray(a ? a->items : std::vector<Value>{});
    for (const Value& v : args) {
      vm.ensureArrayLength(out->items.size() + (asArray(v) ? asArray(v)->items.size() : 1));
      if (ArrayObject* other = asArray(v))
        out->items.insert(out->items.end(), other->items.begin(), other->items.end());
      else
        out->items.push_back(v);
    }
    return obj(out);
  });
  vm.method(proto, "slice", [](Machine& vm, const Value& self, std::span<const Value> args) {
    ArrayObject* a = asArray(self);
    if (!a) return Value();
    size_t n = a->items.size();
    size_t start = clampIndex(arg(args, 0).isUndefined() ? 0 : vm.toNumber(args[0]), n);
    size_t end = arg(args, 1).isUndefined() ? n : clampIndex(vm.toNumber(args[1]), n);
    std::vector<Value> items;
    if (start < end) items.assign(a->items.begin() + long(start), a->items.begin() + long(end));
    return obj(vm.newArray(std::move(items)));
  });
  vm.method(proto, "splice", [](Machine& vm, const Value& self, std::span<const Value> args) {
    ArrayObject* a = asArray(self);
    // No start, or a count that is not a number of at least 0, changes nothing.
    if (!a || args.empty() || args[0].isUndefined()) return Value();
    size_t n = a->items.size();
    size_t start = clampIndex(vm.toNumber(args[0]), n);
    double wanted = args.size() < 2 ? double(n - start) : vm.toNumber(args[1]);
    if (!(wanted >= 0)) return Value();
    size_t count = size_t(std::min(std::trunc(wanted), double(n - start)));
    std::vector<Value> removed(a->items.begin() + long(start), a->items.begin() + long(start + count));
    a->items.erase(a->items.begin() + long(start), a->items.begin() + long(start + count));
    if (args.size() > 2) {
      vm.ensureArrayLength(a->items.size() + args.size() - 2);
      a->items.insert(a->items.begin() + long(start), args.begin() + 2, args.end());
    }
    return obj(vm.newArray(std::move(removed)));
  });
  vm.method(proto, "sort", [](Machine& vm, const Value& self, std::span<const Value> args) {
    ArrayObject* a = asArray(self);
    return a ? sortArray(vm, a, args, nullptr) : Value();
  });
  vm.method(proto, "sortOn", [](Machine& vm, const Value& self, std::span<const Value> args) {
    ArrayObject* a = asArray(self);
    if (!a) return Value();
    std::vector<std::string> fields;
    if (ArrayObject* list = asArray(arg(args, 0)))
      for (const Value& v : list->items) fields.push_back(vm.toString(v));
    else
      fields.push_back(vm.toString(arg(args, 0)));
    return sortArray(vm, a, args, &fields);
  });
}

// -- String -------------------------------------------------------------------------------

void installString(Machine& vm, Object* global) {
  Object* proto = vm.newObject();
  auto ctor =
      vm.newNative([](Machine& vm, const Value&,
                      std::span<const Value> args) { return args.empty() ? Value("") : Value(vm.toString(args[0])); },
                   [](Machine& vm, const Value& self, std::span<const Value> args) {
                     Object* o = self.object();
                     auto* s = vm.heap().make<PrimitiveObject>(o ? o->proto : nullptr, ObjectKind::String);
                     s->primitive = args.empty() ? Value("") : Value(vm.toString(args[0]));
                     return obj(s);
                   });
  vm.setHidden(ctor, "prototype", obj(proto));
  vm.setHidden(proto, "constructor", obj(ctor));
  vm.setHidden(global, "String", obj(ctor));
  vm.method(ctor, "fromCharCode", [](Machine& vm, const Value&, std::span<const Value> args) {
    std::u16string s;
    for (const Value& v : args) {
      char16_t c = char16_t(toUint32(vm.toNumber(v)) & 0xFFFF);
      if (!c) break;  // a NUL ends the text
      s += c;
    }
    return Value(toUtf8(s));
  });
  vm.method(proto, "toString",
            [](Machine& vm, const Value& self, std::span<const Value>) { return Value(thisString(vm, self)); });
  vm.method(proto, "valueOf",
            [](Machine& vm, const Value& self, std::span<const Value>) { return Value(thisString(vm, self)); });
  vm.method(proto, "toUpperCase", [](Machine& vm, const Value& self, std::span<const Value>) {
    std::u16string s = toUtf16(thisString(vm, self));
    for (char16_t& c : s) c = upperCase(c);
    return Value(toUtf8(s));
  });
  vm.method(proto, "toLowerCase", [](Machine& vm, const Value& self, std::span<const Value>) {
    std::u16string s = toUtf16(thisString(vm, self));
    for (char16_t& c : s) c = lowerCase(c);
    return Value(toUtf8(s));
  });
  vm.method(proto, "charAt", [](Machine& vm, const Value& self, std::span<const Value> args) {
    std::u16string s = toUtf16(thisString(vm, self));
    double i = toInt32(vm.toNumber(arg(args, 0)));
    if (i < 0 || i >= double(s.size())) return Value("");
    return Value(toUtf8(s.substr(size_t(i), 1)));
  });
  vm.method(proto, "charCodeAt", [](Machine& vm, const Value& self, std::span<const Value> args) {
    std::u16string s = toUtf16(thisString(vm, self));
    double i = toInt32(vm.toNumber(arg(args, 0)));
    if (i < 0 || i >= double(s.size())) return Value(kNaN);
    return Value(double(s[size_t(i)]));
  });
  vm.method(proto, "indexOf", [](Machine& vm, const Value& self, std::span<const Value> args) {
    if (args.empty()) return Value();
    std::u16string s = toUtf16(thisString(vm, self)), needle = toUtf16(vm.toString(arg(args, 0)));
    double from = args.size() > 1 ? std::max(0.0, double(toInt32(vm.toNumber(args[1])))) : 0;
    if (from > double(s.size())) return Value(-1.0);
    size_t at = s.find(needle, size_t(from));
    return Value(at == std::u16string::npos ? -1.0 : double(at));
  });
  // Without arguments these answer undefined; positions wrap at 32 bits.
  vm.method(proto, "lastIndexOf", [](Machine& vm, const Value& self, std::span<const Value> args) {
    if (args.empty()) return Value();
    std::u16string s = toUtf16(thisString(vm, self)), needle = toUtf16(vm.toString(args[0]));
    size_t from = std::u16string::npos;
    if (!arg(args, 1).isUndefined()) {
      double n = position(vm, args[1]);
      if (n < 0) return Value(-1.0);
      from = size_t(std::min(n, double(s.size())));
    }
    size_t at = s.rfind(needle, from);
    return Value(at == std::u16string::npos ? -1.0 : double(at));
  });
  vm.method(proto, "substr", [](Machine& vm, const Value& self, std::span<const Value> args) {
    if (args.empty()) return Value();
    std::u16string s = toUtf16(thisString(vm, self));
    size_t start = clampIndex(position(vm, args[0]), s.size());
    double count = arg(args, 1).isUndefined() ? double(s.size()) : position(vm, args[1]);
    if (count < 0) count = std::max(0.0, double(s.size() - start) + count);
    return Value(toUtf8(s.substr(start, size_t(std::min(count, double(s.size() - start))))));
  });
  vm.method(proto, "substring", [](Machine& vm, const Value& self, std::span<const Value> args) {
    if (args.empty()) return Value();
    std::u16string s = toUtf16(thisString(vm, self));
    auto clampPlain = [&](double n) { return n < 0 ? size_t(0) : size_t(std::min(n, double(s.size()))); };
    size_t a = clampPlain(position(vm, args[0]));
    size_t b = arg(args, 1).isUndefined() ? s.size() : clampPlain(position(vm, args[1]));
    if (a > b) std::swap(a, b);
    return Value(toUtf8(s.substr(a, b - a)));
  });
  vm.method(proto, "slice", [](Machine& vm, const Value& self, std::span<const Value> args) {
    if (args.empty()) return Value();
    std::u16string s = toUtf16(thisString(vm, self));
    size_t a = clampIndex(position(vm, args[0]), s.size());
    size_t b = arg(args, 1).isUndefined() ? s.size() : clampIndex(position(vm, args[1]), s.size());
    return Value(a < b ? toUtf8(s.substr(a, b - a)) : std::string());
  });
  vm.method(proto, "concat", [](Machine& vm, const Value& self, std::span<const Value> args) {
    std::string s = thisString(vm, self);
    for (const Value& v : args) {
      s += vm.toString(v);
      vm.ensureStringLength(s.size());
    }
    return Value(s);
  });
  vm.method(proto, "split", [](Machine& vm, const Value& self, std::span<const Value> args) {
    std::u16string s = toUtf16(thisString(vm, self));
    ArrayObject* out = vm.newArray();
    if (arg(args, 0).isUndefined()) {
      out->items.push_back(Value(toUtf8(s)));
      return obj(out);
    }
    std::u16string sep = toUtf16(vm.toString(args[0]));
    double limit = arg(args, 1).isUndefined() ? 1e18 : vm.toNumber(args[1]);
    if (sep.empty()) {
      vm.ensureArrayLength(std::min(double(s.size()), std::max(0.0, limit)));
      for (size_t i = 0; i < s.size() && double(out->items.size()) < limit; ++i)
        out->items.push_back(Value(toUtf8(s.substr(i, 1))));
      return obj(out);
    }
    size_t start = 0;
    while (double(out->items.size()) < limit) {
      size_t at = s.find(sep, start);
      vm.ensureArrayLength(out->items.size() + 1);
      out->items.push_back(
          Value(toUtf8(s.substr(start, at == std::u16string::npos ? std::u16string::npos : at - start))));
      if (at == std::u16string::npos) break;
      start = at + sep.size();
    }
    return obj(out);
  });
}

// -- Number, Boolean ------------------------------------------------------------------------

void installNumberAndBoolean(Machine& vm, Object* global) {
  Object* numberProto = vm.newObject();
  auto number =
      vm.newNative([](Machine& vm, const Value&,
                      std::span<const Value> args) { return Value(args.empty() ? 0.0 : vm.toNumber(args[0])); },
                   [](Machine& vm, const Value& self, std::span<const Value> args) {
                     Object* o = self.object();
                     auto* n = vm.heap().make<PrimitiveObject>(o ? o->proto : nullptr, ObjectKind::Number);
                     n->primitive = Value(args.empty() ? 0.0 : vm.toNumber(args[0]));
                     return obj(n);
                   });
  vm.setHidden(number, "prototype", obj(numberProto));
  vm.setHidden(numberProto, "constructor", obj(number));
  vm.setHidden(global, "Number", obj(number));
  constexpr std::pair<const char*, double> kConstants[] = {
      {"MAX_VALUE", std::numeric_limits<double>::max()},
      {"MIN_VALUE", std::numeric_limits<double>::denorm_min()},
      {"NaN", kNaN},
      {"NEGATIVE_INFINITY", -std::numeric_limits<double>::infinity()},
      {"POSITIVE_INFINITY", std::numeric_limits<double>::infinity()}};
  for (auto [name, value] : kConstants) {
    Property& p = number->props.insert(name);
    p.value = Value(value);
    p.flags = kDontEnum | kDontDelete | kReadOnly;
  }
  auto thisNumber = [](Machine& vm, const Value& self) {
    if (Object* o = self.object(); o && o->kind() == ObjectKind::Number) return o->primitive.num;
    return vm.toNumber(self);
  };
  (void)thisNumber;
  vm.method(numberProto, "toString", [](Machine& vm, const Value& self, std::span<const Value> args) {
    double n = self.object() && self.obj->kind() == ObjectKind::Number ? self.obj->primitive.num : vm.toNumber(self);
    int radix = arg(args, 0).isUndefined() ? 10 : int(vm.toNumber(args[0]));
    return Value(numberToRadix(n, radix));
  });
  vm.method(numberProto, "valueOf", [](Machine& vm, const Value& self, std::span<const Value>) {
    return Value(self.object() && self.obj->kind() == ObjectKind::Number ? self.obj->primitive.num : vm.toNumber(self));
  });

  Object* booleanProto = vm.newObject();
  // Boolean() without a value answers undefined from SWF 7, false before.
  auto boolean = vm.newNative(
      [](Machine& vm, const Value&, std::span<const Value> args) {
        if (args.empty()) return vm.version() >= 7 ? Value() : Value(false);
        return Value(vm.toBoolean(args[0]));
      },
      [](Machine& vm, const Value& self, std::span<const Value> args) {
        Object* o = self.object();
        auto* b = vm.heap().make<PrimitiveObject>(o ? o->proto : nullptr, ObjectKind::Boolean);
        b->primitive = Value(!args.empty() && vm.toBoolean(args[0]));
        return obj(b);
      });
  vm.setHidden(boolean, "prototype", obj(booleanProto));
  vm.setHidden(booleanProto, "constructor", obj(boolean));
  vm.setHidden(global, "Boolean", obj(boolean));
  vm.method(booleanProto, "toString", [](Machine& vm, const Value& self, std::span<const Value>) {
    Value v = self.object() && self.obj->kind() == ObjectKind::Boolean ? self.obj->primitive : self;
    return Value(vm.toString(Value(vm.toBoolean(v))));
  });
  vm.method(booleanProto, "valueOf", [](Machine& vm, const Value& self, std::span<const Value>) {
    Value v = self.object() && self.obj->kind() == ObjectKind::Boolean ? self.obj->primitive : self;
    return Value(vm.toBoolean(v));
  });
}

// -- Math -------------------------------------------------------------------------------------

// The player converts one argument more than it uses; none is NaN.
template <double (*F)(double)>
Value unary(Machine& vm, const Value&, std::span<const Value> args) {
  if (args.empty()) return Value(kNaN);
  double x = vm.toNumber(args[0]);
  if (args.size() > 1) vm.toNumber(args[1]);
  return Value(F(x));
}

double roundHalfUp(double x) { return std::floor(x + 0.5); }

void installMath(Machine& vm, Object* global) {
  Object* math = vm.newObject();
  vm.setHidden(global, "Math", obj(math));
  constexpr std::pair<const char*, double> kConstants[] = {
      {"E", 2.718281828459045},        {"LN10", 2.302585092994046},   {"LN2", 0.6931471805599453},
      {"LOG10E", 0.4342944819032518},  {"LOG2E", 1.4426950408889634}, {"PI", 3.141592653589793},
      {"SQRT1_2", 0.7071067811865476}, {"SQRT2", 1.4142135623730951}};
  for (auto [name, value] : kConstants) {
    Property& p = math->props.insert(name);
    p.value = Value(value);
    p.flags = kDontEnum | kDontDelete | kReadOnly;
  }
  vm.method(math, "abs", unary<std::fabs>);
  vm.method(math, "acos", unary<std::acos>);
  vm.method(math, "asin", unary<std::asin>);
  vm.method(math, "atan", unary<std::atan>);
  vm.method(math, "ceil", unary<std::ceil>);
  vm.method(math, "cos", unary<std::cos>);
  vm.method(math, "exp", unary<std::exp>);
  vm.method(math, "floor", unary<std::floor>);
  vm.method(math, "log", unary<std::log>);
  vm.method(math, "round", unary<roundHalfUp>);
  vm.method(math, "sin", unary<std::sin>);
  vm.method(math, "sqrt", unary<std::sqrt>);
  vm.method(math, "tan", unary<std::tan>);
  vm.method(math, "atan2", [](Machine& vm, const Value&, std::span<const Value> args) {
    if (args.size() < 2) return Value(kNaN);
    double y = vm.toNumber(args[0]);
    return Value(std::atan2(y, vm.toNumber(args[1])));
  });
  vm.method(math, "pow", [](Machine& vm, const Value&, std::span<const Value> args) {
    if (args.empty()) return Value(kNaN);
    double base = vm.toNumber(args[0]);
    return Value(std::pow(base, secondNumber(vm, args)));
  });
  // max and min compare their first two values only.
  vm.method(math, "max", [](Machine& vm, const Value&, std::span<const Value> args) {
    if (args.empty()) return Value(-std::numeric_limits<double>::infinity());
    double a = vm.toNumber(args[0]), b = secondNumber(vm, args);
    return std::isnan(a) || std::isnan(b) ? Value(kNaN) : Value(std::max(a, b));
  });
  vm.method(math, "min", [](Machine& vm, const Value&, std::span<const Value> args) {
    if (args.empty()) return Value(std::numeric_limits<double>::infinity());
    double a = vm.toNumber(args[0]), b = secondNumber(vm, args);
    return std::isnan(a) || std::isnan(b) ? Value(kNaN) : Value(std::min(a, b));
  });
  // Like every Math function of the player, random reads two numbers first.
  vm.method(math, "random", [](Machine& vm, const Value&, std::span<const Value> args) {
    for (size_t i = 0; i < std::min<size_t>(args.size(), 2); ++i) vm.toNumber(args[i]);
    return Value(std::uniform_real_distribution<double>(0, 1)(engine()));
  });
}

// -- Object and Function --------------------------------------------------------------------------

void installObjectAndFunction(Machine& vm, Object* global) {
  Object* proto = vm.objectPrototype();
  Object* fnProto = vm.functionPrototype();
  auto object = vm.newNative(
      [](Machine& vm, const Value&, std::span<const Value> args) {
        Object* o = args.empty() ? nullptr : vm.wrap(args[0]);
        return obj(o ? o : vm.newObject());
      },
      [](Machine& vm, const Value& self, std::span<const Value> args) {
        Object* o = args.empty() ? nullptr : vm.wrap(args[0]);
        return o ? obj(o) : self;
      });
  vm.setHidden(object, "prototype", obj(proto));
  vm.setHidden(proto, "constructor", obj(object));
  vm.setHidden(global, "Object", obj(object));
  vm.method(object, "registerClass", [](Machine& vm, const Value&, std::span<const Value> args) {
    // A constructor registers, null forgets the name, anything else refuses.
    Object* ctor = arg(args, 1).object();
    bool forget = arg(args, 1).type == Type::Null;
    if (args.size() < 2 || (!forget && (!ctor || ctor->kind() != ObjectKind::Function))) return Value(false);
    vm.registerClass(vm.toString(args[0]), args[1]);
    return Value(true);
  });

  vm.method(proto, "toString", [](Machine&, const Value& self, std::span<const Value>) {
    Object* o = self.object();
    return Value(o && o->kind() == ObjectKind::Function ? "[type Function]" : "[object Object]");
  });
  vm.method(proto, "toLocaleString",
            [](Machine&, const Value&, std::span<const Value>) { return Value("[object Object]"); });
  vm.method(proto, "valueOf", [](Machine&, const Value& self, std::span<const Value>) { return self; });
  vm.method(proto, "hasOwnProperty", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Object* o = self.object();
    if (!o || args.empty()) return Value(false);
    std::string name = args[0].isUndefined() ? "undefined" : vm.toString(args[0]);
    Value special;
    return Value(name == "__proto__" || o->props.find(name) != nullptr || o->getSpecial(vm, name, special));
  });
  vm.method(proto, "isPropertyEnumerable", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Object* o = self.object();
    Property* p = o ? o->props.find(vm.toString(arg(args, 0))) : nullptr;
    return Value(p && !(p->flags & kDontEnum));
  });
  vm.method(proto, "isPrototypeOf", [](Machine&, const Value& self, std::span<const Value> args) {
    Object* o = self.object();
    Object* other = arg(args, 0).object();
    for (int hops = 0; other && hops < 256; ++hops) {
      other = other->proto;
      if (other == o) return Value(true);
    }
    return Value(false);
  });
  vm.method(proto, "addProperty", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Object* o = self.object();
    std::string name = vm.toString(arg(args, 0));
    Object* getter = arg(args, 1).object();
    Object* setter = arg(args, 2).object();
    if (!o || name.empty() || !getter || getter->kind() != ObjectKind::Function) return Value(false);
    // No setter is given as null; anything else that is not a function refuses.
    if (setter ? setter->kind() != ObjectKind::Function : arg(args, 2).type != Type::Null) return Value(false);
    // The value it held stays in the accessor's plain slot.
    Property& p = o->props.insert(name);
    p.getter = getter;
    p.setter = setter;
    vm.accessorAdded(o, name);
    return Value(true);
  });
  vm.method(proto, "watch", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Object* o = self.object();
    Object* callback = arg(args, 1).object();
    if (!o || args.empty() || !callback || callback->kind() != ObjectKind::Function) return Value(false);
    std::string name = vm.toString(args[0]);
    if (!o->watches) o->watches = std::make_unique<std::vector<Watch>>();
    Watch* w = o->findWatch(name, vm.heap().caseSensitive());
    if (!w) w = &o->watches->emplace_back(Watch{name});
    w->callback = callback;
    w->userData = arg(args, 2);
    return Value(true);
  });
  vm.method(proto, "unwatch", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Object* o = self.object();
    if (!o || !o->watches || args.empty()) return Value(false);
    std::string name = vm.toString(args[0]);
    Watch* w = o->findWatch(name, vm.heap().caseSensitive());
    // A watch on an accessor holds on.
    Property* p = o->props.find(name);
    if (!w || (p && (p->getter || p->setter))) return Value(false);
    o->watches->erase(o->watches->begin() + (w - o->watches->data()));
    return Value(true);
  });

  auto function = vm.newNative([](Machine&, const Value&, std::span<const Value>) { return Value(); });
  vm.setHidden(function, "prototype", obj(fnProto));
  vm.setHidden(fnProto, "constructor", obj(function));
  vm.setHidden(global, "Function", obj(function));
  vm.method(fnProto, "call", [](Machine& vm, const Value& self, std::span<const Value> args) {
    return vm.call(self, thisForCall(vm, arg(args, 0)), args.empty() ? args : args.subspan(1));
  });
  vm.method(fnProto, "apply", [](Machine& vm, const Value& self, std::span<const Value> args) {
    return vm.call(self, thisForCall(vm, arg(args, 0)), argumentList(vm, arg(args, 1)));
  });
}

// -- Error, Date ----------------------------------------------------------------------------------

void installError(Machine& vm, Object* global) {
  Object* proto = vm.newObject();
  auto error = vm.newNative(
      [](Machine& vm, const Value&, std::span<const Value> args) {
        Object* e = vm.newObject();
        if (!args.empty()) vm.set(e, "message", args[0]);
        return obj(e);
      },
      [](Machine& vm, const Value& self, std::span<const Value> args) {
        if (Object* o = self.object(); o && !args.empty() && !args[0].isUndefined()) vm.set(o, "message", args[0]);
        return self;
      });
  vm.setHidden(error, "prototype", obj(proto));
  vm.setHidden(proto, "constructor", obj(error));
  vm.setHidden(proto, "name", Value("Error"));
  vm.setHidden(proto, "message", Value("Error"));
  vm.method(proto, "toString", [](Machine& vm, const Value& self, std::span<const Value>) {
    return Value(vm.toString(vm.get(self, "message")));
  });
  vm.setHidden(global, "Error", obj(error));
}

double nowMs() {
  using namespace std::chrono;
  return double(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

void installDate(Machine& vm, Object* global) {
  Object* proto = vm.newObject();
  auto date =
      vm.newNative([](Machine& vm, const Value&, std::span<const Value>) { return Value(vm.toString(Value(nowMs()))); },
                   [](Machine& vm, const Value& self, std::span<const Value> args) {
                     Object* o = self.object();
                     auto* d = vm.heap().make<PrimitiveObject>(o ? o->proto : nullptr, ObjectKind::Date);
                     d->primitive = Value(args.empty() ? nowMs() : vm.toNumber(args[0]));
                     return obj(d);
                   });
  vm.setHidden(date, "prototype", obj(proto));
  vm.setHidden(proto, "constructor", obj(date));
  vm.setHidden(global, "Date", obj(date));
  vm.method(proto, "getTime", [](Machine&, const Value& self, std::span<const Value>) {
    Object* o = self.object();
    return o && o->kind() == ObjectKind::Date ? o->primitive : Value(kNaN);
  });
  vm.method(proto, "valueOf", [](Machine&, const Value& self, std::span<const Value>) {
    Object* o = self.object();
    return o && o->kind() == ObjectKind::Date ? o->primitive : Value(kNaN);
  });
}

// -- global functions -----------------------------------------------------------------------------------

// A sign, a zero, then only octal digits to the end.
bool octalText(std::string_view s) {
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) s.remove_prefix(1);
  if (s.size() < 2 || s[0] != '0') return false;
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '7'; });
}

// parseInt as the player reads it: "0x" at the very start is hexadecimal (the
// digits may then carry a sign), a sign before "0x" skips the zero and keeps the
// x as a digit, octal needs the whole text to be octal, and a radix given must
// be 2 to 36.
double parseIntText(std::string_view s, std::optional<int> radixGiven) {
  int radix = radixGiven.value_or(0);
  size_t i = 0;
  auto isX = [&](size_t k) { return k < s.size() && (s[k] == 'x' || s[k] == 'X'); };
  if (s.size() >= 2 && s[0] == '0' && isX(1)) {
    i = 2;
    if (!radixGiven) radix = 16;
  } else if (s.size() >= 3 && (s[0] == '-' || s[0] == '+') && s[1] == '0' && isX(2)) {
    i = 2;
  } else if (!radixGiven && octalText(s)) {
    radix = 8;
  }
  if (radix == 0) radix = 10;
  if (radix < 2 || radix > 36) return kNaN;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  double value = 0;
  size_t digits = 0;
  for (; i < s.size(); ++i, ++digits) {
    char c = s[i];
    int d = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'a' && c <= 'z' ? c - 'a' + 10
            : c >= 'A' && c <= 'Z' ? c - 'A' + 10
                                   : 99;
    if (d >= radix) break;
    value = value * radix + d;
  }
  if (digits == 0) return kNaN;
  return negative ? -value : value;
}

// parseFloat as the player reads it: fraction digits add up one place at a
// time, a second point is skipped (and then no exponent is read), and the
// exponent wraps at 32 bits.
double parseFloatText(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  auto isDigit = [&](size_t k) { return k < s.size() && s[k] >= '0' && s[k] <= '9'; };
  double value = 0, place = 0.1;
  size_t digits = 0, points = 0;
  for (; i < s.size(); ++i) {
    if (s[i] == '.') {
      ++points;
    } else if (isDigit(i)) {
      ++digits;
      if (points == 0) {
        value = value * 10 + (s[i] - '0');
      } else {
        value += (s[i] - '0') * place;
        place /= 10;
      }
    } else {
      break;
    }
  }
  if (digits == 0) return kNaN;
  if (points < 2 && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t e = i + 1;
    bool negativeExponent = false;
    if (e < s.size() && (s[e] == '-' || s[e] == '+')) negativeExponent = s[e++] == '-';
    uint32_t exponent = 0;
    size_t first = e;
    for (; isDigit(e); ++e) exponent = exponent * 10 + uint32_t(s[e] - '0');
    double power = std::pow(10.0, double(int32_t(exponent)));
    if (e > first) value = negativeExponent ? value / power : value * power;
  }
  return negative ? -value : value;
}

std::string escapeText(std::string_view s) {
  std::string out;
  for (unsigned char c : s) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      out += char(c);
    } else {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    }
  }
  return out;
}

std::string unescapeText(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    auto hex = [](char c) {
      return c >= '0' && c <= '9'   ? c - '0'
             : c >= 'a' && c <= 'f' ? c - 'a' + 10
             : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                    : -1;
    };
    if (s[i] == '%' && i + 2 < s.size() + 0 && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
      out += char(hex(s[i + 1]) * 16 + hex(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

Value setIntervalNative(Machine& vm, std::span<const Value> args, bool once) {
  if (args.empty()) return Value();
  std::vector<Value> rest;
  int id;
  if (args[0].isObject() && args[0].obj->kind() == ObjectKind::Function) {
    if (args.size() > 2) rest.assign(args.begin() + 2, args.end());
    id = vm.addInterval(args[0], Value(), "", vm.toNumber(arg(args, 1)), std::move(rest));
  } else if (args[0].isObject() && args.size() >= 3) {
    if (args.size() > 3) rest.assign(args.begin() + 3, args.end());
    id = vm.addInterval(Value(), args[0], vm.toString(args[1]), vm.toNumber(args[2]), std::move(rest));
  } else {
    return Value();
  }
  (void)once;
  return Value(double(id));
}

// ASSetPropFlags bits that hide a property from movies older than a version.
constexpr std::pair<int, int> kVersionFlags[] = {{0x80, 6},   {0x100, 7},   {0x400, 8},
                                                 {0x1000, 9}, {0x2000, 10}, {0x4000, 10}};
constexpr int kVersionFlagsMask = 0x80 | 0x100 | 0x400 | 0x1000 | 0x2000 | 0x4000;

int versionOfFlags(int flags) {
  int from = 0;
  for (auto [bit, version] : kVersionFlags)
    if (flags & bit) from = std::max(from, version);
  return from;
}

void installGlobals(Machine& vm, Object* global) {
  vm.method(global, "parseInt", [](Machine& vm, const Value&, std::span<const Value> args) {
    if (args.empty()) return Value();
    std::optional<int> radix;
    if (args.size() > 1) {
      double r = vm.toNumber(args[1]);
      if (!(r >= 2 && r < 37)) return Value(kNaN);
      radix = int(r);
    }
    return Value(parseIntText(vm.toString(arg(args, 0)), radix));
  });
  vm.method(global, "parseFloat", [](Machine& vm, const Value&, std::span<const Value> args) {
    if (args.empty()) return Value();
    return Value(parseFloatText(vm.toString(args[0])));
  });
  vm.method(global, "isNaN", [](Machine& vm, const Value&, std::span<const Value> args) {
    return Value(args.empty() || std::isnan(vm.toNumber(args[0])));
  });
  vm.method(global, "isFinite", [](Machine& vm, const Value&, std::span<const Value> args) {
    return Value(!args.empty() && std::isfinite(vm.toNumber(args[0])));
  });
  vm.method(global, "escape", [](Machine& vm, const Value&, std::span<const Value> args) {
    return Value(escapeText(vm.toString(arg(args, 0))));
  });
  vm.method(global, "unescape", [](Machine& vm, const Value&, std::span<const Value> args) {
    return Value(unescapeText(vm.toString(arg(args, 0))));
  });
  vm.method(global, "setInterval",
            [](Machine& vm, const Value&, std::span<const Value> args) { return setIntervalNative(vm, args, false); });
  vm.method(global, "clearInterval", [](Machine& vm, const Value&, std::span<const Value> args) {
    vm.clearInterval(int(vm.toNumber(arg(args, 0))));
    return Value();
  });
  vm.method(global, "ASSetPropFlags", [](Machine& vm, const Value&, std::span<const Value> args) {
    Object* o = arg(args, 0).object();
    if (!o) return Value();
    int set = int(vm.toNumber(arg(args, 2)));
    int clear = args.size() > 3 ? int(vm.toNumber(args[3])) : 0;
    std::vector<std::string> names;
    if (arg(args, 1).type == Type::Null) {
      for (const Property& p : o->props.all()) names.push_back(p.name);
    } else if (ArrayObject* list = asArray(arg(args, 1))) {
      for (const Value& v : list->items) names.push_back(vm.toString(v));
    } else {
      std::string text = vm.toString(arg(args, 1));
      size_t start = 0;
      while (start <= text.size()) {
        size_t comma = text.find(',', start);
        names.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    }
    for (const std::string& name : names)
      if (Property* p = o->props.find(name)) {
        p->flags = uint8_t(((p->flags & ~clear) | set) & 7);
        if (clear & kVersionFlagsMask) p->visibleFrom = 0;
        if (int from = versionOfFlags(set)) p->visibleFrom = uint8_t(from);
      }
    return Value();
  });
  vm.method(global, "trace", [](Machine& vm, const Value&, std::span<const Value> args) {
    Value v = arg(args, 0);
    vm.trace(v.isUndefined() ? "undefined" : vm.toString(v));
    return Value();
  });
  Property& nan = global->props.insert("NaN");
  nan.value = Value(kNaN);
  nan.flags = kDontEnum;
  Property& infinity = global->props.insert("Infinity");
  infinity.value = Value(std::numeric_limits<double>::infinity());
  infinity.flags = kDontEnum;
}

}  // namespace

void Machine::installBuiltins() {
  m_objectProto = m_heap.make<Object>(nullptr);
  m_functionProto = m_heap.make<Object>(m_objectProto);
  m_arrayProto = m_heap.make<Object>(m_objectProto);
  // The global object inherits nothing: it has no valueOf or toString of its own.
  m_global = m_heap.make<Object>(nullptr);
  installObjectAndFunction(*this, m_global);
  installArray(*this, m_global);
  installString(*this, m_global);
  installNumberAndBoolean(*this, m_global);
  installMath(*this, m_global);
  installError(*this, m_global);
  installDate(*this, m_global);
  installGlobals(*this, m_global);
}

}  // namespace swf::avm
