// show-table: prints how many rows each named Paradox table holds and, with --rows N, its first N
// rows in key order as aligned columns (all fields, or those named by --fields), read through our
// engine without locking the table; --table-password TEXT opens password-protected ones. Exits 1
// when a table cannot be read or lacks a named field, 2 for a bad command line.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/regional_settings.h"
#include "base/store_error.h"
#include "base/utf8.h"
#include "stores/paradox/field_conversion.h"
#include "stores/paradox/table.h"

namespace {

constexpr char kUsage[] =
    "usage: show-table [--rows N] [--fields NAME,NAME...] [--table-password TEXT] TABLE.DB...\n";
constexpr char kColumnGap[] = "  ";

struct Options {
  long rows = 0;
  std::vector<std::string> fields;
  std::string password;
  std::vector<std::string> tables;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--rows" && has_value) {
      const char* text = argv[++i];
      char* end = nullptr;
      errno = 0;
      options.rows = std::strtol(text, &end, 10);
      if (*text == '\0' || *end != '\0' || errno != 0 || options.rows < 0) return false;
    } else if (arg == "--fields" && has_value) {
      std::istringstream names(argv[++i]);
      for (std::string name; std::getline(names, name, ',');) {
        if (!name.empty()) options.fields.push_back(name);
      }
    } else if (arg == "--table-password" && has_value) {
      options.password = argv[++i];
    } else if (arg.starts_with("--")) {
      return false;
    } else {
      options.tables.push_back(arg);
    }
  }
  return !options.tables.empty();
}

// Characters, not bytes, so that accented names keep the columns straight.
size_t Width(const std::string& utf8) {
  return static_cast<size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return !varnholt::IsUtf8Continuation(c); }));
}

void PrintLine(const std::vector<std::string>& cells, const std::vector<size_t>& widths) {
  std::string line;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) line += kColumnGap;
    line += cells[i];
    line.append(widths[i] - Width(cells[i]), ' ');
  }
  line.erase(line.find_last_not_of(' ') + 1);
  std::cout << line << "\n";
}

// Throws StoreError when the table cannot be read or lacks a named field.
void Show(const std::string& path, const Options& options) {
  const std::unique_ptr<varnholt::paradox::Table> table = varnholt::paradox::Table::Open(path, false, options.password);
  const std::vector<varnholt::paradox::RowId> rows = table->Rows();
  std::cout << std::filesystem::path(path).filename().string() << ": " << rows.size() << " rows\n";
  if (options.rows == 0) return;

  std::vector<int> columns;
  std::vector<std::string> header;
  if (options.fields.empty()) {
    for (size_t i = 0; i < table->fields().size(); ++i) {
      columns.push_back(static_cast<int>(i));
      header.push_back(table->fields()[i].name);
    }
  } else {
    for (const std::string& name : options.fields) {
      const int column = table->FindField(name);
      if (column < 0) throw varnholt::StoreError(path + ": no field " + name);
      columns.push_back(column);
      header.push_back(table->fields()[static_cast<size_t>(column)].name);
    }
  }
  std::vector<std::vector<std::string>> lines{header};
  const varnholt::RegionalSettings settings;
  const size_t shown = std::min(rows.size(), static_cast<size_t>(options.rows));
  for (size_t r = 0; r < shown; ++r) {
    std::vector<std::string> cells;
    for (int column : columns) cells.push_back(varnholt::TextFromValue(table->GetField(rows[r], column), settings));
    lines.push_back(std::move(cells));
  }
  std::vector<size_t> widths(columns.size(), 0);
  for (const auto& cells : lines) {
    for (size_t i = 0; i < cells.size(); ++i) widths[i] = std::max(widths[i], Width(cells[i]));
  }
  for (const auto& cells : lines) PrintLine(cells, widths);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::cerr << kUsage;
    return 2;
  }
  for (const std::string& table : options.tables) {
    try {
      Show(table, options);
    } catch (const std::exception& e) {
      std::cerr << "show-table: " << e.what() << "\n";
      return 1;
    }
  }
  return EXIT_SUCCESS;
}
