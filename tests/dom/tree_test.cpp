// Tree mutation: insertion, removal, replacement, fragments, structural
// refusals, cloning, normalizing, and node lifetimes.

#include <gtest/gtest.h>

#include "dom/documentfragment.h"
#include "dom/documenttype.h"
#include "dom/domimplementation.h"
#include "tests/dom/domtest.h"

namespace {

// A document whose elements count their destruction, to see when nodes die.
int g_liveElements = 0;

class TrackedElement : public Element {
 public:
  TrackedElement(Document* doc, const PooledName* name) : Element(doc, name) { ++g_liveElements; }

 protected:
  ~TrackedElement() override { --g_liveElements; }
};

class TrackingDocument : public Document {
 public:
  Ref<Element> createElementByTag(const DomString& tagName) override {
    const PooledName* name = internName(tagName);
    if (!name) return {};
    return Ref<Element>::adopt(new TrackedElement(this, name));
  }
};

Element* addTracked(Node* parent, const char* name) {
  Ref<Element> e = parent->documentForNode()->createElementByTag(toWide(name));
  parent->appendChild(e.get());
  return e.get();
}

struct Tree {
  Ref<Document> doc = Document::create();
  Element* root = addElement(doc.get(), "root");
  Element* a = addElement(root, "a");
  Element* b = addElement(root, "b");
  Element* c = addElement(root, "c");
};

}  // namespace

TEST(TreeMutation, InsertingANodeBeforeItselfChangesNothing) {
  Tree t;
  MutationLog log(t.doc.get());
  EXPECT_EQ(t.root->insertBefore(t.b, t.b), t.b);
  EXPECT_EQ(childNames(t.root), "a b c");
  EXPECT_TRUE(log.entries.empty());
}

TEST(TreeMutation, AppendingAChildOfTheSameParentMovesItToTheEnd) {
  Tree t;
  MutationLog log(t.doc.get());
  EXPECT_EQ(t.root->appendChild(t.a), t.a);
  EXPECT_EQ(childNames(t.root), "b c a");
  EXPECT_EQ(t.a->parentNode(), t.root);
  const std::vector<std::string> expected = {
      "DOMNodeRemoved a related=root",  "DOMNodeRemovedFromDocument a",  "DOMSubtreeModified root",
      "DOMNodeInserted a related=root", "DOMNodeInsertedIntoDocument a", "DOMSubtreeModified root",
  };
  EXPECT_EQ(log.entries, expected);
}

TEST(TreeMutation, InsertBeforePlacesTheNodeAndMovesItFromItsOldParent) {
  Tree t;
  Element* x = addElement(t.a, "x");
  EXPECT_EQ(t.root->insertBefore(x, t.c), x);
  EXPECT_EQ(childNames(t.root), "a b x c");
  EXPECT_EQ(childNames(t.a), "");
  EXPECT_EQ(t.root->insertBefore(t.c, t.a), t.c);
  EXPECT_EQ(childNames(t.root), "c a b x");
  EXPECT_EQ(t.root->firstChild(), t.c);
  EXPECT_EQ(t.root->lastChild(), x);
  EXPECT_EQ(x->previousSibling(), t.b);
  EXPECT_EQ(t.c->previousSibling(), nullptr);
}

TEST(TreeMutation, AFragmentGivesAllItsChildrenInOrder) {
  Tree t;
  Ref<DocumentFragment> fragment = t.doc->createDocumentFragment();
  addElement(fragment.get(), "x");
  addElement(fragment.get(), "y");
  addElement(fragment.get(), "z");
  MutationLog log(t.doc.get());
  EXPECT_EQ(t.root->insertBefore(fragment.get(), t.b), fragment.get());
  EXPECT_EQ(childNames(t.root), "a x y z b c");
  EXPECT_FALSE(fragment->hasChildNodes());
  EXPECT_EQ(t.root->firstChild()->nextSibling()->parentNode(), t.root);
  const std::vector<std::string> expected = {
      "DOMNodeInserted x related=root", "DOMNodeInsertedIntoDocument x",  "DOMNodeInserted y related=root",
      "DOMNodeInsertedIntoDocument y",  "DOMNodeInserted z related=root", "DOMNodeInsertedIntoDocument z",
      "DOMSubtreeModified root",
  };
  EXPECT_EQ(log.entries, expected);

  // The emptied fragment now inserts nothing and leaves the children alone.
  log.entries.clear();
  EXPECT_EQ(t.root->appendChild(fragment.get()), fragment.get());
  EXPECT_EQ(childNames(t.root), "a x y z b c");
  EXPECT_TRUE(log.entries.empty());
}

