// TextSnapshot: the characters of a clip's static texts, in depth order,
// read through their fonts' character codes, with a selection of its own.

#include <cmath>

#include "platform/flash/avm.h"

namespace swf::avm {

namespace {

constexpr double kTwipsPerPixel = 20;

struct SnapshotChar {
  char32_t code = 0;
  bool lineStart = false;  // the first of a text, or of a line in one
  double x = 0, y = 0;     // the glyph's origin in the clip, pixels
  bool selected = false;
};

class SnapshotObject : public Object {
 public:
  using Object::Object;
  std::vector<SnapshotChar> chars;
  double selectColor = 0xFFFF00;
};

SnapshotObject* asSnapshot(const Value& v) { return dynamic_cast<SnapshotObject*>(v.object()); }
Value arg(std::span<const Value> args, size_t i) { return i < args.size() ? args[i] : Value(); }

void addText(const MovieDef& movie, const TextDef& text, const Matrix& placed, std::vector<SnapshotChar>& out) {
  bool first = true;
  float lineY = 0;
  for (const TextRun& run : text.runs) {
    const FontDef* font = movie.font(run.fontId);
    float x = run.x;
    bool newLine = first || run.y != lineY;
    lineY = run.y;
    for (const GlyphEntry& glyph : run.glyphs) {
      char32_t code = font && glyph.index < font->codes.size() ? font->codes[glyph.index] : 0;
      Point at = (placed * text.matrix).apply(Point{x, run.y});
      out.push_back({code, newLine, at.x / kTwipsPerPixel, at.y / kTwipsPerPixel, false});
      newLine = false;
      x += float(glyph.advance);
    }
    first = false;
  }
}

std::vector<SnapshotChar> charsOf(Machine& vm, ClipObject* clip) {
  std::vector<SnapshotChar> out;
  if (!clip || !clip->timeline) return out;
  for (auto& [depth, object] : clip->timeline->displayList()) {
    const Character* c = vm.movie().character(object.characterId);
    if (c && c->kind == CharacterKind::Text && c->text) addText(vm.movie(), *c->text, object.matrix, out);
  }
  return out;
}

ClipObject* clipOf(const Value& v) {
  Object* o = v.object();
  return o && o->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(o) : nullptr;
}

Value makeSnapshot(Machine& vm, Object* proto, ClipObject* clip) {
  auto* snapshot = vm.heap().make<SnapshotObject>(proto);
  snapshot->chars = charsOf(vm, clip);
  return Value(static_cast<Object*>(snapshot));
}

// An index given to a method, made whole and kept to [0, count - 1].
size_t indexOf(Machine& vm, const Value& v, size_t count) {
  double n = vm.toNumber(v);
  if (std::isnan(n) || n < 0 || count == 0) return 0;
  return size_t(std::min(std::trunc(n), double(count - 1)));
}

// The text of [from, to), with a line end before each line but the first
// when asked for.
std::string textOf(const std::vector<SnapshotChar>& chars, size_t from, size_t to, bool lineEnds, bool selectedOnly) {
  std::u32string out;
  for (size_t i = from; i < to && i < chars.size(); ++i) {
    if (selectedOnly && !chars[i].selected) continue;
    if (lineEnds && chars[i].lineStart && !out.empty()) out.push_back(U'\n');
    out.push_back(chars[i].code);
  }
  return toUtf8(out);
}

Value getText(Machine& vm, const Value& self, std::span<const Value> args) {
  SnapshotObject* s = asSnapshot(self);
  if (!s || args.size() < 2 || args.size() > 3) return Value();
  size_t count = s->chars.size();
  size_t from = indexOf(vm, args[0], count);
  size_t to = std::max(from + 1, indexOf(vm, args[1], count + 1));
  return Value(textOf(s->chars, from, std::min(to, count), vm.toBoolean(arg(args, 2)), false));
}

Value findText(Machine& vm, const Value& self, std::span<const Value> args) {
  SnapshotObject* s = asSnapshot(self);
  if (!s || args.size() < 3) return Value();
  std::u16string wanted = toUtf16(vm.toString(args[1]));
  bool caseSensitive = vm.toBoolean(args[2]);
  auto same = [&](char32_t a, char32_t b) {
    if (caseSensitive) return a == b;
    auto lower = [](char32_t c) { return c >= U'A' && c <= U'Z' ? c + 32 : c; };
    return lower(a) == lower(b);
  };
  double start = vm.toNumber(args[0]);
  size_t from = std::isnan(start) || start < 0 ? 0 : size_t(std::min(start, double(s->chars.size())));
  for (size_t i = from; i + wanted.size() <= s->chars.size(); ++i) {
    size_t k = 0;
    while (k < wanted.size() && same(s->chars[i + k].code, wanted[k])) ++k;
    if (k == wanted.size()) return Value(double(i));
  }
  return Value(-1.0);
}

Value setSelected(Machine& vm, const Value& self, std::span<const Value> args) {
  SnapshotObject* s = asSnapshot(self);
  if (!s || args.size() < 3) return Value();
  size_t count = s->chars.size();
  size_t from = indexOf(vm, args[0], count);
  size_t to = std::min(count, std::max(from + 1, indexOf(vm, args[1], count + 1)));
  bool on = vm.toBoolean(args[2]);
  for (size_t i = from; i < to; ++i) s->chars[i].selected = on;
  return Value();
}

Value getSelected(Machine& vm, const Value& self, std::span<const Value> args) {
  SnapshotObject* s = asSnapshot(self);
  if (!s || args.size() < 2) return Value();
  size_t count = s->chars.size();
  size_t from = indexOf(vm, args[0], count);
  size_t to = std::min(count, std::max(from + 1, indexOf(vm, args[1], count + 1)));
  for (size_t i = from; i < to; ++i)
    if (s->chars[i].selected) return Value(true);
  return Value(false);
}

// The character whose origin is nearest the point, within the distance given.
Value hitTestTextNearPos(Machine& vm, const Value& self, std::span<const Value> args) {
  SnapshotObject* s = asSnapshot(self);
  if (!s || args.size() < 2) return Value();
  double x = vm.toNumber(args[0]), y = vm.toNumber(args[1]);
  double reach = args.size() > 2 ? vm.toNumber(args[2]) : 0;
  double best = std::isfinite(reach) ? reach : 0;
  double found = -1;
  for (size_t i = 0; i < s->chars.size(); ++i) {
    double d = std::hypot(s->chars[i].x - x, s->chars[i].y - y);
    if (d <= best) best = d, found = double(i);
  }
  return Value(found);
}

}  // namespace

void Machine::installSnapshotBuiltins() {
  Object* proto = newObject();
  FunctionObject* ctor = newNative([](Machine&, const Value&, std::span<const Value>) { return Value(); },
                                   [](Machine& vm, const Value& self, std::span<const Value> args) {
                                     Object* o = self.object();
                                     return makeSnapshot(vm, o ? o->proto : vm.objectPrototype(), clipOf(arg(args, 0)));
                                   });
  setHidden(ctor, "prototype", Value(proto));
  setHidden(proto, "constructor", Value(static_cast<Object*>(ctor)));
  setHidden(m_global, "TextSnapshot", Value(static_cast<Object*>(ctor)));
  method(proto, "getCount", [](Machine&, const Value& self, std::span<const Value>) {
    SnapshotObject* s = asSnapshot(self);
    return s ? Value(double(s->chars.size())) : Value();
  });
  method(proto, "setSelected", setSelected);
  method(proto, "getSelected", getSelected);
  method(proto, "getText", getText);
  method(proto, "getSelectedText", [](Machine& vm, const Value& self, std::span<const Value> args) {
    SnapshotObject* s = asSnapshot(self);
    return s ? Value(textOf(s->chars, 0, s->chars.size(), vm.toBoolean(arg(args, 0)), true)) : Value();
  });
  method(proto, "hitTestTextNearPos", hitTestTextNearPos);
  method(proto, "findText", findText);
  method(proto, "setSelectColor", [](Machine& vm, const Value& self, std::span<const Value> args) {
    if (SnapshotObject* s = asSnapshot(self); s && !args.empty())
      s->selectColor = double(toUint32(vm.toNumber(args[0])));
    return Value();
  });
  if (m_version < 6) return;
  method(m_clipProto, "getTextSnapshot", [](Machine& vm, const Value& self, std::span<const Value>) {
    Value ctor = vm.getOf(vm.global(), "TextSnapshot", Value(vm.global()));
    Object* proto = ctor.object() ? vm.getOf(ctor.obj, "prototype", ctor).object() : nullptr;
    ClipObject* clip = clipOf(self);
    return clip ? makeSnapshot(vm, proto ? proto : vm.objectPrototype(), clip) : Value();
  });
}

}  // namespace swf::avm
