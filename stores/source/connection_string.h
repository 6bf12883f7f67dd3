// The source connection text, "Provider=...;Data Source=...;...;Jet OLEDB:Database Password=...",
// read into the three settings the source store uses.
#ifndef VARNHOLT_STORES_SOURCE_CONNECTION_STRING_H_
#define VARNHOLT_STORES_SOURCE_CONNECTION_STRING_H_

#include <string>

namespace varnholt {

// The only provider the source store answers to.
inline constexpr const char kJetProvider[] = "Microsoft.Jet.OLEDB.4.0";

struct ConnectionSettings {
  std::string provider;
  std::string data_source;  // the database file as written, blanks around it removed
  std::string password;     // the database password; "" when the text names none
};

// Reads `text`: pieces separated by ';', each "key=value"; keys in any case, blanks around keys and
// values ignored; a value may be enclosed in double or single quotes (a doubled quote inside stands
// for one) and may then hold ';'. Keys other than Provider, Data Source and
// "Jet OLEDB:Database Password" are accepted and ignored.
// Throws StoreError when a piece has no '=', a quoted value is not closed, or the provider is
// missing or is not Microsoft.Jet.OLEDB.4.0 (compared regardless of case).
ConnectionSettings ParseConnectionString(const std::string& text);

}  // namespace varnholt

#endif  // VARNHOLT_STORES_SOURCE_CONNECTION_STRING_H_
