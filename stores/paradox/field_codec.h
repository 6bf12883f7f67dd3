// Field values to and from the bytes of a record (text through the table's code page).
//
// Numbers are stored in the sortable form of base/byte_coding.h, so that stored bytes sort as the
// values do and all-zero bytes mean blank (NULL). Alpha text is code-page bytes padded with NULs: there an
// empty text and NULL are the same bytes, and both read back as Null.
#ifndef VARNHOLT_STORES_PARADOX_FIELD_CODEC_H_
#define VARNHOLT_STORES_PARADOX_FIELD_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/code_page.h"
#include "stores/paradox/table.h"

namespace varnholt::paradox {

class MemoFile;

// Encodes and decodes the fields of one record layout.
class FieldCodec {
 public:
  FieldCodec(std::vector<Field> fields, const CodePage& code_page, const std::string& path);

  const std::vector<Field>& fields() const { return fields_; }
  int offset(int field) const { return offsets_[field]; }
  int size(int field) const { return sizes_[field]; }
  int record_size() const { return record_size_; }

  // The value of `field` in `record`. Memo text longer than the record's leader comes from `memo`
  // when given; without it (or when the .MB does not hold it) the leader's text is returned.
  Value Decode(int field, const uint8_t* record, const MemoFile* memo) const;
  // Writes `value` into `field` of `record`. Alpha is converted and cut to width (*exact false
  // when that changed it). Throws EngineError naming the field when it cannot hold the value
  // (wrong kind, out of range, a memo longer than its leader, a changed blob).
  void Encode(int field, const Value& value, uint8_t* record, bool* exact = nullptr) const;

 private:
  [[noreturn]] void Refuse(int field, const std::string& why) const;
  void EncodeAlpha(int field, const Value& value, uint8_t* p, bool* exact) const;
  void EncodeMemo(int field, const Value& value, uint8_t* p, bool* exact) const;
  void EncodeDateOrTime(int field, const Value& value, uint8_t* p) const;
  void EncodeBcd(int field, const Value& value, uint8_t* p) const;
  // Bytes fields, and blobs (written back only as read).
  void EncodeBytes(int field, const Value& value, uint8_t* p) const;

  std::vector<Field> fields_;
  std::vector<int> offsets_;
  std::vector<int> sizes_;
  int record_size_ = 0;
  const CodePage& code_page_;
  std::string path_;
};

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_FIELD_CODEC_H_
