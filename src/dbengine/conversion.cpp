#include "dbengine/conversion.h"

#include "impl_access.h"
#include "connection.h"
#include "conn_state.h"
#include "dbengine/database.h"
#include "dbengine/db_types.h"
#include "value_functions.h"
#include "values.h"

#include <cstring>
#include <sqlite3.h>

namespace dbe {

QVariant ConvertValue(const QVariant& value, short type)
{
    const QVariant stored = detail::toStorage(value, type);
    if (!stored.isValid() || stored.isNull())
        return QVariant();
    switch (type) {
    case dbBoolean: return stored.toLongLong() != 0;
    case dbByte:
    case dbInteger:
    case dbLong: return stored.toLongLong();
    case dbCurrency:
    case dbSingle:
    case dbDouble:
    case dbDecimal: return stored.toDouble();
    case dbDate: return detail::dateFromStorage(stored.toString());
    case dbText:
    case dbMemo:
    case dbGUID: return stored.toString();
    default: return stored;
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
    case QMetaType::QByteArray: return true;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
    case QMetaType::Bool: return false;
    default: {
        bool ok = false;
        const double n = stored.toDouble(&ok);
        return !ok || readStoredNumber(n, type, &d) == Reading::Unreadable;
    }
    }
}

QVector<qint64> CountUnreadable(const Database& db, const QString& table, const QStringList& fields)
{
    QVector<qint64> counts(fields.size(), 0);
    const auto d = detail::implOf(db);
    if (!d)
        throw DbError::make(err::ObjectInvalid);
    const detail::TableInfo* info = d->tableInfo(table);
    if (!info)
        throw DbError::make(err::InputTableNotFound, {table});
    // The census aggregate (value_functions.h) takes all the fields in one call a record (60 a
    // call, within SQLite's limit of arguments): its word for each field holds twice the count of
    // unreadable values.
    constexpr int kPerCall = 60;
    QStringList calls, args;
    QVector<int> asked;  // the position in fields of each field read
    for (int i = 0; i < fields.size(); ++i) {
        const int f = info->fieldIndex(fields[i]);
        if (f < 0)
            throw DbError::make(err::ItemNotFound);
        const detail::FieldInfo& field = info->fields[f];
        if (!hasReading(field.type))
            continue;
        // A field the join census read at the file's present version is counted already.
        if (const qint64 known = d->s->census.unreadableKnown(*d, *info, f); known >= 0) {
            counts[i] = known;
            continue;
        }
        args << QString::number(field.type) << detail::quoteId(field.name);
        asked << i;
        if (args.size() == 2 * kPerCall) {
            calls << QStringLiteral("%1(%2)").arg(QLatin1String(kCensusFunction), args.join(QStringLiteral(", ")));
            args.clear();
        }
    }
    if (!args.isEmpty())
        calls << QStringLiteral("%1(%2)").arg(QLatin1String(kCensusFunction), args.join(QStringLiteral(", ")));
    if (calls.isEmpty())
        return counts;
    detail::Stmt st = d->prepare(QStringLiteral("SELECT ") + calls.join(QStringLiteral(", ")) + QStringLiteral(" FROM ")
                                 + detail::quoteId(info->name));
    if (!st.step(*d))
        return counts;
    for (int c = 0; c < calls.size(); ++c) {
        const int n = qMin<int>(kPerCall, int(asked.size()) - c * kPerCall);
        const auto* blob = static_cast<const char*>(sqlite3_column_blob(st, c));
        if (!blob || sqlite3_column_bytes(st, c) != n * int(sizeof(qint64)))
            continue;  // no record
        for (int k = 0; k < n; ++k) {
            qint64 word = 0;
            std::memcpy(&word, blob + k * sizeof(qint64), sizeof word);
            counts[asked[c * kPerCall + k]] = word >> 1;
        }
    }
    return counts;
}

}  // namespace dbe
