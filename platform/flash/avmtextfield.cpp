// Text fields as scripts see them: TextField objects found by instance name
// on their clips or made by createTextField, their properties as accessors
// of TextField.prototype (listed by enumeration, as the player lists them),
// display properties of their own, whole-field formats through TextFormat,
// and the variable a field shows and edits.

#include <cmath>
#include <numbers>

#include "platform/flash/avm.h"

namespace swf::avm {

namespace {

constexpr double kTwipsPerPixel = 20;
constexpr double kGutterPixels = 2;  // text keeps this far from the field's frame
constexpr char32_t kParagraph = U'\r';

Value arg(std::span<const Value> args, size_t i) { return i < args.size() ? args[i] : Value(); }

TextFieldObject* asField(const Value& v) {
  Object* o = v.object();
  return o && o->kind() == ObjectKind::TextField ? static_cast<TextFieldObject*>(o) : nullptr;
}

std::u32string toText32(std::string_view utf8) {
  std::u16string units = toUtf16(utf8);
  std::u32string out;
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    out.push_back(c);
  }
  return out;
}

// A field keeps its line breaks as carriage returns, whatever a script gave.
std::u32string paragraphsOf(std::u32string_view text) {
  std::u32string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
    out.push_back(text[i] == U'\n' ? kParagraph : text[i]);
  }
  return out;
}

size_t utf16Length(std::u32string_view text) {
  size_t n = 0;
  for (char32_t c : text) n += c >= 0x10000 ? 2 : 1;
  return n;
}

// -- htmlText -----------------------------------------------------------------------------

std::string htmlOf(const EditTextState& s) {
  FormattedText text{s.def.text, s.runs};
  if (text.runs.empty()) text.runs.push_back({0, s.newFormat});
  return writeHtml(text);
}

// -- the field's frame and place ----------------------------------------------------------

Matrix placement(const EditTextState& s) { return s.holder ? s.holder->matrix : Matrix{}; }

double scaleOf(double x, double y) { return std::hypot(x, y); }
double round4(double v) { return std::round(v * 10000) / 10000; }

void markChanged(EditTextState& s) {
  if (s.parent) s.parent->context().changed = true;
}

// Autosized fields take the width of their text, kept on the side named.
void applyAutoSize(EditTextState& s, double textWidthTwips) {
  if (s.autoSize == AutoSize::None || s.def.wordWrap) return;
  Rect& b = s.def.bounds;
  double width = textWidthTwips + 2 * kGutterPixels * kTwipsPerPixel;
  double old = b.width();
  if (s.autoSize == AutoSize::Left) b.xMax = int32_t(b.xMin + width);
  if (s.autoSize == AutoSize::Right) b.xMin = int32_t(b.xMax - width);
  if (s.autoSize == AutoSize::Center) {
    b.xMin = int32_t(b.xMin + (old - width) / 2);
    b.xMax = int32_t(b.xMin + width);
  }
}

}  // namespace

// -- finding fields and their paths ---------------------------------------------------------

TextFieldObject* Machine::fieldFor(const std::shared_ptr<EditTextState>& state) {
  auto it = m_fields.find(state.get());
  if (it != m_fields.end() && it->second->live() == state) return it->second;
  auto* field = m_heap.make<TextFieldObject>(m_textFieldProto);
  field->state = state;
  m_fields[state.get()] = field;
  if (state->holder && state->holder->name.empty())
    state->holder->name = "instance" + std::to_string(++m_instanceCount);
  return field;
}

TextFieldObject* Machine::findField(ClipObject* clip, std::string_view name) {
  if (!clip->timeline) return nullptr;
  for (auto& [depth, object] : clip->timeline->displayList()) {
    if (!object.editText) continue;
    if (m_heap.caseSensitive() ? object.name == name : equalsIgnoreCase(object.name, name))
      return fieldFor(object.editText);
  }
  return nullptr;
}

std::string Machine::fieldPath(TextFieldObject* field) {
  auto s = field->live();
  if (!s || !s->parent || !s->holder) return field->removedPath;
  std::string parent = targetPath(clipFor(*s->parent), false);
  return parent + "." + s->holder->name;
}

