#pragma once
// The skin view's queue of pointer events, first in first out. The lock is
// taken only around changes and looks, never around dispatch, so a listener
// may post further events while one is being dispatched; they are handled
// in the same drain, after those already queued.

#include <cstddef>

#include "base/pointerlist.h"
#include "dom/event.h"
#include "platform/core/winbase.h"

class EventQueue {
 public:
  EventQueue();
  ~EventQueue();
  EventQueue(const EventQueue&) = delete;
  EventQueue& operator=(const EventQueue&) = delete;

  // The queue holds a reference to the event and to its target until the
  // event is dispatched; a missing event is ignored.
  void post(Event* event);
  // Dispatches every queued event to its target (an event without one is
  // dropped undispatched) and releases it.
  void drain();

  std::size_t count() const { return m_events.count(); }
  std::size_t capacity() const { return m_events.capacity(); }

 private:
  Event* first();
  Event* takeFirst();

  CRITICAL_SECTION m_lock;
  PointerList<Event> m_events;  // each entry holds one reference
};
