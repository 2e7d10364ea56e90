#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/widestring.h"
#include "platform/ole/typeinfo.h"

namespace {

constexpr GUID kTypeGuid = {0x12345678, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};

ComPtr<ITypeInfo> sampleType() {
  ComPtr<ITypeInfo> base = ComPtr<ITypeInfo>::adopt(CreateStandardTypeInfo(IID_IDispatch));
  TypeInfoBuilder b(u"ISample", kTypeGuid, TKIND_DISPATCH, TYPEFLAG_FDISPATCHABLE);
  b.function(u"Hidden", 1, INVOKE_FUNC, VT_VOID, {}, FUNCFLAG_FRESTRICTED)
      .function(u"Zoom", 2, INVOKE_FUNC, VT_EMPTY, {{u"factor", VT_I4}})
      .function(u"CurrentFrame", 3, INVOKE_FUNC, VT_I4, {}, 0, u"The frame shown")
      .function(u"Loop", 4, INVOKE_PROPERTYGET, VT_BOOL)
      .function(u"Loop", 4, INVOKE_PROPERTYPUT, VT_VOID, {{u"", VT_BOOL}})
      .function(u"Frame", 5, INVOKE_FUNC, VT_VOID,
                {{u"number", VT_I4}, {u"result", VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}})
      .variable(u"Quality", 6, VT_I4)
      .variable(u"Version", 7, VT_BSTR, VARFLAG_FREADONLY)
      .implements(base.get());
  return ComPtr<ITypeInfo>::adopt(b.create());
}

std::vector<std::string> namesOf(ITypeInfo* info, MEMBERID memid, UINT max) {
  std::vector<BSTR> names(max);
  UINT count = 0;
  std::vector<std::string> out;
  if (FAILED(info->GetNames(memid, names.data(), max, &count))) return {"<failed>"};
  for (UINT i = 0; i < count; ++i) {
    out.push_back(toNarrowAscii(names[i]));
    SysFreeString(names[i]);
  }
  return out;
}

TEST(TypeInfo, DescribesTheTypeItself) {
  ComPtr<ITypeInfo> info = sampleType();
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, kTypeGuid));
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  EXPECT_EQ(attr->cFuncs, 6);
  EXPECT_EQ(attr->cVars, 2);
  EXPECT_EQ(attr->cImplTypes, 1);
  info->ReleaseTypeAttr(attr);

  BSTR name = nullptr;
  ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(WideString(name), u"ISample");
  SysFreeString(name);
  BSTR doc = nullptr;
  ASSERT_EQ(info->GetDocumentation(3, &name, &doc, nullptr, nullptr), S_OK);
  EXPECT_EQ(WideString(name), u"CurrentFrame");
  EXPECT_EQ(WideString(doc), u"The frame shown");
  SysFreeString(name);
  SysFreeString(doc);
  EXPECT_EQ(info->GetDocumentation(99, &name, nullptr, nullptr, nullptr), TYPE_E_ELEMENTNOTFOUND);
}

