// Event flow: capture, target and bubble phases, the listener walk with its
// called-once rule, stopping and canceling, and the event objects.

#include <gtest/gtest.h>

#include <functional>

#include "dom/domimplementation.h"
#include "tests/dom/domtest.h"

namespace {

struct Path {
  Ref<Document> doc = Document::create();
  Element* root = addElement(doc.get(), "root");
  Element* parent = addElement(root, "parent");
  Element* child = addElement(parent, "child");
};

Ref<Event> makeEvent(const char16_t* type, bool bubbles = true) {
  Ref<Event> event = Event::create();
  event->initEvent(type, bubbles, true);
  return event;
}

// Runs a function when called, then records like a Recorder.
class Scripted : public EventListener {
 public:
  Scripted(std::vector<std::string>* log, std::string tag, std::function<void(Event*)> action)
      : m_recorder(log, std::move(tag)), m_action(std::move(action)) {}
  void handleEvent(Event* event) override {
    m_recorder.handleEvent(event);
    if (m_action) m_action(event);
  }

 private:
  Recorder m_recorder;
  std::function<void(Event*)> m_action;
};

}  // namespace

TEST(EventFlow, CaptureThenTargetThenBubble) {
  Path p;
  std::vector<std::string> log;
  Recorder capture(&log, "c "), bubble(&log, "b ");
  for (Node* n : std::initializer_list<Node*>{p.doc.get(), p.root, p.parent, p.child}) {
    n->addEventListener(u"click", &capture, true);
    n->addEventListener(u"click", &bubble, false);
  }
  Ref<Event> event = makeEvent(u"click");
  EXPECT_TRUE(p.child->dispatchEvent(event.get()));
  const std::vector<std::string> expected = {
      "c click child@#document:1", "c click child@root:1",   "c click child@parent:1", "c click child@child:2",
      "b click child@child:2",     "b click child@parent:3", "b click child@root:3",   "b click child@#document:3",
  };
  EXPECT_EQ(log, expected);
  EXPECT_EQ(event->target(), p.child);

  log.clear();
  Ref<Event> quiet = makeEvent(u"click", false);
  p.child->dispatchEvent(quiet.get());
  EXPECT_EQ(log.size(), 5u);  // three captures, both listeners at the target, no bubbling
}

TEST(EventFlow, ACaptureListenerHearsItsTargetAndDescendantsButNotBubbling) {
  Path p;
  std::vector<std::string> log;
  Recorder capture(&log);
  p.parent->addEventListener(u"click", &capture, true);
  Ref<Event> atParent = makeEvent(u"click");
  p.parent->dispatchEvent(atParent.get());
  Ref<Event> atChild = makeEvent(u"click");
  p.child->dispatchEvent(atChild.get());
  const std::vector<std::string> expected = {"click parent@parent:2", "click child@parent:1"};
  EXPECT_EQ(log, expected);
}

TEST(EventFlow, NonBubblingEventsStopAtTheTarget) {
  Path p;
  std::vector<std::string> log;
  Recorder capture(&log, "c "), bubble(&log, "b ");
  p.root->addEventListener(u"focus", &capture, true);
  p.root->addEventListener(u"focus", &bubble, false);
  p.child->addEventListener(u"focus", &bubble, false);
  Ref<Event> event = makeEvent(u"focus", false);
  p.child->dispatchEvent(event.get());
  const std::vector<std::string> expected = {"c focus child@root:1", "b focus child@child:2"};
  EXPECT_EQ(log, expected);
}

TEST(EventFlow, OnlyTheEventsTypeIsHeard) {
  Path p;
  std::vector<std::string> log;
  Recorder r(&log);
  p.child->addEventListener(u"mouseup", &r, false);
  p.child->addEventListener(u"MOUSEDOWN", &r, false);
  Ref<Event> event = makeEvent(u"mousedown");
  p.child->dispatchEvent(event.get());
  EXPECT_TRUE(log.empty());
}

TEST(ListenerWalk, AListenerRemovingItselfSkipsNobody) {
  Path p;
  std::vector<std::string> log;
  Recorder second(&log, "second "), third(&log, "third ");
  Scripted* selfPtr = nullptr;
  Scripted self(&log, "first ", [&](Event*) { p.child->removeEventListener(u"click", selfPtr, false); });
  selfPtr = &self;
  p.child->addEventListener(u"click", &self, false);
  p.child->addEventListener(u"click", &second, false);
  p.child->addEventListener(u"click", &third, false);
  Ref<Event> event = makeEvent(u"click");
  p.child->dispatchEvent(event.get());
  const std::vector<std::string> expected = {"first click child@child:2", "second click child@child:2",
                                             "third click child@child:2"};
  EXPECT_EQ(log, expected);
  log.clear();
  Ref<Event> again = makeEvent(u"click");
  p.child->dispatchEvent(again.get());
  EXPECT_EQ(log.size(), 2u);
}

