// The mutation events the tree fires: which, where, in what order, and with
// which fields.

#include <gtest/gtest.h>

#include "tests/dom/domtest.h"

namespace {

struct Tree {
  Ref<Document> doc = Document::create();
  Element* root = addElement(doc.get(), "root");
  Element* a = addElement(root, "a");
};

}  // namespace

TEST(MutationEvents, AppendingFiresInsertedThenIntoDocumentThenSubtree) {
  Tree t;
  std::vector<std::string> log;
  Recorder atDocument(&log, "doc ");
  Recorder atNode(&log, "node ");
  Recorder atParent(&log, "parent ");
  t.doc->addEventListener(u"DOMNodeInserted", &atDocument, false);
  t.doc->addEventListener(u"DOMNodeInsertedIntoDocument", &atDocument, false);
  Ref<Element> b = t.doc->createElement(u"b");
  b->addEventListener(u"DOMNodeInserted", &atNode, false);
  b->addEventListener(u"DOMNodeInsertedIntoDocument", &atNode, false);
  t.root->addEventListener(u"DOMSubtreeModified", &atParent, false);
  t.root->appendChild(b.get());
  const std::vector<std::string> expected = {
      "node DOMNodeInserted b@b:2",
      "doc DOMNodeInserted b@#document:3",       // it bubbles
      "node DOMNodeInsertedIntoDocument b@b:2",  // it does not
      "parent DOMSubtreeModified root@root:2",
  };
  EXPECT_EQ(log, expected);
}

TEST(MutationEvents, RemovalEventsComeWhileTheNodeIsStillInPlace) {
  Tree t;
  std::vector<Node*> parentsSeen;
  struct ParentProbe : EventListener {
    std::vector<Node*>* seen;
    void handleEvent(Event* event) override { seen->push_back(event->target()->parentNode()); }
  } probe;
  probe.seen = &parentsSeen;
  t.a->addEventListener(u"DOMNodeRemoved", &probe, false);
  t.a->addEventListener(u"DOMNodeRemovedFromDocument", &probe, false);
  MutationLog log(t.doc.get());
  t.root->removeChild(t.a);
  EXPECT_EQ(parentsSeen, (std::vector<Node*>{t.root, t.root}));
  const std::vector<std::string> expected = {
      "DOMNodeRemoved a related=root",
      "DOMNodeRemovedFromDocument a",
      "DOMSubtreeModified root",
  };
  EXPECT_EQ(log.entries, expected);
}

TEST(MutationEvents, AttributeChangesReportKindNameAndValues) {
  Tree t;
  MutationLog log(t.doc.get());
  t.a->setAttribute(u"fill", u"red");
  t.a->setAttribute(u"fill", u"blue");  // replaces: removal, then addition
  t.a->getAttributeNode(u"fill")->setValue(u"green");
  t.a->removeAttribute(u"fill");
  t.a->removeAttribute(u"fill");  // nothing left
  const std::vector<std::string> expected = {
      "DOMAttrModified a fill 2 ''->'red' related=fill",   "DOMAttrModified a fill 3 'red'->'' related=fill",
      "DOMAttrModified a fill 2 ''->'blue' related=fill",  "DOMAttrModified a fill 1 'blue'->'green' related=fill",
      "DOMAttrModified a fill 3 'green'->'' related=fill",
  };
  EXPECT_EQ(log.entries, expected);
}

TEST(MutationEvents, TheRelatedAttributeIsTheNodeConcerned) {
  Tree t;
  t.a->setAttribute(u"x", u"1");
  Attr* oldNode = t.a->getAttributeNode(u"x");
  std::vector<Node*> related;
  struct Probe : EventListener {
    std::vector<Node*>* related;
    void handleEvent(Event* event) override { related->push_back(static_cast<MutationEvent*>(event)->relatedNode()); }
  } probe;
  probe.related = &related;
  t.a->addEventListener(u"DOMAttrModified", &probe, false);
  t.a->setAttribute(u"x", u"2");
  ASSERT_EQ(related.size(), 2u);
  EXPECT_EQ(related[0], oldNode);
  EXPECT_EQ(related[1], t.a->getAttributeNode(u"x"));
}

TEST(MutationEvents, DetachedAttributesFireNothing) {
  Tree t;
  MutationLog log(t.doc.get());
  Ref<Attr> attr = t.doc->createAttribute(u"x");
  attr->setValue(u"v");
  EXPECT_TRUE(log.entries.empty());
}

TEST(MutationEvents, SuppressedDocumentsFireNothing) {
  Tree t;
  MutationLog log(t.doc.get());
  t.doc->setMutationEventsSuppressed(true);
  addElement(t.a, "b");
  t.a->setAttribute(u"x", u"1");
  t.root->removeChild(t.a);
  EXPECT_TRUE(log.entries.empty());
  t.doc->setMutationEventsSuppressed(false);
  addElement(t.root, "c");
  EXPECT_EQ(log.entries.size(), 3u);
}

TEST(MutationEvents, ListenersOnDetachedSubtreesStillHear) {
  Ref<Document> doc = Document::create();
  Ref<Element> detached = doc->createElement(u"g");
  MutationLog log(detached.get());
  addElement(detached.get(), "rect");
  const std::vector<std::string> expected = {
      "DOMNodeInserted rect related=g",
      "DOMNodeInsertedIntoDocument rect",
      "DOMSubtreeModified g",
  };
  EXPECT_EQ(log.entries, expected);
}

