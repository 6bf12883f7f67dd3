// Source table filters: ADO-style criteria as the learner and report passes build them.
#include "tests/fuzz/filter_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  varnholt::fuzz::FuzzFilter(data, size, varnholt::filter::Dialect::kJet);
  return 0;
}
