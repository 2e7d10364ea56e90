#include "platform/flash/swfbuttoninstance.h"

#include <algorithm>

#include "platform/flash/swfraster.h"

namespace swf {

ButtonInstance::ButtonInstance(const ButtonDef& def, PlayContext& context, int nesting)
    : m_def(def), m_context(context), m_nesting(nesting) {
  build();
}

ButtonInstance::~ButtonInstance() { clear(); }

void ButtonInstance::clear() {
  m_context.liveObjects -= std::min(m_context.liveObjects, m_displayList.size());
  m_displayList.clear();
}

void ButtonInstance::build() {
  clear();
  for (const ButtonRecord& record : m_def.records) {
    if (!(record.states & m_state) || m_context.liveObjects >= m_context.limits.maxObjects) continue;
    if (m_displayList.count(record.depth)) continue;
    DisplayObject& object = m_displayList[record.depth];
    ++m_context.liveObjects;
    object.characterId = record.characterId;
    object.matrix = record.matrix;
    object.colorTransform = record.colorTransform;
    object.blendMode = record.blendMode;
    instantiate(object, m_context, m_nesting);
  }
  m_context.changed = true;
}

void ButtonInstance::setState(uint8_t state) {
  if (state == m_state) return;
  m_state = state;
  build();
}

void ButtonInstance::tick() {
  for (auto& [depth, object] : m_displayList) {
    if (object.sprite) object.sprite->tick(true);
    if (object.button) object.button->tick();
  }
}

namespace {

// Crossings of a ray to the right of `p`, signed by direction.
int winding(Point a, Point b, Point p) {
  if ((a.y <= p.y) == (b.y <= p.y)) return 0;
  float x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
  if (x <= p.x) return 0;
  return b.y > a.y ? 1 : -1;
}

}  // namespace

bool shapeContains(const ShapeDef& shape, Point p) {
  for (const std::vector<Edge>& edges : shape.fillEdges) {
    int count = 0;
    for (const Edge& e : edges) {
      if (!e.curved) {
        count += winding(e.from, e.to, p);
        continue;
      }
      int n = curveSegments(e.from, e.control, e.to);
      Point previous = e.from;
      for (int i = 1; i <= n; ++i) {
        float t = float(i) / float(n), u = 1 - t;
        Point q{u * u * e.from.x + 2 * u * t * e.control.x + t * t * e.to.x,
                u * u * e.from.y + 2 * u * t * e.control.y + t * t * e.to.y};
        count += winding(previous, q, p);
        previous = q;
      }
    }
    if (count != 0) return true;
  }
  return false;
}

bool ButtonInstance::hitTest(Point point) const {
  for (const ButtonRecord& record : m_def.records) {
    if (!(record.states & kButtonHitTest)) continue;
    Matrix inverse;
    if (!record.matrix.invert(inverse)) continue;
    Point local = inverse.apply(point);
    const Character* c = m_context.movie->character(record.characterId);
    if (!c) continue;
    if (c->kind == CharacterKind::Shape && shapeContains(*c->shape, local)) return true;
    if (c->kind == CharacterKind::Text || c->kind == CharacterKind::EditText || c->kind == CharacterKind::Sprite) {
      // Areas that are not shapes answer for their bounds.
      Rect r = c->kind == CharacterKind::Text       ? c->text->bounds
               : c->kind == CharacterKind::EditText ? c->editText->bounds
                                                    : Rect{};
      if (c->kind == CharacterKind::Sprite) {
        for (const FrameDef& frame : c->sprite->frames)
          for (const DisplayCommand& command : frame.commands) {
            if (command.kind != DisplayCommand::Kind::Place || !command.place.characterId) continue;
            const Character* inner = m_context.movie->character(*command.place.characterId);
            Matrix m = command.place.matrix.value_or(Matrix{}), mi;
            if (inner && inner->kind == CharacterKind::Shape && m.invert(mi) &&
                shapeContains(*inner->shape, mi.apply(local)))
              return true;
          }
        continue;
      }
      if (local.x >= float(r.xMin) && local.x <= float(r.xMax) && local.y >= float(r.yMin) && local.y <= float(r.yMax))
        return true;
    }
  }
  return false;
}

}  // namespace swf
