#include "stores/source/source_databases.h"

namespace varnholt {

void SourceDatabases::BeginCommand() { ++command_depth_; }

void SourceDatabases::EndCommand() {
  if (command_depth_ > 0 && --command_depth_ == 0) {
    tables_.clear();
    open_.clear();
  }
}

std::shared_ptr<const JetDatabase> SourceDatabases::Open(const std::string& path, const std::string& password) {
  if (command_depth_ == 0) return JetDatabase::Open(path, password);
  const auto key = std::make_pair(path, password);
  auto found = open_.find(key);
  if (found != open_.end()) return found->second;
  std::shared_ptr<const JetDatabase> database = JetDatabase::Open(path, password);
  open_.emplace(key, database);
  return database;
}

std::shared_ptr<const TableSnapshot> SourceDatabases::ReadTable(const std::string& path, const std::string& password,
                                                                const std::string& table) {
  auto key = std::make_tuple(path, password, table);
  if (command_depth_ > 0) {
    const auto found = tables_.find(key);
    if (found != tables_.end()) return found->second;
  }
  auto snapshot = std::make_shared<const TableSnapshot>(Open(path, password)->ReadTable(table));
  if (command_depth_ > 0) tables_.emplace(std::move(key), snapshot);
  return snapshot;
}

void SourceDatabases::Forget(const std::string& path) {
  std::erase_if(tables_, [&](const auto& entry) { return std::get<0>(entry.first) == path; });
  std::erase_if(open_, [&](const auto& entry) { return entry.first.first == path; });
}

}  // namespace varnholt
