// Automation by name: members found in the member table and called through
// IDispatch with every value passed as text.

#include <vector>

#include "flashhost/flashcontrol.h"
#include "platform/ole/variantguard.h"

namespace {

// A text argument in the parameter's type. A text the platform cannot
// convert goes as it is, so the control may apply its own conversion.
VARIANT argumentOf(const WCHAR* text, VARTYPE type) {
  VARIANT v;
  VariantInit(&v);
  if (type == VT_DISPATCH) return v;  // no object to pass: empty
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(text);
  if (type != VT_BSTR && type != VT_VARIANT) {
    VARIANT converted;
    VariantInit(&converted);
    if (SUCCEEDED(VariantChangeType(&converted, &v, VARIANT_NOVALUEPROP, type))) {
      VariantClear(&v);
      v = converted;
    }
  }
  return v;
}

VARIANT missingArgument() {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ERROR;
  v.scode = DISP_E_PARAMNOTFOUND;
  return v;
}

std::optional<WideString> textOf(VARIANT& result) {
  if (result.vt == VT_DISPATCH || result.vt == VT_UNKNOWN) return std::nullopt;
  if (FAILED(VariantChangeType(&result, &result, VARIANT_NOVALUEPROP, VT_BSTR))) return std::nullopt;
  return result.bstrVal ? WideString(result.bstrVal, SysStringLen(result.bstrVal)) : WideString();
}

// wcstol in base 10: blanks, a sign, then the digits up to the first other character.
int parseDecimal(WideStringView text) {
  while (!text.empty() && (text.front() == u' ' || (text.front() >= u'\t' && text.front() <= u'\r')))
    text.remove_prefix(1);
  int value = 0;
  readInteger(text, value);
  return value;
}

}  // namespace

namespace automation {

namespace {

HRESULT callMember(IDispatch* dispatch, const AutomationMember& member, WORD flags, DISPPARAMS& params,
                   VARIANT* result) {
  return dispatch->Invoke(member.id, IID_NULL, LOCALE_SYSTEM_DEFAULT, flags, &params, result, nullptr, nullptr);
}

}  // namespace

bool invoke(IDispatch* dispatch, const MemberTable* table, WideStringView name, const WCHAR* const* args,
            std::optional<WideString>* result) {
  if (result) result->reset();
  if (!dispatch || !table) return false;
  const AutomationMember* member = table->find(name, kMemberMethod);
  if (!member) return false;
  size_t count = member->params.size();
  VariantArray array;
  array.assign(count, missingArgument());
  // The first text goes in the last slot, as IDispatch::Invoke expects.
  for (size_t i = 0; args && args[i] && i < count; ++i)
    array.replace(count - 1 - i, argumentOf(args[i], member->params[i].type));
  DISPPARAMS params{array.data(), nullptr, static_cast<UINT>(count), 0};
  ScopedVariant value;
  HRESULT hr = callMember(dispatch, *member, DISPATCH_METHOD, params, &value.get());
  if (SUCCEEDED(hr) && result) *result = textOf(value.get());
  return SUCCEEDED(hr);
}

std::optional<WideString> getText(IDispatch* dispatch, const MemberTable* table, WideStringView name) {
  if (!dispatch || !table) return std::nullopt;
  const AutomationMember* member = table->find(name, kMemberGet);
  if (!member || !member->params.empty()) return std::nullopt;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  ScopedVariant value;
  if (FAILED(callMember(dispatch, *member, DISPATCH_PROPERTYGET, none, &value.get()))) return std::nullopt;
  return textOf(value.get());
}

int getInteger(IDispatch* dispatch, const MemberTable* table, WideStringView name, bool* found) {
  std::optional<WideString> text = getText(dispatch, table, name);
  if (found) *found = text.has_value();
  return text ? parseDecimal(*text) : 0;
}

bool putText(IDispatch* dispatch, const MemberTable* table, WideStringView name, WideStringView text) {
  if (!dispatch || !table) return false;
  const AutomationMember* member = table->find(name, kMemberPut);
  if (!member) return false;
  WideString value(text);
  VARTYPE type = member->params.empty() ? VARTYPE{VT_BSTR} : member->params[0].type;
  VariantArray array;
  array.push_back(argumentOf(value.c_str(), type));
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{array.data(), &named, 1, 1};
  return SUCCEEDED(callMember(dispatch, *member, DISPATCH_PROPERTYPUT, params, nullptr));
}

}  // namespace automation

bool FlashControl::invoke(WideStringView name, const WCHAR* const* args, std::optional<WideString>* result) {
  return automation::invoke(m_dispatch.get(), m_members.get(), name, args, result);
}

bool FlashControl::invoke(WideStringView name, std::initializer_list<const WCHAR*> args,
                          std::optional<WideString>* result) {
  std::vector<const WCHAR*> list(args);
  list.push_back(nullptr);
  return invoke(name, list.data(), result);
}

std::optional<WideString> FlashControl::getText(WideStringView name) {
  return automation::getText(m_dispatch.get(), m_members.get(), name);
}

int FlashControl::getInteger(WideStringView name, bool* found) {
  return automation::getInteger(m_dispatch.get(), m_members.get(), name, found);
}

bool FlashControl::putText(WideStringView name, WideStringView text) {
  return automation::putText(m_dispatch.get(), m_members.get(), name, text);
}
