// The one failure of the Jet reader: the file is not laid out as a Jet database must be (a page
// past the end, a definition or row that does not fit, a broken chain). The text says what was
// wrong, for tools; the program shows its own message for every such file.
#ifndef VARNHOLT_STORES_JET_JET_ERROR_H_
#define VARNHOLT_STORES_JET_JET_ERROR_H_

#include <stdexcept>
#include <string>

namespace varnholt {

class JetFormatError : public std::runtime_error {
 public:
  explicit JetFormatError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_JET_JET_ERROR_H_
