#include "stores/source/source_databases.h"

namespace varnholt {

void SourceDatabases::BeginCommand() { ++command_depth_; }

void SourceDatabases::EndCommand() {
  if (command_depth_ > 0 && --command_depth_ == 0) open_.clear();
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

void SourceDatabases::Forget(const std::string& path) {
  std::erase_if(open_, [&](const auto& entry) { return entry.first.first == path; });
}

}  // namespace varnholt