TEST(TreeMutation, RefusalsAnswerNoneAndChangeNothing) {
  Tree t;
  Ref<Document> other = Document::create();
  Ref<Element> foreign = other->createElement(u"foreign");
  Ref<Element> second = t.doc->createElement(u"second");
  Ref<Attr> attr = t.doc->createAttribute(u"id");
  Ref<Text> text = t.doc->createTextNode(u"t");
  Element* grandchild = addElement(t.a, "g");
  Ref<DocumentFragment> twoElements = t.doc->createDocumentFragment();
  addElement(twoElements.get(), "e1");
  addElement(twoElements.get(), "e2");
  Ref<DocumentFragment> fragmentWithAncestor = t.doc->createDocumentFragment();
  Element* inFragment = addElement(fragmentWithAncestor.get(), "f");

  struct Row {
    const char* what;
    Node* parent;
    Node* newChild;
    Node* refChild;
  };
  const Row rows[] = {
      {"no node", t.root, nullptr, nullptr},
      {"node of another document", t.root, foreign.get(), nullptr},
      {"reference node not a child", t.root, second.get(), grandchild},
      {"node into itself", t.a, t.a, nullptr},
      {"ancestor into its descendant (a cycle)", grandchild, t.root, nullptr},
      {"parent into its child", t.a, t.root, nullptr},
      {"second document element", t.doc.get(), second.get(), nullptr},
      {"fragment of two elements into the document", t.doc.get(), twoElements.get(), nullptr},
      {"fragment into its own descendant", inFragment, fragmentWithAncestor.get(), nullptr},
      {"attribute as a child", t.root, attr.get(), nullptr},
      {"document as a child", t.root, other.get(), nullptr},
      {"text under the document", t.doc.get(), text.get(), nullptr},
      {"attribute node as the reference", t.root, second.get(), attr.get()},
  };
  MutationLog log(t.doc.get());
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(row.parent->insertBefore(row.newChild, row.refChild), nullptr);
  }
  EXPECT_EQ(childNames(t.doc.get()), "root");
  EXPECT_EQ(childNames(t.root), "a b c");
  EXPECT_EQ(childNames(t.a), "g");
  EXPECT_EQ(childNames(twoElements.get()), "e1 e2");
  EXPECT_EQ(second->parentNode(), nullptr);
  EXPECT_TRUE(log.entries.empty());
  // Replacing is refused for the same reasons.
  EXPECT_EQ(t.root->replaceChild(foreign.get(), t.a), nullptr);
  EXPECT_EQ(grandchild->replaceChild(t.root, grandchild->firstChild()), nullptr);
  EXPECT_EQ(t.root->replaceChild(second.get(), grandchild), nullptr);
  EXPECT_EQ(t.root->replaceChild(attr.get(), t.a), nullptr);
  EXPECT_EQ(childNames(t.root), "a b c");
}

TEST(TreeMutation, TheDocumentElementCanBeReplacedOrMoved) {
  Tree t;
  Ref<Element> other = t.doc->createElement(u"other");
  Ref<Comment> comment = t.doc->createComment(u"note");
  EXPECT_NE(t.doc->insertBefore(comment.get(), t.root), nullptr);
  EXPECT_EQ(t.doc->appendChild(t.root), t.root);  // the one element moves
  EXPECT_EQ(childNames(t.doc.get()), "#comment root");
  EXPECT_EQ(t.doc->replaceChild(other.get(), t.root), t.root);
  EXPECT_EQ(t.doc->documentElement(), other.get());
}

