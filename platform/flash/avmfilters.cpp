// flash.filters for scripts: each filter an object whose fields are
// accessors on its class's prototype, which take what they are given the
// way the player does (clamped, rounded, checked), and MovieClip.filters,
// which reads a clip's filters as new objects and hands what it is given
// to the renderer's filters.

#include <cmath>
#include <numbers>

#include "platform/flash/avmgeom.h"

namespace swf::avm {

namespace {

// What a field takes, and how it keeps it.
enum class Kind : uint8_t {
  Number,      // any number
  Blur,        // 0 to 255
  Strength,    // 0 to 255
  Scale,       // -65535 to 65535
  Quality,     // a whole number, 0 to 15
  MatrixSide,  // a whole number, 0 to 15; the kernel grows to hold it
  Whole,       // a whole number
  Angle,       // degrees, kept as radians
  Color,       // 0xRRGGBB
  Alpha,       // 0 to 1 in 255ths
  Boolean,
  BevelType,  // "inner", "outer" or "full"
  MapMode,    // "wrap", "clamp", "ignore" or "color"
  ColorMatrix,
  Kernel,
  MapBitmap,
  MapPoint,
  Colors,
  Alphas,
  Ratios,
};

struct Field {
  const char* name;
  Kind kind;
  double initial = 0;
};

// A filter class: its fields in the constructor's order, and the order a
// for-in lists them (the player lists them so).
struct FilterClass {
  const char* name;
  std::vector<Field> fields;
  std::vector<const char*> listed;
};

// The player's default angle: 45 degrees, as its radians are written down.
constexpr double kDefaultAngle = 0.785398163;
constexpr size_t kMaxGradientStops = 16;
constexpr size_t kColorMatrixSize = 20;

const std::vector<FilterClass>& filterClasses() {
  using enum Kind;
  static const std::vector<FilterClass> kClasses = {
      {"BitmapFilter", {}, {}},
      {"BlurFilter", {{"blurX", Blur, 4}, {"blurY", Blur, 4}, {"quality", Quality, 1}}, {"blurX", "blurY", "quality"}},
      {"DropShadowFilter",
       {{"distance", Number, 4},
        {"angle", Angle, kDefaultAngle},
        {"color", Color, 0},
        {"alpha", Alpha, 1},
        {"blurX", Blur, 4},
        {"blurY", Blur, 4},
        {"strength", Strength, 1},
        {"quality", Quality, 1},
        {"inner", Boolean},
        {"knockout", Boolean},
        {"hideObject", Boolean}},
       {"distance", "angle", "color", "alpha", "quality", "inner", "knockout", "blurX", "blurY", "strength",
        "hideObject"}},
      {"GlowFilter",
       {{"color", Color, 0xFF0000},
        {"alpha", Alpha, 1},
        {"blurX", Blur, 6},
        {"blurY", Blur, 6},
        {"strength", Strength, 2},
        {"quality", Quality, 1},
        {"inner", Boolean},
        {"knockout", Boolean}},
       {"color", "alpha", "quality", "inner", "knockout", "blurX", "blurY", "strength"}},
      {"BevelFilter",
       {{"distance", Number, 4},
        {"angle", Angle, kDefaultAngle},
        {"highlightColor", Color, 0xFFFFFF},
        {"highlightAlpha", Alpha, 1},
        {"shadowColor", Color, 0},
        {"shadowAlpha", Alpha, 1},
        {"blurX", Blur, 4},
        {"blurY", Blur, 4},
        {"strength", Strength, 1},
        {"quality", Quality, 1},
        {"type", BevelType},
        {"knockout", Boolean}},
       {"distance", "angle", "highlightColor", "highlightAlpha", "shadowColor", "shadowAlpha", "quality", "strength",
        "knockout", "blurX", "blurY", "type"}},
      {"GradientGlowFilter",
       {{"distance", Number, 4},
        {"angle", Angle, kDefaultAngle},
        {"colors", Colors},
        {"alphas", Alphas},
        {"ratios", Ratios},
        {"blurX", Blur, 4},
        {"blurY", Blur, 4},
        {"strength", Strength, 1},
        {"quality", Quality, 1},
        {"type", BevelType},
        {"knockout", Boolean}},
       {"distance", "angle", "colors", "alphas", "ratios", "blurX", "blurY", "quality", "strength", "knockout",
        "type"}},
      {"GradientBevelFilter",
       {{"distance", Number, 4},
        {"angle", Angle, kDefaultAngle},
        {"colors", Colors},
        {"alphas", Alphas},
        {"ratios", Ratios},
        {"blurX", Blur, 4},
        {"blurY", Blur, 4},
        {"strength", Strength, 1},
        {"quality", Quality, 1},
        {"type", BevelType},
        {"knockout", Boolean}},
       {"distance", "angle", "colors", "alphas", "ratios", "blurX", "blurY", "quality", "strength", "knockout",
        "type"}},
      {"ColorMatrixFilter", {{"matrix", ColorMatrix}}, {"matrix"}},
      {"ConvolutionFilter",
       {{"matrixX", MatrixSide},
        {"matrixY", MatrixSide},
        {"matrix", Kernel},
        {"divisor", Number, 1},
        {"bias", Number, 0},
        {"preserveAlpha", Boolean, 1},
        {"clamp", Boolean, 1},
        {"color", Color, 0},
        {"alpha", Alpha, 0}},
       {"matrixX", "matrixY", "matrix", "divisor", "bias", "preserveAlpha", "clamp", "color", "alpha"}},
      {"DisplacementMapFilter",
       {{"mapBitmap", MapBitmap},
        {"mapPoint", MapPoint},
        {"componentX", Whole},
        {"componentY", Whole},
        {"scaleX", Scale},
        {"scaleY", Scale},
        {"mode", MapMode},
        {"color", Color, 0},
        {"alpha", Alpha, 0}},
       {"mapBitmap", "mapPoint", "componentX", "componentY", "scaleX", "scaleY", "mode", "color", "alpha"}},
  };
  return kClasses;
}

const FilterClass& classNamed(std::string_view name) {
  for (const FilterClass& c : filterClasses())
    if (c.name == name) return c;
  return filterClasses().front();
}

// A filter's state: plain fields by name, the lists beside them. The
// gradient lists keep room for every stop; `stops` says how many count.
class FilterObject : public Object {
 public:
  using Object::Object;
  const FilterClass* filterClass = nullptr;
  std::vector<std::pair<std::string, Value>> fields;
  std::vector<double> matrix;
  std::array<uint32_t, kMaxGradientStops> colors{};
  std::array<double, kMaxGradientStops> alphas{};
  std::array<double, kMaxGradientStops> ratios{};
  size_t stops = 0;
  Value mapBitmap;
  int mapX = 0, mapY = 0;

