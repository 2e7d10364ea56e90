// flash.display.BitmapData for scripts: a picture of pixels a movie makes,
// reads and changes, draws clips into, and shows in a clip with
// attachBitmap. Its pixels are kept premultiplied, as the renderer takes
// them, so a clip showing it shares them and sees every change.

#include <cmath>
#include <array>
#include <deque>
#include <optional>

#include "platform/flash/avmgeom.h"
#include "platform/flash/swfnoise.h"
#include "platform/flash/swfrender.h"

namespace swf::avm {

namespace {

constexpr int kMaxSide = 2880;  // the player's largest picture side
constexpr uint32_t kOpaqueWhite = 0xFFFFFFFF;
// Octaves past this change no channel by a level, and each costs a pass over the picture.
constexpr int kMaxOctaves = 16;

// Straight colour to premultiplied, as the renderer takes it.
uint32_t premultiplied(uint32_t argb) {
  return premultiply(Rgba{uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb), uint8_t(argb >> 24)});
}

// Back to straight colour as the player reads its pixels: each channel times
// the alpha's reciprocal in 8.8 fixed point, so that a colour set with little
// alpha reads back a little changed, as scripts expect.
uint32_t straight(uint32_t premultiplied) {
  uint32_t a = premultiplied >> 24;
  if (a == 0) return 0;
  auto channel = [&](int shift) {
    return std::min(255u, (((premultiplied >> shift) & 0xFF) * (0xFF00 / a) + 0x7F) >> 8) << shift;
  };
  return a << 24 | channel(16) | channel(8) | channel(0);
}

class BitmapDataObject : public Object {
 public:
  using Object::Object;
  // Shared with the clips that show it; emptied, not dropped, when disposed.
  std::shared_ptr<BitmapPixels> pixels;
  // The same pixels in straight colour, as scripts read them.
  std::vector<uint32_t> colors;
  bool transparent = true;
  uint32_t get(int x, int y) const { return colors[index(x, y)]; }
  void put(int x, int y, uint32_t argb) {
    if (!transparent) argb |= 0xFF000000u;
    pixels->pixels[index(x, y)] = premultiplied(argb);
    colors[index(x, y)] = straight(pixels->pixels[index(x, y)]);
    if (argb >> 24 != 0xFF) pixels->opaque = false;
  }
  void putPremultiplied(int x, int y, uint32_t pixel) {
    if (!transparent) {
      put(x, y, straight(pixel) | 0xFF000000u);
      return;
    }
    pixels->pixels[index(x, y)] = pixel;
    colors[index(x, y)] = straight(pixel);
    if (pixel >> 24 != 0xFF) pixels->opaque = false;
  }
  // A premultiplied pixel stored as it is, alpha and all, as threshold
  // writes: an opaque picture then reads the stored value as its colour.
  void putStored(int x, int y, uint32_t pixel) {
    pixels->pixels[index(x, y)] = pixel;
    colors[index(x, y)] = transparent ? straight(pixel) : pixel;
    if (pixel >> 24 != 0xFF) pixels->opaque = false;
  }
  // After drawing into the premultiplied pixels: the colours read from them.
  void readBack() {
    colors.resize(pixels->pixels.size());
    for (size_t i = 0; i < colors.size(); ++i) colors[i] = straight(pixels->pixels[i]);
    pixels->opaque = std::all_of(colors.begin(), colors.end(), [](uint32_t c) { return c >> 24 == 0xFF; });
  }
  size_t index(int x, int y) const { return size_t(y) * size_t(pixels->width) + size_t(x); }
  bool disposed() const { return !pixels || pixels->pixels.empty(); }
  int width() const { return disposed() ? -1 : pixels->width; }
  int height() const { return disposed() ? -1 : pixels->height; }
  bool inside(int x, int y) const { return !disposed() && x >= 0 && y >= 0 && x < pixels->width && y < pixels->height; }
};

Value arg(std::span<const Value> args, size_t i) { return i < args.size() ? args[i] : Value(); }

BitmapDataObject* asBitmap(const Value& v) {
  auto* b = dynamic_cast<BitmapDataObject*>(v.object());
  return b && !b->disposed() ? b : nullptr;
}

int coordinate(Machine& vm, const Value& v) {
  double n = toInteger(vm.toNumber(v));
  return int(std::clamp(n, -1e9, 1e9));
}

void changed(Machine& vm) {
  if (ClipObject* root = vm.rootClip(); root && root->timeline) root->timeline->context().changed = true;
}

// The part of a rectangle object that lies inside the picture.
struct Area {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool empty() const { return x1 <= x0 || y1 <= y0; }
};

Area areaOf(Machine& vm, const BitmapDataObject& b, const Value& rect) {
  auto field = [&](const char* name) { return coordinate(vm, vm.get(rect, name)); };
  int x = field("x"), y = field("y");
  int w = field("width"), h = field("height");
  return {std::max(x, 0), std::max(y, 0), std::min(x + w, b.pixels->width), std::min(y + h, b.pixels->height)};
}

// A rectangle or point argument counts only when it is an object with each
// of its fields set; a method answers its own error code otherwise.
bool hasFields(Machine& vm, const Value& v, std::initializer_list<const char*> names) {
  return v.isObject() &&
         std::none_of(names.begin(), names.end(), [&](const char* n) { return vm.get(v, n).isUndefined(); });
}
bool isRect(Machine& vm, const Value& v) { return hasFields(vm, v, {"x", "y", "width", "height"}); }
bool isPoint(Machine& vm, const Value& v) { return hasFields(vm, v, {"x", "y"}); }

// A point argument's position; one that is not a point is the origin.
std::pair<int, int> pointOf(Machine& vm, const Value& v) {
  if (!v.isObject()) return {0, 0};
  return {coordinate(vm, vm.get(v, "x")), coordinate(vm, vm.get(v, "y"))};
}

// The source picture of a copy: -2 when it is none, -3 when disposed.
constexpr int kNotABitmap = -2;
constexpr int kDisposedSource = -3;
constexpr int kBadSourceRect = -4;
int sourceError(const Value& v) {
  auto* b = dynamic_cast<BitmapDataObject*>(v.object());
  if (!b) return kNotABitmap;
  return b->disposed() ? kDisposedSource : 0;
}

BitmapDataObject* makeBitmap(Machine& vm, Object* proto, int width, int height, bool transparent, uint32_t fill) {
  auto* b = vm.heap().make<BitmapDataObject>(proto);
  b->transparent = transparent;
  b->pixels = std::make_shared<BitmapPixels>();
  b->pixels->width = width;
  b->pixels->height = height;
  if (!transparent) fill |= 0xFF000000u;
  b->pixels->pixels.assign(size_t(width) * size_t(height), premultiplied(fill));
  b->readBack();
  return b;
}

Object* bitmapProto(Machine& vm) {
  Value flash = vm.get(Value(vm.global()), "flash");
  return vm.get(vm.get(vm.get(flash, "display"), "BitmapData"), "prototype").object();
}

Value constructBitmap(Machine& vm, const Value& self, std::span<const Value> args) {
  double w = toInteger(vm.toNumber(arg(args, 0))), h = toInteger(vm.toNumber(arg(args, 1)));
  // A size the player refuses makes no picture at all.
  if (!(w >= 1 && h >= 1 && w <= kMaxSide && h <= kMaxSide)) return Value::null();
  bool transparent = arg(args, 2).isUndefined() || vm.toBoolean(args[2]);
  uint32_t fill = arg(args, 3).isUndefined() ? kOpaqueWhite : toUint32(vm.toNumber(args[3]));
  Object* o = self.object();
  return Value(makeBitmap(vm, o ? o->proto : bitmapProto(vm), int(w), int(h), transparent, fill));
}

Value getPixel(Machine& vm, const Value& self, std::span<const Value> args, bool withAlpha) {
  BitmapDataObject* b = asBitmap(self);
  if (!b || args.size() < 2) return Value(-1);
  int x = coordinate(vm, args[0]), y = coordinate(vm, args[1]);
  if (!b->inside(x, y)) return Value(0);
  uint32_t argb = b->get(x, y);
  return withAlpha ? Value(double(int32_t(argb))) : Value(double(argb & 0xFFFFFF));
}

Value setPixel(Machine& vm, const Value& self, std::span<const Value> args, bool withAlpha) {
  BitmapDataObject* b = asBitmap(self);
  int x = coordinate(vm, args[0]), y = coordinate(vm, args[1]);
  if (!b->inside(x, y)) return Value(0);
  uint32_t color = toUint32(vm.toNumber(args[2]));
  if (!withAlpha) color = (b->get(x, y) & 0xFF000000u) | (color & 0xFFFFFF);
  b->put(x, y, color);
  changed(vm);
  return Value(0);
}

Value fillRect(Machine& vm, const Value& self, std::span<const Value> args) {
  BitmapDataObject* b = asBitmap(self);
  if (!isRect(vm, args[0])) return Value(-1);
  Area a = areaOf(vm, *b, args[0]);
  uint32_t color = toUint32(vm.toNumber(args[1]));
  for (int y = a.y0; y < a.y1; ++y)
    for (int x = a.x0; x < a.x1; ++x) b->put(x, y, color);
  changed(vm);
  return Value(0);
}

// Each channel of a premultiplied pixel scaled by an alpha out of 256, as
// the player masks a copy with another picture's alpha.
uint32_t masked(uint32_t pixel, uint32_t alpha) {
  uint32_t out = 0;
  alpha += alpha >> 7;  // 255 keeps the pixel as it is
  for (int shift = 0; shift < 32; shift += 8) out |= ((((pixel >> shift) & 0xFF) * alpha) >> 8) << shift;
  return out;
}

// Premultiplied `src` over `dest`, each channel rounded down as the player's copies do.
uint32_t over(uint32_t dest, uint32_t src) {
  uint32_t keep = 255 - (src >> 24), out = 0;
  for (int shift = 0; shift < 32; shift += 8)
    out |= std::min(255u, ((src >> shift) & 0xFF) + ((dest >> shift) & 0xFF) * keep / 255) << shift;
  return out;
}

// copyPixels(source, rect, point, alphaBitmap, alphaPoint, mergeAlpha): the
// source's rectangle copied to `point`, its alpha multiplied by the alpha
// picture's from `alphaPoint`, blended over what is there when merging.
Value copyPixels(Machine& vm, const Value& self, std::span<const Value> args) {
  BitmapDataObject* b = asBitmap(self);
  if (int error = sourceError(args[0])) return Value(error);
  if (!isRect(vm, args[1])) return Value(kBadSourceRect);
  BitmapDataObject* source = asBitmap(args[0]);
  // The alpha picture counts only with its point.
  BitmapDataObject* alphaSource = args.size() > 4 ? asBitmap(args[3]) : nullptr;
  auto [ax, ay] = pointOf(vm, arg(args, 4));
  int rx = coordinate(vm, vm.get(args[1], "x")), ry = coordinate(vm, vm.get(args[1], "y"));
  auto [px, py] = pointOf(vm, args[2]);
  bool merge = vm.toBoolean(arg(args, 5));
  Area from = areaOf(vm, *source, args[1]);
  // Read from copies, so that a picture copied onto itself reads what was there.
  std::vector<uint32_t> copy = source->pixels->pixels;
  std::vector<uint32_t> alphas = alphaSource ? alphaSource->colors : std::vector<uint32_t>{};
  for (int y = from.y0; y < from.y1; ++y)
    for (int x = from.x0; x < from.x1; ++x) {
      int tx = x - rx + px, ty = y - ry + py;
      if (!b->inside(tx, ty)) continue;
      uint32_t p = copy[source->index(x, y)];
      if (alphaSource) {
        int mx = x - rx + ax, my = y - ry + ay;
        p = masked(p, alphaSource->inside(mx, my) ? alphas[alphaSource->index(mx, my)] >> 24 : 0);
      }
      // An opaque picture cannot take the alpha: the copy is laid over it.
      if (merge || !b->transparent) p = over(b->pixels->pixels[b->index(tx, ty)], p);
      b->putPremultiplied(tx, ty, p);
    }
  changed(vm);
  return Value(0);
}

Value drawInto(Machine& vm, const Value& self, std::span<const Value> args) {
  BitmapDataObject* b = asBitmap(self);
  if (!b) return Value();
  Matrix toPixels;
  readMatrix(vm, arg(args, 1), toPixels);
  ColorTransform cx;
  readColorTransform(vm, arg(args, 2), cx);
  Canvas canvas{b->pixels->pixels.data(), b->pixels->width, b->pixels->height, b->pixels->width};
  if (arg(args, 4).isObject()) {
    // Only the clip rectangle changes: the canvas is that part of the picture.
    Area a = areaOf(vm, *b, args[4]);
    if (a.empty()) return Value();
    canvas.pixels = b->pixels->pixels.data() + b->index(a.x0, a.y0);
    canvas.width = a.x1 - a.x0;
    canvas.height = a.y1 - a.y0;
    toPixels = Matrix::translation(float(-a.x0), float(-a.y0)) * toPixels;
  }
  MovieRenderer renderer;
  if (ClipObject* clip = asClipValue(arg(args, 0)); clip && clip->timeline) {
    Matrix twipsToPixels = toPixels * Matrix::scaling(1.0f / kTwipsPerPixel, 1.0f / kTwipsPerPixel);
    renderer.render(canvas, vm.movie(), *clip->timeline, twipsToPixels, cx);
  } else if (BitmapDataObject* source = asBitmap(arg(args, 0))) {
    ShapeDef shape;
    FillStyle fill;
    fill.kind = FillKind::Bitmap;
    fill.pixels = std::make_shared<BitmapPixels>(*source->pixels);
    fill.bitmapRepeats = false;
    fill.bitmapSmoothed = vm.toBoolean(arg(args, 5));
    Point corners[4] = {{0, 0},
                        {float(source->pixels->width), 0},
                        {float(source->pixels->width), float(source->pixels->height)},
                        {0, float(source->pixels->height)}};
    for (Point& p : corners) p = toPixels.apply(p);
    fill.matrix = toPixels;
    renderer.fillPicture(canvas, corners, fill, cx);
  }
  if (!b->transparent)
    for (uint32_t& p : b->pixels->pixels) p |= 0xFF000000u;
  b->readBack();
  changed(vm);
  return Value();
}

Value floodFill(Machine& vm, const Value& self, std::span<const Value> args) {
  BitmapDataObject* b = asBitmap(self);
  int x = coordinate(vm, args[0]), y = coordinate(vm, args[1]);
  if (!b->inside(x, y)) return Value(0);
  uint32_t color = toUint32(vm.toNumber(args[2]));
  if (!b->transparent) color |= 0xFF000000u;
  // Compared as stored, so that a filled pixel never matches again.
  uint32_t target = b->pixels->pixels[b->index(x, y)];
  if (target == premultiplied(color)) return Value(0);
  std::deque<std::pair<int, int>> open{{x, y}};
  while (!open.empty()) {
    auto [px, py] = open.front();
    open.pop_front();
    if (!b->inside(px, py) || b->pixels->pixels[b->index(px, py)] != target) continue;
    b->put(px, py, color);
    open.insert(open.end(), {{px + 1, py}, {px - 1, py}, {px, py + 1}, {px, py - 1}});
  }
  changed(vm);
  return Value(1);
}

Value applyColorTransform(Machine& vm, const Value& self, std::span<const Value> args) {
  BitmapDataObject* b = asBitmap(self);
  ColorTransform cx;
  if (!isRect(vm, args[0])) return Value(-2);
  if (!isGeomInstance(vm, args[1], "ColorTransform") || !readColorTransform(vm, args[1], cx)) return Value(-3);
  Area a = areaOf(vm, *b, args[0]);
  for (int y = a.y0; y < a.y1; ++y)
    for (int x = a.x0; x < a.x1; ++x) {
      uint32_t c = b->get(x, y);
      b->put(x, y, cx.apply(Rgba{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), uint8_t(c >> 24)}).argb());
    }
  changed(vm);
  // The player answers -1 here even when the colours changed.
  return Value(-1);
}