TextFieldObject* Machine::createTextField(ClipObject* parent, const std::string& name, double depth,
                                          const Rect& frame) {
  auto key = scriptDepth(depth);
  if (!parent->timeline || !key) return nullptr;
  EditTextDef def;
  def.bounds = frame;
  def.readOnly = true;
  EditTextState state = makeEditTextState(def, nullptr);
  DisplayObject* object = parent->timeline->placeScriptedText(*key, std::move(state), name);
  return object ? fieldFor(object->editText) : nullptr;
}

// -- the bound variable ------------------------------------------------------------------------

namespace {

// The clip and name a field's variable path stands for, from the field's clip.
bool splitVariable(std::string_view path, std::string_view& clipPath, std::string_view& name) {
  size_t cut = path.find_last_of(".:");
  if (cut == std::string_view::npos) {
    clipPath = {};
    name = path;
  } else {
    clipPath = path.substr(0, cut);
    name = path.substr(cut + 1);
  }
  return !name.empty();
}

}  // namespace

namespace {

// What holds a field's variable: a clip on its path, or else an object the
// path names through variables, which tells the field of no change it makes.
Object* variableHolder(Machine& vm, EditTextState& s, std::string_view& name, bool& isClip) {
  std::string_view clipPath;
  if (s.def.variable.empty() || !s.parent || !splitVariable(s.def.variable, clipPath, name)) return nullptr;
  ClipObject* from = vm.clipFor(*s.parent);
  isClip = true;
  if (ClipObject* clip = vm.findClip(from, clipPath)) return clip;
  isClip = false;
  Value at(static_cast<Object*>(from));
  while (!clipPath.empty() && at.isObject()) {
    size_t cut = clipPath.find_first_of(".:");
    at = vm.getOf(at.obj, clipPath.substr(0, cut), at);
    clipPath = cut == std::string_view::npos ? std::string_view() : clipPath.substr(cut + 1);
  }
  return at.object();
}

void showVariable(Machine& vm, EditTextState& s, Object* holder, std::string_view name) {
  Value v = vm.getOf(holder, name, Value(holder));
  if (v.isUndefined()) return;
  std::u32string text = paragraphsOf(toText32(vm.toString(v)));
  if (s.def.html) {
    if (text == s.htmlSource) return;
    s.htmlSource = text;
    setFormattedText(s, parseHtml(text, s.newFormat));
  } else {
    if (text == s.def.text) return;
    replaceText(s, 0, s.def.text.size(), text, s.newFormat);
  }
  markChanged(s);
}

void syncVariable(Machine& vm, EditTextState& s, bool objectsToo) {
  std::string_view name;
  bool isClip = false;
  if (Object* holder = variableHolder(vm, s, name, isClip); holder && (isClip || objectsToo))
    showVariable(vm, s, holder, name);
}

}  // namespace

void Machine::syncFromVariable(EditTextState& s) { syncVariable(*this, s, false); }

namespace {

void storeVariable(Machine& vm, EditTextState& s, const std::string& text) {
  std::string_view name;
  bool isClip = false;
  if (Object* holder = variableHolder(vm, s, name, isClip)) vm.set(holder, name, Value(text));
}

// The variable shows the field's text when it has no value of its own.
void bindVariable(Machine& vm, EditTextState& s, const std::u32string& initial) {
  std::string_view name;
  bool isClip = false;
  Object* holder = variableHolder(vm, s, name, isClip);
  if (!holder) return;
  Value v = vm.getOf(holder, name, Value(holder));
  if (v.isUndefined()) {
    if (initial != s.def.text) replaceText(s, 0, s.def.text.size(), initial, s.newFormat);
    if (!initial.empty()) vm.set(holder, name, Value(toUtf8(s.def.html ? s.htmlSource : initial)));
    return;
  }
  showVariable(vm, s, holder, name);
}

}  // namespace

