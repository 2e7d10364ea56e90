// A clip's numbered display properties, read by GetProperty and written by
// SetProperty and by the same names as members: what each reads, and what
// its setter makes of a value. Scales and rotation are kept as a script
// gave them; the movie-wide ones (_quality, _highquality, _soundbuftime and,
// before SWF 6, _focusrect) belong to the machine.

#include <cmath>
#include <limits>
#include <numbers>

#include "platform/flash/avm.h"

namespace swf::avm {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// GetProperty and SetProperty numbering.
enum PropertyIndex : int {
  kX,
  kY,
  kXScale,
  kYScale,
  kCurrentFrame,
  kTotalFrames,
  kAlpha,
  kVisible,
  kWidth,
  kHeight,
  kRotation,
  kTarget,
  kFramesLoaded,
  kName,
  kDropTarget,
  kUrl,
  kHighQuality,
  kFocusRect,
  kSoundBufTime,
  kQuality,
  kXMouse,
  kYMouse,
};

constexpr const char* kPropertyNames[] = {
    "_x",          "_y",     "_xscale",      "_yscale",    "_currentframe", "_totalframes",  "_alpha",
    "_visible",    "_width", "_height",      "_rotation",  "_target",       "_framesloaded", "_name",
    "_droptarget", "_url",   "_highquality", "_focusrect", "_soundbuftime", "_quality",      "_xmouse",
    "_ymouse",
};

// _quality's names, by Machine::Quality.
constexpr const char* kQualityNames[] = {"LOW", "MEDIUM", "HIGH", "BEST"};

double round4(double v) { return std::round(v * 10000) / 10000; }

double twips(double pixels) {
  double t = std::trunc(pixels * kTwipsPerPixel);
  return std::isfinite(t) && t >= -2147483648.0 && t <= 2147483647.0 ? t : -2147483648.0;
}

// A matrix entry that a scale of Infinity or a rotation of NaN would spoil draws nothing instead.
float finiteEntry(double v) { return std::isfinite(v) ? float(v) : 0.0f; }

// Scales in percent and rotation in degrees, as a clip reads them.
struct ClipTransform {
  double xScale, yScale, rotation;
};

bool madeFrom(const DisplayObject::GivenTransform& given, const Matrix& m) {
  return given.a == m.a && given.b == m.b && given.c == m.c && given.d == m.d;
}

ClipTransform transformOf(const DisplayObject& h) {
  const Matrix& m = h.matrix;
  if (h.given && madeFrom(*h.given, m)) return {h.given->xScale, h.given->yScale, h.given->rotation};
  return {round4(std::hypot(double(m.a), double(m.b)) * 100), round4(std::hypot(double(m.c), double(m.d)) * 100),
          round4(std::atan2(double(m.b), double(m.a)) * 180 / std::numbers::pi)};
}

// Builds the matrix from scales and rotation, keeping the skew it had, and
// remembers them as given.
void setTransform(DisplayObject& h, const ClipTransform& t) {
  Matrix& m = h.matrix;
  bool degenerate = (m.a == 0 && m.b == 0) || (m.c == 0 && m.d == 0);
  double skew = degenerate ? 0 : std::atan2(double(-m.c), double(m.d)) - std::atan2(double(m.b), double(m.a));
  double r = t.rotation * std::numbers::pi / 180, xs = t.xScale / 100, ys = t.yScale / 100;
  m.a = finiteEntry(xs * std::cos(r));
  m.b = finiteEntry(xs * std::sin(r));
  m.c = finiteEntry(-ys * std::sin(r + skew));
  m.d = finiteEntry(ys * std::cos(r + skew));
  h.given = DisplayObject::GivenTransform{m.a, m.b, m.c, m.d, t.xScale, t.yScale, t.rotation};
}

// Rotation is kept within -180 to 180 degrees; what is no number stays so.
double normalRotation(double degrees) {
  double r = std::fmod(degrees, 360);
  if (r > 180) r -= 360;
  if (r < -180) r += 360;
  return r;
}

// _soundbuftime is a 32-bit integer; what does not fit is the smallest.
int32_t soundBufferTime(double n) {
  double t = std::trunc(n);
  return t >= -2147483648.0 && t <= 2147483647.0 ? int32_t(t) : INT32_MIN;
}

}  // namespace

int Machine::propertyIndex(std::string_view name) const {
  for (int i = 0; i < int(std::size(kPropertyNames)); ++i)
    if (equalsIgnoreCase(name, kPropertyNames[i])) return i;
  return -1;
}

double Machine::setterNumber(const Value& v) {
  if (v.isNullish()) return kNaN;
  Object* o = v.object();
  if (!o || o->kind() == ObjectKind::Clip || o->kind() == ObjectKind::TextField) return toNumber(v);
  // An object gives what its valueOf answers; its toString is never asked.
  Value fn = getOf(o, "valueOf", v);
  if (!fn.object() || fn.obj->kind() != ObjectKind::Function) return kNaN;
  Value r = call(fn, v, {});
  return r.isObject() || r.isNullish() ? kNaN : toNumber(r);
}

