#include "platform/core/wformat.h"

#include <cstring>

namespace {

struct Conversion {
  bool leftAlign = false;
  bool zeroPad = false;
  int width = 0;
  int precision = -1;
};

void pad(std::u16string& out, const std::u16string& body, const Conversion& conv, bool numeric) {
  int fill = conv.width - static_cast<int>(body.size());
  if (fill <= 0) {
    out += body;
  } else if (conv.leftAlign) {
    out += body;
    out.append(static_cast<size_t>(fill), u' ');
  } else if (conv.zeroPad && numeric) {
    size_t sign = (!body.empty() && body[0] == u'-') ? 1 : 0;
    out.append(body, 0, sign);
    out.append(static_cast<size_t>(fill), u'0');
    out.append(body, sign, std::u16string::npos);
  } else {
    out.append(static_cast<size_t>(fill), u' ');
    out += body;
  }
}

std::u16string digits(unsigned long long value, unsigned base, bool upper) {
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::u16string text;
  do {
    text.insert(text.begin(), static_cast<char16_t>(set[value % base]));
    value /= base;
  } while (value);
  return text;
}

// Reads flags, width and precision after '%'; leaves `p` on the conversion letter.
Conversion readConversion(LPCWSTR& p) {
  Conversion conv;
  for (;; ++p) {
    if (*p == u'-')
      conv.leftAlign = true;
    else if (*p == u'0')
      conv.zeroPad = true;
    else
      break;
  }
  while (*p >= u'0' && *p <= u'9') conv.width = conv.width * 10 + (*p++ - u'0');
  if (*p == u'.') {
    conv.precision = 0;
    for (++p; *p >= u'0' && *p <= u'9'; ++p) conv.precision = conv.precision * 10 + (*p - u'0');
  }
  return conv;
}

}  // namespace

std::u16string formatWideV(LPCWSTR format, va_list args) {
  std::u16string out;
  for (LPCWSTR p = format; *p; ++p) {
    if (*p != u'%') {
      out += *p;
      continue;
    }
    ++p;
    Conversion conv = readConversion(p);
    bool isLong = false;
    while (*p == u'l' || *p == u'h') isLong = isLong || *p == u'l', ++p;
    (void)isLong;  // int and long are both 32 bits on the device
    switch (*p) {
      case u'%':
        out += u'%';
        break;
      case u's': {
        LPCWSTR s = va_arg(args, LPCWSTR);
        std::u16string body = s ? std::u16string(s) : std::u16string(u"(null)");
        if (conv.precision >= 0 && body.size() > static_cast<size_t>(conv.precision)) body.resize(conv.precision);
        pad(out, body, conv, false);
        break;
      }
      case u'S': {
        const char* s = va_arg(args, const char*);
        std::u16string body;
        for (const char* c = s ? s : "(null)"; *c; ++c) body += static_cast<char16_t>(static_cast<unsigned char>(*c));
        if (conv.precision >= 0 && body.size() > static_cast<size_t>(conv.precision)) body.resize(conv.precision);
        pad(out, body, conv, false);
        break;
      }
      case u'c':
        pad(out, std::u16string(1, static_cast<char16_t>(va_arg(args, int))), conv, false);
        break;
      case u'd':
      case u'i': {
        long long v = va_arg(args, int);
        std::u16string body = digits(static_cast<unsigned long long>(v < 0 ? -v : v), 10, false);
        if (v < 0) body.insert(body.begin(), u'-');
        pad(out, body, conv, true);
        break;
      }
      case u'u':
        pad(out, digits(va_arg(args, unsigned), 10, false), conv, true);
        break;
      case u'x':
        pad(out, digits(va_arg(args, unsigned), 16, false), conv, true);
        break;
      case u'X':
        pad(out, digits(va_arg(args, unsigned), 16, true), conv, true);
        break;
      case 0:
        return out;  // a lone '%' at the end
      default:
        out += *p;
        break;
    }
  }
  return out;
}

std::u16string formatWide(LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  std::u16string out = formatWideV(format, args);
  va_end(args);
  return out;
}
