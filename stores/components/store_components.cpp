#include "stores/components/store_components.h"

namespace varnholt {

StoreComponents::StoreComponents(const RegionalSettings& settings)
    : regional(settings),
      tblParent_Child("tblParent_Child", regional, &source_databases),
      tblLearner_Info("tblLearner_Info", regional, &source_databases),
      Ch01mast("Ch01mast", session, regional),
      Dl01mast("Dl01mast", session, regional),
      tblParent_info("tblParent_info", regional, &source_databases),
      Classes("Classes", regional, &source_databases),
      Update("Update", session, regional),
      Update2("Update2", session, regional),
      Classmas("Classmas", session, regional),
      Dl00("Dl00", session, regional),
      UpdateC1("UpdateC1", session, regional),
      UpdateC2("UpdateC2", session, regional) {}

void StoreComponents::DiscardPending() {
  for (TargetTable* table : {&Ch01mast, &Dl01mast, &Classmas, &Dl00}) table->DiscardPending();
}

void StoreComponents::Save() { session.SaveAll(); }

void StoreComponents::DropUnsaved() { session.DropUnsaved(); }

}  // namespace varnholt
