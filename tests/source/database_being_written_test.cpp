// A source database that the school-administration program writes while we read it: every read is
// either a whole, consistent copy or the clear refusal, never a mix of pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "base/store_error.h"
#include "stores/jet/file_image.h"
#include "stores/jet/jet_database.h"
#include "stores/source/source_table.h"
#include "tests/source/source_test_files.h"

namespace varnholt {
namespace {

constexpr int kLearners = 2000;

std::string WriteLearners(const ScratchDir& dir) {
  std::string path = dir.File("school.mdb");
  std::vector<std::vector<jet::Cell>> rows;
  for (int i = 0; i < kLearners; ++i) {
    rows.push_back({jet::Cell{int64_t{1000 + i}}, jet::Cell{"Surname " + std::to_string(i)}});
  }
  jet::WriteOptions options;
  options.password = "Talvern";
  jet::WriteDatabase(path,
                     {{"Learner_info",
                       {{"LearnerID", jet::ColumnType::kLong}, {"Surname", jet::ColumnType::kText, 50}},
                       std::move(rows)}},
                     options);
  return path;
}

// Appends to the file in small steps until stopped, as a program writing it does; it stops growing
// after a few megabytes, so a slow build cannot fill the disk.
class Appender {
 public:
  explicit Appender(const std::string& path)
      : thread_([this, path] {
          std::ofstream out(path, std::ios::binary | std::ios::app);
          constexpr int kMostAppends = 40000;
          for (int n = 0; !stop_; ++n) {
            if (n < kMostAppends) {
              out << std::string(64, '\0');
              out.flush();
            }
            started_ = true;
            std::this_thread::sleep_for(std::chrono::microseconds(50));
          }
        }) {
    while (!started_) std::this_thread::yield();
  }
  ~Appender() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<bool> started_{false};
  std::thread thread_;
};

const char kBeingWritten[] = "the school-administration program is writing the database; try again when it is idle";

TEST(DatabaseBeingWrittenTest, ACopyWhileTheFileGrowsIsOneMomentOfItOrRefused) {
  ScratchDir dir;
  const std::string path = WriteLearners(dir);
  const std::string original = ReadBytes(path);
  {
    Appender school_program(path);
    for (int attempt = 0; attempt < 20; ++attempt) {
      try {
        const FileImage image = CopyFileImage(path);
        // The file as it stood at one moment: the database, then whole runs of what was appended.
        ASSERT_GE(image.bytes->size(), original.size());
        EXPECT_EQ(image.bytes->size() % 64, original.size() % 64);
        EXPECT_EQ(std::string(image.bytes->begin(), image.bytes->begin() + original.size()), original);
        EXPECT_EQ(std::count(image.bytes->begin() + original.size(), image.bytes->end(), 0),
                  static_cast<long>(image.bytes->size() - original.size()));
      } catch (const FileBeingWritten& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot read '" + path + "': " + kBeingWritten);
      }
    }
  }
  EXPECT_EQ(CopyFileImage(path).bytes->size(), VersionOf(path)->size);
}

TEST(DatabaseBeingWrittenTest, AFileWhoseBytesNeverMatchItsSizeIsRefused) {
  // A kernel file reports size 0 and reads as text: the copy never agrees with the file.
  const std::string path = "/proc/self/status";
  if (!VersionOf(path)) GTEST_SKIP() << "no /proc";
  try {
    CopyFileImage(path);
    ADD_FAILURE() << "a copy that disagrees with its file was taken";
  } catch (const FileBeingWritten& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot read '" + path + "': " + kBeingWritten);
  }
}

TEST(DatabaseBeingWrittenTest, EveryReadWhileWrittenIsWholeOrTheRefusal) {
  ScratchDir dir;
  const std::string path = WriteLearners(dir);
  RegionalSettings settings;
  int whole = 0, refused = 0;
  {
    Appender school_program(path);
    for (int attempt = 0; attempt < 3; ++attempt) {
      SourceTable learners("tblLearner_Info", settings);
      learners.SetConnectionString(Connection(path));
      learners.SetTableName("Learner_info");
      try {
        learners.Open();
      } catch (const StoreError& error) {
        EXPECT_NE(std::string(error.what()).find(kBeingWritten), std::string::npos) << error.what();
        ++refused;
        continue;
      }
      ASSERT_EQ(learners.RecordCount(), kLearners);
      learners.SetFilter("LearnerID = 2999");
      learners.SetFiltered(true);
      EXPECT_EQ(learners.FieldText("Surname"), "Surname 1999");
      ++whole;
    }
  }
  EXPECT_EQ(whole + refused, 3);
  // Once the writing stops, the same file reads whole.
  auto database = JetDatabase::Open(path, "Talvern");
  EXPECT_EQ(database->ReadTable("Learner_info").RowCount(), kLearners);
}

}  // namespace
}  // namespace varnholt
