// The arithmetic and text functions people write by hand, and the aggregates First, Last, StDev,
// StDevP, Var and VarP, at run time.
#include "math_text_functions.h"

#include "dbengine/db_types.h"
#include "sqlite_call.h"
#include "values.h"

#include <QHash>
#include <QVector>
#include <cmath>
#include <sqlite3.h>

namespace dbe::detail {

namespace {

using Args = QVector<QVariant>;

bool isNull(const QVariant& v) { return !v.isValid() || v.isNull(); }

[[noreturn]] void fail(int number) { throw DbError::make(number); }

// A number argument: read by the Italian rule when it is a text (3464 when it is none).
double number(const QVariant& v) { return toStorage(v, dbDouble).toDouble(); }

// A whole number where one is needed (a count of characters, a code): Null raises 94.
qint64 whole(const QVariant& v)
{
    if (isNull(v))
        fail(err::InvalidUseOfNull);
    const double d = std::nearbyint(number(v));
    if (std::fabs(d) > 2147483647.0)
        fail(err::Overflow);
    return qint64(d);
}

QString text(const QVariant& v)
{
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(v.toByteArray());
    if (v.typeId() == QMetaType::Double) {
        QString t = QString::number(v.toDouble(), 'g', 15);
        t.replace(u'.', u',');
        return t;
    }
    return v.toString();
}

// Whether a comparison argument asks for a comparison of bytes (0) rather than of text (1, the
// default of a query).
Qt::CaseSensitivity compareMode(const Args& a, int at)
{
    if (a.size() <= at || isNull(a[at]))
        return Qt::CaseInsensitive;
    const qint64 mode = whole(a[at]);
    if (mode < 0 || mode > 2)
        fail(err::InvalidProcedureCall);
    return mode == 0 ? Qt::CaseSensitive : Qt::CaseInsensitive;
}

QVariant finite(double d)
{
    if (!std::isfinite(d))
        fail(err::Overflow);
    return d;
}

// ---- arithmetic ----

QVariant power(const Args& a)
{
    if (isNull(a[0]) || isNull(a[1]))
        return {};
    const double x = number(a[0]), y = number(a[1]);
    if (x == 0 && y < 0)
        fail(err::DivisionByZero);
    if (x < 0 && y != std::floor(y))
        fail(err::InvalidProcedureCall);
    return finite(std::pow(x, y));
}

// Round(x[, places]): half to even, on the value as it is held.
QVariant round(const Args& a)
{
    if (isNull(a[0]))
        return {};
    const qint64 places = a.size() > 1 && !isNull(a[1]) ? whole(a[1]) : 0;
    if (places < 0 || places > 22)
        fail(err::InvalidProcedureCall);
    const double x = number(a[0]);
    const double scale = std::pow(10.0, double(places));
    const double scaled = x * scale;
    if (!std::isfinite(scaled))
        return x;
    return std::nearbyint(scaled) / scale;
}

QVariant integerPart(const Args& a)
{
    if (isNull(a[0]))
        return {};
    return std::floor(number(a[0]));
}

QVariant fixPart(const Args& a)
{
    if (isNull(a[0]))
        return {};
    return std::trunc(number(a[0]));
}

QVariant sign(const Args& a)
{
    if (isNull(a[0]))
        return {};
    const double x = number(a[0]);
    return qint64(x > 0 ? 1 : x < 0 ? -1 : 0);
}

QVariant squareRoot(const Args& a)
{
    if (isNull(a[0]))
        return {};
    const double x = number(a[0]);
    if (x < 0)
        fail(err::InvalidProcedureCall);
    return std::sqrt(x);
}

QVariant exponential(const Args& a)
{
    if (isNull(a[0]))
        return {};
    return finite(std::exp(number(a[0])));
}

QVariant logarithm(const Args& a)
{
    if (isNull(a[0]))
        return {};
    const double x = number(a[0]);
    if (x <= 0)
        fail(err::InvalidProcedureCall);
    return std::log(x);
}

// ---- tests of a value ----

QVariant isNumeric(const Args& a)
{
    if (isNull(a[0]))
        return qint64(0);
    const int type = a[0].typeId();
    if (type == QMetaType::LongLong || type == QMetaType::Double)
        return qint64(-1);
    try {
        number(a[0]);
        return qint64(-1);
    } catch (const DbError&) {
        // A value that does not convert, for whatever reason, is not numeric.
        return qint64(0);
    }
}

QVariant isDate(const Args& a)
{
    if (isNull(a[0]) || a[0].typeId() != QMetaType::QString)
        return qint64(0);
    try {
        return toStorage(a[0], dbDate).isNull() ? qint64(0) : qint64(-1);
    } catch (const DbError&) {
        // A value that does not convert, for whatever reason, is not a date.
        return qint64(0);
    }
}

// ---- texts ----

// Replace(text, find, with[, start[, count[, compare]]]): the text from start on (the part before
// it is left out, as the original does), with at most count occurrences replaced (-1: all).
QVariant replace(const Args& a)
{
    if (isNull(a[0]))
        return {};
    if (isNull(a[1]) || isNull(a[2]))
        fail(err::InvalidUseOfNull);
    const qint64 start = a.size() > 3 ? whole(a[3]) : 1;
    const qint64 count = a.size() > 4 ? whole(a[4]) : -1;
    if (start < 1 || count < -1)
        fail(err::InvalidProcedureCall);
    const Qt::CaseSensitivity cs = compareMode(a, 5);
    const QString s = text(a[0]);
    if (start > s.size())
        return QString();
    const QString sought = text(a[1]), with = text(a[2]);
    QString out;
    qsizetype from = start - 1;
    qint64 done = 0;
    while (!sought.isEmpty() && (count < 0 || done < count)) {
        const qsizetype at = s.indexOf(sought, from, cs);
        if (at < 0)
            break;
        out += QStringView(s).mid(from, at - from);
        out += with;
        from = at + sought.size();
        ++done;
    }
    out += QStringView(s).mid(from);
    return out;
}

QVariant spaces(const Args& a)
{
    const qint64 n = whole(a[0]);
    if (n < 0)
        fail(err::InvalidProcedureCall);
    return QString(qsizetype(n), u' ');
}

QVariant character(const Args& a)
{
    const qint64 code = whole(a[0]);
    if (code < 0 || code > 0xFFFF)
        fail(err::InvalidProcedureCall);
    return QString(QChar(char16_t(code)));
}

QVariant characterCode(const Args& a)
{
    if (isNull(a[0]))
        fail(err::InvalidUseOfNull);
    const QString s = text(a[0]);
    if (s.isEmpty())
        fail(err::InvalidProcedureCall);
    return qint64(s.at(0).unicode());
}

QVariant compareTexts(const Args& a)
{
    if (isNull(a[0]) || isNull(a[1]))
        return {};
    const int c = QString::compare(text(a[0]), text(a[1]), compareMode(a, 2));
    return qint64(c < 0 ? -1 : c > 0 ? 1 : 0);
}

QVariant reversed(const Args& a)
{
    if (isNull(a[0]))
        return {};
    const QString s = text(a[0]);
    QString out;
    out.reserve(s.size());
    for (qsizetype i = s.size(); i > 0; --i) {
        // A character outside the basic plane keeps its two halves in order.
        if (i >= 2 && s.at(i - 1).isLowSurrogate() && s.at(i - 2).isHighSurrogate()) {
            out += s.at(i - 2);
            out += s.at(i - 1);
            --i;
        } else {
            out += s.at(i - 1);
        }
    }
    return out;
}

// InStrRev(text, sought[, start[, compare]]): the position of the last occurrence that ends at or
// before start (-1: the end), 0 when none.
QVariant inStrRev(const Args& a)
{
    if (isNull(a[0]) || isNull(a[1]))
        return {};
    const qint64 start = a.size() > 2 && !isNull(a[2]) ? whole(a[2]) : -1;
    if (start == 0 || start < -1)
        fail(err::InvalidProcedureCall);
    const QString s = text(a[0]), sought = text(a[1]);
    const qint64 end = start < 0 ? s.size() : start;
    if (end > s.size())
        return qint64(0);
    if (sought.isEmpty())
        return end;
    const qint64 from = end - sought.size();
    if (from < 0)
        return qint64(0);
    return qint64(s.lastIndexOf(sought, qsizetype(from), compareMode(a, 3)) + 1);
}

// dbe_single(second, value): the value of a subquery used as a value, whose second record (when
// it has one) is an error.
QVariant single(const Args& a)
{
    if (!isNull(a[0]))
        fail(err::SubqueryMoreThanOneRecord);
    return a[1];
}

// ---- aggregates ----

// First and Last: the value of the group's first or last record as the query reads them, Null
// included.
struct Edge {
    bool seen = false;
    QVariant value;
};

void firstStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* e = static_cast<Edge**>(sqlite3_aggregate_context(ctx, sizeof(Edge*)));
    if (!e)
        return;
    if (!*e)
        *e = new Edge;
    if (!(*e)->seen) {
        (*e)->seen = true;
        (*e)->value = fromSqlite(argv[0]);
    }
}

void lastStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* e = static_cast<Edge**>(sqlite3_aggregate_context(ctx, sizeof(Edge*)));
    if (!e)
        return;
    if (!*e)
        *e = new Edge;
    (*e)->seen = true;
    (*e)->value = fromSqlite(argv[0]);
}

