// Page 0 of a source file: the Jet version checks and the password decoder.
#include "tests/fuzz/jet_header_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  varnholt::fuzz::FuzzJetHeader(data, size);
  return 0;
}
