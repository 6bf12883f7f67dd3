#include "stores/source/connection_string.h"

#include <gtest/gtest.h>

#include "base/store_error.h"

namespace varnholt {
namespace {

TEST(ConnectionStringTest, ReadsTheThreeSettings) {
  ConnectionSettings s = ParseConnectionString(
      "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/school one.mdb;Persist Security Info=True;"
      "Jet OLEDB:Database Password=Talvern");
  EXPECT_EQ(s.provider, "Microsoft.Jet.OLEDB.4.0");
  EXPECT_EQ(s.data_source, "/data/school one.mdb");
  EXPECT_EQ(s.password, "Talvern");

  s = ParseConnectionString(" provider = microsoft.jet.oledb.4.0 ; DATA SOURCE=\"a;b.mdb\"; "
                            "jet oledb:database password='it''s'");
  EXPECT_EQ(s.data_source, "a;b.mdb");
  EXPECT_EQ(s.password, "it's");

  // An empty location leaves the data source empty; the open then reports the missing file.
  s = ParseConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=;Persist Security Info=True;"
                            "Jet OLEDB:Database Password=Talvern");
  EXPECT_EQ(s.data_source, "");
}

TEST(ConnectionStringTest, RefusesOtherProvidersAndUnreadableTexts) {
  try {
    ParseConnectionString("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=x.accdb");
    ADD_FAILURE();
  } catch (const StoreError& e) {
    EXPECT_STREQ(e.what(),
                 "Provider 'Microsoft.ACE.OLEDB.12.0' cannot open the source database; only "
                 "Microsoft.Jet.OLEDB.4.0 can");
  }
  EXPECT_THROW(ParseConnectionString("Data Source=x.mdb"), StoreError);
  EXPECT_THROW(ParseConnectionString(""), StoreError);
  EXPECT_THROW(ParseConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;nonsense"), StoreError);
  EXPECT_THROW(ParseConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"x.mdb"), StoreError);
}

}  // namespace
}  // namespace varnholt
