#pragma once
// The table function dbe_spellings(x): one row (column value) for every spelling of the text x that
// DBE_NOCASE holds equal to it and SQLite's NOCASE does not (its letters outside ASCII in either
// case), x itself first; a text of ASCII only, a number or Null gives one row, x itself. So
// "col COLLATE NOCASE IN (SELECT value FROM dbe_spellings(x))" compares col with x as DBE_NOCASE
// does, is answered from a NOCASE index on col, and is Null when x is Null.
struct sqlite3;

namespace dbe {

inline constexpr const char* kSpellingsTable = "dbe_spellings";

namespace detail {
void registerSpellingTable(sqlite3* db);
}

}  // namespace dbe
