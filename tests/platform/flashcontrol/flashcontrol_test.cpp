#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/widestring.h"
#include "platform/flash/server/flashcontrol.h"
#include "platform/flash/server/flashmembers.h"
#include "platform/gdi/wingdi.h"
#include "platform/ole/inproc.h"

namespace {

ComPtr<IDispatch> newControl() {
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(flashGetClassObject(CLSID_ShockwaveFlash, IID_IClassFactory, factory.putVoid()), S_OK);
  ComPtr<IDispatch> control;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, control.putVoid()), S_OK);
  return control;
}

DISPID idOf(IDispatch* d, const char16_t* name) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  EXPECT_EQ(d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << toNarrowAscii(name);
  return id;
}

HRESULT put(IDispatch* d, const char16_t* name, const char16_t* text) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocString(text);
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&value, &named, 1, 1};
  HRESULT hr = d->Invoke(idOf(d, name), IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                         nullptr, nullptr);
  VariantClear(&value);
  return hr;
}

// Invokes a method with texts given in call order; the result as text.
HRESULT call(IDispatch* d, const char16_t* name, std::vector<std::u16string> texts, std::string* result = nullptr,
             WORD flags = DISPATCH_METHOD) {
  std::vector<VARIANT> args(texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    VARIANT& a = args[texts.size() - 1 - i];
    VariantInit(&a);
    a.vt = VT_BSTR;
    a.bstrVal = SysAllocString(texts[i].c_str());
  }
  DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
  VARIANT out;
  VariantInit(&out);
  HRESULT hr = d->Invoke(idOf(d, name), IID_NULL, LOCALE_SYSTEM_DEFAULT, flags, &params, &out, nullptr, nullptr);
  if (SUCCEEDED(hr) && result) {
    result->clear();
    if (SUCCEEDED(VariantChangeType(&out, &out, VARIANT_NOVALUEPROP, VT_BSTR))) *result = toNarrowAscii(out.bstrVal);
  }
  VariantClear(&out);
  for (auto& a : args) VariantClear(&a);
  return hr;
}

std::string get(IDispatch* d, const char16_t* name) {
  std::string text = "<failed>";
  call(d, name, {}, &text, DISPATCH_PROPERTYGET);
  return text;
}

FlashControlObject* objectOf(IDispatch* d) { return static_cast<FlashControlObject*>(d); }

