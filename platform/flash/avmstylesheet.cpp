// TextField.StyleSheet: named styles a movie sets one by one or reads from
// CSS text. Each is kept as given (`_css`, copied in and out) and as the
// TextFormat the sheet's `transform` makes of it (`_styles`); both tables
// are made on first use and replaced by clear. A subclass may override
// transform, so it is looked up on the sheet at every call.

#include <optional>

#include "platform/flash/avm.h"

namespace swf::avm {

namespace {

constexpr uint8_t kSheetMethodFlags = kDontEnum | kDontDelete | kReadOnly;

Value arg(std::span<const Value> args, size_t i) { return i < args.size() ? args[i] : Value(); }

bool isCssSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

struct CssRule {
  std::vector<std::string> selectors;
  std::vector<std::pair<std::string, std::string>> properties;
};

void skipSpaces(std::string_view text, size_t& at) {
  while (at < text.size() && isCssSpace(text[at])) ++at;
}

// "font-size" is read as "fontSize": a dash drops out and the character
// after it is upper-cased (so a doubled dash leaves one).
std::string propertyName(std::string_view name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] != '-') {
      out += name[i];
    } else if (i + 1 < name.size()) {
      char c = name[++i];
      out += c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
    }
  }
  return out;
}

// Selectors separated by commas up to the block's '{'; a selector runs to
// a space, comma or brace, and only spaces may follow it.
bool readSelectors(std::string_view text, size_t& at, CssRule& rule) {
  for (;;) {
    size_t start = at;
    while (at < text.size() && !isCssSpace(text[at]) && text[at] != '{' && text[at] != ',') ++at;
    if (at == start) return false;
    rule.selectors.emplace_back(text.substr(start, at - start));
    skipSpaces(text, at);
    if (at == text.size()) return false;
    char c = text[at++];
    if (c == '{') return true;
    if (c != ',') return false;
    skipSpaces(text, at);
  }
}

// "name: value;" pairs up to '}' or the end of the text. A name runs to its
// colon and may end in spaces but hold none; a value runs to ';' or '}',
// which must come. Pairs without a name are dropped.
bool readBlock(std::string_view text, size_t& at, CssRule& rule) {
  for (;;) {
    skipSpaces(text, at);
    if (at == text.size()) return true;
    if (text[at] == '}') return ++at, true;
    size_t colon = text.find(':', at);
    if (colon == std::string_view::npos) return false;
    std::string_view name = text.substr(at, colon - at);
    size_t end = name.size();
    while (end > 0 && isCssSpace(name[end - 1])) --end;
    for (size_t i = 0; i < end; ++i)
      if (isCssSpace(name[i])) return false;
    at = colon + 1;
    skipSpaces(text, at);
    size_t valueEnd = text.find_first_of(";}", at);
    if (valueEnd == std::string_view::npos) return false;
    std::string_view value = text.substr(at, valueEnd - at);
    at = text[valueEnd] == ';' ? valueEnd + 1 : valueEnd;
    if (!name.empty()) rule.properties.emplace_back(propertyName(name), std::string(value));
  }
}

// The rules of CSS text, or none when any of it is malformed.
std::optional<std::vector<CssRule>> parseCss(std::string_view text) {
  std::vector<CssRule> rules;
  size_t at = 0;
  for (;;) {
    skipSpaces(text, at);
    if (at == text.size()) return rules;
    CssRule rule;
    if (!readSelectors(text, at, rule) || !readBlock(text, at, rule)) return std::nullopt;
    rules.push_back(std::move(rule));
  }
}

Object* table(Machine& vm, Object* sheet, const char* name) { return vm.getOf(sheet, name, Value(sheet)).object(); }

void clearSheet(Machine& vm, Object* sheet) {
  vm.setHidden(sheet, "_css", Value(vm.newObject()));
  vm.setHidden(sheet, "_styles", Value(vm.newObject()));
}

Value shallowCopy(Machine& vm, const Value& style) {
  Object* from = style.object();
  if (!from) return Value::null();
  Object* copy = vm.newObject();
  for (const std::string& name : vm.enumerate(from)) vm.set(copy, name, vm.getOf(from, name, style));
  return Value(copy);
}

// Keeps `style` (an object, or null) under `name` beside what the sheet's
// transform makes of it.
void storeStyle(Machine& vm, Object* sheet, const std::string& name, const Value& style) {
  if (!table(vm, sheet, "_css") || !table(vm, sheet, "_styles")) clearSheet(vm, sheet);
  Value args[] = {style};
  Value transformed = vm.call(vm.getOf(sheet, "transform", Value(sheet)), Value(sheet), args);
  if (Object* css = table(vm, sheet, "_css")) vm.set(css, name, style);
  if (Object* styles = table(vm, sheet, "_styles")) vm.set(styles, name, transformed);
}

Value parseInto(Machine& vm, const Value& self, std::span<const Value> args) {
  Object* sheet = self.object();
  std::optional<std::vector<CssRule>> rules = parseCss(vm.toString(arg(args, 0)));
  if (!sheet || !rules) return Value(false);
  for (const CssRule& rule : *rules)
    for (const std::string& selector : rule.selectors) {
      Object* style = vm.newObject();
      for (const auto& [name, value] : rule.properties) vm.set(style, name, Value(value));
      storeStyle(vm, sheet, selector, Value(style));
    }
  return Value(true);
}

// The transform of CSS values into TextFormat settings, as the player's
// sheet reads them: numbers through parseInt, names only as written.
class StyleReader {
 public:
  StyleReader(Machine& vm, const Value& style, Object* format) : m_vm(vm), m_style(style), m_format(format) {}

