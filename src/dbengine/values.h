#pragma once
// How values are stored in the archive's columns and read back, and the rules a value must meet
// to be written into a field (size, zero length, required). Shared by record sets, statements and
// the dbe_fit() SQL function, so that every path converts and checks alike.
#include "connection.h"

#include <QDateTime>
#include <QVariant>

namespace dbe::detail {

// Converts a value for a field of that type into its storage form (text for text/memo/date/GUID,
// integer for yes/no (-1/0), byte, integer, long, real for single/double, currency as real,
// blob for binary). Null stays null. Raises 3464 when it does not convert.
QVariant toStorage(const QVariant& value, short type);
// Raises 3163 (too long for the field's size), 3315 (empty text not allowed), 3314 (Null in a
// required field). value is in storage form.
void checkRules(const FieldInfo& field, const QVariant& storedValue);
// Binds a storage-form value.
void bind(sqlite3_stmt* stmt, int index, const QVariant& storedValue);
// Reads column col of the current row as a field of that type: Null → null QVariant, dates →
// QDateTime, yes/no → bool, numbers → qint64/double, text → QString, binary → QByteArray.
QVariant readValue(sqlite3_stmt* stmt, int col, short type);
// The storage text of a date: "yyyy-MM-dd HH:mm:ss".
QString dateToStorage(const QDateTime& dt);
QDateTime dateFromStorage(const QString& text);  // invalid QDateTime when it is no date

}  // namespace dbe::detail
