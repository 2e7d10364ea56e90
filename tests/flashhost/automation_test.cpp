// The member table read from type information, and the calls by name, against
// a test dispatch object that records what reaches it.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "flashhost/membertable.h"
#include "platform/ole/typeinfo.h"

namespace {

constexpr GUID kTestType = {0x6F1E2000, 0x0D5A, 0x4B2E, {0x9A, 0x10, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00}};
constexpr GUID kTestBase = {0x6F1E2001, 0x0D5A, 0x4B2E, {0x9A, 0x10, 0x00, 0x00, 0x00, 0x00, 0x20, 0x01}};

enum : DISPID {
  kCurrentFrame = 1,
  kSeek,
  kSize,
  kHidden,
  kValue,
  kTitle,
  kCount,
  kSecret,
  kAttach,
  kReset,
  kFail,
  kItem
};

ITypeInfo* testTypeInfo() {
  ComPtr<ITypeInfo> dispatch = ComPtr<ITypeInfo>::adopt(CreateStandardTypeInfo(IID_IDispatch));
  ComPtr<ITypeInfo> base = ComPtr<ITypeInfo>::adopt(TypeInfoBuilder(u"ITestBase", kTestBase, TKIND_DISPATCH)
                                                        .function(u"Reset", kReset, INVOKE_FUNC, VT_VOID)
                                                        .implements(dispatch.get())
                                                        .create());
  TypeInfoBuilder b(u"ITestControl", kTestType, TKIND_DISPATCH);
  b.standardMethods()
      .function(u"CurrentFrame", kCurrentFrame, INVOKE_PROPERTYGET, VT_I4)
      .function(u"Seek", kSeek, INVOKE_FUNC, VT_VOID, {{u"frame", VT_I4}, {u"mode", VT_I2}, {u"label", VT_BSTR}})
      .function(u"Size", kSize, INVOKE_FUNC, VT_HRESULT,
                {{u"unit", VT_BSTR}, {u"size", VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}})
      .function(u"Hidden", kHidden, INVOKE_FUNC, VT_VOID, {}, FUNCFLAG_FRESTRICTED)
      .function(u"Value", kValue, INVOKE_PROPERTYPUT, VT_VOID, {{u"", VT_R8}})
      .function(u"Attach", kAttach, INVOKE_FUNC, VT_VOID, {{u"object", VT_DISPATCH}, {u"on", VT_BOOL}})
      .function(u"Fail", kFail, INVOKE_FUNC, VT_BSTR)
      .function(u"Item", kItem, INVOKE_PROPERTYGET, VT_BSTR, {{u"index", VT_I4}})
      .variable(u"Title", kTitle, VT_BSTR)
      .variable(u"Count", kCount, VT_I4, VARFLAG_FREADONLY)
      .variable(u"Secret", kSecret, VT_I4, VARFLAG_FRESTRICTED)
      .variable(u"Value", kValue, VT_R8)
      .implements(base.get());
  return b.create();
}

// One argument as it reached the object: its type and its value as text.
struct Seen {
  VARTYPE vt;
  std::string text;
  bool operator==(const Seen&) const = default;
};
void PrintTo(const Seen& s, std::ostream* out) { *out << "{vt " << s.vt << ", \"" << s.text << "\"}"; }

struct Call {
  DISPID id;
  WORD flags;
  std::vector<Seen> args;  // as DISPPARAMS holds them: last argument first
  std::vector<DISPID> named;
};

class TestDispatch final : public IDispatch {
 public:
  std::vector<Call> calls;
  std::u16string title = u"hello";

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    *ppv = riid == IID_IUnknown || riid == IID_IDispatch ? this : nullptr;
    return *ppv ? S_OK : E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) override {
    Call call{id, flags, {}, {}};
    for (UINT i = 0; i < params->cArgs; ++i) call.args.push_back(seen(params->rgvarg[i]));
    for (UINT i = 0; i < params->cNamedArgs; ++i) call.named.push_back(params->rgdispidNamedArgs[i]);
    calls.push_back(call);
    if (result) VariantInit(result);
    switch (id) {
      case kCurrentFrame:
        return answer(result, 7);
      case kSize:
        return answer(result, 42);
      case kCount:
        return answer(result, 3);
      case kTitle:
        if (result) {
          result->vt = VT_BSTR;
          result->bstrVal = SysAllocString(title.c_str());
        }
        return S_OK;
      case kFail:
        return DISP_E_EXCEPTION;
      case kAttach:
        if (result) {
          result->vt = VT_DISPATCH;
          result->pdispVal = this;
        }
        return S_OK;
      default:
        return S_OK;
    }
  }

 private:
  static HRESULT answer(VARIANT* result, LONG value) {
    if (result) {
      result->vt = VT_I4;
      result->lVal = value;
    }
    return S_OK;
  }
  static Seen seen(const VARIANT& v) {
    if (v.vt == VT_ERROR) return {v.vt, v.scode == DISP_E_PARAMNOTFOUND ? "missing" : "error"};
    VARIANT text;
    VariantInit(&text);
    std::string value;
    if (v.vt != VT_EMPTY && SUCCEEDED(VariantChangeType(&text, &v, VARIANT_NOVALUEPROP, VT_BSTR)))
      value = toNarrowAscii(text.bstrVal);
    VariantClear(&text);
    return {v.vt, value};
  }
};