TEST(ListenerWalk, EachListenerIsCalledOncePerNode) {
  Path p;
  std::vector<std::string> log;
  Recorder twice(&log, "twice ");
  p.child->addEventListener(u"click", &twice, false);
  p.child->addEventListener(u"click", &twice, false);
  p.child->addEventListener(u"click", &twice, true);  // at the target both count
  p.parent->addEventListener(u"click", &twice, false);
  Ref<Event> event = makeEvent(u"click");
  p.child->dispatchEvent(event.get());
  const std::vector<std::string> expected = {"twice click child@child:2", "twice click child@parent:3"};
  EXPECT_EQ(log, expected);

  // Removing takes away the first matching registration only.
  p.child->removeEventListener(u"click", &twice, false);
  p.child->removeEventListener(u"click", &twice, true);
  p.child->removeEventListener(u"click", &twice, true);  // none left: ignored
  log.clear();
  Ref<Event> again = makeEvent(u"click");
  p.child->dispatchEvent(again.get());
  EXPECT_EQ(log, expected);  // one registration still there
}

TEST(ListenerWalk, ListenersAddedDuringDispatchAreCalledInIt) {
  Path p;
  std::vector<std::string> log;
  Recorder late(&log, "late ");
  Scripted adder(&log, "adder ", [&](Event*) {
    p.child->addEventListener(u"click", &late, false);
    p.parent->addEventListener(u"click", &late, false);
  });
  p.child->addEventListener(u"click", &adder, false);
  Ref<Event> event = makeEvent(u"click");
  p.child->dispatchEvent(event.get());
  const std::vector<std::string> expected = {"adder click child@child:2", "late click child@child:2",
                                             "late click child@parent:3"};
  EXPECT_EQ(log, expected);
}

