#include "platform/flash/swfrender.h"

#include <algorithm>
#include <cmath>

#include "platform/flash/swfbuttoninstance.h"

namespace swf {

namespace {

constexpr float kMinLineWidth = 1.0f;    // pixels; hairlines and thin lines
constexpr float kMinJoinRadius = 0.75f;  // thinner strokes need no round joins

}  // namespace

Paint MovieRenderer::paintFor(const FillStyle& fill, const Matrix& toPixels, const ColorTransform& cx) {
  if (m_drawingMask) return Paint::solid(Rgba{255, 255, 255, 255});
  switch (fill.kind) {
    case FillKind::Solid:
      return Paint::solid(cx.apply(fill.color));
    case FillKind::LinearGradient:
    case FillKind::RadialGradient: {
      Paint paint;
      if (fill.stops.empty() || fill.ramp.size() != kRampSize) return Paint::solid(Rgba{0, 0, 0, 0});
      // A gradient squeezed to nothing shows its last colour.
      if (!(toPixels * fill.matrix).invert(paint.pixelToPaint)) return Paint::solid(cx.apply(fill.stops.back().color));
      paint.kind = fill.kind == FillKind::LinearGradient ? Paint::Kind::Linear : Paint::Kind::Radial;
      paint.focal = fill.focal;
      paint.spread = uint8_t(fill.spread);
      if (cx.isIdentity()) {
        paint.ramp = fill.ramp.data();
      } else {
        buildRamp(fill.stops, cx, m_ramp.data(), fill.linearRgb);
        paint.ramp = m_ramp.data();
      }
      paint.opaque = std::all_of(paint.ramp, paint.ramp + kRampSize, [](uint32_t c) { return c >> 24 == 0xFF; });
      return paint;
    }
    case FillKind::Bitmap: {
      const Character* character = fill.pixels ? nullptr : m_movie->character(fill.bitmapId);
      const BitmapPixels* pixels = fill.pixels.get();
      if (character && character->kind == CharacterKind::Bitmap) pixels = character->bitmap.get();
      Paint paint;
      if (!pixels || pixels->pixels.empty() || !(toPixels * fill.matrix).invert(paint.pixelToPaint))
        return Paint::solid(Rgba{0, 0, 0, 0});  // a picture that does not exist draws nothing
      paint.kind = Paint::Kind::Bitmap;
      paint.bitmap = cx.isIdentity() ? pixels : transformedBitmap(*pixels, cx);
      paint.repeat = fill.bitmapRepeats;
      paint.smooth = fill.bitmapSmoothed;
      paint.opaque = paint.bitmap->opaque;
      return paint;
    }
  }
  return Paint{};
}

// A picture under a colour transform, made once per draw into a scratch copy.
const BitmapPixels* MovieRenderer::transformedBitmap(const BitmapPixels& bitmap, const ColorTransform& cx) {
  m_bitmap.width = bitmap.width;
  m_bitmap.height = bitmap.height;
  m_bitmap.pixels.resize(bitmap.pixels.size());
  bool opaque = true;
  for (size_t i = 0; i < bitmap.pixels.size(); ++i) {
    uint32_t p = bitmap.pixels[i];
    m_bitmap.pixels[i] = premultiply(cx.apply(unpremultiply(p)));
    opaque = opaque && m_bitmap.pixels[i] >> 24 == 0xFF;
  }
  m_bitmap.opaque = opaque;
  return &m_bitmap;
}

bool MovieRenderer::takeBudget(size_t edges) {
  if (edges > m_edgesLeft) {
    m_edgesLeft = 0;
    return false;
  }
  m_edgesLeft -= edges;
  return true;
}

void MovieRenderer::resetBudgets(const Canvas& canvas) {
  m_edgesLeft = kMaxEdgesPerRender;
  m_pixelsLeft = std::max<size_t>(size_t(canvas.width) * size_t(canvas.height), 4096) * kMaxCanvasesPerRender;
  m_videoPixelsLeft = kMaxVideoPixelsPerRender;
}

void MovieRenderer::render(const Canvas& canvas, const MovieDef& movie, const TimelineInstance& timeline,
                           const Matrix& toPixels, const ColorTransform& colorTransform) {
  m_canvas = canvas;
  if (m_movie != &movie) {
    m_morphs.clear();
    m_videos.clear();
  }
  m_movie = &movie;
  m_stage = &timeline;
  m_stageToPixels = toPixels;
  m_maskLevel = 0;
  m_layerLevel = 0;
  m_drawingMask = false;
  m_stageScale = toPixels.meanScale() * kTwipsPerPixel;
  resetBudgets(canvas);
  drawList(timeline, toPixels, colorTransform, 0);
}

// An object placed with a clip depth is a mask: it is not drawn, and the
// objects above it up to that depth show only inside it.
void MovieRenderer::drawList(const TimelineInstance& timeline, const Matrix& toPixels,
                             const ColorTransform& colorTransform, int nesting) {
  if (timeline.drawing) drawShape(*timeline.drawing, toPixels, colorTransform);
  drawDisplayList(timeline.displayList(), toPixels, colorTransform, nesting);
}

void MovieRenderer::drawDisplayList(const std::map<Depth, DisplayObject>& list, const Matrix& toPixels,
                                    const ColorTransform& colorTransform, int nesting) {
  struct ActiveMask {
    uint16_t lastDepth;
    const uint8_t* previousClip;
  };
  std::vector<ActiveMask> masks;
  for (const auto& [depth, object] : list) {
    while (!masks.empty() && depth > masks.back().lastDepth) {
      popMask(masks.back().previousClip);
      masks.pop_back();
    }
    if (object.clipDepth) {
      const uint8_t* previous = m_canvas.clip;
      if (!m_drawingMask && pushMask(object, toPixels, nesting)) masks.push_back({object.clipDepth, previous});
      continue;
    }
    if (!object.visible) continue;  // hidden by a script (_visible) or its placement, yet still a mask when it is one
    const TimelineInstance* sprite = object.sprite.get();
    if (sprite && sprite->masking() && !m_drawingMask) continue;  // a script's mask shows only as a mask
    const uint8_t* previous = m_canvas.clip;
    bool masked = sprite && sprite->maskedBy() && !m_drawingMask && pushScriptMask(*sprite->maskedBy(), nesting);
    drawPlaced(object, toPixels * object.matrix, colorTransform * object.colorTransform, nesting);
    if (masked) popMask(previous);
  }
  for (auto it = masks.rbegin(); it != masks.rend(); ++it) popMask(it->previousClip);
}

namespace {

constexpr uint8_t kBlendLayer = 2;
constexpr size_t kMaxBlendLevels = 4;

enum BlendMode : uint8_t {
  kBlendMultiply = 3,
  kBlendScreen,
  kBlendLighten,
  kBlendDarken,
  kBlendDifference,
  kBlendAdd,
  kBlendSubtract,
  kBlendInvert,
  kBlendAlpha,
  kBlendErase,
  kBlendOverlay,
  kBlendHardLight,
};

// A box of pixels that grows to hold points.
struct Box {
  float left = 1e30f, top = 1e30f, right = -1e30f, bottom = -1e30f;
  void add(Point p) {
    left = std::min(left, p.x);
    right = std::max(right, p.x);
    top = std::min(top, p.y);
    bottom = std::max(bottom, p.y);
  }
  void add(const Rect& r, const Matrix& m) {
    if (r.empty()) return;
    for (float x : {float(r.xMin), float(r.xMax)})
      for (float y : {float(r.yMin), float(r.yMax)}) add(m.apply({x, y}));
  }
  bool empty() const { return right < left || bottom < top; }
};

void addBounds(const MovieDef& movie, const std::map<Depth, DisplayObject>& list, const Matrix& m, Box& box,
               int nesting);
void addBounds(const MovieDef& movie, const TimelineInstance& timeline, const Matrix& m, Box& box, int nesting);

void addBounds(const MovieDef& movie, const TimelineInstance& timeline, const Matrix& m, Box& box, int nesting) {
  if (timeline.drawing) box.add(timeline.drawing->bounds, m);
  addBounds(movie, timeline.displayList(), m, box, nesting + 1);
}

void addBounds(const MovieDef& movie, const DisplayObject& object, const Matrix& m, Box& box, int nesting) {
  if (nesting > 16) return;
  if (object.sprite) return addBounds(movie, *object.sprite, m, box, nesting);
  if (object.button) return addBounds(movie, object.button->displayList(), m, box, nesting + 1);
  if (object.editText) return box.add(object.editText->def.bounds, m);
  const Character* c = movie.character(object.characterId);
  if (!c) return;
  if (c->kind == CharacterKind::Shape) box.add(c->shape->bounds, m);
  if (c->kind == CharacterKind::Morph) box.add(c->morph->start.bounds, m);
  if (c->kind == CharacterKind::Text) box.add(c->text->bounds, m * c->text->matrix);
  if (c->kind == CharacterKind::EditText) box.add(c->editText->bounds, m);
}

void addBounds(const MovieDef& movie, const std::map<Depth, DisplayObject>& list, const Matrix& m, Box& box,
               int nesting) {
  for (const auto& [depth, child] : list)
    if (!child.clipDepth) addBounds(movie, child, m * child.matrix, box, nesting);
}

// One channel (0..255) of a blend of straight colours.
unsigned blendChannel(uint8_t mode, unsigned s, unsigned d) {
  switch (mode) {
    case kBlendMultiply:
      return divideBy255(s * d);
    case kBlendScreen:
      return s + d - divideBy255(s * d);
    case kBlendLighten:
      return std::max(s, d);
    case kBlendDarken:
      return std::min(s, d);
    case kBlendDifference:
      return s > d ? s - d : d - s;
    case kBlendAdd:
      return std::min(255u, s + d);
    case kBlendSubtract:
      return d > s ? d - s : 0;
    case kBlendInvert:
      return 255 - d;
    case kBlendOverlay:
      return d < 128 ? divideBy255(2 * s * d) : 255 - divideBy255(2 * (255 - s) * (255 - d));
    case kBlendHardLight:
      return s < 128 ? divideBy255(2 * s * d) : 255 - divideBy255(2 * (255 - s) * (255 - d));
    default:
      return s;
  }
}

// The layer's premultiplied pixel blended onto the destination's: where
// both are opaque the blend alone, elsewhere the usual mix of the three.
uint32_t blendPixels(uint8_t mode, uint32_t src, uint32_t dest) {
  unsigned sa = src >> 24, da = dest >> 24;
  if (sa == 0) return dest;
  Rgba s = unpremultiply(src), d = unpremultiply(dest);
  uint32_t out = 0;
  unsigned alpha = sa + da - divideBy255(sa * da);
  if (mode == kBlendErase) {
    unsigned keep = 255 - sa;
    return premultiply(Rgba{d.r, d.g, d.b, uint8_t(divideBy255(da * keep))});
  }
  if (mode == kBlendAlpha) return premultiply(Rgba{d.r, d.g, d.b, uint8_t(divideBy255(da * sa))});
  const uint8_t sc[3] = {s.r, s.g, s.b}, dc[3] = {d.r, d.g, d.b};
  for (int i = 0; i < 3; ++i) {
    unsigned mixed = divideBy255(sa * da) * blendChannel(mode, sc[i], dc[i]) + (255 - da) * divideBy255(sa * sc[i]) +
                     (255 - sa) * divideBy255(da * dc[i]);
    unsigned channel = std::min(255u, divideBy255(mixed));
    out |= channel << (16 - 8 * i);
  }
  return out | std::min(255u, alpha) << 24;
}

}  // namespace

Rect contentBounds(const MovieDef& movie, const TimelineInstance& timeline, const Matrix& toSpace) {
  Box box;
  addBounds(movie, timeline, toSpace, box, 0);
  if (box.empty()) return Rect{};
  auto twips = [](float v) { return int32_t(std::clamp(std::round(v), -2147483647.0f, 2147483647.0f)); };
  return Rect{twips(box.left), twips(box.right), twips(box.top), twips(box.bottom)};
}

template <class DrawMask>
bool MovieRenderer::pushClip(DrawMask&& drawMask) {
  if (m_maskLevel >= kMaxMaskLevels) return false;
  size_t level = m_maskLevel++;
  // Sized once, so that a level's buffers stay put while deeper levels draw.
  m_maskPixels.resize(kMaxMaskLevels);
  m_maskCoverage.resize(kMaxMaskLevels);
  size_t size = size_t(m_canvas.stride) * size_t(m_canvas.height);
  std::vector<uint32_t>& pixels = m_maskPixels[level];
  pixels.assign(size, 0);
  // The mask is drawn under the clip already in force, so masks nest.
  Canvas target = m_canvas;
  Canvas outer = m_canvas;
  target.pixels = pixels.data();
  m_canvas = target;
  bool wasDrawingMask = m_drawingMask;
  m_drawingMask = true;
  drawMask();
  m_drawingMask = wasDrawingMask;
  std::vector<uint8_t>& coverage = m_maskCoverage[level];
  coverage.resize(size);
  for (size_t i = 0; i < size; ++i) coverage[i] = uint8_t(pixels[i] >> 24);
  m_canvas = outer;
  m_canvas.clip = coverage.data();
  return true;
}

bool MovieRenderer::pushMask(const DisplayObject& object, const Matrix& toPixels, int nesting) {
  return pushClip([&] { drawObject(object, toPixels * object.matrix, ColorTransform{}, nesting); });
}

void MovieRenderer::drawPlaced(const DisplayObject& object, const Matrix& matrix, const ColorTransform& cx,
                               int nesting) {
  if (!object.scrollRect) return drawLayered(object, matrix, cx, nesting);
  // A scroll rectangle shows its own corner at the object's origin, cut to its size.
  const Rect& r = *object.scrollRect;
  Matrix shifted = matrix * Matrix::translation(-float(r.xMin), -float(r.yMin));
  if (m_drawingMask) return drawLayered(object, shifted, cx, nesting);  // a mask is shifted, never cut
  Rect window{0, int32_t(std::min<int64_t>(r.width(), INT32_MAX)), 0,
              int32_t(std::min<int64_t>(r.height(), INT32_MAX))};
  const uint8_t* previous = m_canvas.clip;
  if (!pushRectClip(window, matrix)) return;
  drawLayered(object, shifted, cx, nesting);
  popMask(previous);
}

bool MovieRenderer::pushRectClip(const Rect& rect, const Matrix& toPixels) {
  if (rect.empty()) return false;
  return pushClip([&] {
    float left = float(rect.xMin), right = float(rect.xMax), top = float(rect.yMin), bottom = float(rect.yMax);
    Point corners[4] = {toPixels.apply({left, top}), toPixels.apply({right, top}), toPixels.apply({right, bottom}),
                        toPixels.apply({left, bottom})};
    m_raster.reset();
    for (int i = 0; i < 4; ++i) m_raster.addLine(corners[i], corners[(i + 1) % 4]);
    m_raster.fill(m_canvas, Paint::solid(Rgba{255, 255, 255, 255}), m_pixelsLeft);
  });
}

bool MovieRenderer::stageMatrix(const TimelineInstance& timeline, Matrix& out) const {
  Matrix m;
  const TimelineInstance* at = &timeline;
  for (int level = 0; at->parent(); ++level) {
    if (!at->holder() || level > kMaxDrawNesting) return false;
    m = at->holder()->matrix * m;
    at = at->parent();
  }
  if (at != m_stage) return false;
  out = m_stageToPixels * m;
  return true;
}

bool MovieRenderer::pushScriptMask(const TimelineInstance& mask, int nesting) {
  Matrix toPixels;
  if (!mask.holder() || !stageMatrix(mask, toPixels)) return false;
  return pushClip([&] { drawObject(*mask.holder(), toPixels, ColorTransform{}, nesting); });
}

void MovieRenderer::drawLayered(const DisplayObject& object, const Matrix& matrix, const ColorTransform& cx,
                                int nesting) {
  if (object.opaqueBackground && !m_drawingMask) {
    Box box;
    addBounds(*m_movie, object, matrix, box, 0);
    if (!box.empty()) {
      Point corners[4] = {{std::floor(box.left), std::floor(box.top)},
                          {std::ceil(box.right), std::floor(box.top)},
                          {std::ceil(box.right), std::ceil(box.bottom)},
                          {std::floor(box.left), std::ceil(box.bottom)}};
      m_raster.reset();
      for (int i = 0; i < 4; ++i) m_raster.addLine(corners[i], corners[(i + 1) % 4]);
      m_raster.fill(m_canvas, Paint::solid(cx.apply(*object.opaqueBackground)), m_pixelsLeft);
    }
  }
  // Alpha and erase act on the layer of a group; on the stage they have nothing to act on.
  bool actsOnLayer = object.blendMode == kBlendAlpha || object.blendMode == kBlendErase;
  if (actsOnLayer && m_layerLevel == 0 && !m_drawingMask) return;
  bool filtered = object.filters && changesPicture(*object.filters);
  if ((object.blendMode < kBlendLayer && !filtered) || m_drawingMask || m_layerLevel >= kMaxBlendLevels) {
    drawObject(object, matrix, cx, nesting);
    return;
  }
  m_layers.resize(kMaxBlendLevels);  // sized once, so that a level's buffer stays put
  std::vector<uint32_t>& layer = m_layers[m_layerLevel++];
  layer.assign(size_t(m_canvas.stride) * size_t(m_canvas.height), 0);
  uint32_t* below = m_canvas.pixels;
  m_canvas.pixels = layer.data();
  drawObject(object, matrix, cx, nesting);
  if (filtered)
    applyFilters({layer.data(), m_canvas.width, m_canvas.height, m_canvas.stride}, *object.filters, m_stageScale,
                 m_filterScratch);
  m_canvas.pixels = below;
  --m_layerLevel;
  blendLayer(layer, std::max(object.blendMode, kBlendLayer));
}

void MovieRenderer::blendLayer(const std::vector<uint32_t>& layer, uint8_t mode) {
  for (int y = 0; y < m_canvas.height; ++y) {
    const uint32_t* src = layer.data() + size_t(y) * size_t(m_canvas.stride);
    uint32_t* dest = m_canvas.row(y);
    for (int x = 0; x < m_canvas.width; ++x)
      if (src[x] >> 24) dest[x] = blendPixels(mode, src[x], dest[x]);
  }
}

void MovieRenderer::drawObject(const DisplayObject& object, const Matrix& matrix, const ColorTransform& cx,
                               int nesting) {
  if (nesting > kMaxDrawNesting) return;
  if (object.sprite) {
    drawList(*object.sprite, matrix, cx, nesting + 1);
    return;
  }
  if (object.button) {
    drawDisplayList(object.button->displayList(), matrix, cx, nesting + 1);
    return;
  }
  if (object.editText) {
    drawEditText(*object.editText, matrix, cx);
    return;
  }
  const Character* character = m_movie->character(object.characterId);
  if (!character) return;
  switch (character->kind) {
    case CharacterKind::Shape:
      drawShape(*character->shape, matrix, cx);
      break;
    case CharacterKind::Morph:
      drawMorph(object.characterId, *character->morph, object.ratio, matrix, cx);
      break;
    case CharacterKind::Text:
      drawText(*character->text, matrix, cx);
      break;
    case CharacterKind::EditText: {
      const EditTextDef& def = *character->editText;
      const FontDef* font = def.fontId ? m_movie->font(*def.fontId) : nullptr;
      drawEditText(makeEditTextState(def, font), matrix, cx);
      break;
    }
    case CharacterKind::Video:
      drawVideo(object.characterId, *character->video, object.ratio, matrix, cx);
      break;
    default:
      break;  // fonts and pictures are not placed; sprites and buttons without instances draw nothing
  }
}

void MovieRenderer::drawMorph(uint16_t id, const MorphDef& morph, uint16_t ratio, const Matrix& toPixels,
                              const ColorTransform& cx) {
  uint32_t key = uint32_t(id) << 16 | ratio;
  auto it = m_morphs.find(key);
  if (it == m_morphs.end()) {
    if (m_morphs.size() >= kMaxMorphsKept) m_morphs.clear();
    it = m_morphs.emplace(key, morphAt(morph, ratio)).first;
  }
  drawShape(it->second, toPixels, cx);
}

void MovieRenderer::drawVideo(uint16_t id, const VideoStreamDef& video, uint16_t frame, const Matrix& toPixels,
                              const ColorTransform& cx) {
  auto& decoder = m_videos[id];
  if (!decoder) decoder = std::make_unique<VideoDecoder>(video);
  const BitmapPixels* picture = decoder->frameAt(frame, m_videoPixelsLeft);
  if (!picture) return;
  Matrix toStream;  // the picture's pixels stretched over the stream's size, in twips
  toStream.a = float(video.width * kTwipsPerPixel) / float(picture->width);
  toStream.d = float(video.height * kTwipsPerPixel) / float(picture->height);
  Paint paint;
  if (!(toPixels * toStream).invert(paint.pixelToPaint)) return;
  paint.kind = m_drawingMask ? Paint::Kind::Solid : Paint::Kind::Bitmap;
  paint.color = 0xFFFFFFFF;
  paint.bitmap = cx.isIdentity() ? picture : transformedBitmap(*picture, cx);
  paint.smooth = video.smoothing;
  paint.opaque = m_drawingMask || paint.bitmap->opaque;
  float right = float(video.width * kTwipsPerPixel), bottom = float(video.height * kTwipsPerPixel);
  Point corners[4] = {toPixels.apply({0, 0}), toPixels.apply({right, 0}), toPixels.apply({right, bottom}),
                      toPixels.apply({0, bottom})};
  m_raster.reset();
  for (int i = 0; i < 4; ++i) m_raster.addLine(corners[i], corners[(i + 1) % 4]);
  m_raster.fill(m_canvas, paint, m_pixelsLeft);
}

void MovieRenderer::popMask(const uint8_t* previousClip) {
  m_canvas.clip = previousClip;
  if (m_maskLevel > 0) --m_maskLevel;
}

void MovieRenderer::drawShape(const ShapeDef& shape, const Matrix& toPixels, const ColorTransform& cx) {
  // Each style array is a layer over the ones before: its fills, then its lines.
  size_t nextPath = 0;
  const std::vector<size_t>& starts = shape.layerFillStarts;
  for (size_t layer = 0; layer < starts.size(); ++layer) {
    size_t end = layer + 1 < starts.size() ? starts[layer + 1] : shape.fills.size();
    for (size_t i = starts[layer]; i < end && i < shape.fillEdges.size(); ++i) {
      if (shape.fillEdges[i].empty()) continue;
      fillEdges(shape.fillEdges[i], toPixels, paintFor(shape.fills[i], toPixels, cx), shape.evenOdd);
    }
    for (; nextPath < shape.paths.size() && shape.paths[nextPath].layer <= layer; ++nextPath) {
      const ShapePath& path = shape.paths[nextPath];
      if (path.line && !path.edges.empty()) strokePath(path, shape.lines[path.line - 1], toPixels, cx);
    }
  }
}

void MovieRenderer::fillEdges(const std::vector<Edge>& edges, const Matrix& toPixels, const Paint& paint,
                              bool evenOdd) {
  if (!takeBudget(edges.size())) return;
  m_raster.reset();
  m_raster.setEvenOdd(evenOdd);
  for (const Edge& e : edges) {
    if (e.curved)
      m_raster.addCurve(toPixels.apply(e.from), toPixels.apply(e.control), toPixels.apply(e.to));
    else
      m_raster.addLine(toPixels.apply(e.from), toPixels.apply(e.to));
  }
  m_raster.fill(m_canvas, paint, m_pixelsLeft);
}

void MovieRenderer::fillPolygon(const Canvas& canvas, const Point* points, size_t count, Rgba color) {
  m_raster.reset();
  for (size_t i = 0; i < count; ++i) m_raster.addLine(points[i], points[(i + 1) % count]);
  Paint paint = Paint::solid(color);
  size_t budget = SIZE_MAX;  // one polygon: the caller's own
  m_raster.fill(canvas, paint, budget);
}

void MovieRenderer::fillPicture(const Canvas& canvas, const Point (&corners)[4], const FillStyle& fill,
                                const ColorTransform& colorTransform) {
  m_canvas = canvas;
  m_drawingMask = false;
  resetBudgets(canvas);
  Paint paint = paintFor(fill, Matrix{}, colorTransform);
  m_raster.reset();
  for (int i = 0; i < 4; ++i) m_raster.addLine(corners[i], corners[(i + 1) % 4]);
  m_raster.fill(m_canvas, paint, m_pixelsLeft);
}

// The stroke's points in the space it is outlined in, curves cut into as
// many chords as they need on the screen.
void MovieRenderer::flattenPath(const ShapePath& path, const Matrix& toSpace, const Matrix& toPixels) {
  std::vector<Point>& points = m_points;
  points.clear();
  for (const Edge& e : path.edges) {
    Point from = toSpace.apply(e.from);
    if (points.empty()) points.push_back(from);
    if (e.curved) {
      Point c = toSpace.apply(e.control), to = toSpace.apply(e.to);
      int n = curveSegments(toPixels.apply(e.from), toPixels.apply(e.control), toPixels.apply(e.to));
      for (int i = 1; i <= n; ++i) {
        float t = float(i) / float(n), u = 1 - t;
        points.push_back(
            {u * u * from.x + 2 * u * t * c.x + t * t * to.x, u * u * from.y + 2 * u * t * c.y + t * t * to.y});
      }
    } else {
      points.push_back(toSpace.apply(e.to));
    }
  }
}

// A stroke that scales both ways is outlined in the shape's own space and
// then transformed, so that a clip stretched one way stretches its lines the
// same way. One that keeps a direction unscaled, or that would come out
// thinner than a pixel, is outlined on the screen with one width.
void MovieRenderer::strokePath(const ShapePath& path, const LineStyle& style, const Matrix& toPixels,
                               const ColorTransform& cx) {
  if (!takeBudget(path.edges.size())) return;
  float scaleX = std::hypot(toPixels.a, toPixels.b), scaleY = std::hypot(toPixels.c, toPixels.d);
  float width = float(style.width);
  float pixelWidth = style.scalesX && style.scalesY ? width * toPixels.meanScale()
                     : style.scalesX                ? width * scaleX
                     : style.scalesY                ? width * scaleY
                                                    : width * m_stageScale / kTwipsPerPixel;
  if (!std::isfinite(pixelWidth)) return;
  bool inShapeSpace = style.scalesX && style.scalesY && width * std::min(scaleX, scaleY) >= kMinLineWidth;
  pixelWidth = std::min(std::max(kMinLineWidth, pixelWidth), 1e5f);
  flattenPath(path, inShapeSpace ? Matrix{} : toPixels, toPixels);
  StrokeOutline outline;
  float halfPixels = pixelWidth / 2;
  outline.halfWidth = inShapeSpace ? width / 2 : halfPixels;
  outline.startCap = style.startCap, outline.endCap = style.endCap;
  outline.join = style.join, outline.miterLimit = style.miterLimit;
  outline.joints = halfPixels >= kMinJoinRadius;
  outline.discSegments = std::clamp(int(halfPixels * 2.0f), 8, 48);
  const std::vector<Point>& points = m_points;
  outline.closed = !style.noClose && points.size() > 2 && std::fabs(points.front().x - points.back().x) < 1e-3f &&
                   std::fabs(points.front().y - points.back().y) < 1e-3f;
  m_raster.reset();
  const Matrix toScreen = inShapeSpace ? toPixels : Matrix{};
  outlineStroke(points, outline, [&](std::span<const Point> polygon) {
    for (size_t i = 0; i < polygon.size(); ++i)
      m_raster.addLine(toScreen.apply(polygon[i]), toScreen.apply(polygon[(i + 1) % polygon.size()]));
  });
  Paint paint = style.fill      ? paintFor(*style.fill, toPixels, cx)
                : m_drawingMask ? Paint::solid(Rgba{255, 255, 255, 255})
                                : Paint::solid(cx.apply(style.color));
  m_raster.fill(m_canvas, paint, m_pixelsLeft);
}

}  // namespace swf
