// The clips' drawing methods (moveTo, lineTo, curveTo, fills and line
// styles), which build a shape the renderer draws under the clip's children,
// and what asks where a clip lies: getBounds, getRect, hitTest, _width and
// _height.

#include <cmath>

#include "platform/flash/avm.h"
#include "platform/flash/avmgeom.h"
#include "platform/flash/swfrender.h"

namespace swf::avm {

namespace {

constexpr int kMaxGradientStops = 15;
constexpr double kMaxLineWidth = 255;  // pixels, as the player limits a line style
// A gradient square is 32768 twips wide: 1638.4 pixels.
constexpr double kGradientSquare = 1638.4;
// What getBounds answers for a clip that shows nothing: the largest twips
// value, in pixels; in another clip's space it has passed through a matrix
// of single floats, which round it to 2^27 twips.
constexpr double kNoBounds = 6710886.35;
constexpr double kNoBoundsMapped = 6710886.4;

Value arg(std::span<const Value> args, size_t i) { return i < args.size() ? args[i] : Value(); }

float toTwips(Machine& vm, const Value& v) {
  double n = vm.toNumber(v) * kTwipsPerPixel;
  return std::isfinite(n) ? float(std::clamp(n, -1e9, 1e9)) : 0.0f;
}

ShapeDef& drawingOf(ClipObject& clip) {
  if (!clip.timeline->drawing) {
    clip.timeline->drawing = std::make_unique<ShapeDef>();
    clip.timeline->drawing->evenOdd = true;
    clip.pen = DrawingPen{};
  }
  return *clip.timeline->drawing;
}

void growBounds(ClipObject& clip, ShapeDef& shape, Point p) {
  float half = 0;
  if (clip.pen.line) half = float(shape.lines[clip.pen.line - 1].width) / 2;
  auto lo = [](float v) { return int32_t(std::floor(v)); };
  auto hi = [](float v) { return int32_t(std::ceil(v)); };
  Rect r{lo(p.x - half), hi(p.x + half), lo(p.y - half), hi(p.y + half)};
  Rect& b = shape.bounds;
  if (!clip.pen.hasBounds) {
    b = r;
    clip.pen.hasBounds = true;
    return;
  }
  b = {std::min(b.xMin, r.xMin), std::max(b.xMax, r.xMax), std::min(b.yMin, r.yMin), std::max(b.yMax, r.yMax)};
}

Edge straight(Point from, Point to) { return {from, {(from.x + to.x) / 2, (from.y + to.y) / 2}, to, false}; }

bool samePoint(Point a, Point b) { return a.x == b.x && a.y == b.y; }

// The open fill ends where it started: a closing edge is kept last while it
// is drawn, and stays when the fill or its subpath ends.
void replaceClosingEdge(ClipObject& clip, ShapeDef& shape) {
  DrawingPen& pen = clip.pen;
  std::vector<Edge>& edges = shape.fillEdges[pen.fill - 1];
  if (pen.closingEdge) edges.pop_back();
  pen.closingEdge = !samePoint(pen.at, pen.subpathStart);
  if (pen.closingEdge) edges.push_back(straight(pen.at, pen.subpathStart));
}

void addEdge(ClipObject& clip, const Edge& edge) {
  ShapeDef& shape = drawingOf(clip);
  DrawingPen& pen = clip.pen;
  if (pen.fill) {
    std::vector<Edge>& edges = shape.fillEdges[pen.fill - 1];
    if (pen.closingEdge) edges.pop_back();
    pen.closingEdge = false;
    edges.push_back(edge);
  }
  if (pen.line) {
    bool continues = pen.path >= 0 && !shape.paths[size_t(pen.path)].edges.empty() &&
                     samePoint(shape.paths[size_t(pen.path)].edges.back().to, edge.from);
    if (!continues) {
      ShapePath path;
      path.line = pen.line;
      path.layer = uint32_t(shape.layerFillStarts.size() - 1);
      shape.paths.push_back(std::move(path));
      pen.path = int(shape.paths.size() - 1);
    }
    shape.paths[size_t(pen.path)].edges.push_back(edge);
  }
  growBounds(clip, shape, edge.from);
  if (edge.curved) growBounds(clip, shape, edge.control);
  growBounds(clip, shape, edge.to);
  pen.at = edge.to;
  if (pen.fill) replaceClosingEdge(clip, shape);
  clip.timeline->context().changed = true;
}

// Ending a fill draws its closing edge, stroked with the line style in force.
void endFill(ClipObject& clip) {
  if (clip.pen.fill && clip.pen.closingEdge) addEdge(clip, straight(clip.pen.at, clip.pen.subpathStart));
  clip.pen.fill = 0;
  clip.pen.closingEdge = false;
}

// A new fill starts a new layer, so that it covers what was drawn before it.
void beginFill(ClipObject& clip, FillStyle fill) {
  ShapeDef& shape = drawingOf(clip);
  endFill(clip);
  if (fill.kind == FillKind::LinearGradient || fill.kind == FillKind::RadialGradient) {
    fill.ramp.resize(kRampSize);
    buildRamp(fill.stops, ColorTransform{}, fill.ramp.data(), fill.linearRgb);
  }
  if (!shape.fills.empty() || !shape.paths.empty()) shape.layerFillStarts.push_back(shape.fills.size());
  shape.fills.push_back(std::move(fill));
  shape.fillEdges.emplace_back();
  clip.pen.fill = uint32_t(shape.fills.size());
  clip.pen.subpathStart = clip.pen.at;
  clip.pen.path = -1;
}

Rgba colorOf(Machine& vm, const Value& rgb, const Value& alpha) {
  uint32_t c = toUint32(vm.toNumber(rgb));
  double a = alpha.isUndefined() ? 100 : vm.toNumber(alpha);
  if (std::isnan(a)) a = 0;
  return Rgba{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), uint8_t(std::lround(std::clamp(a, 0.0, 100.0) * 2.55))};
}

// The clip a method works on: `this`, or for a bare call from a script
// (no `this`) the clip the script runs on.
ClipObject* drawableClip(Machine& vm, const Value& self) {
  ClipObject* clip = self.isUndefined() ? vm.currentTarget() : asClipValue(self);
  return clip && clip->timeline ? clip : nullptr;
}

Value moveTo(Machine& vm, const Value& self, std::span<const Value> args) {
  ClipObject* clip = drawableClip(vm, self);
  if (!clip) return Value();
  drawingOf(*clip);
  clip->pen.at = {toTwips(vm, arg(args, 0)), toTwips(vm, arg(args, 1))};
  clip->pen.subpathStart = clip->pen.at;
  clip->pen.closingEdge = false;
  clip->pen.path = -1;
  return Value();
}

Value lineTo(Machine& vm, const Value& self, std::span<const Value> args) {
  ClipObject* clip = drawableClip(vm, self);
  if (!clip) return Value();
  drawingOf(*clip);
  addEdge(*clip, straight(clip->pen.at, {toTwips(vm, arg(args, 0)), toTwips(vm, arg(args, 1))}));
  return Value();
}

Value curveTo(Machine& vm, const Value& self, std::span<const Value> args) {
  ClipObject* clip = drawableClip(vm, self);
  if (!clip || args.size() < 4) return Value();
  drawingOf(*clip);
  Point control{toTwips(vm, args[0]), toTwips(vm, args[1])};
  Point to{toTwips(vm, args[2]), toTwips(vm, args[3])};
  addEdge(*clip, {clip->pen.at, control, to, true});
  return Value();
}

Value beginFillMethod(Machine& vm, const Value& self, std::span<const Value> args) {
  ClipObject* clip = drawableClip(vm, self);
  if (!clip) return Value();
  if (args.empty() || arg(args, 0).isUndefined()) {
    drawingOf(*clip);
    endFill(*clip);
    return Value();
  }
  FillStyle fill;
  fill.color = colorOf(vm, args[0], arg(args, 1));
  beginFill(*clip, std::move(fill));
  return Value();
}

Value endFillMethod(Machine& vm, const Value& self, std::span<const Value>) {
  if (ClipObject* clip = drawableClip(vm, self)) endFill(*clip);
  return Value();
}

// A name among a method's choices; anything else is the first choice.
template <typename T, size_t N>
T choiceOf(Machine& vm, const Value& v, const std::pair<const char*, T> (&choices)[N]) {
  std::string name = v.isUndefined() ? std::string() : vm.toString(v);
  for (auto [text, value] : choices)
    if (name == text) return value;
  return choices[0].second;
}

constexpr std::pair<const char*, LineCap> kCaps[] = {
    {"round", LineCap::Round}, {"none", LineCap::None}, {"square", LineCap::Square}};
constexpr std::pair<const char*, LineJoin> kJoins[] = {
    {"round", LineJoin::Round}, {"bevel", LineJoin::Bevel}, {"miter", LineJoin::Miter}};
// Which of the clip's scales a line's width follows.
struct ScaleMode {
  bool x = true, y = true;
};
constexpr std::pair<const char*, ScaleMode> kScaleModes[] = {
    {"normal", {true, true}}, {"none", {false, false}}, {"vertical", {false, true}}, {"horizontal", {true, false}}};
constexpr double kMinMiterLimit = 1, kMaxMiterLimit = 255, kDefaultMiterLimit = 3;

// lineStyle(thickness, rgb, alpha, pixelHinting, scaleMode, caps, joints, miterLimit)
Value lineStyle(Machine& vm, const Value& self, std::span<const Value> args) {
  ClipObject* clip = drawableClip(vm, self);
  if (!clip) return Value();
  ShapeDef& shape = drawingOf(*clip);
  clip->pen.path = -1;
  double thickness = vm.toNumber(arg(args, 0));
  if (arg(args, 0).isUndefined() || std::isnan(thickness)) {
    clip->pen.line = 0;
    return Value();
  }
  LineStyle style;
  style.width = uint16_t(std::lround(std::clamp(thickness, 0.0, kMaxLineWidth) * kTwipsPerPixel));
  style.color = colorOf(vm, arg(args, 1), arg(args, 2));
  ScaleMode scale = choiceOf(vm, arg(args, 4), kScaleModes);
  style.scalesX = scale.x, style.scalesY = scale.y;
  style.startCap = style.endCap = choiceOf(vm, arg(args, 5), kCaps);
  style.join = choiceOf(vm, arg(args, 6), kJoins);
  double limit = arg(args, 7).isUndefined() ? kDefaultMiterLimit : vm.toNumber(args[7]);
  style.miterLimit = float(std::isnan(limit) ? kDefaultMiterLimit : std::clamp(limit, kMinMiterLimit, kMaxMiterLimit));
  shape.lines.push_back(style);
  clip->pen.line = uint32_t(shape.lines.size());
  return Value();
}

Value clearMethod(Machine& vm, const Value& self, std::span<const Value>) {
  ClipObject* clip = drawableClip(vm, self);
  if (!clip) return Value();
  clip->timeline->drawing.reset();
  clip->pen = DrawingPen{};
  clip->timeline->context().changed = true;
  return Value();
}

// The gradient square to the clip's space: a Matrix, a {matrixType: "box"}
// description, or the older 3x3 form whose unit square is the gradient's.
Matrix gradientMatrix(Machine& vm, const Value& m) {
  auto field = [&](const char* name) { return vm.toNumber(vm.get(m, name)); };
  if (vm.toString(vm.get(m, "matrixType")) == "box") {
    double w = field("w"), h = field("h"), r = field("r");
    double cs = std::cos(r), sn = std::sin(r);
    double sx = w / kGradientSquare, sy = h / kGradientSquare;
    return {float(cs * sx),
            float(sn * sx),
            float(-sn * sy),
            float(cs * sy),
            float((field("x") + w / 2) * kTwipsPerPixel),
            float((field("y") + h / 2) * kTwipsPerPixel)};
  }
  if (!vm.get(m, "tx").isUndefined())
    return {float(field("a")),
            float(field("b")),
            float(field("c")),
            float(field("d")),
            float(field("tx") * kTwipsPerPixel),
            float(field("ty") * kTwipsPerPixel)};
  return {float(field("a") / kGradientSquare), float(field("b") / kGradientSquare), float(field("d") / kGradientSquare),
          float(field("e") / kGradientSquare), float(field("g") * kTwipsPerPixel),  float(field("h") * kTwipsPerPixel)};
}

std::vector<Value> itemsOf(const Value& v) {
  Object* o = v.object();
  return o && o->kind() == ObjectKind::Array ? static_cast<ArrayObject*>(o)->items : std::vector<Value>{};
}

// The gradient of (type, colors, alphas, ratios, matrix, spread, interpolation,
// focalPoint), as beginGradientFill and lineGradientStyle take it; none when
// the type is unknown, a list is empty or the matrix missing.
std::optional<FillStyle> gradientOf(Machine& vm, std::span<const Value> args) {
  std::string type = vm.toString(arg(args, 0));
  std::vector<Value> colors = itemsOf(arg(args, 1)), alphas = itemsOf(arg(args, 2)), ratios = itemsOf(arg(args, 3));
  size_t count = std::min({colors.size(), alphas.size(), ratios.size(), size_t(kMaxGradientStops)});
  if ((type != "linear" && type != "radial") || count == 0 || !arg(args, 4).isObject()) return std::nullopt;
  FillStyle fill;
  fill.kind = type == "linear" ? FillKind::LinearGradient : FillKind::RadialGradient;
  for (size_t i = 0; i < count; ++i) {
    double ratio = std::clamp(vm.toNumber(ratios[i]), 0.0, 255.0);
    fill.stops.push_back({uint8_t(std::isnan(ratio) ? 0 : ratio), colorOf(vm, colors[i], alphas[i])});
  }
  fill.matrix = gradientMatrix(vm, args[4]);
  std::string spread = vm.toString(arg(args, 5));
  fill.spread = spread == "reflect" ? Spread::Reflect : spread == "repeat" ? Spread::Repeat : Spread::Pad;
  fill.linearRgb = vm.toString(arg(args, 6)) == "linearRGB";
  double focal = vm.toNumber(arg(args, 7));
  fill.focal = std::isfinite(focal) ? float(std::clamp(focal, -1.0, 1.0)) : 0.0f;
  return fill;
}

Value beginGradientFill(Machine& vm, const Value& self, std::span<const Value> args) {
  ClipObject* clip = drawableClip(vm, self);
  if (!clip) return Value();
  std::optional<FillStyle> fill = gradientOf(vm, args);
  if (!fill) {
    drawingOf(*clip);
    endFill(*clip);
    return Value();
  }
  beginFill(*clip, std::move(*fill));
  return Value();
}

// The line style in force, painted with a gradient from here on; without a
// line style there is nothing to paint.
Value lineGradientStyle(Machine& vm, const Value& self, std::span<const Value> args) {
  ClipObject* clip = drawableClip(vm, self);
  if (!clip || !clip->pen.line) return Value();
  ShapeDef& shape = drawingOf(*clip);
  std::optional<FillStyle> fill = gradientOf(vm, args);
  LineStyle style = shape.lines[clip->pen.line - 1];
  if (fill) finishFill(*fill);
  style.fill = fill ? std::make_shared<const FillStyle>(std::move(*fill)) : nullptr;
  shape.lines.push_back(std::move(style));
  clip->pen.line = uint32_t(shape.lines.size());
  clip->pen.path = -1;
  return Value();
}

// beginBitmapFill(bitmap, matrix, repeat, smoothing): a BitmapData's pixels,
// shared, so that what a script later draws into it shows.
Value beginBitmapFill(Machine& vm, const Value& self, std::span<const Value> args) {
  ClipObject* clip = drawableClip(vm, self);
  if (!clip) return Value();
  std::shared_ptr<const BitmapPixels> pixels = bitmapPixelsOf(arg(args, 0));
  if (!pixels) {
    drawingOf(*clip);
    endFill(*clip);
    return Value();
  }
  FillStyle fill;
  fill.kind = FillKind::Bitmap;
  fill.pixels = std::move(pixels);
  Matrix placed;
  if (arg(args, 1).isObject() && !readMatrix(vm, args[1], placed)) placed = Matrix{};
  fill.matrix = Matrix::scaling(kTwipsPerPixel, kTwipsPerPixel) * placed;
  fill.bitmapRepeats = arg(args, 2).isUndefined() || vm.toBoolean(args[2]);
  fill.bitmapSmoothed = vm.toBoolean(arg(args, 3));
  beginFill(*clip, std::move(fill));
  return Value();
}

// -- where a clip lies ------------------------------------------------------------------------------

Value boundsObject(Machine& vm, const Rect& r, bool ownSpace) {
  Object* o = vm.newObject();
  bool empty = r.xMax < r.xMin || r.yMax < r.yMin || (r.xMin == 0 && r.xMax == 0 && r.yMin == 0 && r.yMax == 0);
  double none = ownSpace ? kNoBounds : kNoBoundsMapped;
  auto pixels = [&](int32_t twips) { return empty ? none : double(twips) / kTwipsPerPixel; };
  vm.set(o, "xMin", Value(pixels(r.xMin)));
  vm.set(o, "xMax", Value(pixels(r.xMax)));
  vm.set(o, "yMin", Value(pixels(r.yMin)));
  vm.set(o, "yMax", Value(pixels(r.yMax)));
  return Value(o);
}

Value getBounds(Machine& vm, const Value& self, std::span<const Value> args) {
  ClipObject* clip = drawableClip(vm, self);
  if (!clip) return Value();
  TimelineInstance* space = clip->timeline;
  if (!args.empty()) {
    ClipObject* target = asClipValue(args[0]);
    if (!target) target = vm.findClip(clip, vm.toString(args[0]));
    if (!target || !target->timeline) return Value();
    space = target->timeline;
  }
  return boundsObject(vm, vm.boundsIn(*clip->timeline, space), space == clip->timeline);
}

bool boxesMeet(const Rect& a, const Rect& b) {
  return !a.empty() && !b.empty() && a.xMin <= b.xMax && b.xMin <= a.xMax && a.yMin <= b.yMax && b.yMin <= a.yMax;
}

// Whether the clip's shapes cover a stage point: the clip drawn alone into
// one pixel centred on it.
bool shapeCovers(Machine& vm, TimelineInstance& timeline, Point stage) {
  Matrix toPixel = Matrix::translation(0.5f - stage.x, 0.5f - stage.y) *
                   Matrix::scaling(1.0f / kTwipsPerPixel, 1.0f / kTwipsPerPixel) * vm.concatenatedMatrix(timeline);
  uint32_t pixel = 0;
  MovieRenderer renderer;
  renderer.render({&pixel, 1, 1, 1}, vm.movie(), timeline, toPixel);
  return pixel >> 24 != 0;
}

Value hitTest(Machine& vm, const Value& self, std::span<const Value> args) {
  ClipObject* clip = drawableClip(vm, self);
  if (!clip || args.empty()) return Value(false);
  if (args.size() >= 2) {
    double x = vm.toNumber(args[0]), y = vm.toNumber(args[1]);
    if (!std::isfinite(x) || !std::isfinite(y)) return Value(false);
    if (vm.toBoolean(arg(args, 2))) return Value(shapeCovers(vm, *clip->timeline, {float(x), float(y)}));
    Rect r = vm.boundsIn(*clip->timeline, nullptr);
    double tx = x * kTwipsPerPixel, ty = y * kTwipsPerPixel;
    return Value(!r.empty() && tx >= r.xMin && tx <= r.xMax && ty >= r.yMin && ty <= r.yMax);
  }
  ClipObject* other = asClipValue(args[0]);
  if (!other) other = vm.findClip(clip, vm.toString(args[0]));
  if (!other || !other->timeline) return Value(false);
  return Value(boxesMeet(vm.boundsIn(*clip->timeline, nullptr), vm.boundsIn(*other->timeline, nullptr)));
}

// Moves a point object's x and y between a clip's space and the stage's;
// a point without both numbers is left as it is.
void mapPoint(Machine& vm, const Value& self, std::span<const Value> args, bool toStage) {
  ClipObject* clip = drawableClip(vm, self);
  Object* point = arg(args, 0).object();
  if (!clip || !point) return;
  Value x = vm.getOf(point, "x", args[0]), y = vm.getOf(point, "y", args[0]);
  if (x.isNullish() || y.isNullish()) return;
  Matrix m = vm.concatenatedMatrix(*clip->timeline);
  if (!toStage && !Matrix(m).invert(m)) return;
  double px = vm.toNumber(x) * kTwipsPerPixel, py = vm.toNumber(y) * kTwipsPerPixel;
  double outX = double(m.a) * px + double(m.c) * py + double(m.tx);
  double outY = double(m.b) * px + double(m.d) * py + double(m.ty);
  vm.set(point, "x", Value(std::round(outX) / kTwipsPerPixel));
  vm.set(point, "y", Value(std::round(outY) / kTwipsPerPixel));
}

Value localToGlobal(Machine& vm, const Value& self, std::span<const Value> args) {
  mapPoint(vm, self, args, true);
  return Value();
}

Value globalToLocal(Machine& vm, const Value& self, std::span<const Value> args) {
  mapPoint(vm, self, args, false);
  return Value();
}

}  // namespace

