#include "base/windows_1252.h"

#include "base/code_page.h"

namespace varnholt {

namespace {

constexpr int kWindows1252 = 1252;

}  // namespace

std::string ToWindows1252(const std::string& utf8) {
  bool ascii = true;
  for (char ch : utf8) ascii = ascii && static_cast<unsigned char>(ch) < 0x80;
  if (ascii) return utf8;
  static const CodePage code_page(kWindows1252);
  return code_page.ConvertText(utf8);
}

}  // namespace varnholt
