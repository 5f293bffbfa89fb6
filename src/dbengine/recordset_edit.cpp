#include "recordset_edit.h"

#include "dbengine/db_types.h"
#include "recordset_keyset.h"
#include "value_functions.h"
#include "values.h"

#include <sqlite3.h>
#include <vector>

namespace dbe::detail {

void EditBuffer::begin(int mode, QVector<QVariant> initial)
{
    mode_ = mode;
    values_ = std::move(initial);
    changed_.fill(false, values_.size());
    changedCount_ = 0;
}

void EditBuffer::set(int field, const QVariant& value)
{
    values_[field] = value;
    if (!changed_[field]) {
        changed_[field] = true;
        ++changedCount_;
    }
}

void EditBuffer::clear()
{
    mode_ = dbEditNone;
    values_.clear();
    changed_.clear();
    changedCount_ = 0;
}

namespace {

void stepDone(DatabaseImpl& db, sqlite3_stmt* st)
{
    const int rc = sqlite3_step(st);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        db.raise(rc);
}

void bindContent(sqlite3_stmt* st, int i, qint64 content)
{
    if (content == Keyset::kUnknown)
        sqlite3_bind_null(st, i);  // no content known: the layout's content is NULL too
    else
        sqlite3_bind_int64(st, i, content);
}

// Why a write of the row found nothing to write: gone, or another record under its rowid (3167),
// or the same record with other values (3197).
[[noreturn]] void refused(DatabaseImpl& db, const LayoutSource& src, qint64 rowid, qint64 identity)
{
    Stmt st = db.prepare(src.checkSql);
    sqlite3_bind_int64(st, 1, rowid);
    const int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        db.raise(rc);
    if (rc == SQLITE_DONE)
        throw DbError::make(err::RecordDeleted);
    if (identity != Keyset::kUnknown && sqlite3_column_type(st, 0) != SQLITE_NULL
        && sqlite3_column_int64(st, 0) != identity)
        throw DbError::make(err::RecordDeleted);
    throw DbError::make(err::RecordChanged);
}

}  // namespace

void RecordWriter::update(DatabaseImpl& db, const RecordLayout& layout, Keyset& keys, qint64 entry,
                          const EditBuffer& edit)
{
    const qint64* rowids = keys.tuple(entry);
    // Convert and check every changed value first: a refused value writes nothing.
    QVector<QVariant> stored(layout.count());
    QVector<bool> touched(layout.sourceCount(), false);
    for (int f = 0; f < layout.count(); ++f) {
        if (!edit.changed(f))
            continue;
        const LayoutField& lf = layout.field(f);
        if (lf.source < 0 || rowids[lf.source] == Keyset::kNoRow)
            throw DbError::make(err::InvalidOperation);
        stored[f] = toStorage(edit.value(f), lf.info.type);
        checkRules(lf.info, stored[f]);
        touched[lf.source] = true;
    }
    std::vector<qint64> after(size_t(layout.sourceCount()), Keyset::kUnknown);
    DatabaseImpl::WriteScope scope(db);
    for (int s = 0; s < layout.sourceCount(); ++s) {
        if (!touched[s])
            continue;
        const LayoutSource& src = layout.source(s);
        QVector<int> order;
        for (int f : src.fields)
            if (edit.changed(f))
                order.append(f);
        Stmt st = db.prepare(layout.updateSql(s, order));
        for (int k = 0; k < order.size(); ++k)
            bind(st, k + 1, stored[order[k]]);
        sqlite3_bind_int64(st, order.size() + 1, rowids[s]);
        bindContent(st, order.size() + 2, keys.content(entry, s));
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_DONE)
            refused(db, src, rowids[s], keys.identity(entry, s));
        if (rc != SQLITE_ROW)
            db.raise(rc);
        after[s] = sqlite3_column_type(st, 0) == SQLITE_NULL ? Keyset::kUnknown : qint64(sqlite3_column_int64(st, 0));
        stepDone(db, st);
    }
    scope.commit();
    // The record as written is the one the set now stands for.
    for (int s = 0; s < layout.sourceCount(); ++s)
        if (touched[s])
            keys.setContent(entry, s, after[s]);
}

qint64 RecordWriter::insert(DatabaseImpl& db, const RecordLayout& layout, const EditBuffer& edit)
{
    const LayoutSource& src = layout.source(0);
    const TableInfo* table = db.tableInfo(src.table);
    if (!table)
        throw DbError::make(err::InputTableNotFound, {src.table});
    sqlite3* h = db.db();
    DatabaseImpl::WriteScope scope(db);
    QStringList cols;
    QVector<QVariant> values;
    for (const FieldInfo& field : table->fields) {
        QVariant v;
        int f = -1;
        for (int k : src.fields) {
            if (layout.field(k).info.name.compare(field.name, Qt::CaseInsensitive) == 0) {
                f = k;
                break;
            }
        }
        if (f >= 0)
            v = edit.value(f);
        if (v.isNull() && (field.attributes & dbAutoIncrField)) {
            Stmt st = db.prepare(QStringLiteral("SELECT ")
                                 + nextCounterSql(RecordLayout::quote(field.name), RecordLayout::quote(table->name)));
            const int rc = sqlite3_step(st);
            if (rc != SQLITE_ROW)
                db.raise(rc);
            v = qint64(sqlite3_column_int64(st, 0));
        } else if (v.isNull() && field.type == dbBoolean) {
            v = false;
        }
        const QVariant s = toStorage(v, field.type);
        checkRules(field, s);
        if (s.isNull())
            continue;
        cols << RecordLayout::quote(field.name);
        values << s;
    }
    QString sql = QStringLiteral("INSERT INTO ") + RecordLayout::quote(table->name);
    if (cols.isEmpty()) {
        sql += QStringLiteral(" DEFAULT VALUES");
    } else {
        sql += QStringLiteral(" (") + cols.join(QLatin1Char(',')) + QStringLiteral(") VALUES (");
        for (int k = 0; k < cols.size(); ++k)
            sql += k ? QStringLiteral(",?") : QStringLiteral("?");
        sql += QLatin1Char(')');
    }
    Stmt st = db.prepare(sql);
    for (int k = 0; k < values.size(); ++k)
        bind(st, k + 1, values[k]);
    stepDone(db, st);
    const qint64 rowid = qint64(sqlite3_last_insert_rowid(h));
    scope.commit();
    return rowid;
}

void RecordWriter::remove(DatabaseImpl& db, const RecordLayout& layout, const Keyset& keys, qint64 entry)
{
    sqlite3* h = db.db();
    const qint64 rowid = keys.rowid(entry, 0);
    DatabaseImpl::WriteScope scope(db, DatabaseImpl::WriteScope::OneStatement);
    {
        Stmt st = db.prepare(layout.source(0).deleteSql);
        sqlite3_bind_int64(st, 1, rowid);
        bindContent(st, 2, keys.content(entry, 0));
        stepDone(db, st);
    }
    if (sqlite3_changes64(h) == 0)
        refused(db, layout.source(0), rowid, keys.identity(entry, 0));
    scope.commit();
}

}  // namespace dbe::detail
