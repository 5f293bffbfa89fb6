// Database::OpenRecordset: a table name opens a table-type set (every record of the table in
// rowid order), a SELECT text is translated and opened as a keyset over its source tables, or as
// a read-only snapshot when the query has no keyset plan (DISTINCT, aggregates, expressions).
#include "dbengine/database.h"
#include "dbengine/recordset.h"
#include "dialect/functions.h"
#include "recordset_impl.h"

#include <QRegularExpression>

namespace dbe {

namespace {

bool isQuery(const QString& text)
{
    static const QRegularExpression select(QStringLiteral("^\\(*\\s*SELECT\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    return select.match(text).hasMatch();
}

QString tableName(const QString& text)
{
    if (text.size() >= 2 && text.startsWith(QLatin1Char('[')) && text.endsWith(QLatin1Char(']')))
        return text.mid(1, text.size() - 2);
    return text;
}

// True when a one-table query's key statement names its table once only, as its source (a name
// followed by a dot qualifies a field of that source), and calls nothing that changes with the time:
// the answer for each record then depends on that record and on other tables alone.
bool answersPerRecord(const QString& keyChunkSql, const QString& table)
{
    if (keyChunkSql.isEmpty())
        return false;
    for (const dialect::RuntimeFunction& f : dialect::runtimeFunctions())
        if (!f.deterministic && keyChunkSql.contains(QLatin1String(f.name), Qt::CaseInsensitive))
            return false;
    const QString quoted = detail::RecordLayout::quote(table);
    int sources = 0;
    for (qsizetype at = keyChunkSql.indexOf(quoted, 0, Qt::CaseInsensitive); at >= 0;
         at = keyChunkSql.indexOf(quoted, at + quoted.size(), Qt::CaseInsensitive)) {
        const qsizetype after = at + quoted.size();
        if (after >= keyChunkSql.size() || keyChunkSql.at(after) != u'.')
            ++sources;
    }
    return sources == 1;
}

}  // namespace

Recordset Database::OpenRecordset(const QString& source, int type, int options) const
{
    if (!d_)
        throw DbError::make(err::ObjectInvalid);
    detail::DatabaseImpl& db = *d_;
    db.db();  // raises 3420 once the database is closed
    Q_UNUSED(options);  // edits of a join always write each field into its own table's row

    auto r = std::make_shared<detail::RecordsetImpl>();
    r->db = d_;
    const bool readOnly = type == dbOpenSnapshot || type == dbOpenForwardOnly;
    const QString text = source.trimmed();
    if (isQuery(text)) {
        if (type == dbOpenTable)
            throw DbError::make(err::InvalidOperation);
        const dialect::Statement st = dialect::translate(text, db.schemaProvider());
        if (st.kind != dialect::Statement::Select)
            throw DbError::make(err::InvalidOperation);
        r->layout = detail::RecordLayout::forPlan(st.select, db);
        r->text = text;
        r->plainColumns = st.plainColumns;
        if (st.select.keyset) {
            r->keySql = st.select.keySql;
            // A query written for plain fields lists its records at once, so that what it lists
            // is checked against the fields as they were when it ran (RecordsetImpl::fill).
            r->keyChunkSql = st.plainColumns.isEmpty() ? st.select.keyChunkSql : QString();
            r->keysReusable =
                st.select.sources.size() == 1 && answersPerRecord(st.select.keyChunkSql, st.select.sources[0].table);
            r->updatable = !readOnly;
            for (const auto& s : st.select.sources) {
                const detail::TableInfo* t = db.tableInfo(s.table);
                if (t && t->isSystem())
                    r->updatable = false;  // the engine's metadata tables are changed by the engine only
            }
        } else {
            r->valuesSql = st.select.valuesSql;
            r->updatable = false;
        }
    } else {
        const QString name = tableName(text);
        const detail::TableInfo* table = db.tableInfo(name);
        if (!table)
            throw DbError::make(err::InputTableNotFound, {name});
        r->layout = detail::RecordLayout::forTable(*table, db);
        const detail::LayoutSource& src = r->layout.source(0);
        r->keySql = QStringLiteral("SELECT %1, %2, %3 FROM %4 ORDER BY %1")
                        .arg(src.rowid, src.identity, src.content, detail::RecordLayout::quote(table->name));
        r->updatable = !readOnly && !table->isSystem();
        r->keysReusable = true;  // every record of the table
    }
    r->fill();
    return Recordset(r);
}

}  // namespace dbe
