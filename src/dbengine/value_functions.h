#pragma once
// The SQL functions and the collation through which the query translation compares, sorts and adds
// values as the dialect means them rather than as SQLite stores them, and the one reading of a
// stored value by its field's declared type that they, the record sets and the conversions share.
//
// The reading (readStored): a date field's value is read as a day number (an integer or real day
// number from year 100 to 9999, or a text in one of the stored forms of date_value.h); a number
// field's (byte to decimal) as a number (an integer or real, or a text under the Italian number
// rule of number_text.h); a yes/no field's as -1 or 0 (any number but 0 is True, the texts "Vero",
// "Falso", "True", "False" in any case, a number written as text; Null reads as False). A value
// that is not Null and that no rule of its field's type reads is unreadable: it is never compared
// as text nor guessed. In comparisons it is like Null (it matches neither "=" nor "<>" nor NOT IN,
// though IS NULL stays false: it is not empty), it sorts after every readable value, and
// arithmetic on it raises 3464. Text, memo, binary and GUID values are always read as they are.
//
// Registered on every connection with registerValueFunctions():
//   dbe_date(x [, mode])    the day number of a date in any stored form.
//   dbe_number(x [, mode])  the number of a number field's value.
//   dbe_yesno(x [, mode])   -1 or 0 for a yes/no field's value (Null gives 0).
//                           mode 0 (the default, comparisons): an unreadable value gives Null;
//                           mode 1 (arithmetic, a text compared with a date): it raises 3464
//                           (dbe_date also takes a date typed by a person, "31/12/2023");
//                           mode 2 (sort keys, grouping, DISTINCT): it gives the value as stored,
//                           which SQLite sorts after every number. Null stays Null (dbe_yesno: 0).
//   dbe_unreadable(x, type) 1 when x is not Null and no rule of the field type (a type code)
//                           reads it, else 0: what the check's report counts as unreadable.
//   dbe_unreadable_count(x, type)  the aggregate: how many values of x dbe_unreadable gives 1
//                           for.
//   dbe_census(type1, x1, ...)  the aggregate of one read of a table for every field given (type
//                           code, value), one call a record: which fields are plain
//                           (column_census.h) and how many values of each dbe_unreadable gives 1
//                           for (CountUnreadable, conversion.h).
//   dbe_upper(x), dbe_lower(x)  upper and lower case of every letter, not only the ASCII ones.
//   dbe_spellings(x)        the table of every spelling of x that DBE_NOCASE holds equal to it
//                           (spelling_table.h).
//   dbe_hascase(x)          1 when the text x has a letter outside ASCII that has another case.
//   dbe_like(x, pattern)    the dialect's LIKE for a pattern known only when the query runs
//                           (* ? # [list] [!list], letters in any case); Null when either is Null.
//   dbe_cursum(x)           the sum of currency values, added exactly as whole ten-thousandths.
//   collation DBE_NOCASE    texts compared without regard to the case of any letter ("à" = "À"),
//                           sorted with accented letters next to their base letter ("àbc" < "b").
#include <QString>

struct sqlite3;
struct sqlite3_value;

namespace dbe {

inline constexpr const char* kDateFunction = "dbe_date";
inline constexpr const char* kNumberFunction = "dbe_number";
inline constexpr const char* kYesNoFunction = "dbe_yesno";
inline constexpr const char* kUnreadableFunction = "dbe_unreadable";
inline constexpr const char* kUnreadableCountFunction = "dbe_unreadable_count";
// The modes of dbe_date, dbe_number and dbe_yesno.
inline constexpr int kReadCompare = 0;
inline constexpr int kReadStrict = 1;
inline constexpr int kReadSort = 2;
inline constexpr const char* kCensusFunction = "dbe_census";
inline constexpr const char* kUpperFunction = "dbe_upper";
inline constexpr const char* kLowerFunction = "dbe_lower";
inline constexpr const char* kHasCaseFunction = "dbe_hascase";
inline constexpr const char* kLikeFunction = "dbe_like";
inline constexpr const char* kCurrencySumFunction = "dbe_cursum";
inline constexpr const char* kNocaseCollation = "DBE_NOCASE";

// The case-folded form of a letter: its lower case, except that a letter outside ASCII never
// becomes an ASCII one (so that a text equal under DBE_NOCASE to an ASCII text is equal to it
// under SQLite's NOCASE too).
char32_t foldLetter(char32_t c);
// True when text has a letter outside ASCII that has another case. This and caseSpellings are
// defined with the spellings (spelling_table.cpp).
bool hasNonAsciiCase(const QString& text);
// Every spelling of text equal to it under DBE_NOCASE that differs in the case of its letters
// outside ASCII (ASCII case is left to NOCASE), text itself first; only text itself when there
// would be more than max.
QStringList caseSpellings(const QString& text, int max);

// What reading a stored value as a field of a type gave.
enum class Reading { Null, Read, Unreadable };
// Reads the stored value v as a field of type (a type code): *out is the day number, the number,
// or -1/0 for a yes/no field, when Read. Types without a reading (text, memo, binary, GUID) give
// Read (or Null) and leave *out alone.
Reading readStored(sqlite3_value* v, short type, double* out);
// The same reading of a number or of UTF-8 text stored in a field of type.
Reading readStoredNumber(double value, short type, double* out);
Reading readStoredText(const char* utf8, int size, short type, double* out);
// Whether a type is read by a rule: yes/no, the number types and date.
bool hasReading(short type);

// The SQL of the next value of an auto-increment column (both names quoted): the largest value
// plus one, the values stored as numbers taken from the column's index (as they sort first) and
// those another program stored as text ("12,0") by their reading, so that neither is counted twice.
QString nextCounterSql(const QString& column, const QString& table);

namespace detail {
void registerValueFunctions(sqlite3* db);
}

}  // namespace dbe
