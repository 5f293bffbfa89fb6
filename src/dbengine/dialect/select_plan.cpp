// The SELECT plan: a keyset (the rowids of the sources, in result order) when every output column
// is a column of a source, a snapshot (the values themselves) for DISTINCT, aggregates, grouping
// and computed columns.
#include "planner.h"
#include "typed_values.h"

#include "functions.h"

namespace dbe::dialect {

namespace {

bool isKeysetQuery(const SelectQuery& q)
{
    if (q.distinct || !q.groupBy.empty() || q.having)
        return false;
    for (const SelectItem& item : q.items) {
        if (item.expr->kind != Expr::Star && item.expr->kind != Expr::Column)
            return false;
    }
    return true;
}

// A computed column's type, from what is known of its value.
void computedType(const Value& v, SelectPlan::OutColumn& c)
{
    if (v.type != 0) {
        c.type = v.type;
        c.size = v.size;
        return;
    }
    switch (v.kind) {
    case Value::Number:
        c.type = 7;
        c.size = 8;
        break;
    case Value::Date:
        c.type = 8;
        c.size = 8;
        break;
    case Value::Bool:
        c.type = 1;
        c.size = 1;
        break;
    default:
        c.type = 10;
        c.size = 255;
        break;
    }
}

// How a field is written in a message: as the query wrote it.
QString writtenName(const Expr& e) { return e.table.isEmpty() ? e.field : e.table + u'.' + e.field; }

// The position an ORDER BY item names when it is a whole number written alone (ORDER BY 2 sorts
// by the second field of the result); 0 otherwise.
int ordinal(const Expr& e)
{
    if (e.kind != Expr::Number)
        return 0;
    bool ok = false;
    const int n = e.text.toInt(&ok);
    return ok ? n : 0;
}

// In a query that groups or aggregates, every field outside an aggregate must be one of the
// grouped expressions, or be part of one: otherwise 3122 names it. groups holds the SQL of the
// GROUP BY expressions.
void checkGrouped(const Expr& e, Emitter& em, const QSet<QString>& groups)
{
    if (e.kind == Expr::Func && isAggregateFunction(e.text))
        return;
    if (!refersToColumn(e))
        return;
    if (!containsAggregate(e) && e.kind != Expr::InSelect && e.kind != Expr::Exists && e.kind != Expr::Subquery
        && e.kind != Expr::Quantified) {
        const Value v = em.value(e);
        if (groups.contains(v.sql) || v.kind == Value::Null)
            return;  // grouped; or an unknown name, which finish() reports
        if (e.kind == Expr::Column)
            throw DbError::make(err::NotPartOfAggregate, {writtenName(e)});
    }
    for (const ExprPtr& a : e.args)
        checkGrouped(*a, em, groups);
}

void checkGrouping(const SelectQuery& q, Emitter& em, const QVector<Source>& sources, const QSet<QString>& groups)
{
    for (const SelectItem& item : q.items) {
        const Expr& e = *item.expr;
        if (e.kind != Expr::Star) {
            checkGrouped(e, em, groups);
            continue;
        }
        for (const Source& s : sources) {
            if (!e.table.isEmpty() && s.written.compare(e.table, Qt::CaseInsensitive) != 0)
                continue;
            for (const Column& c : s.table->columns) {
                if (!groups.contains(Emitter::quote(s.sqlName) + u'.' + Emitter::quote(c.name)))
                    throw DbError::make(err::NotPartOfAggregate,
                                        {sources.size() > 1 ? s.written + u'.' + c.name : c.name});
            }
        }
    }
    if (q.having)
        checkGrouped(*q.having, em, groups);
    for (const OrderItem& o : q.orderBy)
        checkGrouped(*o.expr, em, groups);
}

// SELECT cols FROM (inner with its rank) WHERE rank <= n: TOP n keeps every record that ties with
// the n-th on the ORDER BY values.
QString withTies(const QStringList& columns, const QString& innerFrom, const QStringList& order, const QString& top)
{
    QStringList inner, outer;
    for (int i = 0; i < columns.size(); ++i) {
        inner.append(columns[i] + QStringLiteral(" AS dbe_c") + QString::number(i));
        outer.append(QStringLiteral("dbe_c") + QString::number(i));
    }
    return QStringLiteral("SELECT %1 FROM (SELECT %2, rank() OVER (ORDER BY %3) AS dbe_rank FROM %4) "
                          "WHERE dbe_rank <= %5 ORDER BY dbe_rank")
        .arg(outer.join(QStringLiteral(", ")), inner.join(QStringLiteral(", ")), order.join(QStringLiteral(", ")),
             innerFrom, top);
}

// An output column. qualified: the join rule's TABLE.FIELD name, used when the bare name is not
// unique.
struct Out {
    SelectPlan::OutColumn column;
    QString sql;
    QString bare;
    QString qualified;
    bool fixedName = false;  // an alias or a computed column's own name
    bool text = false;
    bool date = false;
};

// The output column of a field of a source.
Out sourceColumn(const QVector<Source>& sources, int si, int ci)
{
    const Source& s = sources[si];
    const Column& c = s.table->columns[ci];
    Out o;
    o.column.source = si;
    o.column.column = ci;
    o.column.type = c.type;
    o.column.size = c.size;
    o.column.field = c.name;
    o.bare = c.name;
    o.qualified = s.written + u'.' + c.name;
    return o;
}

// The output columns of the select list: a star gives every field of its sources, an expression
// one column, named Espr1000, Espr1001, ... when it is computed and has no alias.
QVector<Out> outputColumns(const SelectQuery& q, Emitter& em, const QVector<Source>& sources)
{
    QVector<Out> outs;
    int exprNumber = 1000;
    for (const SelectItem& item : q.items) {
        const Expr& e = *item.expr;
        if (e.kind == Expr::Star) {
            bool matched = false;
            for (int si = 0; si < sources.size(); ++si) {
                const Source& s = sources[si];
                if (!e.table.isEmpty() && s.written.compare(e.table, Qt::CaseInsensitive) != 0)
                    continue;
                matched = true;
                for (int ci = 0; ci < s.table->columns.size(); ++ci) {
                    Out o = sourceColumn(sources, si, ci);
                    o.sql = Emitter::quote(s.sqlName) + u'.' + Emitter::quote(o.column.field);
                    o.text = Emitter::isTextType(o.column.type);
                    o.date = o.column.type == 8;
                    outs.append(o);
                }
            }
            if (!matched)
                throw DbError::make(err::InputTableNotFound, {e.table});
            continue;
        }
        const Value v = em.value(e);
        Out o;
        if (v.column && v.source >= 0) {
            o = sourceColumn(sources, v.source, v.columnIndex);
        } else {
            computedType(v, o.column);
            o.bare = QStringLiteral("Espr") + QString::number(exprNumber++);
            o.fixedName = true;
        }
        o.sql = v.sql;
        o.text = v.kind == Value::Text;
        o.date = v.kind == Value::Date;
        if (!item.alias.isEmpty()) {
            o.bare = item.alias;
            o.fixedName = true;
        }
        outs.append(o);
    }
    return outs;
}

// The join rule: a field name that more than one output column has is given its table. The plan
// gets the columns so named.
void nameColumns(QVector<Out>& outs, const QVector<Source>& sources, SelectPlan& plan)
{
    for (Out& o : outs) {
        int same = 0;
        if (!o.fixedName) {
            for (const Out& other : outs)
                same += (!other.fixedName && other.bare.compare(o.bare, Qt::CaseInsensitive) == 0) ? 1 : 0;
        }
        o.column.name = same > 1 ? o.qualified : o.bare;
        SelectPlan::OutColumn column = o.column;
        if (column.source >= 0 && !sources[column.source].query.isEmpty()) {
            column.source = -1;  // computed by the inner query: no field of a table to write
            column.column = -1;
        }
        plan.columns.append(column);
    }
}

// GROUP BY and HAVING, with the check that every field outside an aggregate is grouped. Leaves
// aggregates allowed as they are in ORDER BY: only in a query that groups or aggregates.
QString groupingClauses(const SelectQuery& q, Emitter& em, const QVector<Source>& sources, bool aggregateQuery)
{
    QString tail;
    QSet<QString> groupSql;
    if (!q.groupBy.empty()) {
        em.setAggregatesAllowed(false);
        QStringList groups;
        for (const ExprPtr& g : q.groupBy) {
            const Value gv = em.value(*g);
            groupSql.insert(gv.sql);
            // A constant makes one group, whatever its value.
            groups.append(refersToColumn(*g) ? sortKeySql(gv) : QStringLiteral("NULL"));
        }
        tail += QStringLiteral(" GROUP BY ") + groups.join(QStringLiteral(", "));
    }
    if (aggregateQuery)
        checkGrouping(q, em, sources, groupSql);
    em.setAggregatesAllowed(aggregateQuery);
    if (q.having)
        tail += QStringLiteral(" HAVING ") + em.condition(*q.having).sql;
    return tail;
}

// How an output column is told apart from another: texts without regard to case, dates by their
// day number, number and yes/no fields by their reading.
Value outKey(const Out& o)
{
    Value key;
    key.sql = o.sql;
    key.kind = o.text ? Value::Text : o.date ? Value::Date : Value::Other;
    if (!o.column.field.isEmpty() && !o.text && !o.date) {
        key.kind = Value::Number;
        key.column = (o.column.type >= 1 && o.column.type <= 7) || o.column.type == 20;
        key.type = o.column.type;
    }
    return key;
}

// The ORDER BY terms; a constant orders nothing.
QStringList orderTerms(const SelectQuery& q, Emitter& em, const QVector<Out>& outs)
{
    QStringList order;
    for (const OrderItem& item : q.orderBy) {
        const QString direction = item.descending ? QStringLiteral(" DESC") : QString();
        if (const int n = ordinal(*item.expr); n >= 1 && n <= outs.size()) {
            order.append(sortKeySql(outKey(outs[n - 1])) + direction);  // ORDER BY 2: the second field
            continue;
        }
        const Value ov = em.value(*item.expr);
        if (!refersToColumn(*item.expr) && !containsAggregate(*item.expr))
            continue;  // any other constant orders nothing
        order.append(sortKeySql(ov) + direction);
    }
    return order;
}

// The parts of the statement a plan is written from.
struct Clauses {
    QString from;
    QString where;  // the condition alone; empty when none
    QString tail;  // GROUP BY, HAVING, then ORDER BY and LIMIT unless TOP keeps ties
    QStringList order;
    QString top;
    bool ties = false;
    QString whereSql() const { return where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where; }
};

// The keyset: the rowid of each source, then each one's identity, then each one's content. With
// DISTINCTROW, a table none of whose fields is shown has no record in the result, and the records
// of the others are listed once.
void writeKeyset(SelectPlan& plan, const SelectQuery& q, const QVector<Source>& sources, const Clauses& c)
{
    QVector<bool> shown(sources.size(), !q.distinctRow);
    for (const SelectPlan::OutColumn& oc : plan.columns)
        shown[oc.source] = true;
    QStringList rowids, identities, contents, grouped;
    for (int i = 0; i < sources.size(); ++i) {
        const QString rowid = Emitter::quote(sources[i].sqlName) + u'.' + Emitter::rowidName(*sources[i].table);
        rowids.append(shown[i] ? rowid : QStringLiteral("NULL"));
        identities.append(shown[i] ? Emitter::identitySql(*sources[i].table, sources[i].sqlName)
                                   : QStringLiteral("NULL"));
        contents.append(shown[i] ? Emitter::contentSql(*sources[i].table, sources[i].sqlName) : QStringLiteral("NULL"));
        if (shown[i])
            grouped.append(rowid);
    }
    QString groupTail;
    if (grouped.size() < sources.size())
        groupTail = QStringLiteral(" GROUP BY ") + grouped.join(QStringLiteral(", "));
    const QStringList columns = rowids + identities + contents;
    const QString whereSql = c.whereSql();
    plan.keySql = c.ties ? withTies(columns, c.from + whereSql + groupTail + c.tail, c.order, c.top)
                         : QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) + QStringLiteral(" FROM ")
                               + c.from + whereSql + groupTail + c.tail;
    if (sources.size() == 1 && shown[0] && groupTail.isEmpty() && c.tail.isEmpty() && !c.ties)
        plan.keyChunkSql =
            QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + c.from
            + QStringLiteral(" WHERE ") + (c.where.isEmpty() ? QString() : u'(' + c.where + QStringLiteral(") AND "))
            + rowids[0] + QStringLiteral(" > :dbe_after ORDER BY ") + rowids[0] + QStringLiteral(" LIMIT :dbe_limit");
}

// The values themselves; DISTINCT and UNION tell values apart as ORDER BY does.
void writeValues(SelectPlan& plan, const SelectQuery& q, bool unionPart, const QVector<Out>& outs, const Clauses& c)
{
    QStringList columns;
    for (const Out& o : outs)
        columns.append(q.distinct || unionPart ? sortKeySql(outKey(o)) : o.sql);
    plan.valuesSql = c.ties ? withTies(columns, c.from + c.whereSql() + c.tail, c.order, c.top)
                            : QStringLiteral("SELECT ") + (q.distinct ? QStringLiteral("DISTINCT ") : QString())
                                  + columns.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + c.from
                                  + c.whereSql() + c.tail;
}

SelectPlan planOne(const SelectQuery& q, Emitter& em, bool unionPart, bool valuesOnly = false)
{
    SelectPlan plan;
    const QVector<Source> sources = em.resolveSources(q.from);
    // The records of a query read as a table, or of tables joined in parentheses on the right,
    // have no rowid to find them by again.
    plan.keyset = !unionPart && !valuesOnly && isKeysetQuery(q) && !Emitter::hasQuerySource(sources)
                  && Emitter::nestedSources(q).isEmpty();
    // A query read as a table is no table of the file: its source names none.
    for (const Source& s : sources)
        plan.sources.append({s.query.isEmpty() ? s.table->name : QString(), s.sqlName, s.written});
    em.pushScope(&sources);
    em.setAggregatesAllowed(false);
    Clauses c;
    c.from = em.fromClause(q, sources);
    if (q.where)
        c.where = em.whereCondition(*q.where).sql;

    em.setAggregatesAllowed(!plan.keyset);
    const int aggregatesBefore = em.aggregateCount();
    QVector<Out> outs = outputColumns(q, em, sources);
    nameColumns(outs, sources, plan);

    // Aggregates in HAVING and ORDER BY only in a query that groups or aggregates its columns.
    const bool aggregateQuery = !q.groupBy.empty() || em.aggregateCount() > aggregatesBefore;
    if (q.having && !aggregateQuery)
        throw DbError::make(err::SyntaxErrorInSelect);
    c.tail = groupingClauses(q, em, sources, aggregateQuery);
    c.order = orderTerms(q, em, outs);
    // TOP n PERCENT: n hundredths of the records (or groups) the query selects, rounded up.
    c.top = !q.topPercent ? QString::number(q.top)
                          : QStringLiteral("(SELECT (count(*) * %1 + 99) / 100 FROM (SELECT 1 FROM %2%3%4))")
                                .arg(QString::number(q.top), c.from, c.whereSql(), c.tail);
    c.ties = q.top >= 0 && !c.order.isEmpty() && !q.distinct;
    if (!c.order.isEmpty() && !c.ties)
        c.tail += QStringLiteral(" ORDER BY ") + c.order.join(QStringLiteral(", "));
    if (q.top >= 0 && !c.ties)
        c.tail += QStringLiteral(" LIMIT ") + c.top;
    em.setAggregatesAllowed(false);
    em.popScope();

    if (plan.keyset)
        writeKeyset(plan, q, sources, c);
    else
        writeValues(plan, q, unionPart, outs, c);
    return plan;
}

// SELECT ... UNION [ALL] SELECT ... [ORDER BY]: the values of each query one after the other,
// named and typed as the first query's; ORDER BY names the first query's fields.
SelectPlan planUnion(const SelectQuery& q, Emitter& em)
{
    SelectPlan plan = planOne(q, em, true);
    QString sql = QStringLiteral("SELECT * FROM (") + plan.valuesSql + u')';
    for (size_t i = 0; i < q.unionParts.size(); ++i) {
        const SelectPlan part = planOne(*q.unionParts[i], em, true);
        if (part.columns.size() != plan.columns.size())
            throw DbError::make(err::UnionColumnCount);
        sql += (q.unionAll[i] ? QStringLiteral(" UNION ALL ") : QStringLiteral(" UNION "))
               + QStringLiteral("SELECT * FROM (") + part.valuesSql + u')';
    }
    QStringList order;
    for (const OrderItem& item : q.unionOrderBy) {
        if (const int n = ordinal(*item.expr); n >= 1 && n <= plan.columns.size()) {
            order.append(QString::number(n) + (item.descending ? QStringLiteral(" DESC") : QString()));
            continue;
        }
        if (item.expr->kind != Expr::Column)
            throw DbError::make(err::SyntaxErrorInOrderBy);
        const int column = findOutColumn(plan, writtenName(*item.expr));
        if (column < 0) {
            em.noteUnknown(writtenName(*item.expr));
            continue;
        }
        order.append(QString::number(column + 1) + (item.descending ? QStringLiteral(" DESC") : QString()));
    }
    if (!order.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    plan.keyset = false;
    plan.valuesSql = sql;
    return plan;
}

}  // namespace

SelectPlan planSelect(const SelectQuery& q, Emitter& em)
{
    return q.unionParts.empty() ? planOne(q, em, false) : planUnion(q, em);
}

SelectPlan planValues(const SelectQuery& q, Emitter& em)
{
    return q.unionParts.empty() ? planOne(q, em, false, true) : planUnion(q, em);
}

int findOutColumn(const SelectPlan& plan, const QString& name)
{
    for (int i = 0; i < plan.columns.size(); ++i) {
        if (plan.columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    const int dot = name.indexOf(u'.');
    if (dot <= 0)
        return -1;
    const QString table = name.left(dot);
    const QString field = name.mid(dot + 1);
    for (int i = 0; i < plan.columns.size(); ++i) {
        const SelectPlan::OutColumn& c = plan.columns[i];
        if (c.source < 0 || c.source >= plan.sources.size())
            continue;
        const SelectPlan::Source& s = plan.sources[c.source];
        if (c.field.compare(field, Qt::CaseInsensitive) == 0
            && (s.written.compare(table, Qt::CaseInsensitive) == 0 || s.table.compare(table, Qt::CaseInsensitive) == 0))
            return i;
    }
    return -1;
}

}  // namespace dbe::dialect
