// flash.display.BitmapData for scripts: a picture of pixels a movie makes,
// reads and changes, draws clips into, and shows in a clip with
// attachBitmap. Its pixels are kept premultiplied, as the renderer takes
// them, so a clip showing it shares them and sees every change.

#include <cmath>
#include <deque>

#include "platform/flash/avmgeom.h"
#include "platform/flash/swfrender.h"

namespace swf::avm {

namespace {

constexpr int kMaxSide = 2880;  // the player's largest picture side
constexpr uint32_t kOpaqueWhite = 0xFFFFFFFF;

// Straight colour to premultiplied, as the renderer takes it.
uint32_t premultiplied(uint32_t argb) {
  return premultiply(Rgba{uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb), uint8_t(argb >> 24)});
}

// Back to straight colour as the player reads its pixels: each channel to
// the nearest value, halves down, so that a colour set with little alpha
// reads back a little changed, as scripts expect.
uint32_t straight(uint32_t premultiplied) {
  uint32_t a = premultiplied >> 24;
  if (a == 0) return 0;
  auto channel = [&](int shift) {
    return std::min(255u, (((premultiplied >> shift) & 0xFF) * 255 * 2 + a - 1) / (2 * a)) << shift;
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
  if (!b || args.size() < 3) return Value();
  int x = coordinate(vm, args[0]), y = coordinate(vm, args[1]);
  if (!b->inside(x, y)) return Value();
  uint32_t color = toUint32(vm.toNumber(args[2]));
  if (!withAlpha) color = (b->get(x, y) & 0xFF000000u) | (color & 0xFFFFFF);
  b->put(x, y, color);
  changed(vm);
  return Value();
}

Value fillRect(Machine& vm, const Value& self, std::span<const Value> args) {
  BitmapDataObject* b = asBitmap(self);
  if (!b || !arg(args, 0).isObject()) return Value();
  Area a = areaOf(vm, *b, args[0]);
  uint32_t color = toUint32(vm.toNumber(arg(args, 1)));
  for (int y = a.y0; y < a.y1; ++y)
    for (int x = a.x0; x < a.x1; ++x) b->put(x, y, color);
  changed(vm);
  return Value();
}

Value copyPixels(Machine& vm, const Value& self, std::span<const Value> args) {
  BitmapDataObject* b = asBitmap(self);
  BitmapDataObject* source = asBitmap(arg(args, 0));
  if (!b || !source || !arg(args, 1).isObject() || !arg(args, 2).isObject()) return Value();
  Area from = areaOf(vm, *source, args[1]);
  int dx = coordinate(vm, vm.get(args[2], "x")) - coordinate(vm, vm.get(args[1], "x"));
  int dy = coordinate(vm, vm.get(args[2], "y")) - coordinate(vm, vm.get(args[1], "y"));
  bool merge = vm.toBoolean(arg(args, 5));
  // Copied through a scratch row set, so that a picture copied onto itself reads what was there.
  std::vector<uint32_t> copy = source->colors;
  int sourceWidth = source->pixels->width;
  for (int y = from.y0; y < from.y1; ++y)
    for (int x = from.x0; x < from.x1; ++x) {
      if (!b->inside(x + dx, y + dy)) continue;
      uint32_t p = copy[size_t(y) * size_t(sourceWidth) + size_t(x)];
      if (merge) p = straight(blendPixel(premultiplied(b->get(x + dx, y + dy)), premultiplied(p), 255));
      b->put(x + dx, y + dy, p);
    }
  changed(vm);
  return Value();
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
  if (!b || args.size() < 3) return Value();
  int x = coordinate(vm, args[0]), y = coordinate(vm, args[1]);
  if (!b->inside(x, y)) return Value();
  uint32_t color = toUint32(vm.toNumber(args[2]));
  if (!b->transparent) color |= 0xFF000000u;
  // Compared as stored, so that a filled pixel never matches again.
  uint32_t target = b->pixels->pixels[b->index(x, y)];
  if (target == premultiplied(color)) return Value();
  std::deque<std::pair<int, int>> open{{x, y}};
  while (!open.empty()) {
    auto [px, py] = open.front();
    open.pop_front();
    if (!b->inside(px, py) || b->pixels->pixels[b->index(px, py)] != target) continue;
    b->put(px, py, color);
    open.insert(open.end(), {{px + 1, py}, {px - 1, py}, {px, py + 1}, {px, py - 1}});
  }
  changed(vm);
  return Value();
}

Value applyColorTransform(Machine& vm, const Value& self, std::span<const Value> args) {
  BitmapDataObject* b = asBitmap(self);
  ColorTransform cx;
  if (!b || !arg(args, 0).isObject() || !readColorTransform(vm, arg(args, 1), cx)) return Value();
  Area a = areaOf(vm, *b, args[0]);
  for (int y = a.y0; y < a.y1; ++y)
    for (int x = a.x0; x < a.x1; ++x) {
      uint32_t c = b->get(x, y);
      b->put(x, y, cx.apply(Rgba{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), uint8_t(c >> 24)}).argb());
    }
  changed(vm);
  return Value();
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
      {"dispose", checked<dispose, 0>},
  };
  for (auto [name, fn] : kMethods) method(proto, name, fn);
  method(m_clipProto, "attachBitmap", attachBitmap);
}

}  // namespace swf::avm
