#include "platform/flash/movieplayer.h"

#include <algorithm>
#include <cmath>

namespace swf {

MoviePlayer::MoviePlayer() = default;

MoviePlayer::~MoviePlayer() { unload(); }

bool MoviePlayer::load(std::span<const uint8_t> file) {
  unload();
  m_movie = readMovie(file, &m_lastStatus);
  if (!m_movie) return false;
  startTimeline();
  return true;
}

void MoviePlayer::unload() {
  m_pen.reset();
  m_renderer.forgetMovie();
  m_root.reset();  // before the machine and the movie it refers to
  m_sounds.setMovie(nullptr);
  m_machine.reset();
  m_movie.reset();
  m_context = PlayContext{};
  m_pendingMs = 0;
  m_repaint = true;
}

void MoviePlayer::startTimeline() {
  m_context = PlayContext{};
  m_context.movie = m_movie.get();
  m_context.jumpsLeft = m_context.limits.maxJumpsPerTick;
  // The machine and its built-in objects cost a movie without scripts its
  // start and its memory, and would never run.
  if (needsScripts(*m_movie)) {
    m_machine = std::make_unique<avm::Machine>(*m_movie, m_scriptLimits);
    m_machine->setTraceSink(m_traceSink);
    m_context.scripts = m_machine.get();
  }
  m_sounds.setMovie(m_movie.get());
  m_context.sounds = &m_sounds;
  // A new movie plays from its first frame, unless that frame's actions stop it.
  m_root = std::make_unique<TimelineInstance>(m_movie->root, m_context, 0);
  if (m_machine) m_machine->start(*m_root);
  m_context.changed = false;
  m_pendingMs = 0;
  m_repaint = true;
}

void MoviePlayer::noteChanges() {
  if (m_context.changed) m_repaint = true;
  m_context.changed = false;
}

int MoviePlayer::totalFrames() const { return m_root ? m_root->frameCount() : 0; }

int MoviePlayer::currentFrame() const { return m_root ? m_root->currentFrame() : 0; }

float MoviePlayer::frameRate() const {
  if (!m_movie || !(m_movie->header.frameRate >= 0.01f)) return kDefaultFrameRate;
  return m_movie->header.frameRate;
}

bool MoviePlayer::playing() const { return m_root && m_root->playing(); }

void MoviePlayer::setPlaying(bool playing) {
  if (!m_root) return;
  if (playing && !m_root->playing()) m_pendingMs = 0;  // the first frame period starts now
  m_root->setPlaying(playing);
  m_sounds.setPaused(!playing);
}

void MoviePlayer::gotoFrame(int frame) {
  if (!m_root) return;
  m_context.jumpsLeft = m_context.limits.maxJumpsPerTick;
  m_root->gotoFrame(frame);
  noteChanges();
}

void MoviePlayer::rewind() {
  m_sounds.stopAll();
  gotoFrame(0);
}

std::optional<int> MoviePlayer::findLabel(std::string_view label) const {
  return m_movie ? m_movie->root.findLabel(label) : std::nullopt;
}

void MoviePlayer::tick() {
  if (!m_root) return;
  m_context.jumpsLeft = m_context.limits.maxJumpsPerTick;
  if (m_machine) m_machine->beginFrame(*m_root);
  m_root->tick(m_loop);
  if (m_machine) {
    m_machine->endFrame();
    m_machine->advanceClock(1000.0 / frameRate());
  }
  noteChanges();
}

void MoviePlayer::setTraceSink(avm::Machine::TraceSink sink) {
  m_traceSink = std::move(sink);
  if (m_machine) m_machine->setTraceSink(m_traceSink);
}

void MoviePlayer::keyDown(int keyCode, int charCode) {
  if (!m_machine) return;
  m_machine->keyDown(keyCode, charCode);
  noteChanges();
}

void MoviePlayer::keyUp(int keyCode) {
  if (!m_machine) return;
  m_machine->keyUp(keyCode);
  noteChanges();
}

void MoviePlayer::advance(double milliseconds) {
  if (!m_root || !(milliseconds > 0)) return;
  double period = 1000.0 / frameRate();
  m_pendingMs += milliseconds;
  // A stream sound sets the pace: a late timeline makes up every frame so
  // that its picture stays with what is heard.
  int catchUp =
      m_sounds.streaming() ? std::max(kMaxCatchUpFrames, int(frameRate() * kStreamCatchUpSeconds)) : kMaxCatchUpFrames;
  int frames = int(std::min(m_pendingMs / period, double(catchUp + 1)));
  if (frames > catchUp) {
    frames = catchUp;
    m_pendingMs = 0;  // too late: drop the rest rather than rush
  } else {
    m_pendingMs -= frames * period;
  }
  for (int i = 0; i < frames; ++i) tick();
  m_sounds.pump();
}

void MoviePlayer::zoom(int percent) {
  if (percent < 0) return;
  int value = percent == 0 ? 100 : percent;
  if (value != m_zoomPercent) m_repaint = true;
  m_zoomPercent = value;
}

bool MoviePlayer::setRootProperty(int index, double value) {
  if (!std::isfinite(value)) return false;
  double* target = nullptr;
  switch (index) {
    case kPropertyX:
      target = &m_rootX;
      break;
    case kPropertyY:
      target = &m_rootY;
      break;
    case kPropertyXScale:
      target = &m_rootXScale;
      break;
    case kPropertyYScale:
      target = &m_rootYScale;
      break;
    case kPropertyAlpha:
      target = &m_rootAlpha;
      break;
    case kPropertyRotation:
      target = &m_rootRotation;
      break;
    case kPropertyVisible:
      m_rootVisible = value != 0;
      m_repaint = true;
      return true;
    default:
      return false;  // read-only or not offered
  }
  *target = std::clamp(value, -1e7, 1e7);
  m_repaint = true;
  return true;
}

std::optional<double> MoviePlayer::rootProperty(int index) const {
  switch (index) {
    case kPropertyX:
      return m_rootX;
    case kPropertyY:
      return m_rootY;
    case kPropertyXScale:
      return m_rootXScale;
    case kPropertyYScale:
      return m_rootYScale;
    case kPropertyCurrentFrame:
      return currentFrame() + 1;  // the property counts from 1
    case kPropertyTotalFrames:
      return totalFrames();
    case kPropertyAlpha:
      return m_rootAlpha;
    case kPropertyVisible:
      return m_rootVisible ? 1 : 0;
    case kPropertyRotation:
      return m_rootRotation;
    default:
      return std::nullopt;
  }
}

void MoviePlayer::setAlignMode(int mode) {
  if (mode != m_alignMode) m_repaint = true;
  m_alignMode = mode;
}

void MoviePlayer::setBackgroundColor(int32_t rgb) {
  int32_t value = rgb < 0 ? -1 : rgb & 0xFFFFFF;
  if (value != m_backgroundSetting) m_repaint = true;
  m_backgroundSetting = value;
}

uint32_t MoviePlayer::backgroundColor() const {
  if (m_backgroundSetting >= 0) return uint32_t(m_backgroundSetting);
  if (m_movie && m_movie->background) return m_movie->background->argb() & 0xFFFFFF;
  return kDefaultBackground;
}

// Buttons change state and queue their actions first; the scripts then
// hear of the pen and run what is queued.
template <typename Step>
void MoviePlayer::pen(int x, int y, Step step, std::optional<bool> down) {
  if (!m_root || m_viewWidth <= 0 || m_viewHeight <= 0) return;
  m_context.jumpsLeft = m_context.limits.maxJumpsPerTick;
  Matrix toPixels = movieToPixels(m_viewWidth, m_viewHeight) * rootMatrix();
  Point at{float(x) + 0.5f, float(y) + 0.5f};
  auto handler = [this](const ButtonTarget& target, uint16_t condition) { runButtonActions(target, condition); };
  (m_pen.*step)(*m_root, toPixels, at, handler);
  Matrix toMovie;
  if (m_machine && toPixels.invert(toMovie)) {
    Point movie = toMovie.apply(at);
    m_machine->mouseMove(movie.x / kTwipsPerPixel, movie.y / kTwipsPerPixel);
    if (down) m_machine->mouseButton(*down);
  }
  noteChanges();
}

void MoviePlayer::penDown(int x, int y) { pen(x, y, &PenTracker::down, true); }
void MoviePlayer::penMove(int x, int y) { pen(x, y, &PenTracker::move, std::nullopt); }
void MoviePlayer::penUp(int x, int y) { pen(x, y, &PenTracker::up, false); }

void MoviePlayer::runButtonActions(const ButtonTarget& target, uint16_t condition) {
  for (const ButtonActions& actions : target.button->def().actions) {
    if (!(actions.conditions & condition) || !actions.records) continue;
    if (m_context.scripts)
      m_context.scripts->buttonAction(*target.parent, actions.records);
    else
      target.parent->runActions(readActionRecords(*actions.records));
  }
}

bool MoviePlayer::takeRepaint() {
  bool repaint = m_repaint;
  m_repaint = false;
  return repaint;
}

Matrix MoviePlayer::rootMatrix() const {
  return Matrix::translation(float(m_rootX * kTwipsPerPixel), float(m_rootY * kTwipsPerPixel)) *
         Matrix::rotation(float(m_rootRotation)) *
         Matrix::scaling(float(m_rootXScale / 100), float(m_rootYScale / 100));
}

namespace {

// Where a box of `content` pixels starts inside `window` pixels on one axis.
float alignedOffset(float window, float content, bool toStart, bool toEnd) {
  if (toStart && !toEnd) return 0;
  if (toEnd && !toStart) return window - content;
  return (window - content) / 2;
}

}  // namespace

Matrix MoviePlayer::movieToPixels(int width, int height) const {
  if (!m_movie || width <= 0 || height <= 0) return Matrix::scaling(0, 0);
  const Rect& frame = m_movie->header.frameRect;
  double frameWidth = std::max<double>(double(frame.width()), 1);
  double frameHeight = std::max<double>(double(frame.height()), 1);
  // The part shown: zoom percent of the frame around its centre.
  double factor = m_zoomPercent / 100.0;
  double shownWidth = frameWidth * factor, shownHeight = frameHeight * factor;
  double left = frame.xMin + (frameWidth - shownWidth) / 2;
  double top = frame.yMin + (frameHeight - shownHeight) / 2;
  // Shown whole, keeping its proportions.
  double scale = std::min(width / shownWidth, height / shownHeight);
  float x = alignedOffset(float(width), float(shownWidth * scale), m_alignMode & kAlignLeft, m_alignMode & kAlignRight);
  float y =
      alignedOffset(float(height), float(shownHeight * scale), m_alignMode & kAlignTop, m_alignMode & kAlignBottom);
  return Matrix::translation(x, y) * Matrix::scaling(float(scale), float(scale)) *
         Matrix::translation(float(-left), float(-top));
}

void MoviePlayer::render(const Canvas& canvas) {
  m_viewWidth = canvas.width;
  m_viewHeight = canvas.height;
  for (int y = 0; y < canvas.height; ++y) std::fill_n(canvas.row(y), canvas.width, kOutsideColor);
  if (!m_movie) return;
  Matrix stage = movieToPixels(canvas.width, canvas.height);
  Matrix toPixels = stage * rootMatrix();
  // The movie's background covers its frame, placed as the root is.
  const Rect& f = m_movie->header.frameRect;
  Point corners[4] = {toPixels.apply({float(f.xMin), float(f.yMin)}), toPixels.apply({float(f.xMax), float(f.yMin)}),
                      toPixels.apply({float(f.xMax), float(f.yMax)}), toPixels.apply({float(f.xMin), float(f.yMax)})};
  uint32_t bg = backgroundColor();
  m_renderer.fillPolygon(canvas, corners, 4, Rgba{uint8_t(bg >> 16), uint8_t(bg >> 8), uint8_t(bg), 255});
  if (!m_rootVisible || !m_root) return;
  ColorTransform cx;
  cx.aMult = int16_t(std::clamp(m_rootAlpha * 2.56, -32768.0, 32767.0));
  m_renderer.render(canvas, *m_movie, *m_root, toPixels, cx);
}

}  // namespace swf
