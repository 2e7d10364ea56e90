// Live collections: child lists, element lists by tag name, attribute maps
// and the doctype's typed maps.

#include <gtest/gtest.h>

#include "dom/documenttype.h"
#include "dom/domimplementation.h"
#include "dom/entity.h"
#include "dom/namednodemap.h"
#include "dom/notation.h"
#include "tests/dom/domtest.h"

namespace {

struct Skin {
  Ref<Document> doc = Document::create();
  Element* svg = addElement(doc.get(), "svg");
  Element* g = addElement(svg, "g");
  Element* rect1 = addElement(g, "rect");
  Element* text = addElement(g, "text");
  Element* rect2 = addElement(svg, "rect");
  Element* image = addElement(svg, "image");
};

}  // namespace

TEST(Collections, ElementsByTagNameListDescendantsInDocumentOrder) {
  Skin s;
  addText(s.text, "label");
  struct Row {
    Node* root;
    const char16_t* name;
    const char* expected;
  };
  const Row rows[] = {
      {s.doc.get(), u"*", "svg g rect text rect image"},
      {s.svg, u"*", "g rect text rect image"},  // not the element itself
      {s.g, u"*", "rect text"},
      {s.doc.get(), u"rect", "rect rect"},
      {s.svg, u"svg", ""},
      {s.doc.get(), u"RECT", ""},  // names compare exactly
      {s.rect1, u"*", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(toNarrowAscii(row.root->nodeName()) + " " + toNarrowAscii(row.name));
    Ref<NodeList> list = row.root->nodeType() == Node::DOCUMENT_NODE
                             ? static_cast<Document*>(row.root)->getElementsByTagName(row.name)
                             : static_cast<Element*>(row.root)->getElementsByTagName(row.name);
    EXPECT_EQ(listNames(list.get()), row.expected);
  }
  Ref<NodeList> rects = s.doc->getElementsByTagName(u"rect");
  EXPECT_EQ(rects->item(0), s.rect1);
  EXPECT_EQ(rects->item(1), s.rect2);
  EXPECT_EQ(rects->item(2), nullptr);
  EXPECT_EQ(rects->item(1000), nullptr);
}

TEST(Collections, ListsFollowTheTreeAsItChanges) {
  Skin s;
  Ref<NodeList> all = s.doc->getElementsByTagName(u"*");
  Ref<NodeList> children = s.svg->childNodes();
  // Walk part of the way to leave a remembered position behind.
  ASSERT_EQ(all->item(3), s.text);
  ASSERT_EQ(children->item(1), s.rect2);

  s.g->removeChild(s.rect1);
  EXPECT_EQ(listNames(all.get()), "svg g text rect image");
  EXPECT_EQ(all->item(3), s.rect2);
  Element* extra = addElement(s.text, "extra");
  EXPECT_EQ(all->item(3), extra);
  EXPECT_EQ(all->item(4), s.rect2);
  EXPECT_EQ(all->length(), 6u);
  s.svg->insertBefore(s.rect1, s.g);
  EXPECT_EQ(listNames(children.get()), "rect g rect image");
  EXPECT_EQ(children->item(1), s.g);
  EXPECT_EQ(children->item(4), nullptr);
  EXPECT_EQ(children->length(), 4u);
  EXPECT_EQ(s.rect1->childNodes()->length(), 0u);
  EXPECT_EQ(s.rect1->childNodes()->item(0), nullptr);
}

TEST(Collections, ListsKeepTheirNodeAlive) {
  Ref<NodeList> list;
  {
    Ref<Document> doc = Document::create();
    Ref<Element> detached = doc->createElement(u"g");
    addElement(detached.get(), "rect");
    list = detached->getElementsByTagName(u"rect");
  }
  EXPECT_EQ(listNames(list.get()), "rect");
}

TEST(Collections, NamespaceListsMatchNamespaceAndLocalName) {
  Ref<Document> doc = Document::create();
  Element* root = addElement(doc.get(), "root");
  const DomString svgNs = u"http://www.w3.org/2000/svg";
  for (const auto& [ns, name] : std::vector<std::pair<DomString, DomString>>{
           {svgNs, u"svg:rect"}, {svgNs, u"circle"}, {u"urn:other", u"o:rect"}}) {
    Ref<Element> e = doc->createElementNS(ns, name);
    root->appendChild(e.get());
  }
  addElement(root, "rect");  // Level 1: empty local name
  struct Row {
    DomString ns;
    const char16_t* local;
    const char* expected;
  };
  const Row rows[] = {
      {svgNs, u"rect", "svg:rect"},
      {u"*", u"rect", "svg:rect o:rect"},
      {svgNs, u"*", "svg:rect circle"},
      {u"*", u"*", "svg:rect circle o:rect rect"},
      {u"", u"rect", ""},
  };
  // From the document, the Level 1 root matches only a double wildcard.
  EXPECT_EQ(listNames(doc->getElementsByTagNameNS(u"*", u"*").get()), "root svg:rect circle o:rect rect");
  EXPECT_EQ(listNames(doc->getElementsByTagNameNS(u"*", u"rect").get()), "svg:rect o:rect");
  for (const Row& row : rows) {
    SCOPED_TRACE(toNarrowAscii(row.ns) + " " + toNarrowAscii(row.local));
    Ref<NodeList> fromRoot = root->getElementsByTagNameNS(row.ns, row.local);
    EXPECT_EQ(listNames(fromRoot.get()), row.expected);
  }
}

TEST(Collections, TheAttributeMapIsTheElementsAttributeList) {
  Ref<Document> doc = Document::create();
  Ref<Element> rect = doc->createElement(u"rect");
  rect->setAttribute(u"x", u"1");
  rect->setAttribute(u"y", u"2");
  rect->setAttribute(u"width", u"3");
  Ref<NamedNodeMap> map = rect->attributes();
  ASSERT_TRUE(map);
  EXPECT_EQ(map->length(), 3u);
  EXPECT_EQ(map->item(0)->nodeName(), u"x");
  EXPECT_EQ(map->item(2)->nodeName(), u"width");
  EXPECT_EQ(map->item(3), nullptr);
  EXPECT_EQ(map->getNamedItem(u"y"), rect->getAttributeNode(u"y"));
  EXPECT_EQ(map->getNamedItem(u"height"), nullptr);

  // setNamedItem replaces by name and answers the old node; the new one goes last.
  Ref<Attr> newX = doc->createAttribute(u"x");
  newX->setValue(u"9");
  Node* oldX = map->setNamedItem(newX.get());
  ASSERT_NE(oldX, nullptr);
  EXPECT_EQ(oldX->nodeValue(), u"1");
  EXPECT_EQ(rect->getAttribute(u"x"), u"9");
  EXPECT_EQ(map->item(2), newX.get());
  // The same node again is refused: it already has an owner.
  EXPECT_EQ(map->setNamedItem(newX.get()), nullptr);
  EXPECT_EQ(map->setNamedItem(rect.get()), nullptr);  // not an attribute

  Node* removed = map->removeNamedItem(u"y");
  ASSERT_NE(removed, nullptr);
  EXPECT_EQ(removed->nodeValue(), u"2");
  EXPECT_EQ(map->removeNamedItem(u"y"), nullptr);
  EXPECT_EQ(map->length(), 2u);

  Ref<Attr> ns = doc->createAttributeNS(u"urn:a", u"a:x");
  EXPECT_EQ(map->setNamedItemNS(ns.get()), nullptr);  // no namespaced x yet
  EXPECT_EQ(map->getNamedItemNS(u"urn:a", u"x"), ns.get());
  EXPECT_EQ(rect->getAttribute(u"x"), u"9");  // the Level 1 x is another attribute
  EXPECT_EQ(map->removeNamedItemNS(u"urn:a", u"x"), ns.get());
  EXPECT_EQ(map->length(), 2u);

  // Level 1 attributes have no local name: the namespace operations neither
  // find them by an empty one nor replace one another through it.
  Ref<Attr> level1 = doc->createAttribute(u"height");
  level1->setValue(u"4");
  EXPECT_EQ(map->setNamedItemNS(level1.get()), nullptr);
  EXPECT_EQ(rect->getAttribute(u"width"), u"3");
  EXPECT_EQ(rect->getAttribute(u"x"), u"9");
  EXPECT_EQ(map->length(), 3u);
  EXPECT_EQ(map->getNamedItemNS(u"", u""), nullptr);
  EXPECT_EQ(rect->getAttributeNS(u"", u""), u"");
  EXPECT_FALSE(rect->hasAttributeNS(u"", u""));
  EXPECT_EQ(map->removeNamedItemNS(u"", u""), nullptr);
  rect->removeAttributeNS(u"", u"");
  EXPECT_EQ(map->length(), 3u);
  Ref<Attr> level1Again = doc->createAttribute(u"height");
  EXPECT_EQ(rect->setAttributeNodeNS(level1Again.get()), level1.get());  // same name
  EXPECT_EQ(map->length(), 3u);

  Ref<Element> other = doc->createElement(u"other");
  Ref<NamedNodeMap> empty = other->attributes();
  EXPECT_EQ(empty->length(), 0u);
  EXPECT_EQ(empty->item(0), nullptr);
}

TEST(Collections, AttributesOfAnotherDocumentAreRefused) {
  Ref<Document> doc = Document::create();
  Ref<Document> other = Document::create();
  Ref<Element> e = doc->createElement(u"e");
  Ref<Attr> foreign = other->createAttribute(u"x");
  EXPECT_EQ(e->setAttributeNode(foreign.get()), nullptr);
  EXPECT_FALSE(e->hasAttributes());
  EXPECT_EQ(foreign->ownerElement(), nullptr);
  Ref<Element> f = doc->createElement(u"f");
  EXPECT_EQ(e->removeAttributeNode(nullptr), nullptr);
  f->setAttribute(u"x", u"1");
  EXPECT_EQ(e->removeAttributeNode(f->getAttributeNode(u"x")), nullptr);
  EXPECT_EQ(f->getAttribute(u"x"), u"1");
}

TEST(Collections, DoctypeMapsViewTheDocumentsEntitiesAndNotations) {
  DOMImplementation* impl = DOMImplementation::instance();
  Ref<DocumentType> doctype = impl->createDocumentType(u"svg", u"", u"");
  Ref<NamedNodeMap> orphanEntities = doctype->entities();
  EXPECT_EQ(orphanEntities->length(), 0u);

  Ref<Document> doc = impl->createDocument(u"", u"svg", doctype.get());
  Ref<Entity> entity = doc->createEntity(u"pub", u"logo.gif", u"gif");
  Ref<Notation> gif = doc->createNotation(u"gif", u"", u"image/gif");
  Ref<Notation> png = doc->createNotation(u"png", u"", u"image/png");
  doc->insertBefore(gif.get(), doc->documentElement());
  doc->appendChild(entity.get());
  doc->appendChild(png.get());

  Ref<NamedNodeMap> entities = doctype->entities();
  Ref<NamedNodeMap> notations = doctype->notations();
  EXPECT_EQ(entities->length(), 1u);
  EXPECT_EQ(entities->item(0), entity.get());
  EXPECT_EQ(entities->item(1), nullptr);
  EXPECT_EQ(entities->getNamedItem(u"#entity"), entity.get());
  EXPECT_EQ(notations->length(), 2u);
  EXPECT_EQ(notations->item(1), png.get());
  EXPECT_EQ(notations->getNamedItem(u"png"), png.get());
  EXPECT_EQ(notations->getNamedItem(u"svg"), nullptr);
  EXPECT_EQ(entity->publicId(), u"pub");
  EXPECT_EQ(entity->systemId(), u"logo.gif");
  EXPECT_EQ(entity->notationName(), u"gif");
  EXPECT_EQ(png->systemId(), u"image/png");

  // Read-only: nothing changes.
  Ref<Notation> jpeg = doc->createNotation(u"jpeg", u"", u"");
  EXPECT_EQ(notations->setNamedItem(jpeg.get()), nullptr);
  EXPECT_EQ(notations->removeNamedItem(u"png"), nullptr);
  EXPECT_EQ(notations->setNamedItemNS(jpeg.get()), nullptr);
  EXPECT_EQ(notations->removeNamedItemNS(u"", u""), nullptr);
  EXPECT_EQ(notations->length(), 2u);
  EXPECT_EQ(doc->childNodes()->length(), 4u);
  // Live: a removed notation leaves the view.
  doc->removeChild(gif.get());
  EXPECT_EQ(notations->length(), 1u);
}
