// Large memory pages for the whole run, asked of the C library before the program starts.
#ifndef VARNHOLT_BASE_OS_LARGE_PAGES_H_
#define VARNHOLT_BASE_OS_LARGE_PAGES_H_

namespace varnholt {

// Whole tables and source snapshots live in memory; with 4 KiB pages a large school spends a third
// of a run in page faults. glibc's malloc takes large pages only when told so before the program
// starts (GLIBC_TUNABLES), so the program starts itself again once with that set. It also keeps
// large blocks in its heap (on large pages) instead of mapping each anew, and keeps up to 64 MiB
// it freed instead of giving it back, so a command's passes reuse memory rather than fault in fresh
// pages for every large vector. Returns when no new start was needed or possible (GLIBC_TUNABLES
// naming glibc.malloc.hugetlb already, e.g. "=0" to keep small pages, running under valgrind, or
// a system without glibc); call first thing in main, with main's argv.
void PreferLargeMemoryPages(char** argv);

}  // namespace varnholt

#endif  // VARNHOLT_BASE_OS_LARGE_PAGES_H_
