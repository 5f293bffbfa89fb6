#pragma once
// The dialect's LIKE patterns (* any text, ? one character, # one digit, [abc] [a-z] [!x]
// character lists, letters matched without regard to case) turned into a SQLite condition. A
// pattern that only uses * and ? becomes a LIKE, which SQLite can still answer from a NOCASE
// index; one with # or a character list becomes a GLOB whose letters are given in both cases.
#include <QString>

namespace dbe::dialect {

// The SQLite condition "subject matches pattern" (negated: does not match) for a literal pattern.
// subject is SQL already. Returns an empty string when the pattern is malformed (an unclosed or
// empty character list).
QString likeCondition(const QString& subjectSql, const QString& pattern, bool negated);

// For a pattern that is not a literal (a column, an expression): matched when the query runs by
// dbe_like, with the same pattern language and every letter in either case.
QString likeConditionDynamic(const QString& subjectSql, const QString& patternSql, bool negated);

}  // namespace dbe::dialect
