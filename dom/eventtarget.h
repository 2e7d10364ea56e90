#pragma once
// Event targets: every node is one. Listeners are registered per node and
// event type; the node keeps them in registration order.

#include <vector>

#include "dom/domstring.h"

class Event;

// Implemented by whoever wants events; not reference counted: the registrant
// keeps the listener alive while it is registered.
class EventListener {
 public:
  virtual void handleEvent(Event* event) = 0;

 protected:
  ~EventListener() = default;
};

// One registration.
struct ListenerEntry {
  DomString type;
  EventListener* listener;  // not owned
  bool useCapture;
};

using ListenerList = std::vector<ListenerEntry>;

// The first two operations belong to the node's reference counting (queueing a
// node with its document, destroying it); they lead the table so that every
// target can be put away without knowing its kind.
class EventTarget {
 public:
  virtual void queueRelease() = 0;
  virtual void destroy() = 0;
  virtual void addEventListener(const DomString& type, EventListener* listener, bool useCapture) = 0;
  virtual void removeEventListener(const DomString& type, EventListener* listener, bool useCapture) = 0;
  // Answers false when a listener called preventDefault (or the event has no type).
  virtual bool dispatchEvent(Event* event) = 0;

 protected:
  ~EventTarget() = default;
};
