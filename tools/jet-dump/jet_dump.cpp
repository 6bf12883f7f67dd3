#include "tools/jet-dump/jet_dump.h"

#include "base/regional_settings.h"
#include "base/store_error.h"
#include "stores/jet/jet_database.h"

namespace varnholt {

namespace {

constexpr char kUsage[] = "usage: jet-dump FILE [TABLE...] [--password TEXT]\n";
constexpr char kPasswordOption[] = "--password";

void WriteTable(const TableSnapshot& table, const RegionalSettings& settings, std::ostream& out) {
  for (int c = 0; c < table.ColumnCount(); ++c) out << (c ? "," : "") << CsvField(table.Column(c).name);
  out << '\n';
  for (int r = 0; r < table.RowCount(); ++r) {
    for (int c = 0; c < table.ColumnCount(); ++c) {
      if (c) out << ',';
      const SourceValue value = table.Value(r, c);
      if (!value.is_null) out << CsvField(FieldTextOf(table.Column(c).type, value, settings));
    }
    out << '\n';
  }
}

}  // namespace

std::string CsvField(const std::string& text) {
  if (!text.empty() && text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

int RunJetDump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string path;
  std::string password;
  std::vector<std::string> tables;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == kPasswordOption) {
      if (i + 1 == args.size()) {
        err << kUsage;
        return 2;
      }
      password = args[++i];
    } else if (path.empty()) {
      path = args[i];
    } else {
      tables.push_back(args[i]);
    }
  }
  if (path.empty()) {
    err << kUsage;
    return 2;
  }
  try {
    const auto database = JetDatabase::Open(path, password);
    if (tables.empty()) tables = database->TableNames();
    const RegionalSettings settings;
    for (size_t i = 0; i < tables.size(); ++i) {
      if (i) out << '\n';
      WriteTable(database->ReadTable(tables[i]), settings, out);
    }
  } catch (const StoreError& e) {
    out.flush();
    err << "jet-dump: " << e.what() << '\n';
    return 1;
  }
  return 0;
}

}  // namespace varnholt