// Calls visit(destX, destY, sourceColor) for each pixel a copy from the
// source's rectangle to a point reaches, read from a snapshot so that a
// picture copied onto itself reads what was there.
template <class Visit>
void eachCopied(Machine& vm, BitmapDataObject& dest, const BitmapDataObject& source, const Value& rect,
                const Value& point, Visit visit) {
  Area from = areaOf(vm, source, rect);
  auto [px, py] = pointOf(vm, point);
  int dx = px - coordinate(vm, vm.get(rect, "x")), dy = py - coordinate(vm, vm.get(rect, "y"));
  std::vector<uint32_t> snapshot = source.colors;
  for (int y = from.y0; y < from.y1; ++y)
    for (int x = from.x0; x < from.x1; ++x)
      if (dest.inside(x + dx, y + dy)) visit(x + dx, y + dy, snapshot[source.index(x, y)]);
}

// The checks every copy makes on (source, rect, point): 0 when they pass.
int copyArgumentsError(Machine& vm, std::span<const Value> args) {
  if (int error = sourceError(args[0])) return error;
  return isRect(vm, args[1]) ? 0 : kBadSourceRect;
}

// A channel flag (1 red, 2 green, 4 blue, 8 alpha) as its bit shift in 0xAARRGGBB.
std::optional<int> channelShift(uint32_t channel) {
  constexpr std::pair<uint32_t, int> kShifts[] = {{1, 16}, {2, 8}, {4, 0}, {8, 24}};
  for (auto [flag, shift] : kShifts)
    if (channel == flag) return shift;
  return std::nullopt;
}

