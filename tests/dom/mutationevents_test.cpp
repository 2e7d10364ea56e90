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
      "doc DOMNodeInserted b@#document:3",  // it bubbles
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
      "DOMAttrModified a fill 2 ''->'red' related=fill",
      "DOMAttrModified a fill 3 'red'->'' related=fill",
      "DOMAttrModified a fill 2 ''->'blue' related=fill",
      "DOMAttrModified a fill 1 'blue'->'green' related=fill",
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
    void handleEvent(Event* event) override {
      related->push_back(static_cast<MutationEvent*>(event)->relatedNode());
    }
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
