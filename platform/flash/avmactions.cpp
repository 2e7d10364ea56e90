// The actions themselves, the conversions and property access of the
// script machine.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "platform/flash/avm.h"
#include "platform/flash/swfreader.h"

namespace swf::avm {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kMaxProtoChain = 256;
// How deep a property's getter and setter may run inside themselves, from SWF 7.
constexpr int kMaxAccessorDepth = 65;

// A property number as a script gives it; NaN and numbers out of range name no property.
int propertyNumber(double n) { return std::isfinite(n) && std::fabs(n) < 1e6 ? int(n) : -1; }

std::string_view payloadString(const Code& code, const Instr& in, size_t skip = 0) {
  if (in.size <= skip) return {};
  const char* start = reinterpret_cast<const char*>(code.bytes->data() + in.payload + skip);
  size_t n = strnlen(start, in.size - skip);
  return std::string_view(start, n);
}

std::mt19937& randomEngine() {
  static std::mt19937 engine(std::random_device{}());
  return engine;
}

}  // namespace

// -- SWF 5 and later -----------------------------------------------------------

void Machine::stepSwf5(Frame& f, const Instr& in) {
  switch (in.op) {
    case 0x3A: {  // Delete
      std::string name = toString(pop(f));
      Object* o = wrap(pop(f));
      bool done = false;
      if (o) {
        Property* p = o->props.find(name);
        if (p && !(p->flags & kDontDelete)) done = o->props.erase(name);
      }
      push(f, Value(done));
      return;
    }
    case 0x3B: {  // Delete2
      std::string name = toString(pop(f));
      bool done = false;
      for (size_t i = f.scope.size(); i-- > 0;) {
        Object* o = (i == 1 && !f.callee && f.target) ? f.target : f.scope[i];
        Property* p = o->props.find(name);
        if (p) {
          done = !(p->flags & kDontDelete) && o->props.erase(name);
          break;
        }
      }
      push(f, Value(done));
      return;
    }
    case 0x3C: {  // DefineLocal
      Value v = pop(f);
      std::string name = toString(pop(f));
      Object* scope = f.activation ? f.activation : f.target;
      if (scope) set(scope, name, v);
      return;
    }
    case 0x41: {  // DefineLocal2
      std::string name = toString(pop(f));
      Object* scope = f.activation ? f.activation : f.target;
      if (scope && !scope->props.find(name)) set(scope, name, Value());
      return;
    }
    case 0x3D: {  // CallFunction
      std::string name = toString(pop(f));
      CallArgs args;
      popArgs(f, args);
      // A function found on a timeline or a with object runs with it as
      // `this`; one found in a function's locals or the globals has none.
      Value fn, self;
      bool isPath = name.find_first_of("/:.") != std::string::npos;
      Object* where = isPath ? nullptr : lookupScope(f, name, fn);
      Object* base = nullptr;
      std::string member;
      if (isPath && resolvePath(f, name, base, member)) {
        // A path names the object the function runs on.
        fn = base ? getOf(base, member, Value(base)) : Value();
        if (base) self = Value(base);
      } else if (!where) {
        fn = getVariable(f, name);
      } else if (where != m_global && where->proto) {
        self = Value(where);
      }
      push(f, call(fn, self, args));
      return;
    }
    case 0x52:  // CallMethod
      callMethodAction(f, in);
      return;
    case 0x40: {  // NewObject
      std::string name = toString(pop(f));
      CallArgs args;
      popArgs(f, args);
      push(f, construct(getVariable(f, name), args));
      return;
    }
    case 0x53: {  // NewMethod
      Value nameValue = pop(f);
      Value base = pop(f);
      CallArgs args;
      popArgs(f, args);
      bool noName = nameValue.isUndefined() || (nameValue.isString() && nameValue.text().empty());
      push(f, construct(noName ? base : get(base, toString(nameValue)), args));
      return;
    }
    case 0x42: {  // InitArray
      std::vector<Value> items = popArgs(f);
      push(f, Value(static_cast<Object*>(newArray(std::move(items)))));
      return;
    }
    case 0x43: {  // InitObject
      double n = toNumber(pop(f));
      size_t count = n > 0 && std::isfinite(n) ? size_t(n) : 0;
      // More pairs than the stack holds make no object and take nothing.
      if (n > double(m_stack.size() - f.stackBase) / 2) {
        push(f, Value());
        return;
      }
      Object* o = newObject();
      std::vector<std::pair<std::string, Value>> pairs;
      for (size_t i = 0; i < count && m_stack.size() > f.stackBase; ++i) {
        Value v = pop(f);
        pairs.emplace_back(toString(pop(f)), v);
      }
      // Pairs are made in the order they leave the stack, last written first.
      for (auto& [name, value] : pairs) set(o, name, value);
      push(f, Value(o));
      return;
    }
    case 0x44:  // TypeOf
      push(f, Value(typeOf(pop(f))));
      return;
    case 0x45: {  // TargetPath
      Value v = pop(f);
      auto* clip = v.object() && v.obj->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(v.obj) : nullptr;
      push(f, clip ? Value(targetPath(clip, false)) : Value());
      return;
    }
    case 0x46:    // Enumerate
    case 0x55: {  // Enumerate2
      Value v = pop(f);
      Object* o = in.op == 0x46 ? getVariable(f, toString(v)).object() : wrap(v);
      push(f, Value::null());
      if (!o) return;
      for (const std::string& name : enumerate(o)) push(f, Value(name));
      return;
    }
    case 0x47: {  // Add2
      Value b = pop(f), a = pop(f);
      push(f, add2(a, b));
      return;
    }
    case 0x48: {  // Less2
      Value b = pop(f), a = pop(f);
      push(f, less2(a, b));
      return;
    }
    case 0x67: {  // Greater
      Value b = pop(f), a = pop(f);
      push(f, less2(b, a));
      return;
    }
    case 0x49: {  // Equals2
      Value b = pop(f), a = pop(f);
      push(f, Value(equals2(a, b)));
      return;
    }
    case 0x66: {  // StrictEquals
      Value b = pop(f), a = pop(f);
      push(f, Value(strictEquals(a, b)));
      return;
    }
    case 0x68: {  // StringGreater
      Value vb = pop(f), va = pop(f);
      std::string a = toString(va), b = toString(vb);
      push(f, Value(a > b));
      return;
    }
    case 0x4A:  // ToNumber
      push(f, Value(toNumber(pop(f))));
      return;
    case 0x4B:  // ToString
      push(f, Value(toStringRef(pop(f))));
      return;
    case 0x4E: {  // GetMember
      Value name = pop(f);
      Value base = pop(f);
      push(f, name.isString() ? get(base, name.text()) : get(base, toString(name)));
      return;
    }
    case 0x4F: {  // SetMember
      Value v = pop(f);
      std::string name = toString(pop(f));
      Value base = pop(f);
      if (Object* o = base.object()) set(o, name, v);
      return;
    }
    case 0x50:  // Increment
      push(f, Value(toNumber(pop(f)) + 1));
      return;
    case 0x51:  // Decrement
      push(f, Value(toNumber(pop(f)) - 1));
      return;
    case 0x3F: {  // Modulo
      Value vb = pop(f), va = pop(f);
      double a = toNumber(va), b = toNumber(vb);
      push(f, Value(std::fmod(a, b)));
      return;
    }
    case 0x60:
    case 0x61:
    case 0x62:
    case 0x63:
    case 0x64:
    case 0x65: {
      Value vb = pop(f), va = pop(f);
      double an = toNumber(va), bn = toNumber(vb);
      int32_t a = toInt32(an), b = toInt32(bn);
      double r = 0;
      switch (in.op) {
        case 0x60:
          r = a & b;
          break;
        case 0x61:
          r = a | b;
          break;
        case 0x62:
          r = a ^ b;
          break;
        case 0x63:
          r = int32_t(uint32_t(a) << (b & 31));
          break;
        case 0x64:
          r = a >> (b & 31);
          break;
        default:
          r = double(toUint32(an) >> (b & 31));
          break;
      }
      push(f, Value(r));
      return;
    }
    case 0x54: {  // InstanceOf
      Value ctor = pop(f);
      Value v = pop(f);
      push(f, Value(v.isObject() && ctor.isObject() && instanceOf(v.obj, ctor.obj)));
      return;
    }
    case 0x69: {  // Extends
      Value superclass = pop(f);
      Value subclass = pop(f);
      Object* sub = subclass.object();
      Object* sup = superclass.object();
      if (!sub || !sup) return;
      Object* proto = m_heap.make<Object>(getOf(sup, "prototype", Value(sup)).object());
      setHidden(proto, "__constructor__", superclass);
      setHidden(sub, "prototype", Value(proto));
      return;
    }
    case 0x2B: {  // CastOp
      Value v = pop(f);
      Value ctor = pop(f);
      push(f, v.isObject() && ctor.isObject() && instanceOf(v.obj, ctor.obj) ? v : Value::null());
      return;
    }
    case 0x2C: {  // ImplementsOp
      Value ctor = pop(f);
      std::vector<Value> interfaces = popArgs(f);
      Object* c = ctor.object();
      if (!c) return;
      Object* proto = getOf(c, "prototype", ctor).object();
      if (!proto) return;
      ArrayObject* list = newArray(std::move(interfaces));
      setHidden(proto, "__interfaces__", Value(static_cast<Object*>(list)));
      return;
    }
    default:
      stepSwf4(f, in);
  }
}