void edgeFinal(sqlite3_context* ctx)
{
    auto* e = static_cast<Edge**>(sqlite3_aggregate_context(ctx, 0));
    if (!e || !*e) {
        sqlite3_result_null(ctx);
        return;
    }
    resultValue(ctx, (*e)->value);
    delete *e;
}

// StDev, StDevP, Var, VarP over the values that are not Null (Welford's running mean, which keeps
// the digits a sum of squares would lose). The sample forms need two values, the population
// forms one; with fewer the result is Null.
struct Spread {
    qint64 n = 0;
    double mean = 0;
    double m2 = 0;
};

void spreadStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return;
    auto* s = static_cast<Spread*>(sqlite3_aggregate_context(ctx, sizeof(Spread)));
    if (!s)
        return;
    double x = 0;
    try {
        x = number(fromSqlite(argv[0]));
    } catch (const DbError& e) {
        // Errors may not cross SQLite: the statement fails with this one.
        resultError(ctx, e);
        return;
    }
    ++s->n;
    const double delta = x - s->mean;
    s->mean += delta / double(s->n);
    s->m2 += delta * (x - s->mean);
}

void spreadFinal(sqlite3_context* ctx)
{
    const auto* s = static_cast<Spread*>(sqlite3_aggregate_context(ctx, 0));
    const intptr_t kind = reinterpret_cast<intptr_t>(sqlite3_user_data(ctx));
    const bool sample = kind == 0 || kind == 2;
    const bool deviation = kind == 0 || kind == 1;
    const qint64 n = s ? s->n : 0;
    if (n < (sample ? 2 : 1)) {
        sqlite3_result_null(ctx);
        return;
    }
    const double variance = s->m2 / double(sample ? n - 1 : n);
    sqlite3_result_double(ctx, deviation ? std::sqrt(variance) : variance);
}

