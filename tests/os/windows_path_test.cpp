// The one conversion every Windows file call goes through, with the forms a network data folder
// takes: a UNC path picked in the folder browser, and paths already in the long form.
#ifdef _WIN32
#include "base/os/windows_path.h"

#include <gtest/gtest.h>

#include <string>

namespace varnholt::os {
namespace {

TEST(WindowsPathTest, UncAndLongFormsKeepTheServerAndShare) {
  // A UNC folder from the browser, joined with "/" as the engine joins a table's name to it.
  EXPECT_EQ(WindowsPath("\\\\SERVER\\Varnholt\\Data/CH01MAST.DB"), L"\\\\?\\UNC\\SERVER\\Varnholt\\Data\\CH01MAST.DB");
  EXPECT_EQ(WindowsPath("//SERVER/Varnholt/Data/CH01MAST.DB.saving"),
            L"\\\\?\\UNC\\SERVER\\Varnholt\\Data\\CH01MAST.DB.saving");
  EXPECT_EQ(WindowsPath("\\\\SERVER\\Varnholt\\Data\\..\\Other\\.\\A.DB"), L"\\\\?\\UNC\\SERVER\\Varnholt\\Other\\A.DB");
  // Already long: passed through as they are, whether on a drive or a server.
  EXPECT_EQ(WindowsPath("\\\\?\\UNC\\SERVER\\Varnholt\\Data\\A.DB"), L"\\\\?\\UNC\\SERVER\\Varnholt\\Data\\A.DB");
  EXPECT_EQ(WindowsPath("\\\\?\\V:\\Varnholt\\Data\\A.DB"), L"\\\\?\\V:\\Varnholt\\Data\\A.DB");
  // A mapped drive, and a name outside ASCII on the server.
  EXPECT_EQ(WindowsPath("V:/Varnholt/Data/A.DB"), L"\\\\?\\V:\\Varnholt\\Data\\A.DB");
  EXPECT_EQ(WindowsPath("\\\\SERVER\\\xC3\x98stergaard\\A.DB"), L"\\\\?\\UNC\\SERVER\\\u00D8stergaard\\A.DB");
  EXPECT_EQ(WindowsPath("\\\\SERVER\\bad\xFF\\A.DB"), L"");  // not UTF-8: refused, never guessed
}

}  // namespace
}  // namespace varnholt::os
#endif  // _WIN32
