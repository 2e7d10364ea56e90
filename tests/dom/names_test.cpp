// Name interning: the pool's hash and probing, its capacity, shared pools,
// the names the factories give, and re-interning when nodes move.

#include <gtest/gtest.h>

#include "dom/namepool.h"
#include "tests/dom/domtest.h"

namespace {

// A distinct Level 1 name per number.
DomString nameNumber(int i) { return toWide("n" + std::to_string(i)); }

// A Level 1 name whose start slot is `slot` in a pool of `size`.
DomString nameForSlot(std::size_t slot, std::size_t size, const DomString& avoid = {}) {
  for (char16_t a = u'a'; a <= u'z'; ++a) {
    for (char16_t b = u'a'; b <= u'z'; ++b) {
      for (char16_t c = u'a'; c <= u'z'; ++c) {
        const DomString name{a, b, c};
        if (name != avoid && NamePool::hash({}, {}, name) % size == slot) return name;
      }
    }
  }
  return {};
}

}  // namespace

TEST(NamePool, HashRunsOverNamespaceThenLocalThenQualifiedName) {
  struct Row {
    const char16_t* ns;
    const char16_t* local;
    const char16_t* qualified;
    std::uint32_t hash;
  };
  const Row rows[] = {
      {u"", u"", u"", 0},
      {u"", u"", u"a", 97},
      {u"", u"", u"ab", 97 * 33 + 98},
      {u"n", u"l", u"q", (110u * 33 + 108) * 33 + 113},
      {u"q", u"l", u"n", (113u * 33 + 108) * 33 + 110},  // order matters
      // 32-bit wrapping: 33^7 overflows.
      {u"", u"", u"zzzzzzzz",
       [] {
         std::uint32_t h = 0;
         for (int i = 0; i < 8; ++i) h = h * 33u + 122u;
         return h;
       }()},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(toNarrowAscii(row.qualified));
    EXPECT_EQ(NamePool::hash(row.ns, row.local, row.qualified), row.hash);
  }
}

TEST(NamePool, InternsEachTripleOnceAndProbesLinearly) {
  Ref<NamePool> pool = NamePool::create();
  ASSERT_EQ(pool->size(), 251u);
  const PooledName* svg = pool->intern(u"", u"", u"svg");
  ASSERT_NE(svg, nullptr);
  EXPECT_EQ(pool->intern(u"", u"", u"svg"), svg);
  EXPECT_EQ(svg->qualifiedName, u"svg");
  EXPECT_TRUE(svg->used);
  // The same qualified name with a namespace or a local name is another entry.
  const PooledName* nsSvg = pool->intern(u"urn:svg", u"svg", u"svg");
  EXPECT_NE(nsSvg, svg);
  EXPECT_NE(pool->intern(u"", u"svg", u"svg"), svg);
  EXPECT_EQ(nsSvg->namespaceURI, u"urn:svg");
  EXPECT_EQ(nsSvg->localName, u"svg");

  // Two names with one start slot sit side by side, the second after the first;
  // at the last slot the probe wraps to slot 0.
  const DomString first = nameForSlot(100, 251);
  const DomString second = nameForSlot(100, 251, first);
  Ref<NamePool> fresh = NamePool::create();
  const PooledName* p1 = fresh->intern({}, {}, first);
  const PooledName* p2 = fresh->intern({}, {}, second);
  EXPECT_EQ(p2 - p1, 1);
  const DomString lastA = nameForSlot(250, 251);
  const DomString lastB = nameForSlot(250, 251, lastA);
  const PooledName* atEnd = fresh->intern({}, {}, lastA);
  const PooledName* wrapped = fresh->intern({}, {}, lastB);
  EXPECT_EQ(atEnd - p1, 150);
  EXPECT_EQ(wrapped - p1, -100);
  EXPECT_EQ(fresh->intern({}, {}, lastB), wrapped);  // found again across the wrap
}

TEST(NamePool, The252ndNameFailsButKnownNamesAreStillFound) {
  Ref<NamePool> pool = NamePool::create();
  for (int i = 0; i < 251; ++i) {
    ASSERT_NE(pool->intern({}, {}, nameNumber(i)), nullptr) << i;
  }
  EXPECT_EQ(pool->usedCount(), 251u);
  EXPECT_EQ(pool->intern({}, {}, nameNumber(251)), nullptr);
  EXPECT_NE(pool->intern({}, {}, nameNumber(0)), nullptr);
  EXPECT_NE(pool->intern({}, {}, nameNumber(250)), nullptr);
}

TEST(NamePool, AFullPoolMakesTheFactoriesAnswerNone) {
  Ref<Document> doc = Document::create();
  Ref<Element> root = doc->createElement(u"root");
  for (int i = 1; i < 251; ++i) ASSERT_TRUE(doc->createElement(nameNumber(i))) << i;
  EXPECT_FALSE(doc->createElement(u"one-too-many"));
  EXPECT_FALSE(doc->createElementNS(u"urn:x", u"x:y"));
  EXPECT_FALSE(doc->createAttribute(u"width"));
  EXPECT_FALSE(doc->createAttributeNS(u"urn:x", u"x:width"));
  EXPECT_FALSE(doc->createElementByTag(u"rect"));
  // setAttribute of a new name fails and changes nothing; known names still work.
  EXPECT_FALSE(root->setAttribute(u"width", u"10"));
  EXPECT_FALSE(root->hasAttributes());
  EXPECT_TRUE(root->setAttribute(nameNumber(7), u"ok"));
  EXPECT_EQ(root->getAttribute(nameNumber(7)), u"ok");
  EXPECT_TRUE(doc->createElement(u"root"));
}