// Avg of currency: the exact sum in ten-thousandths divided by the count, rounded half to even
// to the ten-thousandth, so that the average of currency is currency.
struct CurrencyMean {
    qint64 total = 0;
    qint64 n = 0;
};

void currencyMeanStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_value* v = argv[0];
    if (sqlite3_value_type(v) == SQLITE_NULL)
        return;
    auto* m = static_cast<CurrencyMean*>(sqlite3_aggregate_context(ctx, sizeof(CurrencyMean)));
    if (!m)
        return;
    m->total += sqlite3_value_type(v) == SQLITE_INTEGER ? sqlite3_value_int64(v) * 10000
                                                        : std::llround(sqlite3_value_double(v) * 10000.0);
    ++m->n;
}

void currencyMeanFinal(sqlite3_context* ctx)
{
    const auto* m = static_cast<CurrencyMean*>(sqlite3_aggregate_context(ctx, 0));
    if (!m || m->n == 0) {
        sqlite3_result_null(ctx);
        return;
    }
    qint64 q = m->total / m->n;
    const qint64 r = m->total % m->n;
    const qint64 twice = 2 * (r < 0 ? -r : r);
    if (twice > m->n || (twice == m->n && q % 2 != 0))
        q += m->total < 0 ? -1 : 1;
    sqlite3_result_double(ctx, double(q) / 10000.0);
}

using Function = ScalarFunction;

}  // namespace

void registerMathTextFunctions(sqlite3* db)
{
    struct Entry {
        const char* name;
        int minArgs;
        int maxArgs;
        Function fn;
    };
    static const Entry scalars[] = {
        {"dbe_pow", 2, 2, power},           {"dbe_round", 1, 2, round},       {"dbe_int", 1, 1, integerPart},
        {"dbe_fix", 1, 1, fixPart},         {"dbe_sgn", 1, 1, sign},          {"dbe_sqr", 1, 1, squareRoot},
        {"dbe_exp", 1, 1, exponential},     {"dbe_log", 1, 1, logarithm},     {"dbe_isnumeric", 1, 1, isNumeric},
        {"dbe_isdate", 1, 1, isDate},       {"dbe_replace", 3, 6, replace},   {"dbe_space", 1, 1, spaces},
        {"dbe_chr", 1, 1, character},       {"dbe_asc", 1, 1, characterCode}, {"dbe_strcomp", 2, 3, compareTexts},
        {"dbe_strreverse", 1, 1, reversed}, {"dbe_instrrev", 2, 4, inStrRev}, {"dbe_single", 2, 2, single},
    };
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    for (const Entry& e : scalars) {
        for (int n = e.minArgs; n <= e.maxArgs; ++n)
            sqlite3_create_function_v2(db, e.name, n, flags, reinterpret_cast<void*>(e.fn), callScalar, nullptr,
                                       nullptr, nullptr);
    }
    sqlite3_create_function_v2(db, "dbe_currency_avg", 1, flags, nullptr, nullptr, currencyMeanStep, currencyMeanFinal,
                               nullptr);
    sqlite3_create_function_v2(db, "dbe_first", 1, SQLITE_UTF8, nullptr, nullptr, firstStep, edgeFinal, nullptr);
    sqlite3_create_function_v2(db, "dbe_last", 1, SQLITE_UTF8, nullptr, nullptr, lastStep, edgeFinal, nullptr);
    const char* spreads[] = {"dbe_stdev", "dbe_stdevp", "dbe_var", "dbe_varp"};
    for (intptr_t k = 0; k < 4; ++k)
        sqlite3_create_function_v2(db, spreads[k], 1, flags, reinterpret_cast<void*>(k), nullptr, spreadStep,
                                   spreadFinal, nullptr);
}

}  // namespace dbe::detail