void Machine::setFieldText(EditTextState& s, const std::string& text) {
  replaceText(s, 0, s.def.text.size(), paragraphsOf(toText32(text)), s.newFormat);
  s.htmlSource = s.def.text;
  applyAutoSize(s, measureEditText(m_movie, s).width);
  markChanged(s);
  storeVariable(*this, s, text);
}

void Machine::textFieldPlaced(TimelineInstance&, DisplayObject& object) {
  // Named among the clips placed with it, in the order of the tags.
  if (m_version >= 6 && object.editText) m_placedFields.push_back({m_started.size(), object.editText});
  if (!object.editText || object.editText->def.variable.empty() || m_frozen) return;
  try {
    bindVariable(*this, *object.editText, object.editText->def.text);
  } catch (ScriptThrow&) {
  } catch (ScriptAbort&) {
    m_frozen = true;
    m_stack.clear();
  }
}

void Machine::syncAllVariables(TimelineInstance& timeline, int nesting) {
  if (nesting > 64) return;
  try {
    for (auto& [depth, object] : timeline.displayList()) {
      if (object.sprite) syncAllVariables(*object.sprite, nesting + 1);
      if (object.editText && !object.editText->def.variable.empty()) syncVariable(*this, *object.editText, true);
    }
  } catch (ScriptThrow&) {
  } catch (ScriptAbort&) {
    m_frozen = true;
    m_stack.clear();
  }
}

// -- display properties --------------------------------------------------------------------

bool TextFieldObject::getSpecial(Machine& vm, std::string_view name, Value& out) {
  if (name.empty() || name[0] != '_') return false;
  auto s = live();
  if (!s) return false;
  Matrix m = placement(*s);
  double xScale = scaleOf(m.a, m.b), yScale = scaleOf(m.c, m.d);
  if (equalsIgnoreCase(name, "_x"))
    out = Value(std::round(double(m.tx)) / kTwipsPerPixel);
  else if (equalsIgnoreCase(name, "_y"))
    out = Value(std::round(double(m.ty)) / kTwipsPerPixel);
  else if (equalsIgnoreCase(name, "_xscale"))
    out = Value(round4(xScale * 100));
  else if (equalsIgnoreCase(name, "_yscale"))
    out = Value(round4(yScale * 100));
  else if (equalsIgnoreCase(name, "_rotation"))
    out = Value(round4(std::atan2(double(m.b), double(m.a)) * 180 / std::numbers::pi));
  else if (equalsIgnoreCase(name, "_width"))
    out = Value(round4(s->def.bounds.width() * xScale / kTwipsPerPixel));
  else if (equalsIgnoreCase(name, "_height"))
    out = Value(round4(s->def.bounds.height() * yScale / kTwipsPerPixel));
  else if (equalsIgnoreCase(name, "_alpha"))
    out = Value(s->holder ? double(s->holder->colorTransform.aMult) * 100 / 256 : 100.0);
  else if (equalsIgnoreCase(name, "_visible"))
    out = Value(s->holder ? s->holder->visible : true);
  else if (equalsIgnoreCase(name, "_name"))
    out = Value(s->holder ? s->holder->name : std::string());
  else if (equalsIgnoreCase(name, "_target")) {
    std::string parent = s->parent ? vm.targetPath(vm.clipFor(*s->parent), true) : std::string();
    out = Value((parent == "/" ? std::string() : parent) + "/" + (s->holder ? s->holder->name : std::string()));
  } else if (equalsIgnoreCase(name, "_parent")) {
    out = s->parent ? Value(static_cast<Object*>(vm.clipFor(*s->parent))) : Value();
  } else if (equalsIgnoreCase(name, "_root") || equalsIgnoreCase(name, "_level0")) {
    out = Value(static_cast<Object*>(vm.rootClip()));
  } else {
    return false;
  }
  return true;
}

