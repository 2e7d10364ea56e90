#pragma once
// A placed button: the state it shows and the objects of that state, built
// from the button's records whenever the state changes.

#include <cstdint>
#include <map>

#include "platform/flash/swfbutton.h"
#include "platform/flash/swftimeline.h"

namespace swf {

class ButtonInstance {
 public:
  // `context` outlives the instance. It starts in the up state.
  ButtonInstance(const ButtonDef& def, PlayContext& context, int nesting);
  ~ButtonInstance();
  ButtonInstance(const ButtonInstance&) = delete;
  ButtonInstance& operator=(const ButtonInstance&) = delete;

  const ButtonDef& def() const { return m_def; }
  uint8_t state() const { return m_state; }  // kButtonUp, kButtonOver or kButtonDown
  void setState(uint8_t state);
  const std::map<Depth, DisplayObject>& displayList() const { return m_displayList; }
  // The sprites of the state shown play on.
  void tick();
  // Whether `point`, in the button's own twips, lies on its hit-test area.
  bool hitTest(Point point) const;

 private:
  void build();
  void clear();

  const ButtonDef& m_def;
  PlayContext& m_context;
  int m_nesting;
  uint8_t m_state = kButtonUp;
  std::map<Depth, DisplayObject> m_displayList;
};

// Whether `point` (twips of the shape) lies inside the shape's fills.
bool shapeContains(const ShapeDef& shape, Point point);

}  // namespace swf