TEST(TreeMutation, ReplaceChildPutsTheNewNodeInPlace) {
  Tree t;
  Element* x = addElement(t.c, "x");
  MutationLog log(t.doc.get());
  EXPECT_EQ(t.root->replaceChild(x, t.a), t.a);
  EXPECT_EQ(childNames(t.root), "x b c");
  EXPECT_EQ(childNames(t.c), "");
  EXPECT_EQ(t.a->parentNode(), nullptr);
  EXPECT_EQ(t.a->nextSibling(), nullptr);
  const std::vector<std::string> expected = {
      "DOMNodeRemoved x related=c",    "DOMNodeRemovedFromDocument x", "DOMSubtreeModified c",
      "DOMNodeRemoved a related=root", "DOMNodeRemovedFromDocument a", "DOMNodeInserted x related=root",
      "DOMNodeInsertedIntoDocument x", "DOMSubtreeModified root",
  };
  EXPECT_EQ(log.entries, expected);
  EXPECT_EQ(t.root->replaceChild(t.b, t.b), t.b);
  EXPECT_EQ(childNames(t.root), "x b c");
}

TEST(TreeMutation, ReplacingWithAFragmentInsertsItsChildrenThenRemoves) {
  Tree t;
  Ref<DocumentFragment> fragment = t.doc->createDocumentFragment();
  addElement(fragment.get(), "x");
  addElement(fragment.get(), "y");
  EXPECT_EQ(t.root->replaceChild(fragment.get(), t.b), t.b);
  EXPECT_EQ(childNames(t.root), "a x y c");
  EXPECT_FALSE(fragment->hasChildNodes());
  // An empty fragment just removes the old child.
  EXPECT_EQ(t.root->replaceChild(fragment.get(), t.a), t.a);
  EXPECT_EQ(childNames(t.root), "x y c");
}

TEST(TreeMutation, RemoveChildAnswersNoneForAStranger) {
  Tree t;
  Element* grandchild = addElement(t.a, "g");
  EXPECT_EQ(t.root->removeChild(grandchild), nullptr);
  EXPECT_EQ(t.root->removeChild(nullptr), nullptr);
  EXPECT_EQ(childNames(t.a), "g");
}

TEST(NodeLifetime, ARemovedNodeStaysUsableUntilTheDocumentGoes) {
  g_liveElements = 0;
  {
    Ref<Document> doc = Ref<Document>::adopt(new TrackingDocument);
    Element* root = addTracked(doc.get(), "root");
    Element* child = addTracked(root, "child");
    addTracked(child, "leaf");
    ASSERT_EQ(g_liveElements, 3);

    Node* removed = root->removeChild(child);
    ASSERT_EQ(removed, child);
    EXPECT_EQ(g_liveElements, 3);
    EXPECT_EQ(child->nodeName(), u"child");
    EXPECT_EQ(childNames(child), "leaf");
    child->setAttribute(u"still", u"works");
    EXPECT_EQ(child->getAttribute(u"still"), u"works");
    EXPECT_EQ(root->appendChild(child), child);  // it can even come back

    root->removeChild(child);
    root->removeChild(root->firstChild());  // nothing: already gone
    doc->flushReleaseQueue();
    // The queue held two references (one per removal); flushing frees it.
    EXPECT_EQ(g_liveElements, 1);
  }
  EXPECT_EQ(g_liveElements, 0);
}

TEST(NodeLifetime, ReplacedAttributesStayReadable) {
  Tree t;
  t.a->setAttribute(u"x", u"1");
  Attr* before = t.a->getAttributeNode(u"x");
  t.a->setAttribute(u"x", u"2");
  EXPECT_NE(t.a->getAttributeNode(u"x"), before);
  EXPECT_EQ(before->ownerElement(), nullptr);
  EXPECT_EQ(before->value(), u"1");
  EXPECT_EQ(t.a->getAttribute(u"x"), u"2");
}

TEST(NodeLifetime, NodesHeldPastTheirDocumentAreOrphaned) {
  Ref<Document> doc = Document::create();
  Element* root = addElement(doc.get(), "root");
  Ref<Element> kept(addElement(root, "kept"));
  kept->setAttribute(u"id", u"k");
  Ref<Text> loose = doc->createTextNode(u"loose");
  Ref<Node> removed(root->removeChild(kept.get()));
  doc = Ref<Document>();

  EXPECT_EQ(kept->ownerDocument(), nullptr);
  EXPECT_EQ(loose->ownerDocument(), nullptr);
  EXPECT_EQ(kept->tagName(), u"kept");
  EXPECT_EQ(kept->getAttribute(u"id"), u"k");
  // Without a document there is no factory and no release queue.
  EXPECT_FALSE(kept->setAttribute(u"other", u"v"));
  EXPECT_EQ(kept->appendChild(loose.get()), nullptr);
  EXPECT_EQ(kept->removeAttributeNode(kept->getAttributeNode(u"id")), nullptr);
  EXPECT_EQ(kept->getAttribute(u"id"), u"k");
}