bool TextFieldObject::setSpecial(Machine& vm, std::string_view name, const Value& value) {
  if (name.empty() || name[0] != '_') return false;
  auto s = live();
  if (!s || !s->holder) return false;
  Matrix& m = s->holder->matrix;
  double n = vm.toNumber(value);
  bool number = std::isfinite(n);
  double xScale = scaleOf(m.a, m.b), yScale = scaleOf(m.c, m.d);
  double rotation = std::atan2(double(m.b), double(m.a));
  auto rebuild = [&] {
    m.a = float(xScale * std::cos(rotation));
    m.b = float(xScale * std::sin(rotation));
    m.c = float(-yScale * std::sin(rotation));
    m.d = float(yScale * std::cos(rotation));
  };
  Rect& b = s->def.bounds;
  if (equalsIgnoreCase(name, "_x")) {
    if (number) m.tx = float(std::trunc(n * kTwipsPerPixel));
  } else if (equalsIgnoreCase(name, "_y")) {
    if (number) m.ty = float(std::trunc(n * kTwipsPerPixel));
  } else if (equalsIgnoreCase(name, "_xscale")) {
    if (number) xScale = n / 100, rebuild();
  } else if (equalsIgnoreCase(name, "_yscale")) {
    if (number) yScale = n / 100, rebuild();
  } else if (equalsIgnoreCase(name, "_rotation")) {
    if (number) rotation = std::fmod(n, 360) * std::numbers::pi / 180, rebuild();
  } else if (equalsIgnoreCase(name, "_width")) {
    // A field's width is its frame's, not a scale.
    if (number && n >= 0) b.xMax = int32_t(b.xMin + std::trunc(n * kTwipsPerPixel / (xScale > 0 ? xScale : 1)));
  } else if (equalsIgnoreCase(name, "_height")) {
    if (number && n >= 0) b.yMax = int32_t(b.yMin + std::trunc(n * kTwipsPerPixel / (yScale > 0 ? yScale : 1)));
  } else if (equalsIgnoreCase(name, "_alpha")) {
    if (number) s->holder->colorTransform.aMult = int16_t(std::clamp(n * 256 / 100, -32768.0, 32767.0));
  } else if (equalsIgnoreCase(name, "_visible")) {
    s->holder->visible = vm.toBoolean(value);
  } else if (equalsIgnoreCase(name, "_name")) {
    s->holder->name = vm.toString(value);
  } else {
    return false;
  }
  markChanged(*s);
  return true;
}

// -- TextField.prototype ---------------------------------------------------------------------

namespace {

using Getter = Value (*)(Machine&, EditTextState&);
using Setter = void (*)(Machine&, EditTextState&, const Value&);

struct FieldProperty {
  const char* name;
  Getter get;
  Setter set;  // null: read-only
  uint8_t fromVersion;
};

Value uint24(uint32_t rgb) { return Value(double(rgb & 0xFFFFFF)); }
uint32_t rgbOf(Rgba c) { return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b; }
Rgba rgba(uint32_t rgb) { return Rgba{uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb), 255}; }
uint32_t colourOf(Machine& vm, const Value& v) { return toUint32(vm.toNumber(v)) & 0xFFFFFF; }

const char* autoSizeName(AutoSize a) {
  constexpr const char* kNames[] = {"none", "left", "center", "right"};
  return kNames[size_t(a)];
}

AutoSize autoSizeOf(Machine& vm, const Value& v) {
  if (v.type == Type::Boolean) return v.boolean ? AutoSize::Left : AutoSize::None;
  std::string name = toLowerAscii(vm.toString(v));
  if (name == "left") return AutoSize::Left;
  if (name == "center") return AutoSize::Center;
  if (name == "right") return AutoSize::Right;
  return AutoSize::None;
}

FieldScroll scrollOf(Machine& vm, EditTextState& s) {
  vm.syncFromVariable(s);
  return fieldScroll(vm.movie(), s);
}

double textWidthOf(Machine& vm, EditTextState& s) {
  vm.syncFromVariable(s);
  return measureEditText(vm.movie(), s).width / kTwipsPerPixel;
}
double textHeightOf(Machine& vm, EditTextState& s) {
  vm.syncFromVariable(s);
  return measureEditText(vm.movie(), s).height / kTwipsPerPixel;
}

