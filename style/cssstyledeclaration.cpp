#include "style/cssstyledeclaration.h"

#include <algorithm>

#include "style/parsedstylecache.h"
#include "style/propertyregistry.h"
#include "style/styleobserver.h"

namespace {

// Text as the parser reads it: prepared, or as it is when that changes nothing.
class PreparedText {
 public:
  explicit PreparedText(DomStringView text) : m_view(text) {
    if (!css::isPrepared(text)) {
      m_prepared = css::prepareText(text);
      m_view = m_prepared;
    }
  }
  DomStringView view() const { return m_view; }

 private:
  DomString m_prepared;
  DomStringView m_view;
};

}  // namespace

DomString CSSStyleDeclaration::cssText() const {
  DomString text;
  for (const CSSProperty& property : m_properties) {
    text += propertyRegistry().nameOf(property.id);
    text += u": ";
    text += property.value->cssText();
    text += u"; ";
  }
  return text;
}

// Parsed after the present entries, which give way when anything resulted;
// the list keeps its storage from one style text to the next.
void CSSStyleDeclaration::setCssText(const DomString& text) { setPreparedCssText(PreparedText(text).view()); }

void CSSStyleDeclaration::setPreparedCssText(DomStringView text) {
  const auto before = static_cast<std::ptrdiff_t>(m_properties.size());
  bool parsed = false;
  try {
    CSSParser parser(m_properties);
    parsed = parser.parseDeclarationList(text);
  } catch (...) {
    m_properties.erase(m_properties.begin() + before, m_properties.end());
    throw;
  }
  if (!parsed) return;
  if (StyleObserver* observer = styleObserver()) {
    for (auto it = m_properties.begin(); it != m_properties.begin() + before; ++it)
      observer->declarationDropped(StyleObserver::Drop::Replaced, propertyRegistry().nameOf(it->id),
                                   it->value->cssText());
  }
  m_properties.erase(m_properties.begin(), m_properties.begin() + before);
}

// The entry that counts: the last important one, else the last one.
const CSSProperty* CSSStyleDeclaration::find(std::int32_t propertyId) const {
  const CSSProperty* found = nullptr;
  for (const CSSProperty& property : m_properties) {
    if (property.id != propertyId) continue;
    if (!found || property.important || !found->important) found = &property;
  }
  return found;
}

void CSSStyleDeclaration::removeAll(std::int32_t propertyId) {
  auto holds = [&](const CSSProperty& property) { return property.id == propertyId; };
  if (std::none_of(m_properties.begin(), m_properties.end(), holds)) return;
  std::erase_if(m_properties, holds);
}

CSSValue* CSSStyleDeclaration::propertyValue(std::int32_t propertyId) const {
  const CSSProperty* property = find(propertyId);
  return property ? property->value.get() : nullptr;
}

bool CSSStyleDeclaration::isImportant(std::int32_t propertyId) const {
  const CSSProperty* property = find(propertyId);
  return property && property->important;
}

DomString CSSStyleDeclaration::getPropertyValue(const DomString& propertyName) const {
  CSSValue* value = propertyValue(propertyRegistry().lookup(propertyName));
  return value ? value->cssText() : DomString();
}

Ref<CSSValue> CSSStyleDeclaration::getPropertyCSSValue(const DomString& propertyName) const {
  return Ref<CSSValue>(propertyValue(propertyRegistry().lookup(propertyName)));
}

DomString CSSStyleDeclaration::removeProperty(const DomString& propertyName) {
  std::int32_t id = propertyRegistry().lookup(propertyName);
  DomString text = getPropertyValue(propertyName);
  if (id) removeAll(id);
  return text;
}

DomString CSSStyleDeclaration::getPropertyPriority(const DomString& propertyName) const {
  return isImportant(propertyRegistry().lookup(propertyName)) ? u"important" : DomString();
}

void CSSStyleDeclaration::setProperty(const DomString& propertyName, const DomString& value,
                                      const DomString& priority) {
  setProperty(propertyRegistry().idOf(propertyName), value, priority == u"important");
}

bool CSSStyleDeclaration::setProperty(std::int32_t propertyId, const DomString& value, bool important) {
  return setPreparedProperty(propertyId, PreparedText(value).view(), important);
}

