// Windows only, for tests: a stand-in for ReplaceFileW where a saved file is renamed over the old
// one, so a test can make it fail halfway as Windows may (the old file removed, the new one not
// moved in: ERROR_UNABLE_TO_MOVE_REPLACEMENT). The program never sets one.
#ifndef VARNHOLT_BASE_OS_REPLACE_FILE_SEAM_H_
#define VARNHOLT_BASE_OS_REPLACE_FILE_SEAM_H_

namespace varnholt::os {

// Called as ReplaceFileW(replaced, replacement, ...) is; answers as it does (nonzero on success,
// else with the error for GetLastError).
using ReplaceFileStandIn = int (*)(const wchar_t* replaced, const wchar_t* replacement);

// Puts `stand_in` in ReplaceFileW's place; null puts ReplaceFileW back.
void SetReplaceFileStandInForTests(ReplaceFileStandIn stand_in);

}  // namespace varnholt::os

#endif  // VARNHOLT_BASE_OS_REPLACE_FILE_SEAM_H_