Value copyChannel(Machine& vm, const Value& self, std::span<const Value> args) {
  BitmapDataObject* b = asBitmap(self);
  if (int error = copyArgumentsError(vm, args)) return Value(error);
  std::optional<int> from = channelShift(toUint32(vm.toNumber(args[3])));
  std::optional<int> to = channelShift(toUint32(vm.toNumber(args[4])));
  // A source channel the player does not know reads as 0; an unknown destination changes nothing.
  if (to) {
    eachCopied(vm, *b, *asBitmap(args[0]), args[1], args[2], [&](int x, int y, uint32_t c) {
      uint32_t value = from ? (c >> *from) & 0xFF : 0;
      b->put(x, y, (b->get(x, y) & ~(0xFFu << *to)) | value << *to);
    });
    changed(vm);
  }
  return Value(-1);
}

// paletteMap: each channel's value looked up in its array, the four results
// added; a channel given no object keeps its value, one given an object
// without entries becomes 0.
Value paletteMap(Machine& vm, const Value& self, std::span<const Value> args) {
  BitmapDataObject* b = asBitmap(self);
  if (int error = copyArgumentsError(vm, args)) return Value(error);
  constexpr int kShifts[] = {16, 8, 0, 24};  // the arrays' order: red, green, blue, alpha
  std::array<std::array<uint32_t, 256>, 4> tables;
  for (size_t i = 0; i < 4; ++i) {
    const Value list = arg(args, 3 + i);
    auto* array = dynamic_cast<ArrayObject*>(list.object());
    for (uint32_t v = 0; v < 256; ++v) {
      if (!list.isObject())
        tables[i][v] = v << kShifts[i];
      else if (array)
        tables[i][v] = v < array->items.size() ? toUint32(vm.toNumber(array->items[v])) : 0;
      else
        tables[i][v] = toUint32(vm.toNumber(vm.get(list, std::to_string(v))));
    }
  }
  eachCopied(vm, *b, *asBitmap(args[0]), args[1], args[2], [&](int x, int y, uint32_t c) {
    uint32_t out = 0;
    for (size_t i = 0; i < 4; ++i) out += tables[i][(c >> kShifts[i]) & 0xFF];
    b->put(x, y, out);
  });
  changed(vm);
  return Value(-1);
}

