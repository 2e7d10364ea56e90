// flash.geom for scripts: Point, Rectangle, Matrix and ColorTransform as
// plain objects whose fields a movie may read and replace freely (their
// methods read the fields back each time, as the player's own do), and
// Transform, a view of one clip's matrix and colour transform.

#include <cmath>
#include <numbers>

#include "platform/flash/avmgeom.h"

namespace swf::avm {

namespace {

// A gradient square is 32768 twips wide: 1638.4 pixels.
constexpr double kGradientSquare = 1638.4;

constexpr const char* kMatrixFields[] = {"a", "b", "c", "d", "tx", "ty"};
constexpr const char* kColorFields[] = {"redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier",
                                        "redOffset",     "greenOffset",     "blueOffset",     "alphaOffset"};
constexpr double kColorDefaults[] = {1, 1, 1, 1, 0, 0, 0, 0};

Value arg(std::span<const Value> args, size_t i) { return i < args.size() ? args[i] : Value(); }

double number(Machine& vm, const Value& base, const char* name) { return vm.toNumber(vm.get(base, name)); }

void setNumber(Machine& vm, const Value& self, const char* name, double value) {
  if (Object* o = self.object()) vm.set(o, name, Value(value));
}

// Text of a field as the classes' toString writes it: undefined spelled out.
std::string fieldText(Machine& vm, const Value& v) { return v.isUndefined() ? "undefined" : vm.toString(v); }

std::string describe(Machine& vm, const Value& self, std::span<const char* const> fields,
                     std::span<const char* const> labels) {
  std::string out = "(";
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) out += ", ";
    out += std::string(labels[i]) + "=" + fieldText(vm, vm.get(self, fields[i]));
  }
  return out + ")";
}

Value geomClass(Machine& vm, const char* name) {
  Value flash = vm.get(Value(vm.global()), "flash");
  return vm.get(vm.get(flash, "geom"), name);
}

Value makeNew(Machine& vm, const char* name, std::vector<Value> args) {
  return vm.construct(geomClass(vm, name), args);
}

Value makePoint(Machine& vm, double x, double y) { return makeNew(vm, "Point", {Value(x), Value(y)}); }

// A class: its constructor (called on the new object), its prototype, and
// its place in flash.geom.
struct ClassParts {
  FunctionObject* ctor;
  Object* proto;
};

ClassParts defineClass(Machine& vm, Object* package, const char* name, NativeFn init) {
  Object* proto = vm.newObject();
  FunctionObject* ctor = vm.newNative(init);
  vm.setHidden(ctor, "prototype", Value(proto));
  vm.setHidden(proto, "constructor", Value(static_cast<Object*>(ctor)));
  vm.setHidden(package, name, Value(static_cast<Object*>(ctor)));
  return {ctor, proto};
}

void accessor(Machine& vm, Object* owner, const char* name, NativeFn getter, NativeFn setter) {
  Property& p = owner->props.insert(name);
  p.getter = vm.newNative(getter);
  p.setter = setter ? vm.newNative(setter) : nullptr;
  p.flags = kDontEnum;
}

// -- Point ------------------------------------------------------------------------------------

