#include <gtest/gtest.h>

#include "base/store_error.h"

namespace varnholt {
namespace {

TEST(ComponentErrorTest, NamesTheComponentFirst) {
  EXPECT_STREQ(ComponentError("Classes", kOpenDatasetMessage).what(),
               "Classes: Cannot perform this operation on an open dataset");
}

}  // namespace
}  // namespace varnholt
