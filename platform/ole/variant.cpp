// VARIANT lifetime and the conversions between its simple types, following
// the platform's rules (English number and boolean formats, banker's rounding).

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "platform/ole/oleauto.h"

namespace {

bool isKnownBaseType(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
      return true;
    default:
      return false;
  }
}

// A variant's type is valid when its base type is known; VT_VARIANT only by
// reference. Arrays are not kept on the device.
bool isValidType(VARTYPE vt) {
  if (vt & VT_ARRAY) return false;
  VARTYPE base = vt & VT_TYPEMASK;
  if (vt & VT_BYREF) return base == VT_VARIANT || (base != VT_EMPTY && base != VT_NULL && isKnownBaseType(base));
  return (vt & ~VT_TYPEMASK) == 0 && isKnownBaseType(base);
}

// A number on its way between types: an exact integer or a real.
struct Number {
  bool isReal = false;
  double real = 0;
  bool negative = false;
  std::uint64_t magnitude = 0;

  static Number ofSigned(std::int64_t v) {
    Number n;
    n.negative = v < 0;
    n.magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    return n;
  }
  static Number ofUnsigned(std::uint64_t v) {
    Number n;
    n.magnitude = v;
    return n;
  }
  static Number ofReal(double v) {
    Number n;
    n.isReal = true;
    n.real = v;
    return n;
  }
  double asReal() const {
    if (isReal) return real;
    double m = static_cast<double>(magnitude);
    return negative ? -m : m;
  }
  bool isZero() const { return isReal ? real == 0 : magnitude == 0; }
};

struct IntegerRange {
  std::int64_t low;
  std::uint64_t high;
};

bool integerRange(VARTYPE vt, IntegerRange& range) {
  switch (vt) {
    case VT_I1:
      range = {-128, 127};
      return true;
    case VT_UI1:
      range = {0, 255};
      return true;
    case VT_I2:
      range = {-32768, 32767};
      return true;
    case VT_UI2:
      range = {0, 65535};
      return true;
    case VT_I4:
    case VT_INT:
      range = {std::numeric_limits<std::int32_t>::min(), 0x7FFFFFFFu};
      return true;
    case VT_UI4:
    case VT_UINT:
      range = {0, 0xFFFFFFFFu};
      return true;
    case VT_I8:
      range = {std::numeric_limits<std::int64_t>::min(), 0x7FFFFFFFFFFFFFFFull};
      return true;
    case VT_UI8:
      range = {0, std::numeric_limits<std::uint64_t>::max()};
      return true;
    default:
      return false;
  }
}

void storeInteger(VARIANT& out, VARTYPE vt, bool negative, std::uint64_t magnitude) {
  std::uint64_t bits = negative ? 0 - magnitude : magnitude;  // two's complement of the value
  out.vt = vt;
  switch (vt) {
    case VT_I1:
      out.cVal = static_cast<CHAR>(static_cast<std::int8_t>(bits));
      break;
    case VT_UI1:
      out.bVal = static_cast<BYTE>(bits);
      break;
    case VT_I2:
      out.iVal = static_cast<SHORT>(bits);
      break;
    case VT_UI2:
      out.uiVal = static_cast<USHORT>(bits);
      break;
    case VT_I4:
      out.lVal = static_cast<LONG>(bits);
      break;
    case VT_INT:
      out.intVal = static_cast<INT>(bits);
      break;
    case VT_UI4:
      out.ulVal = static_cast<ULONG>(bits);
      break;
    case VT_UINT:
      out.uintVal = static_cast<UINT>(bits);
      break;
    case VT_I8:
      out.llVal = static_cast<LONGLONG>(bits);
      break;
    case VT_UI8:
      out.ullVal = bits;
      break;
    default:
      break;
  }
}

HRESULT numberToInteger(const Number& n, VARTYPE vt, VARIANT& out) {
  IntegerRange range{};
  integerRange(vt, range);
  if (!n.isReal) {
    std::uint64_t lowMagnitude = 0 - static_cast<std::uint64_t>(range.low);
    if (n.negative ? n.magnitude > lowMagnitude : n.magnitude > range.high) return DISP_E_OVERFLOW;
    storeInteger(out, vt, n.negative && n.magnitude != 0, n.magnitude);
    return S_OK;
  }
  double r = std::nearbyint(n.real);  // the default rounding mode rounds half to even
  if (!(r >= static_cast<double>(range.low) && r < static_cast<double>(range.high) + 1.0)) return DISP_E_OVERFLOW;
  bool negative = r < 0;
  storeInteger(out, vt, negative, static_cast<std::uint64_t>(negative ? -r : r));
  return S_OK;
}