  Value field(std::string_view name) const {
    for (const auto& [n, v] : fields)
      if (n == name) return v;
    return Value();
  }
  void setField(std::string_view name, const Value& v) {
    for (auto& [n, old] : fields)
      if (n == name) {
        old = v;
        return;
      }
    fields.emplace_back(std::string(name), v);
  }
  void traceRefs(std::vector<Object*>& out) override {
    Object::traceRefs(out);
    if (mapBitmap.isObject()) out.push_back(mapBitmap.obj);
    for (const auto& [n, v] : fields)
      if (v.isObject()) out.push_back(v.obj);
  }
};

FilterObject* asFilter(const Value& v) { return dynamic_cast<FilterObject*>(v.object()); }

Value arg(std::span<const Value> args, size_t i) { return i < args.size() ? args[i] : Value(); }

double clampTo(double v, double low, double high) { return std::isnan(v) ? low : std::clamp(v, low, high); }

// An alpha as the player keeps it, in 255ths rounded down.
double alphaOf(double v) { return std::floor(clampTo(v, 0, 1) * 255) / 255; }

// How many items an array-like value holds: its length, 0 without one.
size_t lengthOf(Machine& vm, const Value& v) {
  if (!v.isObject() && !v.isString()) return 0;
  double n = vm.toNumber(vm.get(v, "length"));
  return std::isfinite(n) && n > 0 ? size_t(std::min(n, 1e6)) : 0;
}

Value item(Machine& vm, const Value& list, size_t i) { return vm.get(list, std::to_string(i)); }

// A matrix entry: a number, a boolean or a numeric text; nothing else is one.
double entryOf(Machine& vm, const Value& v) {
  if (v.isNullish()) return std::nan("");
  return vm.toNumber(v);
}

Value numbers(Machine& vm, auto begin, auto end) {
  std::vector<Value> items;
  for (auto it = begin; it != end; ++it) items.push_back(Value(double(*it)));
  return Value(static_cast<Object*>(vm.newArray(std::move(items))));
}

Value newPoint(Machine& vm, double x, double y) {
  Value geom = vm.get(vm.get(Value(vm.global()), "flash"), "geom");
  std::vector<Value> args{Value(x), Value(y)};
  return vm.construct(vm.get(geom, "Point"), args);
}

// A convolution kernel grows, with zeros, to hold matrixX by matrixY entries.
void growKernel(FilterObject& f) {
  size_t side = size_t(f.field("matrixX").num) * size_t(f.field("matrixY").num);
  if (f.matrix.size() < side) f.matrix.resize(side, 0.0);
}

// Reads a text field against its choices; anything else is the fallback.
Value choice(Machine& vm, const Value& v, std::initializer_list<const char*> choices, const char* fallback) {
  std::string text = vm.toString(v);
  for (const char* c : choices)
    if (text == c) return Value(c);
  return Value(fallback);
}

// Sets one field of `f` as the player takes it.
void setField(Machine& vm, FilterObject& f, const Field& field, const Value& v) {
  double n = 0;
  switch (field.kind) {
    case Kind::Number:
      f.setField(field.name, Value(vm.toNumber(v)));
      return;
    case Kind::Blur:
    case Kind::Strength:
      f.setField(field.name, Value(clampTo(vm.toNumber(v), 0, 255)));
      return;
    case Kind::Scale:
      f.setField(field.name, Value(clampTo(vm.toNumber(v), -65535, 65535)));
      return;
    case Kind::Quality:
      f.setField(field.name, Value(clampTo(toInteger(vm.toNumber(v)), 0, 15)));
      return;
    case Kind::MatrixSide:
      f.setField(field.name, Value(clampTo(toInteger(vm.toNumber(v)), 0, 15)));
      growKernel(f);
      return;
    case Kind::Whole:
      f.setField(field.name, Value(double(toInt32(vm.toNumber(v)))));
      return;
    case Kind::Angle:
      n = std::fmod(vm.toNumber(v), 360);
      f.setField(field.name, Value(std::isfinite(n) ? n * std::numbers::pi / 180 : 0.0));
      return;
    case Kind::Color:
      f.setField(field.name, Value(double(toUint32(vm.toNumber(v)) & 0xFFFFFF)));
      return;
    case Kind::Alpha:
      f.setField(field.name, Value(alphaOf(vm.toNumber(v))));
      return;
    case Kind::Boolean:
      f.setField(field.name, Value(vm.toBoolean(v)));
      return;
    case Kind::BevelType:
      f.setField(field.name, choice(vm, v, {"inner", "outer", "full"}, "full"));
      return;
    case Kind::MapMode:
      f.setField(field.name, choice(vm, v, {"wrap", "clamp", "ignore", "color"}, "wrap"));
      return;
    case Kind::ColorMatrix:
      // Twenty entries read from whatever is given; nothing given changes nothing.
      if (v.isNullish()) return;
      f.matrix.assign(kColorMatrixSize, 0.0);
      for (size_t i = 0; i < kColorMatrixSize; ++i) f.matrix[i] = entryOf(vm, item(vm, v, i));
      return;
    case Kind::Kernel:
      if (v.isNullish()) return;
      f.matrix.resize(lengthOf(vm, v));
      for (size_t i = 0; i < f.matrix.size(); ++i) f.matrix[i] = entryOf(vm, item(vm, v, i));
      growKernel(f);
      return;
    case Kind::MapBitmap:
      if (v.object() &&
          vm.instanceOf(v.obj, vm.get(vm.get(vm.get(Value(vm.global()), "flash"), "display"), "BitmapData").object()))
        f.mapBitmap = v;
      return;
    case Kind::MapPoint: {
      // Only something with both coordinates is a point; anything else is the origin.
      Value x = v.isObject() ? vm.get(v, "x") : Value(), y = v.isObject() ? vm.get(v, "y") : Value();
      bool point = !x.isUndefined() && !y.isUndefined();
      f.mapX = point ? toInt32(vm.toNumber(x)) : 0;
      f.mapY = point ? toInt32(vm.toNumber(y)) : 0;
      return;
    }
    case Kind::Colors:
      if (v.isNullish()) return;
      f.stops = std::min(lengthOf(vm, v), kMaxGradientStops);
      for (size_t i = 0; i < f.stops; ++i) f.colors[i] = toUint32(vm.toNumber(item(vm, v, i))) & 0xFFFFFF;
      return;
    case Kind::Alphas:
      // Rounded to the nearest 255th; a stop the list does not reach is opaque.
      if (v.isNullish()) return;
      for (size_t i = 0; i < f.stops; ++i) {
        double a = vm.toNumber(item(vm, v, i));
        f.alphas[i] = std::isnan(a) ? 1 : std::round(std::clamp(a, 0.0, 1.0) * 255) / 255;
      }
      return;
    case Kind::Ratios:
      // A shorter list drops the stops past its end.
      if (v.isNullish()) return;
      f.stops = std::min(f.stops, lengthOf(vm, v));
      for (size_t i = 0; i < f.stops; ++i) f.ratios[i] = clampTo(toInteger(vm.toNumber(item(vm, v, i))), 0, 255);
      return;
  }
}

Value getField(Machine& vm, const FilterObject& f, const Field& field) {
  switch (field.kind) {
    case Kind::Angle:
      return Value(f.field(field.name).num * 180 / std::numbers::pi);
    case Kind::ColorMatrix:
    case Kind::Kernel:
      return numbers(vm, f.matrix.begin(), f.matrix.end());
    case Kind::MapBitmap:
      return f.mapBitmap;
    case Kind::MapPoint:
      return newPoint(vm, f.mapX, f.mapY);
    case Kind::Colors:
      return numbers(vm, f.colors.begin(), f.colors.begin() + std::ptrdiff_t(f.stops));
    case Kind::Alphas:
      return numbers(vm, f.alphas.begin(), f.alphas.begin() + std::ptrdiff_t(f.stops));
    case Kind::Ratios:
      return numbers(vm, f.ratios.begin(), f.ratios.begin() + std::ptrdiff_t(f.stops));
    default:
      return f.field(field.name);
  }
}

// The field's value before anything is given: what the class starts with.
void setInitial(Machine& vm, FilterObject& f, const Field& field) {
  switch (field.kind) {
    case Kind::Angle:
      f.setField(field.name, Value(field.initial));
      return;
    case Kind::ColorMatrix: {
      f.matrix.assign(kColorMatrixSize, 0.0);
      for (size_t i : {0, 6, 12, 18}) f.matrix[i] = 1;
      return;
    }
    case Kind::BevelType:
      f.setField(field.name, Value("inner"));
      return;
    case Kind::MapMode:
      f.setField(field.name, Value("wrap"));
      return;
    case Kind::Boolean:
      f.setField(field.name, Value(field.initial != 0));
      return;
    case Kind::Kernel:
    case Kind::MapBitmap:
    case Kind::MapPoint:
    case Kind::Colors:
    case Kind::Alphas:
    case Kind::Ratios:
      return;
    default:
      setField(vm, f, field, Value(field.initial));
  }
}

FilterObject* makeFilter(Machine& vm, const FilterClass& c) {
  Value ctor = vm.get(vm.get(vm.get(Value(vm.global()), "flash"), "filters"), c.name);
  auto* f = vm.heap().make<FilterObject>(vm.get(ctor, "prototype").object());
  f->filterClass = &c;
  for (const Field& field : c.fields) setInitial(vm, *f, field);
  return f;
}

template <size_t kIndex>
Value constructFilter(Machine& vm, const Value& self, std::span<const Value> args) {
  const FilterClass& c = filterClasses()[kIndex];
  Object* proto = self.object() ? self.obj->proto : nullptr;
  FilterObject* f = makeFilter(vm, c);
  if (proto) f->proto = proto;
  for (size_t i = 0; i < c.fields.size() && i < args.size(); ++i)
    if (!args[i].isUndefined()) setField(vm, *f, c.fields[i], args[i]);
  return Value(static_cast<Object*>(f));
}

Value cloneFilter(Machine& vm, const Value& self, std::span<const Value>) {
  FilterObject* f = asFilter(self);
  if (!f || f->filterClass->fields.empty()) return Value();
  auto* copy = vm.heap().make<FilterObject>(f->proto);
  copy->filterClass = f->filterClass;
  copy->fields = f->fields;
  copy->matrix = f->matrix;
  copy->colors = f->colors;
  copy->alphas = f->alphas;
  copy->ratios = f->ratios;
  copy->stops = f->stops;
  copy->mapBitmap = f->mapBitmap;
  copy->mapX = f->mapX;
  copy->mapY = f->mapY;
  return Value(static_cast<Object*>(copy));
}

// -- the renderer's filters -----------------------------------------------------------

double number(const FilterObject& f, const char* name) { return f.field(name).num; }
bool flag(const FilterObject& f, const char* name) { return f.field(name).boolean; }

Rgba colorOf(const FilterObject& f, const char* color, const char* alpha) {
  auto rgb = uint32_t(number(f, color));
  return {uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb), uint8_t(std::lround(number(f, alpha) * 255))};
}

// The fields shadows, glows, bevels and gradient filters share.
void readShared(const FilterObject& f, Filter& out) {
  out.blurX = float(number(f, "blurX"));
  out.blurY = float(number(f, "blurY"));
  out.passes = int(number(f, "quality"));
  out.strength = float(number(f, "strength"));
  out.knockout = flag(f, "knockout");
}

void readAngled(const FilterObject& f, Filter& out) {
  out.angle = number(f, "angle");
  out.distance = float(number(f, "distance"));
  const Value type = f.field("type");
  if (type.isString()) {
    out.inner = type.text() == "inner";
    out.onTop = type.text() == "full";
  }
}

std::optional<Filter> engineFilter(const FilterObject& f) {
  std::string_view name = f.filterClass->name;
  Filter out;
  if (name == "BlurFilter") {
    out.kind = Filter::Kind::Blur;
    out.blurX = float(number(f, "blurX"));
    out.blurY = float(number(f, "blurY"));
    out.passes = int(number(f, "quality"));
  } else if (name == "DropShadowFilter" || name == "GlowFilter") {
    out.kind = Filter::Kind::Shadow;
    readShared(f, out);
    out.glow = name == "GlowFilter";
    if (!out.glow) {
      out.angle = number(f, "angle");
      out.distance = float(number(f, "distance"));
      out.hideObject = flag(f, "hideObject");
    }
    out.color = colorOf(f, "color", "alpha");
    out.inner = flag(f, "inner");
  } else if (name == "BevelFilter") {
    out.kind = Filter::Kind::Bevel;
    readShared(f, out);
    readAngled(f, out);
    out.color = colorOf(f, "highlightColor", "highlightAlpha");
    out.shadowColor = colorOf(f, "shadowColor", "shadowAlpha");
  } else if (name == "GradientGlowFilter" || name == "GradientBevelFilter") {
    out.kind = name == "GradientGlowFilter" ? Filter::Kind::GradientGlow : Filter::Kind::GradientBevel;
    readShared(f, out);
    readAngled(f, out);
    for (size_t i = 0; i < f.stops; ++i) {
      uint32_t c = f.colors[i];
      Rgba color{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), uint8_t(std::lround(f.alphas[i] * 255))};
      out.gradient.emplace_back(color, uint8_t(f.ratios[i]));
    }
  } else if (name == "ColorMatrixFilter") {
    out.kind = Filter::Kind::ColorMatrix;
    for (size_t i = 0; i < kColorMatrixSize; ++i) {
      if (!std::isfinite(f.matrix[i])) return std::nullopt;
      out.matrix[i] = float(f.matrix[i]);
    }
  } else if (name == "ConvolutionFilter") {
    out.kind = Filter::Kind::Convolution;
    out.matrixX = int(number(f, "matrixX"));
    out.matrixY = int(number(f, "matrixY"));
    for (double v : f.matrix) out.kernel.push_back(float(v));
    out.divisor = float(number(f, "divisor"));
    out.bias = float(number(f, "bias"));
    out.preserveAlpha = flag(f, "preserveAlpha");
    out.clamp = flag(f, "clamp");
    out.color = colorOf(f, "color", "alpha");
  } else {
    return std::nullopt;
  }
  return out;
}