// -- SWF 3 and 4 ------------------------------------------------------------------------

void Machine::stepSwf4(Frame& f, const Instr& in) {
  const Code& code = *f.code;
  auto target = [&]() -> TimelineInstance* { return f.target ? f.target->timeline : nullptr; };
  switch (in.op) {
    case 0x04:  // NextFrame
      if (auto* t = target()) gotoFrame(f.target, Value(double(t->currentFrame() + 2)), false);
      return;
    case 0x05:  // PrevFrame
      if (auto* t = target()) gotoFrame(f.target, Value(double(std::max(1, t->currentFrame()))), false);
      return;
    case 0x06:  // Play
      if (auto* t = target()) t->setPlaying(true);
      return;
    case 0x07:  // Stop
      if (auto* t = target()) t->setPlaying(false);
      return;
    case 0x08:  // ToggleQuality
      toggleQuality();
      return;
    case 0x09:  // StopSounds
      if (auto* t = target(); t && t->context().sounds) t->context().sounds->stopAll();
      return;
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D: {
      Value vb = pop(f), va = pop(f);
      double a = toNumber(va), b = toNumber(vb);
      double r = in.op == 0x0A ? a + b : in.op == 0x0B ? a - b : in.op == 0x0C ? a * b : a / b;
      // SWF 4 answers an error text for division by zero.
      if (in.op == 0x0D && b == 0 && m_version < 5) {
        push(f, Value("#ERROR#"));
        return;
      }
      push(f, Value(r));
      return;
    }
    case 0x0E: {  // Equals
      Value vb = pop(f), va = pop(f);
      // Numbers compare, the right side converted first; NaN equals nothing.
      double b = toNumber(vb), a = toNumber(va);
      push(f, m_version < 5 ? Value(a == b ? 1.0 : 0.0) : Value(a == b));
      return;
    }
    case 0x0F: {  // Less
      Value vb = pop(f), va = pop(f);
      if (m_version >= 5) {
        push(f, less2(va, vb));
        return;
      }
      double a = toNumber(va), b = toNumber(vb);
      push(f, m_version < 5 ? Value(a < b ? 1.0 : 0.0) : Value(a < b));
      return;
    }
    case 0x10:
    case 0x11: {  // And, Or
      Value vb = pop(f), va = pop(f);
      bool a = toBoolean(va), b = toBoolean(vb);
      bool r = in.op == 0x10 ? (a && b) : (a || b);
      push(f, m_version < 5 ? Value(r ? 1.0 : 0.0) : Value(r));
      return;
    }
    case 0x12: {  // Not
      bool r = !toBoolean(pop(f));
      push(f, m_version < 5 ? Value(r ? 1.0 : 0.0) : Value(r));
      return;
    }
    case 0x13: {  // StringEquals
      Value vb = pop(f), va = pop(f);
      std::string a = toString(va), b = toString(vb);
      push(f, m_version < 5 ? Value(a == b ? 1.0 : 0.0) : Value(a == b));
      return;
    }
    case 0x29: {  // StringLess
      Value vb = pop(f), va = pop(f);
      std::string a = toString(va), b = toString(vb);
      push(f, m_version < 5 ? Value(a < b ? 1.0 : 0.0) : Value(a < b));
      return;
    }
    case 0x14:  // StringLength
      push(f, Value(double(toString(pop(f)).size())));
      return;
    case 0x31:  // MBStringLength
      push(f, Value(double(toUtf16(toString(pop(f))).size())));
      return;
    case 0x21: {  // StringAdd
      Value vb = pop(f), va = pop(f);
      std::string a = toString(va), b = toString(vb);
      ensureStringLength(a.size() + b.size());
      push(f, Value(a + b));
      return;
    }
    case 0x15:
    case 0x35: {  // StringExtract, MBStringExtract
      double count = toNumber(pop(f)), index = toNumber(pop(f));
      std::u16string s = toUtf16(toString(pop(f)));
      double start = std::max(0.0, toInteger(index) - 1);
      double n = count < 0 ? double(s.size()) : toInteger(count);
      if (start >= double(s.size()) || n <= 0) {
        push(f, Value(""));
        return;
      }
      push(f, Value(toUtf8(s.substr(size_t(start), size_t(std::min(n, double(s.size()) - start))))));
      return;
    }
    case 0x18:  // ToInteger
      push(f, Value(toInteger(toNumber(pop(f)))));
      return;
    case 0x32:
    case 0x36: {  // CharToAscii
      std::u16string s = toUtf16(toString(pop(f)));
      push(f, s.empty() ? Value(kNaN) : Value(double(s[0])));
      return;
    }
    case 0x33:
    case 0x37: {  // AsciiToChar
      double n = toNumber(pop(f));
      char16_t c = char16_t(toUint32(n) & 0xFFFF);
      push(f, Value(c ? toUtf8(std::u16string(1, c)) : std::string()));
      return;
    }
    case 0x1C:  // GetVariable
      push(f, getVariable(f, toString(pop(f))));
      return;
    case 0x1D: {  // SetVariable
      Value v = pop(f);
      setVariable(f, toString(pop(f)), v);
      return;
    }
    case 0x20: {  // SetTarget2: a clip, or any other value as a path
      Value v = pop(f);
      ClipObject* clip = asClipValue(v);
      f.target = clip ? clip : targetAt(f, toString(v));
      return;
    }
    case 0x8B:  // SetTarget
      f.target = targetAt(f, payloadString(code, in));
      return;
    case 0x22: {  // GetProperty
      int index = propertyNumber(toNumber(pop(f)));
      Value t = pop(f);
      Object* o = t.isString() ? (t.text().empty() ? f.target : evalTargetPath(f, t.text())) : t.object();
      auto* clip = o && o->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(o) : nullptr;
      push(f, clip ? clipProperty(clip, index) : Value());
      return;
    }
    case 0x23: {  // SetProperty
      Value v = pop(f);
      int index = propertyNumber(toNumber(pop(f)));
      Value t = pop(f);
      Object* o = t.isString() ? (t.text().empty() ? f.target : evalTargetPath(f, t.text())) : t.object();
      if (o && o->kind() == ObjectKind::Clip) setClipProperty(static_cast<ClipObject*>(o), index, v);
      return;
    }
    case 0x24: {  // CloneSprite
      double depth = toNumber(pop(f));
      std::string name = toString(pop(f));
      Value source = pop(f);
      Object* o = source.isString() ? evalTargetPath(f, source.text()) : source.object();
      if (o && o->kind() == ObjectKind::Clip) duplicateClip(static_cast<ClipObject*>(o), name, depth - kDepthOffset);
      return;
    }
    case 0x25: {  // RemoveSprite
      Value t = pop(f);
      Object* o = t.isString() ? evalTargetPath(f, t.text()) : t.object();
      if (o && o->kind() == ObjectKind::Clip) removeClip(static_cast<ClipObject*>(o));
      return;
    }
    case 0x26: {  // Trace
      Value v = pop(f);
      std::string line;
      try {
        line = v.isUndefined() ? std::string("undefined") : toString(v);
      } catch (const ScriptThrow& thrown) {
        // A conversion that throws still leaves its line, the object's
        // type as when it has no toString, before the throw goes on.
        if (!thrown.halt)
          trace(v.object() && v.obj->kind() == ObjectKind::Function ? "[type Function]" : "[type Object]");
        throw;
      }
      std::replace(line.begin(), line.end(), '\r', '\n');  // the player's log breaks lines at CR too
      trace(line);
      return;
    }
    case 0x27: {  // StartDrag
      Value t = pop(f);
      bool lock = toBoolean(pop(f));
      if (toBoolean(pop(f)))
        for (int i = 0; i < 4; ++i) pop(f);
      Object* o = t.isString() ? evalTargetPath(f, t.text()) : t.object();
      if (o && o->kind() == ObjectKind::Clip) startDrag(static_cast<ClipObject*>(o), lock);
      return;
    }
    case 0x28:  // EndDrag
      stopDrag();
      return;
    case 0x34:  // GetTime
      push(f, Value(std::floor(m_clock)));
      return;
    case 0x30: {  // RandomNumber
      double max = toNumber(pop(f));
      int32_t n = toInt32(max);
      push(f, Value(n > 0 ? double(std::uniform_int_distribution<int32_t>(0, n - 1)(randomEngine())) : 0.0));
      return;
    }
    case 0x81:  // GotoFrame: a frame past the last is ignored, where the methods go to the last
      if (f.target && f.target->timeline && in.word < f.target->timeline->frameCount())
        gotoFrame(f.target, Value(double(in.word + 1)), false);
      return;
    case 0x8C:  // GoToLabel
      if (f.target) gotoFrame(f.target, Value(std::string(payloadString(code, in))), false);
      return;
    case 0x9F: {  // GotoFrame2
      Value frame = pop(f);
      if (frame.isNumber() || !frame.isString()) frame = Value(toNumber(frame) + in.word);
      if (f.target) gotoFrame(f.target, frame, in.byte & 1);
      return;
    }
    case 0x83: {  // GetURL
      std::string url(payloadString(code, in));
      m_urls.push_back(url);
      return;
    }
    case 0x9A: {  // GetURL2
      Value window = pop(f);
      Value url = pop(f);
      m_urls.push_back(toString(url));
      return;
    }
    case 0x8A:  // WaitForFrame: every frame of a movie read whole is loaded
      return;
    case 0x8D:  // WaitForFrame2
      pop(f);
      return;
    case 0x9E: {  // Call: the frame's scripts run here, on the target
      Value frame = pop(f);
      // Without a valid target (a tellTarget that missed) the script's own timeline is used.
      ClipObject* clip = f.target && f.target->timeline ? f.target : f.original;
      std::string text = toString(frame);
      // "path:frame" names another clip's frame.
      if (size_t colon = text.rfind(':'); !frame.isNumber() && colon != std::string::npos) {
        Object* o = evalTargetPath(f, std::string_view(text).substr(0, colon));
        clip = o && o->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(o) : nullptr;
        text.erase(0, colon + 1);
      }
      if (!clip || !clip->timeline) return;
      TimelineInstance* t = clip->timeline;
      std::optional<int> index;
      if (frame.isNumber())
        index = toInt32(frame.num) - 1;
      else if (auto label = t->def().findLabel(text))
        index = *label;
      else if (double n = stringToNumber(text, m_version); std::isfinite(n))
        index = toInt32(n) - 1;
      if (!index || *index < 0 || *index >= t->frameCount()) return;
      for (const ActionBytes& block : t->def().frames[size_t(*index)].scripts) runScript(block, clip);
      return;
    }
    default:
      return;  // unknown actions are skipped, as players do
  }
}

