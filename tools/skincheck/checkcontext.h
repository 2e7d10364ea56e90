#pragma once
// What every check reads: the loaded document, what loading it did, the
// file's text for positions, and the report the findings go to.

#include <string>
#include <vector>

#include "render/svgdocument.h"
#include "tools/skincheck/loadrecord.h"
#include "tools/skincheck/report.h"
#include "tools/skincheck/sourcetext.h"

struct CheckContext {
  SVGDocument& document;
  const LoadRecord& record;
  const SourceText& source;
  Report& report;

  // Every skin element below and including the document element, in document order.
  std::vector<SVGElement*> elements() const;

  SourcePosition positionOf(const SkinLoadObserver::Position& position) const;
  SourcePosition at(const Element* element) const;
  // The attribute's place in the element's tag, else the element's.
  SourcePosition at(const Element* element, std::u16string_view attribute) const;
  // A declaration's place inside its attribute, else the attribute's.
  SourcePosition at(const Element* element, std::u16string_view attribute, std::u16string_view declaration) const;

  // "rect 'seekBar'", or "rect" for an element without an id.
  static std::string describe(const Element* element);
  // "rect 'seekBar' (12:3)": the element with its place, for a second element in a finding.
  std::string describeAt(const Element* element) const;
};

std::string utf8(std::u16string_view text);

// The checks of the element set, the style engine and pictures.
void checkElements(const CheckContext& context);
// The checks of the agreed ids, the movie's box, thumbs, hit testing and size.
void checkAgreedIds(const CheckContext& context);
