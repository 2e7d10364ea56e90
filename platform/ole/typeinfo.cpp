// Table-driven type information: the descriptions handed out are allocated
// per call and freed by the matching Release call (or with the type info).

#include "platform/ole/typeinfo.h"

#include <map>
#include <memory>

#include "platform/core/wcrt.h"
#include "platform/ole/comobject.h"

namespace {

using Function = TypeInfoBuilder::Function;
using Variable = TypeInfoBuilder::Variable;

constexpr HREFTYPE kFirstImplRef = 1;

BSTR allocBstr(const std::u16string& text) { return SysAllocStringLen(text.data(), static_cast<UINT>(text.size())); }

struct FuncDescBlock {
  FUNCDESC desc{};
  std::vector<ELEMDESC> params;
  std::vector<TYPEDESC> pointees;
};

struct VarDescBlock {
  VARDESC desc{};
};

ELEMDESC elementOf(VARTYPE vt, USHORT flags, TYPEDESC* pointee) {
  ELEMDESC e{};
  if (flags & PARAMFLAG_FOUT) {
    pointee->vt = vt;
    e.tdesc.vt = VT_PTR;
    e.tdesc.lptdesc = pointee;
  } else {
    e.tdesc.vt = vt;
  }
  e.paramdesc.wParamFlags = flags;
  return e;
}

class TableTypeInfo final : public ComObject<Implements<ITypeInfo, IID_ITypeInfo>> {
 public:
  TableTypeInfo(std::u16string name, const GUID& guid, TYPEKIND kind, WORD typeFlags, std::vector<Function> functions,
                std::vector<Variable> variables, std::vector<ComPtr<ITypeInfo>> implemented)
      : m_name(std::move(name)),
        m_guid(guid),
        m_kind(kind),
        m_typeFlags(typeFlags),
        m_functions(std::move(functions)),
        m_variables(std::move(variables)),
        m_implemented(std::move(implemented)) {}

  HRESULT GetTypeAttr(TYPEATTR** ppTypeAttr) override {
    if (!ppTypeAttr) return E_INVALIDARG;
    auto attr = std::make_unique<TYPEATTR>();
    attr->guid = m_guid;
    attr->lcid = 0;
    attr->memidConstructor = MEMBERID_NIL;
    attr->memidDestructor = MEMBERID_NIL;
    attr->typekind = m_kind;
    attr->cFuncs = static_cast<WORD>(m_functions.size());
    attr->cVars = static_cast<WORD>(m_variables.size());
    attr->cImplTypes = static_cast<WORD>(m_implemented.size());
    attr->cbSizeVft =
        static_cast<WORD>(m_kind == TKIND_DISPATCH ? 7 * sizeof(void*) : m_functions.size() * sizeof(void*));
    attr->cbAlignment = alignof(void*);
    attr->wTypeFlags = m_typeFlags;
    attr->wMajorVerNum = 1;
    *ppTypeAttr = attr.get();
    m_attrs.emplace(attr.get(), std::move(attr));
    return S_OK;
  }
  void ReleaseTypeAttr(TYPEATTR* pTypeAttr) override { m_attrs.erase(pTypeAttr); }

  HRESULT GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) override {
    if (!ppFuncDesc) return E_INVALIDARG;
    *ppFuncDesc = nullptr;
    if (index >= m_functions.size()) return TYPE_E_ELEMENTNOTFOUND;
    const Function& f = m_functions[index];
    auto block = std::make_unique<FuncDescBlock>();
    block->params.resize(f.params.size());
    block->pointees.resize(f.params.size());
    for (size_t i = 0; i < f.params.size(); ++i)
      block->params[i] = elementOf(f.params[i].vt, f.params[i].flags, &block->pointees[i]);
    FUNCDESC& d = block->desc;
    d.memid = f.memid;
    d.lprgelemdescParam = block->params.empty() ? nullptr : block->params.data();
    d.funckind = m_kind == TKIND_DISPATCH ? FUNC_DISPATCH : FUNC_PUREVIRTUAL;
    d.invkind = f.invkind;
    d.callconv = CC_STDCALL;
    d.cParams = static_cast<SHORT>(f.params.size());
    for (const TypeParam& p : f.params)
      if (p.flags & PARAMFLAG_FOPT) ++d.cParamsOpt;
    d.oVft = static_cast<SHORT>(m_kind == TKIND_DISPATCH ? 0 : index * sizeof(void*));
    d.elemdescFunc.tdesc.vt = f.result;
    d.wFuncFlags = f.flags;
    *ppFuncDesc = &d;
    m_funcs.emplace(&d, std::move(block));
    return S_OK;
  }
  void ReleaseFuncDesc(FUNCDESC* pFuncDesc) override { m_funcs.erase(pFuncDesc); }

