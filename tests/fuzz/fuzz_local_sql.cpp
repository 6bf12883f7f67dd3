// Local SQL statements as the update passes compose them and a statement component runs them.
#include "tests/fuzz/local_sql_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  varnholt::fuzz::FuzzLocalSql(data, size);
  return 0;
}
