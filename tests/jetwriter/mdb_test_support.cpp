#include "tests/jetwriter/mdb_test_support.h"

#include <glib.h>  // before mdbtools.h
#include <mdbtools.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace varnholt::mdbtest {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "varnholt-jet-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string Shell(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

CommandResult RunCommand(const std::string& command_line) {
  CommandResult result;
  const std::string full = command_line + " 2>/dev/null";
  FILE* pipe = popen(full.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false;
  bool any = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
      any = true;
    } else if (c == ',') {
      row.push_back(field);
      field.clear();
      any = true;
    } else if (c == '\n') {
      row.push_back(field);
      rows.push_back(row);
      row.clear();
      field.clear();
      any = false;
    } else {
      field += c;
      any = true;
    }
  }
  if (any) {
    row.push_back(field);
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::vector<std::string>> Export(const std::string& path, const std::string& table) {
  return ParseCsv(
      RunCommand("mdb-export -T '%Y-%m-%d %H:%M:%S' " + Shell(path) + " " + Shell(table)).out);
}

long Count(const std::string& path, const std::string& table) {
  const CommandResult r = RunCommand("mdb-count " + Shell(path) + " " + Shell(table));
  if (r.status != 0 || r.out.empty()) return -1;
  return std::strtol(r.out.c_str(), nullptr, 10);
}

std::vector<std::string> Tables(const std::string& path) {
  const CommandResult r = RunCommand("mdb-tables -1 " + Shell(path));
  std::vector<std::string> names;
  size_t start = 0;
  while (start < r.out.size()) {
    size_t end = r.out.find('\n', start);
    if (end == std::string::npos) end = r.out.size();
    if (end > start) names.push_back(r.out.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

std::vector<Row> ReadTable(const std::string& path, const std::string& table) {
  constexpr size_t kBindSize = 1 << 20;
  MdbHandle* mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
  if (mdb == nullptr) throw std::runtime_error("mdb_open failed: " + path);
  mdb_set_date_fmt(mdb, "%Y-%m-%d %H:%M:%S");
  mdb_set_bind_size(mdb, kBindSize);
  MdbTableDef* t = mdb_read_table_by_name(mdb, const_cast<char*>(table.c_str()), MDB_TABLE);
  if (t == nullptr) {
    mdb_close(mdb);
    throw std::runtime_error("no table " + table);
  }
  mdb_read_columns(t);
  std::vector<std::vector<char>> buffers(t->num_cols, std::vector<char>(kBindSize));
  std::vector<int> lengths(t->num_cols);
  for (unsigned i = 0; i < t->num_cols; ++i) {
    mdb_bind_column(t, static_cast<int>(i + 1), buffers[i].data(), &lengths[i]);
  }
  mdb_rewind_table(t);
  std::vector<Row> rows;
  std::vector<MdbField> fields(t->num_cols);
  while (mdb_fetch_row(t)) {
    int start = 0;
    size_t len = 0;
    mdb_find_row(mdb, static_cast<int>(t->cur_row) - 1, &start, &len);
    mdb_crack_row(t, start & 0x1fff, len, fields.data());
    Row row;
    for (unsigned i = 0; i < t->num_cols; ++i) {
      auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
      if (col->col_type == MDB_BOOL || !fields[i].is_null) {
        row.emplace_back(std::string(buffers[i].data(), static_cast<size_t>(lengths[i])));
      } else {
        row.emplace_back(std::nullopt);
      }
    }
    rows.push_back(std::move(row));
  }
  mdb_free_tabledef(t);
  mdb_close(mdb);
  return rows;
}

}  // namespace varnholt::mdbtest
