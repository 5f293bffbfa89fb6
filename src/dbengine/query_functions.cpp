// The query language's functions at run time: conversions, text, date arithmetic and Format,
// each with the original engine's Null rules and errors.
#include "query_functions.h"

#include "dbengine/date_value.h"
#include "dbengine/db_types.h"
#include "dialect/functions.h"
#include "sqlite_call.h"
#include "text_format.h"
#include "values.h"

#include <QHash>
#include <QVector>
#include <cmath>
#include <sqlite3.h>

namespace dbe::detail {

namespace {

using Args = QVector<QVariant>;

const QDateTime kEpoch(QDate(1899, 12, 30), QTime(0, 0));

bool isNull(const QVariant& v) { return !v.isValid() || v.isNull(); }

[[noreturn]] void fail(int number) { throw DbError::make(number); }

const QVariant& required(const QVariant& v)
{
    if (isNull(v))
        fail(err::InvalidUseOfNull);
    return v;
}

QString text(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::LongLong: return QString::number(v.toLongLong());
    case QMetaType::Double: return numberText(v.toDouble());
    case QMetaType::QByteArray: return QString::fromUtf8(v.toByteArray());
    default: return v.toString();
    }
}

double number(const QVariant& v) { return toStorage(v, dbDouble).toDouble(); }

// A whole number as the conversions take it: rounded half to even.
qint64 whole(const QVariant& v)
{
    const double d = std::nearbyint(number(required(v)));
    if (std::fabs(d) > 9.2e18)
        fail(err::Overflow);
    return qint64(d);
}

QDateTime date(const QVariant& v) { return dateFromStorage(toStorage(v, dbDate).toString()); }

double serial(const QDateTime& dt) { return double(kEpoch.msecsTo(dt)) / 86400000.0; }

QVariant dateValue(const QDateTime& dt)
{
    if (!dt.isValid() || dt.date().year() < 100 || dt.date().year() > 9999)
        fail(err::InvalidProcedureCall);
    return dateToStorage(dt);
}

// ---- operators ----

QVariant divide(const Args& a)
{
    if (isNull(a[0]) || isNull(a[1]))
        return {};
    const double x = number(a[0]), y = number(a[1]);
    if (y == 0)
        fail(x == 0 ? err::Overflow : err::DivisionByZero);
    return x / y;
}

QVariant integerDivide(const Args& a)
{
    if (isNull(a[0]) || isNull(a[1]))
        return {};
    const qint64 x = whole(a[0]), y = whole(a[1]);
    if (y == 0)
        fail(err::DivisionByZero);
    return x / y;
}

QVariant modulo(const Args& a)
{
    if (isNull(a[0]) || isNull(a[1]))
        return {};
    const qint64 x = whole(a[0]), y = whole(a[1]);
    if (y == 0)
        fail(err::DivisionByZero);
    return x % y;
}

// a & b & ...: the texts one after the other, a Null as the empty text; Null when all are Null.
QVariant concatenate(const Args& a)
{
    QString out;
    bool any = false;
    for (const QVariant& v : a) {
        if (isNull(v))
            continue;
        any = true;
        out += text(v);
    }
    return any ? QVariant(out) : QVariant();
}

// ---- conversions ----

// dbe_text(x, how): how 1 reads x as a date; how 2 lets a Null through (the & operator).
QVariant toText(const Args& a)
{
    const int how = a[1].toInt();
    if (isNull(a[0]) && (how & 2))
        return {};
    required(a[0]);
    return (how & 1) ? generalDate(date(a[0])) : text(a[0]);
}

QVariant toNumber(const Args& a)
{
    QVariant v = required(a[0]);
    if (a[2].toInt() == 1)
        v = serial(date(v));
    try {
        return toStorage(v, short(a[1].toInt()));
    } catch (const DbError& e) {
        if (e.number() == err::NumericOverflow)
            fail(err::Overflow);
        throw;
    }
}

// Val: the number at the start of a text, blanks anywhere ignored, always with a decimal point.
QVariant val(const Args& a)
{
    QString s = text(required(a[0]));
    s.remove(u' ').remove(u'\t').remove(u'\n').remove(u'\r');
    if (s.size() > 2 && s[0] == u'&' && (s[1].toUpper() == u'H' || s[1].toUpper() == u'O')) {
        const int base = s[1].toUpper() == u'H' ? 16 : 8;
        qint64 n = 0;
        for (int i = 2; i < s.size(); ++i) {
            const int d = s[i].isDigit() || s[i].isLetter() ? QString(s[i]).toInt(nullptr, 16) : -1;
            if (d < 0 || d >= base || (!s[i].isDigit() && base == 8) || (d == 0 && s[i] != u'0'))
                break;
            n = n * base + d;
        }
        return double(n);
    }
    int i = 0;
    QString num;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        num += s[i++];
    while (i < s.size() && s[i].isDigit())
        num += s[i++];
    if (i < s.size() && s[i] == u'.') {
        num += s[i++];
        while (i < s.size() && s[i].isDigit())
            num += s[i++];
    }
    if (i + 1 < s.size() && (s[i].toUpper() == u'E' || s[i].toUpper() == u'D')) {
        int k = i + 1;
        QString exp = QStringLiteral("e");
        if (s[k] == u'+' || s[k] == u'-')
            exp += s[k++];
        if (k < s.size() && s[k].isDigit()) {
            while (k < s.size() && s[k].isDigit())
                exp += s[k++];
            num += exp;
        }
    }
    bool ok = false;
    const double d = num.toDouble(&ok);
    return ok && std::isfinite(d) ? d : 0.0;
}

QVariant toDate(const Args& a) { return dateValue(date(required(a[0]))); }

// ---- dates ----

QVariant datePart(const Args& a)
{
    if (isNull(a[1]))
        return {};
    const QString part = text(required(a[0])).toLower();
    const QDateTime dt = date(a[1]);
    const QDate d = dt.date();
    if (part == u"yyyy")
        return d.year();
    if (part == u"q")
        return (d.month() - 1) / 3 + 1;
    if (part == u"m")
        return d.month();
    if (part == u"y")
        return d.dayOfYear();
    if (part == u"d")
        return d.day();
    if (part == u"w")
        return weekday(d);
    if (part == u"ww")
        return weekOfYear(d);
    if (part == u"h")
        return dt.time().hour();
    if (part == u"n")
        return dt.time().minute();
    if (part == u"s")
        return dt.time().second();
    fail(err::InvalidProcedureCall);
}

QVariant now(const Args& a)
{
    const QDateTime t = QDateTime::currentDateTime();
    const QDateTime whole(t.date(), QTime(t.time().hour(), t.time().minute(), t.time().second()));
    switch (a[0].toInt()) {
    case 0: return dateToStorage(QDateTime(t.date(), QTime(0, 0)));
    case 1: return dateToStorage(whole);
    default: return dateToStorage(QDateTime(kEpoch.date(), whole.time()));
    }
}

QVariant dateAdd(const Args& a)
{
    if (isNull(a[1]) || isNull(a[2]))
        return {};
    const QString part = text(required(a[0])).toLower();
    // The interval's size is checked on the number itself: converting a larger one to an
    // integer first would wrap it around.
    const double interval = std::trunc(number(a[1]));
    const QDateTime dt = date(a[2]);
    if (!(std::fabs(interval) <= 4000000))
        fail(err::InvalidProcedureCall);
    const qint64 n = qint64(interval);
    const int k = int(n);
    QDateTime r;
    if (part == u"yyyy")
        r = QDateTime(dt.date().addYears(k), dt.time());
    else if (part == u"q")
        r = QDateTime(dt.date().addMonths(3 * k), dt.time());
    else if (part == u"m")
        r = QDateTime(dt.date().addMonths(k), dt.time());
    else if (part == u"y" || part == u"d" || part == u"w")
        r = dt.addDays(k);
    else if (part == u"ww")
        r = dt.addDays(7 * qint64(k));
    else if (part == u"h")
        r = dt.addSecs(3600 * n);
    else if (part == u"n")
        r = dt.addSecs(60 * n);
    else if (part == u"s")
        r = dt.addSecs(n);
    else
        fail(err::InvalidProcedureCall);
    return dateValue(r);
}

QVariant dateDiff(const Args& a)
{
    if (isNull(a[1]) || isNull(a[2]))
        return {};
    const QString part = text(required(a[0])).toLower();
    const QDateTime x = date(a[1]), y = date(a[2]);
    const QDate dx = x.date(), dy = y.date();
    // Boundaries crossed: whole units counted from a fixed origin.
    auto units = [](const QDateTime& t, qint64 ms) {
        const qint64 v = kEpoch.msecsTo(t);
        return v >= 0 ? v / ms : -((-v + ms - 1) / ms);
    };
    if (part == u"yyyy")
        return dy.year() - dx.year();
    if (part == u"q")
        return (dy.year() * 4 + (dy.month() - 1) / 3) - (dx.year() * 4 + (dx.month() - 1) / 3);
    if (part == u"m")
        return (dy.year() * 12 + dy.month()) - (dx.year() * 12 + dx.month());
    if (part == u"y" || part == u"d")
        return dx.daysTo(dy);
    if (part == u"w")
        return dx.daysTo(dy) / 7;
    if (part == u"ww")
        return dx.addDays(1 - weekday(dx)).daysTo(dy.addDays(1 - weekday(dy))) / 7;
    if (part == u"h")
        return units(y, 3600000) - units(x, 3600000);
    if (part == u"n")
        return units(y, 60000) - units(x, 60000);
    if (part == u"s")
        return units(y, 1000) - units(x, 1000);
    fail(err::InvalidProcedureCall);
}

QVariant dateSerial(const Args& a)
{
    qint64 y = whole(a[0]);
    const qint64 m = whole(a[1]), d = whole(a[2]);
    if (y >= 0 && y < 30)
        y += 2000;
    else if (y >= 30 && y < 100)
        y += 1900;
    if (y < 100 || y > 9999 || std::llabs(m) > 120000 || std::llabs(d) > 4000000)
        fail(err::InvalidProcedureCall);
    return dateValue(QDateTime(QDate(int(y), 1, 1).addMonths(int(m - 1)).addDays(d - 1), QTime(0, 0)));
}

// ---- text ----

qint64 count(const QVariant& v, qint64 least)
{
    const qint64 n = whole(v);
    if (n < least)
        fail(err::InvalidProcedureCall);
    return n;
}

QVariant left(const Args& a)
{
    const qint64 n = count(a[1], 0);
    return isNull(a[0]) ? QVariant() : QVariant(text(a[0]).left(qsizetype(qMin<qint64>(n, 1 << 30))));
}

QVariant right(const Args& a)
{
    const qint64 n = count(a[1], 0);
    return isNull(a[0]) ? QVariant() : QVariant(text(a[0]).right(qsizetype(qMin<qint64>(n, 1 << 30))));
}

QVariant mid(const Args& a)
{
    if (a.size() < 2 || a.size() > 3)
        fail(err::InvalidProcedureCall);
    const qint64 start = count(a[1], 1);
    const qint64 length = a.size() > 2 ? count(a[2], 0) : -1;
    if (isNull(a[0]))
        return {};
    const QString s = text(a[0]);
    if (start > s.size())
        return QString();
    return s.mid(qsizetype(start - 1), length < 0 ? -1 : qsizetype(qMin<qint64>(length, s.size())));
}

QVariant inStr(const Args& a)
{
    const qint64 start = count(a[0], 1);
    const bool binary = whole(a[3]) == 0;
    if (isNull(a[1]) || isNull(a[2]))
        return {};
    const QString s = text(a[1]), sought = text(a[2]);
    if (start > s.size())
        return 0;
    if (sought.isEmpty())
        return start;
    return qint64(s.indexOf(sought, qsizetype(start - 1), binary ? Qt::CaseSensitive : Qt::CaseInsensitive) + 1);
}

QVariant format(const Args& a)
{
    if (isNull(a[0]))
        return {};
    const bool isDate = a[2].toInt() == 1;
    const QString pattern = isNull(a[1]) ? QString() : text(a[1]);
    const QString named = pattern.toLower();
    auto asDate = [&]() { return date(a[0]); };
    auto asNumber = [&]() { return isDate ? serial(date(a[0])) : number(a[0]); };
    try {
        if (pattern.isEmpty() || named == u"general date")
            return isDate || named == u"general date" ? generalDate(asDate()) : text(a[0]);
        static const QHash<QString, QString> dates = {
            {QStringLiteral("long date"), QStringLiteral("dddd d mmmm yyyy")},
            {QStringLiteral("medium date"), QStringLiteral("dd-mmm-yy")},
            {QStringLiteral("short date"), QStringLiteral("dd/mm/yyyy")},
            {QStringLiteral("long time"), QStringLiteral("hh:nn:ss")},
            {QStringLiteral("medium time"), QStringLiteral("hh:nn AM/PM")},
            {QStringLiteral("short time"), QStringLiteral("hh:nn")},
        };
        if (const auto it = dates.constFind(named); it != dates.constEnd())
            return formatDate(asDate(), *it);
        static const QHash<QString, QString> numbers = {
            {QStringLiteral("currency"), QStringLiteral("\"€ \"#,##0.00;\"-€ \"#,##0.00")},
            {QStringLiteral("euro"), QStringLiteral("\"€ \"#,##0.00;\"-€ \"#,##0.00")},
            {QStringLiteral("fixed"), QStringLiteral("0.00")},
            {QStringLiteral("standard"), QStringLiteral("#,##0.00")},
            {QStringLiteral("percent"), QStringLiteral("0.00%")},
            {QStringLiteral("scientific"), QStringLiteral("0.00E+00")},
        };
        if (const auto it = numbers.constFind(named); it != numbers.constEnd())
            return formatByPattern(asNumber(), *it);
        if (named == u"general number")
            return numberText(asNumber());
        if (named == u"yes/no" || named == u"true/false" || named == u"on/off") {
            const bool on = asNumber() != 0;
            if (named == u"yes/no")
                return on ? QStringLiteral("Sì") : QStringLiteral("No");
            if (named == u"true/false")
                return on ? QStringLiteral("Vero") : QStringLiteral("Falso");
            return on ? QStringLiteral("On") : QStringLiteral("Off");
        }
        if (hasToken(pattern, QStringLiteral("0#")))
            return formatByPattern(asNumber(), pattern);
        if (hasToken(pattern, QStringLiteral("dmyhnsqwct")))
            return formatDate(asDate(), pattern);
    } catch (const DbError& e) {
        if (e.number() != err::TypeMismatch)
            throw;
        return text(a[0]);  // a value that is no date or number is shown as it is
    }
    if (hasToken(pattern, QStringLiteral(">")))
        return text(a[0]).toUpper();
    if (hasToken(pattern, QStringLiteral("<")))
        return text(a[0]).toLower();
    return text(a[0]);
}

// ---- identity ----

// A record's identity: a 64-bit FNV-1a hash of the values given (a record's key, or every stored
// value of the record), each with its storage class, so that the integer 1, the real 1.0 and the
// text '1' hash apart, and Null is told from the empty text.
void identity(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    quint64 h = 1469598103934665603ULL;
    auto mix = [&h](const unsigned char* p, int n) {
        for (int i = 0; i < n; ++i) {
            h ^= p[i];
            h *= 1099511628211ULL;
        }
    };
    for (int i = 0; i < argc; ++i) {
        const int type = sqlite3_value_type(argv[i]);
        const unsigned char tag = static_cast<unsigned char>(type);
        mix(&tag, 1);
        switch (type) {
        case SQLITE_INTEGER: {
            const sqlite3_int64 v = sqlite3_value_int64(argv[i]);
            mix(reinterpret_cast<const unsigned char*>(&v), int(sizeof v));
            break;
        }
        case SQLITE_FLOAT: {
            const double v = sqlite3_value_double(argv[i]);
            mix(reinterpret_cast<const unsigned char*>(&v), int(sizeof v));
            break;
        }
        case SQLITE_TEXT: mix(sqlite3_value_text(argv[i]), sqlite3_value_bytes(argv[i])); break;
        case SQLITE_BLOB:
            mix(static_cast<const unsigned char*>(sqlite3_value_blob(argv[i])), sqlite3_value_bytes(argv[i]));
            break;
        default: break;
        }
        const unsigned char end = 0xff;
        mix(&end, 1);
    }
    sqlite3_result_int64(ctx, sqlite3_int64(h));
}

// ---- the SQL side ----

using Function = ScalarFunction;

}  // namespace

