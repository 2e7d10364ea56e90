#pragma once
// The skin document: a DOM document that remembers the file it was loaded
// from (pictures are found beside it) and whose element factory makes the
// ten skin element classes.

#include <array>
#include <memory>
#include <string>

#include "dom/document.h"
#include "render/svgelement.h"
#include "style/parsedstylecache.h"

class SVGDocument final : public Document {
 public:
  // `filePath` is the document's device path in the ANSI code page.
  static Ref<SVGDocument> create(const std::string& filePath = {});

  const std::string& filePath() const { return m_filePath; }

  // The first element below the document element, depth first in document
  // order, whose "id" equals `elementId` exactly; the document element itself
  // is never matched.
  Element* getElementById(const DomString& elementId) override;
  // The skin element for a tag (letter case ignored); none for any other tag.
  virtual Ref<SVGElement> createSVGElement(const DomString& tagName);
  Ref<Element> createElementByTag(const DomString& tagName) override;

  // The document element as a skin element, none when there is none.
  SVGElement* rootElement() const { return asSVGElement(documentElement()); }
  // While a load lasts, the presentation attributes' texts as parsed for
  // this document's elements; none otherwise.
  ParsedStyleCache* parsedStyles() { return m_parsedStyles.get(); }
  void loadStarted() override;
  void loadFinished() override;

 private:
  explicit SVGDocument(std::string filePath) : m_filePath(std::move(filePath)) {}
  ~SVGDocument() override;

  static constexpr std::size_t kElementClassCount = 10;

  std::string m_filePath;
  // The pooled tag name each element class was last made with, by class.
  std::array<const PooledName*, kElementClassCount> m_tagNames{};
  // Its values are carved from the arena the document releases last.
  std::unique_ptr<ParsedStyleCache> m_parsedStyles;
};
