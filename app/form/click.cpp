#include "app/form/click.h"

#include <algorithm>
#include <exception>
#include <vector>

namespace varnholt::form {

namespace {

// Shown for an error that carries no text of ours (not a std::exception).
constexpr char kUnknownError[] = "Unknown error";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

}  // namespace

std::string ErrorBoxText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) text += '.';
  return text;
}

void RunOperatorClick(const std::function<void()>& click, const std::function<void()>& discard_pending,
                      const std::function<void(const std::string&)>& show_error) {
  std::string message;
  try {
    click();
    return;
  } catch (const std::exception& error) {
    message = error.what();
  } catch (...) {
    message = kUnknownError;
  }
  // The box is shown outside the handler above, so an error while discarding cannot hide the one
  // that ended the command; it is added below it.
  try {
    discard_pending();
  } catch (const std::exception& error) {
    // A save that failed inside the command fails again here: each line is shown once.
    const std::vector<std::string> shown = Lines(message);
    for (const std::string& line : Lines(error.what())) {
      if (!line.empty() && std::find(shown.begin(), shown.end(), line) == shown.end()) message += '\n' + line;
    }
  } catch (...) {
  }
  show_error(ErrorBoxText(message));
}

}  // namespace varnholt::form
