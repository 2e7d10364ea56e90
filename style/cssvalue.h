#pragma once
// The value objects a style declaration stores, after DOM Level 2 Style:
// `CSSValue`, `CSSPrimitiveValue`, `CSSValueList`, `RGBColor` and `Rect`, with
// the standard's type numbers. Values are reference counted: a declaration
// entry holds one reference, and one value object may be shared by the four
// sides a shorthand sets. A value is carved from the arena of the current
// NodeArena::Scope: an element's values go with its document.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/refcounted.h"
#include "dom/nodearena.h"
#include "style/colour.h"
#include "style/csstext.h"

class CSSValue : public RefCounted {
 public:
  enum : std::uint16_t { CSS_INHERIT = 0, CSS_PRIMITIVE_VALUE = 1, CSS_VALUE_LIST = 2, CSS_CUSTOM = 3 };

  static void* operator new(std::size_t size) { return NodeArena::allocateInScope(size); }
  static void operator delete(void* block) { NodeArena::deallocate(block); }

  virtual std::uint16_t cssValueType() const = 0;
  virtual DomString cssText() const = 0;
};

// "inherit", given for any property.
class CSSInheritedValue final : public CSSValue {
 public:
  std::uint16_t cssValueType() const override { return CSS_INHERIT; }
  DomString cssText() const override { return u"inherited"; }
};

class CSSPrimitiveValue;
class RGBColor;

// The four sides of a "rect" form; each side a length or the keyword "auto".
class Rect final : public RefCounted {
 public:
  Rect(Ref<CSSPrimitiveValue> top, Ref<CSSPrimitiveValue> right, Ref<CSSPrimitiveValue> bottom,
       Ref<CSSPrimitiveValue> left);
  ~Rect() override;
  CSSPrimitiveValue* top() const { return m_top.get(); }
  CSSPrimitiveValue* right() const { return m_right.get(); }
  CSSPrimitiveValue* bottom() const { return m_bottom.get(); }
  CSSPrimitiveValue* left() const { return m_left.get(); }

 private:
  Ref<CSSPrimitiveValue> m_top, m_right, m_bottom, m_left;
};

class CSSPrimitiveValue : public CSSValue {
 public:
  using ArenaText = std::basic_string<char16_t, std::char_traits<char16_t>, ScopedArenaAllocator<char16_t>>;

  enum UnitType : std::uint16_t {
    CSS_UNKNOWN = 0,
    CSS_NUMBER = 1,
    CSS_PERCENTAGE = 2,
    CSS_EMS = 3,
    CSS_EXS = 4,
    CSS_PX = 5,
    CSS_CM = 6,
    CSS_MM = 7,
    CSS_IN = 8,
    CSS_PT = 9,
    CSS_PC = 10,
    CSS_DEG = 11,
    CSS_RAD = 12,
    CSS_GRAD = 13,
    CSS_MS = 14,
    CSS_S = 15,
    CSS_HZ = 16,
    CSS_KHZ = 17,
    CSS_DIMENSION = 18,
    CSS_STRING = 19,
    CSS_URI = 20,
    CSS_IDENT = 21,
    CSS_ATTR = 22,
    CSS_COUNTER = 23,
    CSS_RECT = 24,
    CSS_RGBCOLOR = 25,
  };

  static Ref<CSSPrimitiveValue> number(float value, UnitType type);
  static Ref<CSSPrimitiveValue> string(DomStringView text, UnitType type = CSS_STRING);
  static Ref<CSSPrimitiveValue> keyword(int keywordId);
  static Ref<CSSPrimitiveValue> rect(Ref<Rect> rect);
  static Ref<CSSPrimitiveValue> colour(Colour colour);

  std::uint16_t cssValueType() const override { return CSS_PRIMITIVE_VALUE; }
  DomString cssText() const override;

  UnitType primitiveType() const { return m_type; }
  bool isNumeric() const { return m_type >= CSS_NUMBER && m_type <= CSS_KHZ; }
  // The number of a numeric value, 0 for the other kinds.
  float getFloatValue() const { return isNumeric() ? m_number : 0; }
  // The text of a string or URI, the name of a keyword, empty otherwise.
  DomString getStringValue() const;
  // The keyword id of an identifier, 0 otherwise.
  int getIdent() const { return m_type == CSS_IDENT ? m_keyword : 0; }
  Rect* getRectValue() const { return m_rect.get(); }
  // The colour of a colour value (black for the other kinds).
  const Colour& colourValue() const { return m_colour; }
  // The DOM view of a colour value; none for the other kinds.
  Ref<RGBColor> getRGBColorValue() const;

 protected:
  explicit CSSPrimitiveValue(UnitType type) : m_type(type) {}
  CSSPrimitiveValue(UnitType type, DomStringView text) : m_type(type), m_text(text) {}

 private:
  UnitType m_type;
  float m_number = 0;
  int m_keyword = 0;
  ArenaText m_text;  // in the arena with the value
  Ref<Rect> m_rect;
  Colour m_colour;
};

// A font family name; remembers whether it names one of the generic families.
class FontFamilyValue final : public CSSPrimitiveValue {
 public:
  static Ref<FontFamilyValue> create(DomStringView name, bool quoted);
  bool isGeneric() const { return m_generic; }
  DomString cssText() const override;

 private:
  explicit FontFamilyValue(DomStringView name) : CSSPrimitiveValue(CSS_STRING, name) {}
  bool m_generic = false;
};

// The DOM view of a colour value: three CSS_NUMBER components.
class RGBColor final : public RefCounted {
 public:
  explicit RGBColor(const Colour& colour);
  ~RGBColor() override;
  CSSPrimitiveValue* red() const { return m_red.get(); }
  CSSPrimitiveValue* green() const { return m_green.get(); }
  CSSPrimitiveValue* blue() const { return m_blue.get(); }

 private:
  Ref<CSSPrimitiveValue> m_red, m_green, m_blue;
};

class CSSValueList final : public CSSValue {
 public:
  enum class Separator { Space, Comma };
  explicit CSSValueList(Separator separator) : m_separator(separator) {}

  std::uint16_t cssValueType() const override { return CSS_VALUE_LIST; }
  DomString cssText() const override;

  void append(Ref<CSSValue> value) { m_items.push_back(std::move(value)); }
  std::uint32_t length() const { return static_cast<std::uint32_t>(m_items.size()); }
  // None past the end.
  CSSValue* item(std::uint32_t index) const { return index < m_items.size() ? m_items[index].get() : nullptr; }

 private:
  Separator m_separator;
  std::vector<Ref<CSSValue>, ScopedArenaAllocator<Ref<CSSValue>>> m_items;
};

// Numbers as the text forms write them: "%f" without trailing zeros or ".".
DomString formatCssNumber(float value);

// Adopts a new value's creation reference as a handle to its base class.
template <typename T>
Ref<CSSValue> asValue(Ref<T> value) {
  return Ref<CSSValue>::adopt(value.leak());
}
