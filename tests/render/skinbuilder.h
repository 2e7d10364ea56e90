#pragma once
// Skin documents built in code, attribute by attribute as the loader does,
// and a view on a fresh device to show them in.

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "dom/characterdata.h"
#include "platform/core/windowing.h"
#include "platform/gdi/surface.h"
#include "render/engine.h"
#include "render/skinview.h"
#include "render/svgelements.h"
#include "tests/support/testdevice.h"

using Attributes = std::initializer_list<std::pair<const char16_t*, const char16_t*>>;

class SkinBuilder {
 public:
  explicit SkinBuilder(const std::string& path = "\\skins\\test.bskn") : m_document(SVGDocument::create(path)) {}

  SVGDocument* document() const { return m_document.get(); }
  Ref<SVGDocument> take() { return std::move(m_document); }

  // A new element under `parent` (under the document when none), its
  // attributes set and announced in order.
  template <typename T = SVGElement>
  T* add(Node* parent, const char16_t* tag, Attributes attributes = {}) {
    Ref<SVGElement> element = m_document->createSVGElement(tag);
    EXPECT_TRUE(element) << "no element for the tag";
    if (!element) return nullptr;
    for (const auto& [name, value] : attributes) {
      element->setAttribute(name, value);
      element->attributeChanged(name);
    }
    EXPECT_TRUE((parent ? parent : m_document.get())->appendChild(element.get())) << "not placed";
    return static_cast<T*>(element.get());
  }

  // A `text` element holding `text`.
  SVGTextElement* addText(Node* parent, const char16_t* text, Attributes attributes = {}) {
    auto* element = add<SVGTextElement>(parent, u"text", attributes);
    Ref<Text> node = m_document->createTextNode(text);
    element->appendChild(node.get());
    return element;
  }

 private:
  Ref<SVGDocument> m_document;
};

// A fresh device, window manager and engine, with a parent window.
class ViewFixture : public testing::Test {
 protected:
  void SetUp() override {
    startSkinEngine(nullptr, "OrvelFlash");
    freshScreen();
  }
  // No windows but a new parent, the view's class registered again.
  void freshScreen() {
    wm::resetForTests();
    gdi::installWindowHooks();
    registerSkinViewClass();
    WNDCLASSW parentClass{};
    parentClass.lpfnWndProc = DefWindowProcW;
    parentClass.lpszClassName = u"TestParent";
    RegisterClassW(&parentClass);
    m_parent =
        CreateWindowExW(0, u"TestParent", u"parent", WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr, nullptr, nullptr);
  }
  void TearDown() override { wm::resetForTests(); }

  // A view at (0, 0) showing `skin`, painted.
  SkinView* show(SkinBuilder& skin, int width = 240, int height = 268) {
    auto* view = new SkinView(m_parent, 0, 0, width, height, nullptr);
    EXPECT_TRUE(view->window());
    view->show(skin.take());
    wm::dispatchPending();
    return view;
  }

  static COLORREF at(SkinView* view, int x, int y) { return GetPixel(view->bufferDc(), x, y); }
  static int count(SkinView* view, COLORREF colour, RECT r) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += GetPixel(view->bufferDc(), x, y) == colour;
    return n;
  }

  TestDevice m_device;
  HWND m_parent = nullptr;
};

inline constexpr COLORREF kWhite = RGB(255, 255, 255);
inline constexpr COLORREF kRed = RGB(255, 0, 0);
inline constexpr COLORREF kBlue = RGB(0, 0, 255);
inline constexpr COLORREF kGreen = RGB(0, 128, 0);
inline constexpr COLORREF kBlack = RGB(0, 0, 0);
