#include "emitter.h"

#include "../spelling_table.h"

#include "functions.h"
#include "like_pattern.h"
#include "planner.h"
#include "typed_values.h"

#include "dbengine/rowid_name.h"

#include <algorithm>

namespace dbe::dialect {

namespace {

int fieldIndex(const Table& t, const QString& name)
{
    for (int i = 0; i < t.columns.size(); ++i) {
        if (t.columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

Value::Kind kindOfType(short type)
{
    switch (type) {
    case 10:
    case 12: return Value::Text;
    case 8: return Value::Date;
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
    case 20: return Value::Number;
    default: return Value::Other;
    }
}

bool isComparison(const QString& op)
{
    return op == u"=" || op == u"<>" || op == u"<" || op == u">" || op == u"<=" || op == u">=";
}

}  // namespace

Emitter::Emitter(const SchemaProvider& schema, const QString& statementText) : schema_(schema), text_(statementText) {}

QString Emitter::quote(const QString& identifier)
{
    QString s = identifier;
    s.replace(u'"', QStringLiteral("\"\""));
    return u'"' + s + u'"';
}

QString Emitter::textLiteral(const QString& text)
{
    QString s = text;
    s.replace(u'\'', QStringLiteral("''"));
    if (s.contains(QChar(0)))
        return QStringLiteral("('") + s.replace(QChar(0), QStringLiteral("' || char(0) || '")) + QStringLiteral("')");
    return u'\'' + s + u'\'';
}

namespace {
// The name the table's rowid goes by; empty when its fields shadow every such name.
QString unshadowedRowid(const Table& table)
{
    QStringList fields;
    for (const Column& c : table.columns)
        fields << c.name;
    return UnshadowedRowid(fields);
}
}  // namespace

QString Emitter::rowidName(const Table& table)
{
    const QString rowid = unshadowedRowid(table);
    if (rowid.isEmpty())
        throw DbError::make(err::RowNumberShadowed, {table.name});
    return rowid;
}

QString Emitter::contentSql(const Table& table, const QString& sqlName)
{
    QStringList all;
    for (const Column& c : table.columns)
        all.append(sqlName.isEmpty() ? quote(c.name) : quote(sqlName) + u'.' + quote(c.name));
    return QLatin1String(kIdentityFunction) + u'(' + all.join(QStringLiteral(", ")) + u')';
}

QString Emitter::identitySql(const Table& table, const QString& sqlName)
{
    // The primary key's fields; without a primary key, the first field, which in the archive's
    // tables is the code that names the record.
    auto qualified = [&sqlName](const Column& c) {
        return sqlName.isEmpty() ? quote(c.name) : quote(sqlName) + u'.' + quote(c.name);
    };
    QStringList key;
    for (const Column& c : table.columns) {
        if (c.primaryKey)
            key.append(qualified(c));
    }
    if (key.isEmpty() && !table.columns.isEmpty())
        key.append(qualified(table.columns.first()));
    return QLatin1String(kIdentityFunction) + u'(' + key.join(QStringLiteral(", ")) + u')';
}

void Emitter::expressionError(const Expr& e) const
{
    throw DbError::make(err::SyntaxErrorInExpression, {text_.mid(e.pos, e.end - e.pos).trimmed()});
}

void Emitter::noteUnknown(const QString& name)
{
    for (const QString& u : unknown_) {
        if (u.compare(name, Qt::CaseInsensitive) == 0)
            return;
    }
    unknown_.append(name);
}

void Emitter::finish() const
{
    if (!unknown_.isEmpty())
        throw DbError::make(err::TooFewParameters, {QString::number(unknown_.size())});
}

Source Emitter::resolveTarget(const TableRef& ref) const
{
    if (ref.query)
        throw DbError::make(err::NotUpdatableQuery);
    const Table* t = schema_.table(ref.name);
    if (!t)
        throw DbError::make(err::InputTableNotFound, {ref.name});
    Source s;
    s.table = t;
    s.written = ref.alias.isEmpty() ? ref.name : ref.alias;
    s.sqlName = ref.alias.isEmpty() ? t->name : ref.alias;
    return s;
}

QVector<Source> Emitter::resolveSources(const std::vector<TableRef>& from)
{
    QVector<Source> out;
    for (const TableRef& ref : from) {
        Source s = ref.query ? querySource(ref) : resolveTarget(ref);
        for (const Source& o : out) {
            if (!s.written.isEmpty() && o.written.compare(s.written, Qt::CaseInsensitive) == 0)
                throw DbError::make(err::SameTableNameTwice, {s.written});
        }
        // Two sources must not share a name in the SQL (queries read as tables without a name).
        const QString base = s.sqlName;
        for (int n = 2;; ++n) {
            bool taken = false;
            for (const Source& o : out)
                taken = taken || o.sqlName.compare(s.sqlName, Qt::CaseInsensitive) == 0;
            if (!taken)
                break;
            s.sqlName = base + u'_' + QString::number(n);
        }
        out.append(s);
    }
    return out;
}

Source Emitter::querySource(const TableRef& ref)
{
    // The query is planned on its own: it sees no table of the query around it, and its
    // aggregates and conditions are its own.
    const QVector<const QVector<Source>*> savedScopes = scopes_;
    JoinCondition* savedJoin = join_;
    const bool savedAggregates = aggregatesAllowed_;
    const int savedCount = aggregateCount_;
    const bool savedWhere = inWhere_;
    scopes_.clear();
    join_ = nullptr;
    inWhere_ = false;
    if (ref.query->topPercent)
        throw DbError::make(err::SyntaxErrorInFrom);
    const SelectPlan plan = planValues(*ref.query, *this);
    scopes_ = savedScopes;
    join_ = savedJoin;
    aggregatesAllowed_ = savedAggregates;
    aggregateCount_ = savedCount;
    inWhere_ = savedWhere;

    // Its fields as a table's: the names the query gives them (a name repeated is taken by the
    // first field that has it), the types of their values.
    Table t;
    t.name = ref.alias;
    QStringList names;
    for (const SelectPlan::OutColumn& c : plan.columns) {
        Column col;
        col.name = c.name;
        for (int n = 2; names.contains(col.name, Qt::CaseInsensitive); ++n)
            col.name = c.name + QStringLiteral("_dbe") + QString::number(n);
        names.append(col.name);
        col.type = c.type;
        col.size = c.size;
        t.columns.append(col);
    }
    queryTables_.push_back(t);
    Source s;
    s.table = &queryTables_.back();
    s.written = ref.alias;
    s.sqlName = ref.alias.isEmpty() ? QStringLiteral("dbe_q") : ref.alias;
    QStringList quoted;
    for (const QString& n : names)
        quoted.append(quote(n));
    s.query = QStringLiteral("(WITH dbe_t (%1) AS (%2) SELECT * FROM dbe_t)")
                  .arg(quoted.join(QStringLiteral(", ")), plan.valuesSql);
    return s;
}

bool Emitter::hasQuerySource(const QVector<Source>& sources)
{
    for (const Source& s : sources) {
        if (!s.query.isEmpty())
            return true;
    }
    return false;
}

QSet<int> Emitter::nestedSources(const SelectQuery& q)
{
    QSet<int> nested;
    QVector<const FromNode*> pending;
    if (q.fromTree)
        pending.append(q.fromTree.get());
    while (!pending.isEmpty()) {
        const FromNode* node = pending.takeLast();
        if (!node->left)
            continue;
        if (node->right->left) {
            for (int i = node->right->first; i <= node->right->last; ++i)
                nested.insert(i);
        }
        pending.append(node->left.get());
        pending.append(node->right.get());
    }
    return nested;
}

bool Emitter::swapsSides(const SelectQuery& q)
{
    return q.from.size() == 2 && q.joins.size() == 2 && q.joins[1] == SelectQuery::Right;
}

QString Emitter::fromClause(const SelectQuery& q, const QVector<Source>& sources)
{
    return joinSql(q, *q.fromTree, sources);
}

namespace {

// Whether the condition may let SQLite seek the source's records on one of its indexes: a
// comparison (other than <>), LIKE, BETWEEN, IN, IS NULL or a function of one of its fields (a
// field written without its table counts when the source's table has it).
bool seeksOn(const Expr& e, const Source& source)
{
    const auto ofSource = [&](const ExprPtr& a) {
        if (!a || a->kind != Expr::Column)
            return false;
        if (!a->table.isEmpty())
            return a->table.compare(source.written, Qt::CaseInsensitive) == 0;
        return fieldIndex(*source.table, a->field) >= 0;
    };
    switch (e.kind) {
    case Expr::Unary: return e.op == u"NOT" && seeksOn(*e.args[0], source);
    case Expr::Binary:
        if (e.op == u"AND" || e.op == u"OR")
            return seeksOn(*e.args[0], source) || seeksOn(*e.args[1], source);
        if (e.op != u"=" && e.op != u"<" && e.op != u">" && e.op != u"<=" && e.op != u">=")
            return false;
        [[fallthrough]];
    case Expr::Func:
    case Expr::IsNull:
    case Expr::Like:
    case Expr::Between:
    case Expr::InList:
    case Expr::InSelect:
    case Expr::Quantified: return std::any_of(e.args.begin(), e.args.end(), ofSource);
    default: return false;
    }
}

}  // namespace

QString Emitter::joinSql(const SelectQuery& q, const FromNode& node, const QVector<Source>& sources)
{
    auto tableSql = [&](int i) {
        const Source& s = sources[i];
        if (!s.query.isEmpty())
            return s.query + QStringLiteral(" AS ") + quote(s.sqlName);
        QString sql = quote(s.table->name);
        if (s.sqlName != s.table->name)
            sql += QStringLiteral(" AS ") + quote(s.sqlName);
        return sql;
    };
    if (!node.left)
        return tableSql(node.first);
    // The ON condition knows which source its join adds (the table SQLite looks up for each row);
    // a join that adds joined tables looks up none of them by their indexes' spellings.
    const int at = node.right->first;
    const bool addsOne = !node.right->left;
    bool byRowid = false;  // the table added is looked up by the rowids of its records' keys
    auto on = [&](int inner) {
        JoinCondition join;
        join.innerSource = inner;
        join.plain = [this](const Value& a, const Value& b) { return assumePlain({&a, &b}); };
        if (inner >= 0) {
            join.lookups = seekLookups(*q.on[at], inner, sources);
            keyLookups(*q.on[at], sources[inner], &join);
        }
        JoinCondition* saved = join_;
        join_ = &join;
        const QString sql = condition(*q.on[at]).sql;
        join_ = saved;
        byRowid = !join.keys.isEmpty();
        return sql;
    };
    // A table looked up by the rowids of its records' keys is best met in the order of the other
    // table's records, not of an index's texts: records entered together (an order and its lines)
    // are then read together, and an order's lines in turn look up the same keys. So the other
    // table is read whole without its indexes, when it is a table that nothing else of the query
    // would seek on one of them or read in their order.
    auto outerSql = [&](int outer) {
        QString sql = tableSql(outer);
        if (byRowid && q.from.size() == 2 && sources[outer].query.isEmpty() && q.groupBy.empty() && q.orderBy.empty()
            && !q.distinct && !q.distinctRow && !(q.where && seeksOn(*q.where, sources[outer])))
            sql += QStringLiteral(" NOT INDEXED");
        return sql;
    };
    if (swapsSides(q)) {
        const QString condition = on(0);
        return outerSql(1) + QStringLiteral(" LEFT JOIN ") + tableSql(0) + QStringLiteral(" ON ") + condition;
    }
    // Written in the order of the query, so that its fields are met in that order.
    const bool leftIsTable = !node.left->left;
    QString left = leftIsTable ? tableSql(node.left->first) : joinSql(q, *node.left, sources);
    QString right = joinSql(q, *node.right, sources);
    if (!addsOne)
        right = u'(' + right + u')';
    QString keyword;
    switch (q.joins[at]) {
    case SelectQuery::Comma:
    case SelectQuery::First: return left + QStringLiteral(", ") + right;
    case SelectQuery::Inner: keyword = QStringLiteral(" INNER JOIN "); break;
    case SelectQuery::Left: keyword = QStringLiteral(" LEFT JOIN "); break;
    case SelectQuery::Right: keyword = QStringLiteral(" RIGHT JOIN "); break;
    }
    const QString condition = on(addsOne ? at : -2);
    if (leftIsTable && q.joins[at] == SelectQuery::Left)
        left = outerSql(node.left->first);
    return left + keyword + right + QStringLiteral(" ON ") + condition;
}

QSet<int> Emitter::seekLookups(const Expr& on, int inner, const QVector<Source>& sources)
{
    // The inner table's fields that the condition's top-level equalities with the other tables
    // give a value: seekable are numbers and texts (dates compare through their stored forms or
    // their day numbers, which no index seeks on).
    QSet<int> seekable, texts;
    QVector<const Expr*> pending{&on};
    while (!pending.isEmpty()) {
        const Expr* e = pending.takeLast();
        if (e->kind == Expr::Binary && e->op == u"AND") {
            pending.append(e->args[0].get());
            pending.append(e->args[1].get());
            continue;
        }
        if (e->kind != Expr::Binary || e->op != u"=" || e->args[0]->kind != Expr::Column
            || e->args[1]->kind != Expr::Column)
            continue;
        const Value a = value(*e->args[0]), b = value(*e->args[1]);
        if (!a.column || !b.column || (a.source == inner) == (b.source == inner))
            continue;
        const Value& in = a.source == inner ? a : b;
        const Value& out = a.source == inner ? b : a;
        if (isTextType(in.type) && isTextType(out.type)) {
            seekable.insert(in.columnIndex);
            texts.insert(in.columnIndex);
        } else if (in.kind == Value::Number && out.kind == Value::Number) {
            seekable.insert(in.columnIndex);
        }
    }
    // The index that seeks on the most of them, from its first field on.
    QSet<int> best;
    int bestLength = 0, bestTexts = 0;
    for (const QVector<int>& index : sources[inner].table->indexes) {
        QSet<int> lookups;
        int length = 0;
        int textLookups = 0;
        while (length < index.size() && seekable.contains(index[length])) {
            lookups.insert(index[length]);
            textLookups += texts.contains(index[length]) ? 1 : 0;
            ++length;
        }
        if (length > bestLength || (length == bestLength && textLookups < bestTexts)) {
            best = lookups;
            bestLength = length;
            bestTexts = textLookups;
        }
    }
    return best;
}

void Emitter::keyLookups(const Expr& on, const Source& inner, JoinCondition* join)
{
    // The condition's top-level equalities of a text field looked up with a text field of another
    // table, the first for each field.
    QVector<const Expr*> pending{&on};
    while (!pending.isEmpty()) {
        const Expr* e = pending.takeLast();
        if (e->kind == Expr::Binary && e->op == u"AND") {
            pending.append(e->args[1].get());
            pending.append(e->args[0].get());
            continue;
        }
        if (e->kind != Expr::Binary || e->op != u"=" || e->args[0]->kind != Expr::Column
            || e->args[1]->kind != Expr::Column || join->keys.size() == kKeyRowsColumns)
            continue;
        const Value a = value(*e->args[0]), b = value(*e->args[1]);
        if (!a.column || !b.column || (a.source == join->innerSource) == (b.source == join->innerSource))
            continue;
        const Value& in = a.source == join->innerSource ? a : b;
        const Value& out = a.source == join->innerSource ? b : a;
        if (!isTextType(in.type) || !isTextType(out.type) || !join->lookups.contains(in.columnIndex)
            || in.table.isEmpty() || in.field.isEmpty()
            || std::any_of(join->keys.begin(), join->keys.end(),
                           [&](const JoinCondition::Key& k) { return k.column == in.columnIndex; }))
            continue;
        // Two plain fields are compared as stored, as the NOCASE index seeks (typed_values.h).
        if (assumePlain({&in, &out}))
            continue;
        join->keys.append({in.columnIndex, in.sql, out.sql});
        join->keysTable = in.table;
        join->keysFields << in.field;
    }
    const QString rowid = unshadowedRowid(*inner.table);
    if (join->keys.size() < 2 || inner.table->name != join->keysTable || !inner.query.isEmpty() || rowid.isEmpty()) {
        join->keys.clear();
        join->keysFields.clear();
        return;
    }
    join->keysRowid = quote(inner.sqlName) + u'.' + rowid;
}

bool Emitter::plainColumn(const Value& v) const
{
    if (!v.column || v.table.isEmpty() || v.field.isEmpty())
        return false;
    for (const Table& t : queryTables_) {
        if (t.name.compare(v.table, Qt::CaseInsensitive) == 0)
            return false;  // a query read as a table: its fields are no stored values
    }
    return schema_.plainColumn(v.table, v.field);
}

bool Emitter::assumePlain(const QVector<const Value*>& columns)
{
    for (const Value* v : columns) {
        if (!plainColumn(*v))
            return false;
    }
    for (const Value* v : columns) {
        const bool known = std::any_of(plainColumns_.begin(), plainColumns_.end(), [&](const PlainColumn& c) {
            return c.table.compare(v->table, Qt::CaseInsensitive) == 0
                   && c.field.compare(v->field, Qt::CaseInsensitive) == 0;
        });
        if (!known)
            plainColumns_.append({v->table, v->field});
    }
    return true;
}

QString Emitter::asValue(const Value& v) const
{
    if (v.kind == Value::Bool)
        return QStringLiteral("(- ") + v.sql + u')';
    return v.sql;
}

Value Emitter::value(const Expr& e)
{
    Value v = emitExpr(e);
    if (v.kind == Value::Bool) {
        v.sql = asValue(v);
        v.kind = Value::Number;
    }
    return v;
}

Value Emitter::condition(const Expr& e)
{
    Value v = emitExpr(e);
    if (v.column)
        v.sql = conditionSql(v);  // a yes/no field is true by its reading, Null as False
    return v;
}

Value Emitter::column(const Expr& e)
{
    QString table = e.table;
    QString field = e.field;
    for (int attempt = 0; attempt < 2; ++attempt) {
        for (int level = scopes_.size() - 1; level >= 0; --level) {
            const QVector<Source>& sources = *scopes_[level];
            int found = -1, col = -1;
            if (!table.isEmpty()) {
                for (int i = 0; i < sources.size() && found < 0; ++i) {
                    if (sources[i].written.compare(table, Qt::CaseInsensitive) == 0)
                        found = i;
                }
                if (found < 0)
                    continue;
                col = fieldIndex(*sources[found].table, field);
                if (col < 0)
                    break;  // the table is known here: the field is not in it
            } else {
                for (int i = 0; i < sources.size(); ++i) {
                    const int c = fieldIndex(*sources[i].table, field);
                    if (c < 0)
                        continue;
                    if (found >= 0)
                        throw DbError::make(err::AmbiguousField, {e.field});
                    found = i;
                    col = c;
                }
                if (found < 0)
                    continue;
            }
            const Source& s = sources[found];
            const Column& c = s.table->columns[col];
            Value v;
            v.sql = quote(s.sqlName) + u'.' + quote(c.name);
            v.kind = kindOfType(c.type);
            v.column = true;
            v.type = c.type;
            v.size = c.size;
            v.table = s.table->name;
            v.field = c.name;
            if (level == scopes_.size() - 1) {
                v.source = found;
                v.columnIndex = col;
            }
            return v;
        }
        // [TABLE.FIELD] written as one bracketed name: try it as TABLE.FIELD.
        const int dot = field.indexOf(u'.');
        if (attempt > 0 || !table.isEmpty() || dot <= 0 || dot == field.size() - 1)
            break;
        table = field.left(dot);
        field = field.mid(dot + 1);
    }
    noteUnknown(e.table.isEmpty() ? e.field : e.table + u'.' + e.field);
    Value v;
    v.sql = QStringLiteral("NULL");
    v.kind = Value::Null;
    return v;
}

namespace {
// The operands of an AND or OR chain written in one group of parentheses.
constexpr int kChainGroup = 50;

// The operands of a chain a op b op c (parsed as ((a op b) op c)), from left to right.
QVector<const Expr*> chainOperands(const Expr& e)
{
    QVector<const Expr*> operands;
    const Expr* node = &e;
    while (node->kind == Expr::Binary && node->op == e.op) {
        operands.append(node->args[1].get());
        node = node->args[0].get();
    }
    operands.append(node);
    std::reverse(operands.begin(), operands.end());
    return operands;
}
}  // namespace

Value Emitter::emitExpr(const Expr& e)
{
    Value v;
    switch (e.kind) {
    case Expr::Null:
        v.sql = QStringLiteral("NULL");
        v.kind = Value::Null;
        return v;
    case Expr::Bool:
        v.sql = e.boolValue ? QStringLiteral("-1") : QStringLiteral("0");
        v.kind = Value::Number;
        return v;
    case Expr::Number:
        v.sql = e.text;
        v.kind = Value::Number;
        return v;
    case Expr::Text:
        v.sql = textLiteral(e.text);
        v.kind = Value::Text;
        return v;
    case Expr::Date:
        v.sql = textLiteral(e.text);
        v.kind = Value::Date;
        return v;
    case Expr::Column: return column(e);
    case Expr::Star: expressionError(e);
    case Expr::Unary: return unary(e);
    case Expr::Binary: return binary(e);
    case Expr::Func: return function(e);
    case Expr::IsNull: {
        const Value a = value(*e.args[0]);
        v.sql = u'(' + a.sql + (e.negated ? QStringLiteral(" IS NOT NULL)") : QStringLiteral(" IS NULL)"));
        v.kind = Value::Bool;
        return v;
    }
    case Expr::Like: return like(e);
    case Expr::Between: {
        const Value a = value(*e.args[0]);
        const Value lo = value(*e.args[1]);
        const Value hi = value(*e.args[2]);
        v.sql = betweenSql(a, lo, hi, e.negated);
        v.kind = Value::Bool;
        return v;
    }
    case Expr::InList: return inList(e);
    case Expr::InSelect: return inSelect(e);
    case Expr::Exists: return exists(e);
    case Expr::Subquery: return scalarSubquery(e);
    case Expr::Quantified: return quantified(e);
    }
    expressionError(e);
}

Value Emitter::unary(const Expr& e)
{
    Value v;
    if (e.op == u"NOT") {
        const Value a = condition(*e.args[0]);
        v.sql = QStringLiteral("(NOT ") + a.sql + u')';
        v.kind = Value::Bool;
    } else {
        // "(- x)": a sign written against a negative operand would make "--", a comment.
        const Value a = value(*e.args[0]);
        v.sql = QStringLiteral("(- ") + arithmeticOperandSql(a) + u')';
        v.kind = Value::Number;
    }
    return v;
}

Value Emitter::binary(const Expr& e)
{
    if (e.op == u"AND" || e.op == u"OR")
        return logicalChain(e);
    if (e.op == u"&")
        return concatenation(e);
    if (isComparison(e.op))
        return comparison(e);
    return arithmetic(e);
}

Value Emitter::logicalChain(const Expr& e)
{
    // A chain a AND b AND c is written flat: SQLite's parser takes little nesting.
    QStringList parts;
    for (const Expr* operand : chainOperands(e))
        parts.append(condition(*operand).sql);
    // SQLite reads a flat chain as a tree as deep as the chain is long, and takes trees up to
    // 1000 deep: a long chain is written in groups.
    const QString glue = u' ' + e.op + u' ';
    while (parts.size() > kChainGroup) {
        QStringList groups;
        for (int i = 0; i < parts.size(); i += kChainGroup)
            groups.append(u'(' + parts.mid(i, kChainGroup).join(glue) + u')');
        parts = groups;
    }
    Value v;
    v.sql = u'(' + parts.join(glue) + u')';
    v.kind = Value::Bool;
    return v;
}

Value Emitter::concatenation(const Expr& e)
{
    // a & b & c as one call: nested calls would soon be deeper than SQLite takes.
    QVector<Value> values;
    for (const Expr* operand : chainOperands(e))
        values.append(value(*operand));
    Value v;
    v.sql = concatenationSql(values);
    v.kind = Value::Text;
    return v;
}

Value Emitter::arithmetic(const Expr& e)
{
    const Value a = value(*e.args[0]);
    const Value b = value(*e.args[1]);
    Value v;
    v.kind = Value::Number;
    if (e.op == u"+" && a.kind == Value::Text && b.kind == Value::Text) {
        v.sql = u'(' + a.sql + QStringLiteral(" || ") + b.sql + u')';
        v.kind = Value::Text;
    } else if (arithmeticSql(a, e.op, b, &v)) {
        return v;
    } else if (e.op == u"^") {
        v.sql = QStringLiteral("dbe_pow(%1, %2)").arg(arithmeticOperandSql(a), arithmeticOperandSql(b));
    } else if (e.op == u"/" || e.op == u"\\" || e.op == u"MOD") {
        v.sql = divisionSql(e.op, arithmeticOperandSql(a), arithmeticOperandSql(b));
    } else {
        v.sql = u'(' + a.sql + u' ' + e.op + u' ' + b.sql + u')';
    }
    return v;
}

Value Emitter::like(const Expr& e)
{
    const Value a = value(*e.args[0]);
    const QString subject = likeSubjectSql(a);
    Value v;
    if (e.args[1]->kind == Expr::Text) {
        v.sql = likeCondition(subject, e.args[1]->text, e.negated);
        if (v.sql.isEmpty())
            expressionError(e);
    } else {
        const Value p = value(*e.args[1]);
        v.sql = likeConditionDynamic(subject, p.sql, e.negated);
    }
    v.kind = Value::Bool;
    return v;
}

Value Emitter::inList(const Expr& e)
{
    const Value a = value(*e.args[0]);
    QVector<Value> items;
    items.reserve(int(e.args.size()));
    for (size_t i = 1; i < e.args.size(); ++i)
        items.append(value(*e.args[i]));
    Value v;
    v.sql = inListSql(a, items, e.negated);
    v.kind = Value::Bool;
    return v;
}

Value Emitter::comparison(const Expr& e)
{
    const Value a = value(*e.args[0]);
    const Value b = value(*e.args[1]);
    Value v;
    v.sql = comparisonSql(a, e.op, b, join_);
    v.kind = Value::Bool;
    return v;
}

QString Emitter::subquerySql(const SelectQuery& q, const std::function<QString()>& selectList, bool ordered,
                             qint64 limit, qint64 offset)
{
    if (q.topPercent)
        throw DbError::make(err::SyntaxErrorInSelect);  // TOP n PERCENT only in the outer query
    const QVector<Source> sources = resolveSources(q.from);
    pushScope(&sources);
    JoinCondition* savedJoin = join_;
    join_ = nullptr;  // the subquery's own sources are numbered apart
    const bool savedAggregates = aggregatesAllowed_;
    const int savedCount = aggregateCount_;  // the subquery's aggregates are its own
    const bool savedWhere = inWhere_;
    inWhere_ = false;
    aggregatesAllowed_ = true;
    QString sql = QStringLiteral("SELECT ");
    if (q.distinct)
        sql += QStringLiteral("DISTINCT ");
    sql += selectList();
    aggregatesAllowed_ = false;
    sql += QStringLiteral(" FROM ") + fromClause(q, sources);
    if (q.where)
        sql += QStringLiteral(" WHERE ") + whereCondition(*q.where).sql;
    if (!q.groupBy.empty()) {
        QStringList groups;
        for (const ExprPtr& g : q.groupBy) {
            const Value gv = value(*g);
            // A constant makes one group, whatever its value.
            groups.append(refersToColumn(*g) ? sortKeySql(gv) : QStringLiteral("NULL"));
        }
        sql += QStringLiteral(" GROUP BY ") + groups.join(QStringLiteral(", "));
    }
    aggregatesAllowed_ = true;
    if (q.having)
        sql += QStringLiteral(" HAVING ") + condition(*q.having).sql;
    if (ordered && !q.orderBy.empty()) {
        QStringList order;
        for (const OrderItem& o : q.orderBy) {
            const Value ov = value(*o.expr);
            if (!refersToColumn(*o.expr) && !containsAggregate(*o.expr))
                continue;  // a constant orders nothing
            order.append(sortKeySql(ov) + (o.descending ? QStringLiteral(" DESC") : QString()));
        }
        if (!order.isEmpty())
            sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    }
    if (limit >= 0)
        sql += QStringLiteral(" LIMIT ") + QString::number(limit);
    if (offset > 0)
        sql += QStringLiteral(" OFFSET ") + QString::number(offset);
    aggregatesAllowed_ = savedAggregates;
    aggregateCount_ = savedCount;
    inWhere_ = savedWhere;
    join_ = savedJoin;
    popScope();
    return sql;
}

QString Emitter::keyedSubquerySql(const Expr& e, const QString& keyAlias, QString* left)
{
    const Value a = value(*e.args[0]);
    const SelectQuery& q = *e.subquery;
    if (q.items.size() != 1 || q.items[0].expr->kind == Expr::Star)
        throw DbError::make(err::SyntaxErrorInSelect);
    return subquerySql(
        q,
        [&] {
            const Value key = value(*q.items[0].expr);
            QString keySql;
            *left = inSelectLeftSql(a, key, &keySql);
            return keySql + keyAlias;
        },
        q.top >= 0, q.top);
}

Value Emitter::inSelect(const Expr& e)
{
    QString left;
    const QString sql = keyedSubquerySql(e, QString(), &left);
    Value v;
    v.sql = QStringLiteral("(%1 %2IN (%3))").arg(left, e.negated ? QStringLiteral("NOT ") : QString(), sql);
    v.kind = Value::Bool;
    return v;
}

Value Emitter::exists(const Expr& e)
{
    const SelectQuery& q = *e.subquery;
    // The select list says nothing about whether a record exists; its names are still looked up.
    const QString sql = subquerySql(
        q,
        [&] {
            for (const SelectItem& item : q.items) {
                if (item.expr->kind != Expr::Star)
                    value(*item.expr);
            }
            return QStringLiteral("1");
        },
        q.top >= 0, q.top);
    Value v;
    v.sql = QStringLiteral("(%1EXISTS (%2))").arg(e.negated ? QStringLiteral("NOT ") : QString(), sql);
    v.kind = Value::Bool;
    return v;
}

Value Emitter::quantified(const Expr& e)
{
    QString left;
    const QString sql = keyedSubquerySql(e, QStringLiteral(" AS dbe_k"), &left);
    // Three-valued, as SQL has it: ANY is true when one comparison is, ALL false when one is;
    // otherwise a comparison with Null leaves the answer unknown (Null).
    // (Joined by +: the subquery's text may hold a % of its own.)
    const QString cmp = u'(' + left + u' ' + e.op + QStringLiteral(" dbe_k)");
    const auto exists = [&sql](const QString& condition) {
        return QStringLiteral("EXISTS (SELECT 1 FROM (") + sql + QStringLiteral(") WHERE ") + condition + u')';
    };
    const bool all = e.text == u"ALL";
    Value v;
    v.sql = QStringLiteral("(CASE WHEN ") + exists(all ? QStringLiteral("NOT ") + cmp : cmp)
            + (all ? QStringLiteral(" THEN 0 WHEN ") : QStringLiteral(" THEN 1 WHEN "))
            + exists(cmp + QStringLiteral(" IS NULL"))
            + (all ? QStringLiteral(" THEN NULL ELSE 1 END)") : QStringLiteral(" THEN NULL ELSE 0 END)"));
    v.kind = Value::Bool;
    return v;
}

Value Emitter::scalarSubquery(const Expr& e)
{
    const SelectQuery& q = *e.subquery;
    if (q.items.size() != 1 || q.items[0].expr->kind == Expr::Star)
        throw DbError::make(err::SyntaxErrorInSelect);
    Value result;
    const auto selectValue = [&] {
        result = value(*q.items[0].expr);
        return result.sql;
    };
    const qint64 top = q.top;
    Value v;
    if (top == 0) {
        v.sql = QStringLiteral("NULL");
        v.kind = Value::Null;
        return v;
    }
    const QString first = subquerySql(q, selectValue, top >= 0, 1);
    // An aggregate over the whole subquery is one record by itself.
    if (top == 1 || (q.groupBy.empty() && containsAggregate(*q.items[0].expr))) {
        v.sql = u'(' + first + u')';
    } else {
        // A second record is an error (3354), as the original engine raises it.
        const QString second = subquerySql(
            q, [] { return QStringLiteral("1"); }, top >= 0, 1, 1);
        v.sql = QStringLiteral("dbe_single((%1), (%2))").arg(second, first);
    }
    v.kind = result.kind;
    v.type = result.type;
    v.size = result.size;
    return v;
}

Value Emitter::whereCondition(const Expr& e)
{
    const bool saved = inWhere_;
    inWhere_ = true;
    const Value v = condition(e);
    inWhere_ = saved;
    return v;
}

Value Emitter::function(const Expr& e)
{
    const QString& fn = e.text;
    Value v;
    if (isAggregateFunction(fn)) {
        if (!aggregatesAllowed_ && inWhere_)
            throw DbError::make(err::AggregateInWhere, {text_.mid(e.pos, e.end - e.pos)});
        if (!aggregatesAllowed_)
            expressionError(e);
        aggregatesAllowed_ = false;  // no aggregate inside an aggregate
        ++aggregateCount_;
        v.kind = Value::Number;
        v.aggregate = true;
        if (e.args[0]->kind == Expr::Star) {
            if (fn != u"COUNT")
                expressionError(e);
            v.sql = QStringLiteral("count(*)");
            v.type = 4;
            v.size = 4;
        } else {
            const Value a = value(*e.args[0]);
            if (fn == u"COUNT") {
                v.sql = QStringLiteral("count(") + a.sql + u')';
                v.type = 4;
                v.size = 4;
            } else if (fn == u"MIN" || fn == u"MAX") {
                v.sql = fn.toLower() + u'(' + valueKeySql(a) + u')';
                v.kind = a.kind;
                v.type = a.type;
                v.size = a.size;
            } else if (fn == u"FIRST" || fn == u"LAST") {
                // The value of the group's first or last record, as it is stored.
                v.sql = QStringLiteral("dbe_") + fn.toLower() + u'(' + a.sql + u')';
                v.kind = a.kind;
                v.type = a.type;
                v.size = a.size;
            } else if (fn.startsWith(u"STDEV") || fn.startsWith(u"VAR")) {
                const bool read = a.kind == Value::Number || a.kind == Value::Date;
                v.sql = QStringLiteral("dbe_") + fn.toLower() + u'(' + (read ? valueKeySql(a) : a.sql) + u')';
                v.type = 7;
                v.size = 8;
            } else if (fn == u"AVG" && a.type == 5) {
                v.sql = QStringLiteral("dbe_currency_avg(") + valueKeySql(a) + u')';  // currency stays currency
                v.type = 5;
                v.size = 8;
            } else if (fn == u"SUM" && !sumSql(a).isEmpty()) {
                v.sql = sumSql(a);
                v.type = 5;
                v.size = 8;
            } else {
                // SUM and AVG of the values read by their field's type.
                const bool read = a.kind == Value::Number || a.kind == Value::Date;
                v.sql = fn.toLower() + u'(' + (read ? valueKeySql(a) : a.sql) + u')';
                v.type = 7;
                v.size = 8;
            }
        }
        aggregatesAllowed_ = true;
        return v;
    }
    return emitFunction(*this, e);
}

}  // namespace dbe::dialect