// -- conversions --------------------------------------------------------------------------

double Machine::toNumber(const Value& v) {
  switch (v.type) {
    case Type::Undefined:
    case Type::Null:
      return m_version >= 7 ? kNaN : 0;
    case Type::Boolean:
      return v.boolean ? 1 : 0;
    case Type::Number:
      return v.num;
    case Type::String:
      return stringToNumber(v.text(), m_version);
    case Type::Object: {
      Value p = toPrimitive(v);
      if (p.isObject()) return kNaN;
      return toNumber(p);
    }
  }
  return kNaN;
}

StringRef Machine::toStringRef(const Value& v) {
  if (v.isString()) return v.str;
  return std::make_shared<const std::string>(toString(v));
}

std::string Machine::toString(const Value& v) {
  switch (v.type) {
    case Type::Undefined:
      return m_version >= 7 ? "undefined" : "";
    case Type::Null:
      return "null";
    case Type::Boolean:
      return v.boolean ? "true" : "false";
    case Type::Number:
      return numberToString(v.num);
    case Type::String:
      return v.text();
    case Type::Object: {
      if (v.obj->kind() == ObjectKind::Clip) return targetPath(static_cast<ClipObject*>(v.obj), false);
      if (v.obj->kind() == ObjectKind::TextField) return fieldPath(static_cast<TextFieldObject*>(v.obj));
      bool found = false;
      Value p = primitiveOf(v, true, found);
      if (!found || p.isObject() || v.obj->kind() == ObjectKind::Super)
        return p.object() && p.obj->kind() == ObjectKind::Function ? "[type Function]" : "[type Object]";
      return toString(p);
    }
  }
  return "";
}