void installPoint(Machine& vm, Object* package) {
  auto [ctor, proto] =
      defineClass(vm, package, "Point", [](Machine& vm, const Value& self, std::span<const Value> args) {
        Object* o = self.object();
        if (!o) return Value();
        vm.set(o, "x", args.empty() ? Value(0.0) : args[0]);
        vm.set(o, "y", args.empty() ? Value(0.0) : arg(args, 1));
        return Value();
      });
  static constexpr const char* kFields[] = {"x", "y"};
  vm.method(proto, "toString", [](Machine& vm, const Value& self, std::span<const Value>) {
    return Value(describe(vm, self, kFields, kFields));
  });
  accessor(
      vm, proto, "length",
      [](Machine& vm, const Value& self, std::span<const Value>) {
        return Value(std::hypot(number(vm, self, "x"), number(vm, self, "y")));
      },
      nullptr);
  vm.method(proto, "add", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Value other = arg(args, 0);
    return makePoint(vm, number(vm, self, "x") + number(vm, other, "x"),
                     number(vm, self, "y") + number(vm, other, "y"));
  });
  vm.method(proto, "subtract", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Value other = arg(args, 0);
    return makePoint(vm, number(vm, self, "x") - number(vm, other, "x"),
                     number(vm, self, "y") - number(vm, other, "y"));
  });
  vm.method(proto, "equals", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Object* other = arg(args, 0).object();
    if (!other || !vm.instanceOf(other, geomClass(vm, "Point").object())) return Value(false);
    return Value(number(vm, self, "x") == number(vm, args[0], "x") &&
                 number(vm, self, "y") == number(vm, args[0], "y"));
  });
  vm.method(proto, "clone", [](Machine& vm, const Value& self, std::span<const Value>) {
    return makeNew(vm, "Point", {vm.get(self, "x"), vm.get(self, "y")});
  });
  vm.method(proto, "offset", [](Machine& vm, const Value& self, std::span<const Value> args) {
    setNumber(vm, self, "x", number(vm, self, "x") + vm.toNumber(arg(args, 0)));
    setNumber(vm, self, "y", number(vm, self, "y") + vm.toNumber(arg(args, 1)));
    return Value();
  });
  vm.method(proto, "normalize", [](Machine& vm, const Value& self, std::span<const Value> args) {
    double x = number(vm, self, "x"), y = number(vm, self, "y");
    double length = std::hypot(x, y);
    if (length > 0) {
      double scale = vm.toNumber(arg(args, 0)) / length;
      setNumber(vm, self, "x", x * scale);
      setNumber(vm, self, "y", y * scale);
    }
    return Value();
  });
  vm.method(ctor, "distance", [](Machine& vm, const Value&, std::span<const Value> args) {
    Object* first = arg(args, 0).object();
    if (!first || !vm.instanceOf(first, geomClass(vm, "Point").object())) return Value();
    Value delta = makePoint(vm, number(vm, args[0], "x") - number(vm, arg(args, 1), "x"),
                            number(vm, args[0], "y") - number(vm, arg(args, 1), "y"));
    return vm.get(delta, "length");
  });
  vm.method(ctor, "interpolate", [](Machine& vm, const Value&, std::span<const Value> args) {
    Value a = arg(args, 0), b = arg(args, 1);
    double f = vm.toNumber(arg(args, 2));
    double bx = number(vm, b, "x"), by = number(vm, b, "y");
    return makePoint(vm, bx + f * (number(vm, a, "x") - bx), by + f * (number(vm, a, "y") - by));
  });
  vm.method(ctor, "polar", [](Machine& vm, const Value&, std::span<const Value> args) {
    double length = vm.toNumber(arg(args, 0)), angle = vm.toNumber(arg(args, 1));
    return makePoint(vm, length * std::cos(angle), length * std::sin(angle));
  });
}

// -- Rectangle --------------------------------------------------------------------------------------

struct Box {
  double x, y, w, h;
};

Box boxOf(Machine& vm, const Value& v) {
  return {number(vm, v, "x"), number(vm, v, "y"), number(vm, v, "width"), number(vm, v, "height")};
}

void setBox(Machine& vm, const Value& self, Box b) {
  setNumber(vm, self, "x", b.x);
  setNumber(vm, self, "y", b.y);
  setNumber(vm, self, "width", b.w);
  setNumber(vm, self, "height", b.h);
}

Value makeRect(Machine& vm, Box b) {
  return makeNew(vm, "Rectangle", {Value(b.x), Value(b.y), Value(b.w), Value(b.h)});
}

bool emptyBox(Box b) { return !(b.w > 0) || !(b.h > 0); }

