// The system's character set conversion (iconv: glibc's on Linux, ours on Win32's code pages on
// Windows) behind a small class, so that no file above base/os includes it.
#ifndef VARNHOLT_BASE_OS_TEXT_CONVERTER_H_
#define VARNHOLT_BASE_OS_TEXT_CONVERTER_H_

#include <cstddef>
#include <optional>
#include <string>

namespace varnholt::os {

class TextConverter {
 public:
  // Why a Step stopped before all of its input was converted.
  enum class Stop {
    kNone,        // all converted
    kRefused,     // the next input cannot be converted (not in the target set, or not valid input)
    kIncomplete,  // the input ends inside a character
    kOutputFull,  // no room left for the next character
  };

  // A conversion from the set named `from` to the one named `to` ("UTF-8", "CP437"); nullopt when
  // the system has none.
  static std::optional<TextConverter> Open(const std::string& to, const std::string& from);
  ~TextConverter();
  TextConverter(TextConverter&& other) noexcept;
  TextConverter& operator=(TextConverter&& other) noexcept;
  TextConverter(const TextConverter&) = delete;
  TextConverter& operator=(const TextConverter&) = delete;

  // Back to the initial shift state.
  void Reset() const;
  // Converts from *in (*in_left bytes) into *out (*out_left bytes of room), moving all four past
  // what was done, as iconv(3) does; says why it stopped early.
  Stop Step(const char** in, size_t* in_left, char** out, size_t* out_left) const;
  // Writes what returns to the initial state (for stateful sets) into *out.
  void Finish(char** out, size_t* out_left) const;

 private:
  explicit TextConverter(void* handle) : handle_(handle) {}
  void* handle_ = nullptr;  // iconv_t
};

}  // namespace varnholt::os

#endif  // VARNHOLT_BASE_OS_TEXT_CONVERTER_H_
