#include "conversion.h"

#include "dbtypes.h"
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

}  // namespace dbe