#define FLAG(member)                                              \
  [](Machine&, EditTextState& s) { return Value(bool(member)); }, \
      [](Machine& vm, EditTextState& s, const Value& v) { member = vm.toBoolean(v), markChanged(s); }

// In the order the player lists them in.
const FieldProperty kProperties[] = {
    {"styleSheet", [](Machine&, EditTextState&) { return Value(); }, [](Machine&, EditTextState&, const Value&) {}, 0},
    {"mouseWheelEnabled", FLAG(s.mouseWheelEnabled), 0},
    {"condenseWhite", FLAG(s.condenseWhite), 0},
    {"restrict", [](Machine&, EditTextState& s) { return s.hasRestrict ? Value(s.restrict) : Value::null(); },
     [](Machine& vm, EditTextState& s, const Value& v) {
       s.hasRestrict = !v.isNullish() && !vm.toString(v).empty();
       s.restrict = s.hasRestrict ? vm.toString(v) : std::string();
     },
     0},
    {"textHeight", [](Machine& vm, EditTextState& s) { return Value(std::round(textHeightOf(vm, s))); }, nullptr, 0},
    {"textWidth", [](Machine& vm, EditTextState& s) { return Value(std::round(textWidthOf(vm, s))); }, nullptr, 0},
    {"bottomScroll", [](Machine& vm, EditTextState& s) { return Value(double(scrollOf(vm, s).bottomScroll)); }, nullptr,
     0},
    {"length",
     [](Machine& vm, EditTextState& s) {
       vm.syncFromVariable(s);
       return Value(double(utf16Length(s.def.text)));
     },
     nullptr, 0},
    {"selectable", FLAG(s.selectable), 0},
    {"multiline", FLAG(s.def.multiline), 0},
    {"password", FLAG(s.def.password), 0},
    {"wordWrap", FLAG(s.def.wordWrap), 0},
    {"background", FLAG(s.def.background), 0},
    {"border", FLAG(s.def.border), 0},
    {"html", FLAG(s.def.html), 0},
    {"embedFonts", FLAG(s.embedFonts), 0},
    {"maxChars",
     [](Machine&, EditTextState& s) { return s.def.maxLength ? Value(double(s.def.maxLength)) : Value::null(); },
     [](Machine& vm, EditTextState& s, const Value& v) {
       double n = vm.toNumber(v);
       s.def.maxLength = std::isfinite(n) && n > 0 ? uint16_t(std::min(n, 65535.0)) : 0;
     },
     0},
    {"maxhscroll", [](Machine&, EditTextState&) { return Value(0.0); }, nullptr, 0},
    // Nothing scrolls sideways while no line is wider than its field is drawn.
    {"hscroll", [](Machine&, EditTextState& s) { return Value(double(s.hscroll)); },
     [](Machine&, EditTextState&, const Value&) {}, 0},
    {"variable",
     [](Machine&, EditTextState& s) { return s.def.variable.empty() ? Value::null() : Value(s.def.variable); },
     [](Machine& vm, EditTextState& s, const Value& v) {
       std::string name = v.isNullish() ? std::string() : vm.toString(v);
       if (name == s.def.variable) return;
       s.def.variable = name;
       bindVariable(vm, s, s.initialText);
     },
     0},
    {"htmlText",
     [](Machine& vm, EditTextState& s) {
       vm.syncFromVariable(s);
       return Value(s.def.html ? htmlOf(s) : toUtf8(s.def.text));
     },
     [](Machine& vm, EditTextState& s, const Value& v) {
       std::u32string markup = paragraphsOf(toText32(vm.toString(v)));
       if (!s.def.html) return vm.setFieldText(s, toUtf8(markup));
       s.htmlSource = markup;
       // Markup aligns what no <p> aligns to the left, and so does new text after it.
       s.newFormat.align = TextAlign::Left;
       setFormattedText(s, parseHtml(markup, s.newFormat));
       markChanged(s);
       storeVariable(vm, s, toUtf8(markup));
     },
     0},
    {"type", [](Machine&, EditTextState& s) { return Value(s.input ? "input" : "dynamic"); },
     [](Machine& vm, EditTextState& s, const Value& v) {
       std::string type = toLowerAscii(vm.toString(v));
       if (type == "input" || type == "dynamic") s.input = type == "input";
     },
     0},
    {"text",
     [](Machine& vm, EditTextState& s) {
       vm.syncFromVariable(s);
       return Value(toUtf8(s.def.text));
     },
     [](Machine& vm, EditTextState& s, const Value& v) { vm.setFieldText(s, vm.toString(v)); }, 0},
    {"autoSize", [](Machine&, EditTextState& s) { return Value(autoSizeName(s.autoSize)); },
     [](Machine& vm, EditTextState& s, const Value& v) {
       s.autoSize = autoSizeOf(vm, v);
       applyAutoSize(s, measureEditText(vm.movie(), s).width);
       markChanged(s);
     },
     0},
    {"tabIndex", [](Machine&, EditTextState& s) { return s.tabIndex < 0 ? Value() : Value(s.tabIndex); },
     [](Machine& vm, EditTextState& s, const Value& v) {
       double n = vm.toNumber(v);
       s.tabIndex = v.isNullish() || !std::isfinite(n) ? -1 : std::max(0.0, std::trunc(n));
     },
     0},
    // The colour text added next is given, which every character takes when set.
    {"textColor", [](Machine&, EditTextState& s) { return uint24(s.newFormat.color); },
     [](Machine& vm, EditTextState& s, const Value& v) {
       uint32_t colour = s.newFormat.color = colourOf(vm, v);
       formatRange(s, 0, s.def.text.size(), [&](TextFieldFormat& f) { f.color = colour; });
       settleFormats(s);
       markChanged(s);
     },
     0},
    {"backgroundColor", [](Machine&, EditTextState& s) { return uint24(rgbOf(s.def.backgroundColor)); },
     [](Machine& vm, EditTextState& s, const Value& v) {
       s.def.backgroundColor = rgba(colourOf(vm, v)), markChanged(s);
     },
     0},
    {"borderColor", [](Machine&, EditTextState& s) { return uint24(rgbOf(s.def.borderColor)); },
     [](Machine& vm, EditTextState& s, const Value& v) { s.def.borderColor = rgba(colourOf(vm, v)), markChanged(s); },
     0},
    {"maxscroll", [](Machine& vm, EditTextState& s) { return Value(double(scrollOf(vm, s).maxScroll)); }, nullptr, 0},
    {"scroll", [](Machine&, EditTextState& s) { return Value(double(s.scroll)); },
     [](Machine& vm, EditTextState& s, const Value& v) {
       double n = vm.toNumber(v);
       if (std::isnan(n)) return;
       s.scroll = int(std::clamp(n, 1.0, double(scrollOf(vm, s).maxScroll)));
       markChanged(s);
     },
     0},
    {"filters", [](Machine& vm, EditTextState&) { return Value(static_cast<Object*>(vm.newArray())); },
     [](Machine&, EditTextState&, const Value&) {}, 8},
    {"sharpness", [](Machine&, EditTextState&) { return Value(0.0); }, [](Machine&, EditTextState&, const Value&) {},
     8},
    {"thickness", [](Machine&, EditTextState&) { return Value(0.0); }, [](Machine&, EditTextState&, const Value&) {},
     8},
    {"antiAliasType", [](Machine&, EditTextState&) { return Value("normal"); },
     [](Machine&, EditTextState&, const Value&) {}, 8},
    {"gridFitType", [](Machine&, EditTextState&) { return Value("pixel"); },
     [](Machine&, EditTextState&, const Value&) {}, 8},
};