ClipObject* Machine::currentTarget() { return m_frames.empty() ? nullptr : m_frames.back()->target; }

Rect Machine::boundsIn(TimelineInstance& timeline, TimelineInstance* space) {
  Matrix toSpace = concatenatedMatrix(timeline);
  if (space) {
    Matrix inverse;
    if (!concatenatedMatrix(*space).invert(inverse)) return Rect{};
    toSpace = inverse * toSpace;
  }
  return contentBounds(m_movie, timeline, toSpace);
}

double Machine::clipExtent(ClipObject* clip, bool height) {
  TimelineInstance* t = clip->timeline;
  if (!t) return 0;
  Matrix m = holderOf(*t)->matrix;
  Rect r = contentBounds(m_movie, *t, m);
  return double(height ? r.height() : r.width()) / kTwipsPerPixel;
}

void Machine::setClipExtent(ClipObject* clip, bool height, double n) {
  TimelineInstance* t = clip->timeline;
  if (!t || !std::isfinite(n) || n < 0) return;
  Rect r = contentBounds(m_movie, *t, Matrix{});
  double own = double(height ? r.height() : r.width()) / kTwipsPerPixel;
  if (own <= 0) return;
  // The scale that gives the asked size; rotation and skew stay as they are.
  setClipProperty(clip, height ? 3 : 2, Value(n / own * 100));
}

void Machine::installDrawingBuiltins() {
  constexpr std::pair<const char*, NativeFn> kMethods[] = {
      {"moveTo", moveTo},
      {"lineTo", lineTo},
      {"curveTo", curveTo},
      {"beginFill", beginFillMethod},
      {"beginGradientFill", beginGradientFill},
      {"beginBitmapFill", beginBitmapFill},
      {"lineGradientStyle", lineGradientStyle},
      {"endFill", endFillMethod},
      {"lineStyle", lineStyle},
      {"clear", clearMethod},
      {"getBounds", getBounds},
      {"getRect", getBounds},
      {"hitTest", hitTest},
      {"localToGlobal", localToGlobal},
      {"globalToLocal", globalToLocal},
  };
  for (auto [name, fn] : kMethods) method(m_clipProto, name, fn);
}

}  // namespace swf::avm