void installRectangle(Machine& vm, Object* package) {
  auto [ctor, proto] =
      defineClass(vm, package, "Rectangle", [](Machine& vm, const Value& self, std::span<const Value> args) {
        Object* o = self.object();
        if (!o) return Value();
        static constexpr const char* kNames[] = {"x", "y", "width", "height"};
        for (size_t i = 0; i < 4; ++i) vm.set(o, kNames[i], args.empty() ? Value(0.0) : arg(args, i));
        return Value();
      });
  static constexpr const char* kFields[] = {"x", "y", "width", "height"};
  static constexpr const char* kLabels[] = {"x", "y", "w", "h"};
  vm.method(proto, "toString", [](Machine& vm, const Value& self, std::span<const Value>) {
    return Value(describe(vm, self, kFields, kLabels));
  });
  vm.method(proto, "clone", [](Machine& vm, const Value& self, std::span<const Value>) {
    return makeNew(vm, "Rectangle",
                   {vm.get(self, "x"), vm.get(self, "y"), vm.get(self, "width"), vm.get(self, "height")});
  });
  vm.method(proto, "isEmpty",
            [](Machine& vm, const Value& self, std::span<const Value>) { return Value(emptyBox(boxOf(vm, self))); });
  vm.method(proto, "setEmpty", [](Machine& vm, const Value& self, std::span<const Value>) {
    setBox(vm, self, {0, 0, 0, 0});
    return Value();
  });
  vm.method(proto, "contains", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Box b = boxOf(vm, self);
    double x = vm.toNumber(arg(args, 0)), y = vm.toNumber(arg(args, 1));
    return Value(x >= b.x && x < b.x + b.w && y >= b.y && y < b.y + b.h);
  });
  vm.method(proto, "containsPoint", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Box b = boxOf(vm, self);
    double x = number(vm, arg(args, 0), "x"), y = number(vm, arg(args, 0), "y");
    return Value(x >= b.x && x < b.x + b.w && y >= b.y && y < b.y + b.h);
  });
  vm.method(proto, "containsRectangle", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Box b = boxOf(vm, self), o = boxOf(vm, arg(args, 0));
    return Value(o.x >= b.x && o.y >= b.y && o.x + o.w <= b.x + b.w && o.y + o.h <= b.y + b.h);
  });
  vm.method(proto, "equals", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Object* other = arg(args, 0).object();
    if (!other || !vm.instanceOf(other, geomClass(vm, "Rectangle").object())) return Value(false);
    Box b = boxOf(vm, self), o = boxOf(vm, args[0]);
    return Value(b.x == o.x && b.y == o.y && b.w == o.w && b.h == o.h);
  });
  vm.method(proto, "inflate", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Box b = boxOf(vm, self);
    double dx = vm.toNumber(arg(args, 0)), dy = vm.toNumber(arg(args, 1));
    setBox(vm, self, {b.x - dx, b.y - dy, b.w + 2 * dx, b.h + 2 * dy});
    return Value();
  });
  vm.method(proto, "inflatePoint", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Box b = boxOf(vm, self);
    double dx = number(vm, arg(args, 0), "x"), dy = number(vm, arg(args, 0), "y");
    setBox(vm, self, {b.x - dx, b.y - dy, b.w + 2 * dx, b.h + 2 * dy});
    return Value();
  });
  vm.method(proto, "offset", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Box b = boxOf(vm, self);
    setNumber(vm, self, "x", b.x + vm.toNumber(arg(args, 0)));
    setNumber(vm, self, "y", b.y + vm.toNumber(arg(args, 1)));
    return Value();
  });
  vm.method(proto, "offsetPoint", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Box b = boxOf(vm, self);
    setNumber(vm, self, "x", b.x + number(vm, arg(args, 0), "x"));
    setNumber(vm, self, "y", b.y + number(vm, arg(args, 0), "y"));
    return Value();
  });
  vm.method(proto, "intersects", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Box a = boxOf(vm, self), b = boxOf(vm, arg(args, 0));
    return Value(std::max(a.x, b.x) < std::min(a.x + a.w, b.x + b.w) &&
                 std::max(a.y, b.y) < std::min(a.y + a.h, b.y + b.h));
  });
  vm.method(proto, "intersection", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Box a = boxOf(vm, self), b = boxOf(vm, arg(args, 0));
    double left = std::max(a.x, b.x), top = std::max(a.y, b.y);
    double right = std::min(a.x + a.w, b.x + b.w), bottom = std::min(a.y + a.h, b.y + b.h);
    if (!(left < right) || !(top < bottom)) return makeRect(vm, {0, 0, 0, 0});
    return makeRect(vm, {left, top, right - left, bottom - top});
  });
  vm.method(proto, "union", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Box a = boxOf(vm, self), b = boxOf(vm, arg(args, 0));
    if (emptyBox(a)) return makeRect(vm, b);
    if (emptyBox(b)) return makeRect(vm, a);
    double left = std::min(a.x, b.x), top = std::min(a.y, b.y);
    double right = std::max(a.x + a.w, b.x + b.w), bottom = std::max(a.y + a.h, b.y + b.h);
    return makeRect(vm, {left, top, right - left, bottom - top});
  });
  // The edges and corners, computed from the four fields.
  accessor(
      vm, proto, "left", [](Machine& vm, const Value& self, std::span<const Value>) { return vm.get(self, "x"); },
      [](Machine& vm, const Value& self, std::span<const Value> args) {
        Box b = boxOf(vm, self);
        double left = vm.toNumber(arg(args, 0));
        setNumber(vm, self, "width", b.w + b.x - left);
        setNumber(vm, self, "x", left);
        return Value();
      });
  accessor(
      vm, proto, "top", [](Machine& vm, const Value& self, std::span<const Value>) { return vm.get(self, "y"); },
      [](Machine& vm, const Value& self, std::span<const Value> args) {
        Box b = boxOf(vm, self);
        double top = vm.toNumber(arg(args, 0));
        setNumber(vm, self, "height", b.h + b.y - top);
        setNumber(vm, self, "y", top);
        return Value();
      });
  accessor(
      vm, proto, "right",
      [](Machine& vm, const Value& self, std::span<const Value>) {
        Box b = boxOf(vm, self);
        return Value(b.x + b.w);
      },
      [](Machine& vm, const Value& self, std::span<const Value> args) {
        setNumber(vm, self, "width", vm.toNumber(arg(args, 0)) - number(vm, self, "x"));
        return Value();
      });
  accessor(
      vm, proto, "bottom",
      [](Machine& vm, const Value& self, std::span<const Value>) {
        Box b = boxOf(vm, self);
        return Value(b.y + b.h);
      },
      [](Machine& vm, const Value& self, std::span<const Value> args) {
        setNumber(vm, self, "height", vm.toNumber(arg(args, 0)) - number(vm, self, "y"));
        return Value();
      });
  accessor(
      vm, proto, "topLeft",
      [](Machine& vm, const Value& self, std::span<const Value>) {
        return makeNew(vm, "Point", {vm.get(self, "x"), vm.get(self, "y")});
      },
      [](Machine& vm, const Value& self, std::span<const Value> args) {
        Box b = boxOf(vm, self);
        double x = number(vm, arg(args, 0), "x"), y = number(vm, arg(args, 0), "y");
        setBox(vm, self, {x, y, b.w + b.x - x, b.h + b.y - y});
        return Value();
      });
  accessor(
      vm, proto, "bottomRight",
      [](Machine& vm, const Value& self, std::span<const Value>) {
        Box b = boxOf(vm, self);
        return makePoint(vm, b.x + b.w, b.y + b.h);
      },
      [](Machine& vm, const Value& self, std::span<const Value> args) {
        Box b = boxOf(vm, self);
        setNumber(vm, self, "width", number(vm, arg(args, 0), "x") - b.x);
        setNumber(vm, self, "height", number(vm, arg(args, 0), "y") - b.y);
        return Value();
      });
  accessor(
      vm, proto, "size",
      [](Machine& vm, const Value& self, std::span<const Value>) {
        return makeNew(vm, "Point", {vm.get(self, "width"), vm.get(self, "height")});
      },
      [](Machine& vm, const Value& self, std::span<const Value> args) {
        setNumber(vm, self, "width", number(vm, arg(args, 0), "x"));
        setNumber(vm, self, "height", number(vm, arg(args, 0), "y"));
        return Value();
      });
}

