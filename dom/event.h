#pragma once
// DOM events: the plain event, UI and mouse events (made by the skin view from
// pen input) and mutation events (fired by the document model itself). Events
// are reference counted; whoever fires one releases it after dispatch.

#include <cstdint>

#include "base/refcounted.h"
#include "dom/domstring.h"

class Node;
class AbstractView;  // views do not exist here; the field is always none

class Event : public RefCounted {
 public:
  enum PhaseType : unsigned short {
    CAPTURING_PHASE = 1,
    AT_TARGET = 2,
    BUBBLING_PHASE = 3,
  };

  // An event with an empty type that bubbles and is cancelable.
  static Ref<Event> create();

  const DomString& type() const { return m_type; }
  Node* target() const { return m_target; }
  Node* currentTarget() const { return m_currentTarget; }
  unsigned short eventPhase() const { return m_eventPhase; }
  bool bubbles() const { return m_bubbles; }
  bool cancelable() const { return m_cancelable; }
  std::uint64_t timeStamp() const { return 0; }

  void stopPropagation() { m_propagationStopped = true; }
  // Marks the event canceled whether or not it is cancelable.
  void preventDefault() { m_canceled = true; }
  void initEvent(const DomString& type, bool canBubble, bool cancelable);

  bool canceled() const { return m_canceled; }
  bool propagationStopped() const { return m_propagationStopped; }

  // Set by dispatch, and by the skin view before it queues a pointer event.
  void setTarget(Node* target) { m_target = target; }
  void setCurrentTarget(Node* node) { m_currentTarget = node; }
  void setEventPhase(unsigned short phase) { m_eventPhase = phase; }

 protected:
  Event() = default;

 private:
  DomString m_type;
  Node* m_target = nullptr;         // not owned
  Node* m_currentTarget = nullptr;  // not owned
  unsigned short m_eventPhase = CAPTURING_PHASE;
  bool m_bubbles = true;
  bool m_cancelable = true;
  bool m_canceled = false;
  bool m_propagationStopped = false;
};

class UIEvent : public Event {
 public:
  static Ref<UIEvent> create();

  AbstractView* view() const { return m_view; }
  std::int32_t detail() const { return m_detail; }
  void initUIEvent(const DomString& type, bool canBubble, bool cancelable, AbstractView* view, std::int32_t detail);

 protected:
  UIEvent() = default;

 private:
  AbstractView* m_view = nullptr;
  std::int32_t m_detail = 0;
};

class MouseEvent : public UIEvent {
 public:
  static Ref<MouseEvent> create();

  std::int32_t screenX() const { return m_screenX; }
  std::int32_t screenY() const { return m_screenY; }
  std::int32_t clientX() const { return m_clientX; }
  std::int32_t clientY() const { return m_clientY; }
  bool ctrlKey() const { return m_ctrlKey; }
  bool shiftKey() const { return m_shiftKey; }
  bool altKey() const { return m_altKey; }
  bool metaKey() const { return m_metaKey; }
  unsigned short button() const { return m_button; }
  Node* relatedTarget() const { return m_relatedTarget; }

  void initMouseEvent(const DomString& type, bool canBubble, bool cancelable, AbstractView* view, std::int32_t detail,
                      std::int32_t screenX, std::int32_t screenY, std::int32_t clientX, std::int32_t clientY,
                      bool ctrlKey, bool altKey, bool shiftKey, bool metaKey, unsigned short button,
                      Node* relatedTarget);

 protected:
  MouseEvent() = default;

 private:
  std::int32_t m_screenX = 0;
  std::int32_t m_screenY = 0;
  std::int32_t m_clientX = 0;
  std::int32_t m_clientY = 0;
  bool m_ctrlKey = false;
  bool m_shiftKey = false;
  bool m_altKey = false;
  bool m_metaKey = false;
  unsigned short m_button = 0;
  Node* m_relatedTarget = nullptr;  // not owned
};

class MutationEvent : public Event {
 public:
  enum AttrChangeType : unsigned short {
    MODIFICATION = 1,
    ADDITION = 2,
    REMOVAL = 3,
  };

  static Ref<MutationEvent> create();

  const DomString& prevValue() const { return m_prevValue; }
  const DomString& newValue() const { return m_newValue; }
  const DomString& attrName() const { return m_attrName; }
  unsigned short attrChange() const { return m_attrChange; }
  Node* relatedNode() const { return m_relatedNode; }

  void initMutationEvent(const DomString& type, bool canBubble, bool cancelable, Node* relatedNode,
                         const DomString& prevValue, const DomString& newValue, const DomString& attrName,
                         unsigned short attrChange);

 protected:
  MutationEvent() = default;

 private:
  DomString m_prevValue;
  DomString m_newValue;
  DomString m_attrName;
  unsigned short m_attrChange = 0;
  Node* m_relatedNode = nullptr;  // not owned
};
