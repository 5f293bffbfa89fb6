#pragma once
// ConvertValue: what a field of a given type holds once a value is written into it, read back as
// the engine reads that field. It is the conversion every write makes (record sets, INSERT and
// UPDATE statements), text read as a number or a date by the same rule, so callers that must know
// a value's fate before writing it (a field rebuilt with another type) get the engine's answer,
// not one of their own. Changes nothing.
#include "dberror.h"

#include <QVariant>

namespace dbe {

// Null stays Null. Text, memo and GUID give QString, dates QDateTime, yes/no bool, byte, integer
// and long qint64, currency, single, double and decimal double (a single's value as stored:
// the double nearest to the float), binary QByteArray. Raises 3464 when the value does not
// convert, 3349 when a number is out of the type's range.
QVariant ConvertValue(const QVariant& value, short type);

}  // namespace dbe