bool Machine::toBoolean(const Value& v) {
  switch (v.type) {
    case Type::Undefined:
    case Type::Null:
      return false;
    case Type::Boolean:
      return v.boolean;
    case Type::Number:
      return v.num != 0 && !std::isnan(v.num);
    case Type::String: {
      if (m_version >= 7) return !v.text().empty();
      double n = stringToNumber(v.text(), m_version);
      return n != 0 && !std::isnan(n);
    }
    case Type::Object:
      return true;
  }
  return false;
}

Value Machine::toPrimitive(const Value& v, bool preferString) {
  bool found = false;
  Value p = primitiveOf(v, preferString, found);
  return found ? p : Value();
}

// The method the hint names first decides: without it the object has no
// primitive. Unless a string was asked for, one that answers an object
// hands over to toString; when that answers an object too the object is
// written as its type.
Value Machine::primitiveOf(const Value& v, bool preferString, bool& found) {
  Object* o = v.object();
  found = true;
  if (!o) return v;
  if (o->kind() == ObjectKind::Clip || o->kind() == ObjectKind::TextField) return Value(toString(v));
  auto isFunction = [](const Value& fn) { return fn.object() && fn.obj->kind() == ObjectKind::Function; };
  bool stringFirst = preferString || o->kind() == ObjectKind::Date;
  Value fn = getOf(o, stringFirst ? "toString" : "valueOf", v);
  found = isFunction(fn);
  if (!found) return v;
  Value r = call(fn, v, {});
  if (!r.isObject()) return r;
  if (preferString) return v;
  if (Value last = getOf(o, "toString", v); isFunction(last))
    if (r = call(last, v, {}); !r.isObject()) return r;
  return Value(o->kind() == ObjectKind::Function ? "[type Function]" : "[type Object]");
}