// -- Matrix -------------------------------------------------------------------------------------------

struct Affine {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};

Affine affineOf(Machine& vm, const Value& v) {
  return {number(vm, v, "a"), number(vm, v, "b"),  number(vm, v, "c"),
          number(vm, v, "d"), number(vm, v, "tx"), number(vm, v, "ty")};
}

void setAffine(Machine& vm, const Value& self, const Affine& m) {
  const double values[] = {m.a, m.b, m.c, m.d, m.tx, m.ty};
  for (size_t i = 0; i < 6; ++i) setNumber(vm, self, kMatrixFields[i], values[i]);
}

// `m` then `n`: what concat makes of this matrix.
Affine concat(const Affine& m, const Affine& n) {
  return {m.a * n.a + m.b * n.c, m.a * n.b + m.b * n.d,          m.c * n.a + m.d * n.c,
          m.c * n.b + m.d * n.d, m.tx * n.a + m.ty * n.c + n.tx, m.tx * n.b + m.ty * n.d + n.ty};
}

Affine box(double sx, double sy, double rotation, double tx, double ty) {
  double cs = std::cos(rotation), sn = std::sin(rotation);
  return {cs * sx, sn * sx, -sn * sy, cs * sy, tx, ty};
}

void installMatrix(Machine& vm, Object* package) {
  auto [ctor, proto] =
      defineClass(vm, package, "Matrix", [](Machine& vm, const Value& self, std::span<const Value> args) {
        Object* o = self.object();
        if (!o) return Value();
        if (args.empty()) {
          setAffine(vm, self, {});
          return Value();
        }
        for (size_t i = 0; i < 6; ++i) vm.set(o, kMatrixFields[i], arg(args, i));
        return Value();
      });
  vm.method(proto, "toString", [](Machine& vm, const Value& self, std::span<const Value>) {
    return Value(describe(vm, self, kMatrixFields, kMatrixFields));
  });
  vm.method(proto, "clone", [](Machine& vm, const Value& self, std::span<const Value>) {
    std::vector<Value> fields;
    for (const char* f : kMatrixFields) fields.push_back(vm.get(self, f));
    return makeNew(vm, "Matrix", std::move(fields));
  });
  vm.method(proto, "identity", [](Machine& vm, const Value& self, std::span<const Value>) {
    setAffine(vm, self, {});
    return Value();
  });
  vm.method(proto, "concat", [](Machine& vm, const Value& self, std::span<const Value> args) {
    setAffine(vm, self, concat(affineOf(vm, self), affineOf(vm, arg(args, 0))));
    return Value();
  });
  vm.method(proto, "invert", [](Machine& vm, const Value& self, std::span<const Value>) {
    Affine m = affineOf(vm, self);
    double det = m.a * m.d - m.b * m.c;
    if (det == 0) {
      setAffine(vm, self, {1, 0, 0, 1, 0, 0});
      return Value();
    }
    Affine i{m.d / det, -m.b / det, -m.c / det, m.a / det, 0, 0};
    i.tx = -(i.a * m.tx + i.c * m.ty);
    i.ty = -(i.b * m.tx + i.d * m.ty);
    setAffine(vm, self, i);
    return Value();
  });
  vm.method(proto, "rotate", [](Machine& vm, const Value& self, std::span<const Value> args) {
    double r = vm.toNumber(arg(args, 0));
    setAffine(vm, self, concat(affineOf(vm, self), box(1, 1, r, 0, 0)));
    return Value();
  });
  vm.method(proto, "scale", [](Machine& vm, const Value& self, std::span<const Value> args) {
    double sx = vm.toNumber(arg(args, 0)), sy = vm.toNumber(arg(args, 1));
    setAffine(vm, self, concat(affineOf(vm, self), {sx, 0, 0, sy, 0, 0}));
    return Value();
  });
  vm.method(proto, "translate", [](Machine& vm, const Value& self, std::span<const Value> args) {
    setNumber(vm, self, "tx", number(vm, self, "tx") + vm.toNumber(arg(args, 0)));
    setNumber(vm, self, "ty", number(vm, self, "ty") + vm.toNumber(arg(args, 1)));
    return Value();
  });
  vm.method(proto, "createBox", [](Machine& vm, const Value& self, std::span<const Value> args) {
    auto orZero = [&](size_t i) { return arg(args, i).isUndefined() ? 0.0 : vm.toNumber(args[i]); };
    setAffine(
        vm, self,
        box(vm.toNumber(arg(args, 0)), vm.toNumber(arg(args, 1)), vm.toNumber(arg(args, 2)), orZero(3), orZero(4)));
    return Value();
  });
  vm.method(proto, "createGradientBox", [](Machine& vm, const Value& self, std::span<const Value> args) {
    auto orZero = [&](size_t i) { return arg(args, i).isUndefined() ? 0.0 : vm.toNumber(args[i]); };
    double w = vm.toNumber(arg(args, 0)), h = vm.toNumber(arg(args, 1));
    setAffine(vm, self, box(w / kGradientSquare, h / kGradientSquare, orZero(2), orZero(3) + w / 2, orZero(4) + h / 2));
    return Value();
  });
  vm.method(proto, "transformPoint", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Affine m = affineOf(vm, self);
    double x = number(vm, arg(args, 0), "x"), y = number(vm, arg(args, 0), "y");
    return makePoint(vm, m.a * x + m.c * y + m.tx, m.b * x + m.d * y + m.ty);
  });
  vm.method(proto, "deltaTransformPoint", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Affine m = affineOf(vm, self);
    double x = number(vm, arg(args, 0), "x"), y = number(vm, arg(args, 0), "y");
    return makePoint(vm, m.a * x + m.c * y, m.b * x + m.d * y);
  });
}

