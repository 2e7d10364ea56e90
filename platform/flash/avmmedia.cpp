// Built-ins of the movie's surroundings that keep state without reaching
// the device: Color on a clip's colour transform,
// AsBroadcaster, Date's fields and setTimeout.

#include <cmath>
#include <ctime>
#include <limits>

#include "platform/flash/avm.h"

namespace swf::avm {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Value arg(std::span<const Value> args, size_t i) { return i < args.size() ? args[i] : Value(); }

Value obj(Object* o) { return Value(o); }

// A constructor whose instances are plain objects linked to `proto`.
FunctionObject* makeClass(Machine& vm, const char* name, NativeFn init, Object*& proto) {
  proto = vm.newObject();
  FunctionObject* ctor = vm.newNative([](Machine&, const Value&, std::span<const Value>) { return Value(); }, init);
  vm.setHidden(ctor, "prototype", obj(proto));
  vm.setHidden(proto, "constructor", obj(ctor));
  vm.setHidden(vm.global(), name, obj(ctor));
  return ctor;
}

ClipObject* targetClip(Machine& vm, const Value& self) {
  Object* o = self.object();
  if (!o) return nullptr;
  Value target = vm.getOf(o, "__target", self);
  Object* t = target.object();
  return t && t->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(t) : nullptr;
}

DisplayObject* holderOf(ClipObject* clip) { return clip && clip->timeline ? clip->timeline->holder() : nullptr; }

void installColor(Machine& vm) {
  Object* proto;
  makeClass(
      vm, "Color",
      [](Machine& vm, const Value& self, std::span<const Value> args) {
        if (Object* o = self.object()) {
          Value target = arg(args, 0);
          // A path names the clip from the root.
          if (target.isString()) target = vm.get(Value(static_cast<Object*>(vm.rootClip())), target.text());
          vm.setHidden(o, "__target", target);
        }
        return self;
      },
      proto);
  vm.method(proto, "setRGB", [](Machine& vm, const Value& self, std::span<const Value> args) {
    DisplayObject* h = holderOf(targetClip(vm, self));
    if (!h || args.empty()) return Value();
    uint32_t rgb = toUint32(vm.toNumber(args[0]));
    ColorTransform& c = h->colorTransform;
    c.rMult = c.gMult = c.bMult = 0;
    c.rAdd = int16_t(rgb >> 16 & 0xFF);
    c.gAdd = int16_t(rgb >> 8 & 0xFF);
    c.bAdd = int16_t(rgb & 0xFF);
    h->sprite->context().changed = true;
    return Value();
  });
  vm.method(proto, "getRGB", [](Machine& vm, const Value& self, std::span<const Value>) {
    DisplayObject* h = holderOf(targetClip(vm, self));
    if (!h) return Value();
    const ColorTransform& c = h->colorTransform;
    return Value(double((c.rAdd & 0xFF) << 16 | (c.gAdd & 0xFF) << 8 | (c.bAdd & 0xFF)));
  });
  vm.method(proto, "getTransform", [](Machine& vm, const Value& self, std::span<const Value>) {
    DisplayObject* h = holderOf(targetClip(vm, self));
    if (!h) return Value();
    const ColorTransform& c = h->colorTransform;
    Object* t = vm.newObject();
    const std::pair<const char*, double> fields[] = {
        {"ra", c.rMult * 100.0 / 256}, {"rb", double(c.rAdd)}, {"ga", c.gMult * 100.0 / 256}, {"gb", double(c.gAdd)},
        {"ba", c.bMult * 100.0 / 256}, {"bb", double(c.bAdd)}, {"aa", c.aMult * 100.0 / 256}, {"ab", double(c.aAdd)}};
    for (auto [name, value] : fields) vm.set(t, name, Value(value));
    return obj(t);
  });
  vm.method(proto, "setTransform", [](Machine& vm, const Value& self, std::span<const Value> args) {
    DisplayObject* h = holderOf(targetClip(vm, self));
    Object* t = arg(args, 0).object();
    if (!h || !t) return Value();
    ColorTransform& c = h->colorTransform;
    auto read = [&](const char* name, int16_t& field, double scale) {
      if (!vm.hasProperty(t, name)) return;
      double v = vm.toNumber(vm.getOf(t, name, arg(args, 0)));
      if (std::isfinite(v)) field = int16_t(std::clamp(v * scale, -32768.0, 32767.0));
    };
    read("ra", c.rMult, 2.56);
    read("ga", c.gMult, 2.56);
    read("ba", c.bMult, 2.56);
    read("aa", c.aMult, 2.56);
    read("rb", c.rAdd, 1);
    read("gb", c.gAdd, 1);
    read("bb", c.bAdd, 1);
    read("ab", c.aAdd, 1);
    h->sprite->context().changed = true;
    return Value();
  });
}

void installBroadcaster(Machine& vm) {
  Object* broadcaster = vm.defineClass(vm.global(), "AsBroadcaster");
  FunctionObject* add =
      vm.method(broadcaster, "addListener", [](Machine& vm, const Value& self, std::span<const Value> args) {
        Object* o = self.object();
        Object* list = o ? vm.getOf(o, "_listeners", self).object() : nullptr;
        if (!list || list->kind() != ObjectKind::Array) return Value(false);
        auto& items = static_cast<ArrayObject*>(list)->items;
        for (const Value& v : items)
          if (vm.toString(v) == vm.toString(arg(args, 0)) && v.object() == arg(args, 0).object()) return Value(true);
        items.push_back(arg(args, 0));
        return Value(true);
      });
  FunctionObject* remove =
      vm.method(broadcaster, "removeListener", [](Machine& vm, const Value& self, std::span<const Value> args) {
        Object* o = self.object();
        Object* list = o ? vm.getOf(o, "_listeners", self).object() : nullptr;
        if (!list || list->kind() != ObjectKind::Array) return Value(false);
        auto& items = static_cast<ArrayObject*>(list)->items;
        for (auto it = items.begin(); it != items.end(); ++it)
          if (it->object() && it->object() == arg(args, 0).object()) {
            items.erase(it);
            return Value(true);
          }
        return Value(false);
      });
  FunctionObject* send =
      vm.method(broadcaster, "broadcastMessage", [](Machine& vm, const Value& self, std::span<const Value> args) {
        if (args.empty()) return Value();
        vm.broadcast(self.object(), vm.toString(args[0]), args.subspan(1));
        return Value(true);
      });
  vm.method(broadcaster, "initialize", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Object* target = arg(args, 0).object();
    Object* source = self.object();
    if (!target || !source) return Value();
    vm.setHidden(target, "_listeners", obj(vm.newArray()));
    for (const char* name : {"addListener", "removeListener", "broadcastMessage"})
      vm.setHidden(target, name, vm.getOf(source, name, self));
    return Value();
  });
  (void)add;
  (void)remove;
  (void)send;
}