TEST(NodeLifetime, DeepTreesAreBuiltCopiedAndDestroyedWithoutRecursion) {
  constexpr int kDepth = 100000;
  g_liveElements = 0;
  {
    Ref<Document> doc = Ref<Document>::adopt(new TrackingDocument);
    Node* parent = doc.get();
    for (int i = 0; i < kDepth; ++i) parent = addTracked(parent, "e");
    addText(parent, "a");
    addText(parent, "b");
    ASSERT_EQ(g_liveElements, kDepth);

    Ref<NodeList> all = doc->getElementsByTagName(u"*");
    EXPECT_EQ(all->length(), static_cast<std::size_t>(kDepth));
    doc->normalize();
    EXPECT_EQ(childNames(parent), "#text");

    Ref<Document> other = Document::create();
    Ref<Node> copy = other->importNode(doc->documentElement(), true);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->ownerDocument(), other.get());
    Ref<Node> clone = doc->documentElement()->cloneNode(true);
    ASSERT_TRUE(clone);
    std::size_t depth = 0;
    for (Node* n = clone.get(); n && n->nodeType() == Node::ELEMENT_NODE; n = n->firstChild()) {
      ++depth;
    }
    EXPECT_EQ(depth, static_cast<std::size_t>(kDepth));
  }
  EXPECT_EQ(g_liveElements, 0);
}

TEST(Cloning, CopiesNamesAttributesAndOptionallyChildren) {
  Tree t;
  t.a->setAttribute(u"id", u"first");
  t.a->setAttribute(u"fill", u"red");
  addText(t.a, "hello");
  addElement(t.a, "inner");

  Ref<Node> shallow = t.a->cloneNode(false);
  auto* copy = static_cast<Element*>(shallow.get());
  EXPECT_EQ(copy->pooledName(), t.a->pooledName());
  EXPECT_EQ(copy->parentNode(), nullptr);
  EXPECT_EQ(copy->getAttribute(u"id"), u"first");
  EXPECT_EQ(copy->getAttribute(u"fill"), u"red");
  EXPECT_NE(copy->getAttributeNode(u"id"), t.a->getAttributeNode(u"id"));
  EXPECT_EQ(copy->getAttributeNode(u"id")->ownerElement(), copy);
  EXPECT_FALSE(copy->hasChildNodes());

  Ref<Node> deep = t.a->cloneNode(true);
  EXPECT_EQ(childNames(deep.get()), "#text inner");
  EXPECT_EQ(static_cast<Text*>(deep->firstChild())->data(), u"hello");
  EXPECT_EQ(childNames(t.a), "#text inner");  // the original keeps its children

  Ref<Node> attrCopy = t.a->getAttributeNode(u"id")->cloneNode(false);
  EXPECT_EQ(static_cast<Attr*>(attrCopy.get())->ownerElement(), nullptr);
  EXPECT_EQ(attrCopy->nodeValue(), u"first");

  EXPECT_FALSE(t.doc->cloneNode(true));
  Ref<DocumentType> doctype = DOMImplementation::instance()->createDocumentType(u"svg", u"", u"");
  EXPECT_FALSE(doctype->cloneNode(true));
}

TEST(Normalize, MergesAdjacentTextThroughTheSubtree) {
  Tree t;
  addText(t.a, "one ");
  addText(t.a, "two ");
  addText(t.a, "three");
  addElement(t.a, "mid");
  addText(t.a, "four");
  Ref<CDATASection> cdata = t.doc->createCDATASection(u"cdata");
  t.a->appendChild(cdata.get());
  addText(t.a, "five");
  Element* nested = addElement(t.b, "nested");
  addText(nested, "x");
  addText(nested, "y");

  t.root->normalize();
  EXPECT_EQ(childNames(t.a), "#text mid #text #cdata-section #text");
  EXPECT_EQ(static_cast<Text*>(t.a->firstChild())->data(), u"one two three");
  EXPECT_EQ(childNames(nested), "#text");
  EXPECT_EQ(static_cast<Text*>(nested->firstChild())->data(), u"xy");
}

