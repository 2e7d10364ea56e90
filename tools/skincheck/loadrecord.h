#pragma once
// What loading a skin did with each part of its file, heard through the
// loader's and the style engine's observers: where every element starts,
// which attributes went to geometry and which to the style declaration,
// every declaration kept, and every one dropped with the reason.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "dom/skindocumentloader.h"
#include "style/styleobserver.h"

struct DeclaredProperty {
  std::u16string name;
  std::u16string value;
  std::u16string attribute;  // the attribute it came from: its own name, or "style"
  bool rejected = false;     // a presentation attribute the grammar refused
};

struct DroppedDeclaration {
  StyleObserver::Drop drop;
  std::u16string name;
  std::u16string value;
  std::u16string attribute;
};

struct ElementRecord {
  std::u16string tag;
  SkinLoadObserver::Position position;
  std::vector<std::u16string> geometry;  // attributes read into geometry
  std::vector<DeclaredProperty> declared;
  std::vector<DroppedDeclaration> dropped;
};

struct SkippedPart {
  std::u16string text;  // the tag left out, or the text dropped
  SkinLoadObserver::Position position;
};

class LoadRecord final : public SkinLoadObserver, public StyleObserver {
 public:
  // Installs itself as the style engine's observer for its lifetime.
  LoadRecord();
  ~LoadRecord();
  LoadRecord(const LoadRecord&) = delete;
  LoadRecord& operator=(const LoadRecord&) = delete;

  // None for an element the loader did not report.
  const ElementRecord* recordOf(const Element* element) const;
  const std::vector<SkippedPart>& skippedElements() const { return m_skippedElements; }
  const std::vector<SkippedPart>& droppedTexts() const { return m_droppedTexts; }

  void elementStarted(Element* element, WideStringView tag, const Position& position) override;
  void attributeApplying(Element* element, WideStringView name) override;
  void textDropped(WideStringView text, const Position& position) override;
  void declarationDropped(Drop drop, DomStringView name, DomStringView value) override;
  void presentationAttribute(DomStringView name, DomStringView value) override;
  void declarationKept(DomStringView name, DomStringView value) override;

 private:
  ElementRecord* m_current = nullptr;  // the element whose attribute is being read
  std::u16string m_attribute;
  std::unordered_map<const Element*, std::unique_ptr<ElementRecord>> m_records;
  std::vector<SkippedPart> m_skippedElements;
  std::vector<SkippedPart> m_droppedTexts;
};
