#include "base/os/text_converter.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <utility>

namespace varnholt::os {

namespace {

const iconv_t kNoIconv = reinterpret_cast<iconv_t>(static_cast<intptr_t>(-1));

iconv_t AsIconv(void* handle) { return static_cast<iconv_t>(handle); }

}  // namespace

std::optional<TextConverter> TextConverter::Open(const std::string& to, const std::string& from) {
  const iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == kNoIconv) return std::nullopt;
  return TextConverter(cd);
}

TextConverter::~TextConverter() {
  if (handle_ != nullptr) iconv_close(AsIconv(handle_));
}

TextConverter::TextConverter(TextConverter&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

TextConverter& TextConverter::operator=(TextConverter&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) iconv_close(AsIconv(handle_));
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

void TextConverter::Reset() const { iconv(AsIconv(handle_), nullptr, nullptr, nullptr, nullptr); }

TextConverter::Stop TextConverter::Step(const char** in, size_t* in_left, char** out, size_t* out_left) const {
  // iconv's input is not const in its declaration, though it never writes through it.
  char* source = const_cast<char*>(*in);
  const size_t r = iconv(AsIconv(handle_), &source, in_left, out, out_left);
  *in = source;
  if (r != static_cast<size_t>(-1)) return Stop::kNone;
  if (errno == E2BIG) return Stop::kOutputFull;
  if (errno == EINVAL) return Stop::kIncomplete;
  return Stop::kRefused;
}

void TextConverter::Finish(char** out, size_t* out_left) const {
  iconv(AsIconv(handle_), nullptr, nullptr, out, out_left);
}

}  // namespace varnholt::os