TEST(NodeKinds, NamesTypesAndValues) {
  Ref<Document> doc = Document::create();
  Ref<Element> element = doc->createElement(u"rect");
  Ref<Attr> attr = doc->createAttribute(u"width");
  attr->setValue(u"10");
  Ref<Text> text = doc->createTextNode(u"t");
  Ref<CDATASection> cdata = doc->createCDATASection(u"c");
  Ref<EntityReference> entityRef = doc->createEntityReference(u"amp");
  Ref<Entity> entity = doc->createEntity(u"pub", u"sys", u"gif");
  Ref<ProcessingInstruction> pi = doc->createProcessingInstruction(u"target", u"data");
  Ref<Comment> comment = doc->createComment(u"note");
  Ref<DocumentType> doctype = DOMImplementation::instance()->createDocumentType(u"svg", u"", u"");
  Ref<DocumentFragment> fragment = doc->createDocumentFragment();
  Ref<Notation> notation = doc->createNotation(u"gif", u"", u"");

  struct Row {
    Node* node;
    unsigned short type;
    const char16_t* name;
    const char16_t* value;
  };
  const Row rows[] = {
      {element.get(), 1, u"rect", u""},
      {attr.get(), 2, u"width", u"10"},
      {text.get(), 3, u"#text", u"t"},
      {cdata.get(), 4, u"#cdata-section", u"c"},
      {entityRef.get(), 5, u"amp", u""},
      {entity.get(), 6, u"#entity", u""},
      {pi.get(), 7, u"target", u"data"},
      {comment.get(), 8, u"#comment", u"note"},
      {doc.get(), 9, u"#document", u""},
      {doctype.get(), 10, u"svg", u""},
      {fragment.get(), 11, u"#document-fragment", u""},
      {notation.get(), 12, u"gif", u""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(toNarrowAscii(row.name));
    EXPECT_EQ(row.node->nodeType(), row.type);
    EXPECT_EQ(row.node->nodeName(), row.name);
    EXPECT_EQ(row.node->nodeValue(), row.value);
    EXPECT_EQ(row.node->ownerDocument(), row.type == 9 || row.type == 10 ? nullptr : doc.get());
  }
  // nodeValue writes go to the data of the kinds that have one.
  pi->setNodeValue(u"other");
  EXPECT_EQ(pi->data(), u"other");
  comment->setNodeValue(u"changed");
  EXPECT_EQ(comment->data(), u"changed");
  element->setNodeValue(u"ignored");
  EXPECT_EQ(element->nodeValue(), u"");
  attr->setNodeValue(u"20");
  EXPECT_EQ(attr->value(), u"20");
  EXPECT_TRUE(attr->specified());
  // Leaves take no children.
  EXPECT_EQ(text->appendChild(comment.get()), nullptr);
  EXPECT_EQ(entityRef->appendChild(comment.get()), nullptr);
  EXPECT_FALSE(text->hasChildNodes());
  EXPECT_FALSE(text->attributes());
}

TEST(NodeKinds, AttributesHaveTheirElementButNoParent) {
  Tree t;
  t.a->setAttribute(u"x", u"1");
  t.a->setAttribute(u"y", u"2");
  t.a->setAttribute(u"z", u"3");
  Attr* y = t.a->getAttributeNode(u"y");
  EXPECT_EQ(y->parentNode(), nullptr);
  EXPECT_EQ(y->ownerElement(), t.a);
  EXPECT_EQ(y->previousSibling(), t.a->getAttributeNode(u"x"));
  EXPECT_EQ(y->nextSibling(), t.a->getAttributeNode(u"z"));
  EXPECT_TRUE(t.a->hasAttributes());
  EXPECT_FALSE(t.b->hasAttributes());
}

TEST(DocumentCreation, TheImplementationBuildsDocumentsWithTheirElement) {
  DOMImplementation* impl = DOMImplementation::instance();
  Ref<DocumentType> doctype = impl->createDocumentType(u"svg", u"-//W3C//DTD SVG 1.0//EN", u"svg10.dtd");
  EXPECT_EQ(doctype->ownerDocument(), nullptr);
  Ref<Document> doc = impl->createDocument(u"", u"svg", doctype.get());
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->doctype(), doctype.get());
  EXPECT_EQ(doctype->ownerDocument(), doc.get());
  ASSERT_NE(doc->documentElement(), nullptr);
  EXPECT_EQ(doc->documentElement()->tagName(), u"svg");
  EXPECT_EQ(doc->documentElement()->refCount(), 1);  // only the document holds it
  EXPECT_EQ(doc->implementation(), impl);
  // A doctype belongs to one document.
  EXPECT_FALSE(impl->createDocument(u"", u"svg", doctype.get()));

  Ref<Document> ns = impl->createDocument(u"http://www.w3.org/2000/svg", u"s:svg", nullptr);
  EXPECT_EQ(ns->documentElement()->localName(), u"svg");
  EXPECT_EQ(ns->documentElement()->namespaceURI(), u"http://www.w3.org/2000/svg");
  EXPECT_EQ(ns->doctype(), nullptr);

  Ref<Document> shared = impl->createDocument(u"", u"svg", nullptr, doc->namePool());
  EXPECT_EQ(shared->namePool(), doc->namePool());
  EXPECT_EQ(shared->documentElement()->pooledName(), doc->documentElement()->pooledName());
}