TEST(NamePool, FactoriesNameNodesLevel1OrWithNamespaces) {
  Ref<Document> doc = Document::create();
  Ref<Element> plain = doc->createElement(u"svg:rect");
  Ref<Element> ns = doc->createElementNS(u"http://www.w3.org/2000/svg", u"svg:rect");
  Ref<Element> noPrefix = doc->createElementNS(u"http://www.w3.org/2000/svg", u"rect");
  Ref<Attr> attr = doc->createAttributeNS(u"http://www.w3.org/1999/xlink", u"xlink:href");
  Ref<Attr> attr1 = doc->createAttribute(u"xlink:href");

  struct Row {
    const char* what;
    Node* node;
    const char16_t* name;
    const char16_t* ns;
    const char16_t* local;
    const char16_t* prefix;
  };
  const Row rows[] = {
      {"Level 1 element", plain.get(), u"svg:rect", u"", u"", u"svg"},
      {"namespaced element", ns.get(), u"svg:rect", u"http://www.w3.org/2000/svg", u"rect", u"svg"},
      {"unprefixed element", noPrefix.get(), u"rect", u"http://www.w3.org/2000/svg", u"rect", u""},
      {"namespaced attribute", attr.get(), u"xlink:href", u"http://www.w3.org/1999/xlink", u"href", u"xlink"},
      {"Level 1 attribute", attr1.get(), u"xlink:href", u"", u"", u"xlink"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(row.node->nodeName(), row.name);
    EXPECT_EQ(row.node->namespaceURI(), row.ns);
    EXPECT_EQ(row.node->localName(), row.local);
    EXPECT_EQ(row.node->prefix(), row.prefix);
  }
  EXPECT_NE(plain->pooledName(), ns->pooledName());
  EXPECT_FALSE(doc->createElement(u""));
  EXPECT_FALSE(doc->createAttribute(u""));
}

TEST(NamePool, ASharedPoolLivesAsLongAsItsLastDocument) {
  Ref<Document> first = Document::create();
  Ref<Document> second = Document::create(nullptr, first->namePool());
  EXPECT_EQ(second->namePool(), first->namePool());
  Ref<Element> a = first->createElement(u"shared");
  Ref<Element> b = second->createElement(u"shared");
  EXPECT_EQ(a->pooledName(), b->pooledName());
  a = Ref<Element>();
  first = Ref<Document>();
  Ref<Element> c = second->createElement(u"shared");
  EXPECT_EQ(c->pooledName(), b->pooledName());
  EXPECT_EQ(b->tagName(), u"shared");
}

TEST(NamePool, ImportingReinternsEveryNameInTheNewPool) {
  Ref<Document> source = Document::create();
  Element* root = addElement(source.get(), "svg");
  Element* g = addElement(root, "g");
  Element* rect = addElement(g, "rect");
  rect->setAttribute(u"width", u"10");
  Ref<Attr> nsAttr = source->createAttributeNS(u"urn:a", u"a:b");
  rect->setAttributeNodeNS(nsAttr.get());
  addText(rect, "label");

  Ref<Document> target = Document::create();
  Ref<Node> copy = target->importNode(root, true);
  ASSERT_TRUE(copy);
  NamePool* pool = target->namePool();
  auto* copyRoot = static_cast<Element*>(copy.get());
  auto* copyRect = static_cast<Element*>(copyRoot->firstChild()->firstChild());
  EXPECT_EQ(copyRoot->ownerDocument(), target.get());
  EXPECT_EQ(copyRoot->pooledName(), pool->intern(u"", u"", u"svg"));
  EXPECT_EQ(copyRect->pooledName(), pool->intern(u"", u"", u"rect"));
  EXPECT_EQ(copyRect->getAttributeNode(u"width")->pooledName(), pool->intern(u"", u"", u"width"));
  EXPECT_EQ(copyRect->getAttributeNode(u"width")->ownerDocument(), target.get());
  EXPECT_EQ(copyRect->getAttributeNodeNS(u"urn:a", u"b")->pooledName(), pool->intern(u"urn:a", u"b", u"a:b"));
  EXPECT_EQ(copyRect->firstChild()->ownerDocument(), target.get());
  EXPECT_EQ(copyRect->getAttribute(u"width"), u"10");
  // The copy now belongs to the target: it can go into the target's tree.
  EXPECT_EQ(target->appendChild(copy.get()), copy.get());
  EXPECT_EQ(root->ownerDocument(), source.get());  // the original stays

  // Importing into a pool without room answers none.
  Ref<Document> full = Document::create();
  for (int i = 0; i < 251; ++i) ASSERT_TRUE(full->createElement(nameNumber(i)));
  EXPECT_FALSE(full->importNode(root, true));
  EXPECT_FALSE(full->importNode(nullptr, true));
}
