// The skin's agreed elements as the player's buttons, sliders and text: pen
// events on them become movie commands, and the player keeps them in step
// with the movie (thumbs, faces, the movie's name).

#include <algorithm>
#include <span>
#include <string>

#include "app/moviearithmetic.h"
#include "app/player.h"
#include "app/skinbinding.h"
#include "dom/characterdata.h"
#include "dom/event.h"
#include "flashhost/flashcontrol.h"
#include "platform/core/mmsystem.h"
#include "platform/gdi/gdiguards.h"
#include "platform/gdi/wingdi.h"
#include "render/svgelement.h"

namespace {

constexpr char16_t kSeekBar[] = u"seekBar";
constexpr char16_t kSeekThumb[] = u"seekThumb";
constexpr char16_t kVolumeBar[] = u"volumeBar";
constexpr char16_t kVolumeThumb[] = u"volumeThumb";

int truncated(float value) { return static_cast<int>(value); }
int widthOf(const SVGElement* e) { return truncated(e->boxRight() - e->boxLeft()); }

// The movie's name: the last path component without its extension.
WideString movieTitle(const WideString& path) {
  size_t slash = path.rfind(u'\\');
  WideString name = slash == WideString::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind(u'.');
  if (dot != WideString::npos) name.erase(dot);
  return name;
}

DWORD waveVolume() {
  DWORD channels = 0;
  if (waveOutGetVolume(nullptr, &channels) != MMSYSERR_NOERROR) return 0;
  return volumeOf(channels);
}

}  // namespace

namespace {

enum SkinEvent : unsigned { kClick = 1, kMouseDown = 2, kMouseMove = 4, kMouseUp = 8 };

struct SkinEventType {
  SkinEvent bit;
  const char16_t* type;
};
constexpr SkinEventType kSkinEventTypes[] = {
    {kClick, u"click"}, {kMouseDown, u"mousedown"}, {kMouseMove, u"mousemove"}, {kMouseUp, u"mouseup"}};

constexpr unsigned kButtonEvents = kClick | kMouseDown;
constexpr unsigned kSliderEvents = kMouseMove | kMouseUp;

}  // namespace

std::span<const SkinBinding> Player::skinBindings() {
  static constexpr SkinBinding kBindings[] = {
      {u"playPause", kButtonEvents, kButtonEvents, [](Player& p, int) { p.playPause(); }, nullptr, false},
      {u"play", kButtonEvents, kButtonEvents, [](Player& p, int) { p.play(); }, nullptr, true},
      {u"pause", kButtonEvents, kButtonEvents, [](Player& p, int) { p.pause(); }, nullptr, true},
      {u"stop", kButtonEvents, kButtonEvents, [](Player& p, int) { p.stop(); }, nullptr, true},
      {u"prev", kButtonEvents, kButtonEvents,
       [](Player& p, int) { PostMessageW(p.m_mainWindow, kPreviousMovieMessage, 0, 0); }, nullptr, true},
      {u"next", kButtonEvents, kButtonEvents,
       [](Player& p, int) { PostMessageW(p.m_mainWindow, kNextMovieMessage, 0, 0); }, nullptr, true},
      {u"fullscreen", kButtonEvents, kButtonEvents,
       [](Player& p, int) {
         if (p.movieLoaded()) p.enterFullScreen();
       },
       nullptr, true},
      {kSeekBar, kSliderEvents | kClick, 0, [](Player& p, int x) { p.seekBarClicked(x); },
       [](Player& p, int x, int) { p.placeThumb(kSeekThumb, p.thumbClamp(kSeekBar, kSeekThumb, x)); }, false},
      {kSeekThumb, kSliderEvents, kSliderEvents, nullptr, [](Player& p, int x, int y) { p.seekThumbDragged(x, y); },
       false},
      {kVolumeBar, kSliderEvents | kClick, kClick, nullptr, [](Player& p, int x, int) { p.volumeBarMoved(x); }, false},
      {kVolumeThumb, kSliderEvents, kSliderEvents, nullptr, [](Player& p, int x, int y) { p.volumeThumbDragged(x, y); },
       false},
  };
  return kBindings;
}

const SkinBinding* Player::skinBinding(WideStringView id) {
  for (const SkinBinding& binding : skinBindings())
    if (id == binding.id) return &binding;
  return nullptr;
}

SVGElement* Player::element(WideStringView id) const {
  SVGDocument* document = m_view ? m_view->document() : nullptr;
  if (!document) return nullptr;
  return asSVGElement(document->getElementById(DomString(id)));
}

