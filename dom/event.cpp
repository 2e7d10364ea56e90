#include "dom/event.h"

Ref<Event> Event::create() { return Ref<Event>::adopt(new Event); }

void Event::initEvent(const DomString& type, bool canBubble, bool cancelable) {
  m_type = type;
  m_bubbles = canBubble;
  m_cancelable = cancelable;
  m_canceled = false;
  m_propagationStopped = false;
}

Ref<UIEvent> UIEvent::create() { return Ref<UIEvent>::adopt(new UIEvent); }

void UIEvent::initUIEvent(const DomString& type, bool canBubble, bool cancelable, AbstractView* view,
                          std::int32_t detail) {
  initEvent(type, canBubble, cancelable);
  m_view = view;
  m_detail = detail;
}

Ref<MouseEvent> MouseEvent::create() { return Ref<MouseEvent>::adopt(new MouseEvent); }

void MouseEvent::initMouseEvent(const DomString& type, bool canBubble, bool cancelable, AbstractView* view,
                                std::int32_t detail, std::int32_t screenX, std::int32_t screenY, std::int32_t clientX,
                                std::int32_t clientY, bool ctrlKey, bool altKey, bool shiftKey, bool metaKey,
                                unsigned short button, Node* relatedTarget) {
  initUIEvent(type, canBubble, cancelable, view, detail);
  m_screenX = screenX;
  m_screenY = screenY;
  m_clientX = clientX;
  m_clientY = clientY;
  m_ctrlKey = ctrlKey;
  m_altKey = altKey;
  m_shiftKey = shiftKey;
  m_metaKey = metaKey;
  m_button = button;
  m_relatedTarget = relatedTarget;
}

Ref<MutationEvent> MutationEvent::create() { return Ref<MutationEvent>::adopt(new MutationEvent); }

void MutationEvent::initMutationEvent(const DomString& type, bool canBubble, bool cancelable, Node* relatedNode,
                                      const DomString& prevValue, const DomString& newValue, const DomString& attrName,
                                      unsigned short attrChange) {
  initEvent(type, canBubble, cancelable);
  m_relatedNode = relatedNode;
  m_prevValue = prevValue;
  m_newValue = newValue;
  m_attrName = attrName;
  m_attrChange = attrChange;
}