HRESULT numberToVariant(const Number& n, VARTYPE vt, VARIANT& out) {
  switch (vt) {
    case VT_R8:
      out.vt = VT_R8;
      out.dblVal = n.asReal();
      return S_OK;
    case VT_R4: {
      double r = n.asReal();
      if (std::isfinite(r) && std::fabs(r) > FLT_MAX) return DISP_E_OVERFLOW;
      out.vt = VT_R4;
      out.fltVal = static_cast<float>(r);
      return S_OK;
    }
    case VT_BOOL:
      out.vt = VT_BOOL;
      out.boolVal = n.isZero() ? VARIANT_FALSE : VARIANT_TRUE;
      return S_OK;
    default:
      return numberToInteger(n, vt, out);
  }
}

bool isBlank(OLECHAR c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f'; }

void skipBlanks(std::u16string_view& text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
}

bool parseRadix(std::u16string_view text, unsigned radix, Number& number) {
  if (text.empty()) return false;
  std::uint64_t value = 0;
  for (OLECHAR c : text) {
    unsigned digit;
    if (c >= u'0' && c <= u'9')
      digit = c - u'0';
    else if (c >= u'a' && c <= u'f')
      digit = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
      digit = c - u'A' + 10;
    else
      return false;
    if (digit >= radix) return false;
    if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / radix) return false;
    value = value * radix + digit;
  }
  number = Number::ofUnsigned(value);
  return true;
}

// The platform's number text: blanks around it, an optional sign, digits with
// thousands separators, a fraction, an exponent; or &H / &O followed by hex or
// octal digits. The whole text must be used.
bool parseNumber(std::u16string_view text, Number& number) {
  skipBlanks(text);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  if (text.size() > 2 && text[0] == u'&') {
    OLECHAR kind = text[1];
    if (kind == u'H' || kind == u'h') return parseRadix(text.substr(2), 16, number);
    if (kind == u'O' || kind == u'o') return parseRadix(text.substr(2), 8, number);
    return false;
  }
  bool negative = false;
  if (!text.empty() && (text.front() == u'+' || text.front() == u'-')) {
    negative = text.front() == u'-';
    text.remove_prefix(1);
  }
  std::string digits;  // significant digits, ASCII
  long exponent = 0;   // power of ten applied to `digits`
  bool sawDigit = false;
  while (!text.empty()) {
    OLECHAR c = text.front();
    if (c >= u'0' && c <= u'9') {
      digits.push_back(static_cast<char>(c));
      sawDigit = true;
    } else if (c == u',' && sawDigit) {
      // thousands separator
    } else {
      break;
    }
    text.remove_prefix(1);
  }
  if (!text.empty() && text.front() == u'.') {
    text.remove_prefix(1);
    while (!text.empty() && text.front() >= u'0' && text.front() <= u'9') {
      digits.push_back(static_cast<char>(text.front()));
      --exponent;
      sawDigit = true;
      text.remove_prefix(1);
    }
  }
  if (!sawDigit) return false;
  if (!text.empty() && (text.front() == u'e' || text.front() == u'E')) {
    text.remove_prefix(1);
    bool negativeExponent = false;
    if (!text.empty() && (text.front() == u'+' || text.front() == u'-')) {
      negativeExponent = text.front() == u'-';
      text.remove_prefix(1);
    }
    if (text.empty()) return false;
    long value = 0;
    while (!text.empty() && text.front() >= u'0' && text.front() <= u'9') {
      if (value < 100000) value = value * 10 + (text.front() - u'0');
      text.remove_prefix(1);
    }
    exponent += negativeExponent ? -value : value;
  }
  if (!text.empty()) return false;

  // Exact integers stay integers; everything else goes through a real.
  size_t firstNonZero = digits.find_first_not_of('0');
  if (firstNonZero == std::string::npos) {
    number = Number::ofUnsigned(0);
    return true;
  }
  std::string_view significant(digits);
  significant.remove_prefix(firstNonZero);
  size_t trailingZeros = 0;
  while (exponent < 0 && trailingZeros < significant.size() &&
         significant[significant.size() - 1 - trailingZeros] == '0') {
    ++trailingZeros;
    ++exponent;
  }
  significant.remove_suffix(trailingZeros);
  if (exponent >= 0 && significant.size() + exponent <= 19) {
    std::uint64_t value = 0;
    bool fits = true;
    for (char c : significant) value = value * 10 + static_cast<std::uint64_t>(c - '0');
    for (long i = 0; i < exponent && fits; ++i) {
      if (value > std::numeric_limits<std::uint64_t>::max() / 10)
        fits = false;
      else
        value *= 10;
    }
    if (fits) {
      number = Number::ofUnsigned(value);
      number.negative = negative;
      return true;
    }
  }
  std::string ascii(significant);
  ascii += 'e';
  ascii += std::to_string(exponent);
  double real = std::strtod(ascii.c_str(), nullptr);
  number = Number::ofReal(negative ? -real : real);
  return true;
}