std::string Machine::typeOf(const Value& v) {
  switch (v.type) {
    case Type::Undefined:
      return "undefined";
    case Type::Null:
      return "null";
    case Type::Boolean:
      return "boolean";
    case Type::Number:
      return "number";
    case Type::String:
      return "string";
    case Type::Object:
      switch (v.obj->kind()) {
        case ObjectKind::Function:
          return "function";
        case ObjectKind::Clip:
          return "movieclip";
        default:
          return "object";
      }
  }
  return "undefined";
}

// -- properties ---------------------------------------------------------------------------

Object* Machine::wrap(const Value& v) {
  switch (v.type) {
    case Type::Object:
      return v.obj;
    case Type::Undefined:
    case Type::Null:
      return nullptr;
    default: {
      const char* ctorName = v.isString() ? "String" : v.isNumber() ? "Number" : "Boolean";
      ObjectKind kind = v.isString() ? ObjectKind::String : v.isNumber() ? ObjectKind::Number : ObjectKind::Boolean;
      Value ctor = getOf(m_global, ctorName, Value(m_global));
      Object* proto = ctor.object() ? getOf(ctor.obj, "prototype", ctor).object() : m_objectProto;
      auto* o = m_heap.make<PrimitiveObject>(proto, kind);
      o->primitive = v;
      return o;
    }
  }
}

