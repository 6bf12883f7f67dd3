#include "stores/components/store_components.h"

namespace varnholt {

StoreComponents::StoreComponents(const RegionalSettings& settings)
    : regional_(settings),
      tblParent_Child_("tblParent_Child", regional_, &source_databases_),
      tblLearner_Info_("tblLearner_Info", regional_, &source_databases_),
      Ch01mast_("Ch01mast", session_, regional_),
      Dl01mast_("Dl01mast", session_, regional_),
      tblParent_info_("tblParent_info", regional_, &source_databases_),
      Classes_("Classes", regional_, &source_databases_),
      Update_("Update", session_, regional_),
      Update2_("Update2", session_, regional_),
      Classmas_("Classmas", session_, regional_),
      Dl00_("Dl00", session_, regional_),
      UpdateC1_("UpdateC1", session_, regional_),
      UpdateC2_("UpdateC2", session_, regional_) {}

void StoreComponents::DiscardPending() {
  for (TargetTable* table : {&Ch01mast_, &Dl01mast_, &Classmas_, &Dl00_}) table->DiscardPending();
}

void StoreComponents::Save() { session_.SaveAll(); }

void StoreComponents::DropUnsaved() { session_.DropUnsaved(); }

}  // namespace varnholt