// Richer element sets derive from Document and Element: the document's factory
// by tag name makes their classes, and attributeChanged reaches them when the
// caller (the loader, the player) reports a change; setAttribute only stores.
namespace {

class WatchingElement : public TrackedElement {
 public:
  using TrackedElement::TrackedElement;
  void attributeChanged(const DomString& name) override {
    changes.push_back(toNarrowAscii(name) + "=" + toNarrowAscii(getAttribute(name)));
  }
  std::vector<std::string> changes;
};

class WatchingDocument : public TrackingDocument {
 public:
  // Only two tags are known; anything else is no element at all.
  Ref<Element> createElementByTag(const DomString& tagName) override {
    if (tagName != u"rect" && tagName != u"g") return {};
    const PooledName* name = internName(tagName);
    if (!name) return {};
    return Ref<Element>::adopt(new WatchingElement(this, name));
  }
  Element* getElementById(const DomString& id) override {
    Ref<NodeList> all = getElementsByTagName(u"*");
    for (std::size_t i = 0; i < all->length(); ++i) {
      auto* e = static_cast<Element*>(all->item(i));
      if (e->getAttribute(u"id") == id) return e;
    }
    return nullptr;
  }
};

}  // namespace

TEST(Subclassing, DerivedDocumentsMakeTheirOwnElements) {
  g_liveElements = 0;
  {
    Ref<Document> doc = Ref<Document>::adopt(new WatchingDocument);
    Ref<Element> g = doc->createElementByTag(u"g");
    ASSERT_TRUE(g);
    EXPECT_FALSE(doc->createElementByTag(u"circle"));
    EXPECT_FALSE(doc->createElementByTag(u"RECT"));
    doc->appendChild(g.get());
    Ref<Element> rect = doc->createElementByTag(u"rect");
    g->appendChild(rect.get());
    EXPECT_EQ(g_liveElements, 2);

    Element* element = rect.get();  // reached through the base, as a loader does
    element->setAttribute(u"id", u"play");
    element->setAttribute(u"width", u"10");
    auto* watching = static_cast<WatchingElement*>(element);
    EXPECT_TRUE(watching->changes.empty());
    element->attributeChanged(u"width");
    element->attributeChanged(u"id");
    EXPECT_EQ(watching->changes, (std::vector<std::string>{"width=10", "id=play"}));

    EXPECT_EQ(doc->getElementById(u"play"), rect.get());
    EXPECT_EQ(doc->getElementById(u"stop"), nullptr);
    EXPECT_EQ(g->getElementsByTagName(u"rect")->item(0), rect.get());
    // The plain document has no ids to look up.
    Ref<Document> plain = Document::create();
    EXPECT_EQ(plain->getElementById(u"play"), nullptr);
    EXPECT_EQ(plain->createElementByTag(u"anything")->tagName(), u"anything");
  }
  EXPECT_EQ(g_liveElements, 0);  // each class's own destructor ran
}

