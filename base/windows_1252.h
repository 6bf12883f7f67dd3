// UTF-8 to Windows-1252, the code page of the report file. A character the code page lacks is
// transliterated where iconv can, else written as "?".
#ifndef VARNHOLT_BASE_WINDOWS_1252_H_
#define VARNHOLT_BASE_WINDOWS_1252_H_

#include <string>

namespace varnholt {

std::string ToWindows1252(const std::string& utf8);

}  // namespace varnholt

#endif  // VARNHOLT_BASE_WINDOWS_1252_H_
