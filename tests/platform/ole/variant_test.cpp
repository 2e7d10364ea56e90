#include <gtest/gtest.h>

#include <cmath>

#include "base/widestring.h"
#include "platform/ole/oleauto.h"

namespace {

// A variant that clears itself.
struct Var : VARIANT {
  Var() { VariantInit(this); }
  explicit Var(const char* text) {
    VariantInit(this);
    vt = VT_BSTR;
    bstrVal = SysAllocString(toWide(text).c_str());
  }
  ~Var() { VariantClear(this); }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
};

double numberOf(const VARIANT& v) {
  switch (v.vt) {
    case VT_I2:
      return v.iVal;
    case VT_I4:
      return v.lVal;
    case VT_UI4:
      return v.ulVal;
    case VT_R4:
      return v.fltVal;
    case VT_R8:
      return v.dblVal;
    case VT_BOOL:
      return v.boolVal;
    case VT_UI1:
      return v.bVal;
    default:
      return NAN;
  }
}

struct TextCase {
  const char* text;
  VARTYPE vt;
  HRESULT hr;
  double value;  // when hr is S_OK
};

const TextCase kTextCases[] = {
    {"42", VT_I4, S_OK, 42},
    {"  -17 ", VT_I4, S_OK, -17},
    {"+5", VT_I2, S_OK, 5},
    {"1,234", VT_I4, S_OK, 1234},  // thousands separator
    {"2.5", VT_I4, S_OK, 2},       // half to even
    {"3.5", VT_I4, S_OK, 4},
    {"-2.5", VT_I4, S_OK, -2},
    {"1e3", VT_I4, S_OK, 1000},
    {"&H1F", VT_I4, S_OK, 31},
    {"&O17", VT_I4, S_OK, 15},
    {"2147483647", VT_I4, S_OK, 2147483647},
    {"2147483648", VT_I4, DISP_E_OVERFLOW, 0},
    {"-2147483648", VT_I4, S_OK, -2147483648.0},
    {"32768", VT_I2, DISP_E_OVERFLOW, 0},
    {"-32768", VT_I2, S_OK, -32768},
    {"4294967295", VT_UI4, S_OK, 4294967295.0},
    {"-1", VT_UI4, DISP_E_OVERFLOW, 0},
    {"-0", VT_UI4, S_OK, 0},
    {"1.5", VT_R8, S_OK, 1.5},
    {".25", VT_R4, S_OK, 0.25},
    {"-1.5e-3", VT_R8, S_OK, -0.0015},
    {"1e39", VT_R4, DISP_E_OVERFLOW, 0},
    {"True", VT_BOOL, S_OK, VARIANT_TRUE},
    {"false", VT_BOOL, S_OK, VARIANT_FALSE},
    {"TRUE", VT_BOOL, S_OK, VARIANT_TRUE},
    {"#FALSE#", VT_BOOL, S_OK, VARIANT_FALSE},
    {"-1", VT_BOOL, S_OK, VARIANT_TRUE},
    {"0", VT_BOOL, S_OK, VARIANT_FALSE},
    {"7", VT_BOOL, S_OK, VARIANT_TRUE},
    {"1 + 8", VT_I4, DISP_E_TYPEMISMATCH, 0},  // an expression is no number
    {"4 + 8", VT_I2, DISP_E_TYPEMISMATCH, 0},
    {"1 + 8", VT_BOOL, DISP_E_TYPEMISMATCH, 0},
    {"True", VT_I4, DISP_E_TYPEMISMATCH, 0},
    {"yes", VT_BOOL, DISP_E_TYPEMISMATCH, 0},
    {"", VT_I4, DISP_E_TYPEMISMATCH, 0},
    {"   ", VT_R8, DISP_E_TYPEMISMATCH, 0},
    {"12abc", VT_I4, DISP_E_TYPEMISMATCH, 0},
    {"1e", VT_R8, DISP_E_TYPEMISMATCH, 0},
    {"-", VT_I4, DISP_E_TYPEMISMATCH, 0},
    {",5", VT_I4, DISP_E_TYPEMISMATCH, 0},
    {"&H", VT_I4, DISP_E_TYPEMISMATCH, 0},
    {"&HFG", VT_I4, DISP_E_TYPEMISMATCH, 0},
};

TEST(VariantChangeType, ConvertsTextToNumbersAndBooleans) {
  for (const auto& c : kTextCases) {
    SCOPED_TRACE(testing::Message() << '"' << c.text << "\" to vt " << c.vt);
    Var v(c.text);
    Var out;
    HRESULT hr = VariantChangeType(&out, &v, VARIANT_NOVALUEPROP, c.vt);
    EXPECT_EQ(hr, c.hr);
    if (c.hr == S_OK) {
      EXPECT_EQ(out.vt, c.vt);
      EXPECT_DOUBLE_EQ(numberOf(out), c.value);
    } else {
      EXPECT_EQ(out.vt, VT_EMPTY);  // destination untouched on failure
    }
    EXPECT_EQ(v.vt, VT_BSTR);
  }
}

TEST(VariantChangeType, ConvertsInPlaceAndKeepsTheSourceOnFailure) {
  Var v("123");
  ASSERT_EQ(VariantChangeType(&v, &v, VARIANT_NOVALUEPROP, VT_I4), S_OK);
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 123);