namespace {

// The parent keeps its last child through every kind of change; appending
// after each one must land at the end.
TEST(TreeMutation, TheLastChildFollowsEveryChange) {
  struct Row {
    const char* change;
    void (*apply)(Tree&);
    const char* children;
  };
  const Row rows[] = {
      {"remove the last", [](Tree& t) { t.root->removeChild(t.c); }, "a b z"},
      {"remove all",
       [](Tree& t) {
         t.root->removeChild(t.a);
         t.root->removeChild(t.b);
         t.root->removeChild(t.c);
       },
       "z"},
      {"replace the last", [](Tree& t) { t.root->replaceChild(addElement(t.a, "x"), t.c); }, "a b x z"},
      {"move the last to the front", [](Tree& t) { t.root->insertBefore(t.c, t.a); }, "c a b z"},
      {"append the first again", [](Tree& t) { t.root->appendChild(t.a); }, "b c a z"},
      {"append a fragment",
       [](Tree& t) {
         Ref<DocumentFragment> fragment = t.doc->createDocumentFragment();
         addElement(fragment.get(), "f1");
         addElement(fragment.get(), "f2");
         t.root->appendChild(fragment.get());
         addElement(fragment.get(), "f3");  // the emptied fragment starts over
         EXPECT_EQ(fragment->lastChild()->nodeName(), u"f3");
       },
       "a b c f1 f2 z"},
      {"replace the last with a fragment",
       [](Tree& t) {
         Ref<DocumentFragment> fragment = t.doc->createDocumentFragment();
         addElement(fragment.get(), "f1");
         t.root->replaceChild(fragment.get(), t.c);
       },
       "a b f1 z"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.change);
    Tree t;
    row.apply(t);
    addElement(t.root, "z");
    EXPECT_EQ(childNames(t.root), row.children);
    EXPECT_EQ(t.root->lastChild()->nodeName(), u"z");
  }
}

}  // namespace

// Every node a document makes is a block of its arena, counted until the node
// goes; the blocks of dropped nodes serve the next nodes, so rebuilding the
// same tree takes no new chunk.
TEST(NodeLifetime, ADocumentsNodesLiveInItsArenaAndReuseFreedBlocks) {
  using Make = Ref<Node> (*)(Document*);
  struct Case {
    const char* kind;
    Make make;
  };
  const Case kCases[] = {
      {"element", [](Document* d) { return Ref<Node>(d->createElement(u"e").get()); }},
      {"attribute", [](Document* d) { return Ref<Node>(d->createAttribute(u"a").get()); }},
      {"text", [](Document* d) { return Ref<Node>(d->createTextNode(u"t").get()); }},
      {"comment", [](Document* d) { return Ref<Node>(d->createComment(u"c").get()); }},
      {"cdata", [](Document* d) { return Ref<Node>(d->createCDATASection(u"c").get()); }},
      {"instruction", [](Document* d) { return Ref<Node>(d->createProcessingInstruction(u"p", u"d").get()); }},
      {"fragment", [](Document* d) { return Ref<Node>(d->createDocumentFragment().get()); }},
      {"reference", [](Document* d) { return Ref<Node>(d->createEntityReference(u"r").get()); }},
      {"clone", [](Document* d) { return d->createElement(u"e")->cloneNode(false); }},
      {"split text", [](Document* d) { return Ref<Node>(d->createTextNode(u"ab")->splitText(1).get()); }},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.kind);
    Ref<Document> doc = Document::create();
    Ref<Node> node = c.make(doc.get());
    doc->flushReleaseQueue();
    EXPECT_EQ(doc->nodeArena().liveBlocks(), 1u);
    node = {};
    EXPECT_EQ(doc->nodeArena().liveBlocks(), 0u);
  }

  Ref<Document> doc = Document::create();
  auto build = [&] {
    Element* root = addElement(doc.get(), "root");
    for (int i = 0; i < 200; ++i) addElement(root, "child")->setAttribute(u"id", u"a longer value than fits inline");
  };
  build();
  const std::size_t chunks = doc->nodeArena().chunkBytes();
  doc->removeChild(doc->documentElement());
  doc->flushReleaseQueue();
  EXPECT_EQ(doc->nodeArena().liveBlocks(), 0u);
  build();
  EXPECT_EQ(doc->nodeArena().chunkBytes(), chunks);
  EXPECT_EQ(doc->nodeArena().liveBlocks(), 401u);
}
