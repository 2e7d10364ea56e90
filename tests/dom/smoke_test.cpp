#include <gtest/gtest.h>

#include "dom/document.h"
#include "dom/element.h"

TEST(Smoke, Builds) {
  Ref<Document> doc = Document::create();
  Ref<Element> e = doc->createElement(u"svg");
  doc->appendChild(e.get());
  EXPECT_EQ(doc->documentElement(), e.get());
}
