#include "stores/components/binding.h"

#include <utility>

namespace varnholt {
namespace {

constexpr char kConnectionStart[] = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";
constexpr char kConnectionEnd[] = ";Persist Security Info=True;Jet OLEDB:Database Password=Talvern";

constexpr char kLearnerMaster[] = "CH01MAST.DB";
constexpr char kParentMaster[] = "DL01MAST.DB";
constexpr char kClassMaster[] = "CLASSMAS.DB";
constexpr char kClassCodes[] = "DL00CODE.DB";

// Shared by the two class bindings: Classes gets its location and name, opens, goes to row one.
void BindClasses(StoreComponents& c, const LocationSource& locations) {
  c.Classes().SetConnectionString(SourceConnectionString(locations));
  c.Classes().SetTableName(kClassesTable);
  c.Classes().Open();
  c.Classes().First();
}

}  // namespace

std::string SourceConnectionString(const LocationSource& locations) {
  return kConnectionStart + locations.SourceLocation() + kConnectionEnd;
}

void BindImportStores(StoreComponents& c, const LocationSource& locations) {
  c.tblLearner_Info().SetConnectionString(SourceConnectionString(locations));
  c.Classes().SetConnectionString(SourceConnectionString(locations));
  c.tblParent_Child().SetConnectionString(SourceConnectionString(locations));
  c.tblParent_info().SetConnectionString(SourceConnectionString(locations));

  c.tblLearner_Info().SetTableName(kLearnerTable);
  c.tblParent_Child().SetTableName(kParentChildTable);
  c.Classes().SetTableName(kClassesTable);
  c.tblParent_info().SetTableName(kParentTable);

  c.Classes().Open();
  c.tblParent_info().Open();
  c.tblLearner_Info().Open();
  c.tblParent_Child().Open();

  c.tblParent_Child().First();
  c.tblLearner_Info().First();
  c.tblParent_info().First();
  c.Classes().First();

  c.Ch01mast().SetDatabaseName(locations.TargetLocation());
  c.Dl01mast().SetDatabaseName(locations.TargetLocation());
  c.Ch01mast().SetTableName(kLearnerMaster);
  c.Dl01mast().SetTableName(kParentMaster);
  c.Ch01mast().Open();
  c.Dl01mast().Open();

  c.Update().SetDatabaseName(locations.TargetLocation());
  c.Update2().SetDatabaseName(locations.TargetLocation());
}

void BindClassTables(StoreComponents& c, const LocationSource& locations) {
  BindClasses(c, locations);
  c.Classmas().SetDatabaseName(locations.TargetLocation());
  c.Dl00().SetDatabaseName(locations.TargetLocation());
  c.Classmas().SetTableName(kClassMaster);
  c.Dl00().SetTableName(kClassCodes);
  c.Classmas().Open();
  c.Dl00().Open();
  c.Classmas().First();
  c.Dl00().First();
}

void BindClassStatements(StoreComponents& c, const LocationSource& locations) {
  BindClasses(c, locations);
  c.UpdateC1().SetDatabaseName(locations.TargetLocation());
  c.UpdateC2().SetDatabaseName(locations.TargetLocation());
}

void OpenTargetTablesPresent(StoreComponents& c, const LocationSource& locations) {
  const std::pair<TargetTable*, const char*> tables[] = {
      {&c.Classmas(), kClassMaster}, {&c.Dl00(), kClassCodes}, {&c.Ch01mast(), kLearnerMaster}, {&c.Dl01mast(), kParentMaster}};
  for (const auto& [table, name] : tables) {
    if (!c.session().HasTable(locations.TargetLocation(), name)) continue;
    table->SetDatabaseName(locations.TargetLocation());
    table->SetTableName(name);
    table->Open();
  }
}

void UnlockTargetTables(StoreComponents& c, const LocationSource& locations) {
  c.session().UnlockTables(locations.TargetLocation(), {kClassMaster, kClassCodes, kLearnerMaster, kParentMaster});
}

}  // namespace varnholt