// -- ColorTransform ---------------------------------------------------------------------------------

void installColorTransform(Machine& vm, Object* package) {
  auto [ctor, proto] =
      defineClass(vm, package, "ColorTransform", [](Machine& vm, const Value& self, std::span<const Value> args) {
        Object* o = self.object();
        if (!o) return Value();
        for (size_t i = 0; i < 8; ++i)
          vm.set(o, kColorFields[i], i < args.size() ? Value(vm.toNumber(args[i])) : Value(kColorDefaults[i]));
        return Value();
      });
  vm.method(proto, "toString", [](Machine& vm, const Value& self, std::span<const Value>) {
    return Value(describe(vm, self, kColorFields, kColorFields));
  });
  vm.method(proto, "concat", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Value other = arg(args, 0);
    for (size_t i = 0; i < 4; ++i) {
      double mult = number(vm, self, kColorFields[i]);
      setNumber(vm, self, kColorFields[i + 4],
                number(vm, self, kColorFields[i + 4]) + number(vm, other, kColorFields[i + 4]) * mult);
      setNumber(vm, self, kColorFields[i], mult * number(vm, other, kColorFields[i]));
    }
    return Value();
  });
  accessor(
      vm, proto, "rgb",
      [](Machine& vm, const Value& self, std::span<const Value>) {
        auto channel = [&](const char* name) { return uint32_t(toInt32(number(vm, self, name))) & 0xFF; };
        return Value(double(channel("redOffset") << 16 | channel("greenOffset") << 8 | channel("blueOffset")));
      },
      [](Machine& vm, const Value& self, std::span<const Value> args) {
        uint32_t rgb = toUint32(vm.toNumber(arg(args, 0)));
        for (size_t i = 0; i < 3; ++i) {
          setNumber(vm, self, kColorFields[i], 0);
          setNumber(vm, self, kColorFields[i + 4], double(rgb >> (16 - 8 * i) & 0xFF));
        }
        return Value();
      });
}

