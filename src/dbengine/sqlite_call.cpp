#include "sqlite_call.h"

#include <sqlite3.h>

namespace dbe::detail {

QVariant fromSqlite(sqlite3_value* v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return qint64(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return sqlite3_value_double(v);
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
    case SQLITE_BLOB: {
        const auto* p = static_cast<const char*>(sqlite3_value_blob(v));
        return QByteArray(p ? p : "", sqlite3_value_bytes(v));
    }
    default: return QVariant();
    }
}

void resultValue(sqlite3_context* ctx, const QVariant& value)
{
    if (value.isNull()) {
        sqlite3_result_null(ctx);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong: sqlite3_result_int64(ctx, value.toLongLong()); break;
    case QMetaType::Double: sqlite3_result_double(ctx, value.toDouble()); break;
    case QMetaType::QByteArray: {
        const QByteArray b = value.toByteArray();
        sqlite3_result_blob64(ctx, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
        break;
    }
    default: {
        const QByteArray t = value.toString().toUtf8();
        sqlite3_result_text64(ctx, t.constData(), sqlite3_uint64(t.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    }
}

void resultError(sqlite3_context* ctx, const DbError& e)
{
    const QByteArray m = QStringLiteral("DBE%1:%2").arg(e.number()).arg(e.description()).toUtf8();
    sqlite3_result_error(ctx, m.constData(), int(m.size()));
}

void callScalar(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    const auto fn = reinterpret_cast<ScalarFunction>(sqlite3_user_data(ctx));
    QVector<QVariant> args;
    args.reserve(argc);
    for (int i = 0; i < argc; ++i)
        args.append(fromSqlite(argv[i]));
    try {
        resultValue(ctx, fn(args));
    } catch (const DbError& e) {
        // Errors may not cross SQLite: the statement fails with this one.
        resultError(ctx, e);
    }
}

}  // namespace dbe::detail
