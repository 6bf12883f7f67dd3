#include "paradox_test_util.h"

#include <cstdlib>
#include <filesystem>

#include "tests/support/scratch_folder.h"

#ifdef VARNHOLT_HAVE_PXLIB
extern "C" {  // the header declares C functions without saying so
#include <paradox.h>
}
#endif

namespace varnholt::paradox::testing {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
  path_ = varnholt::testing::MakeScratchFolder("paradox_test_").string();
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string SampleDir() {
  const fs::path dir = fs::path(VARNHOLT_SHARED_DIR) / "testdata" / "paradox";
  std::error_code ec;
  return fs::is_directory(dir, ec) ? dir.string() : std::string();
}

void CopySamples(const std::string& sample_subdir, const std::vector<std::string>& names,
                 const std::string& dir) {
  for (const auto& n : names) {
    const fs::path to = fs::path(dir) / fs::path(n).filename();
    fs::copy_file(fs::path(SampleDir()) / sample_subdir / n, to,
                  fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write);
  }
}

TableSchema SmallSchema(int key_fields) {
  TableSchema s;
  s.fields = {{"Code", FieldType::kAlpha, 10},
              {"Name", FieldType::kAlpha, 20},
              {"Amount", FieldType::kMoney, 8},
              {"Born", FieldType::kDate, 4},
              {"Count", FieldType::kLong, 4}};
  s.key_field_count = key_fields;
  return s;
}

Record SmallRecord(const std::string& code, const std::string& name, double amount) {
  return Record{code, name, amount, Date{730000}, int64_t{42}};
}

bool HavePxlib() {
#ifdef VARNHOLT_HAVE_PXLIB
  return true;
#else
  return false;
#endif
}

#ifdef VARNHOLT_HAVE_PXLIB
namespace {
void QuietErrors(pxdoc_t*, int, const char* msg, void* data) {
  auto* out = static_cast<std::string*>(data);
  if (out->empty()) *out = msg;
}
}  // namespace
#endif

std::vector<std::string> ReadWithPxlib(const std::string& db_path, std::string* error) {
  std::vector<std::string> rows;
  error->clear();
#ifdef VARNHOLT_HAVE_PXLIB
  PX_boot();
  pxdoc_t* doc = PX_new3(QuietErrors, nullptr, nullptr, nullptr, error);
  if (doc == nullptr) {
    *error = "PX_new2 failed";
    return rows;
  }
  if (PX_open_file(doc, db_path.c_str()) < 0) {
    if (error->empty()) *error = "PX_open_file failed";
    PX_delete(doc);
    return rows;
  }
  PX_set_targetencoding(doc, "UTF-8");
  const int n = PX_get_num_records(doc);
  const int nf = PX_get_num_fields(doc);
  pxfield_t* fields = PX_get_fields(doc);
  std::vector<char> data(doc->px_head->px_recordsize);
  for (int i = 0; i < n; ++i) {
    if (PX_get_record(doc, i, data.data()) == nullptr) {
      *error = "PX_get_record failed at " + std::to_string(i);
      break;
    }
    std::string row;
    int off = 0;
    for (int f = 0; f < nf; ++f) {
      if (f) row += "|";
      if (fields[f].px_ftype == pxfAlpha) {
        char* value = nullptr;
        if (PX_get_data_alpha(doc, data.data() + off, fields[f].px_flen, &value) > 0 && value) {
          row += value;
          doc->free(doc, value);
        }
      }
      off += fields[f].px_flen;
    }
    rows.push_back(row);
  }
  PX_close(doc);
  PX_delete(doc);
#else
  (void)db_path;
  *error = "pxlib not available";
#endif
  return rows;
}

}  // namespace varnholt::paradox::testing