// -- Transform ------------------------------------------------------------------------------------------

ClipObject* clipOfTransform(Machine& vm, const Value& self) {
  Value clip = vm.get(self, "__clip");
  Object* o = clip.object();
  auto* c = o && o->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(o) : nullptr;
  return c && c->timeline ? c : nullptr;
}

Value matrixValue(Machine& vm, const Matrix& m) {
  return makeNew(vm, "Matrix",
                 {Value(double(m.a)), Value(double(m.b)), Value(double(m.c)), Value(double(m.d)),
                  Value(double(m.tx) / kTwipsPerPixel), Value(double(m.ty) / kTwipsPerPixel)});
}

Value colorValue(Machine& vm, const ColorTransform& cx) {
  const int16_t values[] = {cx.rMult, cx.gMult, cx.bMult, cx.aMult, cx.rAdd, cx.gAdd, cx.bAdd, cx.aAdd};
  std::vector<Value> args;
  for (size_t i = 0; i < 8; ++i) args.push_back(Value(i < 4 ? double(values[i]) / 256 : double(values[i])));
  return makeNew(vm, "ColorTransform", std::move(args));
}

bool isInstance(Machine& vm, const Value& v, const char* className) {
  Object* o = v.object();
  Object* ctor = geomClass(vm, className).object();
  return o && ctor && vm.instanceOf(o, ctor);
}