  Value get(const char* name) { return m_vm.get(m_style, name); }
  void put(const char* name, const Value& v) { m_vm.set(m_format, name, v); }
  double parseInt(const Value& v) {
    Value args[] = {v};
    return m_vm.toNumber(m_vm.call(m_vm.getOf(m_vm.global(), "parseInt", Value(m_vm.global())), Value(), args));
  }
  bool isText(const Value& v, const char* text) { return v.type == Type::String && m_vm.toString(v) == text; }
  // `name` becomes `on` or `off` for the two words that name them.
  void flag(const char* css, const char* field, const char* on, const char* off) {
    Value v = get(css);
    if (isText(v, on)) put(field, Value(true));
    if (isText(v, off)) put(field, Value(false));
  }

  void color() {
    Value v = get("color");
    if (v.type != Type::String) return;
    std::string text = m_vm.toString(v);
    if (text.size() != 7 || text[0] != '#') return;
    if (text.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos) return;
    put("color", Value(double(std::stoul(text.substr(1), nullptr, 16))));
  }
  void display() {
    Value v = get("display");
    for (const char* kind : {"inline", "block", "none"})
      if (isText(v, kind)) put("display", v);
  }
  // A list of names keeps each name's trailing spaces and drops empty ones.
  void fontFamily() {
    Value v = get("fontFamily");
    if (!m_vm.toBoolean(v)) return;
    std::string list = m_vm.toString(v), out;
    for (size_t start = 0; start <= list.size();) {
      size_t end = std::min(list.find(',', start), list.size());
      size_t first = start;
      while (first < end && isCssSpace(list[first])) ++first;
      if (first < end) out += (out.empty() ? "" : ",") + list.substr(first, end - first);
      start = end + 1;
    }
    put("font", Value(out));
  }
  void fontSize() {
    double size = parseInt(get("fontSize"));
    if (size > 0) put("size", Value(size));
  }
  void kerning() {
    Value v = get("kerning");
    double n = isText(v, "true") ? 1 : parseInt(v);
    if (n == n && n != 0) put("kerning", Value(true));
  }
  // A value that is there at all sets the setting, 0 when it reads as no number.
  void number(const char* css, const char* field, bool keepNaN) {
    Value v = get(css);
    if (!m_vm.toBoolean(v)) return;
    double n = parseInt(v);
    put(field, Value(n == n || keepNaN ? n : 0.0));
  }
  void textAlign() {
    Value v = get("textAlign");
    if (v.type != Type::String) return;
    std::string align = toLowerAscii(m_vm.toString(v));
    for (const char* name : {"left", "center", "right", "justify"})
      if (align == name) put("align", Value(align));
  }

 private:
  Machine& m_vm;
  Value m_style;
  Object* m_format;
};

Value transform(Machine& vm, const Value&, std::span<const Value> args) {
  Value style = arg(args, 0);
  if (style.isNullish()) return Value::null();
  Value format = vm.construct(vm.getOf(vm.global(), "TextFormat", Value(vm.global())), {});
  Object* f = format.object();
  if (!f) return Value::null();
  StyleReader r(vm, style, f);
  r.put("display", Value("block"));
  r.put("kerning", Value(false));
  r.color();
  r.display();
  r.fontFamily();
  r.fontSize();
  r.flag("fontStyle", "italic", "italic", "normal");
  r.flag("fontWeight", "bold", "bold", "normal");
  r.kerning();
  r.number("leading", "leading", false);
  r.number("letterSpacing", "letterSpacing", true);
  r.number("marginLeft", "leftMargin", false);
  r.number("marginRight", "rightMargin", false);
  r.textAlign();
  r.flag("textDecoration", "underline", "underline", "none");
  return format;
}

}  // namespace

void Machine::installStyleSheetBuiltins() {
  Object* textField = getOf(m_global, "TextField", Value(m_global)).object();
  if (!textField) return;
  Object* proto = newObject();
  FunctionObject* ctor = newNative([](Machine&, const Value&, std::span<const Value>) { return Value(); });
  setHidden(ctor, "prototype", Value(proto));
  setHidden(proto, "constructor", Value(static_cast<Object*>(ctor)));
  setHidden(textField, "StyleSheet", Value(static_cast<Object*>(ctor)));
  auto add = [&](const char* name, NativeFn fn) { method(proto, name, fn, kSheetMethodFlags); };
  add("clear", [](Machine& vm, const Value& self, std::span<const Value>) {
    if (Object* sheet = self.object()) clearSheet(vm, sheet);
    return Value();
  });
  add("getStyle", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Object* css = self.object() ? table(vm, self.obj, "_css") : nullptr;
    if (!css) return Value::null();
    return shallowCopy(vm, vm.getOf(css, vm.toString(arg(args, 0)), Value(css)));
  });
  add("setStyle", [](Machine& vm, const Value& self, std::span<const Value> args) {
    if (Object* sheet = self.object()) storeStyle(vm, sheet, vm.toString(arg(args, 0)), shallowCopy(vm, arg(args, 1)));
    return Value();
  });
  add("getStyleNames", [](Machine& vm, const Value& self, std::span<const Value>) {
    std::vector<Value> names;
    if (Object* css = self.object() ? table(vm, self.obj, "_css") : nullptr)
      for (const std::string& name : vm.enumerate(css)) names.emplace_back(name);
    return Value(static_cast<Object*>(vm.newArray(std::move(names))));
  });
  add("parseCSS", parseInto);
  add("parse", parseInto);
  add("transform", transform);
  // Nothing is fetched for a movie: a sheet to load never arrives.
  add("load", [](Machine&, const Value&, std::span<const Value>) { return Value(false); });
}

}  // namespace swf::avm
