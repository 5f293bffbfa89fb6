#pragma once
// The spellings of a text, and the table functions that look up what a text, a number or the keys
// of a record stand for in a table.
//
// Two texts are equal under DBE_NOCASE when they are equal letter by letter after folding the
// case (value_functions.h). SQLite's NOCASE, which the archive's indexes use, folds ASCII letters
// only; a text whose other letters have a case is therefore looked up under each of its
// spellings, the texts that differ from it only in the case of those letters.
//
// dbe_spellings(x [, table, column]): one row (column value) for every text that a NOCASE look-up
// must try so that "col COLLATE NOCASE IN (SELECT value FROM dbe_spellings(x, 'T', 'col'))"
// holds exactly when col equals x under DBE_NOCASE, for any x, answered from a NOCASE index on
// col; Null when x is Null. A text of ASCII only, a number or Null gives one row, x itself; a
// text with few spellings (kRangeSpellings with the table and column, else kListedSpellings)
// gives them all, x first. A text with more, given the table and column, gives the values of
// table.column equal to it under DBE_NOCASE: the NOCASE index is read over the range of each
// spelling of the text's longest beginning with at most kRangeSpellings of them, and each record
// found is compared whole. Rather than read ranges for every text, the column's values with many
// spellings are read once and kept on the connection (8 bytes each; within a bound of 16 MB for
// the columns a NOCASE index leads, which can still be read by ranges; always for those it does
// not lead, which have no range to read) until the file's data version or the connection's count
// of changed records moves, so that a look-up never answers from values older than the file. Without table and column
// such a text gives only itself.
#include <QString>
#include <QStringList>

struct sqlite3;

namespace dbe {

inline constexpr const char* kSpellingsTable = "dbe_spellings";
// dbe_numberforms(x [, table, column]): the stored forms of a number, for "col IN (SELECT value
// FROM dbe_numberforms(x, 'T', 'col'))", which holds exactly when col's reading equals x's (both
// read as numbers, texts under the Italian rule): one row, x's number, then, given the table and
// column, every text of table.column that reads as that number ('37,0', '37,00', '1.234,5'); no
// row when x is Null or no number. The texts are read once per data version, as above.
inline constexpr const char* kNumberFormsTable = "dbe_numberforms";

// dbe_keyrows(table, column1, x1 [, column2, x2, ... up to four]): the records of T whose fields
// may equal x1, x2, ... together under DBE_NOCASE, by their rowids, for "T.rowid IN (SELECT r FROM
// dbe_keyrows('T', 'col1', x1, 'col2', x2)) AND <each col compared with its x under DBE_NOCASE>":
// every record whose keys equal them, and perhaps records whose folded keys only share their hash,
// which the comparisons leave out; no row when an x is Null. The records of T whose keys hold a
// byte outside ASCII are read once and kept, 8 bytes each (the hash of their folded keys above the
// rowid), within kKeyEntries for all tables (the other tables' are dropped to make room for one's),
// on the terms of dbe_spellings above; the others are found by a NOCASE look-up of the folded keys,
// when those are all ASCII. A table beyond that bound, or whose rowids do not fit in 32 bits or
// whose keys are not valid UTF-8, and keys that are not all texts, are looked up as each column's
// dbe_spellings in every combination of them. Unlike looking up each column by its spellings, the
// number of look-ups does not grow with the product of the spellings that the columns hold, and a
// record is reached by its rowid, next to the records entered with it, rather than through each
// spelling of its keys in an index.
inline constexpr const char* kKeyRowsTable = "dbe_keyrows";
inline constexpr int kKeyRowsColumns = 4;

// At most this many spellings are listed without the table and column; with them, beyond
// kRangeSpellings the table's index is read over that many ranges instead (which costs less than
// looking up every spelling: a key of six accented letters has 64).
inline constexpr int kListedSpellings = 128;
inline constexpr int kRangeSpellings = 8;

// The letters equal to c under DBE_NOCASE, c first: its other cases for a letter outside ASCII
// that has them (every letter whose folded case is c's), only c for anything else.
QVector<char32_t> sameLetters(char32_t c);

// The spellings of the longest beginning of text that has at most max of them, text's own first;
// *covered is that beginning's length (text.size() when the spellings are text's whole ones).
QStringList spellingsOfPrefix(const QString& text, int max, qsizetype* covered);

namespace detail {
void registerSpellingTable(sqlite3* db);
}

}  // namespace dbe
