#include "platform/flash/swffilter.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "platform/flash/swfraster.h"

namespace swf {

namespace {

enum FilterId : uint8_t {
  kDropShadow = 0,
  kBlur = 1,
  kGlow = 2,
  kBevel = 3,
  kGradientGlow = 4,
  kConvolution = 5,
  kColorMatrix = 6,
  kGradientBevel = 7,
};
constexpr uint8_t kShadowInner = 0x80;
constexpr uint8_t kShadowKnockout = 0x40;
constexpr uint8_t kShadowCompositeSource = 0x20;
constexpr uint8_t kShadowPasses = 0x1F;
constexpr uint8_t kBevelOnTop = 0x10;
constexpr uint8_t kBevelPasses = 0x0F;
constexpr int kMaxPasses = 3;
constexpr float kMaxBlur = 255;

float fixed16(SwfReader& r) { return float(int32_t(r.u32())) / 65536.0f; }

// The tail shadows, glows and bevels share: the strength and the flags
// byte, whose last bits each kind reads its own way.
uint8_t readStrengthAndFlags(SwfReader& r, Filter& f) {
  f.strength = float(r.u16()) / 256.0f;
  uint8_t flags = r.u8();
  f.inner = flags & kShadowInner;
  f.knockout = flags & kShadowKnockout;
  f.hideObject = !(flags & kShadowCompositeSource);
  return flags;
}

void readShadow(SwfReader& r, Filter& f, bool glow) {
  f.kind = Filter::Kind::Shadow;
  f.glow = glow;
  f.color = r.rgba();
  f.blurX = fixed16(r);
  f.blurY = fixed16(r);
  if (!glow) {
    f.angle = fixed16(r);
    f.distance = fixed16(r);
  }
  f.passes = readStrengthAndFlags(r, f) & kShadowPasses;
}

// What bevels and gradient filters share after their colours.
void readBevelGeometry(SwfReader& r, Filter& f) {
  f.blurX = fixed16(r);
  f.blurY = fixed16(r);
  f.angle = fixed16(r);
  f.distance = fixed16(r);
  uint8_t flags = readStrengthAndFlags(r, f);
  f.onTop = flags & kBevelOnTop;
  f.passes = flags & kBevelPasses;
}

// The colour first in the tag lights the side the angle points away from:
// movies written by the authoring tool put the highlight there.
void readBevel(SwfReader& r, Filter& f) {
  f.kind = Filter::Kind::Bevel;
  f.color = r.rgba();
  f.shadowColor = r.rgba();
  readBevelGeometry(r, f);
}

void readGradient(SwfReader& r, Filter& f, Filter::Kind kind) {
  f.kind = kind;
  f.gradient.resize(r.u8());
  for (auto& stop : f.gradient) stop.first = r.rgba();
  for (auto& stop : f.gradient) stop.second = r.u8();
  readBevelGeometry(r, f);
}

constexpr uint8_t kConvolutionClamp = 0x02;
constexpr uint8_t kConvolutionPreserveAlpha = 0x01;

void readConvolution(SwfReader& r, Filter& f) {
  f.kind = Filter::Kind::Convolution;
  f.matrixX = r.u8();
  f.matrixY = r.u8();
  f.divisor = std::bit_cast<float>(r.u32());
  f.bias = std::bit_cast<float>(r.u32());
  f.kernel.resize(size_t(f.matrixX) * size_t(f.matrixY));
  for (float& v : f.kernel) v = std::bit_cast<float>(r.u32());
  f.color = r.rgba();
  uint8_t flags = r.u8();
  f.clamp = flags & kConvolutionClamp;
  f.preserveAlpha = flags & kConvolutionPreserveAlpha;
}

// One row or column of `count` pixels `step` apart, blurred by a box of
// 2 * radius + 1 pixels; `line` is scratch.
void boxBlur(uint32_t* data, int count, std::ptrdiff_t step, int radius, std::vector<uint32_t>& line) {
  line.resize(size_t(count));
  for (int i = 0; i < count; ++i) line[size_t(i)] = data[i * step];
  uint32_t sums[4] = {0, 0, 0, 0};
  auto add = [&](int i, int sign) {
    if (i < 0 || i >= count) return;
    uint32_t p = line[size_t(i)];
    for (int c = 0; c < 4; ++c) sums[c] += uint32_t(sign) * ((p >> (8 * c)) & 0xFF);
  };
  for (int i = -radius; i < radius; ++i) add(i, 1);
  uint32_t window = uint32_t(2 * radius + 1);
  for (int i = 0; i < count; ++i) {
    add(i + radius, 1);
    uint32_t out = 0;
    for (int c = 0; c < 4; ++c) out |= std::min(255u, (sums[c] + window / 2) / window) << (8 * c);
    data[i * step] = out;
    add(i - radius, -1);
  }
}

void blur(const Layer& layer, float blurX, float blurY, int passes, std::vector<uint32_t>& line) {
  int rx = int(std::min(blurX, kMaxBlur) / 2), ry = int(std::min(blurY, kMaxBlur) / 2);
  passes = std::clamp(passes, 1, kMaxPasses);
  for (int pass = 0; pass < passes; ++pass) {
    if (rx > 0)
      for (int y = 0; y < layer.height; ++y)
        boxBlur(layer.pixels + std::ptrdiff_t(y) * layer.stride, layer.width, 1, rx, line);
    if (ry > 0)
      for (int x = 0; x < layer.width; ++x) boxBlur(layer.pixels + x, layer.height, layer.stride, ry, line);
  }
}

void colorMatrix(const Layer& layer, const std::array<float, 20>& m) {
  for (int y = 0; y < layer.height; ++y) {
    uint32_t* row = layer.pixels + std::ptrdiff_t(y) * layer.stride;
    for (int x = 0; x < layer.width; ++x) {
      Rgba c = unpremultiply(row[x]);
      float in[4] = {float(c.r), float(c.g), float(c.b), float(c.a)};
      uint8_t out[4];
      for (int k = 0; k < 4; ++k) {
        const float* r = m.data() + 5 * k;
        out[k] =
            uint8_t(std::clamp(r[0] * in[0] + r[1] * in[1] + r[2] * in[2] + r[3] * in[3] + r[4] + 0.5f, 0.0f, 255.0f));
      }
      row[x] = premultiply(Rgba{out[0], out[1], out[2], out[3]});
    }
  }
}

// The shadow (or glow) of the layer's shape, blurred and moved, put under,
// over or instead of the object as the filter says.
void shadow(const Layer& layer, const Filter& f, float scale, std::vector<uint32_t>& mask,
            std::vector<uint32_t>& line) {
  size_t size = size_t(layer.stride) * size_t(layer.height);
  mask.assign(size, 0);
  for (size_t i = 0; i < size; ++i) {
    unsigned a = layer.pixels[i] >> 24;
    mask[i] = uint32_t(f.inner ? 255 - a : a) << 24;
  }
  Layer m{mask.data(), layer.width, layer.height, layer.stride};
  blur(m, f.blurX * scale, f.blurY * scale, f.passes, line);
  int dx = int(std::lround(std::cos(f.angle) * f.distance * scale));
  int dy = int(std::lround(std::sin(f.angle) * f.distance * scale));
  for (int y = 0; y < layer.height; ++y) {
    uint32_t* row = layer.pixels + std::ptrdiff_t(y) * layer.stride;
    int sy = y - dy;
    for (int x = 0; x < layer.width; ++x) {
      int sx = x - dx;
      bool inside = sx >= 0 && sx < layer.width && sy >= 0 && sy < layer.height;
      unsigned blurred = inside ? mask[size_t(sy) * size_t(layer.stride) + size_t(sx)] >> 24 : (f.inner ? 255 : 0);
      unsigned strength = unsigned(std::min(255.0f, float(blurred) * f.strength));
      uint32_t src = row[x];
      unsigned sa = src >> 24;
      if (f.inner) strength = divideBy255(strength * sa);
      uint32_t shade = premultiply(Rgba{f.color.r, f.color.g, f.color.b, uint8_t(divideBy255(f.color.a * strength))});
      // A knocked-out shadow leaves no object to hide.
      if (f.knockout) {
        row[x] = f.inner ? shade : blendPixel(0, shade, 255 - sa);
      } else if (f.hideObject) {
        row[x] = shade;
      } else if (f.inner) {
        // Over the object, within its shape.
        row[x] = sa ? blendPixel(src, shade, 255) : src;
      } else {
        row[x] = blendPixel(shade, src, 255);
      }
    }
  }
}

// The layer's shape blurred, then compared with itself moved both ways
// along the angle: where it falls off away from the light lies the shadow,
// where it falls off towards the light the highlight. Inner bevels keep to
// the shape, outer ones to what is outside it, full ones take both.
void bevel(const Layer& layer, const Filter& f, float scale, std::vector<uint32_t>& mask, std::vector<uint32_t>& line) {
  size_t size = size_t(layer.stride) * size_t(layer.height);
  mask.assign(size, 0);
  for (size_t i = 0; i < size; ++i) mask[i] = layer.pixels[i] & 0xFF000000u;
  Layer m{mask.data(), layer.width, layer.height, layer.stride};
  blur(m, f.blurX * scale, f.blurY * scale, f.passes, line);
  int dx = int(std::lround(std::cos(f.angle) * f.distance * scale));
  int dy = int(std::lround(std::sin(f.angle) * f.distance * scale));
  auto blurredAt = [&](int x, int y) -> int {
    bool inside = x >= 0 && x < layer.width && y >= 0 && y < layer.height;
    return inside ? int(mask[size_t(y) * size_t(layer.stride) + size_t(x)] >> 24) : 0;
  };
  for (int y = 0; y < layer.height; ++y) {
    uint32_t* row = layer.pixels + std::ptrdiff_t(y) * layer.stride;
    for (int x = 0; x < layer.width; ++x) {
      int difference = blurredAt(x - dx, y - dy) - blurredAt(x + dx, y + dy);
      unsigned amount = unsigned(std::min(255.0f, float(std::abs(difference)) * f.strength));
      uint32_t src = row[x];
      unsigned sa = src >> 24;
      if (f.inner)
        amount = divideBy255(amount * sa);
      else if (!f.onTop)
        amount = divideBy255(amount * (255 - sa));
      const Rgba& c = difference > 0 ? f.shadowColor : f.color;
      uint32_t shade = premultiply(Rgba{c.r, c.g, c.b, uint8_t(divideBy255(c.a * amount))});
      if (f.knockout || f.hideObject)
        row[x] = shade;
      else if (f.inner || f.onTop)
        row[x] = blendPixel(src, shade, 255);
      else
        row[x] = blendPixel(shade, src, 255);
    }
  }
}

}  // namespace

bool readFilters(SwfReader& r, std::vector<Filter>& filters) {
  uint8_t count = r.u8();
  for (unsigned i = 0; i < count && r.ok(); ++i) {
    Filter f;
    uint8_t id = r.u8();
    switch (id) {
      case kDropShadow:
      case kGlow:
        readShadow(r, f, id == kGlow);
        break;
      case kBlur:
        f.kind = Filter::Kind::Blur;
        f.blurX = fixed16(r);
        f.blurY = fixed16(r);
        f.passes = r.u8() >> 3;
        break;
      case kColorMatrix:
        f.kind = Filter::Kind::ColorMatrix;
        for (float& v : f.matrix) v = std::bit_cast<float>(r.u32());
        if (!std::all_of(f.matrix.begin(), f.matrix.end(), [](float v) { return std::isfinite(v); }))
          f.kind = Filter::Kind::None;
        break;
      case kBevel:
        readBevel(r, f);
        break;
      case kGradientGlow:
      case kGradientBevel:
        readGradient(r, f, id == kGradientGlow ? Filter::Kind::GradientGlow : Filter::Kind::GradientBevel);
        break;
      case kConvolution:
        readConvolution(r, f);
        break;
      default:
        r.fail();
    }
    if (!std::isfinite(f.blurX) || !std::isfinite(f.blurY) || !std::isfinite(f.angle) || !std::isfinite(f.distance))
      f.kind = Filter::Kind::None;
    if (r.ok() && f.kind != Filter::Kind::None) filters.push_back(f);
  }
  return r.ok();
}

bool changesPicture(const std::vector<Filter>& filters) {
  return std::any_of(filters.begin(), filters.end(), [](const Filter& f) {
    return f.kind == Filter::Kind::Blur || f.kind == Filter::Kind::Shadow || f.kind == Filter::Kind::Bevel ||
           f.kind == Filter::Kind::ColorMatrix;
  });
}

void applyFilters(const Layer& layer, const std::vector<Filter>& filters, float scale, std::vector<uint32_t>& scratch) {
  std::vector<uint32_t> line;
  for (const Filter& f : filters) {
    switch (f.kind) {
      case Filter::Kind::Blur:
        blur(layer, f.blurX * scale, f.blurY * scale, f.passes, line);
        break;
      case Filter::Kind::Shadow:
        shadow(layer, f, scale, scratch, line);
        break;
      case Filter::Kind::Bevel:
        bevel(layer, f, scale, scratch, line);
        break;
      case Filter::Kind::ColorMatrix:
        colorMatrix(layer, f.matrix);
        break;
      case Filter::Kind::Convolution:  // kept for scripts, not drawn
      case Filter::Kind::GradientGlow:
      case Filter::Kind::GradientBevel:
      case Filter::Kind::None:
        break;
    }
  }
}

}  // namespace swf
