#pragma once
// The style declaration of one skin element (owned by it): an ordered list of
// properties, each an id, a value, an important flag and a non-CSS-hint flag,
// with the DOM Level 2 Style operations.

#include <cstdint>

#include "style/cssparser.h"

class CSSRule;
class ParsedStyleCache;

class CSSStyleDeclaration {
 public:
  CSSStyleDeclaration() = default;
  virtual ~CSSStyleDeclaration() = default;
  CSSStyleDeclaration(const CSSStyleDeclaration&) = delete;
  CSSStyleDeclaration& operator=(const CSSStyleDeclaration&) = delete;

  // "name: value; " for each property in list order.
  virtual DomString cssText() const;
  // Replaces the whole list when the text gives at least one property;
  // otherwise leaves the declaration unchanged.
  virtual void setCssText(const DomString& text);
  virtual DomString getPropertyValue(const DomString& propertyName) const;
  // The value object (a new reference), none when the property is not set.
  virtual Ref<CSSValue> getPropertyCSSValue(const DomString& propertyName) const;
  // Removes the property and answers the text its value had.
  virtual DomString removeProperty(const DomString& propertyName);
  // "important" or empty.
  virtual DomString getPropertyPriority(const DomString& propertyName) const;
  // Replaces every entry of the property by the parsed value; a value that the
  // property's grammar rejects leaves no entry of it.
  virtual void setProperty(const DomString& propertyName, const DomString& value, const DomString& priority);
  virtual bool setProperty(std::int32_t propertyId, const DomString& value, bool important);
  virtual std::uint32_t length() const;
  // The name of the property at `index`, empty past the end.
  virtual DomString item(std::uint32_t index) const;
  virtual CSSRule* parentRule() const { return nullptr; }

  // By id, for the painter and the style pass (none when not set).
  CSSValue* propertyValue(std::int32_t propertyId) const;
  bool isImportant(std::int32_t propertyId) const;
  const CSSPropertyList& properties() const { return m_properties; }
  bool changed() const { return m_changed; }
  void clearChanged() { m_changed = false; }

 private:
  friend void applyPresentationAttribute(CSSStyleDeclaration&, const DomString&, std::int32_t, const DomString&,
                                         ParsedStyleCache*);

  const CSSProperty* find(std::int32_t propertyId) const;
  void removeAll(std::int32_t propertyId);
  // The two setters on text already prepared for parsing.
  void setPreparedCssText(DomStringView text);
  bool setPreparedProperty(std::int32_t propertyId, DomStringView value, bool important);
  // The two setters given what a parse of their text gave (`parsed` holds
  // copies of the entries the parser would have appended).
  void takeCssText(const CSSPropertyList& parsed, bool accepted);
  bool takeProperty(std::int32_t propertyId, const CSSPropertyList& parsed, bool accepted);
  void makeRoom(std::size_t more);
  // Drops the entries before `newFrom` that the entries from it set again.
  void dropReplacedBy(std::ptrdiff_t newFrom);

  CSSPropertyList m_properties;
  bool m_changed = false;
};

// A presentation attribute of a skin element reaching its declaration: a
// "style" attribute first replaces the whole list with its declarations; then
// every attribute, "style" included, is set as a property of its own name
// (registered when new) with the attribute's text.
void applyPresentationAttribute(CSSStyleDeclaration& declaration, const DomString& name, const DomString& value);
// The same for a name whose id is known already (PropertyRegistry::idOf);
// with a cache, a text parsed before is not parsed again (unless a style
// observer is installed, which hears every parse).
void applyPresentationAttribute(CSSStyleDeclaration& declaration, const DomString& name, std::int32_t propertyId,
                                const DomString& value, ParsedStyleCache* cache = nullptr);
// Whether a "style" attribute of text `value` replaces whatever the
// presentation attributes before it set, so that an element given all its
// attributes at once need not apply those (false without a cache, and while a
// style observer listens to each).
bool styleTextReplacesEarlier(const DomString& value, ParsedStyleCache* cache);