bool equalsAsciiIgnoreCase(std::u16string_view text, std::string_view ascii) {
  if (text.size() != ascii.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    OLECHAR c = text[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<OLECHAR>(c - u'A' + u'a');
    if (c != static_cast<OLECHAR>(ascii[i])) return false;
  }
  return true;
}

HRESULT textToBool(std::u16string_view text, VARIANT& out) {
  out.vt = VT_BOOL;
  if (equalsAsciiIgnoreCase(text, "true") || equalsAsciiIgnoreCase(text, "#true#")) {
    out.boolVal = VARIANT_TRUE;
    return S_OK;
  }
  if (equalsAsciiIgnoreCase(text, "false") || equalsAsciiIgnoreCase(text, "#false#")) {
    out.boolVal = VARIANT_FALSE;
    return S_OK;
  }
  Number n;
  if (!parseNumber(text, n)) return DISP_E_TYPEMISMATCH;
  out.boolVal = n.isZero() ? VARIANT_FALSE : VARIANT_TRUE;
  return S_OK;
}

HRESULT textToVariant(std::u16string_view text, VARTYPE vt, VARIANT& out) {
  if (vt == VT_BOOL) return textToBool(text, out);
  Number n;
  if (!parseNumber(text, n)) return DISP_E_TYPEMISMATCH;
  return numberToVariant(n, vt, out);
}

HRESULT asciiToBstr(const char* ascii, VARIANT& out) {
  OLECHAR wide[64];
  size_t len = 0;
  for (; ascii[len] && len < 63; ++len) wide[len] = static_cast<OLECHAR>(static_cast<unsigned char>(ascii[len]));
  out.vt = VT_BSTR;
  out.bstrVal = SysAllocStringLen(wide, static_cast<UINT>(len));
  return out.bstrVal ? S_OK : E_OUTOFMEMORY;
}

HRESULT realToBstr(double value, int significantDigits, VARIANT& out) {
  if (value == 0) value = 0;  // no "-0"
  char text[64];
  std::snprintf(text, sizeof text, "%.*G", significantDigits, value);
  return asciiToBstr(text, out);
}

HRESULT integerToBstr(const Number& n, VARIANT& out) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%llu", n.negative && n.magnitude ? "-" : "",
                static_cast<unsigned long long>(n.magnitude));
  return asciiToBstr(text, out);
}

// The source's value as a number, when it has one.
bool numberOf(const VARIANT& v, Number& n) {
  switch (v.vt) {
    case VT_EMPTY:
      n = Number::ofUnsigned(0);
      return true;
    case VT_I1:
      n = Number::ofSigned(static_cast<std::int8_t>(v.cVal));
      return true;
    case VT_UI1:
      n = Number::ofUnsigned(v.bVal);
      return true;
    case VT_I2:
      n = Number::ofSigned(v.iVal);
      return true;
    case VT_UI2:
      n = Number::ofUnsigned(v.uiVal);
      return true;
    case VT_I4:
      n = Number::ofSigned(v.lVal);
      return true;
    case VT_INT:
      n = Number::ofSigned(v.intVal);
      return true;
    case VT_UI4:
      n = Number::ofUnsigned(v.ulVal);
      return true;
    case VT_UINT:
      n = Number::ofUnsigned(v.uintVal);
      return true;
    case VT_I8:
      n = Number::ofSigned(v.llVal);
      return true;
    case VT_UI8:
      n = Number::ofUnsigned(v.ullVal);
      return true;
    case VT_R4:
      n = Number::ofReal(v.fltVal);
      return true;
    case VT_R8:
      n = Number::ofReal(v.dblVal);
      return true;
    case VT_BOOL:
      n = Number::ofSigned(v.boolVal ? -1 : 0);
      return true;
    default:
      return false;
  }
}

