#pragma once
// How the dialect compares, sorts and computes the values whose stored forms SQLite would take
// literally. Dates: every stored form of a date compares, sorts, groups and subtracts as that date,
// through its day number (dbe_date). Texts: without regard to the case of any letter, not only the
// ASCII ones. Yes/no: any value but 0 is True. Currency: added exactly. A text compared with a date
// or a number is read as one (a literal at once, by the engine's rules; 3464 when it is none).
// The emitter calls these for every comparison, sort key and + or -; they return SQLite SQL.
//
// Indexes stay usable where they matter: a text column compared with a literal keeps SQLite's
// NOCASE comparison (a literal with accented letters becomes the list of its spellings), a date
// column equal to a date literal becomes the list of the date's stored forms, and two date columns
// are first compared as stored, so that a join over texts and dates is still answered from the
// index on its texts.
#include "emitter.h"

#include <QSet>

namespace dbe::dialect {

// The ON condition of a join being written: the source the join adds, and its text fields that
// are looked up by the spellings of the other side (those an index of the source seeks on).
struct JoinCondition {
    int innerSource = -1;
    QSet<int> lookups;  // column numbers in the source's table
};

// join: null outside an ON condition. Two text fields equal across tables become "inner IN every
// spelling of outer" (dbe_spellings), which the inner table's NOCASE index answers also when the
// two differ in the case of accented letters.
QString comparisonSql(const Value& a, const QString& op, const Value& b, const JoinCondition* join = nullptr);
QString betweenSql(const Value& a, const Value& lo, const Value& hi, bool negated);
QString inListSql(const Value& a, const QVector<Value>& items, bool negated);
// The left side of "a IN (SELECT key ...)" with its comparison rule, and through *keySql the key the
// subquery must select.
QString inSelectLeftSql(const Value& a, const Value& key, QString* keySql);

// The SQL by which v is sorted, grouped, told apart by DISTINCT or taken by MIN and MAX.
QString sortKeySql(const Value& v);
// a + b or a - b when a date or currency takes part (*out filled, true); false otherwise.
bool arithmeticSql(const Value& a, const QString& op, const Value& b, Value* out);
// SUM(a): exact for currency; empty when the ordinary sum applies.
QString sumSql(const Value& a);
// UCASE and LCASE of every letter.
QString caseSql(const Value& a, bool upper);

}  // namespace dbe::dialect