bool CSSStyleDeclaration::setPreparedProperty(std::int32_t propertyId, DomStringView value, bool important) {
  if (propertyId < 1) return false;
  removeAll(propertyId);
  // Parsed in place at the end of the list; a rejected value leaves nothing.
  const auto before = static_cast<std::ptrdiff_t>(m_properties.size());
  CSSParser parser(m_properties);
  if (!parser.parseValue(propertyId, value, important)) {
    if (StyleObserver* observer = styleObserver())
      observer->declarationDropped(StyleObserver::Drop::Rejected, propertyRegistry().nameOf(propertyId), value);
    return false;
  }
  dropReplacedBy(before);
  return true;
}

// A shorthand replaces the longhands it sets.
void CSSStyleDeclaration::dropReplacedBy(std::ptrdiff_t newFrom) {
  const auto parsedBegin = m_properties.begin() + newFrom;
  auto isParsed = [&](const CSSProperty& old) {
    return std::any_of(parsedBegin, m_properties.end(), [&](const CSSProperty& parsed) { return parsed.id == old.id; });
  };
  m_properties.erase(std::remove_if(m_properties.begin(), parsedBegin, isParsed), parsedBegin);
  m_changed = true;
}

// Room for a skin element's usual handful of properties at once.
void CSSStyleDeclaration::makeRoom(std::size_t more) {
  constexpr std::size_t kHandful = 4;
  const std::size_t wanted = m_properties.size() + more;
  if (wanted > m_properties.capacity()) m_properties.reserve(std::max({wanted, kHandful, 2 * m_properties.capacity()}));
}

void CSSStyleDeclaration::takeCssText(const CSSPropertyList& parsed, bool accepted) {
  if (!accepted) return;
  m_properties.clear();
  makeRoom(parsed.size());
  m_properties.insert(m_properties.end(), parsed.begin(), parsed.end());
}

bool CSSStyleDeclaration::takeProperty(std::int32_t propertyId, const CSSPropertyList& parsed, bool accepted) {
  if (propertyId < 1) return false;
  removeAll(propertyId);
  if (!accepted) return false;
  makeRoom(parsed.size());
  const auto before = static_cast<std::ptrdiff_t>(m_properties.size());
  for (const CSSProperty& property : parsed) m_properties.push_back(property);
  // A longhand has replaced itself already; only a shorthand's parts need looking for.
  if (parsed.size() == 1 && parsed.front().id == propertyId)
    m_changed = true;
  else
    dropReplacedBy(before);
  return true;
}

std::uint32_t CSSStyleDeclaration::length() const { return static_cast<std::uint32_t>(m_properties.size()); }

DomString CSSStyleDeclaration::item(std::uint32_t index) const {
  if (index >= m_properties.size()) return {};
  return propertyRegistry().nameOf(m_properties[index].id);
}

// The text is prepared once for both uses of a "style" attribute.
void applyPresentationAttribute(CSSStyleDeclaration& declaration, const DomString& name, const DomString& value) {
  applyPresentationAttribute(declaration, name, propertyRegistry().idOf(name), value);
}

namespace {

const ParsedStyleCache::Parsed& parsedStyleText(ParsedStyleCache& cache, const DomString& value) {
  return cache.parsed(ParsedStyleCache::kStyleText, value, [&](CSSPropertyList& parsed) {
    return CSSParser(parsed).parseDeclarationList(PreparedText(value).view());
  });
}

}  // namespace

bool styleTextReplacesEarlier(const DomString& value, ParsedStyleCache* cache) {
  return cache && !styleObserver() && parsedStyleText(*cache, value).accepted;
}

void applyPresentationAttribute(CSSStyleDeclaration& declaration, const DomString& name, std::int32_t propertyId,
                                const DomString& value, ParsedStyleCache* cache) {
  StyleObserver* observer = styleObserver();
  if (cache && !observer) {
    if (equalsIgnoreCase(name, u"style")) {
      const auto& list = parsedStyleText(*cache, value);
      declaration.takeCssText(list.properties, list.accepted);
    }
    if (propertyId < 1) return;
    const auto& own = cache->parsed(propertyId, value, [&](CSSPropertyList& parsed) {
      return CSSParser(parsed).parseValue(propertyId, PreparedText(value).view(), false);
    });
    declaration.takeProperty(propertyId, own.properties, own.accepted);
    return;
  }
  const PreparedText prepared(value);
  if (observer) observer->presentationAttribute(name, prepared.view());
  if (equalsIgnoreCase(name, u"style")) declaration.setPreparedCssText(prepared.view());
  declaration.setPreparedProperty(propertyId, prepared.view(), false);
}
