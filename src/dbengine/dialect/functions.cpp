// The dialect's functions: their argument counts and the SQL each call is written as. The work of
// most of them is done at run time by the engine's SQL functions named dbe_*.
#include "functions.h"

#include "typed_values.h"

#include <QHash>
#include <QSet>
#include <optional>

namespace dbe::dialect {

namespace {

struct Arity {
    int min;
    int max;
};

const QHash<QString, Arity>& arities()
{
    static const QHash<QString, Arity> table = [] {
        QHash<QString, Arity> t;
        auto add = [&t](std::initializer_list<const char*> names, int min, int max) {
            for (const char* n : names)
                t.insert(QString::fromLatin1(n), {min, max});
        };
        add({"COUNT", "SUM", "MIN", "MAX", "AVG", "FIRST", "LAST", "STDEV", "STDEVP", "VAR", "VARP"}, 1, 1);
        add({"INT", "FIX", "SGN", "SQR", "EXP", "LOG", "ISNUMERIC", "ISDATE", "SPACE", "CHR", "ASC", "STRREVERSE"}, 1,
            1);
        add({"ROUND"}, 1, 2);
        add({"STRCOMP"}, 2, 3);
        add({"INSTRREV"}, 2, 4);
        add({"REPLACE"}, 3, 6);
        add({"SWITCH"}, 2, 64);
        add({"CHOOSE"}, 2, 64);
        add({"ISNULL", "TRIM", "LTRIM", "RTRIM", "UCASE", "LCASE",  "UPPER",  "LOWER",  "LEN",
             "ABS",    "VAL",  "CSTR",  "CLNG",  "CINT",  "CDBL",   "CSNG",   "CCUR",   "CBYTE",
             "CDATE",  "YEAR", "MONTH", "DAY",   "HOUR",  "MINUTE", "SECOND", "WEEKDAY"},
            1, 1);
        add({"LEFT", "RIGHT", "DATEPART"}, 2, 2);
        add({"MID"}, 2, 3);
        add({"IIF", "DATEADD", "DATESERIAL"}, 3, 3);
        add({"DATEDIFF"}, 3, 4);
        add({"NZ", "FORMAT"}, 1, 2);
        add({"INSTR"}, 2, 4);
        add({"DATE", "NOW", "TIME"}, 0, 0);
        return t;
    }();
    return table;
}

QString dateHint(const Value& v) { return v.kind == Value::Date ? QStringLiteral("1") : QStringLiteral("0"); }

Value make(const QString& sql, Value::Kind kind, short type = 0, qint32 size = 0)
{
    Value v;
    v.sql = sql;
    v.kind = kind;
    v.type = type;
    v.size = size;
    return v;
}

// The interval text of DatePart that the date part functions stand for.
QString partOf(const QString& fn)
{
    static const QHash<QString, QString> parts = {
        {QStringLiteral("YEAR"), QStringLiteral("'yyyy'")}, {QStringLiteral("MONTH"), QStringLiteral("'m'")},
        {QStringLiteral("DAY"), QStringLiteral("'d'")},     {QStringLiteral("HOUR"), QStringLiteral("'h'")},
        {QStringLiteral("MINUTE"), QStringLiteral("'n'")},  {QStringLiteral("SECOND"), QStringLiteral("'s'")},
        {QStringLiteral("WEEKDAY"), QStringLiteral("'w'")},
    };
    return parts.value(fn);
}

// The type code a conversion function gives its result.
short conversionType(const QString& fn)
{
    static const QHash<QString, short> types = {
        {QStringLiteral("CLNG"), 4}, {QStringLiteral("CINT"), 3}, {QStringLiteral("CBYTE"), 2},
        {QStringLiteral("CDBL"), 7}, {QStringLiteral("CSNG"), 6}, {QStringLiteral("CCUR"), 5},
    };
    return types.value(fn);
}

// The kind of a value that is one of several: theirs when they agree (Nulls aside), else Other.
Value::Kind commonKind(const QVector<Value>& values)
{
    Value::Kind kind = Value::Null;
    for (const Value& v : values) {
        if (v.kind == Value::Null)
            continue;
        if (kind != Value::Null && kind != v.kind)
            return Value::Other;
        kind = v.kind;
    }
    return kind == Value::Null ? Value::Other : kind;
}

// The run-time function of a numeric or text function that takes its arguments as they are;
// empty for the others.
QString mathTextFunction(const QString& fn)
{
    static const QHash<QString, QString> names = [] {
        QHash<QString, QString> t;
        for (const char* n : {"ROUND", "INT", "FIX", "SGN", "SQR", "EXP", "LOG", "ISNUMERIC", "REPLACE", "SPACE", "CHR",
                              "ASC", "STRCOMP", "STRREVERSE", "INSTRREV"})
            t.insert(QString::fromLatin1(n), QStringLiteral("dbe_") + QString::fromLatin1(n).toLower());
        return t;
    }();
    return names.value(fn);
}

}  // namespace

bool functionArity(const QString& name, int* minArgs, int* maxArgs)
{
    const auto it = arities().constFind(name);
    if (it == arities().constEnd())
        return false;
    *minArgs = it->min;
    *maxArgs = it->max;
    return true;
}

bool isAggregateFunction(const QString& name)
{
    static const QSet<QString> names = {
        QStringLiteral("COUNT"),  QStringLiteral("SUM"),   QStringLiteral("MIN"),  QStringLiteral("MAX"),
        QStringLiteral("AVG"),    QStringLiteral("FIRST"), QStringLiteral("LAST"), QStringLiteral("STDEV"),
        QStringLiteral("STDEVP"), QStringLiteral("VAR"),   QStringLiteral("VARP"),
    };
    return names.contains(name);
}

bool refersToColumn(const Expr& e)
{
    if (e.kind == Expr::Column || e.kind == Expr::Star)
        return true;
    for (const ExprPtr& a : e.args) {
        if (refersToColumn(*a))
            return true;
    }
    return false;
}

bool containsAggregate(const Expr& e)
{
    if (e.kind == Expr::Func && isAggregateFunction(e.text))
        return true;
    for (const ExprPtr& a : e.args) {
        if (containsAggregate(*a))
            return true;
    }
    return false;
}

QString divisionSql(const QString& op, const QString& a, const QString& b)
{
    const char* fn = op == u"/" ? "dbe_div" : op == u"\\" ? "dbe_idiv" : "dbe_mod";
    return QStringLiteral("%1(%2, %3)").arg(QLatin1String(fn), a, b);
}

QString concatenationSql(const QVector<Value>& operands)
{
    // A date takes part as its text; a Null is the empty text, unless every operand is Null.
    auto text = [](const Value& v) {
        if (v.kind == Value::Date)
            return QStringLiteral("dbe_text(%1, 3)").arg(v.sql);
        return v.column && v.kind == Value::Number && v.type != 1 ? valueKeySql(v) : v.sql;
    };
    // SQLite takes at most 127 arguments in a call: a long chain is joined in groups, which keeps
    // the rule since a group of Nulls is Null.
    constexpr int kGroup = 100;
    QStringList parts;
    for (const Value& v : operands)
        parts.append(text(v));
    do {
        QStringList groups;
        for (int i = 0; i < parts.size(); i += kGroup)
            groups.append(QStringLiteral("dbe_concat(") + parts.mid(i, kGroup).join(QStringLiteral(", ")) + u')');
        parts = groups;
    } while (parts.size() > 1);
    return parts.first();
}

namespace {

// The functions that decide which of their arguments count (conditions and choices) and those
// without arguments: written from the expressions themselves.
std::optional<Value> controlFunction(Emitter& em, const Expr& e)
{
    const QString& fn = e.text;
    if (fn == u"ISNULL")
        return make(u'(' + em.value(*e.args[0]).sql + QStringLiteral(" IS NULL)"), Value::Bool);
    if (fn == u"IIF") {
        const Value c = em.condition(*e.args[0]);
        const Value a = em.value(*e.args[1]);
        const Value b = em.value(*e.args[2]);
        const Value::Kind kind =
            a.kind == b.kind || b.kind == Value::Null ? a.kind : (a.kind == Value::Null ? b.kind : Value::Other);
        return make(QStringLiteral("(CASE WHEN %1 THEN %2 ELSE %3 END)").arg(c.sql, a.sql, b.sql), kind);
    }
    if (fn == u"SWITCH") {
        // Switch(condition, value, ...): the value of the first true condition, else Null.
        if (e.args.size() % 2 != 0)
            em.expressionError(e);
        QString sql = QStringLiteral("(CASE");
        QVector<Value> values;
        for (size_t i = 0; i < e.args.size(); i += 2) {
            const Value c = em.condition(*e.args[i]);
            values.append(em.value(*e.args[i + 1]));
            sql += QStringLiteral(" WHEN %1 THEN %2").arg(c.sql, values.last().sql);
        }
        return make(sql + QStringLiteral(" END)"), commonKind(values));
    }
    if (fn == u"CHOOSE") {
        // Choose(index, value, ...): the value at the index rounded half to even, Null outside.
        const Value index = em.value(*e.args[0]);
        QString sql = QStringLiteral("(CASE dbe_round(%1) ").arg(arithmeticOperandSql(index));
        QVector<Value> values;
        for (size_t i = 1; i < e.args.size(); ++i) {
            values.append(em.value(*e.args[i]));
            sql += QStringLiteral("WHEN %1 THEN %2 ").arg(QString::number(i), values.last().sql);
        }
        return make(sql + QStringLiteral("END)"), commonKind(values));
    }
    if (fn == u"DATE" || fn == u"NOW" || fn == u"TIME") {
        const char* which = fn == u"DATE" ? "0" : fn == u"NOW" ? "1" : "2";
        return make(QStringLiteral("dbe_now(%1)").arg(QLatin1String(which)), Value::Date);
    }
    return std::nullopt;
}

// The text functions and the tests of a value, over the arguments' values as they are.
std::optional<Value> textFunction(const QString& fn, const QVector<Value>& a)
{
    if (fn == u"NZ") {
        const Value::Kind kind = a.size() > 1 && a[0].kind != a[1].kind ? Value::Other
                                 : a[0].kind == Value::Null             ? Value::Text
                                                                        : a[0].kind;
        return make(QStringLiteral("coalesce(%1, %2)").arg(a[0].sql, a.size() > 1 ? a[1].sql : QStringLiteral("''")),
                    kind);
    }
    if (fn == u"TRIM" || fn == u"LTRIM" || fn == u"RTRIM")
        return make(fn.toLower() + u'(' + a[0].sql + u')', Value::Text);  // spaces only, as the dialect
    if (fn == u"UCASE" || fn == u"UPPER" || fn == u"LCASE" || fn == u"LOWER")
        return make(caseSql(a[0], fn == u"UCASE" || fn == u"UPPER"), Value::Text);
    if (fn == u"LEN" && a[0].kind != Value::Number && a[0].kind != Value::Date)
        return make(QStringLiteral("length(") + a[0].sql + u')', Value::Number, 4, 4);
    if (fn == u"ABS")
        return make(QStringLiteral("abs(") + arithmeticOperandSql(a[0]) + u')', Value::Number);
    if (fn == u"LEFT" || fn == u"RIGHT")
        return make(QStringLiteral("dbe_%1(%2, %3)").arg(fn.toLower(), a[0].sql, a[1].sql), Value::Text);
    if (fn == u"MID") {
        return make(QStringLiteral("dbe_mid(%1, %2%3)")
                        .arg(a[0].sql, a[1].sql, a.size() > 2 ? QStringLiteral(", ") + a[2].sql : QString()),
                    Value::Text);
    }
    if (fn == u"INSTR") {
        // InStr([start, ]text, sought[, compare]): text comparison unless compare is 0.
        const bool start = a.size() >= 3;
        return make(QStringLiteral("dbe_instr(%1, %2, %3, %4)")
                        .arg(start ? a[0].sql : QStringLiteral("1"), a[start ? 1 : 0].sql, a[start ? 2 : 1].sql,
                             a.size() == 4 ? a[3].sql : QStringLiteral("1")),
                    Value::Number, 4, 4);
    }
    if (fn == u"ISDATE")  // a date field's stored text, in whichever form it is
        return make(QStringLiteral("dbe_isdate(") + a[0].sql + u')', Value::Number);
    if (fn == u"VAL")
        return make(QStringLiteral("dbe_val(") + a[0].sql + u')', Value::Number, 7, 8);
    return std::nullopt;
}

// The conversions and the date functions, over the arguments' values with a date field's value
// taken as its day number.
std::optional<Value> dateOrConversionFunction(const QString& fn, const QVector<Value>& a)
{
    if (fn == u"CSTR")
        return make(QStringLiteral("dbe_text(%1, %2)").arg(a[0].sql, dateHint(a[0])), Value::Text);
    if (fn == u"LEN") {
        // The length of a number's or a date's text as CStr writes it ("05/03/2024", "12,5"); a
        // number field read by its type first. Null, or a value no rule reads, gives Null.
        const QString v = a[0].kind == Value::Number && a[0].column ? valueKeySql(a[0]) : a[0].sql;
        return make(QStringLiteral("length(dbe_text(%1, %2))")
                        .arg(v, a[0].kind == Value::Date ? QStringLiteral("3") : QStringLiteral("2")),
                    Value::Number, 4, 4);
    }
    if (const short type = conversionType(fn)) {
        return make(QStringLiteral("dbe_num(%1, %2, %3)").arg(a[0].sql, QString::number(type), dateHint(a[0])),
                    Value::Number, type,
                    type == 7 || type == 5 ? 8
                    : type == 3            ? 2
                    : type == 2            ? 1
                                           : 4);
    }
    if (fn == u"CDATE")
        return make(QStringLiteral("dbe_cdate(") + a[0].sql + u')', Value::Date);
    if (const QString part = partOf(fn); !part.isEmpty())
        return make(QStringLiteral("dbe_datepart(%1, %2)").arg(part, a[0].sql), Value::Number, 3, 2);
    if (fn == u"DATEPART")
        return make(QStringLiteral("dbe_datepart(%1, %2)").arg(a[0].sql, a[1].sql), Value::Number, 3, 2);
    if (fn == u"DATEADD")
        return make(QStringLiteral("dbe_dateadd(%1, %2, %3)").arg(a[0].sql, a[1].sql, a[2].sql), Value::Date);
    if (fn == u"DATEDIFF")
        return make(QStringLiteral("dbe_datediff(%1, %2, %3)").arg(a[0].sql, a[1].sql, a[2].sql), Value::Number, 4, 4);
    if (fn == u"DATESERIAL")
        return make(QStringLiteral("dbe_dateserial(%1, %2, %3)").arg(a[0].sql, a[1].sql, a[2].sql), Value::Date);
    if (fn == u"FORMAT") {
        return make(QStringLiteral("dbe_format(%1, %2, %3)")
                        .arg(a[0].sql, a.size() > 1 ? a[1].sql : QStringLiteral("NULL"), dateHint(a[0])),
                    Value::Text);
    }
    return std::nullopt;
}

}  // namespace

Value emitFunction(Emitter& em, const Expr& e)
{
    if (std::optional<Value> v = controlFunction(em, e))
        return *v;
    const QString& fn = e.text;
    QVector<Value> a;
    for (const ExprPtr& arg : e.args)
        a.append(em.value(*arg));
    if (std::optional<Value> v = textFunction(fn, a))
        return *v;
    // The date functions and conversions take a date field's value as its day number: every
    // stored form alike, a value no rule reads as Null.
    for (Value& v : a) {
        if (v.kind == Value::Date && v.column)
            v.sql = valueKeySql(v);
    }
    if (const QString runtime = mathTextFunction(fn); !runtime.isEmpty()) {
        QStringList sql;
        for (const Value& v : a)
            sql.append(v.sql);
        const bool numeric = fn != u"REPLACE" && fn != u"SPACE" && fn != u"CHR" && fn != u"STRREVERSE";
        return make(runtime + u'(' + sql.join(QStringLiteral(", ")) + u')', numeric ? Value::Number : Value::Text);
    }
    if (std::optional<Value> v = dateOrConversionFunction(fn, a))
        return *v;
    em.expressionError(e);
}

const std::vector<RuntimeFunction>& runtimeFunctions()
{
    static const std::vector<RuntimeFunction> list = {
        {"dbe_div", 2, true},
        {"dbe_idiv", 2, true},
        {"dbe_mod", 2, true},
        {"dbe_concat", -1, true},
        {"dbe_text", 2, true},
        {"dbe_num", 3, true},
        {"dbe_val", 1, true},
        {"dbe_cdate", 1, true},
        {"dbe_datepart", 2, true},
        {"dbe_now", 1, false},
        {"dbe_dateadd", 3, true},
        {"dbe_datediff", 3, true},
        {"dbe_dateserial", 3, true},
        {"dbe_format", 3, true},
        {"dbe_instr", 4, true},
        {"dbe_left", 2, true},
        {"dbe_right", 2, true},
        {"dbe_mid", -1, true},
        {kIdentityFunction, -1, true},
        // Registered apart (math_text_functions.h), with their own argument counts; the aggregates
        // among them are called only where an aggregate may stand.
        {"dbe_pow", -1, true},
        {"dbe_round", -1, true},
        {"dbe_int", -1, true},
        {"dbe_fix", -1, true},
        {"dbe_sgn", -1, true},
        {"dbe_sqr", -1, true},
        {"dbe_exp", -1, true},
        {"dbe_log", -1, true},
        {"dbe_isnumeric", -1, true},
        {"dbe_isdate", -1, true},
        {"dbe_replace", -1, true},
        {"dbe_space", -1, true},
        {"dbe_chr", -1, true},
        {"dbe_asc", -1, true},
        {"dbe_strcomp", -1, true},
        {"dbe_strreverse", -1, true},
        {"dbe_instrrev", -1, true},
        {"dbe_single", -1, true},
        {"dbe_first", -1, true},
        {"dbe_last", -1, true},
        {"dbe_stdev", -1, true},
        {"dbe_stdevp", -1, true},
        {"dbe_var", -1, true},
        {"dbe_varp", -1, true},
        {"dbe_currency_avg", -1, true},
    };
    return list;
}

}  // namespace dbe::dialect