HRESULT toBstr(const VARIANT& src, USHORT flags, VARIANT& out) {
  switch (src.vt) {
    case VT_EMPTY:
      out.vt = VT_BSTR;
      out.bstrVal = SysAllocStringLen(nullptr, 0);
      return out.bstrVal ? S_OK : E_OUTOFMEMORY;
    case VT_BOOL:
      if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL)) return asciiToBstr(src.boolVal ? "True" : "False", out);
      return asciiToBstr(src.boolVal ? "-1" : "0", out);
    case VT_R4:
      return realToBstr(src.fltVal, 7, out);
    case VT_R8:
      return realToBstr(src.dblVal, 15, out);
    default: {
      Number n;
      if (!numberOf(src, n)) return DISP_E_TYPEMISMATCH;
      return integerToBstr(n, out);
    }
  }
}

HRESULT toInterface(const VARIANT& src, VARTYPE vt, VARIANT& out) {
  out.vt = vt;
  out.punkVal = nullptr;
  if (src.vt == VT_EMPTY) return S_OK;
  if (src.vt != VT_UNKNOWN && src.vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
  IUnknown* object = src.vt == VT_UNKNOWN ? src.punkVal : static_cast<IUnknown*>(src.pdispVal);
  if (!object) return S_OK;
  if (vt == VT_UNKNOWN) {
    object->AddRef();
    out.punkVal = object;
    return S_OK;
  }
  void* dispatch = nullptr;
  if (FAILED(object->QueryInterface(IID_IDispatch, &dispatch))) return DISP_E_TYPEMISMATCH;
  out.pdispVal = static_cast<IDispatch*>(dispatch);
  return S_OK;
}

HRESULT convert(const VARIANT& src, USHORT flags, VARTYPE vt, VARIANT& out);

// An object's value is its DISPID_VALUE property, unless the caller said not to.
HRESULT convertValueProperty(const VARIANT& src, USHORT flags, VARTYPE vt, VARIANT& out) {
  if ((flags & VARIANT_NOVALUEPROP) || src.vt != VT_DISPATCH || !src.pdispVal) return DISP_E_TYPEMISMATCH;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT value;
  VariantInit(&value);
  HRESULT hr = src.pdispVal->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value,
                                    nullptr, nullptr);
  if (SUCCEEDED(hr)) {
    hr = value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN ? DISP_E_TYPEMISMATCH
                                                           : convert(value, flags | VARIANT_NOVALUEPROP, vt, out);
  } else {
    hr = DISP_E_TYPEMISMATCH;
  }
  VariantClear(&value);
  return hr;
}

HRESULT convert(const VARIANT& src, USHORT flags, VARTYPE vt, VARIANT& out) {
  if (src.vt == vt) return VariantCopy(&out, &src);
  if (vt == VT_EMPTY) {
    out.vt = VT_EMPTY;
    return S_OK;
  }
  if (vt == VT_NULL) {
    if (src.vt != VT_EMPTY) return DISP_E_TYPEMISMATCH;
    out.vt = VT_NULL;
    return S_OK;
  }
  if (vt == VT_UNKNOWN || vt == VT_DISPATCH) return toInterface(src, vt, out);
  if (src.vt == VT_DISPATCH || src.vt == VT_UNKNOWN) return convertValueProperty(src, flags, vt, out);
  if (vt == VT_BSTR) return toBstr(src, flags, out);
  Number n;
  IntegerRange range{};
  bool numericTarget = vt == VT_R4 || vt == VT_R8 || vt == VT_BOOL || integerRange(vt, range);
  if (!numericTarget) return DISP_E_TYPEMISMATCH;
  if (src.vt == VT_BSTR)
    return textToVariant(std::u16string_view(src.bstrVal ? src.bstrVal : u"", SysStringLen(src.bstrVal)), vt, out);
  if (!numberOf(src, n)) return DISP_E_TYPEMISMATCH;
  return numberToVariant(n, vt, out);
}

