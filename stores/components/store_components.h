// StoreComponents: every table and statement component the window owns, created once and never
// closed, so what one command leaves (open tables, positions, filters) is what the next meets.
#ifndef VARNHOLT_STORES_COMPONENTS_STORE_COMPONENTS_H_
#define VARNHOLT_STORES_COMPONENTS_STORE_COMPONENTS_H_

#include "base/regional_settings.h"
#include "stores/source/source_databases.h"
#include "stores/source/source_table.h"
#include "stores/target/sql_statement.h"
#include "stores/target/target_session.h"
#include "stores/target/target_table.h"

namespace varnholt {

struct StoreComponents {
  explicit StoreComponents(const RegionalSettings& settings);

  // Drops every pending new row of the target tables.
  void DiscardPending();
  // Drops what the target tables were given since they were last saved (TargetSession::DropUnsaved).
  void DropUnsaved();
  // Writes what the target tables were given to disk (see TargetSession::SaveAll).
  void Save();

  RegionalSettings regional;
  TargetSession session;
  SourceDatabases source_databases;  // before the source tables, which use it
  SourceTable tblParent_Child;
  SourceTable tblLearner_Info;
  TargetTable Ch01mast;
  TargetTable Dl01mast;
  SourceTable tblParent_info;
  SourceTable Classes;
  SqlStatement Update;
  SqlStatement Update2;
  TargetTable Classmas;
  TargetTable Dl00;
  SqlStatement UpdateC1;
  SqlStatement UpdateC2;
};

// Brackets one command over all components: the target tables are held for it and each source
// database file is copied once for it.
class ComponentsCommandScope {
 public:
  explicit ComponentsCommandScope(StoreComponents& c) : target_(c.session), source_(c.source_databases) {}

 private:
  CommandScope<TargetSession> target_;
  CommandScope<SourceDatabases> source_;
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_COMPONENTS_STORE_COMPONENTS_H_