void setNumber(FilterObject& f, const char* name, double v) { f.setField(name, Value(v)); }
void setColor(FilterObject& f, const char* color, const char* alpha, Rgba c) {
  setNumber(f, color, double(uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b));
  setNumber(f, alpha, c.a / 255.0);
}

void writeShared(const Filter& in, FilterObject& f) {
  setNumber(f, "blurX", in.blurX);
  setNumber(f, "blurY", in.blurY);
  setNumber(f, "quality", in.passes);
  setNumber(f, "strength", in.strength);
  f.setField("knockout", Value(in.knockout));
}

void writeAngled(const Filter& in, FilterObject& f) {
  setNumber(f, "angle", in.angle);
  setNumber(f, "distance", in.distance);
  f.setField("type", Value(in.onTop ? "full" : in.inner ? "inner" : "outer"));
}

// A renderer's filter as a new script object of its class.
Value scriptFilter(Machine& vm, const Filter& in) {
  FilterObject* f = nullptr;
  switch (in.kind) {
    case Filter::Kind::Blur:
      f = makeFilter(vm, classNamed("BlurFilter"));
      setNumber(*f, "blurX", in.blurX);
      setNumber(*f, "blurY", in.blurY);
      setNumber(*f, "quality", in.passes);
      break;
    case Filter::Kind::Shadow:
      f = makeFilter(vm, classNamed(in.glow ? "GlowFilter" : "DropShadowFilter"));
      writeShared(in, *f);
      if (!in.glow) {
        setNumber(*f, "angle", in.angle);
        setNumber(*f, "distance", in.distance);
        f->setField("hideObject", Value(in.hideObject));
      }
      setColor(*f, "color", "alpha", in.color);
      f->setField("inner", Value(in.inner));
      break;
    case Filter::Kind::Bevel:
      f = makeFilter(vm, classNamed("BevelFilter"));
      writeShared(in, *f);
      writeAngled(in, *f);
      setColor(*f, "highlightColor", "highlightAlpha", in.color);
      setColor(*f, "shadowColor", "shadowAlpha", in.shadowColor);
      break;
    case Filter::Kind::GradientGlow:
    case Filter::Kind::GradientBevel:
      f = makeFilter(vm,
                     classNamed(in.kind == Filter::Kind::GradientGlow ? "GradientGlowFilter" : "GradientBevelFilter"));
      writeShared(in, *f);
      writeAngled(in, *f);
      f->stops = std::min(in.gradient.size(), kMaxGradientStops);
      for (size_t i = 0; i < f->stops; ++i) {
        auto [c, ratio] = in.gradient[i];
        f->colors[i] = uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
        f->alphas[i] = c.a / 255.0;
        f->ratios[i] = ratio;
      }
      break;
    case Filter::Kind::ColorMatrix:
      f = makeFilter(vm, classNamed("ColorMatrixFilter"));
      f->matrix.assign(in.matrix.begin(), in.matrix.end());
      break;
    case Filter::Kind::Convolution:
      f = makeFilter(vm, classNamed("ConvolutionFilter"));
      setNumber(*f, "matrixX", in.matrixX);
      setNumber(*f, "matrixY", in.matrixY);
      f->matrix.assign(in.kernel.begin(), in.kernel.end());
      setNumber(*f, "divisor", in.divisor);
      setNumber(*f, "bias", in.bias);
      f->setField("preserveAlpha", Value(in.preserveAlpha));
      f->setField("clamp", Value(in.clamp));
      setColor(*f, "color", "alpha", in.color);
      break;
    case Filter::Kind::None:
      return Value();
  }
  return Value(static_cast<Object*>(f));
}