#undef FLAG

template <size_t I>
Value getProperty(Machine& vm, const Value& self, std::span<const Value>) {
  TextFieldObject* field = asField(self);
  auto s = field ? field->live() : nullptr;
  return s ? kProperties[I].get(vm, *s) : Value();
}

template <size_t I>
Value setProperty(Machine& vm, const Value& self, std::span<const Value> args) {
  TextFieldObject* field = asField(self);
  auto s = field ? field->live() : nullptr;
  if (s && kProperties[I].set) kProperties[I].set(vm, *s, arg(args, 0));
  return Value();
}

template <size_t... I>
void installProperties(Machine& vm, Object* proto, std::index_sequence<I...>) {
  auto add = [&](const FieldProperty& property, NativeFn get, NativeFn set) {
    Property& p = proto->props.insert(property.name);
    p.getter = vm.newNative(get);
    p.setter = vm.newNative(set);
    p.visibleFrom = property.fromVersion;
  };
  // Listed last made first, so the first in the table is made last.
  constexpr size_t kLast = std::size(kProperties) - 1;
  (add(kProperties[kLast - I], getProperty<kLast - I>, setProperty<kLast - I>), ...);
}

std::shared_ptr<EditTextState> stateOf(const Value& self) {
  TextFieldObject* field = asField(self);
  return field ? field->live() : nullptr;
}