enum class Comparison : uint8_t { Less, LessOrEqual, Greater, GreaterOrEqual, Equal, NotEqual };

// An operation the player does not know compares as "<".
Comparison comparisonOf(std::string_view text) {
  constexpr std::pair<std::string_view, Comparison> kOperations[] = {
      {"<=", Comparison::LessOrEqual}, {">", Comparison::Greater},   {">=", Comparison::GreaterOrEqual},
      {"==", Comparison::Equal},       {"!=", Comparison::NotEqual},
  };
  for (auto [name, op] : kOperations)
    if (text == name) return op;
  return Comparison::Less;
}

bool compares(Comparison op, uint32_t a, uint32_t b) {
  switch (op) {
    case Comparison::Less:
      return a < b;
    case Comparison::LessOrEqual:
      return a <= b;
    case Comparison::Greater:
      return a > b;
    case Comparison::GreaterOrEqual:
      return a >= b;
    case Comparison::Equal:
      return a == b;
    case Comparison::NotEqual:
      return a != b;
  }
  return false;
}

// threshold(source, rect, point, operation, threshold, color, mask, copySource):
// the pixels whose masked value passes the test become `color`, the others
// the source's when copySource; answers how many passed. Pixels are tested
// as stored, premultiplied.
Value threshold(Machine& vm, const Value& self, std::span<const Value> args) {
  BitmapDataObject* b = asBitmap(self);
  if (int error = copyArgumentsError(vm, args)) return Value(error);
  Comparison op = comparisonOf(vm.toString(args[3]));
  // A mask not given is every bit; one given as undefined is none.
  uint32_t mask = args.size() > 6 ? toUint32(vm.toNumber(args[6])) : 0xFFFFFFFFu;
  uint32_t limit = toUint32(vm.toNumber(args[4])) & mask;
  uint32_t color = toUint32(vm.toNumber(arg(args, 5)));
  bool copySource = vm.toBoolean(arg(args, 7));
  int passed = 0;
  eachCopied(vm, *b, *asBitmap(args[0]), args[1], args[2], [&](int x, int y, uint32_t c) {
    if (compares(op, premultiplied(c) & mask, limit)) {
      b->putStored(x, y, premultiplied(color));
      ++passed;
    } else if (copySource) {
      b->putStored(x, y, premultiplied(c));
    }
  });
  changed(vm);
  return Value(passed);
}

