// Target table filters: BDE-style criteria as the import passes build them.
#include "tests/fuzz/filter_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  varnholt::fuzz::FuzzFilter(data, size, varnholt::filter::Dialect::kParadox);
  return 0;
}
