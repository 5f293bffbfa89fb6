// The data statements: UPDATE, DELETE and INSERT on one table. Every value written into a field
// goes through dbe_fit(value, type, size, allowZeroLength, required, 'name'), which converts it to
// the field's storage form and fails the statement when it does not fit.
#include "planner.h"

#include "../dbtypes.h"
#include "../valuefunctions.h"

namespace dbe::dialect {

namespace {

QString fit(const QString& valueSql, const Column& c)
{
    return QStringLiteral("%1(%2, %3, %4, %5, %6, %7)")
        .arg(QString::fromLatin1(kFitFunction), valueSql, QString::number(c.type), QString::number(c.size),
             c.allowZeroLength ? QStringLiteral("1") : QStringLiteral("0"),
             c.primaryKey ? QStringLiteral("2") : c.required ? QStringLiteral("1") : QStringLiteral("0"),
             Emitter::textLiteral(c.name));
}

// The metadata tables are the engine's own: no statement changes them.
void refuseSystemTable(const Table& t)
{
    if (t.name.startsWith(QLatin1String("MSys"), Qt::CaseInsensitive))
        throw DbError::make(err::ReadOnlyDatabase);
}

bool isAutoIncrement(const Column& c)
{
    return (c.attributes & dbAutoIncrField) != 0;
}

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

}  // namespace

Statement planUpdate(const UpdateQuery& q, Emitter& em)
{
    Statement st;
    st.kind = Statement::Update;
    const QVector<Source> sources{em.resolveTarget(q.table)};
    const Source& s = sources[0];
    st.table = s.table->name;
    refuseSystemTable(*s.table);
    em.pushScope(&sources);
    QStringList sets;
    QVector<int> assigned;
    for (const Assignment& a : q.sets) {
        const int col = targetColumn(*a.target, s);
        const Value v = em.value(*a.value);
        if (col < 0) {
            em.noteUnknown(a.target->table.isEmpty() ? a.target->field
                                                     : a.target->table + u'.' + a.target->field);
            continue;
        }
        const Column& c = s.table->columns[col];
        if (assigned.contains(col))
            throw DbError::make(err::DuplicateOutputDestination, {s.table->name + u'.' + c.name});
        assigned.append(col);
        if (isAutoIncrement(c))
            throw DbError::make(err::FieldCannotBeUpdated);
        sets.append(Emitter::quote(c.name) + QStringLiteral(" = ") + fit(v.sql, c));
    }
    QString where;
    if (q.where)
        where = QStringLiteral(" WHERE ") + em.condition(*q.where).sql;
    em.popScope();
    em.finish();
    st.sql = QStringLiteral("UPDATE ") + Emitter::quote(s.table->name) + QStringLiteral(" SET ")
             + sets.join(QStringLiteral(", ")) + where;
    return st;
}

Statement planDelete(const DeleteQuery& q, Emitter& em)
{
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
    st.sql = QStringLiteral("DELETE FROM ") + Emitter::quote(st.table);
    if (q.where)
        st.sql += QStringLiteral(" WHERE ") + em.condition(*q.where).sql;
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
    for (int i = 0; i < t.columns.size(); ++i) {
        if (columns.contains(i))
            continue;
        const Column& c = t.columns[i];
        if (isAutoIncrement(c)) {
            names.append(Emitter::quote(c.name));
            values.append(nextCounterSql(Emitter::quote(c.name), Emitter::quote(t.name)));
        } else if (c.primaryKey) {
            throw DbError::make(err::NullInPrimaryKey);
        } else if (c.type == dbBoolean) {
            names.append(Emitter::quote(c.name));  // a yes/no left out is False, never Null
            values.append(QStringLiteral("0"));
        } else if (c.required) {
            throw DbError::make(err::NullInRequiredField, {c.name});
        }
    }
    st.sql = QStringLiteral("INSERT INTO ") + Emitter::quote(t.name) + QStringLiteral(" (")
             + names.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (") + values.join(QStringLiteral(", "))
             + u')';
    return st;
}

}  // namespace dbe::dialect
