#include "app/form/form_layout.h"

#include <algorithm>
#include <stdexcept>

namespace varnholt::form {

const ControlDesign& DesignOf(ControlId id) {
  for (const ControlDesign& design : kControls) {
    if (design.id == id) return design;
  }
  throw std::logic_error("control missing from the window's design");
}

std::vector<ControlId> TabCycle() {
  std::vector<const ControlDesign*> stops;
  for (const ControlDesign& design : kControls) {
    if (design.visible && design.tab_order >= 0) stops.push_back(&design);
  }
  std::sort(stops.begin(), stops.end(), [](const ControlDesign* a, const ControlDesign* b) { return a->tab_order < b->tab_order; });
  std::vector<ControlId> cycle;
  for (const ControlDesign* design : stops) cycle.push_back(design->id);
  return cycle;
}

}  // namespace varnholt::form
