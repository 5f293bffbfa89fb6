#include "typed_values.h"

#include "dbengine/date_value.h"
#include "dbengine/number_text.h"
#include "../spelling_table.h"
#include "../value_functions.h"

#include <QHash>
#include <cmath>

namespace dbe::dialect {

namespace {

// Beyond this many spellings a text literal is looked up through the table function, which reads
// the values that occur instead of listing every spelling.
constexpr int kMaxSpellings = 64;

// The text of a quoted literal ('...', inner apostrophes doubled); false for anything else.
bool literalText(const Value& v, QString* text)
{
    if (v.column || (v.kind != Value::Text && v.kind != Value::Date))
        return false;
    const QString& s = v.sql;
    if (s.size() < 2 || s.front() != u'\'' || s.back() != u'\'')
        return false;
    QString out;
    for (int i = 1; i < s.size() - 1; ++i) {
        if (s[i] == u'\'') {
            if (i + 1 >= s.size() - 1 || s[i + 1] != u'\'')
                return false;
            ++i;
        }
        out += s[i];
    }
    *text = out;
    return true;
}

bool isYesNo(const Value& v) { return v.column && v.type == 1; }

// A column of a number type other than yes/no (byte to decimal).
bool isNumberColumn(const Value& v) { return v.column && v.kind == Value::Number && v.type != 1; }

bool isDate(const Value& v) { return v.kind == Value::Date; }

// A value the same for every record: no column of this query or an enclosing one takes part.
bool isConstant(const Value& v) { return !v.column && !v.aggregate && !v.sql.contains(u'"'); }

[[noreturn]] void mismatch() { throw DbError::make(err::TypeMismatch); }

QString number(double d) { return QString::number(d, 'g', 17); }

QString readCall(const char* function, const QString& sql, int mode)
{
    return QString::fromLatin1(function) + u'(' + sql
           + (mode == kReadCompare ? QStringLiteral(")") : QStringLiteral(", %1)").arg(mode));
}

// v as a day number: literals at once, anything else through dbe_date in the given mode (a text
// value that is no literal is always read strictly: a text compared with a date must be one).
QString dateOperand(const Value& v, int mode = kReadCompare)
{
    QString text;
    switch (v.kind) {
    case Value::Null: return QStringLiteral("NULL");
    case Value::Number:
    case Value::Bool:
        if (isYesNo(v))
            return readCall(kYesNoFunction, v.sql, mode);
        if (isNumberColumn(v))
            return readCall(kNumberFunction, v.sql, mode);
        return v.sql;  // a number is a day number
    case Value::Date:
        if (literalText(v, &text)) {
            const QDateTime dt = dateFromStoredText(text);
            if (dt.isValid())
                return number(dateSerial(dt));
        }
        return readCall(kDateFunction, v.sql, mode);
    case Value::Text:
        if (literalText(v, &text)) {
            const QDateTime dt = dateFromItalianText(text);
            if (!dt.isValid())
                mismatch();
            return number(dateSerial(dt));
        }
        return readCall(kDateFunction, v.sql, kReadStrict);
    default: return readCall(kDateFunction, v.sql, mode);
    }
}

// The date literal (or text literal that is a date) v; invalid when v is none.
QDateTime literalDate(const Value& v)
{
    QString text;
    if (!literalText(v, &text))
        return QDateTime();
    return v.kind == Value::Date ? dateFromStoredText(text) : dateFromItalianText(text);
}

// "col holds the date dt", answered from an index on col: the ranges of the stored forms that
// begin with the day ("yyyy-MM-dd...", "yyyy/MM/dd...", the day numbers of that day, written as
// numbers or as text with a decimal comma), each read exactly. A time alone (day 0) has forms
// that begin with no day: then every value is read.
QString dateEqualsSql(const QString& col, const QDateTime& dt)
{
    const QString exact = QStringLiteral("%1(%2) = %3").arg(QLatin1String(kDateFunction), col, number(dateSerial(dt)));
    if (isTimeOnly(dt))
        return u'(' + exact + u')';
    const qint64 day = qint64(std::floor(dateSerial(dt)));
    QStringList ranges;
    for (const QString& prefix : {dt.date().toString(QStringLiteral("yyyy-MM-dd")),
                                  dt.date().toString(QStringLiteral("yyyy/MM/dd")), QString::number(day) + u','}) {
        ranges.append(QStringLiteral("(%1 >= '%2' AND %1 < '%2~')").arg(col, prefix));
    }
    ranges.append(QStringLiteral("(%1 >= %2 AND %1 < %3)").arg(col, QString::number(day), QString::number(day + 1)));
    return QStringLiteral("((%1) AND %2)").arg(ranges.join(QStringLiteral(" OR ")), exact);
}

// v read as a number (mode of dbe_number) for comparisons and arithmetic: a yes/no column as -1
// or 0, a number column by its reading, a text literal by the number rule at once (3464 when it is
// no number), any other value that may be a text (an expression, a text column) by the reading
// too; numbers as they are.
QString numericOperand(const Value& v, int mode = kReadCompare)
{
    if (isYesNo(v))
        return readCall(kYesNoFunction, v.sql, mode);
    if (isNumberColumn(v))
        return readCall(kNumberFunction, v.sql, mode);
    QString text;
    if (v.kind == Value::Text && literalText(v, &text)) {
        double d = 0;
        if (!parseItalianNumber(text, &d))
            mismatch();
        return number(d);
    }
    if (v.kind == Value::Text || v.kind == Value::Other)
        return readCall(kNumberFunction, v.sql, mode);
    return v.sql;
}

// "col op constant" for a number column, answered from an index on col: the values stored as
// numbers compared as they are, those stored as text (which sort after every number) by their
// reading.
QString numberColumnSql(const QString& col, const QString& op, const QString& constant)
{
    const bool textsPass = op == u">" || op == u">=" || op == u"<>";
    const QString asStored = textsPass ? QStringLiteral("(%1 %2 %3 AND %1 < '')").arg(col, op, constant)
                                       : QStringLiteral("%1 %2 %3").arg(col, op, constant);
    return QStringLiteral("(%1 OR (%2 >= '' AND %3 %4 %5))")
        .arg(asStored, col, readCall(kNumberFunction, col, kReadCompare), op, constant);
}

// Whether the operands compare as texts: a text column takes part, or a text value with no
// column of another type.
bool textRule(const QVector<const Value*>& operands)
{
    bool textColumn = false, otherColumn = false, text = false;
    for (const Value* v : operands) {
        if (v->column) {
            if (Emitter::isTextType(v->type))
                textColumn = true;
            else
                otherColumn = true;
        }
        if (v->kind == Value::Text)
            text = true;
    }
    return textColumn || (text && !otherColumn);
}

// Whether the operands compare as numbers: a number column (yes/no included) or a number value,
// with nothing but numbers, Nulls and text literals that are numbers ('12,50' > 12.4).
bool numberRule(const QVector<const Value*>& operands)
{
    bool numberValue = false;
    QString text;
    for (const Value* v : operands) {
        if (v->kind == Value::Number && !(v->column && Emitter::isTextType(v->type)))
            numberValue = true;
        else if (v->kind != Value::Null && (v->column || v->kind != Value::Text || !literalText(*v, &text)))
            return false;
    }
    return numberValue;
}

// Whether v may hold a letter outside ASCII that has another case: a text or memo column, an
// expression that gives text, a literal with such a letter.
bool mayHoldCase(const Value& v)
{
    QString text;
    if (literalText(v, &text))
        return hasNonAsciiCase(text);
    if (v.column)
        return Emitter::isTextType(v.type);
    return v.kind == Value::Text || v.kind == Value::Other;
}

// The collation texts are compared with: SQLite's NOCASE, which the archive's indexes use and
// which tells texts apart exactly as DBE_NOCASE when one of the two compared can hold only ASCII
// letters (the first operand against every other one), or DBE_NOCASE. Order (ranges) is always
// DBE_NOCASE's: NOCASE sorts accented letters after "z".
QString collation(const QVector<const Value*>& operands, bool equality = true)
{
    const QString dbe = QString::fromLatin1(kNocaseCollation);
    if (!equality)
        return dbe;
    if (!mayHoldCase(*operands[0]))
        return QStringLiteral("NOCASE");
    for (int i = 1; i < operands.size(); ++i) {
        if (mayHoldCase(*operands[i]))
            return dbe;
    }
    return QStringLiteral("NOCASE");
}

// Every spelling of text that differs in the case of its letters outside ASCII (ASCII case is
// NOCASE's); empty when there are more than kMaxSpellings.
QStringList spellings(const QString& text)
{
    qsizetype covered = 0;
    const QStringList all = spellingsOfPrefix(text, kMaxSpellings, &covered);
    return covered < text.size() ? QStringList() : all;
}

// The table function's call that gives what a NOCASE look-up of column must try for the text sql
// (spelling_table.h): with the column's table and field, so that a text of any length is found.
QString spellingsCall(const Value& column, const QString& sql)
{
    if (column.table.isEmpty() || column.field.isEmpty())
        return QStringLiteral("%1(%2)").arg(QString::fromLatin1(kSpellingsTable), sql);
    return QStringLiteral("%1(%2, %3, %4)")
        .arg(QString::fromLatin1(kSpellingsTable), sql, Emitter::textLiteral(column.table),
             Emitter::textLiteral(column.field));
}

// What column is looked up under for the text literals among values, for "column COLLATE NOCASE
// IN (...)": the list of their spellings, or, when one has more than kMaxSpellings (or all of
// them together), a query of the table function for each; empty when one is no literal.
QString spellingList(const Value& column, const QVector<const Value*>& values)
{
    QStringList items, calls;
    bool listed = true;
    for (const Value* v : values) {
        QString text;
        if (!literalText(*v, &text))
            return QString();
        calls.append(QStringLiteral("SELECT value FROM ") + spellingsCall(column, v->sql));
        const QStringList all = listed ? spellings(text) : QStringList();
        for (const QString& s : all)
            items.append(Emitter::textLiteral(s));
        listed = listed && !all.isEmpty() && items.size() <= kMaxSpellings;
    }
    if (listed)
        return items.join(QStringLiteral(", "));
    if (column.table.isEmpty())
        return QString();
    return calls.join(QStringLiteral(" UNION ALL "));
}

QString notWord(bool negated) { return negated ? QStringLiteral("NOT ") : QString(); }

// "inner equals outer" under DBE_NOCASE, answered from a NOCASE index on the column inner: inner
// is looked up under every spelling of outer, or, for a text with too many, under the values of
// inner's field equal to it.
QString spellingLookup(const Value& inner, const Value& outer)
{
    return QStringLiteral("(%1 COLLATE NOCASE IN (SELECT value FROM %2))")
        .arg(inner.sql, spellingsCall(inner, outer.sql));
}

// Which of the join's keys looked up together "inner = outer" is (its number), -1 for none.
int keyOf(const JoinCondition& join, const Value& inner, const Value& outer)
{
    for (int k = 0; k < join.keys.size(); ++k) {
        if (join.keys[k].column == inner.columnIndex && join.keys[k].outerSql == outer.sql)
            return k;
    }
    return -1;
}

// Every key of the join equal to its other side under DBE_NOCASE, answered by the records the
// table holds under those keys, by their rowids (spelling_table.h): the first key's condition.
// The look-up may give records whose keys only share a hash with them: each key, the first
// included, is then compared under DBE_NOCASE too.
QString keysLookup(const JoinCondition& join)
{
    QStringList args{Emitter::textLiteral(join.keysTable)};
    for (int k = 0; k < join.keys.size(); ++k)
        args << Emitter::textLiteral(join.keysFields[k]) << join.keys[k].outerSql;
    return QStringLiteral("(%1 IN (SELECT r FROM %2(%3)))")
        .arg(join.keysRowid, QString::fromLatin1(kKeyRowsTable), args.join(QStringLiteral(", ")));
}

QString nocaseEquals(const Value& a, const Value& b)
{
    return QStringLiteral("(+%1 COLLATE %2 = +%3)").arg(a.sql, QString::fromLatin1(kNocaseCollation), b.sql);
}

// Two text columns of different tables compared for equality, so that an index is used: in a
// join's ON condition, an equality on a field that an index of the table the join adds seeks on
// looks that table up, any other compares through DBE_NOCASE (then SQLite may also build an
// automatic index with that collation); a column of this query compared with one of an enclosing
// query looks up this query's; two tables of one FROM list look up whichever SQLite takes second.
// Empty when the DBE_NOCASE comparison will do, as for every difference (which seeks on no index).
QString textColumnsSql(const Value& a, const Value& b, bool negated, const JoinCondition* join)
{
    if (negated)
        return QString();
    if (join) {
        if ((a.source == join->innerSource) == (b.source == join->innerSource))
            return QString();
        const bool innerA = a.source == join->innerSource;
        const Value& inner = innerA ? a : b;
        const Value& outer = innerA ? b : a;
        const int key = keyOf(*join, inner, outer);
        if (key == 0)
            return QStringLiteral("(%1 AND %2)").arg(keysLookup(*join), nocaseEquals(a, b));
        if (key > 0)
            return nocaseEquals(a, b);
        // Two fields of plain values only: NOCASE tells them apart as DBE_NOCASE does, and the
        // inner one is sought on its NOCASE index as it is.
        const bool plain = join->plain && join->plain(a, b);
        if (plain && join->lookups.contains(inner.columnIndex))
            return QStringLiteral("(%1 COLLATE NOCASE = %2)").arg(inner.sql, outer.sql);
        if (plain)
            return QStringLiteral("(+%1 COLLATE NOCASE = +%2)").arg(a.sql, b.sql);
        if (!join->lookups.contains((innerA ? a : b).columnIndex)) {
            // "+": a test of each record the index found, never the key of an automatic index,
            // which SQLite would otherwise build on such fields however few their values.
            return nocaseEquals(a, b);
        }
        return spellingLookup(innerA ? a : b, innerA ? b : a);
    }
    if ((a.source >= 0) != (b.source >= 0))
        return spellingLookup(a.source >= 0 ? a : b, a.source >= 0 ? b : a);
    if (a.source < 0 || a.source == b.source)
        return QString();
    return QStringLiteral("(%1 AND %2)").arg(spellingLookup(a, b), spellingLookup(b, a));
}

// "inner's reading equals outer's", answered from an index on inner: inner looked up under outer's
// number and under every text of inner's field that reads as it (spelling_table.h).
QString numberLookup(const Value& inner, const Value& outer)
{
    return QStringLiteral("(%1 IN (SELECT value FROM %2(%3, %4, %5)))")
        .arg(inner.sql, QString::fromLatin1(kNumberFormsTable), outer.sql, Emitter::textLiteral(inner.table),
             Emitter::textLiteral(inner.field));
}

// Two number fields compared by their readings, so that '37,0' stored by another program equals
// 37; an equality across tables looks one of them up as textColumnsSql does, so that an index
// answers it.
QString numberColumnsSql(const Value& a, const QString& op, const Value& b, const JoinCondition* join)
{
    const QString read = QStringLiteral("(%1 %2 %3)").arg(numericOperand(a), op, numericOperand(b));
    if (op != u"=" || a.table.isEmpty() || a.field.isEmpty() || b.table.isEmpty() || b.field.isEmpty())
        return read;
    if (join) {
        if ((a.source == join->innerSource) == (b.source == join->innerSource))
            return read;
        const bool innerA = a.source == join->innerSource;
        if (!join->lookups.contains((innerA ? a : b).columnIndex))
            return read;
        return numberLookup(innerA ? a : b, innerA ? b : a);
    }
    if ((a.source >= 0) != (b.source >= 0))
        return numberLookup(a.source >= 0 ? a : b, a.source >= 0 ? b : a);
    if (a.source < 0 || a.source == b.source)
        return read;
    return QStringLiteral("(%1 AND %2)").arg(numberLookup(a, b), numberLookup(b, a));
}

}  // namespace

QString comparisonSql(const Value& a, const QString& op, const Value& b, const JoinCondition* join)
{
    const bool eq = op == u"=", ne = op == u"<>";
    if ((eq || ne) && a.column && b.column && Emitter::isTextType(a.type) && Emitter::isTextType(b.type)) {
        const QString sql = textColumnsSql(a, b, ne, join);
        if (!sql.isEmpty())
            return sql;
    }
    if (isDate(a) || isDate(b)) {
        if ((eq || ne) && a.column && b.column && isDate(a) && isDate(b)) {
            // In a join, two fields whose values are all Null or in the engine's own form (one
            // text for each date, always read) are equal dates exactly when the texts are equal.
            if (join && eq && join->plain && join->plain(a, b))
                return QStringLiteral("(%1 = %2)").arg(a.sql, b.sql);
            // Equal stored forms are the same date when they are one: the day numbers are read
            // only when the forms differ.
            const QString da = dateOperand(a), db = dateOperand(b);
            return eq ? QStringLiteral("((%1 = %2 AND %3 IS NOT NULL) OR %3 = %4)").arg(a.sql, b.sql, da, db)
                      : QStringLiteral("(%1 <> %2 AND %3 <> %4)").arg(a.sql, b.sql, da, db);
        }
        if (eq && (a.column || b.column) && isDate(a.column ? a : b)) {
            const QDateTime dt = literalDate(a.column ? b : a);
            if (dt.isValid())
                return dateEqualsSql((a.column ? a : b).sql, dt);
        }
        return QStringLiteral("(%1 %2 %3)").arg(dateOperand(a), op, dateOperand(b));
    }
    if (numberRule({&a, &b})) {
        if (isNumberColumn(a) && isNumberColumn(b))
            return numberColumnsSql(a, op, b, join);  // a join's key: a value no rule reads matches nothing
        if (isNumberColumn(a) && isConstant(b))
            return numberColumnSql(a.sql, op, numericOperand(b));
        if (isNumberColumn(b) && isConstant(a)) {
            static const QHash<QString, QString> mirrored = {{QStringLiteral("<"), QStringLiteral(">")},
                                                             {QStringLiteral(">"), QStringLiteral("<")},
                                                             {QStringLiteral("<="), QStringLiteral(">=")},
                                                             {QStringLiteral(">="), QStringLiteral("<=")}};
            return numberColumnSql(b.sql, mirrored.value(op, op), numericOperand(a));
        }
        return QStringLiteral("(%1 %2 %3)").arg(numericOperand(a), op, numericOperand(b));
    }
    // A number field against a text field or a text expression (a join's key, a WHERE over two
    // tables): the text read as a number by the Italian rule, never the number as text; a text that
    // is no number matches nothing.
    const auto numberField = [](const Value& v) { return v.column && (isNumberColumn(v) || isYesNo(v)); };
    const auto textValue = [](const Value& v) { return v.kind == Value::Text && (v.column || !isConstant(v)); };
    if ((numberField(a) && textValue(b)) || (numberField(b) && textValue(a)))
        return QStringLiteral("(%1 %2 %3)").arg(numericOperand(a), op, numericOperand(b));
    if (textRule({&a, &b})) {
        const QString coll = collation({&a, &b}, op == u"=" || op == u"<>");
        if ((op == u"=" || op == u"<>") && coll != u"NOCASE" && (a.column || b.column)) {
            const Value& col = a.column ? a : b;
            const Value& other = a.column ? b : a;
            const QString list = spellingList(col, {&other});
            if (!list.isEmpty()) {
                return QStringLiteral("(%1 COLLATE NOCASE %2IN (%3))").arg(col.sql, notWord(op == u"<>"), list);
            }
        }
        return QStringLiteral("(%1 COLLATE %2 %3 %4)").arg(a.sql, coll, op, b.sql);
    }
    return QStringLiteral("(%1 %2 %3)").arg(a.sql, op, b.sql);
}

QString betweenSql(const Value& a, const Value& lo, const Value& hi, bool negated)
{
    if (isDate(a) || isDate(lo) || isDate(hi)) {
        return QStringLiteral("(%1 %2BETWEEN %3 AND %4)")
            .arg(dateOperand(a), notWord(negated), dateOperand(lo), dateOperand(hi));
    }
    if (numberRule({&a, &lo, &hi})) {
        if (!negated && isNumberColumn(a) && isConstant(lo) && isConstant(hi)) {
            return QStringLiteral("(%1 AND %2)")
                .arg(numberColumnSql(a.sql, QStringLiteral(">="), numericOperand(lo)),
                     numberColumnSql(a.sql, QStringLiteral("<="), numericOperand(hi)));
        }
        return QStringLiteral("(%1 %2BETWEEN %3 AND %4)")
            .arg(numericOperand(a), notWord(negated), numericOperand(lo), numericOperand(hi));
    }
    const QString coll =
        textRule({&a, &lo, &hi}) ? QStringLiteral(" COLLATE ") + collation({&a, &lo, &hi}, false) : QString();
    return QStringLiteral("(%1%2 %3BETWEEN %4 AND %5)").arg(a.sql, coll, notWord(negated), lo.sql, hi.sql);
}

QString inListSql(const Value& a, const QVector<Value>& items, bool negated)
{
    QVector<const Value*> operands{&a};
    for (const Value& item : items)
        operands.append(&item);
    QStringList sqls;
    if (std::any_of(operands.begin(), operands.end(), [](const Value* v) { return isDate(*v); })) {
        for (const Value& item : items)
            sqls.append(dateOperand(item));
        return QStringLiteral("(%1 %2IN (%3))").arg(dateOperand(a), notWord(negated), sqls.join(QStringLiteral(", ")));
    }
    if (numberRule(operands)) {
        bool constants = true;
        for (const Value& item : items) {
            sqls.append(numericOperand(item));
            constants = constants && isConstant(item);
        }
        const QString list = sqls.join(QStringLiteral(", "));
        if (isNumberColumn(a) && constants) {
            // As numberColumnSql: the values stored as numbers from the index, texts by their reading.
            return QStringLiteral("((%1 %2IN (%3)%4) OR (%1 >= '' AND %5 %2IN (%3)))")
                .arg(a.sql, notWord(negated), list, negated ? QStringLiteral(" AND %1 < ''").arg(a.sql) : QString(),
                     numericOperand(a));
        }
        return QStringLiteral("(%1 %2IN (%3))").arg(numericOperand(a), notWord(negated), list);
    }
    for (const Value& item : items)
        sqls.append(item.sql);
    QString coll;
    if (textRule(operands)) {
        coll = collation(operands);
        if (coll != u"NOCASE" && a.column) {
            const QString list = spellingList(a, operands.mid(1));
            if (!list.isEmpty())
                return QStringLiteral("(%1 COLLATE NOCASE %2IN (%3))").arg(a.sql, notWord(negated), list);
        }
        coll = QStringLiteral(" COLLATE ") + coll;
    }
    return QStringLiteral("(%1%2 %3IN (%4))").arg(a.sql, coll, notWord(negated), sqls.join(QStringLiteral(", ")));
}

QString inSelectLeftSql(const Value& a, const Value& key, QString* keySql)
{
    if (isDate(a) || isDate(key)) {
        *keySql = dateOperand(key);
        return dateOperand(a);
    }
    *keySql = key.sql;
    if (textRule({&a, &key}))
        return a.sql + QStringLiteral(" COLLATE ") + QString::fromLatin1(kNocaseCollation);
    if (isYesNo(a) || isYesNo(key) || (isNumberColumn(a) != isNumberColumn(key) && numberRule({&a, &key}))) {
        *keySql = numericOperand(key);
        return numericOperand(a);
    }
    return a.sql;
}

QString sortKeySql(const Value& v)
{
    if (isDate(v))
        return dateOperand(v, kReadSort);
    if (v.kind == Value::Text)
        return v.sql + QStringLiteral(" COLLATE ") + QString::fromLatin1(kNocaseCollation);
    if (isYesNo(v) || isNumberColumn(v))
        return numericOperand(v, kReadSort);
    return v.sql;
}

QString valueKeySql(const Value& v)
{
    if (isDate(v))
        return dateOperand(v);
    if (isYesNo(v) || isNumberColumn(v))
        return numericOperand(v);
    return sortKeySql(v);
}

QString conditionSql(const Value& v)
{
    if (isYesNo(v) || isNumberColumn(v))
        return QStringLiteral("(%1 <> 0)").arg(numericOperand(v));
    return v.sql;
}

QString likeSubjectSql(const Value& v)
{
    // A date is matched as it is shown, a number as its reading written with a decimal comma.
    if (isDate(v))
        return QStringLiteral("dbe_text(%1, 3)").arg(dateOperand(v));
    if (isYesNo(v) || isNumberColumn(v))
        return QStringLiteral("dbe_text(%1, 2)").arg(numericOperand(v));
    return v.sql;
}

QString arithmeticOperandSql(const Value& v)
{
    if (v.kind == Value::Null)
        return QStringLiteral("NULL");
    if (v.kind == Value::Number && !isYesNo(v) && !isNumberColumn(v))
        return v.sql;
    return numericOperand(v, kReadStrict);
}

bool arithmeticSql(const Value& a, const QString& op, const Value& b, Value* out)
{
    if (op != u"+" && op != u"-" && op != u"*")
        return false;
    if ((isDate(a) || isDate(b)) && op != u"*") {
        out->sql = u'(' + dateOperand(a) + u' ' + op + u' ' + dateOperand(b) + u')';
        // A date minus a date is a number of days; a date moved by a number is a date.
        out->kind = isDate(a) && isDate(b) && op == u"-" ? Value::Number : Value::Date;
        return true;
    }
    const QString x = arithmeticOperandSql(a), y = arithmeticOperandSql(b);
    // Currency with currency, and currency times a whole number, stay currency: exact to the
    // fourth decimal, as the original engine keeps them.
    const auto whole = [](const Value& v) {
        if (v.type >= 2 && v.type <= 4)
            return true;
        bool ok = false;
        return v.type == 0 && v.kind == Value::Number && !v.column && (v.sql.toLongLong(&ok), ok);
    };
    const bool currency = op == u"*" ? (a.type == 5 && (b.type == 5 || whole(b))) || (b.type == 5 && whole(a))
                                     : a.type == 5 && b.type == 5;
    if (currency) {
        out->sql = QStringLiteral("round(%1 %2 %3, 4)").arg(x, op, y);
        out->kind = Value::Number;
        out->type = 5;
        out->size = 8;
        return true;
    }
    out->sql = QStringLiteral("(%1 %2 %3)").arg(x, op, y);
    out->kind = Value::Number;
    return true;
}

QString sumSql(const Value& a)
{
    if (a.type != 5)
        return QString();
    return QString::fromLatin1(kCurrencySumFunction) + u'(' + valueKeySql(a) + u')';
}

QString caseSql(const Value& a, bool upper)
{
    return QString::fromLatin1(upper ? kUpperFunction : kLowerFunction) + u'(' + a.sql + u')';
}

}  // namespace dbe::dialect
