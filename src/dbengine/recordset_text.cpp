#include "dbengine/recordset_text.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>

namespace dbe {

namespace {

QString oneLine(QString text)
{
    for (QChar& c : text)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    return text;
}

QString numberText(double d)
{
    if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15)
        return QString::number(qint64(d));
    return QString::number(d, 'g', QLocale::FloatingPointShortest);
}

}  // namespace

QString valueText(const QVariant& value)
{
    if (value.isNull() || !value.isValid())
        return QString();
    switch (value.typeId()) {
    case QMetaType::QDateTime: return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case QMetaType::QDate: return value.toDate().toString(QStringLiteral("yyyy-MM-dd 00:00:00"));
    case QMetaType::Bool: return value.toBool() ? QStringLiteral("-1") : QStringLiteral("0");
    case QMetaType::Double:
    case QMetaType::Float: return numberText(value.toDouble());
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar: return QString::number(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar: return QString::number(value.toULongLong());
    case QMetaType::QByteArray: return QString::fromLatin1(value.toByteArray().toHex());
    default: return oneLine(value.toString());
    }
}

qint64 writeRecords(Recordset& records, QTextStream& out)
{
    const int n = records.FieldCount();
    for (int i = 0; i < n; ++i) {
        if (i)
            out << '\t';
        out << records.FieldName(i);
    }
    out << '\n';
    qint64 count = 0;
    if (records.RecordCount() == 0)
        return 0;
    records.MoveFirst();
    while (!records.Eof()) {
        for (int i = 0; i < n; ++i) {
            if (i)
                out << '\t';
            out << valueText(records.Value(i));
        }
        out << '\n';
        ++count;
        records.MoveNext();
    }
    return count;
}

}  // namespace dbe