class Automation : public testing::Test {
 protected:
  void SetUp() override {
    m_info = ComPtr<ITypeInfo>::adopt(testTypeInfo());
    m_table = MemberTable::build(m_info.get());
    ASSERT_TRUE(m_table);
  }
  bool invoke(const char16_t* name, std::vector<const WCHAR*> args, std::optional<WideString>* result = nullptr) {
    args.push_back(nullptr);
    return automation::invoke(&m_object, m_table.get(), name, args.data(), result);
  }
  ComPtr<ITypeInfo> m_info;
  std::unique_ptr<MemberTable> m_table;
  TestDispatch m_object;
};

TEST_F(Automation, TheTableFollowsTheTypeInformation) {
  EXPECT_EQ(toNarrowAscii(m_table->typeName()), "ITestControl");
  EXPECT_TRUE(IsEqualGUID(m_table->typeGuid(), kTestType));
  std::map<std::pair<std::string, int>, const AutomationMember*> members;
  for (const AutomationMember* m : m_table->members()) {
    auto key = std::make_pair(toNarrowAscii(m->name), m->kind);
    EXPECT_FALSE(members.count(key)) << key.first << " listed twice";
    members[key] = m;
  }
  struct Row {
    const char* name;
    int kind;
    DISPID id;
    VARTYPE result;
    std::vector<std::pair<std::string, VARTYPE>> params;
  };
  const Row rows[] = {
      {"CurrentFrame", kMemberGet, kCurrentFrame, VT_I4, {}},
      {"Seek", kMemberMethod, kSeek, VT_VOID, {{"frame", VT_I4}, {"mode", VT_I2}, {"label", VT_BSTR}}},
      {"Size", kMemberMethod, kSize, VT_I4, {{"unit", VT_BSTR}}},  // the retval parameter is the result
      {"Value", kMemberPut, kValue, VT_VOID, {{"(Property Value)", VT_R8}}},
      {"Value", kMemberGet, kValue, VT_R8, {}},  // from the variable, whose put was already listed
      {"Title", kMemberGet, kTitle, VT_BSTR, {}},
      {"Title", kMemberPut, kTitle, VT_EMPTY, {{"(Property Value)", VT_BSTR}}},
      {"Count", kMemberGet, kCount, VT_I4, {}},
      {"Reset", kMemberMethod, kReset, VT_VOID, {}},  // from the implemented type
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.name) + " " + std::to_string(row.kind));
    auto it = members.find({row.name, row.kind});
    ASSERT_NE(it, members.end());
    EXPECT_EQ(it->second->id, row.id);
    EXPECT_EQ(it->second->resultType, row.result);
    std::vector<std::pair<std::string, VARTYPE>> params;
    for (const auto& p : it->second->params) params.push_back({toNarrowAscii(p.name), p.type});
    EXPECT_EQ(params, row.params);
  }
  // Restricted members, read-only puts and IUnknown / IDispatch themselves.
  for (const char* name : {"Hidden", "Secret", "QueryInterface", "AddRef", "GetIDsOfNames", "Invoke"})
    for (int kind : {kMemberMethod, kMemberGet, kMemberPut}) EXPECT_FALSE(members.count({name, kind})) << name;
  EXPECT_FALSE(members.count({"Count", kMemberPut}));
  EXPECT_FALSE(MemberTable::build(nullptr));
}

