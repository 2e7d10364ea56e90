#pragma once
// A small skin document for the loader's tests: its factory knows the ten
// tag names of a skin (ignoring case) and answers none for anything else; its
// elements record every attributeChanged call and count how many are alive.

#include <string>
#include <vector>

#include "dom/dom.h"

class SkinTestElement : public Element {
 public:
  SkinTestElement(Document* doc, const PooledName* name) : Element(doc, name) { ++s_alive; }
  static int alive() { return s_alive; }

  void attributeChanged(const DomString& name) override {
    // What the element sees when told: the attribute is already set.
    changes.push_back(toNarrowAscii(name) + "=" + toNarrowAscii(getAttribute(name)));
  }
  std::vector<std::string> changes;

 protected:
  ~SkinTestElement() override { --s_alive; }

 private:
  static inline int s_alive = 0;
};

class SkinTestDocument : public Document {
 public:
  explicit SkinTestDocument(std::string path) : m_path(std::move(path)) {}
  static Ref<SkinTestDocument> create(const std::string& path) {
    return Ref<SkinTestDocument>::adopt(new SkinTestDocument(path));
  }
  const std::string& path() const { return m_path; }

  Ref<Element> createElementByTag(const DomString& tagName) override {
    static const char* const kTags[] = {"svg",    "g",       "text", "image",   "rect",
                                        "circle", "ellipse", "line", "polygon", "polyline"};
    for (const char* tag : kTags) {
      if (!equalsIgnoreCase(tagName, toWide(tag))) continue;
      const PooledName* name = internName(tagName);
      if (!name) return {};
      return Ref<Element>::adopt(new SkinTestElement(this, name));
    }
    return {};
  }

 private:
  std::string m_path;
};