// hitTest(firstPoint, alphaThreshold, other, otherPoint, otherThreshold):
// whether a pixel of this picture at least as opaque as the threshold lies
// under a point, a rectangle or such a pixel of another picture, this
// picture's corner at firstPoint.
Value hitTest(Machine& vm, const Value& self, std::span<const Value> args) {
  BitmapDataObject* b = asBitmap(self);
  if (!isPoint(vm, args[0])) return Value(-2);
  auto [ox, oy] = pointOf(vm, args[0]);
  // Thresholds compare as signed numbers: one below zero passes every pixel.
  int alpha = coordinate(vm, args[1]);
  auto solid = [&](const BitmapDataObject& picture, int x, int y, int least) {
    return picture.inside(x, y) && int(picture.get(x, y) >> 24) >= least;
  };
  if (auto* other = dynamic_cast<BitmapDataObject*>(args[2].object())) {
    if (other->disposed()) return Value(-3);
    if (args.size() > 3 && !isPoint(vm, args[3])) return Value(-4);
    auto [tx, ty] = pointOf(vm, arg(args, 3));
    int otherAlpha = args.size() > 4 ? coordinate(vm, args[4]) : 1;
    for (int y = 0; y < other->height(); ++y)
      for (int x = 0; x < other->width(); ++x)
        if (solid(*other, x, y, otherAlpha) && solid(*b, x + tx - ox, y + ty - oy, alpha)) return Value(true);
    return Value(false);
  }
  if (!isPoint(vm, args[2])) return Value(-3);
  auto [x, y] = pointOf(vm, args[2]);
  if (!isRect(vm, args[2])) return Value(solid(*b, x - ox, y - oy, alpha));
  int w = coordinate(vm, vm.get(args[2], "width")), h = coordinate(vm, vm.get(args[2], "height"));
  for (int py = y; py < y + h; ++py)
    for (int px = x; px < x + w; ++px)
      if (solid(*b, px - ox, py - oy, alpha)) return Value(true);
  return Value(false);
}

// getColorBoundsRect(mask, color, findColor): the smallest rectangle holding
// every pixel whose masked colour is (or, findColor false, is not) `color`.
Value getColorBoundsRect(Machine& vm, const Value& self, std::span<const Value> args) {
  BitmapDataObject* b = asBitmap(self);
  uint32_t mask = toUint32(vm.toNumber(args[0])), color = toUint32(vm.toNumber(args[1]));
  bool find = args.size() < 3 || vm.toBoolean(args[2]);
  int x0 = b->width(), y0 = b->height(), x1 = -1, y1 = -1;
  for (int y = 0; y < b->height(); ++y)
    for (int x = 0; x < b->width(); ++x)
      if (((b->get(x, y) & mask) == color) == find) {
        x0 = std::min(x0, x), y0 = std::min(y0, y);
        x1 = std::max(x1, x), y1 = std::max(y1, y);
      }
  // The player starts its far corner at the origin, so that what lies at the
  // origin alone is found as nothing.
  if (x1 <= 0 && y1 <= 0) return makeRectangle(vm, 0, 0, 0, 0);
  return makeRectangle(vm, x0, y0, x1 - x0 + 1, y1 - y0 + 1);
}

// scroll(dx, dy): the picture moved by whole pixels; what it uncovers keeps its pixels.
Value scroll(Machine& vm, const Value& self, std::span<const Value> args) {
  BitmapDataObject* b = asBitmap(self);
  int dx = coordinate(vm, args[0]), dy = coordinate(vm, args[1]);
  std::vector<uint32_t> snapshot = b->colors;
  for (int y = 0; y < b->height(); ++y)
    for (int x = 0; x < b->width(); ++x)
      if (b->inside(x - dx, y - dy)) b->put(x, y, snapshot[b->index(x - dx, y - dy)]);
  changed(vm);
  return Value();
}

// merge(source, rect, point, red, green, blue, alpha): each channel moved
// towards the source's by its multiplier out of 256.
Value merge(Machine& vm, const Value& self, std::span<const Value> args) {
  BitmapDataObject* b = asBitmap(self);
  if (int error = copyArgumentsError(vm, args)) return Value(error);
  constexpr int kShifts[] = {16, 8, 0, 24};
  std::array<uint32_t, 4> weights;
  for (size_t i = 0; i < 4; ++i) weights[i] = toUint32(vm.toNumber(args[3 + i])) & 0xFF;
  eachCopied(vm, *b, *asBitmap(args[0]), args[1], args[2], [&](int x, int y, uint32_t c) {
    uint32_t d = b->get(x, y), out = 0;
    for (size_t i = 0; i < 4; ++i) {
      uint32_t from = (c >> kShifts[i]) & 0xFF, to = (d >> kShifts[i]) & 0xFF;
      out |= ((from * weights[i] + to * (256 - weights[i])) / 256) << kShifts[i];
    }
    b->put(x, y, out);
  });
  changed(vm);
  return Value();
}

// noise(seed, low, high, channels, grayScale): each pixel's channels drawn
// in turn from the generator, between low and high.
Value noise(Machine& vm, const Value& self, std::span<const Value> args) {
  BitmapDataObject* b = asBitmap(self);
  ParkMiller random(vm.toNumber(args[0]));
  uint32_t low = arg(args, 1).isUndefined() ? 0 : toUint32(vm.toNumber(args[1])) & 0xFF;
  uint32_t high = arg(args, 2).isUndefined() ? 255 : toUint32(vm.toNumber(args[2])) & 0xFF;
  uint32_t channels = arg(args, 3).isUndefined() ? 7 : toUint32(vm.toNumber(args[3]));
  bool gray = vm.toBoolean(arg(args, 4));
  auto draw = [&]() { return high > low ? low + random.next() % (high - low + 1) : low; };
  for (int y = 0; y < b->height(); ++y)
    for (int x = 0; x < b->width(); ++x) {
      uint32_t color = 0;
      if (gray) {
        uint32_t v = draw();
        color = v << 16 | v << 8 | v;
      } else {
        for (auto [flag, shift] : {std::pair{1u, 16}, {2u, 8}, {4u, 0}})
          if (channels & flag) color |= draw() << shift;
      }
      color |= ((channels & 8) ? draw() : 0xFF) << 24;
      b->put(x, y, color);
    }
  changed(vm);
  return Value();
}