// The characters a getTextFormat or setTextFormat call names: all of them,
// the one at an index, or those from an index up to another.
std::pair<size_t, size_t> rangeOf(Machine& vm, const EditTextState& s, std::span<const Value> numbers) {
  size_t length = s.def.text.size();
  auto index = [&](const Value& v) {
    double n = vm.toNumber(v);
    return std::isnan(n) || n < 0 ? size_t(0) : size_t(std::min(n, double(length)));
  };
  if (numbers.empty()) return {0, length};
  size_t from = index(numbers[0]);
  size_t to = numbers.size() > 1 ? index(numbers[1]) : std::min(from + 1, length);
  return {from, std::max(from, to)};
}

// Character settings go to the characters named; paragraph settings to
// every paragraph they touch.
void setTextFormat(Machine& vm, EditTextState& s, std::span<const Value> args) {
  Value format = args.empty() ? Value() : args.back();
  if (!format.isObject()) return;
  auto [from, to] = rangeOf(vm, s, args.first(std::min<size_t>(args.size() - 1, 2)));
  if (from >= to) return;
  formatRange(s, from, to, [&](TextFieldFormat& f) { vm.applyTextFormat(format, f, true, false); });
  paragraphRange(s, from, to);
  formatRange(s, from, to, [&](TextFieldFormat& f) { vm.applyTextFormat(format, f, false, true); });
  settleFormats(s);
  markChanged(s);
}

// A setting the characters named do not share is null.
Value getTextFormat(Machine& vm, const EditTextState& s, std::span<const Value> args) {
  auto [from, to] = rangeOf(vm, s, args.first(std::min<size_t>(args.size(), 2)));
  std::vector<const TextFieldFormat*> formats{&formatAt(s, std::min(from, s.def.text.size() - 1))};
  size_t at = 0;
  for (const FormatRun& run : s.runs) {
    if (at < to && at + run.length > from) formats.push_back(&run.format);
    at += run.length;
  }
  return vm.makeTextFormat(formats);
}

}  // namespace

