// Field values to and from the bytes of a record, and text between UTF-8 and the table's code page.
//
// Numbers are stored big-endian with the sign bit inverted, so that stored bytes sort as the values
// do and all-zero bytes mean blank (NULL). Alpha text is code-page bytes padded with NULs: there an
// empty text and NULL are the same bytes, and both read back as Null.
#ifndef VARNHOLT_STORES_PARADOX_FIELD_CODEC_H_
#define VARNHOLT_STORES_PARADOX_FIELD_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "stores/paradox/table.h"

namespace varnholt::paradox {

class MemoFile;

// Conversion between UTF-8 and one code page (glibc iconv).
class CodePage {
 public:
  // Throws EngineError when iconv does not know the code page (0 is read as 437).
  explicit CodePage(int code_page);
  ~CodePage();
  CodePage(const CodePage&) = delete;
  CodePage& operator=(const CodePage&) = delete;

  int number() const { return number_; }
  // Code-page bytes as UTF-8; a byte the code page does not define becomes U+FFFD.
  std::string ToUtf8(const uint8_t* bytes, size_t length) const;
  // UTF-8 as code-page bytes, at most max_bytes of them, never splitting a character. A character
  // the code page lacks is transliterated where iconv can, else "?"; invalid UTF-8 gives "?".
  // *exact (optional) is false when anything was transliterated, replaced or cut.
  std::string FromUtf8(std::string_view utf8, size_t max_bytes, bool* exact = nullptr) const;

 private:
  std::string Transliterate(std::string_view utf8_char) const;

  int number_;
  bool single_byte_ = true;
  std::vector<std::string> decode_;          // single-byte: byte -> UTF-8
  std::vector<std::pair<char32_t, uint8_t>> encode_;  // single-byte: sorted code point -> byte
  void* to_utf8_ = nullptr;    // iconv_t
  void* from_utf8_ = nullptr;  // iconv_t, with transliteration
};

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

  std::vector<Field> fields_;
  std::vector<int> offsets_;
  std::vector<int> sizes_;
  int record_size_ = 0;
  const CodePage& code_page_;
  std::string path_;
};

// Sortable big-endian encodings (exposed for the index code and tests).
void EncodeInt(int64_t value, int bytes, uint8_t* out);
int64_t DecodeInt(const uint8_t* in, int bytes);
void EncodeDouble(double value, uint8_t* out);
double DecodeDouble(const uint8_t* in);

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_FIELD_CODEC_H_
