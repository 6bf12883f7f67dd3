// LocationSource: the two location texts a binding reads, afresh for every single assignment.
// The window answers with the texts its operator typed or picked; tests with plain strings.
#ifndef VARNHOLT_STORES_COMPONENTS_LOCATION_SOURCE_H_
#define VARNHOLT_STORES_COMPONENTS_LOCATION_SOURCE_H_

#include <string>

namespace varnholt {

class LocationSource {
 public:
  virtual ~LocationSource() = default;
  // Full path of the source database file, unchecked and untrimmed.
  virtual std::string SourceLocation() const = 0;
  // Path of the target directory, unchecked and untrimmed.
  virtual std::string TargetLocation() const = 0;
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_COMPONENTS_LOCATION_SOURCE_H_