void Player::registerSkinListeners() {
  SVGDocument* document = m_view ? m_view->document() : nullptr;
  if (!document) return;
  for (const SkinBinding& binding : skinBindings()) {
    SVGElement* e = element(binding.id);
    if (!e) continue;
    for (const SkinEventType& event : kSkinEventTypes)
      if (binding.events & event.bit) e->addEventListener(event.type, this, (binding.captured & event.bit) != 0);
  }
  if (Element* root = document->documentElement()) root->addEventListener(u"mouseup", this, true);
}

void Player::handleEvent(Event* event) {
  if (!event || !m_view || !m_view->document()) return;
  auto* target = dynamic_cast<Element*>(event->currentTarget());
  if (!target) return;
  const WideString id = target->getAttribute(u"id");
  const DomString& type = event->type();
  auto* mouse = dynamic_cast<MouseEvent*>(event);
  if (type == u"click") {
    clicked(id, mouse ? mouse->clientX() : 0);
  } else if (type == u"mousemove") {
    if (mouse && mouse->button() == 0) penMoved(id, mouse->clientX(), mouse->clientY());
  } else if (type == u"mousedown") {
    penPressed(id, target);
  } else if (type == u"mouseup") {
    penReleased(id, target);
  }
}

void Player::clicked(const WideString& id, int x) {
  const SkinBinding* binding = skinBinding(id);
  if (binding && binding->click) binding->click(*this, x);
}

void Player::penMoved(const WideString& id, int x, int y) {
  const SkinBinding* binding = skinBinding(id);
  if (!binding || !binding->move) return;
  binding->move(*this, x, y);
  m_draggedId = id;
}

void Player::seekBarClicked(int x) {
  placeThumb(kSeekThumb, thumbClamp(kSeekBar, kSeekThumb, x));
  seekToThumb();
}

// The thumb follows the pen's travel from the last move on.
void Player::seekThumbDragged(int x, int y) {
  SVGElement* thumb = element(kSeekThumb);
  if (m_draggedId == kSeekThumb && thumb)
    placeThumb(kSeekThumb,
               thumbClamp(kSeekBar, kSeekThumb, truncated(thumb->boxLeft() - float(m_lastPen.x) + float(x))));
  m_lastPen = POINT{x, y};
}

void Player::volumeBarMoved(int x) {
  placeThumb(kVolumeThumb, thumbClamp(kVolumeBar, kVolumeThumb, x));
  volumeFromThumb();
}

void Player::volumeThumbDragged(int x, int y) {
  SVGElement* thumb = element(kVolumeThumb);
  if (m_draggedId == kVolumeThumb && thumb) {
    placeThumb(kVolumeThumb,
               thumbClamp(kVolumeBar, kVolumeThumb, truncated(thumb->boxLeft() - float(m_lastPen.x) + float(x))));
    volumeFromThumb();
  }
  m_lastPen = POINT{x, y};
}

void Player::penPressed(const WideString& id, Node* target) {
  if (movieLoaded()) {
    const SkinBinding* binding = skinBinding(id);
    if (id == u"playPause")
      showPushedFace(m_playButtonState == kPlayFaceShown ? u"playPause" : u"pause", true);
    else if (binding && binding->faced)
      showPushedFace(id, true);
  }
  m_pushed = target;
}

void Player::penReleased(const WideString& id, Node* target) {
  if (id == kSeekThumb || (id == kSeekBar && m_draggedId == kSeekBar)) seekToThumb();
  SVGDocument* document = m_view->document();
  if (target == document->documentElement() && m_pushed && movieLoaded()) {
    WideString pushedId;
    if (auto* pushed = dynamic_cast<Element*>(m_pushed)) pushedId = pushed->getAttribute(u"id");
    showPushedFace(
        pushedId == u"playPause" && m_playButtonState != kPlayFaceShown ? u"pause" : WideStringView(pushedId), false);
    UpdateWindow(m_mainWindow);
  }
  m_draggedId.clear();
  m_pushed = nullptr;
}

// setAttribute, attributeChanged, the style pass when asked, then refresh.
void Player::changeElement(SVGElement* e, WideStringView name, WideStringView value, bool restyle) {
  if (!e) return;
  DomString attribute(name);
  e->setAttribute(attribute, DomString(value));
  e->attributeChanged(attribute);
  if (restyle) {
    WindowDC screen(nullptr);
    e->computeStyle(screen.get());
  }
  m_view->refresh(e);
}

void Player::setVisibility(WideStringView id, bool visible) {
  changeElement(element(id), u"visibility", visible ? u"visible" : u"hidden", true);
}

void Player::showPushedFace(WideStringView id, bool visible) {
  if (id.empty()) return;
  setVisibility(WideString(id) + u"_pushed", visible);
}

