// Value storage and the rules of a field, and the dbe_fit() SQL function built on them.
#include "values.h"

#include "column_type.h"
#include "conn_state.h"
#include "dbengine/date_value.h"
#include "dbengine/db_types.h"
#include "math_text_functions.h"
#include "dbengine/number_text.h"
#include "query_functions.h"
#include "sqlite_call.h"
#include "value_functions.h"

#include <QLocale>
#include <QUuid>
#include <cmath>
#include <cstring>
#include <limits>
#include <sqlite3.h>

namespace dbe::detail {

namespace {

[[noreturn]] void mismatch() { throw DbError::make(err::TypeMismatch); }

bool isNullValue(const QVariant& v) { return !v.isValid() || v.isNull(); }

// A number from any value; false when it is none.
bool toNumber(const QVariant& v, double* out)
{
    switch (v.typeId()) {
    case QMetaType::Bool: *out = v.toBool() ? -1 : 0; return true;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Char:
    case QMetaType::UChar:
    case QMetaType::SChar: *out = v.toDouble(); return true;
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString t = v.toString().trimmed();
        double d = 0;
        bool ok = parseItalianNumber(t, &d);
        if (!ok) {
            if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
                || t.compare(QLatin1String("vero"), Qt::CaseInsensitive) == 0) {
                d = -1;
                ok = true;
            } else if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0
                       || t.compare(QLatin1String("falso"), Qt::CaseInsensitive) == 0) {
                d = 0;
                ok = true;
            }
        }
        *out = d;
        return ok;
    }
    default: return false;
    }
}

qint64 toWhole(const QVariant& v, qint64 lo, qint64 hi)
{
    if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int) {
        const qint64 n = v.toLongLong();
        if (n < lo || n > hi)
            throw DbError::make(err::NumericOverflow);
        return n;
    }
    double d = 0;
    if (!toNumber(v, &d) || !std::isfinite(d))
        mismatch();
    d = std::nearbyint(d);  // round half to even, as the original engine
    if (d < double(lo) || d > double(hi))
        throw DbError::make(err::NumericOverflow);
    return qint64(d);
}

const QDateTime kOleEpoch(QDate(1899, 12, 30), QTime(0, 0));

QDateTime toDate(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::QDateTime: return v.toDateTime();
    case QMetaType::QDate: return QDateTime(v.toDate(), QTime(0, 0));
    case QMetaType::QTime: return QDateTime(kOleEpoch.date(), v.toTime());
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QDateTime dt = dateFromItalianText(v.toString());
        if (dt.isValid())
            return dt;
        break;
    }
    default: {
        double d = 0;
        if (toNumber(v, &d) && serialInRange(d))
            return dateFromSerial(d);  // a day number
    }
    }
    mismatch();
}

}  // namespace

QString dateToStorage(const QDateTime& dt) { return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

QDateTime dateFromStorage(const QString& text) { return dateFromStoredText(text); }

QVariant toStorage(const QVariant& value, short type)
{
    if (isNullValue(value))
        return type == dbBoolean ? QVariant(qint64(0)) : QVariant();  // a yes/no is never Null
    switch (type) {
    case dbText:
    case dbMemo:
        switch (value.typeId()) {
        case QMetaType::QString: return value;
        case QMetaType::QByteArray: return QString::fromUtf8(value.toByteArray());
        case QMetaType::Bool: return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        case QMetaType::Double:
        case QMetaType::Float:
            // Written as the number rule reads it back: a decimal comma, no grouping.
            return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest)
                .replace(u'.', u',')
                .replace(u'e', u'E');
        case QMetaType::QDateTime: return dateToStorage(value.toDateTime());
        case QMetaType::QDate: return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
        case QMetaType::QUuid: return value.toUuid().toString().toUpper();
        default:
            if (value.canConvert<QString>())
                return value.toString();
            mismatch();
        }
    case dbBoolean: {
        double d = 0;
        if (!toNumber(value, &d))
            mismatch();
        return qint64(d != 0 ? -1 : 0);
    }
    case dbByte: return toWhole(value, 0, 255);
    case dbInteger: return toWhole(value, -32768, 32767);
    case dbLong: return toWhole(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max());
    case dbCurrency:
    case dbSingle:
    case dbDouble:
    case dbDecimal: {
        double d = 0;
        if (!toNumber(value, &d) || !std::isfinite(d))
            mismatch();
        if (type == dbCurrency)
            d = std::nearbyint(d * 10000.0) / 10000.0;
        else if (type == dbSingle)
            d = double(float(d));
        return d;
    }
    case dbDate: {
        const QDateTime dt = toDate(value);
        if (!dt.isValid())
            mismatch();
        return dateToStorage(dt);
    }
    case dbBinary:
    case dbLongBinary:
        if (value.typeId() == QMetaType::QByteArray)
            return value;
        if (value.typeId() == QMetaType::QString)
            return value.toString().toUtf8();
        mismatch();
    case dbGUID: {
        QUuid u;
        if (value.typeId() == QMetaType::QUuid)
            u = value.toUuid();
        else if (value.typeId() == QMetaType::QByteArray && value.toByteArray().size() == 16)
            u = QUuid::fromRfc4122(value.toByteArray());
        else
            u = QUuid::fromString(value.toString().trimmed().remove(QLatin1String("guid")).trimmed());
        if (u.isNull() && value.toString().trimmed() != QLatin1String("{00000000-0000-0000-0000-000000000000}"))
            mismatch();
        return u.toString(QUuid::WithBraces).toUpper();
    }
    default: return value;
    }
}