// Date fields in local time: the method's index picks the field.
constexpr const char* kDateFields[] = {"getFullYear", "getMonth",   "getDate",         "getDay", "getHours",
                                       "getMinutes",  "getSeconds", "getMilliseconds", "getYear"};

template <int Field>
Value dateField(Machine&, const Value& self, std::span<const Value>) {
  Object* o = self.object();
  if (!o || o->kind() != ObjectKind::Date || !o->primitive.isNumber() || !std::isfinite(o->primitive.num))
    return Value(kNaN);
  double ms = o->primitive.num;
  std::time_t seconds = std::time_t(std::floor(ms / 1000));
  std::tm parts{};
  localtime_r(&seconds, &parts);
  switch (Field) {
    case 0:
      return Value(double(parts.tm_year + 1900));
    case 1:
      return Value(double(parts.tm_mon));
    case 2:
      return Value(double(parts.tm_mday));
    case 3:
      return Value(double(parts.tm_wday));
    case 4:
      return Value(double(parts.tm_hour));
    case 5:
      return Value(double(parts.tm_min));
    case 6:
      return Value(double(parts.tm_sec));
    case 7:
      return Value(ms - std::floor(ms / 1000) * 1000);
    default:
      return Value(double(parts.tm_year));
  }
}

template <int... Fields>
void installDateFields(Machine& vm, Object* proto, std::integer_sequence<int, Fields...>) {
  (vm.method(proto, kDateFields[Fields], dateField<Fields>), ...);
}

}  // namespace

void Machine::installMediaBuiltins() {
  installSoundBuiltins();
  installColor(*this);
  installBroadcaster(*this);
  Value date = getOf(m_global, "Date", Value(m_global));
  if (Object* proto = date.object() ? getOf(date.obj, "prototype", date).object() : nullptr)
    installDateFields(*this, proto, std::make_integer_sequence<int, int(std::size(kDateFields))>{});
  method(m_global, "setTimeout", [](Machine& vm, const Value&, std::span<const Value> args) {
    if (args.empty() || !args[0].object() || args[0].obj->kind() != ObjectKind::Function) return Value();
    std::vector<Value> rest;
    if (args.size() > 2) rest.assign(args.begin() + 2, args.end());
    return Value(double(vm.addInterval(args[0], Value(), "", vm.toNumber(arg(args, 1)), std::move(rest), true)));
  });
  method(m_global, "clearTimeout", [](Machine& vm, const Value&, std::span<const Value> args) {
    vm.clearInterval(int(vm.toNumber(arg(args, 0))));
    return Value();
  });
}

}  // namespace swf::avm