  Var bad("1 + 8");
  EXPECT_EQ(VariantChangeType(&bad, &bad, VARIANT_NOVALUEPROP, VT_I4), DISP_E_TYPEMISMATCH);
  ASSERT_EQ(bad.vt, VT_BSTR);  // the text is still there to be passed on unchanged
  EXPECT_EQ(WideString(bad.bstrVal), u"1 + 8");
}

struct ToTextCase {
  VARIANT value;
  USHORT flags;
  const char* text;
};

VARIANT make(VARTYPE vt, double number) {
  VARIANT v;
  VariantInit(&v);
  v.vt = vt;
  switch (vt) {
    case VT_I2:
      v.iVal = static_cast<SHORT>(number);
      break;
    case VT_I4:
      v.lVal = static_cast<LONG>(number);
      break;
    case VT_UI4:
      v.ulVal = static_cast<ULONG>(number);
      break;
    case VT_R4:
      v.fltVal = static_cast<float>(number);
      break;
    case VT_R8:
      v.dblVal = number;
      break;
    case VT_BOOL:
      v.boolVal = number ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    default:
      break;
  }
  return v;
}

TEST(VariantChangeType, ConvertsNumbersAndBooleansToText) {
  const ToTextCase cases[] = {
      {make(VT_I4, 42), 0, "42"},
      {make(VT_I4, -7), 0, "-7"},
      {make(VT_I2, -32768), 0, "-32768"},
      {make(VT_UI4, 4294967295.0), 0, "4294967295"},
      {make(VT_R8, 1.5), 0, "1.5"},
      {make(VT_R8, 0.1), 0, "0.1"},
      {make(VT_R8, 1e20), 0, "1E+20"},
      {make(VT_R8, -0.0), 0, "0"},
      {make(VT_R4, 0.1), 0, "0.1"},  // seven digits: no float noise
      {make(VT_BOOL, 1), 0, "-1"},
      {make(VT_BOOL, 0), 0, "0"},
      {make(VT_BOOL, 1), VARIANT_ALPHABOOL, "True"},
      {make(VT_BOOL, 0), VARIANT_ALPHABOOL, "False"},
      {make(VT_EMPTY, 0), 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Var out;
    ASSERT_EQ(VariantChangeType(&out, &c.value, VARIANT_NOVALUEPROP | c.flags, VT_BSTR), S_OK);
    ASSERT_EQ(out.vt, VT_BSTR);
    ASSERT_NE(out.bstrVal, nullptr);
    EXPECT_EQ(toNarrowAscii(out.bstrVal), c.text);
  }
}

TEST(VariantChangeType, ConvertsBetweenNumbers) {
  struct Row {
    VARIANT value;
    VARTYPE vt;
    HRESULT hr;
    double expected;
  };
  const Row rows[] = {
      {make(VT_R8, 2.5), VT_I4, S_OK, 2},
      {make(VT_R8, -1.5), VT_I2, S_OK, -2},
      {make(VT_R8, 1e10), VT_I4, DISP_E_OVERFLOW, 0},
      {make(VT_R8, NAN), VT_I4, DISP_E_OVERFLOW, 0},
      {make(VT_I4, 70000), VT_I2, DISP_E_OVERFLOW, 0},
      {make(VT_I4, -1), VT_UI4, DISP_E_OVERFLOW, 0},
      {make(VT_I4, 300), VT_UI1, DISP_E_OVERFLOW, 0},
      {make(VT_BOOL, 1), VT_I4, S_OK, -1},
      {make(VT_I4, 5), VT_BOOL, S_OK, VARIANT_TRUE},
      {make(VT_R8, 0), VT_BOOL, S_OK, VARIANT_FALSE},
      {make(VT_EMPTY, 0), VT_I4, S_OK, 0},
      {make(VT_I4, 3), VT_R8, S_OK, 3},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << "vt " << r.value.vt << " to " << r.vt);
    Var out;
    EXPECT_EQ(VariantChangeType(&out, &r.value, 0, r.vt), r.hr);
    if (r.hr == S_OK) {
      EXPECT_DOUBLE_EQ(numberOf(out), r.expected);
    }
  }
}