int16_t fixed(double v, double scale) { return int16_t(std::clamp(toInteger(v * scale), -32768.0, 32767.0)); }

void installTransform(Machine& vm, Object* package) {
  auto [ctor, proto] =
      defineClass(vm, package, "Transform", [](Machine& vm, const Value& self, std::span<const Value> args) {
        if (Object* o = self.object(); o && asClipValue(arg(args, 0))) vm.setHidden(o, "__clip", args[0]);
        return Value();
      });
  accessor(
      vm, proto, "matrix",
      [](Machine& vm, const Value& self, std::span<const Value>) {
        ClipObject* c = clipOfTransform(vm, self);
        return c ? matrixValue(vm, vm.holderOf(*c->timeline)->matrix) : Value();
      },
      [](Machine& vm, const Value& self, std::span<const Value> args) {
        ClipObject* c = clipOfTransform(vm, self);
        if (!c || !isInstance(vm, arg(args, 0), "Matrix")) return Value();
        Affine m = affineOf(vm, args[0]);
        vm.holderOf(*c->timeline)->matrix = {float(m.a),
                                             float(m.b),
                                             float(m.c),
                                             float(m.d),
                                             float(toInteger(m.tx * kTwipsPerPixel)),
                                             float(toInteger(m.ty * kTwipsPerPixel))};
        c->timeline->context().changed = true;
        return Value();
      });
  accessor(
      vm, proto, "colorTransform",
      [](Machine& vm, const Value& self, std::span<const Value>) {
        ClipObject* c = clipOfTransform(vm, self);
        return c ? colorValue(vm, vm.holderOf(*c->timeline)->colorTransform) : Value();
      },
      [](Machine& vm, const Value& self, std::span<const Value> args) {
        ClipObject* c = clipOfTransform(vm, self);
        if (!c || !isInstance(vm, arg(args, 0), "ColorTransform")) return Value();
        readColorTransform(vm, args[0], vm.holderOf(*c->timeline)->colorTransform);
        c->timeline->context().changed = true;
        return Value();
      });
  accessor(
      vm, proto, "concatenatedMatrix",
      [](Machine& vm, const Value& self, std::span<const Value>) {
        ClipObject* c = clipOfTransform(vm, self);
        return c ? matrixValue(vm, vm.concatenatedMatrix(*c->timeline)) : Value();
      },
      nullptr);
  accessor(
      vm, proto, "concatenatedColorTransform",
      [](Machine& vm, const Value& self, std::span<const Value>) {
        ClipObject* c = clipOfTransform(vm, self);
        if (!c) return Value();
        ColorTransform cx;
        for (TimelineInstance* t = c->timeline; t; t = t->parent()) cx = vm.holderOf(*t)->colorTransform * cx;
        return colorValue(vm, cx);
      },
      nullptr);
  accessor(
      vm, proto, "pixelBounds",
      [](Machine& vm, const Value& self, std::span<const Value>) {
        ClipObject* c = clipOfTransform(vm, self);
        if (!c) return Value();
        Rect r = vm.boundsIn(*c->timeline, nullptr);
        if (r.empty()) return makeRect(vm, {0, 0, 0, 0});
        return makeRect(
            vm, {std::floor(r.xMin / double(kTwipsPerPixel)), std::floor(r.yMin / double(kTwipsPerPixel)),
                 std::ceil(r.width() / double(kTwipsPerPixel)), std::ceil(r.height() / double(kTwipsPerPixel))});
      },
      nullptr);
}

}  // namespace

