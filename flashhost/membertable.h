#pragma once
// The automation member table of an embedded control: what its type
// information says about each member the player may call by name. Built once
// when the control is created; the table owns its members.

#include <memory>
#include <vector>

#include "base/pointerlist.h"
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

class MemberTable {
 public:
  MemberTable() = default;
  MemberTable(const MemberTable&) = delete;
  MemberTable& operator=(const MemberTable&) = delete;
  ~MemberTable();

  // Reads a type and the types it implements. Null when the type itself
  // cannot be read.
  static std::unique_ptr<MemberTable> build(ITypeInfo* typeInfo);

  const WideString& typeName() const { return m_typeName; }
  const GUID& typeGuid() const { return m_typeGuid; }
  const PointerList<AutomationMember>& members() const { return m_members; }
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
  PointerList<AutomationMember> m_members;
};