void checkRules(const FieldInfo& field, const QVariant& storedValue)
{
    if (isNullValue(storedValue)) {
        if (field.primaryKey)
            throw DbError::make(err::NullInPrimaryKey);
        if (field.required)
            throw DbError::make(err::NullInRequiredField, {field.name});
        return;
    }
    if (isTextType(field.type)) {
        const QString t = storedValue.toString();
        if (t.isEmpty() && !field.allowZeroLength)
            throw DbError::make(err::ZeroLengthNotAllowed, {field.name});
        if (field.type == dbText && field.size > 0 && t.size() > field.size)
            throw DbError::make(err::FieldTooSmall);
    } else if (field.type == dbBinary && field.size > 0) {
        if (storedValue.toByteArray().size() > field.size)
            throw DbError::make(err::FieldTooSmall);
    }
}

void bind(sqlite3_stmt* stmt, int index, const QVariant& v)
{
    if (isNullValue(v)) {
        sqlite3_bind_null(stmt, index);
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Bool: sqlite3_bind_int64(stmt, index, v.toBool() ? -1 : 0); break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Char:
    case QMetaType::UChar:
    case QMetaType::SChar: sqlite3_bind_int64(stmt, index, v.toLongLong()); break;
    case QMetaType::Double:
    case QMetaType::Float: sqlite3_bind_double(stmt, index, v.toDouble()); break;
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        if (b.isEmpty())
            sqlite3_bind_zeroblob(stmt, index, 0);
        else
            sqlite3_bind_blob64(stmt, index, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::QDateTime: bind(stmt, index, dateToStorage(v.toDateTime())); break;
    default: {
        const QByteArray t = v.toString().toUtf8();
        sqlite3_bind_text64(stmt, index, t.constData(), sqlite3_uint64(t.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    }
}

namespace {
QString columnText(sqlite3_stmt* stmt, int col)
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
    return QString::fromUtf8(p, sqlite3_column_bytes(stmt, col));
}
}  // namespace

QVariant readValue(sqlite3_stmt* stmt, int col, short type)
{
    const int st = sqlite3_column_type(stmt, col);
    if (st == SQLITE_NULL && type != dbBoolean)
        return QVariant();
    if (hasReading(type)) {
        double d = 0;
        if (readStored(sqlite3_column_value(stmt, col), type, &d) == Reading::Read) {
            switch (type) {
            case dbBoolean: return d != 0;
            case dbByte:
            case dbInteger:
            case dbLong:
                if (st == SQLITE_INTEGER)
                    return qint64(sqlite3_column_int64(stmt, col));
                return qint64(std::nearbyint(d));
            case dbDate: return dateFromSerial(d);
            default: return d;
            }
        }
        // Unreadable: handed back as stored, nothing lost.
        switch (st) {
        case SQLITE_INTEGER: return qint64(sqlite3_column_int64(stmt, col));
        case SQLITE_FLOAT: return sqlite3_column_double(stmt, col);
        case SQLITE_BLOB: return readValue(stmt, col, dbLongBinary);
        default: return columnText(stmt, col);
        }
    }
    switch (type) {
    case dbBinary:
    case dbLongBinary: {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt, col));
        return QByteArray(p ? p : "", sqlite3_column_bytes(stmt, col));
    }
    case dbText:
    case dbMemo:
    case dbGUID: return columnText(stmt, col);
    default:
        switch (st) {
        case SQLITE_INTEGER: return qint64(sqlite3_column_int64(stmt, col));
        case SQLITE_FLOAT: return sqlite3_column_double(stmt, col);
        case SQLITE_BLOB: return readValue(stmt, col, dbLongBinary);
        default: return columnText(stmt, col);
        }
    }
}

// ---- dbe_fit(value, type, size, allowZeroLength, required, fieldName) ---------------------------

namespace {

// The field that dbe_fit()'s and dbe_fits_as_is()'s arguments 2 to 6 describe.
FieldInfo fitField(sqlite3_value** argv)
{
    FieldInfo f;
    f.type = short(sqlite3_value_int(argv[1]));
    f.size = sqlite3_value_int(argv[2]);
    f.allowZeroLength = sqlite3_value_int(argv[3]) != 0;
    const int req = sqlite3_value_int(argv[4]);
    f.required = req != 0;
    f.primaryKey = req == 2;  // 2: a field of the primary index
    f.name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[5])));
    return f;
}

void fitFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (argc != 6) {
        sqlite3_result_error(ctx, "dbe_fit: six arguments", -1);
        return;
    }
    const FieldInfo f = fitField(argv);
    try {
        const QVariant stored = toStorage(fromSqlite(argv[0]), f.type);
        checkRules(f, stored);
        if (isNullValue(stored)) {
            sqlite3_result_null(ctx);
            return;
        }
        resultValue(ctx, stored);
    } catch (const DbError& e) {
        resultError(ctx, e);
    }
}

// dbe_fits_as_is(): whether dbe_fit() with the same arguments gives the value back unchanged. A text
// of ASCII characters into a text field is answered from its bytes (each is one character, kept as
// it is); anything else goes through dbe_fit()'s own rules and its result is compared.
void fitsAsIsFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (argc != 6) {
        sqlite3_result_error(ctx, "dbe_fits_as_is: six arguments", -1);
        return;
    }
    sqlite3_value* v = argv[0];
    const int storage = sqlite3_value_type(v);
    const short type = short(sqlite3_value_int(argv[1]));
    if (storage == SQLITE_TEXT && (type == dbText || type == dbMemo)) {
        const auto* p = sqlite3_value_text(v);
        const int n = sqlite3_value_bytes(v);
        bool ascii = p != nullptr;
        for (int i = 0; ascii && i < n; ++i)
            ascii = p[i] >= 1 && p[i] < 0x80;
        if (ascii) {
            const int size = sqlite3_value_int(argv[2]);
            const bool fits = (n > 0 || sqlite3_value_int(argv[3]) != 0) && (type != dbText || size <= 0 || n <= size);
            sqlite3_result_int(ctx, fits ? 1 : 0);
            return;
        }
    }
    // Not the common case above: the whole field, its name included, as dbe_fit() reads it.
    const FieldInfo f = fitField(argv);
    bool same = false;
    try {
        const QVariant stored = toStorage(fromSqlite(v), f.type);
        checkRules(f, stored);
        // The storage class and bytes resultValue() would give the stored value.
        if (isNullValue(stored)) {
            same = storage == SQLITE_NULL;
        } else {
            switch (stored.typeId()) {
            case QMetaType::Int:
            case QMetaType::LongLong:
                same = storage == SQLITE_INTEGER && sqlite3_value_int64(v) == stored.toLongLong();
                break;
            case QMetaType::Double: {
                const double a = sqlite3_value_double(v), b = stored.toDouble();
                same = storage == SQLITE_FLOAT && std::memcmp(&a, &b, sizeof a) == 0;
                break;
            }
            case QMetaType::QByteArray: {
                const QByteArray b = stored.toByteArray();
                same = storage == SQLITE_BLOB && sqlite3_value_bytes(v) == b.size()
                       && (b.isEmpty() || std::memcmp(sqlite3_value_blob(v), b.constData(), size_t(b.size())) == 0);
                break;
            }
            default: {
                const QByteArray t = stored.toString().toUtf8();
                same = storage == SQLITE_TEXT && sqlite3_value_bytes(v) == t.size()
                       && (t.isEmpty() || std::memcmp(sqlite3_value_text(v), t.constData(), size_t(t.size())) == 0);
            }
            }
        }
    } catch (const DbError&) {
        same = false;  // refused: dbe_fit() will say why
    }
    sqlite3_result_int(ctx, same ? 1 : 0);
}

}  // namespace

void registerFunctions(sqlite3* db)
{
    sqlite3_create_function_v2(db, dialect::kFitFunction, 6, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, fitFunction,
                               nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, dialect::kFitsAsIsFunction, 6, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               fitsAsIsFunction, nullptr, nullptr, nullptr);
    registerValueFunctions(db);
    registerQueryFunctions(db);
    registerMathTextFunctions(db);
}

}  // namespace dbe::detail
