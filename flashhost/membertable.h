#pragma once
// The automation member table of an embedded control: what its type
// information says about each member the player may call by name. Built once
// when the control is created; the table owns its members.

#include <memory>
#include <optional>
#include <vector>

#include "base/ownerlist.h"
#include "base/widestring.h"
#include "platform/ole/oleauto.h"

// The member kinds, as INVOKEKIND numbers them.
enum MemberKind : int { kMemberMethod = 1, kMemberGet = 2, kMemberPut = 4 };

struct MemberParameter {
  WideString name;
  VARTYPE type;
};

struct AutomationMember {
  WideString name;
  DISPID id = DISPID_UNKNOWN;
  int kind = kMemberMethod;
  std::vector<MemberParameter> params;  // in call order
  VARTYPE resultType = VT_EMPTY;
};

class MemberTable;

// The automation calls by member name over a control's IDispatch and its
// member table, all values as text; FlashControl's calls are these. Each fails
// without calling the control when either is missing or the name is not a
// member of the call's kind.
namespace automation {
// `args` ends at its first null entry.
bool invoke(IDispatch* dispatch, const MemberTable* table, WideStringView name, const WCHAR* const* args,
            std::optional<WideString>* result);
std::optional<WideString> getText(IDispatch* dispatch, const MemberTable* table, WideStringView name);
int getInteger(IDispatch* dispatch, const MemberTable* table, WideStringView name, bool* found);
bool putText(IDispatch* dispatch, const MemberTable* table, WideStringView name, WideStringView text);
}  // namespace automation

class MemberTable {
 public:
  MemberTable() = default;
  MemberTable(const MemberTable&) = delete;
  MemberTable& operator=(const MemberTable&) = delete;

  // Reads a type and the types it implements. Null when the type itself
  // cannot be read.
  static std::unique_ptr<MemberTable> build(ITypeInfo* typeInfo);

  const WideString& typeName() const { return m_typeName; }
  const GUID& typeGuid() const { return m_typeGuid; }
  const OwnerList<AutomationMember>& members() const { return m_members; }
  // The member of that kind whose name matches ignoring case, or null.
  const AutomationMember* find(WideStringView name, int kind) const;

 private:
  void walk(ITypeInfo* type, int depth);
  void addFunction(ITypeInfo* type, const FUNCDESC& desc);
  void addVariable(ITypeInfo* type, const VARDESC& desc);
  bool listed(DISPID id, int kind) const;
  void add(std::unique_ptr<AutomationMember> member);

  WideString m_typeName;
  GUID m_typeGuid{};
  OwnerList<AutomationMember> m_members;
};
