#include "stores/paradox/field_codec.h"

#include <iconv.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "stores/paradox/header.h"
#include "stores/paradox/memo_file.h"

namespace varnholt::paradox {

namespace {

constexpr uint8_t kLogicalFalse = 0x80;
constexpr uint8_t kLogicalTrue = 0x81;
constexpr uint8_t kBcdPositive = 0x80;  // first byte: sign bit set for positive values
constexpr uint8_t kBcdMarker = 0x40;    // first byte: always set
constexpr int kBcdDigits = 32;
constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";
const iconv_t kNoIconv = reinterpret_cast<iconv_t>(static_cast<intptr_t>(-1));

bool AllZero(const uint8_t* p, int n) {
  for (int i = 0; i < n; ++i) {
    if (p[i] != 0) return false;
  }
  return true;
}

// Length of the UTF-8 sequence starting at s[0], or 0 when it is invalid.
size_t Utf8Length(std::string_view s, char32_t* code_point) {
  const auto c = static_cast<unsigned char>(s[0]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || n > s.size()) return 0;
  char32_t cp = n == 1 ? c : c & (0x7F >> n);
  for (size_t i = 1; i < n; ++i) {
    const auto d = static_cast<unsigned char>(s[i]);
    if ((d & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (d & 0x3F);
  }
  *code_point = cp;
  return n;
}

// Runs one iconv conversion of `in`; false when iconv refused some of it.
bool Convert(iconv_t cd, const char* in, size_t length, std::string* out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char buffer[64];
  auto* src = const_cast<char*>(in);
  size_t left = length;
  while (left > 0) {
    char* dst = buffer;
    size_t room = sizeof(buffer);
    const size_t r = iconv(cd, &src, &left, &dst, &room);
    out->append(buffer, dst - buffer);
    if (r == static_cast<size_t>(-1) && errno != E2BIG) return false;
  }
  char* dst = buffer;
  size_t room = sizeof(buffer);
  iconv(cd, nullptr, nullptr, &dst, &room);
  out->append(buffer, dst - buffer);
  return true;
}

}  // namespace

void EncodeInt(int64_t value, int bytes, uint8_t* out) {
  const uint64_t v = static_cast<uint64_t>(value);
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(v >> (8 * (bytes - 1 - i)));
  out[0] ^= 0x80;
}

int64_t DecodeInt(const uint8_t* in, int bytes) {
  uint64_t v = in[0] ^ 0x80u;
  for (int i = 1; i < bytes; ++i) v = (v << 8) | in[i];
  const int shift = 64 - 8 * bytes;
  return static_cast<int64_t>(v << shift) >> shift;  // sign-extend
}

void EncodeDouble(double value, uint8_t* out) {
  uint64_t bits = std::bit_cast<uint64_t>(value);
  bits = (bits >> 63) ? ~bits : bits | (uint64_t{1} << 63);
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(bits >> (8 * (7 - i)));
}

double DecodeDouble(const uint8_t* in) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = (bits << 8) | in[i];
  bits = (bits >> 63) ? bits & ~(uint64_t{1} << 63) : ~bits;
  return std::bit_cast<double>(bits);
}

CodePage::CodePage(int code_page) : number_(code_page == 0 ? 437 : code_page) {
  const std::string name = "CP" + std::to_string(number_);
  iconv_t to = iconv_open("UTF-8", name.c_str());
  iconv_t from = iconv_open((name + "//TRANSLIT").c_str(), "UTF-8");
  if (to == kNoIconv || from == kNoIconv) {
    if (to != kNoIconv) iconv_close(to);
    if (from != kNoIconv) iconv_close(from);
    throw EngineError("code page " + std::to_string(code_page) + " is not supported");
  }
  to_utf8_ = to;
  from_utf8_ = from;
  decode_.resize(256);
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    iconv(to, nullptr, nullptr, nullptr, nullptr);
    char buffer[16];
    char* src = const_cast<char*>(&c);
    size_t left = 1;
    char* dst = buffer;
    size_t room = sizeof(buffer);
    const size_t r = iconv(to, &src, &left, &dst, &room);
    if (r == static_cast<size_t>(-1) && errno == EINVAL) {
      single_byte_ = false;  // a lead byte: the code page has multi-byte characters
      break;
    }
    decode_[b] = (r == static_cast<size_t>(-1)) ? std::string(kReplacementUtf8)
                                                 : std::string(buffer, dst - buffer);
    if (b < 0x80 && decode_[b] != std::string(1, c)) single_byte_ = false;
  }
  if (!single_byte_) {
    decode_.clear();
    return;
  }
  for (int b = 255; b >= 1; --b) {
    char32_t cp = 0;
    if (decode_[b] != kReplacementUtf8 && Utf8Length(decode_[b], &cp) == decode_[b].size()) {
      encode_.emplace_back(cp, static_cast<uint8_t>(b));
    }
  }
  std::stable_sort(encode_.begin(), encode_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
}

CodePage::~CodePage() {
  iconv_close(static_cast<iconv_t>(to_utf8_));
  iconv_close(static_cast<iconv_t>(from_utf8_));
}

std::string CodePage::ToUtf8(const uint8_t* bytes, size_t length) const {
  std::string out;
  if (single_byte_) {
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
      if (bytes[i] < 0x80) {
        out.push_back(static_cast<char>(bytes[i]));
      } else {
        out += decode_[bytes[i]];
      }
    }
    return out;
  }
  auto cd = static_cast<iconv_t>(to_utf8_);
  size_t i = 0;
  while (i < length) {
    // Convert up to the next byte iconv refuses, then replace that byte and go on.
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = reinterpret_cast<char*>(const_cast<uint8_t*>(bytes + i));
    size_t left = length - i;
    bool refused = false;
    while (left > 0 && !refused) {
      char buffer[64];
      char* dst = buffer;
      size_t room = sizeof(buffer);
      const size_t r = iconv(cd, &src, &left, &dst, &room);
      out.append(buffer, dst - buffer);
      if (r == static_cast<size_t>(-1) && errno != E2BIG) refused = true;
    }
    i = length - left;
    if (refused) {
      out += kReplacementUtf8;
      ++i;
    }
  }
  return out;
}

std::string CodePage::Transliterate(std::string_view utf8_char) const {
  std::string out;
  if (!Convert(static_cast<iconv_t>(from_utf8_), utf8_char.data(), utf8_char.size(), &out) ||
      out.empty()) {
    return "?";
  }
  return out;
}

std::string CodePage::FromUtf8(std::string_view utf8, size_t max_bytes, bool* exact) const {
  std::string out;
  out.reserve(std::min(utf8.size(), max_bytes));
  bool same = true;
  // ASCII stands for itself in every code page: the run of it at the start (most texts whole) is
  // copied at once.
  size_t i = 0;
  while (i < utf8.size() && static_cast<unsigned char>(utf8[i]) < 0x80) ++i;
  if (i > max_bytes) {
    out.assign(utf8.data(), max_bytes);
    if (exact != nullptr) *exact = false;
    return out;
  }
  out.assign(utf8.data(), i);
  while (i < utf8.size()) {
    std::string piece;
    char32_t cp = 0;
    size_t n = Utf8Length(utf8.substr(i), &cp);
    if (n == 0) {  // invalid UTF-8: one byte becomes "?"
      piece = "?";
      n = 1;
      same = false;
    } else if (cp < 0x80) {
      piece.assign(1, static_cast<char>(cp));
    } else {
      auto it = std::lower_bound(encode_.begin(), encode_.end(), cp,
                                 [](const auto& e, char32_t v) { return e.first < v; });
      if (single_byte_ && it != encode_.end() && it->first == cp) {
        piece.assign(1, static_cast<char>(it->second));
      } else {
        piece = Transliterate(utf8.substr(i, n));
        // Multi-byte code pages convert exactly when iconv could do it without transliteration;
        // a round trip tells.
        if (single_byte_ ||
            ToUtf8(reinterpret_cast<const uint8_t*>(piece.data()), piece.size()) !=
                utf8.substr(i, n)) {
          same = false;
        }
      }
    }
    if (out.size() + piece.size() > max_bytes) {
      same = false;
      break;
    }
    out += piece;
    i += n;
  }
  if (exact != nullptr) *exact = same;
  return out;
}

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
      const uint32_t where = GetU32(tail);
      const uint32_t length = GetU32(tail + 4);
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
      return Date{static_cast<int32_t>(DecodeInt(p, 4))};
    case FieldType::kTime:
      if (AllZero(p, n)) return Null{};
      return Time{static_cast<int32_t>(DecodeInt(p, 4))};
    case FieldType::kShort:
    case FieldType::kLong:
    case FieldType::kAutoIncrement:
      if (AllZero(p, n)) return Null{};
      return DecodeInt(p, n);
    case FieldType::kMoney:
    case FieldType::kNumber:
      if (AllZero(p, n)) return Null{};
      return DecodeDouble(p);
    case FieldType::kTimestamp:
      if (AllZero(p, n)) return Null{};
      return Timestamp{DecodeDouble(p)};
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
  auto as_integer = [&](int64_t* out) {
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
  };
  auto as_double = [&](double* out) {
    if (const auto* d = std::get_if<double>(&value)) {
      *out = *d;
      return std::isfinite(*d);
    }
    if (const auto* i = std::get_if<int64_t>(&value)) {
      *out = static_cast<double>(*i);
      return true;
    }
    return false;
  };
  switch (type) {
    case FieldType::kAlpha: {
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
      return;
    }
    case FieldType::kMemo: {
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
      PutU32(p + leader + 4, static_cast<uint32_t>(bytes.size()));
      return;
    }
    case FieldType::kDate:
    case FieldType::kTime: {
      int64_t v = 0;
      if (const auto* d = std::get_if<Date>(&value); d && type == FieldType::kDate) {
        v = d->days;
      } else if (const auto* t = std::get_if<Time>(&value); t && type == FieldType::kTime) {
        v = t->milliseconds;
      } else {
        Refuse(field, type == FieldType::kDate ? "takes only dates" : "takes only times");
      }
      EncodeInt(v, 4, p);
      return;
    }
    case FieldType::kShort:
    case FieldType::kLong:
    case FieldType::kAutoIncrement: {
      int64_t v = 0;
      if (!as_integer(&v)) Refuse(field, "takes only whole numbers");
      const int64_t limit = n == 2 ? 32767 : 2147483647;
      if (v > limit || v < -limit) Refuse(field, "cannot hold " + std::to_string(v));
      EncodeInt(v, n, p);
      return;
    }
    case FieldType::kMoney:
    case FieldType::kNumber: {
      double v = 0;
      if (!as_double(&v)) Refuse(field, "takes only numbers");
      EncodeDouble(v, p);
      return;
    }
    case FieldType::kTimestamp: {
      const auto* t = std::get_if<Timestamp>(&value);
      if (!t || !std::isfinite(t->milliseconds)) Refuse(field, "takes only timestamps");
      EncodeDouble(t->milliseconds, p);
      return;
    }
    case FieldType::kLogical: {
      const auto* b = std::get_if<bool>(&value);
      if (!b) Refuse(field, "takes only True or False");
      p[0] = *b ? kLogicalTrue : kLogicalFalse;
      return;
    }
    case FieldType::kBcd: {
      double v = 0;
      if (!as_double(&v)) Refuse(field, "takes only numbers");
      const int decimals = fields_[field].size;
      const bool negative = v < 0;
      double scaled = std::round(std::fabs(v) * std::pow(10.0, decimals));
      if (scaled >= 1e32) Refuse(field, "cannot hold so large a number");
      std::memset(p, 0, n);
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
      return;
    }
    case FieldType::kBytes: {
      const auto* b = std::get_if<Bytes>(&value);
      if (!b || b->data.size() > static_cast<size_t>(n)) {
        Refuse(field, "takes at most " + std::to_string(n) + " bytes");
      }
      std::memset(p, 0, n);
      std::memcpy(p, b->data.data(), b->data.size());
      return;
    }
    case FieldType::kBlob:
    case FieldType::kFormattedMemo:
    case FieldType::kOle:
    case FieldType::kGraphic: {
      // Only a value read from this field (leader and tail as stored) can be written back.
      const auto* b = std::get_if<Bytes>(&value);
      // A tail pointing into the .MB must not be shared by two records.
      if (!b || b->data.size() != static_cast<size_t>(n) ||
          GetU32(b->data.data() + n - kBlobTailSize) != 0) {
        Refuse(field, "cannot be changed (blob writing is not supported)");
      }
      std::memcpy(p, b->data.data(), n);
      return;
    }
  }
}

}  // namespace varnholt::paradox
