#include "stores/source/connection_string.h"

#include <string_view>

#include "base/store_error.h"
#include "base/ascii.h"

namespace varnholt {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}


StoreError Unreadable(const std::string& text, const std::string& why) {
  return StoreError("The connection string \"" + text + "\" cannot be read: " + why);
}

}  // namespace

ConnectionSettings ParseConnectionString(const std::string& text) {
  ConnectionSettings settings;
  bool has_provider = false;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t equals = text.find('=', pos);
    size_t semicolon = text.find(';', pos);
    if (equals == std::string::npos || (semicolon != std::string::npos && semicolon < equals)) {
      std::string_view piece = Trim(std::string_view(text).substr(pos, semicolon - pos));
      if (!piece.empty()) throw Unreadable(text, "'" + std::string(piece) + "' has no '='");
      pos = semicolon == std::string::npos ? text.size() : semicolon + 1;
      continue;
    }
    std::string_view key = Trim(std::string_view(text).substr(pos, equals - pos));
    pos = equals + 1;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    std::string value;
    if (pos < text.size() && (text[pos] == '"' || text[pos] == '\'')) {
      char quote = text[pos++];
      for (;;) {
        if (pos >= text.size()) throw Unreadable(text, "the value of '" + std::string(key) + "' is not closed");
        if (text[pos] == quote) {
          if (pos + 1 < text.size() && text[pos + 1] == quote) {
            value += quote;
            pos += 2;
            continue;
          }
          ++pos;
          break;
        }
        value += text[pos++];
      }
      while (pos < text.size() && IsBlank(text[pos])) ++pos;
      if (pos < text.size() && text[pos] != ';') {
        throw Unreadable(text, "unexpected text after the quoted value of '" + std::string(key) + "'");
      }
    } else {
      size_t end = text.find(';', pos);
      if (end == std::string::npos) end = text.size();
      value = std::string(Trim(std::string_view(text).substr(pos, end - pos)));
      pos = end;
    }
    if (pos < text.size()) ++pos;  // the ';'

    if (EqualsIgnoringAsciiCase(key, "Provider")) {
      settings.provider = value;
      has_provider = true;
    } else if (EqualsIgnoringAsciiCase(key, "Data Source")) {
      settings.data_source = value;
    } else if (EqualsIgnoringAsciiCase(key, "Jet OLEDB:Database Password")) {
      settings.password = value;
    }
  }
  if (!has_provider || settings.provider.empty()) {
    throw StoreError("The connection string names no provider; the source database needs " +
                     std::string(kJetProvider));
  }
  if (!EqualsIgnoringAsciiCase(settings.provider, kJetProvider)) {
    throw StoreError("Provider '" + settings.provider + "' cannot open the source database; only " +
                     std::string(kJetProvider) + " can");
  }
  return settings;
}

}  // namespace varnholt
