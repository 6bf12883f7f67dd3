#include "app/form/form_layout.h"

#include <algorithm>
#include <stdexcept>

namespace varnholt::form {

const ControlSpec& Spec(ControlId id) {
  for (const ControlSpec& spec : kControls) {
    if (spec.id == id) return spec;
  }
  throw std::logic_error("control missing from the window's design");
}

std::vector<ControlId> TabCycle() {
  std::vector<const ControlSpec*> stops;
  for (const ControlSpec& spec : kControls) {
    if (spec.visible && spec.tab_order >= 0) stops.push_back(&spec);
  }
  std::sort(stops.begin(), stops.end(), [](const ControlSpec* a, const ControlSpec* b) { return a->tab_order < b->tab_order; });
  std::vector<ControlId> cycle;
  for (const ControlSpec* spec : stops) cycle.push_back(spec->id);
  return cycle;
}

}  // namespace varnholt::form