void registerQueryFunctions(sqlite3* db)
{
    static const QHash<QString, Function> functions = {
        {QStringLiteral("dbe_div"), divide},
        {QStringLiteral("dbe_idiv"), integerDivide},
        {QStringLiteral("dbe_mod"), modulo},
        {QStringLiteral("dbe_concat"), concatenate},
        {QStringLiteral("dbe_text"), toText},
        {QStringLiteral("dbe_num"), toNumber},
        {QStringLiteral("dbe_val"), val},
        {QStringLiteral("dbe_cdate"), toDate},
        {QStringLiteral("dbe_datepart"), datePart},
        {QStringLiteral("dbe_now"), now},
        {QStringLiteral("dbe_dateadd"), dateAdd},
        {QStringLiteral("dbe_datediff"), dateDiff},
        {QStringLiteral("dbe_dateserial"), dateSerial},
        {QStringLiteral("dbe_format"), format},
        {QStringLiteral("dbe_instr"), inStr},
        {QStringLiteral("dbe_left"), left},
        {QStringLiteral("dbe_right"), right},
        {QStringLiteral("dbe_mid"), mid},
    };
    for (const dialect::RuntimeFunction& f : dialect::runtimeFunctions()) {
        const int flags = SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
        const QString name = QString::fromLatin1(f.name);
        if (name == QLatin1String(dialect::kIdentityFunction)) {
            sqlite3_create_function_v2(db, f.name, -1, flags, nullptr, identity, nullptr, nullptr, nullptr);
            continue;
        }
        const Function fn = functions.value(name);
        if (fn)
            sqlite3_create_function_v2(db, f.name, f.arguments, flags, reinterpret_cast<void*>(fn), callScalar, nullptr,
                                       nullptr, nullptr);
    }
}

}  // namespace dbe::detail