TEST_F(Automation, InvokePassesTheTextsLastFirst) {
  struct Row {
    const char* label;
    const char16_t* name;
    std::vector<const WCHAR*> texts;
    DISPID id;
    std::vector<Seen> reached;
  };
  const Row rows[] = {
      {"converted, reversed",
       u"Seek",
       {u"12", u"3", u"intro"},
       kSeek,
       {{VT_BSTR, "intro"}, {VT_I2, "3"}, {VT_I4, "12"}}},
      {"fewer texts", u"Seek", {u"12"}, kSeek, {{VT_ERROR, "missing"}, {VT_ERROR, "missing"}, {VT_I4, "12"}}},
      {"no texts", u"seek", {}, kSeek, {{VT_ERROR, "missing"}, {VT_ERROR, "missing"}, {VT_ERROR, "missing"}}},
      {"unconvertible goes as text",
       u"Seek",
       {u"4 + 8", u"x"},
       kSeek,
       {{VT_ERROR, "missing"}, {VT_BSTR, "x"}, {VT_BSTR, "4 + 8"}}},
      {"more texts than parameters", u"Size", {u"px", u"extra"}, kSize, {{VT_BSTR, "px"}}},
      {"an object parameter is empty", u"Attach", {u"anything", u"True"}, kAttach, {{VT_BOOL, "-1"}, {VT_EMPTY, ""}}},
      {"implemented type", u"RESET", {}, kReset, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    m_object.calls.clear();
    EXPECT_TRUE(invoke(row.name, row.texts));
    ASSERT_EQ(m_object.calls.size(), 1u);
    EXPECT_EQ(m_object.calls[0].id, row.id);
    EXPECT_EQ(m_object.calls[0].flags, DISPATCH_METHOD);
    EXPECT_EQ(m_object.calls[0].args, row.reached);
    EXPECT_TRUE(m_object.calls[0].named.empty());
  }
}

TEST_F(Automation, ResultsComeBackAsText) {
  std::optional<WideString> result;
  EXPECT_TRUE(invoke(u"Size", {u"px"}, &result));
  EXPECT_EQ(toNarrowAscii(result.value_or(u"?")), "42");
  EXPECT_TRUE(invoke(u"Attach", {}, &result));
  EXPECT_FALSE(result) << "an object has no text";
  EXPECT_FALSE(invoke(u"Fail", {}, &result));
  EXPECT_FALSE(result);

  EXPECT_EQ(toNarrowAscii(automation::getText(&m_object, m_table.get(), u"title").value_or(u"?")), "hello");
  bool found = false;
  EXPECT_EQ(automation::getInteger(&m_object, m_table.get(), u"Count", &found), 3);
  EXPECT_TRUE(found);
  struct Row {
    const char16_t* title;
    int value;
  };
  const Row rows[] = {{u" 42x", 42}, {u"-7", -7}, {u"+5", 5}, {u"", 0}, {u"abc", 0}, {u"99999999999", 2147483647}};
  for (const auto& row : rows) {
    SCOPED_TRACE(toNarrowAscii(row.title));
    m_object.title = row.title;
    EXPECT_EQ(automation::getInteger(&m_object, m_table.get(), u"Title", &found), row.value);
    EXPECT_TRUE(found) << "a text came back";
  }
}

TEST_F(Automation, NamesAreFoundOnlyForTheirKind) {
  // CurrentFrame listed only as a property: invoking it fails, and the
  // control is not called; as a property it answers.
  std::optional<WideString> result;
  EXPECT_FALSE(invoke(u"CurrentFrame", {}, &result));
  EXPECT_TRUE(m_object.calls.empty());
  EXPECT_EQ(toNarrowAscii(automation::getText(&m_object, m_table.get(), u"currentframe").value_or(u"?")), "7");
  m_object.calls.clear();
  EXPECT_FALSE(automation::getText(&m_object, m_table.get(), u"Seek"));
  EXPECT_FALSE(automation::getText(&m_object, m_table.get(), u"Item")) << "a get with parameters";
  EXPECT_FALSE(automation::putText(&m_object, m_table.get(), u"Count", u"1")) << "read only";
  EXPECT_FALSE(automation::putText(&m_object, m_table.get(), u"Secret", u"1"));
  EXPECT_FALSE(invoke(u"Hidden", {}));
  EXPECT_FALSE(invoke(u"NoSuchMember", {}));
  bool found = true;
  EXPECT_EQ(automation::getInteger(&m_object, m_table.get(), u"Missing", &found), 0);
  EXPECT_FALSE(found);
  EXPECT_TRUE(m_object.calls.empty());
}

TEST_F(Automation, PutPassesOneNamedArgument) {
  ASSERT_TRUE(automation::putText(&m_object, m_table.get(), u"value", u"2.5"));
  ASSERT_EQ(m_object.calls.size(), 1u);
  EXPECT_EQ(m_object.calls[0].id, kValue);
  EXPECT_EQ(m_object.calls[0].flags, DISPATCH_PROPERTYPUT);
  EXPECT_EQ(m_object.calls[0].args, (std::vector<Seen>{{VT_R8, "2.5"}}));
  EXPECT_EQ(m_object.calls[0].named, (std::vector<DISPID>{DISPID_PROPERTYPUT}));
  ASSERT_TRUE(automation::putText(&m_object, m_table.get(), u"Value", u"1 + 8"));
  EXPECT_EQ(m_object.calls[1].args, (std::vector<Seen>{{VT_BSTR, "1 + 8"}}));
}

TEST_F(Automation, WithoutTheObjectOrTheTableEveryCallFails) {
  const WCHAR* none[] = {nullptr};
  for (auto [object, table] : {std::pair<IDispatch*, const MemberTable*>{nullptr, m_table.get()},
                               std::pair<IDispatch*, const MemberTable*>{&m_object, nullptr}}) {
    std::optional<WideString> result = WideString(u"stale");
    EXPECT_FALSE(automation::invoke(object, table, u"Seek", none, &result));
    EXPECT_FALSE(result);
    EXPECT_FALSE(automation::getText(object, table, u"Title"));
    bool found = true;
    EXPECT_EQ(automation::getInteger(object, table, u"Count", &found), 0);
    EXPECT_FALSE(found);
    EXPECT_FALSE(automation::putText(object, table, u"Title", u"x"));
  }
  EXPECT_TRUE(m_object.calls.empty());
}

}  // namespace