Value Machine::get(const Value& base, std::string_view name) {
  if (Object* o = base.object()) return getOf(o, name, base);
  if (base.isNullish()) return Value();
  if (base.isString() && name == "length") return Value(double(toUtf16(base.text()).size()));
  const char* ctorName = base.isString() ? "String" : base.isNumber() ? "Number" : "Boolean";
  Value ctor = getOf(m_global, ctorName, Value(m_global));
  Object* proto = ctor.object() ? getOf(ctor.obj, "prototype", ctor).object() : nullptr;
  return proto ? getOf(proto, name, base) : Value();
}

Value Machine::getOf(Object* object, std::string_view name, const Value& self) {
  if (name == "__proto__") {
    // super reads from the prototype above the method's: its __proto__ is that one's.
    Object* proto = object->kind() == ObjectKind::Super && object->proto ? object->proto->proto : object->proto;
    return proto ? Value(proto) : Value();
  }
  int hops = 0;
  for (Object* o = object; o; o = o->proto, ++hops) {
    if (hops == kMaxProtoChain) return chainTooLong();
    Value special;
    if (o->getSpecial(*this, name, special)) return special;
    if (Property* p = o->props.find(name)) {
      if (p->visibleFrom > m_version) continue;
      if (p->getter && o->watches)
        if (Watch* w = o->findWatch(name, m_heap.caseSensitive()); w && w->running) return w->shadow;
      if (p->getter) {
        // Too deep inside its own accessors, the property is its plain slot.
        if (accessorDepth(o, name) >= accessorLimit()) return p->value;
        RunningAccessor running(*this, o, name);
        return call(Value(p->getter), self, {});
      }
      if (p->setter) return Value();
      return p->value;
    }
  }
  return Value();
}

// A prototype chain that loops or runs too deep ends the running script; read
// outside any script, the name is just not there.
Value Machine::chainTooLong() {
  if (!m_frames.empty()) recursionPassed();
  return Value();
}

int Machine::accessorLimit() const { return m_version >= 7 ? kMaxAccessorDepth : 1; }

int Machine::accessorDepth(Object* owner, std::string_view name) const {
  bool caseSensitive = m_heap.caseSensitive();
  return int(std::count_if(m_runningAccessors.begin(), m_runningAccessors.end(), [&](const auto& running) {
    return running.first == owner && (caseSensitive ? running.second == name : equalsIgnoreCase(running.second, name));
  }));
}

Object* Machine::findOwner(Object* object, std::string_view name) {
  Property* property = nullptr;
  return findOwner(object, name, property);
}

// The owner, and the property there when the name is a plain one of its map.
Object* Machine::findOwner(Object* object, std::string_view name, Property*& property) {
  int hops = 0;
  for (Object* o = object; o; o = o->proto, ++hops) {
    if (hops == kMaxProtoChain) {
      chainTooLong();
      return nullptr;
    }
    Value special;
    property = o->props.find(name);
    if (property || o->getSpecial(*this, name, special)) return o;
  }
  return nullptr;
}

bool Machine::hasProperty(Object* object, std::string_view name) {
  Object* owner = findOwner(object, name);
  if (!owner) return false;
  Property* p = owner->props.find(name);
  return !p || p->visibleFrom <= m_version;
}

void Machine::set(Object* object, std::string_view name, const Value& value) {
  if (name == "__proto__") {
    object->proto = value.object();
    return;
  }
  if (object->watches) {
    Watch* w = object->findWatch(name, m_heap.caseSensitive());
    if (w && !w->running) {
      setWatched(object, *w, value);
      return;
    }
    if (w && w->running) {
      Property* p = object->props.find(name);
      if (p && (p->getter || p->setter)) {
        w->shadow = value;
        return;
      }
    }
  }
  storeProperty(object, name, value);
}

// The accessor an assignment to `name` would reach, own or inherited.
Property* Machine::accessorSlot(Object* object, std::string_view name) {
  int hops = 0;
  for (Object* o = object; o && hops < kMaxProtoChain; o = o->proto, ++hops)
    if (Property* p = o->props.find(name); p && p->visibleFrom <= m_version)
      return p->getter || p->setter ? p : nullptr;
  return nullptr;
}

// The callback runs once per assignment, never for its own assignments, and
// what it answers is stored. An accessor keeps a plain slot beside its
// functions: the callback hears the slot's value as the old one, and its
// answer goes both to the slot and to the setter.
void Machine::setWatched(Object* object, Watch& watch, const Value& value) {
  std::string name = watch.name;
  Property* p = object->props.find(name);
  Property* slot = accessorSlot(object, name);
  Value old = slot ? slot->value : p && p->visibleFrom <= m_version ? p->value : Value();
  Value stored = runWatch(object, watch, old, value);
  if (Property* after = accessorSlot(object, name)) after->value = stored;
  storeProperty(object, name, stored);
}

