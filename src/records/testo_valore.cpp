#include "testo_valore.h"

#include "dbengine/db_types.h"
#include "dbengine/date_value.h"
#include "dbengine/number_text.h"

#include <QDateTime>
#include <QLocale>

namespace corvale {

QString TestoValore(const QVariant& valore)
{
    if (valore.isNull() || !valore.isValid())
        return QString();
    switch (valore.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = valore.toDateTime();
        if (dbe::isTimeOnly(dt))  // a time stored alone (day 0): the time only, as it was written
            return dt.toString(QStringLiteral("HH:mm:ss"));
        if (dt.time() == QTime(0, 0))
            return dt.toString(QStringLiteral("dd/MM/yyyy"));
        return dt.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    }
    case QMetaType::QDate: return valore.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case QMetaType::Bool: return valore.toBool() ? QStringLiteral("Vero") : QStringLiteral("Falso");
    case QMetaType::Double:
    case QMetaType::Float:
        // With a decimal comma, as the engine's number rule reads it back.
        return QString::number(valore.toDouble(), 'g', QLocale::FloatingPointShortest)
            .replace(u'.', u',')
            .replace(u'e', u'E');
    case QMetaType::QByteArray: return QStringLiteral("(dati binari)");
    default: return valore.toString();
    }
}

QVariant ValoreDaTesto(const QString& testo, short tipo, bool* ok)
{
    *ok = true;
    const QString t = testo.trimmed();
    if (testo.isEmpty() || (t.isEmpty() && tipo != dbe::dbText && tipo != dbe::dbMemo))
        return QVariant();
    switch (tipo) {
    case dbe::dbText:
    case dbe::dbMemo:
    case dbe::dbGUID: return testo;
    case dbe::dbBoolean: {
        const QString l = t.toLower();
        if (l == QLatin1String("vero") || l == QLatin1String("sì") || l == QLatin1String("si")
            || l == QLatin1String("true") || l == QLatin1String("-1") || l == QLatin1String("1"))
            return true;
        if (l == QLatin1String("falso") || l == QLatin1String("no") || l == QLatin1String("false")
            || l == QLatin1String("0"))
            return false;
        break;
    }
    case dbe::dbByte:
    case dbe::dbInteger:
    case dbe::dbLong:
    case dbe::dbCurrency:
    case dbe::dbSingle:
    case dbe::dbDouble:
    case dbe::dbDecimal: {
        double v = 0;
        if (dbe::parseItalianNumber(t, &v))
            return v;  // the field's own conversion rounds it for the whole-number types
        break;
    }
    case dbe::dbDate: {
        // The engine's own reading of a typed date, so that the grid takes exactly what a query
        // or a record set would write, and nothing it could not read back.
        const QDateTime dt = dbe::dateFromItalianText(t);
        if (dt.isValid())
            return dt;
        break;
    }
    default: break;
    }
    *ok = false;
    return QVariant();
}

}  // namespace corvale
