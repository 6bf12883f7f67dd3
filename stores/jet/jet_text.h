// Text as Jet stores it, to UTF-8: Jet 4 as UCS-2LE or compressed Unicode, Jet 3 in the Western
// code page (1252).
#ifndef VARNHOLT_STORES_JET_JET_TEXT_H_
#define VARNHOLT_STORES_JET_JET_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varnholt {

// Appends Jet 4 text (UCS-2LE, or compressed) to `out` as UTF-8; surrogate pairs are joined, a lone
// one is U+FFFD. `units` is scratch space.
void AppendJet4Text(const uint8_t* data, size_t size, std::vector<uint16_t>* units, std::string* out);

// Appends Jet 3 text (code page 1252) to `out` as UTF-8; the five bytes the code page leaves
// undefined become '?'.
void AppendJet3Text(const uint8_t* data, size_t size, std::string* out);

}  // namespace varnholt

#endif  // VARNHOLT_STORES_JET_JET_TEXT_H_
