// The body of the Jet header fuzz target, shared with the regression tests: page 0 of a source
// file as the Jet database opens it, the version checks, then the password decoder for the versions
// that have one. A broken promise aborts the run.
#ifndef VARNHOLT_TESTS_FUZZ_JET_HEADER_FUZZ_H_
#define VARNHOLT_TESTS_FUZZ_JET_HEADER_FUZZ_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "stores/jet/jet_header.h"

namespace varnholt::fuzz {

inline void FuzzJetHeader(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> header(data, size);
  (void)JetVersionByte(header);
  const JetVersion version = ReadJetVersion(header);
  if (version != JetVersion::kJet3 && version != JetVersion::kJet4) return;
  const std::string password = DecodeJetPassword(header);
  // At most 38 one-byte characters (Jet 4 compressed form), each at most two UTF-8 bytes.
  if (password.size() > 2 * kJet4PasswordLength) std::abort();
  if (JetPageSize(version) == 0) std::abort();
}

}  // namespace varnholt::fuzz

#endif  // VARNHOLT_TESTS_FUZZ_JET_HEADER_FUZZ_H_