TEST(FlashTypeInfo, ListsThePublishedMembersWithTheirKinds) {
  ComPtr<IDispatch> control = newControl();
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(control->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  EXPECT_TRUE(IsEqualGUID(attr->guid, IID_IShockwaveFlash));
  EXPECT_EQ(attr->cImplTypes, 1);
  WORD count = attr->cFuncs;
  info->ReleaseTypeAttr(attr);

  struct Seen {
    int kinds = 0;
    VARTYPE result = 0;
    std::vector<VARTYPE> params;
    bool restricted = false;
  };
  std::map<std::string, Seen> seen;
  for (UINT i = 0; i < count; ++i) {
    FUNCDESC* f = nullptr;
    ASSERT_EQ(info->GetFuncDesc(i, &f), S_OK);
    BSTR name = nullptr;
    UINT n = 0;
    ASSERT_EQ(info->GetNames(f->memid, &name, 1, &n), S_OK);
    Seen& s = seen[toNarrowAscii(name)];
    SysFreeString(name);
    s.kinds |= f->invkind;
    s.restricted = f->wFuncFlags & FUNCFLAG_FRESTRICTED;
    if (f->invkind != INVOKE_PROPERTYPUT) {
      s.result = f->elemdescFunc.tdesc.vt;
      for (SHORT p = 0; p < f->cParams; ++p) s.params.push_back(f->lprgelemdescParam[p].tdesc.vt);
    }
    info->ReleaseFuncDesc(f);
  }
  struct Row {
    const char* name;
    int kinds;
    VARTYPE result;
    std::vector<VARTYPE> params;
  };
  const Row rows[] = {
      {"TotalFrames", INVOKE_PROPERTYGET, VT_I4, {}},
      {"ReadyState", INVOKE_PROPERTYGET, VT_I4, {}},
      {"Playing", INVOKE_PROPERTYGET | INVOKE_PROPERTYPUT, VT_BOOL, {}},
      {"Loop", INVOKE_PROPERTYGET | INVOKE_PROPERTYPUT, VT_BOOL, {}},
      {"Movie", INVOKE_PROPERTYGET | INVOKE_PROPERTYPUT, VT_BSTR, {}},
      {"AlignMode", INVOKE_PROPERTYGET | INVOKE_PROPERTYPUT, VT_INT, {}},
      {"BGColor", INVOKE_PROPERTYGET | INVOKE_PROPERTYPUT, VT_BSTR, {}},
      {"Menu", INVOKE_PROPERTYGET | INVOKE_PROPERTYPUT, VT_BOOL, {}},
      {"CurrentFrame", INVOKE_FUNC, VT_I4, {}},
      {"Play", INVOKE_FUNC, VT_VOID, {}},
      {"GotoFrame", INVOKE_FUNC, VT_VOID, {VT_I4}},
      {"Zoom", INVOKE_FUNC, VT_VOID, {VT_INT}},
      {"TSetProperty", INVOKE_FUNC, VT_VOID, {VT_BSTR, VT_INT, VT_BSTR}},
      {"SetZoomRect", INVOKE_FUNC, VT_VOID, {VT_I4, VT_I4, VT_I4, VT_I4}},
      {"GetVariable", INVOKE_FUNC, VT_BSTR, {VT_BSTR}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    ASSERT_TRUE(seen.count(r.name));
    const Seen& s = seen[r.name];
    EXPECT_EQ(s.kinds, r.kinds);
    EXPECT_EQ(s.result, r.result);
    EXPECT_EQ(s.params, r.params);
    EXPECT_FALSE(s.restricted);
  }
  EXPECT_TRUE(seen["QueryInterface"].restricted);
  EXPECT_TRUE(seen["Invoke"].restricted);
  EXPECT_EQ(seen.size(), static_cast<size_t>(flash::kMemberCount) + 7);
}

TEST(FlashAutomation, MembersTakeTheTextsThePlayerPasses) {
  ComPtr<IDispatch> control = newControl();
  FlashControlObject* object = objectOf(control.get());
  EXPECT_EQ(put(control.get(), u"Loop", u"False"), S_OK);
  EXPECT_EQ(get(control.get(), u"Loop"), "0");
  EXPECT_EQ(put(control.get(), u"Menu", u"True"), S_OK);
  EXPECT_EQ(get(control.get(), u"Menu"), "-1");
  EXPECT_EQ(put(control.get(), u"AlignMode", u"9"), S_OK);
  EXPECT_EQ(object->player().alignMode(), 9);
  // An expression is no number: refused, the alignment as it was.
  EXPECT_EQ(put(control.get(), u"AlignMode", u"4 + 8"), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(object->player().alignMode(), 9);
  EXPECT_EQ(put(control.get(), u"AlignMode", u"1+8"), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(object->player().alignMode(), 9);
  EXPECT_EQ(put(control.get(), u"BGColor", u"FF8000"), S_OK);
  EXPECT_EQ(get(control.get(), u"BGColor"), "FF8000");
  EXPECT_EQ(get(control.get(), u"BackgroundColor"), std::to_string(0xFF8000));
  EXPECT_EQ(put(control.get(), u"BGColor", u"-1"), S_OK);
  EXPECT_EQ(get(control.get(), u"BGColor"), "-1");
  EXPECT_EQ(put(control.get(), u"BGColor", u"purple"), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(put(control.get(), u"TotalFrames", u"5"), DISP_E_MEMBERNOTFOUND);  // get only

  EXPECT_EQ(call(control.get(), u"Zoom", {u"50"}), S_OK);
  EXPECT_EQ(object->player().zoomPercent(), 50);
  EXPECT_EQ(call(control.get(), u"Zoom", {u"0"}), S_OK);
  EXPECT_EQ(object->player().zoomPercent(), 100);
  EXPECT_EQ(call(control.get(), u"TSetProperty", {u"_root", u"0", u"-30"}), S_OK);
  EXPECT_EQ(call(control.get(), u"TSetProperty", {u"_root", u"1", u"210"}), S_OK);
  EXPECT_EQ(call(control.get(), u"TSetProperty", {u"_root", u"10", u"-90"}), S_OK);
  EXPECT_EQ(object->player().rootProperty(swf::kPropertyX), -30);
  EXPECT_EQ(object->player().rootProperty(swf::kPropertyY), 210);
  EXPECT_EQ(object->player().rootProperty(swf::kPropertyRotation), -90);
  std::string text;
  EXPECT_EQ(call(control.get(), u"TGetProperty", {u"_root", u"1"}, &text), S_OK);
  EXPECT_EQ(text, "210");
  EXPECT_EQ(call(control.get(), u"TSetProperty", {u"_root", u"5", u"3"}), DISP_E_BADINDEX);  // read only
  EXPECT_EQ(call(control.get(), u"TSetProperty", {u"_root", u"0"}), DISP_E_BADPARAMCOUNT);   // too few texts
  EXPECT_EQ(call(control.get(), u"Pan", {u"1", u"2", u"0"}), E_NOTIMPL);  // not offered, not pretended

  // No movie: the timeline stays at its start and does not play.
  EXPECT_EQ(get(control.get(), u"TotalFrames"), "0");
  EXPECT_EQ(call(control.get(), u"Play", {}), S_OK);
  EXPECT_EQ(get(control.get(), u"Playing"), "0");
  EXPECT_EQ(call(control.get(), u"GotoFrame", {u"7"}), S_OK);
  EXPECT_EQ(call(control.get(), u"CurrentFrame", {}, &text), S_OK);
  EXPECT_EQ(text, "0");
  // CurrentFrame is a method: reached as a property it is not found.
  EXPECT_EQ(call(control.get(), u"CurrentFrame", {}, &text, DISPATCH_PROPERTYGET), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(call(control.get(), u"SetVariable", {u"score", u"10"}), S_OK);
  EXPECT_EQ(call(control.get(), u"GetVariable", {u"score"}, &text), S_OK);
  EXPECT_EQ(text, "10");
}

TEST(FlashMovieUrl, NamesADevicePath) {
  struct Row {
    const char16_t* url;
    const char16_t* path;
  };
  const Row rows[] = {
      {u"file://\\My Documents\\a.swf", u"\\My Documents\\a.swf"},
      {u"file:///\\My Documents\\a.swf", u"\\My Documents\\a.swf"},
      {u"file:///My Documents/a.swf", u"\\My Documents\\a.swf"},
      {u"FILE://Storage Card/b.swf", u"\\Storage Card\\b.swf"},
      {u"\\Temp\\c.swf", u"\\Temp\\c.swf"},
      {u"http://example.com/a.swf", u""},
      {u"file://", u""},
      {u"", u""},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(toNarrowAscii(r.url));
    EXPECT_EQ(toNarrowAscii(moviePathOfUrl(r.url)), toNarrowAscii(r.path));
  }
}

// A site that records what the control asks of it.
class RecordingSite final : public IOleClientSite, public IOleInPlaceSite {
 public:
  explicit RecordingSite(HWND window) : m_window(window) {}
  std::string log;
  RECT clip{0, 0, 200, 150};

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
      *ppv = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleInPlaceSite || riid == IID_IOleWindow)
      *ppv = static_cast<IOleInPlaceSite*>(this);
    if (!*ppv) return E_NOINTERFACE;
    return S_OK;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT SaveObject() override { return S_OK; }
  HRESULT GetMoniker(DWORD, DWORD, IMoniker** pp) override {
    *pp = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetContainer(IOleContainer** pp) override {
    *pp = nullptr;
    return E_NOTIMPL;
  }
  HRESULT ShowObject() override { return S_OK; }
  HRESULT OnShowWindow(BOOL) override { return S_OK; }
  HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }
  HRESULT GetWindow(HWND* phwnd) override {
    *phwnd = m_window;
    return S_OK;
  }
  HRESULT ContextSensitiveHelp(BOOL) override { return S_OK; }
  HRESULT CanInPlaceActivate() override { return note("CanInPlaceActivate"); }
  HRESULT OnInPlaceActivate() override { return note("OnInPlaceActivate"); }
  HRESULT OnUIActivate() override { return note("OnUIActivate"); }
  HRESULT GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clipOut,
                           LPOLEINPLACEFRAMEINFO) override {
    *frame = nullptr;
    *doc = nullptr;
    *pos = clip;
    *clipOut = clip;
    return note("GetWindowContext");
  }
  HRESULT Scroll(SIZE) override { return S_OK; }
  HRESULT OnUIDeactivate(BOOL) override { return note("OnUIDeactivate"); }
  HRESULT OnInPlaceDeactivate() override { return note("OnInPlaceDeactivate"); }
  HRESULT DiscardUndoState() override { return E_FAIL; }
  HRESULT DeactivateAndUndo() override { return E_FAIL; }
  HRESULT OnPosRectChange(LPCRECT) override { return S_OK; }

 private:
  HRESULT note(const char* what) {
    log += (log.empty() ? "" : " ") + std::string(what);
    return S_OK;
  }
  HWND m_window;
};

LRESULT plainProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

HWND makeHolder() {
  WNDCLASSW wc{};
  if (!GetClassInfoW(nullptr, u"TestHolder", &wc)) {
    wc.lpfnWndProc = plainProc;
    wc.lpszClassName = u"TestHolder";
    RegisterClassW(&wc);
  }
  return CreateWindowExW(0, u"TestHolder", u"holder", WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr, nullptr, nullptr);
}

TEST(FlashActivation, ShowActivatesInPlaceInAChildOfTheSiteWindow) {
  HWND holder = makeHolder();
  ASSERT_TRUE(holder);
  RecordingSite site(holder);
  ComPtr<IDispatch> control = newControl();
  ComPtr<IOleObject> ole;
  ASSERT_EQ(control.queryInterface(IID_IOleObject, ole), S_OK);
  ASSERT_EQ(ole->SetClientSite(&site), S_OK);
  RECT position{10, 20, 110, 95};
  ASSERT_EQ(ole->DoVerb(OLEIVERB_SHOW, nullptr, &site, -1, holder, &position), S_OK);
  EXPECT_EQ(site.log, "CanInPlaceActivate OnInPlaceActivate GetWindowContext OnUIActivate");

  ComPtr<IOleInPlaceObject> inPlace;
  ASSERT_EQ(control.queryInterface(IID_IOleInPlaceObject, inPlace), S_OK);
  HWND window = nullptr;
  ASSERT_EQ(inPlace->GetWindow(&window), S_OK);
  ASSERT_TRUE(IsWindow(window));
  EXPECT_EQ(GetParent(window), holder);
  EXPECT_TRUE(IsWindowVisible(window));
  RECT r{};
  GetWindowRect(window, &r);
  POINT topLeft{r.left, r.top};
  ScreenToClient(holder, &topLeft);
  EXPECT_EQ(topLeft.x, 10);
  EXPECT_EQ(topLeft.y, 20);
  EXPECT_EQ(r.right - r.left, 100);
  EXPECT_EQ(r.bottom - r.top, 75);

  RECT moved{30, 40, 330, 140};
  RECT clip{0, 0, 240, 268};
  ASSERT_EQ(inPlace->SetObjectRects(&moved, &clip), S_OK);
  GetWindowRect(window, &r);
  EXPECT_EQ(r.right - r.left, 210);  // clipped at the holder's right edge
  EXPECT_EQ(r.bottom - r.top, 100);

  ASSERT_EQ(inPlace->InPlaceDeactivate(), S_OK);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(site.log,
            "CanInPlaceActivate OnInPlaceActivate GetWindowContext OnUIActivate OnUIDeactivate OnInPlaceDeactivate");
  EXPECT_EQ(inPlace->SetObjectRects(&moved, &clip), OLE_E_NOT_INPLACEACTIVE);
  ole->SetClientSite(nullptr);
  DestroyWindow(holder);
}

TEST(FlashDrawing, FillsWithTheBackgroundColour) {
  ComPtr<IDispatch> control = newControl();
  ComPtr<IViewObject2> view;
  ASSERT_EQ(control.queryInterface(IID_IViewObject2, view), S_OK);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);  // a memory DC's own bitmap is monochrome
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  // One control drawn again and again: each drawing takes its own size and
  // colour, and leaves what lies beyond its bounds as it was.
  struct Case {
    RECTL bounds;
    const char16_t* colour;
    COLORREF drawn;
    POINT inside, outside;
    COLORREF outsideColour;
  };
  const Case cases[] = {
      {{0, 0, 8, 8}, u"0000FF", RGB(0, 0, 255), {4, 4}, {8, 8}, CLR_INVALID},
      {{0, 0, 3, 2}, u"00FF00", RGB(0, 255, 0), {2, 1}, {3, 1}, RGB(0, 0, 255)},
      {{2, 2, 7, 8}, u"FF0000", RGB(255, 0, 0), {6, 7}, {1, 1}, RGB(0, 255, 0)},
      {{2, 2, 7, 8}, u"FFFFFF", RGB(255, 255, 255), {2, 2}, {7, 2}, RGB(0, 0, 255)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bounds.right - c.bounds.left << "x" << c.bounds.bottom - c.bounds.top);
    ASSERT_EQ(put(control.get(), u"BGColor", c.colour), S_OK);
    ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &c.bounds, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(GetPixel(dc, c.inside.x, c.inside.y), c.drawn);
    EXPECT_EQ(GetPixel(dc, c.outside.x, c.outside.y), c.outsideColour);
  }
  RECTL bounds{0, 0, 8, 8};
  EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0), DV_E_DVASPECT);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

TEST(FlashServer, LoadsAsAnInProcessServer) {
  LPFNGETCLASSOBJECT getClassObject = nullptr;
  ASSERT_EQ(loadInprocServer(ORVEL_FLASH_SERVER, getClassObject), S_OK);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(getClassObject(CLSID_ShockwaveFlash, IID_IClassFactory, factory.putVoid()), S_OK);
  ComPtr<IOleObject> object;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IOleObject, object.putVoid()), S_OK);
  for (const IID* iid : {&IID_IViewObject2, &IID_IPersistStorage, &IID_IOleInPlaceObject, &IID_IOleInPlaceActiveObject,
                         &IID_IDispatch}) {
    ComPtr<IUnknown> answered;
    EXPECT_EQ(object.queryInterface(*iid, answered), S_OK);
  }
  ComPtr<IOleLink> link;
  EXPECT_EQ(object.queryInterface(IID_IOleLink, link), E_NOINTERFACE);
  DWORD status = 0;
  EXPECT_EQ(object->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
  EXPECT_FALSE(status & OLEMISC_STATIC);
  ComPtr<IClassFactory> other;
  EXPECT_EQ(getClassObject(IID_IDispatch, IID_IClassFactory, other.putVoid()), CLASS_E_CLASSNOTAVAILABLE);
}

}  // namespace
