#include "tests/support/pxlib_reader.h"

#ifdef VARNHOLT_HAVE_PXLIB
extern "C" {  // the header declares C functions without saying so
#include <paradox.h>
}
#endif

namespace varnholt::paradox::testing {

#ifdef VARNHOLT_HAVE_PXLIB
namespace {

// Tables older than Paradox 4 carry no code page (0), and pxlib then names none to iconv. Their
// writers wrote text in the DOS code page, as our engine reads it.
constexpr int kDosCodePage = 437;

void KeepFirstMessage(pxdoc_t*, int, const char* message, void* data) {
  auto* text = static_cast<std::string*>(data);
  if (text->empty()) *text = message;
}

std::string RecordText(pxdoc_t* doc, const char* data) {
  const int nf = PX_get_num_fields(doc);
  pxfield_t* fields = PX_get_fields(doc);
  std::string row;
  int off = 0;
  for (int f = 0; f < nf; ++f) {
    if (f) row += "|";
    if (fields[f].px_ftype == pxfAlpha) {
      char* value = nullptr;
      if (PX_get_data_alpha(doc, const_cast<char*>(data) + off, fields[f].px_flen, &value) > 0 &&
          value) {
        row += value;
        doc->free(doc, value);
      }
    }
    off += fields[f].px_flen;
  }
  return row;
}

void ReadRecords(pxdoc_t* doc, const std::string& messages, std::vector<std::string>* rows,
                 std::string* error) {
  if (doc->px_head->px_doscodepage == 0) doc->px_head->px_doscodepage = kDosCodePage;
  if (PX_set_targetencoding(doc, "UTF-8") < 0) {
    *error = "pxlib cannot convert code page " + std::to_string(doc->px_head->px_doscodepage) +
             " to UTF-8: " + messages;
    return;
  }
  const int n = PX_get_num_records(doc);
  std::vector<char> data(doc->px_head->px_recordsize);
  for (int i = 0; i < n; ++i) {
    if (PX_get_record(doc, i, data.data()) == nullptr) {
      *error = "pxlib cannot read record " + std::to_string(i) + " of " + std::to_string(n) + ": " +
               messages;
      return;
    }
    rows->push_back(RecordText(doc, data.data()));
  }
}

}  // namespace
#endif

bool HavePxlib() {
#ifdef VARNHOLT_HAVE_PXLIB
  return true;
#else
  return false;
#endif
}

std::vector<std::string> ReadWithPxlib(const std::string& db_path, std::string* error) {
  std::vector<std::string> rows;
  error->clear();
#ifdef VARNHOLT_HAVE_PXLIB
  PX_boot();
  std::string messages;
  pxdoc_t* doc = PX_new3(KeepFirstMessage, nullptr, nullptr, nullptr, &messages);
  if (doc == nullptr) {
    *error = "pxlib: PX_new3 failed";
    return rows;
  }
  if (PX_open_file(doc, db_path.c_str()) < 0) {
    *error = "pxlib refuses it: " + messages;
  } else {
    ReadRecords(doc, messages, &rows, error);
    PX_close(doc);
  }
  PX_delete(doc);
#else
  (void)db_path;
  *error = "pxlib not available";
#endif
  return rows;
}

}  // namespace varnholt::paradox::testing
