// The three binding sequences. Each gives the components it names their location and table name,
// opens them and moves them to their first row, in a fixed order, reading the location texts afresh
// for every single assignment. A binding checks nothing itself: the first open that cannot reach
// its store throws that store's error, and components opened before it stay open.
#ifndef VARNHOLT_STORES_COMPONENTS_BINDING_H_
#define VARNHOLT_STORES_COMPONENTS_BINDING_H_

#include <string>

#include "stores/components/location_source.h"
#include "stores/components/store_components.h"

namespace varnholt {

// The source tables, as the bindings name them.
inline constexpr char kLearnerTable[] = "Learner_info";
inline constexpr char kParentChildTable[] = "Parent_child";
inline constexpr char kClassesTable[] = "Classes";
inline constexpr char kParentTable[] = "Parent_info";

// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + source location + the fixed rest, password
// included.
std::string SourceConnectionString(const LocationSource& locations);

// The four source tables, Ch01mast, Dl01mast, Update and Update2.
void BindImportStores(StoreComponents& c, const LocationSource& locations);
// Classes, Classmas and Dl00.
void BindClassTables(StoreComponents& c, const LocationSource& locations);
// Classes, UpdateC1 and UpdateC2.
void BindClassStatements(StoreComponents& c, const LocationSource& locations);

// Gives each of the four target tables that the target folder holds its location and name and
// opens it, as the bindings would; a missing one is left for its binding to report.
void OpenTargetTablesPresent(StoreComponents& c, const LocationSource& locations);

// Asks for the password of each password-protected table among the four target tables (see
// TargetSession::UnlockTables), so that a command ends on Cancel or a wrong password before it
// has written anything. Throws EngineError as the session's open does.
void UnlockTargetTables(StoreComponents& c, const LocationSource& locations);

}  // namespace varnholt

#endif  // VARNHOLT_STORES_COMPONENTS_BINDING_H_
