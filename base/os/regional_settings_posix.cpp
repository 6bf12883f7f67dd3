#include "base/os/regional_settings.h"

namespace varnholt::os {

RegionalSettings UserRegionalSettings() { return RegionalSettings{}; }

}  // namespace varnholt::os