ClipObject* placedClip(const Value& self) {
  ClipObject* clip = asClipValue(self);
  return clip && clip->timeline ? clip : nullptr;
}

Value getFilters(Machine& vm, const Value& self, std::span<const Value>) {
  ClipObject* clip = placedClip(self);
  if (!clip) return Value();
  std::vector<Value> items;
  if (const Filters& filters = vm.holderOf(*clip->timeline)->filters)
    for (const Filter& f : *filters)
      if (Value v = scriptFilter(vm, f); v.isObject()) items.push_back(v);
  return Value(static_cast<Object*>(vm.newArray(std::move(items))));
}

// The filters a clip is given are copied: changing a filter object later
// changes nothing until the list is given again.
Value setFilters(Machine& vm, const Value& self, std::span<const Value> args) {
  ClipObject* clip = placedClip(self);
  Value list = arg(args, 0);
  if (!clip || !list.isObject()) return Value();
  auto filters = std::make_shared<std::vector<Filter>>();
  for (size_t i = 0, n = lengthOf(vm, list); i < n; ++i)
    if (FilterObject* f = asFilter(item(vm, list, i)))
      if (std::optional<Filter> out = engineFilter(*f)) filters->push_back(std::move(*out));
  vm.holderOf(*clip->timeline)->filters = filters->empty() ? nullptr : Filters(std::move(filters));
  clip->timeline->context().changed = true;
  return Value();
}

