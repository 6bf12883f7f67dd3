// A sample school on disk (the Jet source and the four Varnholt tables) and a plain form object
// that drives the commands the way the window does, for end-to-end tests of the passes.
#ifndef VARNHOLT_TESTS_PASSES_SCHOOL_FIXTURE_H_
#define VARNHOLT_TESTS_PASSES_SCHOOL_FIXTURE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "passes/commands.h"
#include "stores/components/store_components.h"
#include "tools/jetwriter/jet_writer.h"
#include "tools/sample_school/school.h"
#include "tools/sample_school/source_database.h"

namespace varnholt::testing {

// A window without widgets: location texts, presses of hidden buttons, and a log of messages.
class TestForm : public FormHost {
 public:
  std::string edit1;
  std::string edit2;
  std::vector<std::string> messages;
  Commands* commands = nullptr;

  std::string SourceLocation() const override { return edit1; }
  std::string TargetLocation() const override { return edit2; }
  void Press(HiddenButton button) override;
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
};

// One target row as field name -> text (dates as DD/MM/YYYY, null as empty).
using TargetRow = std::map<std::string, std::string>;

class SchoolTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the school as the source database and creates the four empty target tables.
  void MakeSchool(const sample::School& school);
  void WriteSource(const sample::School& school);
  // Writes the source from tables (with the source's password), for schemas a School cannot give.
  void WriteTables(const std::vector<jet::TableData>& tables, const std::string& password = sample::kSourcePassword);
  // The table named `name` of tables.
  static jet::TableData& TableOf(std::vector<jet::TableData>& tables, const std::string& name);
  // Index of column `name` in table.
  static size_t ColumnOf(const jet::TableData& table, const std::string& name);
  // Puts the source and the target in `folder` (UTF-8, relative to the scratch folder) instead.
  // REQUIRES: before MakeSchool.
  void MoveSchoolInto(const std::string& folder);

  Commands& commands();
  StoreComponents& components() { return commands().components(); }

  // Runs a command as an operator's click does: an error is caught at the top, pending rows are
  // dropped, and the text is kept. Returns the error text, empty when the command succeeded.
  std::string Click(void (Commands::*handler)());

  // The rows of a target table by their code (first field), read back through the engine.
  std::map<std::string, TargetRow> TargetRows(const std::string& file_name) const;
  // The bytes of every file of the target directory and of the folders in it ("FOLDER/NAME", and
  // "FOLDER/" for the folder itself), to prove a command changed nothing.
  std::map<std::string, std::string> TargetBytes() const;

  std::filesystem::path dir_;
  std::filesystem::path source_;
  std::filesystem::path target_;
  std::filesystem::path report_;
  std::filesystem::path report_fallback_;  // empty unless a test sets it before commands()
  std::filesystem::path skip_marker_;
  TestForm form_;
  RegionalSettings regional_;
  std::unique_ptr<Commands> commands_;
};

// A learner with every field set from its number: LearnerID and AccessionNo "1000<n>" as numbers,
// status "C", class 101, born 2015-03-0n, admitted 2021-01-15.
sample::Learner MakeLearner(int n);
sample::Parent MakeParent(int n);
sample::SchoolClass MakeClass(int id, const std::string& name, const std::string& ed_code);
sample::ParentLink Link(int child, int learner_id, int parent);

}  // namespace varnholt::testing

#endif  // VARNHOLT_TESTS_PASSES_SCHOOL_FIXTURE_H_