// The value a by-reference variant points at, as a variant that owns nothing.
bool dereference(const VARIANT& v, VARIANT& value) {
  if (!(v.vt & VT_BYREF)) {
    value = v;
    return true;
  }
  VARTYPE base = v.vt & VT_TYPEMASK;
  if (!v.byref) return false;
  if (base == VT_VARIANT) return !(v.pvarVal->vt & VT_BYREF) && dereference(*v.pvarVal, value);
  value = VARIANT{};
  value.vt = base;
  switch (base) {
    case VT_I1:
    case VT_UI1:
      value.bVal = *static_cast<BYTE*>(v.byref);
      break;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      value.uiVal = *static_cast<USHORT*>(v.byref);
      break;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR:
      value.ulVal = *static_cast<ULONG*>(v.byref);
      break;
    case VT_R4:
      value.fltVal = *static_cast<float*>(v.byref);
      break;
    case VT_R8:
    case VT_DATE:
      value.dblVal = *static_cast<double*>(v.byref);
      break;
    case VT_I8:
    case VT_UI8:
    case VT_CY:
      value.ullVal = *static_cast<ULONGLONG*>(v.byref);
      break;
    case VT_BSTR:
      value.bstrVal = *static_cast<BSTR*>(v.byref);
      break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
      value.punkVal = *static_cast<IUnknown**>(v.byref);
      break;
    default:
      return false;
  }
  return true;
}

}  // namespace

void VariantInit(VARIANTARG* pvarg) {
  if (!pvarg) return;
  pvarg->vt = VT_EMPTY;
  pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
  if (!pvarg) return E_INVALIDARG;
  if (!isValidType(pvarg->vt)) return DISP_E_BADVARTYPE;
  if (!(pvarg->vt & VT_BYREF)) {
    switch (pvarg->vt) {
      case VT_BSTR:
        SysFreeString(pvarg->bstrVal);
        break;
      case VT_UNKNOWN:
        if (pvarg->punkVal) pvarg->punkVal->Release();
        break;
      case VT_DISPATCH:
        if (pvarg->pdispVal) pvarg->pdispVal->Release();
        break;
      default:
        break;
    }
  }
  pvarg->vt = VT_EMPTY;
  pvarg->llVal = 0;
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (!pvargDest || !pvargSrc) return E_INVALIDARG;
  if (pvargDest == pvargSrc) return S_OK;
  if (!isValidType(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  VARIANT copy = *pvargSrc;
  if (copy.vt == VT_BSTR && copy.bstrVal) {
    copy.bstrVal = SysAllocStringLen(copy.bstrVal, SysStringLen(copy.bstrVal));
    if (!copy.bstrVal) return E_OUTOFMEMORY;
  } else if ((copy.vt == VT_UNKNOWN || copy.vt == VT_DISPATCH) && copy.punkVal) {
    copy.punkVal->AddRef();
  }
  HRESULT hr = VariantClear(pvargDest);
  if (FAILED(hr)) {
    VariantClear(&copy);
    return hr;
  }
  *pvargDest = copy;
  return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt) {
  if (!pvargDest || !pvarSrc) return E_INVALIDARG;
  if (!isValidType(pvarSrc->vt) || (vt & (VT_BYREF | VT_ARRAY)) || !isKnownBaseType(vt)) return DISP_E_BADVARTYPE;
  VARIANT source;
  if (!dereference(*pvarSrc, source)) return DISP_E_BADVARTYPE;
  if (source.vt == VT_CY || source.vt == VT_DATE || source.vt == VT_DECIMAL || vt == VT_CY || vt == VT_DATE ||
      vt == VT_DECIMAL) {
    if (source.vt != vt) return DISP_E_TYPEMISMATCH;  // currency, dates and decimals are not converted here
  }
  if (source.vt == VT_NULL && vt != VT_NULL && vt != VT_EMPTY) return DISP_E_TYPEMISMATCH;
  if (source.vt == VT_ERROR && vt != VT_ERROR) return DISP_E_TYPEMISMATCH;

  VARIANT result;
  VariantInit(&result);
  HRESULT hr = convert(source, wFlags, vt, result);
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;
  }
  // Clearing the destination may free the source (in place): the result is
  // already independent of it.
  hr = VariantClear(pvargDest);
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;
  }
  *pvargDest = result;
  return S_OK;
}