void Player::updatePlayPauseFace() {
  if (!movieLoaded()) return;
  bool playing = controlInteger(u"Playing") != 0;
  if (playing && m_playButtonState == kPlayFaceShown) {
    setVisibility(u"pause", true);
    m_playButtonState = kPauseFaceShown;
  } else if (!playing && m_playButtonState == kPauseFaceShown) {
    setVisibility(u"pause", false);
    m_playButtonState = kPlayFaceShown;
  }
}

// A new skin shows its faces as drawn: set them from the movie whatever the
// state says.
void Player::setPlayPauseFaceFromMovie() {
  bool playing = controlInteger(u"Playing") != 0;
  setVisibility(u"pause", playing);
  m_playButtonState = playing ? kPauseFaceShown : kPlayFaceShown;
}

// Restyled when shown too: without the style pass a movie that fails after
// one that played would leave `gray` hidden.
void Player::showGray(bool visible) { setVisibility(u"gray", visible); }

void Player::updateFileNameText() {
  SVGElement* text = element(u"flashFileName");
  if (!text || !equalsIgnoreCase(text->tagName(), u"text")) return;
  Node* child = text->firstChild();
  if (!child) {
    Ref<Text> empty = m_view->document()->createTextNode(DomString());
    child = text->appendChild(empty.get());
  }
  if (!child || child->nodeType() != Node::TEXT_NODE) return;
  static_cast<CharacterData*>(child)->setData(movieTitle(m_moviePath));
  text->updateTextMetrics();
  m_view->refresh(text);
}

// ---- Thumbs -------------------------------------------------------------------------

int Player::thumbClamp(WideStringView barId, WideStringView thumbId, int x) const {
  SVGElement* bar = element(barId);
  SVGElement* thumb = element(thumbId);
  if (!bar || !thumb) return x;
  if (float(x) < bar->boxLeft()) return truncated(bar->boxLeft());
  float thumbWidth = thumb->boxRight() - thumb->boxLeft();
  if (float(x) > bar->boxRight() - thumbWidth) return truncated(bar->boxRight() - thumbWidth);
  return x;
}

void Player::placeThumb(WideStringView thumbId, int x) {
  SVGElement* thumb = element(thumbId);
  if (!thumb || !element(thumbId == kSeekThumb ? kSeekBar : kVolumeBar)) return;
  changeElement(thumb, u"x", decimalText(x), false);
}

int Player::thumbRange(WideStringView barId, WideStringView thumbId) const {
  SVGElement* bar = element(barId);
  SVGElement* thumb = element(thumbId);
  return bar && thumb ? widthOf(bar) - widthOf(thumb) : 0;
}

int Player::thumbFrame() {
  SVGElement* bar = element(kSeekBar);
  SVGElement* thumb = element(kSeekThumb);
  int range = thumbRange(kSeekBar, kSeekThumb);
  if (!bar || !thumb || range <= 0) return 0;
  long long travel = truncated(thumb->boxLeft()) - truncated(bar->boxLeft());
  return static_cast<int>(totalFrames() * travel / range);
}

void Player::seekToThumb() {
  if (!m_control || !element(kSeekBar) || !element(kSeekThumb)) return;
  gotoFrameKeepingPlaying(thumbFrame());
}

void Player::updateSeekThumb() {
  SVGElement* bar = element(kSeekBar);
  if (!m_control || !bar || !element(kSeekThumb)) return;
  int total = totalFrames();
  long long x = truncated(bar->boxLeft());
  if (total > 0) x += static_cast<long long>(thumbRange(kSeekBar, kSeekThumb)) * currentFrame() / total;
  placeThumb(kSeekThumb, static_cast<int>(x));
}

void Player::volumeFromThumb() {
  SVGElement* bar = element(kVolumeBar);
  SVGElement* thumb = element(kVolumeThumb);
  if (!bar || !thumb) return;
  int range = thumbRange(kVolumeBar, kVolumeThumb);
  DWORD level = 0;
  if (range > 0) {
    long long v =
        (static_cast<long long>(truncated(thumb->boxLeft()) - truncated(bar->boxLeft())) * kMaxVolume) / range;
    level = static_cast<DWORD>(std::min<long long>(std::max<long long>(v, 0) + 255, kMaxVolume));
  }
  waveOutSetVolume(nullptr, bothChannels(level));
}

void Player::updateVolumeThumb() {
  SVGElement* bar = element(kVolumeBar);
  if (!bar || !element(kVolumeThumb)) return;
  long long x = static_cast<long long>(waveVolume()) * thumbRange(kVolumeBar, kVolumeThumb) / kMaxVolume;
  placeThumb(kVolumeThumb, static_cast<int>(x + truncated(bar->boxLeft())));
}
