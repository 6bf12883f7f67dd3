#include "tests/support/pxlib_writer.h"

#include <algorithm>
#include <cstring>

#ifdef VARNHOLT_HAVE_PXLIB
extern "C" {  // the header declares C functions without saying so
#include <paradox.h>
}
#endif

namespace varnholt::paradox::testing {

std::string WriteWithPxlib(const std::string& db_path, const std::vector<std::string>& names, int width,
                           int key_fields, const std::vector<std::vector<std::string>>& rows,
                           const std::string& password) {
#ifdef VARNHOLT_HAVE_PXLIB
  PX_boot();
  pxdoc_t* doc = PX_new();
  if (doc == nullptr) return "pxlib: PX_new failed";
  const int n = static_cast<int>(names.size());
  // pxlib owns the field list and frees it with the document.
  auto* fields = static_cast<pxfield_t*>(doc->malloc(doc, sizeof(pxfield_t) * n, "fields"));
  for (int i = 0; i < n; ++i) {
    fields[i].px_fname = static_cast<char*>(doc->malloc(doc, names[i].size() + 1, "name"));
    std::memcpy(fields[i].px_fname, names[i].c_str(), names[i].size() + 1);
    fields[i].px_ftype = pxfAlpha;
    fields[i].px_flen = width;
    fields[i].px_fdc = 0;
  }
  const int type = key_fields > 0 ? pxfFileTypIndexDB : pxfFileTypNonIndexDB;
  std::string error;
  if (PX_create_file(doc, fields, n, db_path.c_str(), type) < 0) {
    error = "pxlib cannot create " + db_path;
  } else {
    if (key_fields > 0) PX_set_value(doc, "numprimkeys", key_fields);
    if (!password.empty() && PX_set_parameter(doc, "password", password.c_str()) < 0) {
      error = "pxlib refuses the password";
    }
    std::vector<char> record(static_cast<size_t>(n) * width);
    for (const auto& row : rows) {
      std::fill(record.begin(), record.end(), 0);
      for (int i = 0; i < n && i < static_cast<int>(row.size()); ++i) {
        std::memcpy(record.data() + i * width, row[i].data(), std::min<size_t>(row[i].size(), width));
      }
      if (error.empty() && PX_put_record(doc, record.data()) < 0) error = "pxlib cannot write a record";
    }
    PX_close(doc);
  }
  PX_delete(doc);
  return error;
#else
  (void)db_path, (void)names, (void)width, (void)key_fields, (void)rows, (void)password;
  return "pxlib not available";
#endif
}

}  // namespace varnholt::paradox::testing
