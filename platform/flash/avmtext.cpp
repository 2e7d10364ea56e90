// TextFormat: the character and paragraph settings a movie builds and reads.
// Each field is null until set, and a setter converts what it is given by
// the field's kind, as the player does, so the value read back is already
// the one text would be laid out with.

#include <cmath>
#include <limits>

#include "platform/flash/avm.h"

namespace swf::avm {

namespace {

constexpr size_t kMaxFontName = 64;  // UTF-16 units a font name keeps
constexpr double kInt32Min = -2147483648.0;

enum class FieldKind : uint8_t { Text, FontName, Integer, Margin, Colour, Flag, Align, Number, TabStops };

struct FormatField {
  const char* name;
  FieldKind kind;
  uint8_t fromVersion;  // the field is there from this movie version
};

// In the constructor's argument order first.
constexpr FormatField kFields[] = {
    {"font", FieldKind::FontName, 0},      {"size", FieldKind::Integer, 0},
    {"color", FieldKind::Colour, 0},       {"bold", FieldKind::Flag, 0},
    {"italic", FieldKind::Flag, 0},        {"underline", FieldKind::Flag, 0},
    {"url", FieldKind::Text, 0},           {"target", FieldKind::Text, 0},
    {"align", FieldKind::Align, 0},        {"leftMargin", FieldKind::Margin, 0},
    {"rightMargin", FieldKind::Margin, 0}, {"indent", FieldKind::Integer, 0},
    {"leading", FieldKind::Integer, 0},    {"blockIndent", FieldKind::Integer, 0},
    {"tabStops", FieldKind::TabStops, 0},  {"bullet", FieldKind::Flag, 0},
    {"kerning", FieldKind::Flag, 8},       {"letterSpacing", FieldKind::Number, 8},
    {"display", FieldKind::Text, 8},
};
constexpr size_t kConstructorFields = 13;
constexpr const char* kAlignments[] = {"left", "center", "right", "justify"};

class TextFormatObject : public Object {
 public:
  using Object::Object;
  void traceRefs(std::vector<Object*>& out) override {
    for (const Value& v : fields)
      if (v.isObject()) out.push_back(v.obj);
  }
  Value fields[std::size(kFields)];
};

TextFormatObject* asFormat(const Value& v) { return dynamic_cast<TextFormatObject*>(v.object()); }

// Whole numbers round half to even; what does not fit 32 bits is the
// smallest integer, as the player's conversion answers.
double toFormatInteger(double n) {
  if (!std::isfinite(n) || n >= 2147483648.0 || n < kInt32Min) return kInt32Min;
  return std::nearbyint(n);
}

Value convertTabStops(Machine& vm, const Value& v) {
  Object* list = v.object();
  if (!list) return Value::null();
  size_t length = size_t(std::max(0.0, toInteger(vm.toNumber(vm.getOf(list, "length", v)))));
  ArrayObject* out = vm.newArray();
  for (size_t i = 0; i < length && i < 4096; ++i)
    out->items.push_back(Value(toFormatInteger(vm.toNumber(vm.getOf(list, std::to_string(i), v)))));
  return Value(static_cast<Object*>(out));
}

// `current` stays when the new value is not one the field takes.
Value convertField(Machine& vm, FieldKind kind, const Value& v, const Value& current) {
  if (v.isNullish()) return Value::null();
  switch (kind) {
    case FieldKind::Text:
      return Value(vm.toString(v));
    case FieldKind::FontName: {
      std::u16string name = toUtf16(vm.toString(v));
      if (name.size() > kMaxFontName) name.resize(kMaxFontName);
      return Value(toUtf8(name));
    }
    case FieldKind::Integer:
      return Value(toFormatInteger(vm.toNumber(v)));
    case FieldKind::Margin: {
      double n = vm.toNumber(v);
      return Value(n >= 0 ? toFormatInteger(n) : 0.0);
    }
    case FieldKind::Colour:
      return Value(double(toUint32(vm.toNumber(v))));
    case FieldKind::Flag:
      return Value(vm.toBoolean(v));
    case FieldKind::Align: {
      std::string text = toLowerAscii(vm.toString(v));
      for (const char* a : kAlignments)
        if (text == a) return Value(std::string(a));
      return current;
    }
    case FieldKind::Number:
      return Value(vm.toNumber(v));
    case FieldKind::TabStops:
      return convertTabStops(vm, v);
  }
  return current;
}

template <size_t I>
Value getField(Machine&, const Value& self, std::span<const Value>) {
  TextFormatObject* f = asFormat(self);
  return f ? f->fields[I] : Value();
}

template <size_t I>
Value setField(Machine& vm, const Value& self, std::span<const Value> args) {
  if (TextFormatObject* f = asFormat(self))
    f->fields[I] = convertField(vm, kFields[I].kind, args.empty() ? Value() : args[0], f->fields[I]);
  return Value();
}

template <size_t... I>
void installFields(Machine& vm, Object* proto, std::index_sequence<I...>) {
  auto add = [&](const FormatField& field, NativeFn get, NativeFn set) {
    if (field.fromVersion > vm.version()) return;
    Property& p = proto->props.insert(field.name);
    p.getter = vm.newNative(get);
    p.setter = vm.newNative(set);
  };
  (add(kFields[I], getField<I>, setField<I>), ...);
}

Value constructFormat(Machine& vm, const Value& self, std::span<const Value> args) {
  Object* o = self.object();
  auto* f = vm.heap().make<TextFormatObject>(o ? o->proto : vm.objectPrototype());
  for (Value& v : f->fields) v = Value::null();
  for (size_t i = 0; i < kConstructorFields && i < args.size(); ++i)
    f->fields[i] = convertField(vm, kFields[i].kind, args[i], f->fields[i]);
  return Value(static_cast<Object*>(f));
}

enum FieldIndex : size_t {
  kFont,
  kSize,
  kColor,
  kBold,
  kItalic,
  kUnderline,
  kUrl,
  kTarget,
  kAlign,
  kLeftMargin,
  kRightMargin,
  kIndent,
  kLeading,
  kBlockIndent,
  kTabStops,
  kBullet,
  kKerning,
  kLetterSpacing
};

}  // namespace

Value Machine::makeTextFormat(const TextFieldFormat& format) {
  Value ctor = getOf(m_global, "TextFormat", Value(m_global));
  Object* proto = ctor.object() ? getOf(ctor.obj, "prototype", ctor).object() : m_objectProto;
  auto* f = m_heap.make<TextFormatObject>(proto);
  for (Value& v : f->fields) v = Value::null();
  f->fields[kFont] = Value(format.font);
  f->fields[kSize] = Value(format.size);
  f->fields[kColor] = Value(double(format.color));
  f->fields[kBold] = Value(format.bold);
  f->fields[kItalic] = Value(format.italic);
  f->fields[kUnderline] = Value(format.underline);
  f->fields[kUrl] = Value(format.url);
  f->fields[kTarget] = Value(format.target);
  f->fields[kAlign] = Value(std::string(kAlignments[size_t(format.align == TextAlign::Center    ? 1
                                                           : format.align == TextAlign::Right   ? 2
                                                           : format.align == TextAlign::Justify ? 3
                                                                                                : 0)]));
  f->fields[kLeftMargin] = Value(format.leftMargin);
  f->fields[kRightMargin] = Value(format.rightMargin);
  f->fields[kIndent] = Value(format.indent);
  f->fields[kLeading] = Value(format.leading);
  f->fields[kBlockIndent] = Value(format.blockIndent);
  std::vector<Value> stops;
  for (double t : format.tabStops) stops.push_back(Value(t));
  f->fields[kTabStops] = Value(static_cast<Object*>(newArray(std::move(stops))));
  f->fields[kBullet] = Value(format.bullet);
  if (m_version >= 8) {
    f->fields[kKerning] = Value(format.kerning);
    f->fields[kLetterSpacing] = Value(format.letterSpacing);
  }
  return Value(static_cast<Object*>(f));
}

namespace {

bool sameField(size_t field, const TextFieldFormat& a, const TextFieldFormat& b) {
  switch (field) {
    case kFont:
      return a.font == b.font;
    case kSize:
      return a.size == b.size;
    case kColor:
      return a.color == b.color;
    case kBold:
      return a.bold == b.bold;
    case kItalic:
      return a.italic == b.italic;
    case kUnderline:
      return a.underline == b.underline;
    case kUrl:
      return a.url == b.url;
    case kTarget:
      return a.target == b.target;
    case kAlign:
      return a.align == b.align;
    case kLeftMargin:
      return a.leftMargin == b.leftMargin;
    case kRightMargin:
      return a.rightMargin == b.rightMargin;
    case kIndent:
      return a.indent == b.indent;
    case kLeading:
      return a.leading == b.leading;
    case kBlockIndent:
      return a.blockIndent == b.blockIndent;
    case kTabStops:
      return a.tabStops == b.tabStops;
    case kBullet:
      return a.bullet == b.bullet;
    case kKerning:
      return a.kerning == b.kerning;
    case kLetterSpacing:
      return a.letterSpacing == b.letterSpacing;
  }
  return true;
}

}  // namespace

Value Machine::makeTextFormat(std::span<const TextFieldFormat* const> formats) {
  if (formats.empty()) return Value();
  Value made = makeTextFormat(*formats[0]);
  TextFormatObject* f = asFormat(made);
  for (size_t field = 0; f && field < std::size(f->fields); ++field)
    for (const TextFieldFormat* other : formats.subspan(1))
      if (!sameField(field, *formats[0], *other)) f->fields[field] = Value::null();
  return made;
}

void Machine::applyTextFormat(const Value& textFormat, TextFieldFormat& format, bool characters, bool paragraph) {
  TextFormatObject* f = asFormat(textFormat);
  if (!f) return;
  auto set = [&](size_t i) { return !f->fields[i].isNullish(); };
  auto number = [&](size_t i) { return toNumber(f->fields[i]); };
  if (characters) {
    if (set(kFont)) format.font = toString(f->fields[kFont]);
    if (set(kSize)) format.size = number(kSize);
    if (set(kColor)) format.color = toUint32(number(kColor)) & 0xFFFFFF;
    if (set(kBold)) format.bold = toBoolean(f->fields[kBold]);
    if (set(kItalic)) format.italic = toBoolean(f->fields[kItalic]);
    if (set(kUnderline)) format.underline = toBoolean(f->fields[kUnderline]);
    if (set(kUrl)) format.url = toString(f->fields[kUrl]);
    if (set(kTarget)) format.target = toString(f->fields[kTarget]);
    if (set(kKerning)) format.kerning = toBoolean(f->fields[kKerning]);
    if (set(kLetterSpacing)) format.letterSpacing = number(kLetterSpacing);
  }
  if (!paragraph) return;
  if (set(kAlign)) {
    std::string align = toString(f->fields[kAlign]);
    format.align = align == "center"    ? TextAlign::Center
                   : align == "right"   ? TextAlign::Right
                   : align == "justify" ? TextAlign::Justify
                                        : TextAlign::Left;
  }
  if (set(kLeftMargin)) format.leftMargin = number(kLeftMargin);
  if (set(kRightMargin)) format.rightMargin = number(kRightMargin);
  if (set(kIndent)) format.indent = number(kIndent);
  if (set(kLeading)) format.leading = number(kLeading);
  if (set(kBlockIndent)) format.blockIndent = number(kBlockIndent);
  if (set(kBullet)) format.bullet = toBoolean(f->fields[kBullet]);
  if (ArrayObject* stops = dynamic_cast<ArrayObject*>(f->fields[kTabStops].object())) {
    format.tabStops.clear();
    for (const Value& v : stops->items) format.tabStops.push_back(toNumber(v));
  }
}

void Machine::installTextBuiltins() {
  Object* proto = newObject();
  FunctionObject* ctor =
      newNative([](Machine&, const Value&, std::span<const Value>) { return Value(); }, constructFormat);
  setHidden(ctor, "prototype", Value(proto));
  setHidden(proto, "constructor", Value(static_cast<Object*>(ctor)));
  setHidden(m_global, "TextFormat", Value(static_cast<Object*>(ctor)));
  installFields(*this, proto, std::make_index_sequence<std::size(kFields)>{});
}

}  // namespace swf::avm
