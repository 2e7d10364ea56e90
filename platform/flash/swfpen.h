#pragma once
// The pen over a movie's buttons: which button it is over or pressed on,
// the state each shows, and the transitions whose actions run. The pen is
// the mouse: pressing inside shows the down state, moving out while pressed
// the up state, and releasing inside is the click.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/flash/swfbuttoninstance.h"
#include "platform/flash/swftimeline.h"

namespace swf {

// A button reached from the root: the depths of the sprites that hold it,
// then its own depth.
using ButtonPath = std::vector<uint16_t>;

struct ButtonTarget {
  TimelineInstance* parent = nullptr;  // the timeline whose display list holds the button
  ButtonInstance* button = nullptr;
};

// The topmost button whose hit-test area lies under `pixel`, when `toPixels`
// maps the root's twips to pixels.
std::optional<ButtonPath> findButton(const TimelineInstance& root, const Matrix& toPixels, Point pixel);
// The button at `path`, or nulls when it is no longer there.
ButtonTarget resolveButton(TimelineInstance& root, const ButtonPath& path);

class PenTracker {
 public:
  // Called for each transition a button makes (a ButtonCondition bit):
  // where the button's actions for it run.
  using TransitionHandler = std::function<void(const ButtonTarget&, uint16_t condition)>;

  void move(TimelineInstance& root, const Matrix& toPixels, Point pixel, const TransitionHandler& handler);
  void down(TimelineInstance& root, const Matrix& toPixels, Point pixel, const TransitionHandler& handler);
  void up(TimelineInstance& root, const Matrix& toPixels, Point pixel, const TransitionHandler& handler);
  void reset();
  bool pressed() const { return m_pressed.has_value(); }

 private:
  void show(TimelineInstance& root, const ButtonPath& path, uint8_t state, uint16_t condition,
            const TransitionHandler& handler);

  std::optional<ButtonPath> m_over;     // the button shown over, or pressed
  std::optional<ButtonPath> m_pressed;  // the button the pen went down on
  bool m_pressedInside = false;
};

}  // namespace swf
