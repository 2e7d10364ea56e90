#include "flashhost/membertable.h"

#include <algorithm>

#include "platform/ole/comptr.h"

namespace {

constexpr char16_t kUnnamedParameter[] = u"(Property Value)";
constexpr int kMaxTypeDepth = 16;  // implemented types nest no deeper in practice; a cycle stops here
constexpr UINT kMaxNames = 64;

bool isBaseInterface(ITypeInfo* type) {
  TYPEATTR* attr = nullptr;
  if (FAILED(type->GetTypeAttr(&attr)) || !attr) return false;
  bool base = IsEqualGUID(attr->guid, IID_IUnknown) || IsEqualGUID(attr->guid, IID_IDispatch);
  type->ReleaseTypeAttr(attr);
  return base;
}

WideString takeText(BSTR text) {
  WideString s = text ? WideString(text, SysStringLen(text)) : WideString();
  SysFreeString(text);
  return s;
}

}  // namespace

std::unique_ptr<MemberTable> MemberTable::build(ITypeInfo* typeInfo) {
  if (!typeInfo) return nullptr;
  TYPEATTR* attr = nullptr;
  if (FAILED(typeInfo->GetTypeAttr(&attr)) || !attr) return nullptr;
  auto table = std::make_unique<MemberTable>();
  table->m_typeGuid = attr->guid;
  typeInfo->ReleaseTypeAttr(attr);
  BSTR name = nullptr;
  if (SUCCEEDED(typeInfo->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr)))
    table->m_typeName = takeText(name);
  table->walk(typeInfo, 0);
  return table;
}

const AutomationMember* MemberTable::find(WideStringView name, int kind) const {
  for (const AutomationMember* m : m_members)
    if (m->kind == kind && equalsIgnoreCase(m->name, name)) return m;
  return nullptr;
}

void MemberTable::walk(ITypeInfo* type, int depth) {
  if (depth > kMaxTypeDepth || isBaseInterface(type)) return;
  TYPEATTR* attr = nullptr;
  if (FAILED(type->GetTypeAttr(&attr)) || !attr) return;
  WORD functions = attr->cFuncs, variables = attr->cVars, implemented = attr->cImplTypes;
  type->ReleaseTypeAttr(attr);
  for (UINT i = 0; i < functions; ++i) {
    FUNCDESC* desc = nullptr;
    if (FAILED(type->GetFuncDesc(i, &desc)) || !desc) continue;
    if (!(desc->wFuncFlags & FUNCFLAG_FRESTRICTED)) addFunction(type, *desc);
    type->ReleaseFuncDesc(desc);
  }
  for (UINT i = 0; i < variables; ++i) {
    VARDESC* desc = nullptr;
    if (FAILED(type->GetVarDesc(i, &desc)) || !desc) continue;
    if (desc->varkind == VAR_DISPATCH && !(desc->wVarFlags & VARFLAG_FRESTRICTED)) addVariable(type, *desc);
    type->ReleaseVarDesc(desc);
  }
  for (UINT i = 0; i < implemented; ++i) {
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> base;
    if (SUCCEEDED(type->GetRefTypeOfImplType(i, &ref)) && SUCCEEDED(type->GetRefTypeInfo(ref, base.put())) && base)
      walk(base.get(), depth + 1);
  }
}

void MemberTable::addFunction(ITypeInfo* type, const FUNCDESC& desc) {
  BSTR names[kMaxNames] = {};
  UINT count = 0;
  UINT wanted = std::min<UINT>(kMaxNames, static_cast<UINT>(desc.cParams) + 1);
  if (FAILED(type->GetNames(desc.memid, names, wanted, &count)) || count == 0) return;
  auto member = std::make_unique<AutomationMember>();
  member->name = takeText(names[0]);
  member->id = desc.memid;
  member->kind = desc.invkind;
  member->resultType = desc.elemdescFunc.tdesc.vt;
  for (SHORT p = 0; p < desc.cParams; ++p) {
    const ELEMDESC& param = desc.lprgelemdescParam[p];
    WideString name = static_cast<UINT>(p) + 1 < count ? takeText(names[p + 1]) : WideString();
    const USHORT retval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
    VARTYPE vt = param.tdesc.vt;
    // An out-and-retval parameter is the result itself, seen through its pointer.
    if ((param.paramdesc.wParamFlags & retval) == retval) {
      member->resultType = vt == VT_PTR && param.tdesc.lptdesc ? param.tdesc.lptdesc->vt : vt;
      continue;
    }
    member->params.push_back({name.empty() ? WideString(kUnnamedParameter) : name, vt});
  }
  for (UINT i = static_cast<UINT>(desc.cParams) + 1; i < count; ++i) SysFreeString(names[i]);
  add(std::move(member));
}

void MemberTable::addVariable(ITypeInfo* type, const VARDESC& desc) {
  BSTR nameText = nullptr;
  UINT count = 0;
  if (FAILED(type->GetNames(desc.memid, &nameText, 1, &count)) || count == 0) return;
  WideString name = takeText(nameText);
  VARTYPE vt = desc.elemdescVar.tdesc.vt;
  if (!listed(desc.memid, kMemberGet)) {
    auto get = std::make_unique<AutomationMember>();
    get->name = name;
    get->id = desc.memid;
    get->kind = kMemberGet;
    get->resultType = vt;
    add(std::move(get));
  }
  if (!(desc.wVarFlags & VARFLAG_FREADONLY) && !listed(desc.memid, kMemberPut)) {
    auto put = std::make_unique<AutomationMember>();
    put->name = name;
    put->id = desc.memid;
    put->kind = kMemberPut;
    put->params.push_back({kUnnamedParameter, vt});
    put->resultType = VT_EMPTY;
    add(std::move(put));
  }
}

bool MemberTable::listed(DISPID id, int kind) const {
  for (const AutomationMember* m : m_members)
    if (m->id == id && m->kind == kind) return true;
  return false;
}

void MemberTable::add(std::unique_ptr<AutomationMember> member) { m_members.add(std::move(member)); }
