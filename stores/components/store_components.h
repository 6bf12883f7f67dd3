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

class StoreComponents {
 public:
  explicit StoreComponents(const RegionalSettings& settings);
  StoreComponents(const StoreComponents&) = delete;
  StoreComponents& operator=(const StoreComponents&) = delete;

  // Drops every pending new row of the target tables.
  void DiscardPending();
  // Drops what the target tables were given since they were last saved (TargetSession::DropUnsaved).
  void DropUnsaved();
  // Writes what the target tables were given to disk (see TargetSession::SaveAll).
  void Save();

  const RegionalSettings& regional() const { return regional_; }
  TargetSession& session() { return session_; }
  SourceDatabases& source_databases() { return source_databases_; }

  // The components, under the names the passes and the bindings give them.
  SourceTable& tblParent_Child() { return tblParent_Child_; }
  SourceTable& tblLearner_Info() { return tblLearner_Info_; }
  TargetTable& Ch01mast() { return Ch01mast_; }
  TargetTable& Dl01mast() { return Dl01mast_; }
  SourceTable& tblParent_info() { return tblParent_info_; }
  SourceTable& Classes() { return Classes_; }
  SqlStatement& Update() { return Update_; }
  SqlStatement& Update2() { return Update2_; }
  TargetTable& Classmas() { return Classmas_; }
  TargetTable& Dl00() { return Dl00_; }
  SqlStatement& UpdateC1() { return UpdateC1_; }
  SqlStatement& UpdateC2() { return UpdateC2_; }

 private:
  RegionalSettings regional_;
  TargetSession session_;
  SourceDatabases source_databases_;  // before the source tables, which use it
  SourceTable tblParent_Child_;
  SourceTable tblLearner_Info_;
  TargetTable Ch01mast_;
  TargetTable Dl01mast_;
  SourceTable tblParent_info_;
  SourceTable Classes_;
  SqlStatement Update_;
  SqlStatement Update2_;
  TargetTable Classmas_;
  TargetTable Dl00_;
  SqlStatement UpdateC1_;
  SqlStatement UpdateC2_;
};

// Brackets one command over all components: the target tables are held for it and each source
// database file is copied once for it.
class ComponentsCommandScope {
 public:
  explicit ComponentsCommandScope(StoreComponents& c) : target_(c.session()), source_(c.source_databases()) {}

 private:
  CommandScope<TargetSession> target_;
  CommandScope<SourceDatabases> source_;
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_COMPONENTS_STORE_COMPONENTS_H_