// Every field name of every class, so that each has its own accessor functions.
constexpr const char* kFieldNames[] = {
    "distance",    "angle",      "color",  "alpha",         "highlightColor", "highlightAlpha", "shadowColor",
    "shadowAlpha", "blurX",      "blurY",  "strength",      "quality",        "inner",          "knockout",
    "hideObject",  "type",       "colors", "alphas",        "ratios",         "matrix",         "matrixX",
    "matrixY",     "divisor",    "bias",   "preserveAlpha", "clamp",          "mapBitmap",      "mapPoint",
    "componentX",  "componentY", "scaleX", "scaleY",        "mode",
};

const Field* fieldOf(const FilterObject& f, std::string_view name) {
  for (const Field& field : f.filterClass->fields)
    if (name == field.name) return &field;
  return nullptr;
}

template <size_t kName>
Value getAccessor(Machine& vm, const Value& self, std::span<const Value>) {
  FilterObject* f = asFilter(self);
  const Field* field = f ? fieldOf(*f, kFieldNames[kName]) : nullptr;
  return field ? getField(vm, *f, *field) : Value();
}

template <size_t kName>
Value setAccessor(Machine& vm, const Value& self, std::span<const Value> args) {
  FilterObject* f = asFilter(self);
  if (const Field* field = f ? fieldOf(*f, kFieldNames[kName]) : nullptr) setField(vm, *f, *field, arg(args, 0));
  return Value();
}