TEST(VariantChangeType, RefusesWhatHasNoConversion) {
  VARIANT null;
  VariantInit(&null);
  null.vt = VT_NULL;
  Var out;
  EXPECT_EQ(VariantChangeType(&out, &null, 0, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VariantChangeType(&out, &null, 0, VT_BSTR), DISP_E_TYPEMISMATCH);

  VARIANT missing;
  VariantInit(&missing);
  missing.vt = VT_ERROR;
  missing.scode = DISP_E_PARAMNOTFOUND;
  EXPECT_EQ(VariantChangeType(&out, &missing, 0, VT_I4), DISP_E_TYPEMISMATCH);

  VARIANT nobody;
  VariantInit(&nobody);
  nobody.vt = VT_DISPATCH;
  nobody.pdispVal = nullptr;
  EXPECT_EQ(VariantChangeType(&out, &nobody, VARIANT_NOVALUEPROP, VT_BSTR), DISP_E_TYPEMISMATCH);

  VARIANT odd;
  VariantInit(&odd);
  odd.vt = 0x0FFF;
  EXPECT_EQ(VariantChangeType(&out, &odd, 0, VT_I4), DISP_E_BADVARTYPE);
  Var text("1");
  EXPECT_EQ(VariantChangeType(&out, &text, 0, VT_I4 | VT_BYREF), DISP_E_BADVARTYPE);
  EXPECT_EQ(out.vt, VT_EMPTY);
}

TEST(VariantChangeType, ReadsThroughReferences) {
  LONG value = 77;
  VARIANT ref;
  VariantInit(&ref);
  ref.vt = VT_I4 | VT_BYREF;
  ref.plVal = &value;
  Var out;
  ASSERT_EQ(VariantChangeType(&out, &ref, 0, VT_BSTR), S_OK);
  EXPECT_EQ(toNarrowAscii(out.bstrVal), "77");
  EXPECT_EQ(VariantClear(&ref), S_OK);  // owns nothing
  EXPECT_EQ(value, 77);
}

// An object that counts its references, to see VariantClear and VariantCopy
// keep them straight.
struct Counted : IUnknown {
  ULONG refs = 1;
  HRESULT QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
};

TEST(Variant, ClearAndCopyOwnTheirValues) {
  Counted object;
  VARIANT a;
  VariantInit(&a);
  a.vt = VT_UNKNOWN;
  a.punkVal = &object;
  object.AddRef();
  VARIANT b;
  VariantInit(&b);
  ASSERT_EQ(VariantCopy(&b, &a), S_OK);
  EXPECT_EQ(object.refs, 3u);
  EXPECT_EQ(VariantClear(&a), S_OK);
  EXPECT_EQ(VariantClear(&b), S_OK);
  EXPECT_EQ(object.refs, 1u);
  EXPECT_EQ(a.vt, VT_EMPTY);

  Var text("abc");
  Var copy;
  ASSERT_EQ(VariantCopy(&copy, &text), S_OK);
  EXPECT_NE(copy.bstrVal, text.bstrVal);  // its own string
  EXPECT_EQ(WideString(copy.bstrVal), u"abc");

  VARIANT bad;
  VariantInit(&bad);
  bad.vt = VT_I4 | VT_ARRAY;
  EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
}

TEST(DispGetParam, ReadsArgumentsInCallOrder) {
  Var args[3];
  args[2].vt = VT_BSTR;  // the first argument comes last
  args[2].bstrVal = SysAllocString(u"_root");
  args[1].vt = VT_I4;
  args[1].lVal = 10;
  args[0].vt = VT_ERROR;
  args[0].scode = DISP_E_PARAMNOTFOUND;
  DISPPARAMS params{args, nullptr, 3, 0};
  Var out;
  ASSERT_EQ(DispGetParam(&params, 0, VT_BSTR, &out, nullptr), S_OK);
  EXPECT_EQ(WideString(out.bstrVal), u"_root");
  VariantClear(&out);
  ASSERT_EQ(DispGetParam(&params, 1, VT_BSTR, &out, nullptr), S_OK);
  EXPECT_EQ(WideString(out.bstrVal), u"10");
  VariantClear(&out);
  EXPECT_EQ(DispGetParam(&params, 2, VT_I4, &out, nullptr), DISP_E_PARAMNOTFOUND);  // omitted
  EXPECT_EQ(DispGetParam(&params, 3, VT_I4, &out, nullptr), DISP_E_PARAMNOTFOUND);
  UINT argErr = 99;
  EXPECT_EQ(DispGetParam(&params, 0, VT_I4, &out, &argErr), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 2u);

  Var value("True");
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS put{&value, &named, 1, 1};
  EXPECT_EQ(DispGetParam(&put, 0, VT_BOOL, &out, nullptr), DISP_E_PARAMNOTFOUND);  // only a named one
  ASSERT_EQ(DispGetParam(&put, static_cast<UINT>(DISPID_PROPERTYPUT), VT_BOOL, &out, nullptr), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_TRUE);
}

}  // namespace
