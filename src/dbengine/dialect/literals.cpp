#include "literals.h"

#include "dbengine/db_types.h"

#include <QDate>
#include <QHash>
#include <QRegularExpression>
#include <QTime>

namespace dbe::dialect {

QString dateLiteralToStorage(const QString& text)
{
    static const QRegularExpression full(
        QStringLiteral(
            R"(^\s*(?:(\d{1,4})([/-])(\d{1,2})(?:\2(\d{1,4}))?)?\s*(?:(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?\s*(AM|PM|A|P)?)?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = full.match(text);
    if (!m.hasMatch())
        return QString();
    const bool hasDate = !m.captured(1).isEmpty();
    const bool hasTime = !m.captured(5).isEmpty();
    if (!hasDate && !hasTime)
        return QString();
    QDate date(1899, 12, 30);
    if (hasDate) {
        const QString a = m.captured(1), b = m.captured(3), c = m.captured(4);
        if (c.isEmpty())
            return QString();  // a day without a year is not taken
        int year, month, day;
        if (a.size() >= 3) {  // yyyy-mm-dd
            if (c.size() > 2)
                return QString();
            year = a.toInt();
            month = b.toInt();
            day = c.toInt();
        } else {  // mm/dd/yyyy
            if (c.size() == 3)
                return QString();
            month = a.toInt();
            day = b.toInt();
            year = c.toInt();
            if (c.size() <= 2)
                year += year < 30 ? 2000 : 1900;
        }
        date = QDate(year, month, day);
        if (!date.isValid() || year < 100)
            return QString();
    }
    QTime time(0, 0, 0);
    if (hasTime) {
        int h = m.captured(5).toInt();
        const int mi = m.captured(6).toInt();
        const int s = m.captured(7).isEmpty() ? 0 : m.captured(7).toInt();
        const QString ampm = m.captured(8).toUpper();
        if (!ampm.isEmpty()) {
            if (h < 1 || h > 12)
                return QString();
            if (ampm.startsWith(u'P') && h != 12)
                h += 12;
            else if (ampm.startsWith(u'A') && h == 12)
                h = 0;
        }
        time = QTime(h, mi, s);
        if (!time.isValid())
            return QString();
    }
    return date.toString(QStringLiteral("yyyy-MM-dd")) + u' ' + time.toString(QStringLiteral("HH:mm:ss"));
}

bool lookupTypeName(const QString& name, TypeName* out)
{
    struct Entry {
        short type;
        qint32 size;
        bool autoIncrement;
        bool sized;
    };
    static const QHash<QString, Entry> types = [] {
        QHash<QString, Entry> t;
        auto add = [&t](std::initializer_list<const char*> names, Entry e) {
            for (const char* n : names)
                t.insert(QString::fromLatin1(n), e);
        };
        add({"TEXT", "CHAR", "VARCHAR", "STRING", "CHARACTER", "ALPHANUMERIC"}, {dbText, 255, false, true});
        add({"MEMO", "LONGTEXT", "NOTE", "LONGCHAR"}, {dbMemo, 0, false, false});
        add({"BYTE", "TINYINT", "INTEGER1"}, {dbByte, 1, false, false});
        add({"SHORT", "SMALLINT", "INTEGER2"}, {dbInteger, 2, false, false});
        add({"LONG", "INT", "INTEGER", "INTEGER4"}, {dbLong, 4, false, false});
        add({"COUNTER", "AUTOINCREMENT", "IDENTITY"}, {dbLong, 4, true, false});
        add({"SINGLE", "REAL", "FLOAT4", "IEEESINGLE"}, {dbSingle, 4, false, false});
        add({"DOUBLE", "FLOAT", "FLOAT8", "NUMBER", "IEEEDOUBLE"}, {dbDouble, 8, false, false});
        add({"CURRENCY", "MONEY"}, {dbCurrency, 8, false, false});
        add({"DATETIME", "DATE", "TIME", "TIMESTAMP"}, {dbDate, 8, false, false});
        add({"YESNO", "BIT", "LOGICAL", "LOGICAL1", "BOOLEAN"}, {dbBoolean, 1, false, false});
        add({"BINARY", "VARBINARY"}, {dbBinary, 255, false, true});
        add({"LONGBINARY", "OLEOBJECT", "IMAGE", "GENERAL"}, {dbLongBinary, 0, false, false});
        add({"GUID", "UNIQUEIDENTIFIER"}, {dbGUID, 16, false, false});
        add({"DECIMAL", "NUMERIC", "DEC"}, {dbDecimal, 16, false, false});
        return t;
    }();
    const auto it = types.constFind(name.toUpper());
    if (it == types.constEnd())
        return false;
    out->type = it->type;
    out->size = it->size;
    out->autoIncrement = it->autoIncrement;
    out->sized = it->sized;
    return true;
}

}  // namespace dbe::dialect