TEST(ListenerWalk, StoppingPropagation) {
  // A stopper and an ordinary listener sit on one node; ordinary listeners are
  // on every node of the path, for both phases.
  enum At { Root, Parent, Child };
  struct Row {
    const char* what;
    At at;
    bool capture;
    std::vector<std::string> expected;
  };
  const Row rows[] = {
      {"at the root in the capture phase", Root, true, {"stopper click child@root:1", "c click child@root:1"}},
      {"at the parent in the capture phase",
       Parent,
       true,
       {"c click child@root:1", "stopper click child@parent:1", "c click child@parent:1"}},
      {"at the target",
       Child,
       false,
       {"c click child@root:1", "c click child@parent:1", "stopper click child@child:2", "c click child@child:2",
        "b click child@child:2"}},
      {"at the parent while bubbling",
       Parent,
       false,
       {"c click child@root:1", "c click child@parent:1", "c click child@child:2", "b click child@child:2",
        "stopper click child@parent:3", "b click child@parent:3"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Path p;
    std::vector<std::string> log;
    Scripted stopper(&log, "stopper ", [](Event* e) { e->stopPropagation(); });
    Recorder capture(&log, "c "), bubble(&log, "b ");
    Node* nodes[] = {p.root, p.parent, p.child};
    nodes[row.at]->addEventListener(u"click", &stopper, row.capture);
    for (Node* n : nodes) {
      n->addEventListener(u"click", &capture, true);
      n->addEventListener(u"click", &bubble, false);
    }
    Ref<Event> event = makeEvent(u"click");
    EXPECT_TRUE(p.child->dispatchEvent(event.get()));  // stopping is not canceling
    EXPECT_EQ(log, row.expected);
  }
}

TEST(ListenerWalk, PreventDefaultMakesDispatchAnswerFalse) {
  Path p;
  std::vector<std::string> log;
  Scripted canceler(&log, "", [](Event* e) { e->preventDefault(); });
  p.root->addEventListener(u"click", &canceler, false);
  Ref<Event> event = makeEvent(u"click");
  EXPECT_FALSE(p.child->dispatchEvent(event.get()));
  EXPECT_TRUE(event->canceled());
  // preventDefault works whether or not the event is cancelable.
  Ref<Event> notCancelable = Event::create();
  notCancelable->initEvent(u"click", true, false);
  EXPECT_FALSE(p.child->dispatchEvent(notCancelable.get()));
  // initEvent clears both flags.
  event->stopPropagation();
  event->initEvent(u"click", true, true);
  EXPECT_FALSE(event->canceled());
  EXPECT_FALSE(event->propagationStopped());
}

TEST(ListenerWalk, AnEventWithoutTypeIsNotDispatched) {
  Path p;
  std::vector<std::string> log;
  Recorder r(&log);
  p.child->addEventListener(u"", &r, false);
  Ref<Event> event = Event::create();
  EXPECT_FALSE(p.child->dispatchEvent(event.get()));
  EXPECT_FALSE(p.child->dispatchEvent(nullptr));
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(event->target(), nullptr);
}

TEST(ListenerWalk, AListenerMayDismantleTheTreeDuringDispatch) {
  Path p;
  std::vector<std::string> log;
  Recorder r(&log);
  Scripted remover(&log, "remover ", [&](Event*) {
    p.root->removeChild(p.parent);
    p.doc->flushReleaseQueue();
  });
  p.child->addEventListener(u"click", &remover, false);
  p.parent->addEventListener(u"click", &r, false);
  p.root->addEventListener(u"click", &r, false);
  Ref<Event> event = makeEvent(u"click");
  p.child->dispatchEvent(event.get());
  // The path was fixed when the dispatch began.
  const std::vector<std::string> expected = {"remover click child@child:2", "click child@parent:3",
                                             "click child@root:3"};
  EXPECT_EQ(log, expected);
}

TEST(Events, NewEventsAndTheirDefaults) {
  Ref<Event> event = Event::create();
  EXPECT_EQ(event->type(), u"");
  EXPECT_TRUE(event->bubbles());
  EXPECT_TRUE(event->cancelable());
  EXPECT_EQ(event->eventPhase(), Event::CAPTURING_PHASE);
  EXPECT_EQ(event->timeStamp(), 0u);
  EXPECT_EQ(event->refCount(), 1);

  Ref<Document> doc = Document::create();
  Ref<Element> related = doc->createElement(u"rel");
  Ref<MouseEvent> mouse = MouseEvent::create();
  mouse->initMouseEvent(u"mousedown", true, true, nullptr, 1, 10, 20, 30, 40,
                        /*ctrl*/ true, /*alt*/ false, /*shift*/ true, /*meta*/ false, 65535, related.get());
  EXPECT_EQ(mouse->type(), u"mousedown");
  EXPECT_EQ(mouse->detail(), 1);
  EXPECT_EQ(mouse->view(), nullptr);
  EXPECT_EQ(mouse->screenX(), 10);
  EXPECT_EQ(mouse->screenY(), 20);
  EXPECT_EQ(mouse->clientX(), 30);
  EXPECT_EQ(mouse->clientY(), 40);
  EXPECT_TRUE(mouse->ctrlKey());
  EXPECT_FALSE(mouse->altKey());
  EXPECT_TRUE(mouse->shiftKey());
  EXPECT_FALSE(mouse->metaKey());
  EXPECT_EQ(mouse->button(), 65535);
  EXPECT_EQ(mouse->relatedTarget(), related.get());

  Ref<MutationEvent> mutation = MutationEvent::create();
  mutation->initMutationEvent(u"DOMAttrModified", true, false, related.get(), u"old", u"new", u"fill",
                              MutationEvent::MODIFICATION);
  EXPECT_EQ(mutation->relatedNode(), related.get());
  EXPECT_EQ(mutation->prevValue(), u"old");
  EXPECT_EQ(mutation->newValue(), u"new");
  EXPECT_EQ(mutation->attrName(), u"fill");
  EXPECT_EQ(mutation->attrChange(), 1);
  EXPECT_FALSE(mutation->cancelable());
}

TEST(Events, CreateEventKnowsExactlyTheSevenMutationTypes) {
  Ref<Document> doc = Document::create();
  for (const char16_t* type :
       {u"DOMSubtreeModified", u"DOMNodeInserted", u"DOMNodeRemoved", u"DOMNodeRemovedFromDocument",
        u"DOMNodeInsertedIntoDocument", u"DOMAttrModified", u"DOMCharacterDataModified"}) {
    SCOPED_TRACE(toNarrowAscii(type));
    Ref<Event> event = doc->createEvent(type);
    ASSERT_TRUE(event);
    auto* mutation = dynamic_cast<MutationEvent*>(event.get());
    ASSERT_NE(mutation, nullptr);
    EXPECT_EQ(event->type(), type);
    EXPECT_TRUE(event->bubbles());
    EXPECT_FALSE(event->cancelable());
    EXPECT_EQ(mutation->relatedNode(), nullptr);
  }
  for (const char16_t* type : {u"MutationEvents", u"MutationEvent", u"Events", u"MouseEvents", u"UIEvents",
                               u"domnodeinserted", u"", u"click"}) {
    SCOPED_TRACE(toNarrowAscii(type));
    EXPECT_FALSE(doc->createEvent(type));
  }
}

TEST(Events, HasFeatureAnswersTrueForSixPairsOnly) {
  struct Row {
    const char16_t* feature;
    const char16_t* version;
    bool expected;
  };
  const Row rows[] = {
      {u"XML", u"1.0", true},          {u"xml", u"1.0", true},    {u"Xml", u"1.0", true},
      {u"Core", u"2.0", true},         {u"Events", u"2.0", true}, {u"MutationEvents", u"2.0", true},
      {u"XML", u"2.0", false},         {u"Core", u"1.0", false},  {u"Core", u"", false},
      {u"xML", u"1.0", false},         {u"HTML", u"1.0", false},  {u"Events", u"2", false},
      {u"MouseEvents", u"2.0", false}, {u"", u"", false},
  };
  Ref<Document> doc = Document::create();
  for (const Row& row : rows) {
    SCOPED_TRACE(toNarrowAscii(row.feature) + " " + toNarrowAscii(row.version));
    EXPECT_EQ(DOMImplementation::instance()->hasFeature(row.feature, row.version), row.expected);
    EXPECT_EQ(doc->isSupported(row.feature, row.version), row.expected);
  }
}
