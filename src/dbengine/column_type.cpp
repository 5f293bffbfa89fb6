#include "column_type.h"

#include "dbengine/db_types.h"

#include <QHash>
#include <QRegularExpression>

namespace dbe {

bool isValidType(int type)
{
    switch (type) {
    case dbBoolean:
    case dbByte:
    case dbInteger:
    case dbLong:
    case dbCurrency:
    case dbSingle:
    case dbDouble:
    case dbDate:
    case dbBinary:
    case dbText:
    case dbLongBinary:
    case dbMemo:
    case dbGUID:
    case dbDecimal: return true;
    default: return false;
    }
}

}  // namespace dbe

namespace dbe::detail {

QString declaredType(short type, qint32 size)
{
    switch (type) {
    case dbBoolean: return QStringLiteral("YESNO");
    case dbByte: return QStringLiteral("BYTE");
    case dbInteger: return QStringLiteral("SHORT");
    case dbLong: return QStringLiteral("LONG");
    case dbCurrency: return QStringLiteral("CURRENCY");
    case dbSingle: return QStringLiteral("SINGLE");
    case dbDouble: return QStringLiteral("DOUBLE");
    case dbDate: return QStringLiteral("DATETIME");
    case dbBinary: return QStringLiteral("BINARY(%1)").arg(size > 0 ? size : 255);
    case dbText: return QStringLiteral("TEXT(%1) COLLATE NOCASE").arg(size > 0 ? size : 255);
    case dbLongBinary: return QStringLiteral("LONGBINARY");
    case dbMemo: return QStringLiteral("LONGTEXT COLLATE NOCASE");
    case dbGUID: return QStringLiteral("GUID");
    case dbDecimal: return QStringLiteral("DECIMAL(18,0)");
    default: return QString();
    }
}

qint32 fixedSize(short type)
{
    switch (type) {
    case dbBoolean:
    case dbByte: return 1;
    case dbInteger: return 2;
    case dbLong:
    case dbSingle: return 4;
    case dbCurrency:
    case dbDouble:
    case dbDate: return 8;
    case dbGUID:
    case dbDecimal: return 16;
    default: return 0;  // memo, long binary; text and binary have their own
    }
}

qint32 defaultAttributes(short type, bool autoIncrement)
{
    if (autoIncrement)
        return dbFixedField | dbAutoIncrField;
    switch (type) {
    case dbText:
    case dbMemo:
    case dbBinary:
    case dbLongBinary: return dbVariableField;
    default: return dbFixedField;
    }
}

ColumnType parseDeclaredType(const QString& declared)
{
    QString d = declared.trimmed().toUpper();
    d.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
    // Base name and the first number in parentheses, if any.
    const int paren = d.indexOf(QLatin1Char('('));
    const QString base = (paren >= 0 ? d.left(paren) : d).trimmed();
    int arg = -1;
    if (paren >= 0) {
        const QString inner = d.mid(paren + 1).section(QLatin1Char(')'), 0, 0);
        bool ok = false;
        const int n = inner.section(QLatin1Char(','), 0, 0).trimmed().toInt(&ok);
        if (ok)
            arg = n;
    }
    auto textOrMemo = [&]() -> ColumnType {
        if (arg >= 1 && arg <= 255)
            return {dbText, arg, false};
        return {dbMemo, 0, false};
    };

    static const QHash<QString, short> exact = {
        {QStringLiteral("YESNO"), dbBoolean},
        {QStringLiteral("BIT"), dbBoolean},
        {QStringLiteral("BOOLEAN"), dbBoolean},
        {QStringLiteral("BOOL"), dbBoolean},
        {QStringLiteral("LOGICAL"), dbBoolean},
        {QStringLiteral("BYTE"), dbByte},
        {QStringLiteral("TINYINT"), dbByte},
        {QStringLiteral("SHORT"), dbInteger},
        {QStringLiteral("SMALLINT"), dbInteger},
        {QStringLiteral("LONG"), dbLong},
        {QStringLiteral("INT"), dbLong},
        {QStringLiteral("INTEGER"), dbLong},
        {QStringLiteral("CURRENCY"), dbCurrency},
        {QStringLiteral("MONEY"), dbCurrency},
        {QStringLiteral("SINGLE"), dbSingle},
        {QStringLiteral("FLOAT4"), dbSingle},
        {QStringLiteral("DOUBLE"), dbDouble},
        {QStringLiteral("FLOAT"), dbDouble},
        {QStringLiteral("FLOAT8"), dbDouble},
        {QStringLiteral("REAL"), dbDouble},
        {QStringLiteral("DOUBLE PRECISION"), dbDouble},
        {QStringLiteral("DATETIME"), dbDate},
        {QStringLiteral("DATE"), dbDate},
        {QStringLiteral("TIME"), dbDate},
        {QStringLiteral("TIMESTAMP"), dbDate},
        {QStringLiteral("LONGBINARY"), dbLongBinary},
        {QStringLiteral("BLOB"), dbLongBinary},
        {QStringLiteral("IMAGE"), dbLongBinary},
        {QStringLiteral("OLEOBJECT"), dbLongBinary},
        {QStringLiteral("LONGTEXT"), dbMemo},
        {QStringLiteral("MEMO"), dbMemo},
        {QStringLiteral("NOTE"), dbMemo},
        {QStringLiteral("CLOB"), dbMemo},
        {QStringLiteral("GUID"), dbGUID},
        {QStringLiteral("UNIQUEIDENTIFIER"), dbGUID},
        {QStringLiteral("DECIMAL"), dbDecimal},
        {QStringLiteral("NUMERIC"), dbDecimal},
        {QStringLiteral("DEC"), dbDecimal},
    };
    if (base == QLatin1String("COUNTER") || base == QLatin1String("AUTOINCREMENT"))
        return {dbLong, 4, true};
    if (base == QLatin1String("BINARY") || base == QLatin1String("VARBINARY"))
        return {dbBinary, arg >= 1 && arg <= 255 ? arg : 255, false};
    if (base == QLatin1String("TEXT") || base == QLatin1String("VARCHAR") || base == QLatin1String("CHAR")
        || base == QLatin1String("NVARCHAR") || base == QLatin1String("NCHAR") || base == QLatin1String("CHARACTER")
        || base == QLatin1String("STRING"))
        return textOrMemo();
    const auto it = exact.find(base);
    if (it != exact.end())
        return {*it, fixedSize(*it), false};
    if (base.isEmpty())
        return {dbMemo, 0, false};
    // Anything else by SQLite's own affinity rules.
    if (base.contains(QLatin1String("INT")))
        return {dbLong, 4, false};
    if (base.contains(QLatin1String("CHAR")) || base.contains(QLatin1String("CLOB"))
        || base.contains(QLatin1String("TEXT")))
        return textOrMemo();
    if (base.contains(QLatin1String("BLOB")))
        return {dbLongBinary, 0, false};
    return {dbDouble, 8, false};
}

}  // namespace dbe::detail
