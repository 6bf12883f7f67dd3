// Windows only (MinGW has no iconv): the part of the iconv interface the code-page code uses,
// between UTF-8 and one code page ("CPnnn" or "WINDOWS-nnnn", with or without //TRANSLIT), with
// glibc's behaviour: a byte the code page leaves undefined is EILSEQ, a cut sequence EINVAL, no
// room E2BIG; with //TRANSLIT a character the code page lacks is written as
// base/transliteration.h says. The code pages themselves come from MultiByteToWideChar and
// WideCharToMultiByte. The base library puts this folder on the include path on Windows only.
#ifndef VARNHOLT_BASE_OS_WIN32_ICONV_ICONV_H_
#define VARNHOLT_BASE_OS_WIN32_ICONV_ICONV_H_

#include <cstddef>

using iconv_t = void*;

// (iconv_t)-1 with errno EINVAL when either side is neither UTF-8 nor a code page Windows has.
iconv_t iconv_open(const char* to_code, const char* from_code);
size_t iconv(iconv_t cd, char** in, size_t* in_left, char** out, size_t* out_left);
int iconv_close(iconv_t cd);

#endif  // VARNHOLT_BASE_OS_WIN32_ICONV_ICONV_H_
