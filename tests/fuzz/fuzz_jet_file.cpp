// A whole source file: page 0's checks, then the catalog, table definitions and data pages through
// the Jet reader.
#include "tests/fuzz/jet_file_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  varnholt::fuzz::FuzzJetFile(data, size);
  return 0;
}