std::string Machine::setterString(const Value& v) {
  Object* o = v.object();
  if (!o || o->kind() == ObjectKind::Clip || o->kind() == ObjectKind::TextField) return toString(v);
  // An object gives what its toString answers; anything but text names its type.
  Value fn = getOf(o, "toString", v);
  Value r = fn.object() && fn.obj->kind() == ObjectKind::Function ? call(fn, v, {}) : Value();
  return r.isString() ? r.text() : std::string("[type Object]");
}

void Machine::toggleQuality() { m_quality = m_quality == Quality::Low ? Quality::High : Quality::Low; }

Value Machine::clipProperty(ClipObject* clip, int index) {
  TimelineInstance* t = clip->timeline;
  if (!t) return Value();
  DisplayObject* h = holderOf(*t);
  const Matrix& m = h->matrix;
  switch (index) {
    case kX:
      return Value(std::round(double(m.tx)) / kTwipsPerPixel);
    case kY:
      return Value(std::round(double(m.ty)) / kTwipsPerPixel);
    case kXScale:
      return Value(transformOf(*h).xScale);
    case kYScale:
      return Value(transformOf(*h).yScale);
    case kCurrentFrame:
      return Value(double(t->currentFrame() + 1));
    case kTotalFrames:
    case kFramesLoaded:
      return Value(double(t->frameCount()));
    case kAlpha:
      return Value(double(h->colorTransform.aMult) * 100 / 256);
    case kVisible:
      return Value(h->visible);
    case kWidth:
    case kHeight:
      return Value(clipExtent(clip, index == kHeight));
    case kRotation:
      return Value(transformOf(*h).rotation);
    case kTarget:
      return Value(targetPath(clip, true));
    case kName:
      return Value(h->name);
    case kDropTarget:
      return Value("");
    case kUrl:
      return Value("file:///movie.swf");
    case kHighQuality:
      return Value(m_quality == Quality::Low ? 0.0 : m_quality == Quality::Best ? 2.0 : 1.0);
    case kFocusRect:
      if (m_version < 6) return Value(m_focusRect ? 1.0 : 0.0);
      return clip->focusRect ? Value(*clip->focusRect) : Value::null();
    case kSoundBufTime:
      return Value(double(m_soundBufferTime));
    case kQuality:
      return Value(kQualityNames[int(m_quality)]);
    case kXMouse:
      return Value(std::round(m_mouseX - double(m.tx) / kTwipsPerPixel));
    case kYMouse:
      return Value(std::round(m_mouseY - double(m.ty) / kTwipsPerPixel));
    default:
      return Value();
  }
}

void Machine::setClipProperty(ClipObject* clip, int index, const Value& v) {
  TimelineInstance* t = clip->timeline;
  if (!t) return;
  DisplayObject* h = holderOf(*t);
  if (index == kName) {
    // From SWF 7 a name given as NaN is written "0".
    h->name = m_version >= 7 && v.isNumber() && std::isnan(v.num) ? std::string("0") : setterString(v);
    return;
  }
  if (index == kQuality) {
    std::string name = setterString(v);
    for (int i = 0; i < int(std::size(kQualityNames)); ++i)
      if (equalsIgnoreCase(name, kQualityNames[i])) m_quality = Quality(i);
    return;
  }
  if (index == kFocusRect && v.isObject()) {
    setFocusRect(clip, false);  // an object turns it off, unasked
    return;
  }
  if (index < 0 || index >= int(std::size(kPropertyNames))) return;
  // Every other setter takes a number; what is none leaves the property as it was.
  double n = setterNumber(v);
  if (std::isnan(n)) return;
  setNumericProperty(clip, *h, index, n);
}

void Machine::setFocusRect(ClipObject* clip, bool on) {
  if (m_version < 6)
    m_focusRect = on;
  else
    clip->focusRect = on;
}

void Machine::setNumericProperty(ClipObject* clip, DisplayObject& h, int index, double n) {
  ClipTransform given = transformOf(h);
  switch (index) {
    // Positions are whole twips; what does not fit lands on the smallest.
    case kX:
      h.matrix.tx = float(twips(n));
      break;
    case kY:
      h.matrix.ty = float(twips(n));
      break;
    case kXScale:
      given.xScale = n;
      setTransform(h, given);
      break;
    case kYScale:
      given.yScale = n;
      setTransform(h, given);
      break;
    case kRotation:
      given.rotation = normalRotation(n);
      setTransform(h, given);
      break;
    case kAlpha:
      // The multiplier is 8.8 fixed point and wraps as a 16-bit integer.
      h.colorTransform.aMult = int16_t(toInt32(n * 256 / 100));
      break;
    case kVisible:
      h.visible = n != 0;
      break;
    case kWidth:
    case kHeight:
      setClipExtent(clip, index == kHeight, n);
      return;
    case kHighQuality: {
      double level = std::trunc(n);
      m_quality = level >= 2 ? Quality::Best : level == 0 ? Quality::Low : Quality::High;
      return;
    }
    case kFocusRect:
      setFocusRect(clip, n != 0);
      return;
    case kSoundBufTime:
      m_soundBufferTime = soundBufferTime(n);
      return;
    default:
      return;
  }
  clip->timeline->context().changed = true;
}

}  // namespace swf::avm