bool readMatrix(Machine& vm, const Value& value, Matrix& out) {
  if (!value.isObject()) return false;
  Affine m = affineOf(vm, value);
  out = {float(m.a), float(m.b), float(m.c), float(m.d), float(m.tx), float(m.ty)};
  return true;
}

bool readColorTransform(Machine& vm, const Value& value, ColorTransform& out) {
  if (!value.isObject()) return false;
  double f[8];
  for (size_t i = 0; i < 8; ++i) f[i] = number(vm, value, kColorFields[i]);
  out = {fixed(f[0], 256), fixed(f[1], 256), fixed(f[2], 256), fixed(f[3], 256),
         fixed(f[4], 1),   fixed(f[5], 1),   fixed(f[6], 1),   fixed(f[7], 1)};
  return true;
}

Value makeRectangle(Machine& vm, double x, double y, double width, double height) {
  return makeRect(vm, {x, y, width, height});
}

bool isGeomInstance(Machine& vm, const Value& value, const char* className) { return isInstance(vm, value, className); }

ClipObject* asClipValue(const Value& v) {
  Object* o = v.object();
  return o && o->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(o) : nullptr;
}

Matrix Machine::concatenatedMatrix(TimelineInstance& timeline) {
  Matrix m;
  for (TimelineInstance* t = &timeline; t; t = t->parent()) m = holderOf(*t)->matrix * m;
  return m;
}

void Machine::installGeomBuiltins() {
  Value flash = getOf(m_global, "flash", Value(m_global));
  Object* flashObject = flash.object();
  if (!flashObject) {
    flashObject = newObject();
    setHidden(m_global, "flash", Value(flashObject));
  }
  Object* geom = newObject();
  setHidden(flashObject, "geom", Value(geom));
  installPoint(*this, geom);
  installRectangle(*this, geom);
  installMatrix(*this, geom);
  installColorTransform(*this, geom);
  installTransform(*this, geom);
  Property& transform = m_clipProto->props.insert("transform");
  transform.flags = kDontEnum;
  transform.getter = newNative([](Machine& vm, const Value& self, std::span<const Value>) {
    ClipObject* clip = asClipValue(self);
    return clip && clip->timeline ? makeNew(vm, "Transform", {self}) : Value();
  });
  transform.setter = newNative([](Machine& vm, const Value& self, std::span<const Value> args) {
    // Another clip's transform: its matrix and colours are copied.
    ClipObject* target = asClipValue(self);
    ClipObject* source = isInstance(vm, arg(args, 0), "Transform") ? clipOfTransform(vm, args[0]) : nullptr;
    if (!target || !target->timeline || !source) return Value();
    DisplayObject* to = vm.holderOf(*target->timeline);
    DisplayObject* from = vm.holderOf(*source->timeline);
    to->matrix = from->matrix;
    to->colorTransform = from->colorTransform;
    target->timeline->context().changed = true;
    return Value();
  });
}

}  // namespace swf::avm