  HRESULT GetVarDesc(UINT index, VARDESC** ppVarDesc) override {
    if (!ppVarDesc) return E_INVALIDARG;
    *ppVarDesc = nullptr;
    if (index >= m_variables.size()) return TYPE_E_ELEMENTNOTFOUND;
    const Variable& v = m_variables[index];
    auto block = std::make_unique<VarDescBlock>();
    VARDESC& d = block->desc;
    d.memid = v.memid;
    d.elemdescVar.tdesc.vt = v.vt;
    d.wVarFlags = v.flags;
    d.varkind = m_kind == TKIND_DISPATCH ? VAR_DISPATCH : VAR_PERINSTANCE;
    *ppVarDesc = &d;
    m_vars.emplace(&d, std::move(block));
    return S_OK;
  }
  void ReleaseVarDesc(VARDESC* pVarDesc) override { m_vars.erase(pVarDesc); }

  // The member's name, then its parameters' names up to the first one
  // without a name (a property put's value has none).
  HRESULT GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) override {
    if (!rgBstrNames || !pcNames) return E_INVALIDARG;
    *pcNames = 0;
    std::vector<const std::u16string*> names;
    if (const Function* f = functionById(memid)) {
      names.push_back(&f->name);
      for (const TypeParam& p : f->params) {
        if (p.name.empty()) break;
        names.push_back(&p.name);
      }
    } else if (const Variable* v = variableById(memid)) {
      names.push_back(&v->name);
    } else {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    UINT count = 0;
    for (; count < cMaxNames && count < names.size(); ++count) {
      rgBstrNames[count] = allocBstr(*names[count]);
      if (!rgBstrNames[count]) {
        while (count) SysFreeString(rgBstrNames[--count]);
        return E_OUTOFMEMORY;
      }
    }
    *pcNames = count;
    return S_OK;
  }

  HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) override {
    if (!pRefType) return E_INVALIDARG;
    if (index >= m_implemented.size()) return TYPE_E_ELEMENTNOTFOUND;
    *pRefType = kFirstImplRef + index;
    return S_OK;
  }
  HRESULT GetImplTypeFlags(UINT index, INT* pImplTypeFlags) override {
    if (!pImplTypeFlags) return E_INVALIDARG;
    if (index >= m_implemented.size()) return TYPE_E_ELEMENTNOTFOUND;
    *pImplTypeFlags = 0;
    return S_OK;
  }
  HRESULT GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) override {
    if (!ppTInfo) return E_INVALIDARG;
    *ppTInfo = nullptr;
    if (hRefType < kFirstImplRef || hRefType - kFirstImplRef >= m_implemented.size()) return E_INVALIDARG;
    *ppTInfo = m_implemented[hRefType - kFirstImplRef].get();
    (*ppTInfo)->AddRef();
    return S_OK;
  }

  HRESULT GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) override {
    if (!rgszNames || !pMemId || cNames == 0) return E_INVALIDARG;
    const Function* function = nullptr;
    MEMBERID memid = MEMBERID_NIL;
    if (!findByName(rgszNames[0], memid, function)) {
      for (UINT i = 0; i < cNames; ++i) pMemId[i] = DISPID_UNKNOWN;
      return DISP_E_UNKNOWNNAME;
    }
    pMemId[0] = memid;
    HRESULT hr = S_OK;
    for (UINT i = 1; i < cNames; ++i) {
      pMemId[i] = DISPID_UNKNOWN;
      if (!function) {
        hr = DISP_E_UNKNOWNNAME;
        continue;
      }
      for (size_t p = 0; p < function->params.size(); ++p)
        if (rgszNames[i] && _wcsicmp(rgszNames[i], function->params[p].name.c_str()) == 0)
          pMemId[i] = static_cast<MEMBERID>(p);
      if (pMemId[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }

  HRESULT GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                           BSTR* pBstrHelpFile) override {
    const std::u16string* name = nullptr;
    const std::u16string* doc = nullptr;
    if (memid == MEMBERID_NIL) {
      name = &m_name;
    } else if (const Function* f = functionById(memid)) {
      name = &f->name;
      doc = &f->docString;
    } else if (const Variable* v = variableById(memid)) {
      name = &v->name;
    } else {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    if (pBstrName) *pBstrName = allocBstr(*name);
    if (pBstrDocString) *pBstrDocString = doc && !doc->empty() ? allocBstr(*doc) : nullptr;
    if (pdwHelpContext) *pdwHelpContext = 0;
    if (pBstrHelpFile) *pBstrHelpFile = nullptr;
    return S_OK;
  }

  // Calling through the type information needs the interface's native
  // layout, which table-described servers do not publish.
  HRESULT GetTypeComp(ITypeComp** ppTComp) override {
    if (ppTComp) *ppTComp = nullptr;
    return E_NOTIMPL;
  }
  HRESULT Invoke(PVOID, MEMBERID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }
  HRESULT GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override { return E_NOTIMPL; }
  HRESULT AddressOfMember(MEMBERID, INVOKEKIND, PVOID* ppv) override {
    if (ppv) *ppv = nullptr;
    return E_NOTIMPL;
  }
  HRESULT CreateInstance(IUnknown*, REFIID, PVOID* ppvObj) override {
    if (ppvObj) *ppvObj = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetMops(MEMBERID, BSTR* pBstrMops) override {
    if (pBstrMops) *pBstrMops = nullptr;
    return S_OK;
  }
  HRESULT GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) override {
    if (ppTLib) *ppTLib = nullptr;
    if (pIndex) *pIndex = 0;
    return E_NOTIMPL;
  }

 private:
  const Function* functionById(MEMBERID memid) const {
    for (const Function& f : m_functions)
      if (f.memid == memid) return &f;
    return nullptr;
  }
  const Variable* variableById(MEMBERID memid) const {
    for (const Variable& v : m_variables)
      if (v.memid == memid) return &v;
    return nullptr;
  }
  bool findByName(LPCOLESTR name, MEMBERID& memid, const Function*& function) const {
    if (!name) return false;
    for (const Function& f : m_functions) {
      if (_wcsicmp(name, f.name.c_str()) == 0) {
        memid = f.memid;
        function = &f;
        return true;
      }
    }
    for (const Variable& v : m_variables) {
      if (_wcsicmp(name, v.name.c_str()) == 0) {
        memid = v.memid;
        function = nullptr;
        return true;
      }
    }
    for (const ComPtr<ITypeInfo>& base : m_implemented) {
      LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
      MEMBERID id = MEMBERID_NIL;
      if (SUCCEEDED(base->GetIDsOfNames(names, 1, &id))) {
        memid = id;
        function = nullptr;
        return true;
      }
    }
    return false;
  }

  std::u16string m_name;
  GUID m_guid;
  TYPEKIND m_kind;
  WORD m_typeFlags;
  std::vector<Function> m_functions;
  std::vector<Variable> m_variables;
  std::vector<ComPtr<ITypeInfo>> m_implemented;
  std::map<const void*, std::unique_ptr<TYPEATTR>> m_attrs;
  std::map<const void*, std::unique_ptr<FuncDescBlock>> m_funcs;
  std::map<const void*, std::unique_ptr<VarDescBlock>> m_vars;
};

}  // namespace

TypeInfoBuilder::TypeInfoBuilder(std::u16string name, REFGUID guid, TYPEKIND kind, WORD typeFlags)
    : m_name(std::move(name)), m_guid(guid), m_kind(kind), m_typeFlags(typeFlags) {}

TypeInfoBuilder& TypeInfoBuilder::function(std::u16string name, MEMBERID memid, INVOKEKIND invkind, VARTYPE result,
                                           std::vector<TypeParam> params, WORD funcFlags, std::u16string docString) {
  m_functions.push_back({std::move(name), memid, invkind, result, std::move(params), funcFlags, std::move(docString)});
  return *this;
}

TypeInfoBuilder& TypeInfoBuilder::variable(std::u16string name, MEMBERID memid, VARTYPE vt, WORD varFlags) {
  m_variables.push_back({std::move(name), memid, vt, varFlags});
  return *this;
}

TypeInfoBuilder& TypeInfoBuilder::implements(ITypeInfo* base) {
  if (base) m_implemented.emplace_back(base);
  return *this;
}

ITypeInfo* TypeInfoBuilder::create() const {
  return new TableTypeInfo(m_name, m_guid, m_kind, m_typeFlags, m_functions, m_variables, m_implemented);
}

namespace {

// The methods of IUnknown and IDispatch as the standard type library lists
// them (their member ids are the vtable positions of the COM definition).
void addUnknownMethods(TypeInfoBuilder& b, WORD flags) {
  b.function(u"QueryInterface", 0x60000000, INVOKE_FUNC, VT_VOID,
             {{u"riid", VT_PTR}, {u"ppvObj", VT_PTR, PARAMFLAG_FOUT}}, flags)
      .function(u"AddRef", 0x60000001, INVOKE_FUNC, VT_UI4, {}, flags)
      .function(u"Release", 0x60000002, INVOKE_FUNC, VT_UI4, {}, flags);
}
void addDispatchMethods(TypeInfoBuilder& b, WORD flags) {
  b.function(u"GetTypeInfoCount", 0x60010000, INVOKE_FUNC, VT_VOID, {{u"pctinfo", VT_UINT, PARAMFLAG_FOUT}}, flags)
      .function(u"GetTypeInfo", 0x60010001, INVOKE_FUNC, VT_VOID,
                {{u"itinfo", VT_UINT}, {u"lcid", VT_UI4}, {u"pptinfo", VT_PTR, PARAMFLAG_FOUT}}, flags)
      .function(u"GetIDsOfNames", 0x60010002, INVOKE_FUNC, VT_VOID,
                {{u"riid", VT_PTR},
                 {u"rgszNames", VT_PTR},
                 {u"cNames", VT_UINT},
                 {u"lcid", VT_UI4},
                 {u"rgdispid", VT_I4, PARAMFLAG_FOUT}},
                flags)
      .function(u"Invoke", 0x60010003, INVOKE_FUNC, VT_VOID,
                {{u"dispidMember", VT_I4},
                 {u"riid", VT_PTR},
                 {u"lcid", VT_UI4},
                 {u"wFlags", VT_UI2},
                 {u"pdispparams", VT_PTR},
                 {u"pvarResult", VT_VARIANT, PARAMFLAG_FOUT},
                 {u"pexcepinfo", VT_PTR, PARAMFLAG_FOUT},
                 {u"puArgErr", VT_UINT, PARAMFLAG_FOUT}},
                flags);
}

}  // namespace

TypeInfoBuilder& TypeInfoBuilder::standardMethods() {
  addUnknownMethods(*this, FUNCFLAG_FRESTRICTED);
  addDispatchMethods(*this, FUNCFLAG_FRESTRICTED);
  return *this;
}

ITypeInfo* CreateStandardTypeInfo(REFIID iid) {
  TypeInfoBuilder unknown(u"IUnknown", IID_IUnknown, TKIND_INTERFACE);
  addUnknownMethods(unknown, FUNCFLAG_FRESTRICTED);
  ComPtr<ITypeInfo> unknownInfo = ComPtr<ITypeInfo>::adopt(unknown.create());
  if (iid == IID_IUnknown) return unknownInfo.detach();
  if (!(iid == IID_IDispatch)) return nullptr;
  TypeInfoBuilder dispatch(u"IDispatch", IID_IDispatch, TKIND_INTERFACE);
  addDispatchMethods(dispatch, FUNCFLAG_FRESTRICTED);
  dispatch.implements(unknownInfo.get());
  return dispatch.create();
}

HRESULT DispGetIDsOfNames(ITypeInfo* ptinfo, OLECHAR** rgszNames, UINT cNames, DISPID* rgdispid) {
  if (!ptinfo) return E_INVALIDARG;
  return ptinfo->GetIDsOfNames(rgszNames, cNames, rgdispid);
}
