#include "render/eventqueue.h"

#include "dom/node.h"

namespace {

class Locked {
 public:
  explicit Locked(CRITICAL_SECTION& lock) : m_lock(lock) { EnterCriticalSection(&m_lock); }
  ~Locked() { LeaveCriticalSection(&m_lock); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  CRITICAL_SECTION& m_lock;
};

// A queued event keeps its target alive too: a listener may replace the
// whole document while later events still wait.
void releaseQueued(Event* event) {
  if (Node* target = event->target()) target->release();
  event->release();
}

}  // namespace

EventQueue::EventQueue() { InitializeCriticalSection(&m_lock); }

EventQueue::~EventQueue() {
  for (Event* event : m_events) releaseQueued(event);
  m_events.clear();
  DeleteCriticalSection(&m_lock);
}

void EventQueue::post(Event* event) {
  if (!event) return;
  Locked locked(m_lock);
  event->addRef();
  if (Node* target = event->target()) target->addRef();
  if (!m_events.add(event)) releaseQueued(event);
}

Event* EventQueue::first() {
  Locked locked(m_lock);
  return m_events[0];
}

Event* EventQueue::takeFirst() {
  Locked locked(m_lock);
  Event* event = m_events[0];
  m_events.removeAt(0);
  return event;
}

void EventQueue::drain() {
  for (Event* event = first(); event; event = first()) {
    takeFirst();
    if (Node* target = event->target()) target->dispatchEvent(event);
    releaseQueued(event);
  }
  Locked locked(m_lock);
  m_events.clear();
}