TEST(TypeInfo, DescribesFunctionsWithTheirParameters) {
  ComPtr<ITypeInfo> info = sampleType();
  struct Row {
    UINT index;
    MEMBERID memid;
    INVOKEKIND kind;
    WORD flags;
    VARTYPE result;
    std::vector<VARTYPE> params;
    std::vector<std::string> names;
  };
  const Row rows[] = {
      {0, 1, INVOKE_FUNC, FUNCFLAG_FRESTRICTED, VT_VOID, {}, {"Hidden"}},
      {1, 2, INVOKE_FUNC, 0, VT_EMPTY, {VT_I4}, {"Zoom", "factor"}},
      {2, 3, INVOKE_FUNC, 0, VT_I4, {}, {"CurrentFrame"}},
      {3, 4, INVOKE_PROPERTYGET, 0, VT_BOOL, {}, {"Loop"}},
      {4, 4, INVOKE_PROPERTYPUT, 0, VT_VOID, {VT_BOOL}, {"Loop"}},  // the value has no name
      {5, 5, INVOKE_FUNC, 0, VT_VOID, {VT_I4, VT_PTR}, {"Frame", "number", "result"}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.names[0]);
    FUNCDESC* f = nullptr;
    ASSERT_EQ(info->GetFuncDesc(r.index, &f), S_OK);
    EXPECT_EQ(f->memid, r.memid);
    EXPECT_EQ(f->invkind, r.kind);
    EXPECT_EQ(f->wFuncFlags, r.flags);
    EXPECT_EQ(f->funckind, FUNC_DISPATCH);
    EXPECT_EQ(f->elemdescFunc.tdesc.vt, r.result);
    ASSERT_EQ(f->cParams, static_cast<SHORT>(r.params.size()));
    for (size_t i = 0; i < r.params.size(); ++i) EXPECT_EQ(f->lprgelemdescParam[i].tdesc.vt, r.params[i]);
    EXPECT_EQ(namesOf(info.get(), r.memid, 8), r.names);
    info->ReleaseFuncDesc(f);
  }
  FUNCDESC* frame = nullptr;
  ASSERT_EQ(info->GetFuncDesc(5, &frame), S_OK);
  const ELEMDESC& retval = frame->lprgelemdescParam[1];
  EXPECT_EQ(retval.paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
  EXPECT_EQ(retval.tdesc.lptdesc->vt, VT_I4);
  info->ReleaseFuncDesc(frame);
  EXPECT_EQ(namesOf(info.get(), 5, 2), (std::vector<std::string>{"Frame", "number"}));  // at most cMaxNames
  FUNCDESC* none = nullptr;
  EXPECT_EQ(info->GetFuncDesc(6, &none), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(none, nullptr);
}

TEST(TypeInfo, DescribesDispatchVariablesAndImplementedTypes) {
  ComPtr<ITypeInfo> info = sampleType();
  VARDESC* v = nullptr;
  ASSERT_EQ(info->GetVarDesc(1, &v), S_OK);
  EXPECT_EQ(v->memid, 7);
  EXPECT_EQ(v->varkind, VAR_DISPATCH);
  EXPECT_EQ(v->wVarFlags, VARFLAG_FREADONLY);
  EXPECT_EQ(v->elemdescVar.tdesc.vt, VT_BSTR);
  info->ReleaseVarDesc(v);
  EXPECT_EQ(namesOf(info.get(), 6, 4), std::vector<std::string>{"Quality"});

  HREFTYPE ref = 0;
  ASSERT_EQ(info->GetRefTypeOfImplType(0, &ref), S_OK);
  EXPECT_EQ(info->GetRefTypeOfImplType(1, &ref), TYPE_E_ELEMENTNOTFOUND);
  ASSERT_EQ(info->GetRefTypeOfImplType(0, &ref), S_OK);
  ComPtr<ITypeInfo> dispatch;
  ASSERT_EQ(info->GetRefTypeInfo(ref, dispatch.put()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(dispatch->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, IID_IDispatch));
  EXPECT_EQ(attr->cFuncs, 4);
  EXPECT_EQ(attr->cImplTypes, 1);
  dispatch->ReleaseTypeAttr(attr);
  FUNCDESC* f = nullptr;
  ASSERT_EQ(dispatch->GetFuncDesc(3, &f), S_OK);
  EXPECT_EQ(namesOf(dispatch.get(), f->memid, 1), std::vector<std::string>{"Invoke"});
  EXPECT_TRUE(f->wFuncFlags & FUNCFLAG_FRESTRICTED);
  dispatch->ReleaseFuncDesc(f);
  ComPtr<ITypeInfo> unknown;
  ASSERT_EQ(dispatch->GetRefTypeInfo(1, unknown.put()), S_OK);
  ASSERT_EQ(unknown->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, IID_IUnknown));
  EXPECT_EQ(attr->cImplTypes, 0);
  unknown->ReleaseTypeAttr(attr);
  EXPECT_EQ(CreateStandardTypeInfo(IID_IClassFactory), nullptr);
}

TEST(TypeInfo, FindsMemberIdsIgnoringCase) {
  ComPtr<ITypeInfo> info = sampleType();
  struct Row {
    std::vector<std::u16string> names;
    HRESULT hr;
    std::vector<MEMBERID> ids;
  };
  const Row rows[] = {
      {{u"zoom"}, S_OK, {2}},
      {{u"LOOP"}, S_OK, {4}},
      {{u"quality"}, S_OK, {6}},
      {{u"Zoom", u"FACTOR"}, S_OK, {2, 0}},
      {{u"Zoom", u"percent"}, DISP_E_UNKNOWNNAME, {2, DISPID_UNKNOWN}},
      {{u"Invoke"}, S_OK, {0x60010003}},  // from the implemented IDispatch
      {{u"Nothing"}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(toNarrowAscii(r.names[0]));
    std::vector<LPOLESTR> names;
    for (const auto& n : r.names) names.push_back(const_cast<LPOLESTR>(n.c_str()));
    std::vector<DISPID> ids(names.size(), 12345);
    EXPECT_EQ(DispGetIDsOfNames(info.get(), names.data(), static_cast<UINT>(names.size()), ids.data()), r.hr);
    EXPECT_EQ(ids, r.ids);
  }
}

}  // namespace
