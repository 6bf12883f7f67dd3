// A Paradox table family (.DB, .PX, .MB, a killed save's copy) through the checker and the
// engine's reader and writer.
#include "tests/fuzz/paradox_table_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  varnholt::fuzz::FuzzParadoxTable(data, size);
  return 0;
}
