// Reading a server's arguments out of DISPPARAMS.

#include "platform/ole/oleauto.h"

HRESULT DispGetParam(DISPPARAMS* pdispparams, UINT position, VARTYPE vtTarg, VARIANT* pvarResult, UINT* puArgErr) {
  if (!pdispparams || !pvarResult) return E_INVALIDARG;
  VariantInit(pvarResult);
  UINT index = pdispparams->cArgs;
  for (UINT i = 0; i < pdispparams->cNamedArgs && pdispparams->rgdispidNamedArgs; ++i)
    if (pdispparams->rgdispidNamedArgs[i] == static_cast<DISPID>(position)) index = i;
  UINT positional = pdispparams->cArgs - pdispparams->cNamedArgs;
  if (index == pdispparams->cArgs && position < positional) index = pdispparams->cArgs - 1 - position;
  if (index >= pdispparams->cArgs || !pdispparams->rgvarg) return DISP_E_PARAMNOTFOUND;
  const VARIANT& arg = pdispparams->rgvarg[index];
  // A caller marks an omitted optional argument this way.
  if (arg.vt == VT_ERROR && arg.scode == DISP_E_PARAMNOTFOUND) return DISP_E_PARAMNOTFOUND;
  HRESULT hr = VariantChangeType(pvarResult, &arg, 0, vtTarg);
  if (FAILED(hr) && puArgErr) *puArgErr = index;
  return hr;
}
