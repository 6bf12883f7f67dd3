// FormHost: what the commands need of the window. The window implements it with Edit1, Edit2, its
// hidden buttons and its message box; tests implement it with a plain object.
#ifndef VARNHOLT_PASSES_FORM_HOST_H_
#define VARNHOLT_PASSES_FORM_HOST_H_

#include <string>

#include "stores/components/location_source.h"

namespace varnholt {

enum class HiddenButton {
  kButton1,  // "Update2"
  kButton6,  // "Button6": the parent-link report
  kButton7,  // "Update 3": the class import
  kButton8,  // "Update 4": the class update
};

// The location texts (SourceLocation, TargetLocation) come from LocationSource.
class FormHost : public LocationSource {
 public:
  // Runs the hidden button's handler at once, to its end, without catching anything.
  virtual void Press(HiddenButton button) = 0;
  // A modal information box ("Finished").
  virtual void ShowMessage(const std::string& text) = 0;
};

}  // namespace varnholt

#endif  // VARNHOLT_PASSES_FORM_HOST_H_
