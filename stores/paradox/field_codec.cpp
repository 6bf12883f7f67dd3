#include "stores/paradox/field_codec.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "base/byte_coding.h"
#include "stores/paradox/header.h"
#include "stores/paradox/memo_file.h"

namespace varnholt::paradox {

namespace {

constexpr uint8_t kLogicalFalse = 0x80;
constexpr uint8_t kLogicalTrue = 0x81;
constexpr uint8_t kBcdPositive = 0x80;  // first byte: sign bit set for positive values
constexpr uint8_t kBcdMarker = 0x40;    // first byte: always set
constexpr int kBcdDigits = 32;

// A whole number given as an integer or as a double without a fraction.
bool AsInteger(const Value& value, int64_t* out) {
  if (const auto* i = std::get_if<int64_t>(&value)) {
    *out = *i;
    return true;
  }
  if (const auto* d = std::get_if<double>(&value)) {
    if (std::isfinite(*d) && std::trunc(*d) == *d && std::fabs(*d) < 9.2e18) {
      *out = static_cast<int64_t>(*d);
      return true;
    }
  }
  return false;
}

// A finite number given as a double or an integer.
bool AsDouble(const Value& value, double* out) {
  if (const auto* d = std::get_if<double>(&value)) {
    *out = *d;
    return std::isfinite(*d);
  }
  if (const auto* i = std::get_if<int64_t>(&value)) {
    *out = static_cast<double>(*i);
    return true;
  }
  return false;
}

bool AllZero(const uint8_t* p, int n) {
  for (int i = 0; i < n; ++i) {
    if (p[i] != 0) return false;
  }
  return true;
}

}  // namespace

FieldCodec::FieldCodec(std::vector<Field> fields, const CodePage& code_page,
                       const std::string& path)
    : fields_(std::move(fields)), code_page_(code_page), path_(path) {
  for (const auto& f : fields_) {
    offsets_.push_back(record_size_);
    sizes_.push_back(StoredSize(f));
    record_size_ += StoredSize(f);
  }
}

void FieldCodec::Refuse(int field, const std::string& why) const {
  throw EngineError(path_ + ": field '" + fields_[field].name + "' " + why);
}

Value FieldCodec::Decode(int field, const uint8_t* record, const MemoFile* memo) const {
  const uint8_t* p = record + offsets_[field];
  const int n = sizes_[field];
  const FieldType type = fields_[field].type;
  switch (type) {
    case FieldType::kAlpha: {
      const auto* end = static_cast<const uint8_t*>(std::memchr(p, 0, n));
      const size_t len = end ? end - p : n;
      if (len == 0) return Null{};
      return code_page_.ToUtf8(p, len);
    }
    case FieldType::kMemo: {
      if (AllZero(p, n)) return Null{};
      const int leader = n - kBlobTailSize;
      const uint8_t* tail = p + leader;
      const uint32_t where = GetLe32(tail + kBlobTailLocation);
      const uint32_t length = GetLe32(tail + kBlobTailLength);
      if (where != 0 && memo != nullptr) {
        if (auto blob = memo->Read(where, length)) {
          size_t len = blob->size();
          while (len > 0 && (*blob)[len - 1] == 0) --len;  // memos may end in a NUL
          return code_page_.ToUtf8(blob->data(), len);
        }
      }
      size_t len = where == 0 ? std::min<size_t>(length, leader) : leader;
      const auto* end = static_cast<const uint8_t*>(std::memchr(p, 0, len));
      if (end) len = end - p;
      if (len == 0 && where == 0) return Null{};
      return code_page_.ToUtf8(p, len);
    }
    case FieldType::kDate:
      if (AllZero(p, n)) return Null{};
      return Date{static_cast<int32_t>(GetSortableInt(p, 4))};
    case FieldType::kTime:
      if (AllZero(p, n)) return Null{};
      return Time{static_cast<int32_t>(GetSortableInt(p, 4))};
    case FieldType::kShort:
    case FieldType::kLong:
    case FieldType::kAutoIncrement:
      if (AllZero(p, n)) return Null{};
      return GetSortableInt(p, n);
    case FieldType::kMoney:
    case FieldType::kNumber:
      if (AllZero(p, n)) return Null{};
      return GetSortableDouble(p);
    case FieldType::kTimestamp:
      if (AllZero(p, n)) return Null{};
      return Timestamp{GetSortableDouble(p)};
    case FieldType::kLogical:
      if (p[0] == 0) return Null{};
      return (p[0] & 0x7F) != 0;
    case FieldType::kBcd: {
      if (AllZero(p, n)) return Null{};
      const bool negative = (p[0] & kBcdPositive) == 0;
      const int decimals = p[0] & 0x3F;
      double v = 0;
      for (int d = 2; d < 2 + kBcdDigits; ++d) {
        int nibble = (d % 2 == 0) ? (p[d / 2] >> 4) : (p[d / 2] & 0x0F);
        if (negative) nibble ^= 0x0F;
        v = v * 10 + (nibble <= 9 ? nibble : 0);  // genuine files hold junk nibbles at times
      }
      v /= std::pow(10.0, decimals);
      return negative ? -v : v;
    }
    case FieldType::kBytes:
      if (AllZero(p, n)) return Null{};
      return Bytes{std::vector<uint8_t>(p, p + n)};
    case FieldType::kBlob:
    case FieldType::kFormattedMemo:
    case FieldType::kOle:
    case FieldType::kGraphic:
      if (AllZero(p, n)) return Null{};
      return Bytes{std::vector<uint8_t>(p, p + n)};  // opaque: leader and tail as stored
  }
  return Null{};
}

void FieldCodec::Encode(int field, const Value& value, uint8_t* record, bool* exact) const {
  uint8_t* p = record + offsets_[field];
  const int n = sizes_[field];
  const FieldType type = fields_[field].type;
  if (exact) *exact = true;
  if (std::holds_alternative<Null>(value)) {
    std::memset(p, 0, n);
    return;
  }
  switch (type) {
    case FieldType::kAlpha:
      return EncodeAlpha(field, value, p, exact);
    case FieldType::kMemo:
      return EncodeMemo(field, value, p, exact);
    case FieldType::kDate:
    case FieldType::kTime:
      return EncodeDateOrTime(field, value, p);
    case FieldType::kShort:
    case FieldType::kLong:
    case FieldType::kAutoIncrement: {
      int64_t v = 0;
      if (!AsInteger(value, &v)) Refuse(field, "takes only whole numbers");
      const int64_t limit = n == 2 ? 32767 : 2147483647;
      if (v > limit || v < -limit) Refuse(field, "cannot hold " + std::to_string(v));
      PutSortableInt(p, n, v);
      return;
    }
    case FieldType::kMoney:
    case FieldType::kNumber: {
      double v = 0;
      if (!AsDouble(value, &v)) Refuse(field, "takes only numbers");
      PutSortableDouble(p, v);
      return;
    }
    case FieldType::kTimestamp: {
      const auto* t = std::get_if<Timestamp>(&value);
      if (!t || !std::isfinite(t->milliseconds)) Refuse(field, "takes only timestamps");
      PutSortableDouble(p, t->milliseconds);
      return;
    }
    case FieldType::kLogical: {
      const auto* b = std::get_if<bool>(&value);
      if (!b) Refuse(field, "takes only True or False");
      p[0] = *b ? kLogicalTrue : kLogicalFalse;
      return;
    }
    case FieldType::kBcd:
      return EncodeBcd(field, value, p);
    case FieldType::kBytes:
    case FieldType::kBlob:
    case FieldType::kFormattedMemo:
    case FieldType::kOle:
    case FieldType::kGraphic:
      return EncodeBytes(field, value, p);
  }
}

void FieldCodec::EncodeAlpha(int field, const Value& value, uint8_t* p, bool* exact) const {
  const int n = sizes_[field];
  const auto* text = std::get_if<std::string>(&value);
  if (!text) Refuse(field, "takes only text");
  if (text->size() <= static_cast<size_t>(n) &&
      std::all_of(text->begin(), text->end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    // ASCII is the same in every code page: most texts go in as they are.
    std::memcpy(p, text->data(), text->size());
    std::memset(p + text->size(), 0, n - text->size());
    if (exact != nullptr) *exact = true;
    return;
  }
  const std::string bytes = code_page_.FromUtf8(*text, n, exact);
  std::memset(p, 0, n);
  std::memcpy(p, bytes.data(), bytes.size());
}

void FieldCodec::EncodeMemo(int field, const Value& value, uint8_t* p, bool* exact) const {
  const int n = sizes_[field];
  const auto* text = std::get_if<std::string>(&value);
  if (!text) Refuse(field, "takes only text");
  const int leader = n - kBlobTailSize;
  const std::string bytes = code_page_.FromUtf8(*text, std::string::npos, exact);
  if (bytes.size() > static_cast<size_t>(leader)) {
    Refuse(field, "cannot take a memo longer than " + std::to_string(leader) +
                      " bytes (memo file writing is not supported)");
  }
  std::memset(p, 0, n);
  std::memcpy(p, bytes.data(), bytes.size());
  PutLe32(p + leader + kBlobTailLength, static_cast<uint32_t>(bytes.size()));
}

void FieldCodec::EncodeDateOrTime(int field, const Value& value, uint8_t* p) const {
  const FieldType type = fields_[field].type;
  int64_t v = 0;
  if (const auto* d = std::get_if<Date>(&value); d && type == FieldType::kDate) {
    v = d->days;
  } else if (const auto* t = std::get_if<Time>(&value); t && type == FieldType::kTime) {
    v = t->milliseconds;
  } else {
    Refuse(field, type == FieldType::kDate ? "takes only dates" : "takes only times");
  }
  PutSortableInt(p, 4, v);
}

void FieldCodec::EncodeBcd(int field, const Value& value, uint8_t* p) const {
  double v = 0;
  if (!AsDouble(value, &v)) Refuse(field, "takes only numbers");
  const int decimals = fields_[field].size;
  const bool negative = v < 0;
  double scaled = std::round(std::fabs(v) * std::pow(10.0, decimals));
  if (scaled >= 1e32) Refuse(field, "cannot hold so large a number");
  std::memset(p, 0, sizes_[field]);
  p[0] = static_cast<uint8_t>((negative ? 0 : kBcdPositive) | kBcdMarker | decimals);
  // The digits as text: above 2^53 a double has no exact remainder by 10 to peel them off with.
  char digits[kBcdDigits + 8];
  const char* end = std::to_chars(digits, digits + sizeof digits, scaled, std::chars_format::fixed, 0).ptr;
  const int count = static_cast<int>(end - digits);
  for (int i = 0; i < kBcdDigits; ++i) {  // i-th digit from the right
    const int d = 2 + kBcdDigits - 1 - i;
    int digit = i < count ? digits[count - 1 - i] - '0' : 0;
    if (negative) digit ^= 0x0F;
    p[d / 2] |= static_cast<uint8_t>((d % 2 == 0) ? digit << 4 : digit);
  }
}

void FieldCodec::EncodeBytes(int field, const Value& value, uint8_t* p) const {
  const int n = sizes_[field];
  const auto* b = std::get_if<Bytes>(&value);
  if (fields_[field].type == FieldType::kBytes) {
    if (!b || b->data.size() > static_cast<size_t>(n)) {
      Refuse(field, "takes at most " + std::to_string(n) + " bytes");
    }
    std::memset(p, 0, n);
    std::memcpy(p, b->data.data(), b->data.size());
    return;
  }
  // Blobs: only a value read from this field (leader and tail as stored) can be written back, and
  // a tail pointing into the .MB must not be shared by two records.
  if (!b || b->data.size() != static_cast<size_t>(n) ||
      GetLe32(b->data.data() + n - kBlobTailSize + kBlobTailLocation) != 0) {
    Refuse(field, "cannot be changed (blob writing is not supported)");
  }
  std::memcpy(p, b->data.data(), n);
}

}  // namespace varnholt::paradox
