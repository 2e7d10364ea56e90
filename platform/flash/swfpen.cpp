#include "platform/flash/swfpen.h"

namespace swf {

namespace {

constexpr int kMaxPathLength = 64;

bool findIn(const std::map<Depth, DisplayObject>& list, const Matrix& toPixels, Point pixel, ButtonPath& path) {
  if (path.size() >= size_t(kMaxPathLength)) return false;
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    const DisplayObject& object = it->second;
    if (object.clipDepth) continue;
    Matrix matrix = toPixels * object.matrix;
    path.push_back(it->first);
    if (object.button) {
      Matrix inverse;
      if (matrix.invert(inverse) && object.button->hitTest(inverse.apply(pixel))) return true;
    } else if (object.sprite && findIn(object.sprite->displayList(), matrix, pixel, path)) {
      return true;
    }
    path.pop_back();
  }
  return false;
}

}  // namespace

std::optional<ButtonPath> findButton(const TimelineInstance& root, const Matrix& toPixels, Point pixel) {
  ButtonPath path;
  if (findIn(root.displayList(), toPixels, pixel, path)) return path;
  return std::nullopt;
}

ButtonTarget resolveButton(TimelineInstance& root, const ButtonPath& path) {
  TimelineInstance* timeline = &root;
  for (size_t i = 0; i < path.size(); ++i) {
    auto& list = timeline->displayList();
    auto it = list.find(path[i]);
    if (it == list.end()) return {};
    if (i + 1 == path.size())
      return it->second.button ? ButtonTarget{timeline, it->second.button.get()} : ButtonTarget{};
    if (!it->second.sprite) return {};
    timeline = it->second.sprite.get();
  }
  return {};
}

void PenTracker::show(TimelineInstance& root, const ButtonPath& path, uint8_t state, uint16_t condition,
                      const TransitionHandler& handler) {
  ButtonTarget target = resolveButton(root, path);
  if (!target.button) return;
  target.button->setState(state);
  if (SoundHost* sounds = target.parent->context().sounds)
    for (const ButtonSound& s : target.button->def().sounds)
      if (s.condition == condition) sounds->buttonSound(*target.parent, s.soundId, s.info);
  if (handler) handler(target, condition);
}

void PenTracker::move(TimelineInstance& root, const Matrix& toPixels, Point pixel, const TransitionHandler& handler) {
  std::optional<ButtonPath> hit = findButton(root, toPixels, pixel);
  if (m_pressed) {
    bool inside = hit == m_pressed;
    if (inside != m_pressedInside) {
      m_pressedInside = inside;
      show(root, *m_pressed, inside ? kButtonDown : kButtonUp, inside ? kCondOutDownToOverDown : kCondOverDownToOutDown,
           handler);
    }
    return;
  }
  if (hit == m_over) return;
  if (m_over) show(root, *m_over, kButtonUp, kCondOverUpToIdle, handler);
  m_over = hit;
  if (m_over) show(root, *m_over, kButtonOver, kCondIdleToOverUp, handler);
}

void PenTracker::down(TimelineInstance& root, const Matrix& toPixels, Point pixel, const TransitionHandler& handler) {
  if (m_pressed) up(root, toPixels, pixel, handler);  // a lost release
  move(root, toPixels, pixel, handler);
  if (!m_over) return;
  m_pressed = m_over;
  m_pressedInside = true;
  show(root, *m_pressed, kButtonDown, kCondOverUpToOverDown, handler);
}

void PenTracker::up(TimelineInstance& root, const Matrix& toPixels, Point pixel, const TransitionHandler& handler) {
  if (!m_pressed) return;
  move(root, toPixels, pixel, handler);
  ButtonPath pressed = *m_pressed;
  bool inside = m_pressedInside;
  m_pressed.reset();
  if (inside) {
    show(root, pressed, kButtonOver, kCondOverDownToOverUp, handler);
  } else {
    show(root, pressed, kButtonUp, kCondOutDownToIdle, handler);
    m_over.reset();
    move(root, toPixels, pixel, handler);
  }
}

void PenTracker::reset() {
  m_over.reset();
  m_pressed.reset();
  m_pressedInside = false;
}

}  // namespace swf