// The per-octave offsets of perlinNoise: an array of points, in pixels.
std::vector<std::array<double, 2>> octaveOffsets(Machine& vm, const Value& list, int octaves) {
  std::vector<std::array<double, 2>> offsets;
  if (!list.isObject()) return offsets;
  for (int i = 0; i < octaves; ++i) {
    Value point = vm.get(list, std::to_string(i));
    if (!point.isObject()) break;
    offsets.push_back({vm.toNumber(vm.get(point, "x")), vm.toNumber(vm.get(point, "y"))});
  }
  return offsets;
}

// perlinNoise(baseX, baseY, octaves, seed, stitch, fractal, channels, grayScale,
// offsets): Perlin noise in the chosen channels. The values are stored as
// premultiplied under the alpha drawn, so that a transparent picture reads
// them back brightened, as the player's does.
Value perlinNoise(Machine& vm, const Value& self, std::span<const Value> args) {
  BitmapDataObject* b = asBitmap(self);
  PerlinSettings settings;
  settings.baseX = vm.toNumber(args[0]);
  settings.baseY = vm.toNumber(args[1]);
  settings.octaves = int(std::clamp(toInteger(vm.toNumber(args[2])), 0.0, double(kMaxOctaves)));
  settings.seed = vm.toNumber(args[3]);
  settings.stitch = vm.toBoolean(args[4]);
  settings.fractal = vm.toBoolean(args[5]);
  uint32_t channels = args.size() > 6 ? toUint32(vm.toNumber(args[6])) : 7;
  bool gray = vm.toBoolean(arg(args, 7));
  settings.offsets = octaveOffsets(vm, arg(args, 8), settings.octaves);
  PerlinNoise noise(settings, b->width(), b->height());
  for (int y = 0; y < b->height(); ++y)
    for (int x = 0; x < b->width(); ++x) {
      // Each channel drawn takes the next of the noise's channels, grey counting as one.
      int next = 0;
      auto value = [&](uint32_t flag) -> uint32_t { return channels & flag ? noise.channel(next++, x, y) : 0; };
      uint32_t red = 0, green = 0, blue = 0;
      if (gray) {
        red = green = blue = noise.channel(next++, x, y);
      } else {
        red = value(1), green = value(2), blue = value(4);
      }
      uint32_t alpha = 0xFF;
      if (channels & 8) alpha = b->transparent ? noise.channel(next++, x, y) : 0xFF;
      red = std::min(red, alpha), green = std::min(green, alpha), blue = std::min(blue, alpha);
      b->putStored(x, y, alpha << 24 | red << 16 | green << 8 | blue);
    }
  changed(vm);
  return Value(0);
}

// The order pixelDissolve visits an area of `count` pixels: a full-period
// generator over the next power of two, skipping what lies past the area,
// so that each pixel comes once before any comes again.
class DissolveOrder {
 public:
  DissolveOrder(uint32_t count, uint32_t state) : m_count(count) {
    while (m_span < count) m_span <<= 1;
    m_state = state & (m_span - 1);
  }
  uint32_t current() const { return m_state; }
  // Moves on to the next position inside the area.
  void advance() {
    do m_state = (m_state * kMultiplier + kIncrement) & (m_span - 1);
    while (m_state >= m_count);
  }

 private:
  // A multiplier of the form 4k + 1 and an odd increment give the full period.
  static constexpr uint32_t kMultiplier = 1103515245;
  static constexpr uint32_t kIncrement = 12345;
  uint32_t m_count;
  uint32_t m_span = 1;
  uint32_t m_state = 0;
};

// pixelDissolve(source, rect, point, seed, numPixels, fillColor): numPixels
// more pixels of the area take the source's (or, from itself, the fill
// colour), in an order that reaches each once; answers the seed that goes on
// from there.
Value pixelDissolve(Machine& vm, const Value& self, std::span<const Value> args) {
  BitmapDataObject* b = asBitmap(self);
  BitmapDataObject* source = asBitmap(args[0]);
  if (!source) return Value(-1);
  if (!isRect(vm, args[1])) return Value(kBadSourceRect);
  Area from = areaOf(vm, *source, args[1]);
  auto [px, py] = pointOf(vm, args[2]);
  int dx = px - coordinate(vm, vm.get(args[1], "x")), dy = py - coordinate(vm, vm.get(args[1], "y"));
  // The area is what lies inside both pictures.
  from = {std::max(from.x0, -dx), std::max(from.y0, -dy), std::min(from.x1, b->width() - dx),
          std::min(from.y1, b->height() - dy)};
  uint32_t seed = toUint32(vm.toNumber(arg(args, 3)));
  if (from.empty()) return Value(double(seed));
  double wanted = std::max(0.0, toInteger(vm.toNumber(arg(args, 4))));
  uint32_t fill = toUint32(vm.toNumber(arg(args, 5)));
  int width = from.x1 - from.x0;
  uint32_t count = uint32_t(width * (from.y1 - from.y0));
  std::vector<uint32_t> snapshot = source->colors;
  DissolveOrder order(count, seed);
  auto dissolve = [&](uint32_t at) {
    int x = from.x0 + int(at % uint32_t(width)), y = from.y0 + int(at / uint32_t(width));
    b->put(x + dx, y + dy, source == b ? fill : snapshot[source->index(x, y)]);
  };
  // Without a count nothing dissolves; with one, the pixel at the seed goes first.
  if (args.size() < 5) return Value(double(seed));
  dissolve(order.current());
  for (double i = 0; i < std::min<double>(wanted, count); ++i) {
    order.advance();
    dissolve(order.current());
  }
  changed(vm);
  return Value(double(order.current()));
}

