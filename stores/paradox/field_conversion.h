// Conversions between field text and the values a Paradox field stores, shared by the table
// component (setting and reading fields) and the local SQL (assignments and comparisons).
//
// Reading a value as text follows the source side's conventions: null is empty text, alpha as
// stored, whole numbers in plain digits, other numbers with 15 significant digits ('.', no trailing
// zeros, "E" exponent outside 1e-5..1e15), dates in the regional short date format, logical values
// "True" or "False".
#ifndef VARNHOLT_STORES_PARADOX_FIELD_CONVERSION_H_
#define VARNHOLT_STORES_PARADOX_FIELD_CONVERSION_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/calendar.h"
#include "base/regional_settings.h"
#include "stores/paradox/table.h"

namespace varnholt {

// The value a field stores for text. Empty text is null. Alpha (and memo) takes the text, cut to
// the field's width in characters when cut_to_width is set (comparisons keep the whole text).
// Date: day/month/year ("25/01/2010") first, else the regional short date format, else a whole
// number as a day count (day 0 = 30 December 1899). Short, long, autoincrement, number, money and
// BCD parse a decimal number; logical takes a prefix of "True"/"False" or "Yes"/"No" in any case;
// time reads hh:nn[:ss]; timestamp a date, then optionally a blank and a time.
// Returns nullopt when the field cannot take the text.
std::optional<paradox::Value> ValueFromText(const paradox::Field& field, std::string_view text,
                                            const RegionalSettings& settings,
                                            bool cut_to_width = true);

// The value a field stores for a calendar date: a date field that day, a timestamp field its
// midnight, a character field the day-first text "DD/MM/YYYY" (the text the import's date reordering
// gives, whatever the regional settings). nullopt for fields of other kinds and for years outside
// 1..9999, which a date field cannot hold.
std::optional<paradox::Value> ValueFromDate(const paradox::Field& field, const CivilDate& date);

// Converts any value to what the field stores: null stays null, a value of the field's own kind is
// kept (ranges checked), anything else goes through its text. nullopt: the field cannot take it.
std::optional<paradox::Value> ValueForField(const paradox::Field& field,
                                            const paradox::Value& value,
                                            const RegionalSettings& settings,
                                            bool cut_to_width = true);

// A value as field text.
std::string TextFromValue(const paradox::Value& value, const RegionalSettings& settings);

// Dates are Paradox day counts: day numbers (base/calendar.h) less kParadoxDayZero.
// Reads a date as ValueFromText does for a date field. nullopt when it is no date.
std::optional<int32_t> ParseDateText(std::string_view text, const RegionalSettings& settings);
std::string FormatDate(int32_t days, const RegionalSettings& settings);

// The first `width` characters of UTF-8 text (never splits a character).
std::string CutToWidth(std::string_view utf8, int width);

}  // namespace varnholt

#endif  // VARNHOLT_STORES_PARADOX_FIELD_CONVERSION_H_
