// Where the report goes when c:\ is denied: built for both the Qt and the Win32 suites.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/platform/environment.h"
#include "app/platform/virtual_store.h"
#include "base/os/home_folder.h"
#include "base/utf8_path.h"

namespace varnholt {
namespace {

namespace fs = std::filesystem;

TEST(VirtualStoreTest, DriveCPathsLandUnderTheUsersVirtualStoreAsWindowsRedirectsThem) {
  const fs::path local = fs::path("Users") / "clerk" / "AppData" / "Local";
  EXPECT_EQ(VirtualStorePath(kReportPath, local), local / "VirtualStore" / "Varnholt import.csv");
  EXPECT_EQ(VirtualStorePath("C:/Reports\\\\2026/list.csv", local), local / "VirtualStore" / "Reports" / "2026" / "list.csv");
  EXPECT_EQ(VirtualStorePath("d:\\Varnholt import.csv", local), fs::path());  // only drive C: was redirected
  EXPECT_EQ(VirtualStorePath("Varnholt import.csv", local), fs::path());
  EXPECT_EQ(VirtualStorePath(kReportPath, fs::path()), fs::path());
}

TEST(VirtualStoreTest, OnlyWindowsHasAFallbackForTheReport) {
  const CommandEnvironment environment =
      MakeCommandEnvironment(fs::path(VARNHOLT_TEST_OUTPUT_DIR) / "virtual_store_drive_c", RegionalSettings{});
#ifdef _WIN32
  const std::optional<fs::path> local = LocalAppDataFolder();
  ASSERT_TRUE(local.has_value());
  EXPECT_EQ(environment.report_fallback, Utf8FromPath(*local / "VirtualStore" / "Varnholt import.csv"));
#else
  // Drive C: is a folder of the user's own, never denied.
  EXPECT_EQ(LocalAppDataFolder(), std::nullopt);
  EXPECT_TRUE(environment.report_fallback.empty());
#endif
}

}  // namespace
}  // namespace varnholt
