// The player's numbered natives (ASnative) and the global classes a movie
// can name whatever it does with them: devices this control has none of
// (camera, microphone), connections it never opens, and the objects that
// describe the system.

#include <cmath>
#include <limits>

#include "platform/flash/avm.h"

namespace swf::avm {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A numbered native: table and index, and where the built-in lives.
struct NativeEntry {
  int table;
  int index;
  const char* owner;  // a global object, or null for a global function
  const char* name;
};

constexpr int kGlobalTable = 100;
constexpr int kMathTable = 200;

constexpr NativeEntry kNatives[] = {
    {kGlobalTable, 0, nullptr, "escape"},   {kGlobalTable, 1, nullptr, "unescape"},
    {kGlobalTable, 2, nullptr, "parseInt"}, {kGlobalTable, 3, nullptr, "parseFloat"},
    {kGlobalTable, 4, nullptr, "trace"},    {kMathTable, 0, "Math", "abs"},
    {kMathTable, 1, "Math", "min"},         {kMathTable, 2, "Math", "max"},
    {kMathTable, 3, "Math", "sin"},         {kMathTable, 4, "Math", "cos"},
    {kMathTable, 5, "Math", "atan2"},       {kMathTable, 6, "Math", "tan"},
    {kMathTable, 7, "Math", "exp"},         {kMathTable, 8, "Math", "log"},
    {kMathTable, 9, "Math", "sqrt"},        {kMathTable, 10, "Math", "round"},
    {kMathTable, 11, "Math", "random"},     {kMathTable, 12, "Math", "floor"},
    {kMathTable, 13, "Math", "ceil"},       {kMathTable, 14, "Math", "atan"},
    {kMathTable, 15, "Math", "asin"},       {kMathTable, 16, "Math", "acos"},
    {kMathTable, 17, "Math", "pow"},
};

// Every index of the Math table answers a function: the player's Math natives
// share one body that reads two numbers first, and an index it does not know
// answers NaN after reading them.
Value unknownMath(Machine& vm, const Value&, std::span<const Value> args) {
  for (size_t i = 0; i < std::min<size_t>(args.size(), 2); ++i) vm.toNumber(args[i]);
  return Value(kNaN);
}

// ASnative's numbers are 32-bit integers; what is no number names nothing.
int32_t nativeNumber(Machine& vm, const Value& v) {
  double n = vm.toNumber(v);
  return std::isfinite(n) ? toInt32(n) : 0;
}

Value nothing(Machine&, const Value&, std::span<const Value>) { return Value(); }
Value none(Machine&, const Value&, std::span<const Value>) { return Value::null(); }

// Global classes by name: each a constructor with its prototype. The ones
// with statics this control can answer get them below.
constexpr const char* kClasses[] = {
    "Button",          "Camera",       "ContextMenu",     "ContextMenuItem", "LoadVars",
    "LocalConnection", "Microphone",   "MovieClipLoader", "NetConnection",   "NetStream",
    "PrintJob",        "SharedObject", "TextSnapshot",    "Video",           "XMLSocket",
};

// Classes of the flash packages that no family of this control builds.
struct PackageClass {
  const char* package;
  const char* name;
};
constexpr PackageClass kPackageClasses[] = {
    {"external", "ExternalInterface"},
    {"net", "FileReference"},
    {"net", "FileReferenceList"},
    {"text", "TextRenderer"},
};

// Global objects that are no classes.
constexpr const char* kObjects[] = {"Accessibility", "Selection", "System"};
constexpr const char* kSystemObjects[] = {"capabilities", "IME", "security"};

}  // namespace

void Machine::installNativeTable() {
  for (const NativeEntry& e : kNatives) {
    Object* owner = e.owner ? getOf(m_global, e.owner, Value(m_global)).object() : m_global;
    Object* fn = owner ? getOf(owner, e.name, Value(owner)).object() : nullptr;
    if (fn && fn->kind() == ObjectKind::Function && static_cast<FunctionObject*>(fn)->native)
      m_natives[{e.table, e.index}] = static_cast<FunctionObject*>(fn)->native;
  }
  method(m_global, "ASnative", [](Machine& vm, const Value&, std::span<const Value> args) {
    if (args.size() != 2) return Value();
    int32_t table = nativeNumber(vm, args[0]), index = nativeNumber(vm, args[1]);
    auto it = vm.m_natives.find({table, index});
    NativeFn fn = it != vm.m_natives.end() ? it->second : table == kMathTable ? unknownMath : nullptr;
    return fn ? Value(static_cast<Object*>(vm.newNative(fn))) : Value();
  });
}

void Machine::installPackageClasses() {
  Object* flash = getOf(m_global, "flash", Value(m_global)).object();
  if (!flash) {
    flash = newObject();
    setHidden(m_global, "flash", Value(flash));
  }
  for (const PackageClass& c : kPackageClasses) {
    Object* package = getOf(flash, c.package, Value(flash)).object();
    if (!package) {
      package = newObject();
      setHidden(flash, c.package, Value(package));
    }
    if (!hasProperty(package, c.name)) defineClass(package, c.name);
  }
  // Without a container to talk to, nothing is available and no call reaches one.
  Value external = getOf(getOf(flash, "external", Value(flash)).object(), "ExternalInterface", Value());
  if (Object* ctor = external.object()) {
    setHidden(ctor, "available", Value(false));
    method(ctor, "call", none);
    method(ctor, "addCallback", [](Machine&, const Value&, std::span<const Value>) { return Value(false); });
  }
}

FunctionObject* Machine::defineClass(Object* owner, const char* name) {
  FunctionObject* ctor = newNative(nothing);
  Object* proto = newObject();
  setHidden(proto, "constructor", Value(static_cast<Object*>(ctor)));
  setHidden(ctor, "prototype", Value(proto));
  setHidden(owner, name, Value(static_cast<Object*>(ctor)));
  return ctor;
}

void Machine::installGlobalClasses() {
  // Built by their own families when they are: only missing names are made.
  for (const char* name : kClasses)
    if (!hasProperty(m_global, name)) defineClass(m_global, name);
  for (const char* name : kObjects)
    if (!hasProperty(m_global, name)) setHidden(m_global, name, Value(newObject()));
  if (Object* system = getOf(m_global, "System", Value(m_global)).object())
    for (const char* name : kSystemObjects)
      if (!hasProperty(system, name)) setHidden(system, name, Value(newObject()));
  if (Object* textField = getOf(m_global, "TextField", Value(m_global)).object())
    if (!hasProperty(textField, "StyleSheet")) defineClass(textField, "StyleSheet");
  // The device has no camera and no microphone.
  for (const char* device : {"Camera", "Microphone"})
    if (Object* ctor = getOf(m_global, device, Value(m_global)).object()) {
      if (!hasProperty(ctor, "get")) method(ctor, "get", none);
      if (!hasProperty(ctor, "names")) setHidden(ctor, "names", Value(static_cast<Object*>(newArray())));
    }
  installPackageClasses();
  // The flash packages came with SWF 8.
  if (Property* flash = m_global->props.find("flash")) flash->visibleFrom = 8;
}

}  // namespace swf::avm
