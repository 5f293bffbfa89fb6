#pragma once
// The SQL functions and the collation through which the query translation compares, sorts and adds
// values as the dialect means them rather than as SQLite stores them. Registered on every
// connection with registerValueFunctions():
//   dbe_date(x [, strict])  the day number of a date in any stored form (datevalue.h); a number
//                           is taken as a day number already; Null stays Null. A text that is no
//                           date stays as it is, unless strict is 1: then the statement fails
//                           with 3464, the engine's type mismatch.
//   dbe_upper(x), dbe_lower(x)  upper and lower case of every letter, not only the ASCII ones.
//   dbe_spellings(x)        the table of every spelling of x that DBE_NOCASE holds equal to it
//                           (spellingtable.h).
//   dbe_hascase(x)          1 when the text x has a letter outside ASCII that has another case.
//   dbe_like(x, pattern)    the dialect's LIKE for a pattern known only when the query runs
//                           (* ? # [list] [!list], letters in any case); Null when either is Null.
//   dbe_cursum(x)           the sum of currency values, added exactly as whole ten-thousandths.
//   collation DBE_NOCASE    texts compared without regard to the case of any letter ("à" = "À"),
//                           sorted with accented letters next to their base letter ("àbc" < "b").
#include <QString>

struct sqlite3;

namespace dbe {

inline constexpr const char* kDateFunction = "dbe_date";
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
// defined with the spellings (spellingtable.cpp).
bool hasNonAsciiCase(const QString& text);
// Every spelling of text equal to it under DBE_NOCASE that differs in the case of its letters
// outside ASCII (ASCII case is left to NOCASE), text itself first; only text itself when there
// would be more than max.
QStringList caseSpellings(const QString& text, int max);

namespace detail {
void registerValueFunctions(sqlite3* db);
}

}  // namespace dbe
