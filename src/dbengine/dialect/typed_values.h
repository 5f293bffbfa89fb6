#pragma once
// How the dialect compares, sorts and computes the values whose stored forms SQLite would take
// literally. Every value of a date, number or yes/no field is read by its field's type, by the one
// reading of value_functions.h (dbe_date, dbe_number, dbe_yesno): every stored form of a date
// compares, sorts, groups and subtracts as that date; a number stored as text under the Italian
// rule as that number; a yes/no as -1 or 0, Null as False. A value no rule reads matches nothing
// in a comparison, sorts after every readable value, and raises 3464 in arithmetic. Texts compare
// without regard to the case of any letter, not only the ASCII ones. Currency: added exactly. A
// text compared with a date or a number is read as one (a literal at once, by the engine's rules;
// 3464 when it is none). The emitter calls these for every comparison, condition, sort key, LIKE
// subject and arithmetic operator; they return SQLite SQL.
//
// Indexes stay usable where they matter: a text column compared with a literal keeps SQLite's
// NOCASE comparison (a literal with accented letters becomes the list of its spellings); a date
// column equal to a date literal becomes the ranges of the stored forms that begin with that day
// ("yyyy-MM-dd..", "yyyy/MM/dd..", the day numbers) with an exact reading of each value found; a
// number column compared with a constant compares the values stored as numbers as they are and
// reads only those stored as text; two number columns of different tables equal when one is looked
// up under the other's number and the texts of its field that read as it (dbe_numberforms); two
// date columns are
// first compared as stored, so that a join over texts and dates is still answered from the index
// on its texts.
#include "emitter.h"

#include <QSet>
#include <functional>

namespace dbe::dialect {

// The ON condition of a join being written: the source the join adds, and its text and number
// fields that are looked up by the spellings or stored forms of the other side (those an index of
// the source seeks on).
struct JoinCondition {
    int innerSource = -1;
    QSet<int> lookups;  // column numbers in the source's table
    // The text fields among the lookups when there are two or more (at most four) that are not
    // both plain, each with the value of the other side it equals: they are looked up together
    // (dbe_keyrows), so that the records tried are those the table holds under those keys, reached
    // by their rowid, not every combination of each field's spellings.
    struct Key {
        int column = -1;
        QString innerSql, outerSql;
    };
    QVector<Key> keys;
    QString keysTable;  // the source's table, as stored
    QString keysRowid;  // the source's rowid, as the query reaches it
    QStringList keysFields;  // the keys' fields, as stored
    // Whether two columns compared hold plain values only, so that the comparison may be written
    // as stored; when it answers true, the statement assumes it (Emitter::assumePlain).
    std::function<bool(const Value&, const Value&)> plain;
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

// The SQL by which v is sorted, grouped or told apart by DISTINCT (a value no rule reads after
// every readable one).
QString sortKeySql(const Value& v);
// The SQL of v's reading that MIN and MAX take (a value no rule reads is left out, as Null).
QString valueKeySql(const Value& v);
// v used as a condition (WHERE B, NOT B): a yes/no or number field true when its reading is not 0.
QString conditionSql(const Value& v);
// What LIKE matches of v: a date as it is shown, a number with a decimal comma.
QString likeSubjectSql(const Value& v);
// v as an operand of arithmetic: read as a number, a text literal at once (3464 when it is none),
// any other text when the query runs (3464 likewise).
QString arithmeticOperandSql(const Value& v);
// a + b, a - b or a * b (*out filled, true): a date moved by a number or two dates subtracted,
// currency added exactly, anything else read as numbers; false for other operators.
bool arithmeticSql(const Value& a, const QString& op, const Value& b, Value* out);
// SUM(a): exact for currency; empty when the ordinary sum (of valueKeySql) applies.
QString sumSql(const Value& a);
// UCASE and LCASE of every letter.
QString caseSql(const Value& a, bool upper);

}  // namespace dbe::dialect
