#pragma once
// ConvertValue: what a field of a given type holds once a value is written into it, read back as
// the engine reads that field. It is the conversion every write makes (record sets, INSERT and
// UPDATE statements), text read as a number or a date by the same rule, so callers that must know
// a value's fate before writing it (a field rebuilt with another type) get the engine's answer,
// not one of their own. Changes nothing.
//
// StoredValueUnreadable tells, for a value as a column holds it (as the engine's record sets read
// it back when no rule reads it: the text, the number or the bytes as stored), whether no rule of
// the field's type reads it (value_functions.h: dates, numbers under the Italian rule, yes/no).
// CountUnreadable counts such values in the fields of a table, in one pass over it.
#include "db_error.h"

#include <QStringList>
#include <QVariant>
#include <QVector>

namespace dbe {

// Null stays Null. Text, memo and GUID give QString, dates QDateTime, yes/no bool, byte, integer
// and long qint64, currency, single, double and decimal double (a single's value as stored:
// the double nearest to the float), binary QByteArray. Raises 3464 when the value does not
// convert, 3349 when a number is out of the type's range.
QVariant ConvertValue(const QVariant& value, short type);

// True when stored is not Null and no rule of the field type reads it: "abc" or "12.5" in a number
// field, "domani" or a day number beyond year 9999 in a date field, "forse" in a yes/no field. Text,
// memo, binary and GUID fields hold no unreadable value. The SQL function dbe_unreadable(value,
// type) answers the same inside a query.
bool StoredValueUnreadable(const QVariant& stored, short type);

class Database;

// For each of fields (names of table's fields), how many of its values are unreadable as above,
// counted in one read of the table (or of an index that holds every field asked: SQLite's choice).
// The values in the engine's own stored forms are told apart before the reading, so only the
// others reach it; a field without a reading counts 0 and costs nothing, and a date field that a
// join's census already counted at the file's present data version is not read again. Changes
// nothing. Raises 3078 for a missing table, 3265 for a missing field.
QVector<qint64> CountUnreadable(const Database& db, const QString& table, const QStringList& fields);

}  // namespace dbe
