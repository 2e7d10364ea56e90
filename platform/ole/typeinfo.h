#pragma once
// Type information that an in-process server describes as a table instead of
// compiling a type library: the type's name, GUID and kind, its functions
// (with parameter names, types and flags), its dispatch variables and the
// types it implements. `create` answers an ITypeInfo with one reference.

#include <string>
#include <vector>

#include "platform/ole/comptr.h"
#include "platform/ole/oleauto.h"

struct TypeParam {
  std::u16string name;  // empty: the type information gives no name
  VARTYPE vt;           // the value's type; PARAMFLAG_FOUT makes it a pointer to it
  USHORT flags = PARAMFLAG_FIN;
};

class TypeInfoBuilder {
 public:
  TypeInfoBuilder(std::u16string name, REFGUID guid, TYPEKIND kind, WORD typeFlags = 0);

  TypeInfoBuilder& function(std::u16string name, MEMBERID memid, INVOKEKIND invkind, VARTYPE result,
                            std::vector<TypeParam> params = {}, WORD funcFlags = 0, std::u16string docString = {});
  // A VAR_DISPATCH variable (a property without accessor functions).
  TypeInfoBuilder& variable(std::u16string name, MEMBERID memid, VARTYPE vt, WORD varFlags = 0);
  // The restricted IUnknown and IDispatch methods that open the function list
  // of a dual interface's dispatch view.
  TypeInfoBuilder& standardMethods();
  // Keeps a reference to `base`, answered by GetRefTypeOfImplType / GetRefTypeInfo.
  TypeInfoBuilder& implements(ITypeInfo* base);

  ITypeInfo* create() const;

  struct Function {
    std::u16string name;
    MEMBERID memid;
    INVOKEKIND invkind;
    VARTYPE result;
    std::vector<TypeParam> params;
    WORD flags;
    std::u16string docString;
  };
  struct Variable {
    std::u16string name;
    MEMBERID memid;
    VARTYPE vt;
    WORD flags;
  };

 private:
  std::u16string m_name;
  GUID m_guid;
  TYPEKIND m_kind;
  WORD m_typeFlags;
  std::vector<Function> m_functions;
  std::vector<Variable> m_variables;
  std::vector<ComPtr<ITypeInfo>> m_implemented;
};

// The type information of IUnknown and of IDispatch (which implements
// IUnknown), as the standard type library gives them; one reference.
ITypeInfo* CreateStandardTypeInfo(REFIID iid);

// Answers the member ids of a name and its parameter names from type
// information, ignoring case, as a server's IDispatch::GetIDsOfNames does.
HRESULT DispGetIDsOfNames(ITypeInfo* ptinfo, OLECHAR** rgszNames, UINT cNames, DISPID* rgdispid);