// applyFilter(source, rect, point, filter): the source's rectangle, filtered
// as the renderer filters a clip, put at `point`.
Value applyFilter(Machine& vm, const Value& self, std::span<const Value> args) {
  BitmapDataObject* b = asBitmap(self);
  if (int error = copyArgumentsError(vm, args)) return Value(error);
  std::optional<Filter> filter = rendererFilter(args[3]);
  if (!filter) return Value(-5);
  std::vector<uint32_t> layer(b->pixels->pixels.size(), 0);
  std::vector<std::pair<int, int>> reached;
  BitmapDataObject* source = asBitmap(args[0]);
  std::vector<uint32_t> snapshot = source->pixels->pixels;
  Area from = areaOf(vm, *source, args[1]);
  auto [px, py] = pointOf(vm, args[2]);
  int dx = px - coordinate(vm, vm.get(args[1], "x")), dy = py - coordinate(vm, vm.get(args[1], "y"));
  for (int y = from.y0; y < from.y1; ++y)
    for (int x = from.x0; x < from.x1; ++x)
      if (b->inside(x + dx, y + dy)) {
        layer[b->index(x + dx, y + dy)] = snapshot[source->index(x, y)];
        reached.emplace_back(x + dx, y + dy);
      }
  std::vector<uint32_t> scratch;
  applyFilters({layer.data(), b->width(), b->height(), b->width()}, {*filter}, 1.0f, scratch);
  for (auto [x, y] : reached) b->putPremultiplied(x, y, layer[b->index(x, y)]);
  changed(vm);
  return Value(0);
}

// generateFilterRect(rect, filter): the rectangle a filter's result covers,
// grown by its blur and moved by its distance.
Value generateFilterRect(Machine& vm, const Value&, std::span<const Value> args) {
  if (!isRect(vm, args[0])) return Value(-2);
  auto field = [&](const char* name) { return vm.toNumber(vm.get(args[0], name)); };
  double x = field("x"), y = field("y"), w = field("width"), h = field("height");
  std::optional<Filter> f = rendererFilter(args[1]);
  if (!f) return makeRectangle(vm, x, y, w, h);
  double growX = std::ceil(f->blurX / 2) * f->passes, growY = std::ceil(f->blurY / 2) * f->passes;
  double offX = std::round(std::cos(f->angle) * f->distance), offY = std::round(std::sin(f->angle) * f->distance);
  double left = std::min(x, x + offX) - growX, top = std::min(y, y + offY) - growY;
  double right = std::max(x + w, x + w + offX) + growX, bottom = std::max(y + h, y + h + offY) + growY;
  return makeRectangle(vm, left, top, right - left, bottom - top);
}

Value cloneBitmap(Machine& vm, const Value& self, std::span<const Value>) {
  BitmapDataObject* b = asBitmap(self);
  if (!b) return Value();
  auto* copy = vm.heap().make<BitmapDataObject>(b->proto);
  copy->transparent = b->transparent;
  copy->pixels = std::make_shared<BitmapPixels>(*b->pixels);
  copy->colors = b->colors;
  return Value(static_cast<Object*>(copy));
}

Value dispose(Machine& vm, const Value& self, std::span<const Value>) {
  if (BitmapDataObject* b = asBitmap(self)) {
    *b->pixels = BitmapPixels{};
    b->colors.clear();
    changed(vm);
  }
  return Value();
}

// BitmapData.loadBitmap(name): a copy of a picture the movie exports under that name.
Value loadBitmap(Machine& vm, const Value&, std::span<const Value> args) {
  std::string name = vm.toString(arg(args, 0));
  for (auto& [exported, id] : vm.movie().exports) {
    if (!equalsIgnoreCase(exported, name)) continue;
    const Character* c = vm.movie().character(id);
    if (!c || c->kind != CharacterKind::Bitmap || !c->bitmap) return Value();
    auto* b = vm.heap().make<BitmapDataObject>(bitmapProto(vm));
    b->transparent = !c->bitmap->opaque;
    b->pixels = std::make_shared<BitmapPixels>(*c->bitmap);
    b->readBack();
    return Value(static_cast<Object*>(b));
  }
  return Value();
}

// clip.attachBitmap(bitmap, depth, pixelSnapping, smoothing): a new child
// at `depth` that shows the picture at the clip's origin, one pixel a pixel.
Value attachBitmap(Machine& vm, const Value& self, std::span<const Value> args) {
  ClipObject* clip = asClipValue(self);
  BitmapDataObject* b = asBitmap(arg(args, 0));
  if (!clip || !clip->timeline || !b) return Value();
  ClipObject* holder = vm.createEmptyClip(clip, "", coordinate(vm, arg(args, 1)));
  if (!holder || !holder->timeline) return Value();
  auto shape = std::make_unique<ShapeDef>();
  FillStyle fill;
  fill.kind = FillKind::Bitmap;
  fill.pixels = b->pixels;
  fill.matrix = Matrix::scaling(kTwipsPerPixel, kTwipsPerPixel);
  fill.bitmapRepeats = false;
  fill.bitmapSmoothed = vm.toBoolean(arg(args, 3));
  shape->fills.push_back(std::move(fill));
  float w = float(b->pixels->width * kTwipsPerPixel), h = float(b->pixels->height * kTwipsPerPixel);
  Point corners[4] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
  std::vector<Edge> edges;
  for (int i = 0; i < 4; ++i) {
    Point from = corners[i], to = corners[(i + 1) % 4];
    edges.push_back({from, {(from.x + to.x) / 2, (from.y + to.y) / 2}, to, false});
  }
  shape->fillEdges.push_back(std::move(edges));
  shape->bounds = {0, int32_t(w), 0, int32_t(h)};
  holder->timeline->drawing = std::move(shape);
  holder->timeline->context().changed = true;
  return Value();
}

