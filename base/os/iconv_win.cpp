#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "base/os/win32_iconv/iconv.h"
#include "base/transliteration.h"

namespace {

constexpr std::string_view kTranslitSuffix = "//TRANSLIT";
constexpr char32_t kMaxCodePoint = 0x10FFFF;
// Windows maps the bytes a code page leaves undefined (0x81 in Windows-1252, say) to the C1
// control of the same number; glibc calls them undefined, and so do we.
constexpr char32_t kFirstC1 = 0x80;
constexpr char32_t kLastC1 = 0x9F;
const size_t kFailed = static_cast<size_t>(-1);

struct Converter {
  unsigned code_page = 0;  // the side that is not UTF-8
  bool to_code_page = false;
  bool translit = false;
  bool double_byte = false;
};

// "CP850", "WINDOWS-1252", "UTF-8" (any case): the code page, CP_UTF8, or 0 when unknown.
unsigned CodePageNamed(std::string_view name, bool* translit) {
  *translit = name.size() > kTranslitSuffix.size() &&
              name.substr(name.size() - kTranslitSuffix.size()) == kTranslitSuffix;
  if (*translit) name.remove_suffix(kTranslitSuffix.size());
  std::string upper(name);
  for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  if (upper == "UTF-8" || upper == "UTF8") return CP_UTF8;
  std::string_view digits = upper;
  for (std::string_view prefix : {"CP", "WINDOWS-"}) {
    if (digits.rfind(prefix, 0) == 0) {
      digits.remove_prefix(prefix.size());
      break;
    }
  }
  if (digits.empty() || digits.size() > 5) return 0;
  unsigned number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  return number != 0 && number != CP_UTF8 && ::IsValidCodePage(number) ? number : 0;
}

// One UTF-8 character at `s` (`n` bytes there): its length, 0 when cut short, -1 when invalid.
int NextCodePoint(const unsigned char* s, size_t n, char32_t* code_point) {
  const unsigned char lead = s[0];
  int length;
  char32_t cp;
  if (lead < 0x80) {
    *code_point = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07;
  } else {
    return -1;
  }
  for (int i = 1; i < length; ++i) {
    if (static_cast<size_t>(i) >= n) return 0;
    if ((s[i] & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (s[i] & 0x3F);
  }
  const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < smallest[length] || cp > kMaxCodePoint || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
  *code_point = cp;
  return length;
}

std::wstring Utf16(char32_t cp) {
  if (cp < 0x10000) return std::wstring(1, static_cast<wchar_t>(cp));
  cp -= 0x10000;
  return {static_cast<wchar_t>(0xD800 + (cp >> 10)), static_cast<wchar_t>(0xDC00 + (cp & 0x3FF))};
}

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// The code page's bytes for `cp`, or false when it has no such character.
bool EncodeExactly(const Converter& c, char32_t cp, std::string* bytes) {
  if (cp < kFirstC1) {
    bytes->assign(1, static_cast<char>(cp));
    return true;
  }
  const std::wstring wide = Utf16(cp);
  char buffer[8];
  BOOL used_default = FALSE;
  const int n = ::WideCharToMultiByte(c.code_page, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                      buffer, sizeof buffer, nullptr, &used_default);
  if (n <= 0 || used_default) return false;
  if (cp <= kLastC1 && n == 1 && static_cast<unsigned char>(buffer[0]) == cp) return false;
  bytes->assign(buffer, static_cast<size_t>(n));
  return true;
}

// One code-page character at `s`: its length, 0 when cut short, -1 when undefined.
int Decode(const Converter& c, const unsigned char* s, size_t n, std::string* utf8) {
  if (s[0] < kFirstC1 && !c.double_byte) {
    utf8->assign(1, static_cast<char>(s[0]));
    return 1;
  }
  const int length = c.double_byte && ::IsDBCSLeadByteEx(c.code_page, s[0]) ? 2 : 1;
  if (static_cast<size_t>(length) > n) return 0;
  wchar_t wide[4];
  const int units = ::MultiByteToWideChar(c.code_page, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(s),
                                          length, wide, 4);
  if (units <= 0) return -1;
  char32_t cp = wide[0];
  if (units == 2 && wide[0] >= 0xD800 && wide[0] <= 0xDBFF) {
    cp = 0x10000 + ((static_cast<char32_t>(wide[0]) - 0xD800) << 10) + (wide[1] - 0xDC00);
  }
  if (length == 1 && cp >= kFirstC1 && cp <= kLastC1 && cp == s[0]) return -1;
  if (cp == 0xFFFD || (length == 2 && cp == '?')) return -1;  // Windows' own stand-ins
  utf8->clear();
  AppendUtf8(cp, utf8);
  return length;
}

size_t Fail(int error) {
  errno = error;
  return kFailed;
}

}  // namespace

iconv_t iconv_open(const char* to_code, const char* from_code) {
  bool to_translit = false;
  bool from_translit = false;
  const unsigned to = CodePageNamed(to_code, &to_translit);
  const unsigned from = CodePageNamed(from_code, &from_translit);
  if (to == 0 || from == 0 || (to == CP_UTF8) == (from == CP_UTF8)) {
    errno = EINVAL;
    return reinterpret_cast<iconv_t>(static_cast<intptr_t>(-1));
  }
  auto* c = new Converter;
  c->to_code_page = from == CP_UTF8;
  c->code_page = c->to_code_page ? to : from;
  c->translit = to_translit;
  CPINFO info;
  c->double_byte = ::GetCPInfo(c->code_page, &info) && info.MaxCharSize > 1;
  return c;
}

size_t iconv(iconv_t cd, char** in, size_t* in_left, char** out, size_t* out_left) {
  const auto& c = *static_cast<Converter*>(cd);
  if (in == nullptr || *in == nullptr) return 0;  // no shift state to reset or flush
  size_t irreversible = 0;
  std::string piece;
  while (*in_left > 0) {
    const auto* s = reinterpret_cast<const unsigned char*>(*in);
    int consumed;
    if (c.to_code_page) {
      char32_t cp = 0;
      consumed = NextCodePoint(s, *in_left, &cp);
      if (consumed == 0) return Fail(EINVAL);
      if (consumed < 0) return Fail(EILSEQ);
      if (!EncodeExactly(c, cp, &piece)) {
        if (!c.translit) return Fail(EILSEQ);
        piece = varnholt::TransliterationOf(cp);
        ++irreversible;
      }
    } else {
      consumed = Decode(c, s, *in_left, &piece);
      if (consumed == 0) return Fail(EINVAL);
      if (consumed < 0) return Fail(EILSEQ);
    }
    if (piece.size() > *out_left) return Fail(E2BIG);
    std::memcpy(*out, piece.data(), piece.size());
    *out += piece.size();
    *out_left -= piece.size();
    *in += consumed;
    *in_left -= static_cast<size_t>(consumed);
  }
  return irreversible;
}

int iconv_close(iconv_t cd) {
  delete static_cast<Converter*>(cd);
  return 0;
}
