// The data statements: UPDATE, DELETE and INSERT on one table. Every value written into a field
// goes through dbe_fit(value, type, size, allowZeroLength, required, 'name'), which converts it to
// the field's storage form and fails the statement when it does not fit. An UPDATE of every record
// whose values are fields of the record itself also carries a plain form, run instead when a check
// finds that every value already fits as it is (execute.cpp).
#include "planner.h"

#include "dbengine/db_types.h"
#include "../value_functions.h"

namespace dbe::dialect {

namespace {

QString fit(const QString& valueSql, const Column& c, const char* function = kFitFunction)
{
    return QStringLiteral("%1(%2, %3, %4, %5, %6, %7)")
        .arg(QString::fromLatin1(function), valueSql, QString::number(c.type), QString::number(c.size),
             c.allowZeroLength ? QStringLiteral("1") : QStringLiteral("0"),
             c.primaryKey ? QStringLiteral("2")
             : c.required ? QStringLiteral("1")
                          : QStringLiteral("0"),
             Emitter::textLiteral(c.name));
}

// The metadata tables are the engine's own: no statement changes them.
void refuseSystemTable(const Table& t)
{
    if (t.name.startsWith(QLatin1String("MSys"), Qt::CaseInsensitive))
        throw DbError::make(err::ReadOnlyDatabase);
}

bool isAutoIncrement(const Column& c) { return (c.attributes & dbAutoIncrField) != 0; }

// The column a target name of a statement on source s designates; -1 when there is none.
int targetColumn(const Expr& target, const Source& s)
{
    if (!target.table.isEmpty() && target.table.compare(s.written, Qt::CaseInsensitive) != 0)
        return -1;
    for (int i = 0; i < s.table->columns.size(); ++i) {
        if (s.table->columns[i].name.compare(target.field, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// The source of a joined statement that a name (DELETE X.*, or the table of SET X.F) designates:
// by the name the statement gives it, else by its table's name; -1 when none.
int sourceNamed(const QVector<Source>& sources, const QString& name)
{
    for (int i = 0; i < sources.size(); ++i) {
        if (sources[i].written.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    for (int i = 0; i < sources.size(); ++i) {
        if (sources[i].table->name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// UPDATE A INNER JOIN B ON ... SET A.F = B.G WHERE ...: the values are computed by a query over
// the joined tables, one row per record of the target (by its rowid), and written from it.
Statement planJoinedUpdate(const UpdateQuery& q, Emitter& em)
{
    Statement st;
    st.kind = Statement::Update;
    const QVector<Source> sources = em.resolveSources(q.joined->from);
    if (Emitter::hasQuerySource(sources))
        throw DbError::make(err::NotUpdatableQuery);  // a query read as a table is only read
    em.pushScope(&sources);
    int target = -1;
    QStringList values, sets;
    QVector<int> assigned;
    for (const Assignment& a : q.sets) {
        int source = -1, col = -1;
        for (int si = 0; si < sources.size() && col < 0; ++si) {
            col = targetColumn(*a.target, sources[si]);
            source = si;
        }
        const Value v = em.value(*a.value);
        if (col < 0) {
            em.noteUnknown(a.target->table.isEmpty() ? a.target->field : a.target->table + u'.' + a.target->field);
            continue;
        }
        if (target >= 0 && source != target)
            throw DbError::make(err::SyntaxErrorInUpdate);  // one table's records are written at a time
        target = source;
        const Column& c = sources[source].table->columns[col];
        if (assigned.contains(col))
            throw DbError::make(err::DuplicateOutputDestination, {sources[source].table->name + u'.' + c.name});
        assigned.append(col);
        if (isAutoIncrement(c))
            throw DbError::make(err::FieldCannotBeUpdated);
        const QString alias = QStringLiteral("dbe_v") + QString::number(values.size());
        values.append(v.sql + QStringLiteral(" AS ") + alias);
        sets.append(Emitter::quote(c.name) + QStringLiteral(" = ") + fit(QStringLiteral("dbe_u.") + alias, c));
    }
    QString where;
    if (q.where)
        where = QStringLiteral(" WHERE ") + em.whereCondition(*q.where).sql;
    const QString from = em.fromClause(*q.joined, sources);
    em.popScope();
    em.finish();
    if (target < 0)
        throw DbError::make(err::SyntaxErrorInUpdate);
    if (Emitter::nestedSources(*q.joined).contains(target))
        throw DbError::make(err::NotUpdatableQuery);  // its records cannot be found again by rowid
    const Source& t = sources[target];
    refuseSystemTable(*t.table);
    st.table = t.table->name;
    const QString rowid = Emitter::rowidName(*t.table);
    st.sql =
        QStringLiteral("UPDATE %1 SET %2 FROM (SELECT %3.%4 AS dbe_r, %5 FROM %6%7) AS dbe_u WHERE %1.%4 = dbe_u.dbe_r")
            .arg(Emitter::quote(t.table->name), sets.join(QStringLiteral(", ")), Emitter::quote(t.sqlName), rowid,
                 values.join(QStringLiteral(", ")), from, where);
    return st;
}

// DELETE X.* FROM X INNER JOIN Y ON ... WHERE ...: the records of X that the join and the
// condition select, each once.
Statement planJoinedDelete(const DeleteQuery& q, Emitter& em)
{
    Statement st;
    st.kind = Statement::Delete;
    const QVector<Source> sources = em.resolveSources(q.joined->from);
    if (Emitter::hasQuerySource(sources))
        throw DbError::make(err::NotUpdatableQuery);  // a query read as a table is only read
    const int target = q.starTable.isEmpty() ? -1 : sourceNamed(sources, q.starTable);
    if (target < 0)
        throw DbError::make(err::DeleteTableNotSpecified);
    if (Emitter::nestedSources(*q.joined).contains(target))
        throw DbError::make(err::NotUpdatableQuery);  // its records cannot be found again by rowid
    const Source& t = sources[target];
    refuseSystemTable(*t.table);
    st.table = t.table->name;
    em.pushScope(&sources);
    const QString from = em.fromClause(*q.joined, sources);
    QString where;
    if (q.where)
        where = QStringLiteral(" WHERE ") + em.whereCondition(*q.where).sql;
    em.popScope();
    const QString rowid = Emitter::rowidName(*t.table);
    st.sql = QStringLiteral("DELETE FROM %1 WHERE %2 IN (SELECT %3.%2 FROM %4%5)")
                 .arg(Emitter::quote(t.table->name), rowid, Emitter::quote(t.sqlName), from, where);
    return st;
}

// The fields an INSERT leaves out: a counter takes its next value (counterOffset added to it), a
// yes/no is False, never Null; a field of the primary key raises 3058, a required one 3314.
void leftOutFields(const Table& t, const QVector<int>& columns, const QString& counterOffset, QStringList* names,
                   QStringList* values)
{
    for (int i = 0; i < t.columns.size(); ++i) {
        if (columns.contains(i))
            continue;
        const Column& c = t.columns[i];
        if (isAutoIncrement(c)) {
            names->append(Emitter::quote(c.name));
            values->append(nextCounterSql(Emitter::quote(c.name), Emitter::quote(t.name)) + counterOffset);
        } else if (c.primaryKey) {
            throw DbError::make(err::NullInPrimaryKey);
        } else if (c.type == dbBoolean) {
            names->append(Emitter::quote(c.name));
            values->append(QStringLiteral("0"));
        } else if (c.required) {
            throw DbError::make(err::NullInRequiredField, {c.name});
        }
    }
}

// INSERT INTO T [(fields)] SELECT ...: the query's rows, each value fitted to its field; a counter
// left out numbers the new records on from the greatest one.
Statement planInsertSelect(const InsertQuery& q, Emitter& em, const Source& s, const QVector<int>& columns)
{
    const Table& t = *s.table;
    Statement st;
    st.kind = Statement::Insert;
    st.table = t.name;
    const SelectPlan plan = planValues(*q.select, em);
    em.finish();
    if (plan.columns.size() != columns.size())
        throw DbError::make(err::ValueCountMismatch);
    QStringList names, values, aliases;
    for (int i = 0; i < columns.size(); ++i) {
        const Column& c = t.columns[columns[i]];
        const QString alias = QStringLiteral("dbe_c") + QString::number(i);
        aliases.append(alias);
        names.append(Emitter::quote(c.name));
        values.append(fit(alias, c));
    }
    // The n-th record the query gives takes the counter's next value plus n - 1.
    leftOutFields(t, columns, QStringLiteral(" - 1 + row_number() OVER ()"), &names, &values);
    st.sql = QStringLiteral("WITH dbe_i(%1) AS (%2) INSERT INTO %3 (%4) SELECT %5 FROM dbe_i")
                 .arg(aliases.join(QStringLiteral(", ")), plan.valuesSql, Emitter::quote(t.name),
                      names.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")));
    return st;
}

}  // namespace

Statement planSelectInto(const SelectQuery& q, Emitter& em, const SchemaProvider& schema)
{
    Statement st;
    st.kind = Statement::SelectInto;
    st.table = q.into;
    if (schema.table(q.into))
        throw DbError::make(err::TableExists, {q.into});
    const SelectPlan plan = planValues(q, em);
    em.finish();
    // The new table's fields: each named and typed as the query's field (a counter becomes a
    // plain Long); a name two joined tables share may not be given twice.
    QStringList aliases, names, values;
    for (int i = 0; i < plan.columns.size(); ++i) {
        const SelectPlan::OutColumn& c = plan.columns[i];
        FieldDef f;
        f.name = c.name;
        if (!c.field.isEmpty() && c.name.contains(u'.'))
            throw DbError::make(err::DuplicateOutputDestination, {c.field});
        f.type = c.type;
        f.size = c.size;
        f.allowZeroLength = Emitter::isTextType(f.type);  // the empty texts are copied as they are
        st.fields.append(f);
        Column column;
        column.name = f.name;
        column.type = f.type;
        column.size = f.size;
        column.allowZeroLength = f.allowZeroLength;
        const QString alias = QStringLiteral("dbe_c") + QString::number(i);
        aliases.append(alias);
        names.append(Emitter::quote(f.name));
        values.append(fit(alias, column));
    }
    st.sql = QStringLiteral("WITH dbe_i(%1) AS (%2) INSERT INTO %3 (%4) SELECT %5 FROM dbe_i")
                 .arg(aliases.join(QStringLiteral(", ")), plan.valuesSql, Emitter::quote(q.into),
                      names.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")));
    return st;
}

namespace {

// The target of a one-table UPDATE or DELETE as SQLite names it: the table, with the alias the
// statement's fields are qualified by when the query gave one.
QString targetSql(const Source& s)
{
    const QString table = Emitter::quote(s.table->name);
    return s.sqlName == s.table->name ? table : table + QStringLiteral(" AS ") + Emitter::quote(s.sqlName);
}

}  // namespace

Statement planUpdate(const UpdateQuery& q, Emitter& em)
{
    if (q.joined)
        return planJoinedUpdate(q, em);
    Statement st;
    st.kind = Statement::Update;
    const QVector<Source> sources{em.resolveTarget(q.table)};
    const Source& s = sources[0];
    st.table = s.table->name;
    refuseSystemTable(*s.table);
    em.pushScope(&sources);
    QStringList sets, plainSets, fitsAsIs;
    QVector<int> assigned;
    for (const Assignment& a : q.sets) {
        const int col = targetColumn(*a.target, s);
        const Value v = em.value(*a.value);
        // A field of the record itself is read the same by the check and by the change.
        const bool plain = v.column && v.source == 0;
        if (col < 0) {
            em.noteUnknown(a.target->table.isEmpty() ? a.target->field : a.target->table + u'.' + a.target->field);
            continue;
        }
        const Column& c = s.table->columns[col];
        if (assigned.contains(col))
            throw DbError::make(err::DuplicateOutputDestination, {s.table->name + u'.' + c.name});
        assigned.append(col);
        if (isAutoIncrement(c))
            throw DbError::make(err::FieldCannotBeUpdated);
        sets.append(Emitter::quote(c.name) + QStringLiteral(" = ") + fit(v.sql, c));
        if (plain) {
            plainSets.append(Emitter::quote(c.name) + QStringLiteral(" = ") + v.sql);
            fitsAsIs.append(fit(v.sql, c, kFitsAsIsFunction));
        }
    }
    QString where;
    if (q.where)
        where = QStringLiteral(" WHERE ") + em.whereCondition(*q.where).sql;
    em.popScope();
    em.finish();
    st.sql =
        QStringLiteral("UPDATE ") + targetSql(s) + QStringLiteral(" SET ") + sets.join(QStringLiteral(", ")) + where;
    // Every value a field of the record and every record changed: the plain copy, when the check
    // finds no value that would be converted or refused.
    if (!q.where && !sets.isEmpty() && plainSets.size() == sets.size()) {
        st.plainSql =
            QStringLiteral("UPDATE ") + targetSql(s) + QStringLiteral(" SET ") + plainSets.join(QStringLiteral(", "));
        st.plainCheck = QStringLiteral("SELECT 1 FROM ") + targetSql(s) + QStringLiteral(" WHERE NOT (")
                        + fitsAsIs.join(QStringLiteral(" AND ")) + QStringLiteral(") LIMIT 1");
    }
    return st;
}

Statement planDelete(const DeleteQuery& q, Emitter& em)
{
    if (q.joined)
        return planJoinedDelete(q, em);
    Statement st;
    st.kind = Statement::Delete;
    const QVector<Source> sources{em.resolveTarget(q.table)};
    st.table = sources[0].table->name;
    refuseSystemTable(*sources[0].table);
    // DELETE X.* FROM T: X must be the table the records are deleted from.
    if (!q.starTable.isEmpty() && q.starTable.compare(sources[0].written, Qt::CaseInsensitive) != 0
        && q.starTable.compare(st.table, Qt::CaseInsensitive) != 0)
        throw DbError::make(err::DeleteTableNotSpecified);
    em.pushScope(&sources);
    st.sql = QStringLiteral("DELETE FROM ") + targetSql(sources[0]);
    if (q.where)
        st.sql += QStringLiteral(" WHERE ") + em.whereCondition(*q.where).sql;
    em.popScope();
    return st;
}

Statement planInsert(const InsertQuery& q, Emitter& em)
{
    Statement st;
    st.kind = Statement::Insert;
    const Source s = em.resolveTarget(q.table);
    const Table& t = *s.table;
    st.table = t.name;
    refuseSystemTable(t);
    QVector<int> columns;
    if (q.hasFieldList) {
        for (const ExprPtr& f : q.fields) {
            const int col = targetColumn(*f, s);
            if (col < 0)
                throw DbError::make(err::InsertUnknownField, {f->field});
            if (columns.contains(col))
                throw DbError::make(err::SyntaxErrorInInsert);
            columns.append(col);
        }
    } else {
        for (int i = 0; i < t.columns.size(); ++i)
            columns.append(i);
    }
    if (q.select)
        return planInsertSelect(q, em, s, columns);
    if (int(q.values.size()) != columns.size())
        throw DbError::make(err::ValueCountMismatch);
    // Values name no table: a name in them is an unknown parameter.
    const QVector<Source> none;
    em.pushScope(&none);
    QStringList names, values;
    for (int i = 0; i < columns.size(); ++i) {
        const Column& c = t.columns[columns[i]];
        names.append(Emitter::quote(c.name));
        values.append(fit(em.value(*q.values[size_t(i)]).sql, c));
    }
    em.popScope();
    em.finish();
    leftOutFields(t, columns, QString(), &names, &values);
    st.sql = QStringLiteral("INSERT INTO ") + Emitter::quote(t.name) + QStringLiteral(" (")
             + names.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (") + values.join(QStringLiteral(", "))
             + u')';
    return st;
}

}  // namespace dbe::dialect