Value Machine::runWatch(Object* object, Watch& watch, const Value& old, const Value& value) {
  std::string name = watch.name;
  Value callback(watch.callback);
  watch.running = true;
  watch.shadow = Value();
  Value stored;
  try {
    Value args[4] = {Value(name), old, value, watch.userData};
    stored = call(callback, Value(object), args);
  } catch (...) {
    if (Watch* w = object->findWatch(name, m_heap.caseSensitive())) w->running = false;
    throw;
  }
  // The callback may have unwatched or watched again.
  if (Watch* w = object->findWatch(name, m_heap.caseSensitive())) {
    w->running = false;
    w->shadow = Value();
  }
  return stored;
}

// The callback hears the slot's value going to undefined, and its answer
// fills the slot.
void Machine::accessorAdded(Object* object, const std::string& name) {
  Watch* w = object->findWatch(name, m_heap.caseSensitive());
  if (!w || w->running) return;
  Property* p = object->props.find(name);
  Value stored = runWatch(object, *w, p ? p->value : Value(), Value());
  if (Property* after = object->props.find(name)) after->value = stored;
}

void Machine::storeProperty(Object* object, std::string_view name, const Value& value) {
  if (name.empty()) return;  // a nameless property is never made
  if (object->setSpecial(*this, name, value)) return;
  Property* own = object->props.find(name);
  if (own && own->visibleFrom > m_version) own = nullptr;
  Property* accessor = own;
  Object* accessorOwner = object;
  if (!accessor) {
    int hops = 0;
    for (Object* o = object->proto; o && hops < kMaxProtoChain; o = o->proto, ++hops) {
      Property* p = o->props.find(name);
      if (p && p->visibleFrom > m_version) continue;
      if (p && (p->getter || p->setter)) {
        accessor = p;
        accessorOwner = o;
        break;
      }
      if (p) break;
    }
  }
  if (accessor && (accessor->getter || accessor->setter)) {
    if (accessor->setter) callSetter(accessorOwner, object, name, value);
    return;
  }
  if (own) {
    if (!(own->flags & kReadOnly)) own->value = value;
    return;
  }
  // A property hidden from this version is replaced by a plain visible one.
  Property& made = object->props.insert(name);
  made = Property{made.name, value};
}

// The setter runs unless it is already too deep inside its own accessors; either
// way the slot keeps the value, which the outermost call writes last.
void Machine::callSetter(Object* owner, Object* object, std::string_view name, const Value& value) {
  if (accessorDepth(owner, name) < accessorLimit()) {
    RunningAccessor running(*this, owner, name);
    Value arg = value;
    call(Value(owner->props.find(name)->setter), Value(object), std::span<const Value>(&arg, 1));
  }
  if (Property* p = owner->props.find(name)) p->value = value;
}

void Machine::setHidden(Object* object, std::string_view name, const Value& value) {
  Property& p = object->props.insert(name);
  p.value = value;
  p.flags |= kDontEnum;
}

std::vector<std::string> Machine::enumerate(Object* object) {
  std::vector<std::string> names;
  std::vector<std::string> seen;
  int hops = 0;
  for (Object* o = object; o && hops < kMaxProtoChain; o = o->proto, ++hops) {
    std::vector<std::string> own;
    o->specialKeys(own);
    for (const Property& p : o->props.all())
      if (!(p.flags & kDontEnum)) own.push_back(p.name);  // hidden by version, still listed
    for (std::string& name : own) {
      bool dup = false;
      for (const std::string& s : seen)
        if (m_heap.caseSensitive() ? s == name : equalsIgnoreCase(s, name)) dup = true;
      if (dup) continue;
      seen.push_back(name);
      names.push_back(std::move(name));
    }
  }
  return names;
}

// -- calls -------------------------------------------------------------------------------

// super(): the constructor the method's prototype names, found without __resolve.
Value Machine::superConstruct(SuperObject* super, std::span<const Value> args) {
  Object* owner = findOwner(super->home, "__constructor__");
  Value ctor = owner ? getOf(owner, "__constructor__", super->self) : Value();
  auto* fn =
      ctor.object() && ctor.obj->kind() == ObjectKind::Function ? static_cast<FunctionObject*>(ctor.obj) : nullptr;
  if (fn && fn->body) return callScript(fn, super->self, args, getOf(fn, "prototype", ctor).object());
  return fn ? call(ctor, super->self, args) : Value();
}

Value Machine::call(const Value& function, const Value& self, std::span<const Value> args) {
  Object* o = function.object();
  if (o && o->kind() == ObjectKind::Super) return superConstruct(static_cast<SuperObject*>(o), args);
  if (!o || o->kind() != ObjectKind::Function) return Value();
  auto* fn = static_cast<FunctionObject*>(o);
  if (fn->native) {
    if (m_depth + 1 >= m_limits.maxCallDepth) recursionPassed();
    ++m_depth;
    struct Leave {
      int& depth;
      ~Leave() { --depth; }
    } leave{m_depth};
    return fn->native(*this, self, args);
  }
  if (fn->body) return callScript(fn, self, args, nullptr);
  return Value();
}