struct Accessors {
  NativeFn get;
  NativeFn set;
};

template <size_t... kName>
constexpr std::array<Accessors, sizeof...(kName)> accessorTable(std::index_sequence<kName...>) {
  return {Accessors{getAccessor<kName>, setAccessor<kName>}...};
}

constexpr auto kAccessors = accessorTable(std::make_index_sequence<std::size(kFieldNames)>{});

Accessors accessorsOf(std::string_view name) {
  for (size_t i = 0; i < std::size(kFieldNames); ++i)
    if (name == kFieldNames[i]) return kAccessors[i];
  return {nullptr, nullptr};
}

// Each field an accessor on the prototype, enumerable, in the order a
// for-in lists them, clone last.
void defineFields(Machine& vm, Object* proto, const FilterClass& c) {
  for (const char* name : c.listed) {
    Accessors a = accessorsOf(name);
    Property& p = proto->props.insert(name);
    p.flags = 0;
    p.getter = vm.newNative(a.get);
    p.setter = vm.newNative(a.set);
  }
  vm.method(proto, "clone", cloneFilter, 0);
}

template <size_t... kIndex>
void defineClasses(Machine& vm, Object* package, std::index_sequence<kIndex...>) {
  (
      [&] {
        const FilterClass& c = filterClasses()[kIndex];
        Object* proto = vm.newObject();
        FunctionObject* ctor = vm.newNative([](Machine&, const Value&, std::span<const Value>) { return Value(); },
                                            constructFilter<kIndex>);
        vm.setHidden(ctor, "prototype", Value(proto));
        vm.setHidden(proto, "constructor", Value(static_cast<Object*>(ctor)));
        defineFields(vm, proto, c);
        vm.setHidden(package, c.name, Value(static_cast<Object*>(ctor)));
      }(),
      ...);
}

}  // namespace

std::optional<Filter> rendererFilter(const Value& value) {
  FilterObject* f = asFilter(value);
  if (!f || f->filterClass->fields.empty()) return std::nullopt;
  std::optional<Filter> out = engineFilter(*f);
  if (out && !changesPicture({*out})) return std::nullopt;
  return out;
}

void Machine::installFilterBuiltins() {
  Value flash = getOf(m_global, "flash", Value(m_global));
  Object* package = newObject();
  setHidden(flash.object(), "filters", Value(package));
  defineClasses(*this, package, std::make_index_sequence<10>{});
  Property& filters = m_clipProto->props.insert("filters");
  filters.flags = kDontEnum;
  filters.getter = newNative(getFilters);
  filters.setter = newNative(setFilters);
}

}  // namespace swf::avm
