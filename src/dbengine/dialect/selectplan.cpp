// The SELECT plan: a keyset (the rowids of the sources, in result order) when every output column
// is a column of a source, a snapshot (the values themselves) for DISTINCT, aggregates, grouping
// and computed columns.
#include "planner.h"
#include "typedvalues.h"

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

}  // namespace

SelectPlan planSelect(const SelectQuery& q, Emitter& em)
{
    SelectPlan plan;
    plan.keyset = isKeysetQuery(q);
    const QVector<Source> sources = em.resolveSources(q.from);
    for (const Source& s : sources)
        plan.sources.append({s.table->name, s.sqlName, s.written});
    em.pushScope(&sources);
    em.setAggregatesAllowed(false);
    const QString from = em.fromClause(q, sources);
    QString where;
    if (q.where)
        where = em.condition(*q.where).sql;

    // The output columns. qualified: the join rule's TABLE.FIELD name, used when the bare name
    // is not unique.
    struct Out {
        SelectPlan::OutColumn column;
        QString sql;
        QString bare;
        QString qualified;
        bool fixedName = false;  // an alias or a computed column's own name
        bool text = false;
        bool date = false;
    };
    QVector<Out> outs;
    int exprNumber = 1000;
    em.setAggregatesAllowed(!plan.keyset);
    const int aggregatesBefore = em.aggregateCount();
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
                    const Column& c = s.table->columns[ci];
                    Out o;
                    o.column.source = si;
                    o.column.column = ci;
                    o.column.type = c.type;
                    o.column.size = c.size;
                    o.column.field = c.name;
                    o.sql = Emitter::quote(s.sqlName) + u'.' + Emitter::quote(c.name);
                    o.bare = c.name;
                    o.qualified = s.written + u'.' + c.name;
                    o.text = Emitter::isTextType(c.type);
                    o.date = c.type == 8;
                    outs.append(o);
                }
            }
            if (!matched)
                throw DbError::make(err::InputTableNotFound, {e.table});
            continue;
        }
        const Value v = em.value(e);
        Out o;
        o.sql = v.sql;
        o.text = v.kind == Value::Text;
        o.date = v.kind == Value::Date;
        if (v.column && v.source >= 0) {
            const Source& s = sources[v.source];
            const Column& c = s.table->columns[v.columnIndex];
            o.column.source = v.source;
            o.column.column = v.columnIndex;
            o.column.type = c.type;
            o.column.size = c.size;
            o.column.field = c.name;
            o.bare = c.name;
            o.qualified = s.written + u'.' + c.name;
        } else {
            computedType(v, o.column);
            o.bare = QStringLiteral("Espr") + QString::number(exprNumber++);
            o.fixedName = true;
        }
        if (!item.alias.isEmpty()) {
            o.bare = item.alias;
            o.fixedName = true;
        }
        outs.append(o);
    }
    // The join rule: a field name that more than one output column has is given its table.
    for (Out& o : outs) {
        int same = 0;
        if (!o.fixedName) {
            for (const Out& other : outs)
                same += (!other.fixedName && other.bare.compare(o.bare, Qt::CaseInsensitive) == 0) ? 1 : 0;
        }
        o.column.name = same > 1 ? o.qualified : o.bare;
        plan.columns.append(o.column);
    }

    // Aggregates in HAVING and ORDER BY only in a query that groups or aggregates its columns.
    const bool aggregateQuery = !q.groupBy.empty() || em.aggregateCount() > aggregatesBefore;
    if (q.having && !aggregateQuery)
        throw DbError::make(err::SyntaxErrorInSelect);
    QString tail;
    if (!q.groupBy.empty()) {
        em.setAggregatesAllowed(false);
        QStringList groups;
        for (const ExprPtr& g : q.groupBy) {
            groups.append(sortKeySql(em.value(*g)));
        }
        tail += QStringLiteral(" GROUP BY ") + groups.join(QStringLiteral(", "));
    }
    em.setAggregatesAllowed(aggregateQuery);
    if (q.having)
        tail += QStringLiteral(" HAVING ") + em.condition(*q.having).sql;
    if (!q.orderBy.empty()) {
        QStringList order;
        for (const OrderItem& item : q.orderBy) {
            order.append(sortKeySql(em.value(*item.expr)) + (item.descending ? QStringLiteral(" DESC") : QString()));
        }
        tail += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    }
    if (q.top >= 0)
        tail += QStringLiteral(" LIMIT ") + QString::number(q.top);
    em.setAggregatesAllowed(false);
    em.popScope();

    const QString whereSql = where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where;
    if (plan.keyset) {
        QStringList rowids;
        for (const Source& s : sources)
            rowids.append(Emitter::quote(s.sqlName) + u'.' + Emitter::rowidName(*s.table));
        plan.keySql = QStringLiteral("SELECT ") + rowids.join(QStringLiteral(", ")) + QStringLiteral(" FROM ")
                      + from + whereSql + tail;
    } else {
        QStringList values;
        for (const Out& o : outs) {
            // DISTINCT and grouping tell texts apart without regard to case.
            Value key;
            key.sql = o.sql;
            key.kind = o.text ? Value::Text : o.date ? Value::Date : Value::Other;
            values.append(q.distinct ? sortKeySql(key) : o.sql);
        }
        plan.valuesSql = QStringLiteral("SELECT ") + (q.distinct ? QStringLiteral("DISTINCT ") : QString())
                         + values.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + from + whereSql + tail;
    }
    return plan;
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
            && (s.written.compare(table, Qt::CaseInsensitive) == 0
                || s.table.compare(table, Qt::CaseInsensitive) == 0))
            return i;
    }
    return -1;
}

}  // namespace dbe::dialect
