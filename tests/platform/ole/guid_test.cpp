#include <gtest/gtest.h>

#include "base/widestring.h"
#include "platform/ole/oleidl.h"

namespace {

constexpr CLSID kFlash = {0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

struct ParseCase {
  const char* text;
  bool ok;
};

const ParseCase kParseCases[] = {
    {"{D27CDB6E-AE6D-11cf-96B8-444553540000}", true},
    {"{d27cdb6e-ae6d-11CF-96b8-444553540000}", true},
    {"D27CDB6E-AE6D-11cf-96B8-444553540000", false},     // no braces
    {"{D27CDB6E-AE6D-11cf-96B8-444553540000", false},    // no closing brace
    {"{D27CDB6E-AE6D-11cf-96B8-444553540000}x", false},  // trailing text
    {"{D27CDB6E-AE6D-11cf-96B8-44455354000}", false},    // one digit short
    {"{D27CDB6E-AE6D-11cf-96B8-4445535400000}", false},  // one digit long
    {"{D27CDB6E-AE6D-11cf-96B8444553540000-}", false},   // dash misplaced
    {"{D27CDB6G-AE6D-11cf-96B8-444553540000}", false},   // not hex
    {"{ D27CDB6E-AE6D-11cf-96B8-444553540000}", false},  // blank inside
    {"", false},
};

TEST(ClsidFromString, ParsesOnlyTheBracedForm) {
  for (const auto& c : kParseCases) {
    SCOPED_TRACE(c.text);
    CLSID clsid = IID_IDispatch;
    HRESULT hr = CLSIDFromString(toWide(c.text).c_str(), &clsid);
    if (c.ok) {
      EXPECT_EQ(hr, S_OK);
      EXPECT_TRUE(IsEqualGUID(clsid, kFlash));
    } else {
      EXPECT_EQ(hr, CO_E_CLASSSTRING);
      EXPECT_TRUE(IsEqualGUID(clsid, CLSID_NULL));  // no half-parsed value left behind
    }
  }
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromString(nullptr, &clsid), CO_E_CLASSSTRING);
}

TEST(ClsidFromString, RoundTripsThroughStringFromGuid2) {
  WCHAR text[39];
  ASSERT_EQ(StringFromGUID2(kFlash, text, 39), 39);
  EXPECT_EQ(WideString(text), toWide("{D27CDB6E-AE6D-11CF-96B8-444553540000}"));
  EXPECT_EQ(StringFromGUID2(kFlash, text, 38), 0);  // no room for the terminator
  CLSID back{};
  ASSERT_EQ(CLSIDFromString(text, &back), S_OK);
  EXPECT_TRUE(IsEqualGUID(back, kFlash));
}

TEST(Guid, StandardInterfaceIdsHaveTheirPublishedValues) {
  struct Row {
    const IID& iid;
    const char* text;
  };
  const Row rows[] = {
      {IID_IUnknown, "{00000000-0000-0000-C000-000000000046}"},
      {IID_IClassFactory, "{00000001-0000-0000-C000-000000000046}"},
      {IID_IDispatch, "{00020400-0000-0000-C000-000000000046}"},
      {IID_ITypeInfo, "{00020401-0000-0000-C000-000000000046}"},
      {IID_IErrorInfo, "{1CF2B120-547D-101B-8E65-08002B2BD119}"},
      {IID_IStorage, "{0000000B-0000-0000-C000-000000000046}"},
      {IID_IPersistStorage, "{0000010A-0000-0000-C000-000000000046}"},
      {IID_IViewObject2, "{00000127-0000-0000-C000-000000000046}"},
      {IID_IAdviseSink, "{0000010F-0000-0000-C000-000000000046}"},
      {IID_IOleObject, "{00000112-0000-0000-C000-000000000046}"},
      {IID_IOleInPlaceObject, "{00000113-0000-0000-C000-000000000046}"},
      {IID_IOleWindow, "{00000114-0000-0000-C000-000000000046}"},
      {IID_IOleInPlaceUIWindow, "{00000115-0000-0000-C000-000000000046}"},
      {IID_IOleInPlaceFrame, "{00000116-0000-0000-C000-000000000046}"},
      {IID_IOleInPlaceActiveObject, "{00000117-0000-0000-C000-000000000046}"},
      {IID_IOleClientSite, "{00000118-0000-0000-C000-000000000046}"},
      {IID_IOleInPlaceSite, "{00000119-0000-0000-C000-000000000046}"},
      {IID_IOleContainer, "{0000011B-0000-0000-C000-000000000046}"},
      {IID_IOleLink, "{0000011D-0000-0000-C000-000000000046}"},
      {IID_IOleControlSite, "{B196B289-BAB4-101A-B69C-00AA00341D07}"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    WCHAR text[39];
    StringFromGUID2(row.iid, text, 39);
    EXPECT_EQ(WideString(text), toWide(row.text));
  }
  EXPECT_FALSE(IsEqualGUID(IID_IOleWindow, IID_IOleInPlaceSite));
  EXPECT_TRUE(IsEqualGUID(IID_NULL, GUID{}));
}

}  // namespace