// A method on a picture: on one disposed, or not a picture, or with fewer
// arguments than it needs, it answers -1 and does nothing.
template <NativeFn F, size_t kMinArgs>
Value checked(Machine& vm, const Value& self, std::span<const Value> args) {
  if (!asBitmap(self) || args.size() < kMinArgs) return Value(-1);
  return F(vm, self, args);
}

Value getPixelRgb(Machine& vm, const Value& self, std::span<const Value> args) {
  return getPixel(vm, self, args, false);
}
Value getPixelArgb(Machine& vm, const Value& self, std::span<const Value> args) {
  return getPixel(vm, self, args, true);
}
Value setPixelRgb(Machine& vm, const Value& self, std::span<const Value> args) {
  return setPixel(vm, self, args, false);
}
Value setPixelArgb(Machine& vm, const Value& self, std::span<const Value> args) {
  return setPixel(vm, self, args, true);
}

void accessor(Machine& vm, Object* owner, const char* name, NativeFn getter) {
  Property& p = owner->props.insert(name);
  p.getter = vm.newNative(getter);
  p.setter = vm.newNative([](Machine&, const Value&, std::span<const Value>) { return Value(); });
  p.flags = kDontEnum;
}

}  // namespace

std::shared_ptr<const BitmapPixels> bitmapPixelsOf(const Value& v) {
  BitmapDataObject* b = asBitmap(v);
  return b ? b->pixels : nullptr;
}

void Machine::installBitmapBuiltins() {
  Value flash = getOf(m_global, "flash", Value(m_global));
  Object* display = newObject();
  setHidden(flash.object(), "display", Value(display));
  Object* proto = newObject();
  FunctionObject* ctor =
      newNative([](Machine&, const Value&, std::span<const Value>) { return Value(); }, constructBitmap);
  setHidden(ctor, "prototype", Value(proto));
  setHidden(proto, "constructor", Value(static_cast<Object*>(ctor)));
  setHidden(display, "BitmapData", Value(static_cast<Object*>(ctor)));
  constexpr std::pair<const char*, int> kChannels[] = {
      {"RED_CHANNEL", 1}, {"GREEN_CHANNEL", 2}, {"BLUE_CHANNEL", 4}, {"ALPHA_CHANNEL", 8}};
  for (auto [name, value] : kChannels) ctor->props.insert(name).value = Value(value);
  method(ctor, "loadBitmap", loadBitmap);

  accessor(*this, proto, "width", [](Machine&, const Value& self, std::span<const Value>) {
    auto* b = dynamic_cast<BitmapDataObject*>(self.object());
    return b ? Value(b->width()) : Value();
  });
  accessor(*this, proto, "height", [](Machine&, const Value& self, std::span<const Value>) {
    auto* b = dynamic_cast<BitmapDataObject*>(self.object());
    return b ? Value(b->height()) : Value();
  });
  accessor(*this, proto, "transparent", [](Machine&, const Value& self, std::span<const Value>) {
    auto* b = dynamic_cast<BitmapDataObject*>(self.object());
    return b ? (b->disposed() ? Value(-1) : Value(b->transparent)) : Value();
  });
  accessor(*this, proto, "rectangle", [](Machine& vm, const Value& self, std::span<const Value>) {
    auto* b = dynamic_cast<BitmapDataObject*>(self.object());
    if (!b) return Value();
    if (b->disposed()) return Value(-1);
    return makeRectangle(vm, 0, 0, b->width(), b->height());
  });
  constexpr std::pair<const char*, NativeFn> kMethods[] = {
      {"getPixel", checked<getPixelRgb, 2>},
      {"getPixel32", checked<getPixelArgb, 2>},
      {"setPixel", checked<setPixelRgb, 3>},
      {"setPixel32", checked<setPixelArgb, 3>},
      {"fillRect", checked<fillRect, 2>},
      {"copyPixels", checked<copyPixels, 3>},
      {"draw", checked<drawInto, 1>},
      {"floodFill", checked<floodFill, 3>},
      {"colorTransform", checked<applyColorTransform, 2>},
      {"clone", checked<cloneBitmap, 0>},
      {"copyChannel", checked<copyChannel, 5>},
      {"paletteMap", checked<paletteMap, 4>},
      {"threshold", checked<threshold, 5>},
      {"hitTest", checked<hitTest, 3>},
      {"getColorBoundsRect", checked<getColorBoundsRect, 2>},
      {"scroll", checked<scroll, 2>},
      {"merge", checked<merge, 7>},
      {"noise", checked<noise, 1>},
      {"perlinNoise", checked<perlinNoise, 6>},
      {"pixelDissolve", checked<pixelDissolve, 3>},
      {"applyFilter", checked<applyFilter, 4>},
      {"generateFilterRect", checked<generateFilterRect, 2>},
      {"dispose", checked<dispose, 0>},
  };
  for (auto [name, fn] : kMethods) method(proto, name, fn);
  method(m_clipProto, "attachBitmap", attachBitmap);
}

}  // namespace swf::avm
