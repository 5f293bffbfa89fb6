#include "conversion.h"

#include "dbtypes.h"
#include "valuefunctions.h"
#include "values.h"

namespace dbe {

QVariant ConvertValue(const QVariant& value, short type)
{
    const QVariant stored = detail::toStorage(value, type);
    if (!stored.isValid() || stored.isNull())
        return QVariant();
    switch (type) {
    case dbBoolean:
        return stored.toLongLong() != 0;
    case dbByte: case dbInteger: case dbLong:
        return stored.toLongLong();
    case dbCurrency: case dbSingle: case dbDouble: case dbDecimal:
        return stored.toDouble();
    case dbDate:
        return detail::dateFromStorage(stored.toString());
    case dbText: case dbMemo: case dbGUID:
        return stored.toString();
    default:
        return stored;
    }
}

bool StoredValueUnreadable(const QVariant& stored, short type)
{
    if (!stored.isValid() || stored.isNull() || !hasReading(type))
        return false;
    double d = 0;
    switch (stored.typeId()) {
    case QMetaType::QString: {
        const QByteArray utf8 = stored.toString().toUtf8();
        return readStoredText(utf8.constData(), int(utf8.size()), type, &d) == Reading::Unreadable;
    }
    case QMetaType::QByteArray:
        return true;
    case QMetaType::QDateTime: case QMetaType::QDate: case QMetaType::Bool:
        return false;
    default: {
        bool ok = false;
        const double n = stored.toDouble(&ok);
        return !ok || readStoredNumber(n, type, &d) == Reading::Unreadable;
    }
    }
}

}  // namespace dbe
