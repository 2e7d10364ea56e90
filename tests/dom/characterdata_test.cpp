// Character data: editing by UTF-16 offsets, the out-of-range rules, the
// modification events, and splitting text.

#include <gtest/gtest.h>

#include <functional>

#include "tests/dom/domtest.h"

TEST(CharacterData, EditsFollowTheOffsetRules) {
  using Edit = std::function<void(CharacterData*)>;
  struct Row {
    const char* what;
    const char16_t* initial;
    Edit edit;
    const char16_t* expected;
  };
  const Row rows[] = {
      {"append", u"abc", [](CharacterData* d) { d->appendData(u"x"); }, u"abcx"},
      {"insert at length appends", u"abc", [](CharacterData* d) { d->insertData(3, u"x"); }, u"abcx"},
      {"insert past length does nothing", u"abc", [](CharacterData* d) { d->insertData(4, u"x"); }, u"abc"},
      {"insert at 0", u"abc", [](CharacterData* d) { d->insertData(0, u"x"); }, u"xabc"},
      {"insert into empty", u"", [](CharacterData* d) { d->insertData(0, u"x"); }, u"x"},
      {"delete middle", u"abcdef", [](CharacterData* d) { d->deleteData(1, 2); }, u"adef"},
      {"delete count past end", u"abcdef", [](CharacterData* d) { d->deleteData(4, 100); }, u"abcd"},
      {"delete at length does nothing", u"abc", [](CharacterData* d) { d->deleteData(3, 1); }, u"abc"},
      {"replace middle", u"abcdef", [](CharacterData* d) { d->replaceData(2, 2, u"XYZ"); }, u"abXYZef"},
      {"replace count past end", u"abc", [](CharacterData* d) { d->replaceData(1, 9, u"Z"); }, u"aZ"},
      {"replace at length does nothing", u"abc", [](CharacterData* d) { d->replaceData(3, 1, u"Z"); }, u"abc"},
      {"set", u"abc", [](CharacterData* d) { d->setData(u"new"); }, u"new"},
      {"set through nodeValue", u"abc", [](CharacterData* d) { d->setNodeValue(u"nv"); }, u"nv"},
      // Offsets count code units: a surrogate pair is two.
      {"units, not characters", u"a\U0001F600b", [](CharacterData* d) { d->insertData(3, u"|"); }, u"a\U0001F600|b"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Ref<Document> doc = Document::create();
    Ref<Text> text = doc->createTextNode(row.initial);
    row.edit(text.get());
    EXPECT_EQ(text->data(), row.expected);
    EXPECT_EQ(text->length(), DomString(row.expected).size());
  }
}

TEST(CharacterData, SubstringDataCutsAtTheEnd) {
  Ref<Document> doc = Document::create();
  Ref<Comment> comment = doc->createComment(u"abcdef");
  EXPECT_EQ(comment->substringData(0, 3), u"abc");
  EXPECT_EQ(comment->substringData(4, 10), u"ef");
  EXPECT_EQ(comment->substringData(6, 1), u"");
  EXPECT_EQ(comment->substringData(100, 1), u"");
  EXPECT_EQ(comment->substringData(2, 0), u"");
}

TEST(CharacterData, OnlyRealChangesFireTheEvent) {
  Ref<Document> doc = Document::create();
  Element* root = addElement(doc.get(), "text");
  Text* text = addText(root, "abc");
  MutationLog log(doc.get());
  text->appendData(u"d");
  text->insertData(10, u"x");  // out of range: nothing
  text->deleteData(4, 1);      // out of range: nothing
  text->appendData(u"");       // no change
  text->setData(u"abcd");      // no change
  text->replaceData(0, 1, u"A");
  text->setNodeValue(u"z");
  const std::vector<std::string> expected = {
      "DOMCharacterDataModified #text 'abc'->'abcd'",
      "DOMCharacterDataModified #text 'abcd'->'Abcd'",
      "DOMCharacterDataModified #text 'Abcd'->'z'",
  };
  EXPECT_EQ(log.entries, expected);
}

TEST(CharacterData, SplitTextMovesTheTailIntoANewNodeOfTheSameKind) {
  Ref<Document> doc = Document::create();
  Element* root = addElement(doc.get(), "text");
  Text* text = addText(root, "hello world");
  Element* after = addElement(root, "after");

  MutationLog log(doc.get());
  Ref<Text> tail = text->splitText(5);
  ASSERT_TRUE(tail);
  EXPECT_EQ(text->data(), u"hello");
  EXPECT_EQ(tail->data(), u" world");
  EXPECT_EQ(text->nextSibling(), tail.get());
  EXPECT_EQ(tail->nextSibling(), after);
  EXPECT_EQ(tail->nodeType(), Node::TEXT_NODE);
  const std::vector<std::string> expected = {
      "DOMCharacterDataModified #text 'hello world'->'hello'",
      "DOMNodeInserted #text related=text",
      "DOMNodeInsertedIntoDocument #text",
      "DOMSubtreeModified text",
  };
  EXPECT_EQ(log.entries, expected);

  // At the end: an empty new node; past the end: none and no change.
  Ref<Text> empty = text->splitText(5);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->data(), u"");
  EXPECT_FALSE(text->splitText(6));
  EXPECT_EQ(text->data(), u"hello");

  // A CDATA section splits into a CDATA section; a detached node is not inserted.
  Ref<CDATASection> cdata = doc->createCDATASection(u"abcd");
  Ref<Text> cdataTail = cdata->splitText(1);
  EXPECT_EQ(cdataTail->nodeType(), Node::CDATA_SECTION_NODE);
  EXPECT_EQ(cdataTail->data(), u"bcd");
  EXPECT_EQ(cdataTail->parentNode(), nullptr);
  EXPECT_EQ(cdata->nextSibling(), nullptr);
}