void Machine::installTextFieldBuiltins() {
  m_textFieldProto = newObject();
  FunctionObject* ctor = newNative([](Machine&, const Value&, std::span<const Value>) { return Value(); });
  setHidden(ctor, "prototype", Value(m_textFieldProto));
  setHidden(m_textFieldProto, "constructor", Value(static_cast<Object*>(ctor)));
  setHidden(m_global, "TextField", Value(static_cast<Object*>(ctor)));
  installProperties(*this, m_textFieldProto, std::make_index_sequence<std::size(kProperties)>{});
  installSnapshotBuiltins();
  installSelectionBuiltins();
  installStyleSheetBuiltins();
  method(ctor, "getFontList", [](Machine& vm, const Value&, std::span<const Value>) {
    std::vector<Value> names{Value("_sans"), Value("_serif"), Value("_typewriter")};
    return Value(static_cast<Object*>(vm.newArray(std::move(names))));
  });

  method(m_textFieldProto, "getTextFormat", [](Machine& vm, const Value& self, std::span<const Value> args) {
    auto s = stateOf(self);
    return s ? getTextFormat(vm, *s, args) : Value();
  });
  method(m_textFieldProto, "getNewTextFormat", [](Machine& vm, const Value& self, std::span<const Value>) {
    auto s = stateOf(self);
    return s ? vm.makeTextFormat(s->newFormat) : Value();
  });
  method(m_textFieldProto, "setTextFormat", [](Machine& vm, const Value& self, std::span<const Value> args) {
    if (auto s = stateOf(self); s && !s->def.text.empty()) setTextFormat(vm, *s, args);
    return Value();
  });
  method(m_textFieldProto, "setNewTextFormat", [](Machine& vm, const Value& self, std::span<const Value> args) {
    if (auto s = stateOf(self); s && arg(args, 0).isObject()) vm.applyTextFormat(args[0], s->newFormat);
    return Value();
  });
  method(m_textFieldProto, "replaceSel", [](Machine& vm, const Value& self, std::span<const Value> args) {
    auto s = stateOf(self);
    if (!s || args.empty()) return Value();
    size_t end = s->def.text.size();
    replaceText(*s, end, end, paragraphsOf(toText32(vm.toString(args[0]))), s->newFormat);
    s->htmlSource = s->def.text;
    markChanged(*s);
    storeVariable(vm, *s, toUtf8(s->def.text));
    return Value();
  });
  method(m_textFieldProto, "replaceText", [](Machine& vm, const Value& self, std::span<const Value> args) {
    auto s = stateOf(self);
    if (!s || args.size() < 3) return Value();
    double from = vm.toNumber(args[0]), to = vm.toNumber(args[1]);
    if (!(from >= 0) || !(to >= from)) return Value();
    size_t size = s->def.text.size();
    size_t a = size_t(std::min(from, double(size))), b = size_t(std::min(to, double(size)));
    replaceText(*s, a, b, paragraphsOf(toText32(vm.toString(args[2]))), s->newFormat);
    s->htmlSource = s->def.text;
    markChanged(*s);
    storeVariable(vm, *s, toUtf8(s->def.text));
    return Value();
  });
  // A method of SWF 7 on: older movies do not see it.
  if (Property* p = m_textFieldProto->props.find("replaceText")) p->visibleFrom = 7;
  method(m_textFieldProto, "getDepth", [](Machine&, const Value& self, std::span<const Value>) {
    auto s = stateOf(self);
    return s && s->parent ? Value(double(s->depth - kDepthOffset)) : Value();
  });
  method(m_textFieldProto, "removeTextField", [](Machine& vm, const Value& self, std::span<const Value>) {
    TextFieldObject* field = asField(self);
    auto s = field ? field->live() : nullptr;
    // Only fields in the script depths go, as with clips.
    if (!s || !s->parent || s->depth < kDepthOffset) return Value();
    field->removedPath = vm.fieldPath(field);
    TimelineInstance* parent = s->parent;
    Depth depth = s->depth;
    s.reset();
    parent->removeDepth(depth);
    return Value();
  });

  method(m_clipProto, "createTextField", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Object* o = self.object();
    if (!o || o->kind() != ObjectKind::Clip || args.size() < 6) return Value();
    auto number = [&](size_t i) {
      double n = vm.toNumber(args[i]);
      return std::isfinite(n) ? n : 0.0;
    };
    Rect frame{0, int32_t(std::trunc(number(4) * kTwipsPerPixel)), 0, int32_t(std::trunc(number(5) * kTwipsPerPixel))};
    TextFieldObject* field =
        vm.createTextField(static_cast<ClipObject*>(o), vm.toString(args[0]), std::trunc(number(1)), frame);
    if (!field) return Value();
    if (auto s = field->live(); s && s->holder) {
      s->holder->matrix.tx = float(std::trunc(number(2) * kTwipsPerPixel));
      s->holder->matrix.ty = float(std::trunc(number(3) * kTwipsPerPixel));
    }
    return vm.version() >= 8 ? Value(static_cast<Object*>(field)) : Value();
  });
}

}  // namespace swf::avm
