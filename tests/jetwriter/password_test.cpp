// The database password in page 0: our encoding against Access-made files, and round trips.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tests/jetwriter/mdb_test_support.h"
#include "tools/jetwriter/jet_writer.h"

namespace varnholt::jet {
namespace {

const std::filesystem::path kJetSamples = std::filesystem::path(VARNHOLT_SHARED_DIR) / "testdata/jet";

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

#define REQUIRE_SAMPLES()                                                   \
  if (!std::filesystem::exists(kJetSamples)) GTEST_SKIP() << "no samples at " << kJetSamples

TEST(JetPasswordTest, AccessMadeFilesDecodeToTheirPassword) {
  REQUIRE_SAMPLES();
  EXPECT_EQ(DecodePasswordOfFile((kJetSamples / "access2000-password.mdb").string()), "password");
  EXPECT_EQ(DecodePasswordOfFile((kJetSamples / "access2003-password.mdb").string()), "password");
  EXPECT_EQ(DecodePasswordOfFile((kJetSamples / "access2000-no-password.mdb").string()), "");
  EXPECT_EQ(DecodePasswordOfFile((kJetSamples / "adox-jet4-empty.mdb").string()), "");
  // Jet 3 keeps its password differently; this decoder is for Jet 4 only.
  EXPECT_THROW(DecodePasswordOfFile((kJetSamples / "access97-no-password.mdb").string()),
               std::invalid_argument);
}

// Written with Access's creation date and password, our masked header bytes equal Access's.
TEST(JetPasswordTest, WrittenHeaderMatchesAccessByteForByte) {
  REQUIRE_SAMPLES();
  mdbtest::TempDir dir;
  const std::string ours = dir.File("ours.mdb");
  WriteOptions options;
  options.password = "password";
  options.created = DateTime{44568.67692172454};  // the sample's creation date
  WriteDatabase(ours, {}, options);
  const std::vector<uint8_t> a = ReadBytes((kJetSamples / "access2000-password.mdb").string());
  const std::vector<uint8_t> b = ReadBytes(ours);
  ASSERT_GE(b.size(), 0xA0u);
  // The fixed block, code page, key and password; then sort order and creation date.
  EXPECT_EQ(std::vector<uint8_t>(a.begin(), a.begin() + 0x6A),
            std::vector<uint8_t>(b.begin(), b.begin() + 0x6A));
  EXPECT_EQ(std::vector<uint8_t>(a.begin() + 0x6E, a.begin() + 0xA0),
            std::vector<uint8_t>(b.begin() + 0x6E, b.begin() + 0xA0));
}

TEST(JetPasswordTest, PasswordsRoundTripAndNoPasswordIsEmpty) {
  mdbtest::TempDir dir;
  for (const std::string pw : {"password", "Talvern", "", "P\xC3\xA4sswort \xE5\xAF\x86",
                               "12345678901234567890"}) {
    const std::string path = dir.File("pw.mdb");
    WriteOptions options;
    options.password = pw;
    WriteDatabase(path, {{"T", {{"a", ColumnType::kLong}}, {{int64_t{1}}}}}, options);
    EXPECT_EQ(DecodePasswordOfFile(path), pw);
    // mdbtools ignores the password, as it does for Access's files.
    EXPECT_EQ(mdbtest::Count(path, "T"), 1) << pw;
  }
  EXPECT_THROW(WriteDatabase(dir.File("long.mdb"), {}, {"123456789012345678901", {}}),
               std::invalid_argument);
  const std::vector<uint8_t> junk(4096, 0x41);
  EXPECT_THROW(DecodePassword(junk), std::invalid_argument);
  EXPECT_THROW(DecodePassword(std::vector<uint8_t>(10, 0)), std::invalid_argument);
}

}  // namespace
}  // namespace varnholt::jet