TEST(MutationEvents, EveryEventObjectIsReleasedAfterDispatch) {
  Tree t;
  Event* kept = nullptr;
  struct Keeper : EventListener {
    Event** kept;
    void handleEvent(Event* event) override {
      if (!*kept) {
        *kept = event;
        event->addRef();
      }
    }
  } keeper;
  keeper.kept = &kept;
  t.root->addEventListener(u"DOMSubtreeModified", &keeper, false);
  addElement(t.root, "b");
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->refCount(), 1);  // only the listener's own reference is left
  kept->release();
}

// What a listener finds in the tree when each event arrives: insertion events
// after the whole run is linked, removal events while the node is still in
// place, attribute additions once installed and removals before unlinking.
TEST(MutationEvents, ListenersSeeTheTreeAtTheMomentOfEachEvent) {
  Tree t;
  Element* b = addElement(t.root, "b");
  Element* elsewhere = addElement(b, "moved");
  t.a->setAttribute(u"fill", u"red");
  Attr* oldFill = t.a->getAttributeNode(u"fill");
  Ref<DocumentFragment> fragment = t.doc->createDocumentFragment();
  addElement(fragment.get(), "x");
  addElement(fragment.get(), "y");

  std::vector<std::string> seen;
  struct Snapshot : EventListener {
    std::vector<std::string>* seen;
    Tree* t;
    void handleEvent(Event* event) override {
      auto* mutation = static_cast<MutationEvent*>(event);
      std::string entry = toNarrowAscii(event->type()) + " " + toNarrowAscii(event->target()->nodeName()) + ": root=[" +
                          childNames(t->root) + "]";
      if (event->type() == u"DOMAttrModified") {
        Attr* installed = t->a->getAttributeNode(u"fill");
        entry += installed == mutation->relatedNode() ? " installed" : " detached";
      }
      seen->push_back(entry);
    }
  } snapshot;
  snapshot.seen = &seen;
  snapshot.t = &t;
  for (const char16_t* type : {u"DOMNodeInserted", u"DOMNodeRemoved", u"DOMAttrModified"}) {
    t.doc->addEventListener(type, &snapshot, true);
  }

  t.root->appendChild(fragment.get());
  t.root->replaceChild(elsewhere, t.a);
  // Out of the tree, a's changes no longer reach the document's listeners.
  t.a->setAttribute(u"fill", u"blue");
  EXPECT_EQ(oldFill->ownerElement(), nullptr);
  const std::vector<std::string> expected = {
      // Both fragment children are linked before the first event.
      "DOMNodeInserted x: root=[a b x y]",
      "DOMNodeInserted y: root=[a b x y]",
      // The new node leaves its old parent first; the old one is still in place.
      "DOMNodeRemoved moved: root=[a b x y]",
      "DOMNodeRemoved a: root=[a b x y]",
      "DOMNodeInserted moved: root=[moved b x y]",
  };
  EXPECT_EQ(seen, expected);

  // On an element in the tree, a replaced attribute is still installed when
  // its removal is told, and the new one when its addition is.
  seen.clear();
  Element* m = static_cast<Element*>(t.root->firstChild());
  m->setAttribute(u"fill", u"red");
  Attr* first = m->getAttributeNode(u"fill");
  std::vector<std::string> attrSeen;
  struct AttrSnapshot : EventListener {
    std::vector<std::string>* seen;
    Element* element;
    void handleEvent(Event* event) override {
      auto* mutation = static_cast<MutationEvent*>(event);
      seen->push_back(std::to_string(mutation->attrChange()) +
                      (element->getAttributeNode(u"fill") == mutation->relatedNode() ? " installed" : " detached"));
    }
  } attrSnapshot;
  attrSnapshot.seen = &attrSeen;
  attrSnapshot.element = m;
  m->addEventListener(u"DOMAttrModified", &attrSnapshot, false);
  m->setAttribute(u"fill", u"blue");
  m->removeAttribute(u"fill");
  EXPECT_EQ(first->ownerElement(), nullptr);
  EXPECT_EQ(attrSeen, (std::vector<std::string>{"3 installed", "2 installed", "3 installed"}));
}

// Mutation events are skipped when nobody could hear them; a listener must be
// heard wherever its node goes: into another document, or past its document's end.
TEST(MutationEvents, ListenersAreHeardAfterTheirNodeMoves) {
  Ref<Document> first = Document::create();
  Ref<Document> second = Document::create();
  Element* secondRoot = addElement(second.get(), "root");
  Ref<Element> traveller = first->createElement(u"g");
  MutationLog log(traveller.get());
  ASSERT_TRUE(traveller->setOwnerDocument(second.get()));
  ASSERT_EQ(secondRoot->appendChild(traveller.get()), traveller.get());
  addElement(traveller.get(), "rect");
  EXPECT_EQ(log.entries, (std::vector<std::string>{"DOMNodeInserted g related=root", "DOMNodeInsertedIntoDocument g",
                                                   "DOMNodeInserted rect related=g", "DOMNodeInsertedIntoDocument rect",
                                                   "DOMSubtreeModified g"}));
  // The first document has no listeners left: its changes cost nothing, and
  // the traveller's log hears none of them.
  log.entries.clear();
  addElement(addElement(first.get(), "other"), "child");
  EXPECT_TRUE(log.entries.empty());

  // Orphaned by its document, the node still hears its own attributes change.
  traveller->setAttribute(u"id", u"t");
  Ref<Element> kept(traveller.get());
  log.entries.clear();
  secondRoot = nullptr;
  second = Ref<Document>();
  ASSERT_EQ(kept->ownerDocument(), nullptr);
  kept->getAttributeNode(u"id")->setValue(u"u");
  EXPECT_EQ(log.entries, (std::vector<std::string>{"DOMAttrModified g id 1 't'->'u' related=id"}));
}
