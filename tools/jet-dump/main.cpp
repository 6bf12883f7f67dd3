// jet-dump FILE [TABLE...] [--password TEXT]: prints tables of a Jet database as CSV (see
// jet_dump.h); all user tables when none is named.
#include <iostream>

#include "tools/jet-dump/jet_dump.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  return varnholt::RunJetDump(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
