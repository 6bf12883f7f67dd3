#include "base/windows_1252.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace varnholt {
namespace {

// Length of the UTF-8 sequence that starts with lead (1 for a stray byte, so we always advance).
size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

std::string ConvertChunk(iconv_t cd, const std::string& utf8) {
  std::string out;
  char buffer[256];
  char* in = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  while (in_left > 0) {
    char* dest = buffer;
    size_t dest_left = sizeof buffer;
    size_t rc = iconv(cd, &in, &in_left, &dest, &dest_left);
    out.append(buffer, dest - buffer);
    if (rc != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: a character the code page cannot hold, or broken UTF-8.
    size_t skip = std::min(in_left, SequenceLength(static_cast<unsigned char>(*in)));
    in += skip;
    in_left -= skip;
    out += '?';
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

}  // namespace

std::string ToWindows1252(const std::string& utf8) {
  bool ascii = true;
  for (char ch : utf8) ascii = ascii && static_cast<unsigned char>(ch) < 0x80;
  if (ascii) return utf8;
  iconv_t cd = iconv_open("WINDOWS-1252//TRANSLIT", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("Windows-1252 conversion is not available");
  std::string out = ConvertChunk(cd, utf8);
  iconv_close(cd);
  return out;
}

}  // namespace varnholt