Value Machine::callMethod(Frame&, const Value& base, std::string_view name, std::span<const Value> args) {
  if (auto* s = base.object(); s && s->kind() == ObjectKind::Super) {
    auto* super = static_cast<SuperObject*>(s);
    Object* owner = super->proto ? findOwner(super->proto, name) : nullptr;
    Value fn = owner ? getOf(owner, name, super->self) : Value();
    auto* f = fn.object() && fn.obj->kind() == ObjectKind::Function ? static_cast<FunctionObject*>(fn.obj) : nullptr;
    if (f && f->body) return callScript(f, super->self, args, owner);
    return call(fn, super->self, args);
  }
  Object* o = base.object();
  if (!o) {
    Value fn = get(base, name);
    return call(fn, base, args);
  }
  Property* p = nullptr;
  Object* owner = findOwner(o, name, p);
  Value fn;
  if (owner) fn = p && !p->getter && !p->setter && p->visibleFrom <= m_version ? p->value : getOf(o, name, base);
  auto* f = fn.object() && fn.obj->kind() == ObjectKind::Function ? static_cast<FunctionObject*>(fn.obj) : nullptr;
  if (f && f->body) return callScript(f, base, args, owner == o ? o->proto : owner);
  return call(fn, base, args);
}

Value Machine::construct(const Value& function, std::span<const Value> args) {
  Object* o = function.object();
  if (!o || o->kind() != ObjectKind::Function) return Value();
  if (m_heap.full()) {
    m_stoppedByBounds = true;
    throw ScriptAbort{};
  }
  auto* fn = static_cast<FunctionObject*>(o);
  Value protoValue = getOf(fn, "prototype", function);
  Object* instance = m_heap.make<Object>(protoValue.object() ? protoValue.obj : m_objectProto);
  setHidden(instance, "__constructor__", function);
  if (m_version < 7) setHidden(instance, "constructor", function);
  if (fn->construct) {
    Value made = fn->construct(*this, Value(instance), args);
    // A built-in class that refuses its arguments makes nothing at all.
    if (made.type == Type::Null) return Value();
    return made.isObject() ? made : Value(instance);
  }
  if (fn->body) {
    Value r = callScript(fn, Value(instance), args, protoValue.object());
    return r.isObject() ? r : Value(instance);
  }
  if (fn->native) fn->native(*this, Value(instance), args);
  return Value(instance);
}

bool Machine::instanceOf(Object* object, Object* constructor) {
  Value protoValue = getOf(constructor, "prototype", Value(constructor));
  Object* proto = protoValue.object();
  return proto && inherits(object->proto, proto, constructor, 0);
}

// Whether the chain from `start` holds `proto`, or an interface that is, extends or
// implements `constructor`.
bool Machine::inherits(Object* start, Object* proto, Object* constructor, int depth) {
  int hops = 0;
  for (Object* o = start; o && hops < kMaxProtoChain; o = o->proto, ++hops) {
    if (o == proto) return true;
    Property* list = o->props.find("__interfaces__");
    auto* a = list ? list->value.object() : nullptr;
    if (!a || a->kind() != ObjectKind::Array || depth >= 16) continue;
    for (const Value& i : static_cast<ArrayObject*>(a)->items) {
      if (i.object() == constructor) return true;
      Object* ip = i.object() ? getOf(i.obj, "prototype", i).object() : nullptr;
      if (ip && inherits(ip, proto, constructor, depth + 1)) return true;
    }
  }
  return false;
}

void Machine::trace(const std::string& line) {
  if (!m_trace) return;
  // Half a surrogate pair is kept inside the machine, so a later join can
  // make the pair again, but it is written out as the replacement character.
  std::string out = line;
  for (size_t i = 0; i + 2 < out.size(); ++i)
    if (uint8_t(out[i]) == 0xED && uint8_t(out[i + 1]) >= 0xA0 && uint8_t(out[i + 1]) <= 0xBF)
      out.replace(i, 3, "\xEF\xBF\xBD");
  m_trace(out);
}

StringRef Machine::intern(std::string_view s) {
  auto it = m_interned.find(std::string(s));
  if (it != m_interned.end()) return it->second;
  auto ref = std::make_shared<const std::string>(s);
  if (m_interned.size() < 100000) m_interned.emplace(std::string(s), ref);
  return ref;
}

Object* Machine::newObject() { return m_heap.make<Object>(m_objectProto); }

ArrayObject* Machine::newArray(std::vector<Value> items) {
  auto* a = m_heap.make<ArrayObject>(m_arrayProto);
  a->items = std::move(items);
  return a;
}

FunctionObject* Machine::newNative(NativeFn fn, NativeFn construct) {
  auto* f = m_heap.make<FunctionObject>(m_functionProto);
  f->native = fn;
  f->construct = construct;
  return f;
}

FunctionObject* Machine::method(Object* owner, const char* name, NativeFn fn, uint8_t flags) {
  FunctionObject* f = newNative(fn);
  Property& p = owner->props.insert(name);
  p.value = Value(static_cast<Object*>(f));
  p.flags = flags;
  return f;
}

}  // namespace swf::avm
