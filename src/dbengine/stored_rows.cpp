#include "dbengine/stored_rows.h"

#include "impl_access.h"
#include "column_type.h"
#include "conn_state.h"
#include "dialect/emitter.h"
#include "recordset_impl.h"
#include "spelling_table.h"
#include "value_functions.h"
#include "values.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <sqlite3.h>

namespace dbe {

using detail::DatabaseImpl;
using detail::quoteId;
using detail::Stmt;

namespace {

void bindValue(sqlite3_stmt* st, int i, const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::UnknownType: sqlite3_bind_null(st, i); break;
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Bool: sqlite3_bind_int64(st, i, v.toLongLong()); break;
    case QMetaType::Double:
    case QMetaType::Float: sqlite3_bind_double(st, i, v.toDouble()); break;
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        sqlite3_bind_blob64(st, i, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
        break;
    }
    default: {
        if (v.isNull()) {
            sqlite3_bind_null(st, i);
            break;
        }
        const QByteArray t = v.toString().toUtf8();
        sqlite3_bind_text64(st, i, t.constData(), sqlite3_uint64(t.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
    }
    }
}

QVariant columnValue(sqlite3_stmt* st, int i)
{
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_INTEGER: return QVariant(qlonglong(sqlite3_column_int64(st, i)));
    case SQLITE_FLOAT: return QVariant(sqlite3_column_double(st, i));
    case SQLITE_TEXT:
        return QVariant(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)), sqlite3_column_bytes(st, i)));
    case SQLITE_BLOB: {
        const void* p = sqlite3_column_blob(st, i);
        return QVariant(QByteArray(static_cast<const char*>(p), sqlite3_column_bytes(st, i)));
    }
    default: return QVariant();
    }
}

// The SQLite storage class a value is bound with, as a type name for typeof().
const char* storageClass(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::UnknownType: return "null";
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Bool: return "integer";
    case QMetaType::Double:
    case QMetaType::Float: return "real";
    case QMetaType::QByteArray: return "blob";
    default: return v.isNull() ? "null" : "text";
    }
}

// A JSON array of the given texts (numbers, or quoted strings), for json_each(): one bound text
// carries a whole list of rowids into a single statement.
QByteArray jsonArray(const QVector<QByteArray>& items)
{
    QByteArray a = "[";
    for (const QByteArray& item : items) {
        if (a.size() > 1)
            a += ',';
        a += item;
    }
    return a + ']';
}

void bindText(sqlite3_stmt* st, int i, const QByteArray& text)
{
    sqlite3_bind_text(st, i, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

// "c1" IS ?1 AND typeof("c1") = ?2 ...: an exact match of stored values (COLLATE BINARY, so a
// NOCASE column does not take "rossi" for "ROSSI").
QString exactWhere(const StoredRow& row, int firstParam)
{
    QStringList parts;
    for (int i = 0; i < row.columns.size(); ++i) {
        const QString c = quoteId(row.columns.at(i));
        parts << QStringLiteral("%1 IS ?%2 COLLATE BINARY AND typeof(%1) = ?%3")
                     .arg(c)
                     .arg(firstParam + 2 * i)
                     .arg(firstParam + 2 * i + 1);
    }
    return parts.isEmpty() ? QStringLiteral("1") : parts.join(QStringLiteral(" AND "));
}

void bindExact(sqlite3_stmt* st, const StoredRow& row, int firstParam)
{
    for (int i = 0; i < row.values.size(); ++i) {
        bindValue(st, firstParam + 2 * i, row.values.at(i));
        sqlite3_bind_text(st, firstParam + 2 * i + 1, storageClass(row.values.at(i)), -1, SQLITE_STATIC);
    }
}

// "c1" = ?2 <sep> "c2" = ?3 ...: each field against its parameter, from ?2 on (?1 is the rowid).
QString equalities(const StoredRow& row, const QString& sep)
{
    QStringList parts;
    for (int i = 0; i < row.columns.size(); ++i)
        parts << QStringLiteral("%1 = ?%2").arg(quoteId(row.columns.at(i))).arg(i + 2);
    return parts.join(sep);
}

// The row's values bound from ?2 on.
void bindFrom2(sqlite3_stmt* st, const StoredRow& row)
{
    for (int i = 0; i < row.values.size(); ++i)
        bindValue(st, i + 2, row.values.at(i));
}

DatabaseImpl& conn(const Database& db) { return detail::openImpl(detail::implOf(db)); }

// The name under which the table's rows are addressed: rowid, else _rowid_, else oid (a table may
// have fields so named; 3998 when it has all three). Looking the table up also gives this
// connection the triggers of its unique indexes (unique_text.h) before anything is written.
QString rowidOf(DatabaseImpl& d, const QString& table)
{
    if (const dialect::Table* t = d.schemaProvider().table(table))
        return dialect::Emitter::rowidName(*t);
    return QStringLiteral("rowid");
}

}  // namespace

int StoredRow::indexOf(const QString& column) const
{
    for (int i = 0; i < columns.size(); ++i)
        if (detail::sameName(columns.at(i), column))
            return i;
    return -1;
}

std::optional<RowRef> CurrentRow(const Recordset& rs)
{
    const auto impl = detail::implOf(rs);
    if (!impl || !impl->open || impl->isSnapshotOfValues() || impl->bof || impl->eof || impl->layout.sourceCount() < 1)
        return std::nullopt;
    const qint64 rowid = impl->keys.rowid(impl->cur, 0);
    if (rowid == detail::Keyset::kNoRow)
        return std::nullopt;
    return RowRef{impl->layout.source(0).table, rowid};
}

RowState CurrentRowState(const Recordset& rs)
{
    const auto impl = detail::implOf(rs);
    if (!impl || !impl->open || impl->isSnapshotOfValues() || impl->bof || impl->eof)
        return RowState::Same;
    if (impl->keys.isDeleted(impl->cur))
        return RowState::Gone;
    DatabaseImpl& d = *impl->db;
    for (int s = 0; s < impl->layout.sourceCount(); ++s) {
        const qint64 rowid = impl->keys.rowid(impl->cur, s);
        if (rowid == detail::Keyset::kNoRow)
            continue;
        Stmt st = d.prepare(impl->layout.source(s).checkSql);
        sqlite3_bind_int64(st, 1, rowid);
        if (!st.step(d))
            return RowState::Gone;
        const auto known = [&](int column, qint64 had) {
            return had == detail::Keyset::kUnknown || sqlite3_column_type(st, column) == SQLITE_NULL
                   || sqlite3_column_int64(st, column) == had;
        };
        if (!known(0, impl->keys.identity(impl->cur, s)) || !known(1, impl->keys.content(impl->cur, s)))
            return RowState::Changed;
        if (impl->keys.content(impl->cur, s) == detail::Keyset::kUnknown && sqlite3_column_type(st, 1) != SQLITE_NULL)
            impl->keys.setContent(impl->cur, s, sqlite3_column_int64(st, 1));  // first read: from now on
    }
    return RowState::Same;
}

namespace {

// The names of a statement's columns. The last list made is kept (a record walk reads one table
// record after record) and shared while the statement's names are the same.
QStringList columnNames(sqlite3_stmt* st)
{
    thread_local QList<QByteArray> utf8;
    thread_local QStringList names;
    const int n = sqlite3_column_count(st);
    bool same = utf8.size() == n;
    for (int i = 0; same && i < n; ++i)
        same = utf8.at(i) == sqlite3_column_name(st, i);
    if (!same) {
        utf8.clear();
        names.clear();
        for (int i = 0; i < n; ++i) {
            utf8 << QByteArray(sqlite3_column_name(st, i));
            names << QString::fromUtf8(utf8.last());
        }
    }
    return names;
}

}  // namespace

std::optional<StoredRow> ReadStoredRow(const Database& db, const QString& table, qint64 rowid)
{
    DatabaseImpl& d = conn(db);
    // The statement's text for the last table read (a walk reads one table record after record).
    thread_local QString lastTable, lastRowid, lastSql;
    const QString rowidName = rowidOf(d, table);
    if (table != lastTable || rowidName != lastRowid || lastSql.isEmpty()) {
        lastTable = table;
        lastRowid = rowidName;
        lastSql = QStringLiteral("SELECT * FROM %1 WHERE %2 = ?").arg(quoteId(table), rowidName);
    }
    Stmt st = d.prepare(lastSql);
    sqlite3_bind_int64(st, 1, rowid);
    if (!st.step(d))
        return std::nullopt;
    StoredRow r;
    const int n = sqlite3_column_count(st);
    r.columns = columnNames(st);
    r.values.reserve(n);
    for (int i = 0; i < n; ++i)
        r.values << columnValue(st, i);
    return r;
}

QVector<std::pair<Bookmark, QVariant>> ReadFieldOfAll(const Recordset& rs, const QString& field)
{
    const int f = rs.FieldIndex(field);  // 3265 for a field the set does not have
    const auto impl = detail::implOf(rs);
    impl->fetchAll();
    const detail::Keyset& keys = impl->keys;
    const Bookmark generation = Bookmark(impl->generation) << 32;
    QVector<std::pair<Bookmark, QVariant>> out;
    out.reserve(keys.liveCount());
    const short type = impl->layout.field(f).info.type;
    if (impl->isSnapshotOfValues()) {
        for (qint64 e = keys.nextLive(0); e < keys.size(); e = keys.nextLive(e + 1))
            out.append({generation | e, impl->rows.at(e * impl->layout.count() + f)});
        return out;
    }
    const int s = impl->layout.field(f).source;
    QVector<QByteArray> ids;
    qint64 expected = 0;  // the records with a row: one of the missing side of an outer join has none
    for (qint64 e = keys.nextLive(0); e < keys.size(); e = keys.nextLive(e + 1)) {
        out.append({generation | e, QVariant()});
        const qint64 rowid = s < 0 ? detail::Keyset::kNoRow : keys.rowid(e, s);
        expected += rowid != detail::Keyset::kNoRow;
        ids << (rowid == detail::Keyset::kNoRow ? QByteArray("null") : QByteArray::number(rowid));
    }
    if (s < 0 || out.isEmpty())
        return out;
    const detail::LayoutSource& src = impl->layout.source(s);
    DatabaseImpl& d = *impl->db;
    // The array's position of each rowid is the record's place in the result; a row is read once
    // for each record that lists it, its pages in the set's order.
    const QString t = quoteId(src.table);
    Stmt st = d.prepare(QStringLiteral("SELECT k.key, %1.%2 FROM json_each(?1) AS k JOIN %1 ON %1.%3 = k.value")
                            .arg(t, quoteId(impl->layout.field(f).info.name), src.rowid));
    bindText(st, 1, jsonArray(ids));
    qint64 read = 0;
    while (st.step(d)) {
        out[sqlite3_column_int64(st, 0)].second = detail::readValue(st, 1, type);
        ++read;
    }
    // A record of the missing side of an outer join reads as Null; any other row missing is gone.
    if (read != expected)
        throw DbError::make(err::RecordDeleted);
    return out;
}

namespace {

// A delete walk over the listed rows of a one-table set: the entries named, each once, and what
// was found of them in the file.
struct ListedDelete {
    detail::RecordsetImpl& impl;
    const QVector<Bookmark>& marks;
    const detail::LayoutSource& src;
    std::vector<RowState> outcome;  // by position in marks
    std::vector<std::pair<qint64, int>> listed;  // rowid, position in marks; by rowid
    QHash<qint64, int> atRowid;
    QVector<StoredRow> rows;  // by position in marks: the records found as listed
    QVector<QByteArray> found;  // the rowids of the records found as listed

    ListedDelete(detail::RecordsetImpl& i, const QVector<Bookmark>& m)
        : impl(i), marks(m), src(i.layout.source(0)), outcome(size_t(m.size()), RowState::Gone), rows(m.size())
    {
    }

    qint64 entryOf(int k) const { return marks.at(k) & 0xffffffffLL; }

    // The entries named, each once; a bookmark of another set or of an earlier run is refused.
    void name()
    {
        const detail::Keyset& keys = impl.keys;
        listed.reserve(size_t(marks.size()));
        for (int k = 0; k < marks.size(); ++k) {
            const Bookmark b = marks.at(k);
            const qint64 entry = b & 0xffffffffLL;
            if (b < 0 || quint32(b >> 32) != impl.generation || entry >= keys.size())
                throw DbError::make(err::InvalidArgument);
            if (keys.isDeleted(entry) || keys.rowid(entry, 0) == detail::Keyset::kNoRow
                || atRowid.contains(keys.rowid(entry, 0)))
                continue;
            atRowid.insert(keys.rowid(entry, 0), k);
            listed.push_back({keys.rowid(entry, 0), k});
        }
        std::sort(listed.begin(), listed.end());
    }

    // Reads the named records as stored: those still as listed (same identity and content) are
    // Same, with their values kept for the journal; those holding other values are Changed.
    void read(DatabaseImpl& d, const QString& table)
    {
        const detail::Keyset& keys = impl.keys;
        QVector<QByteArray> ids;
        for (const auto& [rowid, k] : listed)
            ids << QByteArray::number(rowid);
        Stmt st = d.prepare(QStringLiteral("SELECT %1, %2, %3, * FROM %4 WHERE %1 IN (SELECT value FROM json_each(?1))")
                                .arg(src.rowid, src.identity, src.content, table));
        bindText(st, 1, jsonArray(ids));
        QStringList names;
        while (st.step(d)) {
            const qint64 rowid = sqlite3_column_int64(st, 0);
            const int k = atRowid.value(rowid, -1);
            if (k < 0)
                continue;
            const qint64 entry = entryOf(k);
            const auto same = [&](int column, qint64 had) {
                return had == detail::Keyset::kUnknown || sqlite3_column_type(st, column) == SQLITE_NULL
                       || sqlite3_column_int64(st, column) == had;
            };
            if (!same(1, keys.identity(entry, 0)) || !same(2, keys.content(entry, 0))) {
                outcome[size_t(k)] = RowState::Changed;
                continue;
            }
            const int n = sqlite3_column_count(st);
            if (names.isEmpty())
                for (int i = 3; i < n; ++i)
                    names << QString::fromUtf8(sqlite3_column_name(st, i));
            StoredRow& r = rows[k];
            r.columns = names;
            r.values.reserve(n - 3);
            for (int i = 3; i < n; ++i)
                r.values << columnValue(st, i);
            found << QByteArray::number(rowid);
            outcome[size_t(k)] = RowState::Same;
        }
    }

    // Rows not found as listed: gone, or holding another record (its identity) or other values.
    void checkMissing(DatabaseImpl& d)
    {
        for (const auto& [rowid, k] : listed) {
            if (outcome[size_t(k)] != RowState::Gone)
                continue;
            Stmt chk = d.prepare(src.checkSql);
            sqlite3_bind_int64(chk, 1, rowid);
            if (chk.step(d))
                outcome[size_t(k)] = RowState::Changed;
        }
    }

    // Deletes the records found as listed; their rowids. The read and the delete are one
    // transaction that holds the write lock (or one that fails at its first write when another
    // program wrote since it read), so the delete meets exactly the records read: it names them by
    // rowid alone, instead of computing each record's content once more to compare it.
    QSet<qint64> remove(DatabaseImpl& d, const QString& table) const
    {
        const QByteArray ids = jsonArray(found);
        {
            Stmt del = d.prepare(
                QStringLiteral("DELETE FROM %1 WHERE %2 IN (SELECT value FROM json_each(?1))").arg(table, src.rowid));
            bindText(del, 1, ids);
            del.step(d);
        }
        QSet<qint64> deleted;
        deleted.reserve(found.size());
        for (const QByteArray& id : found)
            deleted.insert(id.toLongLong());
        if (sqlite3_changes64(d.db()) == found.size())
            return deleted;
        // Never expected: the rows still there were not deleted.
        Stmt left = d.prepare(
            QStringLiteral("SELECT %2 FROM %1 WHERE %2 IN (SELECT value FROM json_each(?1))").arg(table, src.rowid));
        bindText(left, 1, ids);
        while (left.step(d))
            deleted.remove(sqlite3_column_int64(left, 0));
        return deleted;
    }
};

}  // namespace

std::vector<RowState> DeleteListedRows(const Recordset& rs, const QVector<Bookmark>& marks,
                                       const std::function<void(const RowRef&, const StoredRow&)>& before)
{
    const auto impl = detail::implOf(rs);
    if (!impl || !impl->open)
        throw DbError::make(err::ObjectInvalid);
    if (!impl->updatable)
        throw DbError::make(err::ReadOnlyDatabase);
    if (impl->isSnapshotOfValues() || impl->layout.sourceCount() != 1)
        throw DbError::make(err::InvalidOperation);
    DatabaseImpl& d = *impl->db;
    ListedDelete w(*impl, marks);
    w.name();
    if (w.listed.empty())
        return w.outcome;

    // The write lock first (or a savepoint inside the caller's transaction): what is read below is
    // what the delete meets.
    DatabaseImpl::WriteScope scope(d);
    const QString table = quoteId(w.src.table);
    w.read(d, table);
    w.checkMissing(d);
    if (w.found.isEmpty()) {
        scope.commit();
        return w.outcome;
    }
    // The journal of every record before any of them is deleted, in the order of the marks.
    for (int k = 0; k < marks.size(); ++k)
        if (w.outcome[size_t(k)] == RowState::Same)
            before(RowRef{w.src.table, impl->keys.rowid(w.entryOf(k), 0)}, w.rows.at(k));
    const QSet<qint64> deleted = w.remove(d, table);
    scope.commit();
    for (const auto& [rowid, k] : w.listed) {
        if (deleted.contains(rowid)) {
            impl->keys.markDeleted(w.entryOf(k));
        } else if (w.outcome[size_t(k)] == RowState::Same) {
            w.outcome[size_t(k)] = RowState::Changed;  // changed between the read and the delete
        }
    }
    impl->reader.invalidate();
    return w.outcome;
}

QVector<qint64> FindStoredRows(const Database& db, const QString& table, const StoredRow& where, int limit)
{
    DatabaseImpl& d = conn(db);
    Stmt st = d.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 LIMIT %4")
                            .arg(rowidOf(d, table), quoteId(table), exactWhere(where, 1))
                            .arg(limit));
    bindExact(st, where, 1);
    QVector<qint64> ids;
    while (st.step(d))
        ids << sqlite3_column_int64(st, 0);
    return ids;
}

qint64 InsertStoredRow(const Database& db, const QString& table, const StoredRow& row, qint64 rowid)
{
    DatabaseImpl& d = conn(db);
    const QString rowidName = rowidOf(d, table);
    DatabaseImpl::WriteScope scope(d);
    bool free = true;
    {
        Stmt chk = d.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?").arg(quoteId(table), rowidName));
        sqlite3_bind_int64(chk, 1, rowid);
        free = !chk.step(d);
    }
    QStringList cols, params;
    for (int i = 0; i < row.columns.size(); ++i) {
        cols << quoteId(row.columns.at(i));
        params << QStringLiteral("?%1").arg(i + 2);
    }
    Stmt st =
        d.prepare(QStringLiteral("INSERT INTO %1 (%2, %3) VALUES (?1, %4)")
                      .arg(quoteId(table), rowidName, cols.join(QLatin1Char(',')), params.join(QLatin1Char(','))));
    if (free)
        sqlite3_bind_int64(st, 1, rowid);
    else
        sqlite3_bind_null(st, 1);
    bindFrom2(st, row);
    st.step(d);
    const qint64 used = sqlite3_last_insert_rowid(d.db());
    scope.commit();
    return used;
}

bool UpdateStoredRow(const Database& db, const QString& table, qint64 rowid, const StoredRow& fields,
                     const StoredRow* holding)
{
    DatabaseImpl& d = conn(db);
    const QString rowidName = rowidOf(d, table);
    DatabaseImpl::WriteScope scope(d);
    const int guard = int(fields.columns.size()) + 2;
    Stmt st = d.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?1 AND %4")
                            .arg(quoteId(table), equalities(fields, QStringLiteral(",")), rowidName,
                                 holding ? exactWhere(*holding, guard) : QStringLiteral("1")));
    sqlite3_bind_int64(st, 1, rowid);
    bindFrom2(st, fields);
    if (holding)
        bindExact(st, *holding, guard);
    st.step(d);
    const bool changed = sqlite3_changes64(d.db()) > 0;
    scope.commit();
    return changed;
}

bool DeleteStoredRow(const Database& db, const QString& table, qint64 rowid, const StoredRow* holding)
{
    DatabaseImpl& d = conn(db);
    const QString rowidName = rowidOf(d, table);
    DatabaseImpl::WriteScope scope(d);
    Stmt st = d.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 = ?1 AND %3")
                            .arg(quoteId(table), rowidName, holding ? exactWhere(*holding, 2) : QStringLiteral("1")));
    sqlite3_bind_int64(st, 1, rowid);
    if (holding)
        bindExact(st, *holding, 2);
    st.step(d);
    const bool changed = sqlite3_changes64(d.db()) > 0;
    scope.commit();
    return changed;
}

QStringList TakenKeys(const Database& db, const QString& table, const StoredRow& row, qint64 exceptRowid)
{
    DatabaseImpl& d = conn(db);
    const QString rowidName = rowidOf(d, table);
    const detail::TableInfo* def = d.tableInfo(table);
    const auto isText = [def](const QString& column) {
        const int k = def ? def->fieldIndex(column) : -1;
        return k >= 0 && detail::isTextType(def->fields[k].type);
    };
    QStringList taken;
    QStringList uniques;
    {
        Stmt list = d.prepare(QStringLiteral("SELECT name FROM pragma_index_list(?) WHERE \"unique\""));
        const QByteArray t = table.toUtf8();
        sqlite3_bind_text(list, 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        while (list.step(d))
            uniques << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(list, 0)));
    }
    for (const QString& ix : uniques) {
        StoredRow key;
        {
            Stmt info = d.prepare(QStringLiteral("SELECT name FROM pragma_index_info(?) ORDER BY seqno"));
            const QByteArray n = ix.toUtf8();
            sqlite3_bind_text(info, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
            while (info.step(d)) {
                const QString c = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(info, 0)));
                const int at = row.indexOf(c);
                if (at >= 0) {
                    key.columns << row.columns.at(at);
                    key.values << row.values.at(at);
                }
            }
        }
        if (key.columns.isEmpty())
            continue;
        // The engine's own comparison decides what collides: the index's (its collation), and for
        // a text with letters outside ASCII every spelling of it in another case (as the engine's
        // unique-text triggers compare).
        QStringList match, shown;
        for (int i = 0; i < key.columns.size(); ++i) {
            const QString c = quoteId(key.columns.at(i));
            shown << c;
            match << (isText(key.columns.at(i))
                          ? QStringLiteral(
                                "(%1 = ?%2 OR (%3(?%2) AND %1 COLLATE NOCASE IN (SELECT value FROM %4(?%2))))")
                                .arg(c)
                                .arg(i + 2)
                                .arg(QLatin1String(kHasCaseFunction), QLatin1String(kSpellingsTable))
                          : QStringLiteral("%1 = ?%2").arg(c).arg(i + 2));
        }
        Stmt st = d.prepare(
            QStringLiteral("SELECT %1 FROM %2 WHERE %3 <> ?1 AND %4 LIMIT 1")
                .arg(shown.join(QLatin1Char(',')), quoteId(table), rowidName, match.join(QStringLiteral(" AND "))));
        sqlite3_bind_int64(st, 1, exceptRowid);
        bindFrom2(st, key);
        if (st.step(d)) {
            // The key as the other record holds it.
            QStringList desc;
            for (int i = 0; i < key.columns.size(); ++i) {
                const QVariant other = columnValue(st, i);
                desc << key.columns.at(i) + QStringLiteral(" = ")
                            + (other.isNull() ? QStringLiteral("Null") : other.toString());
            }
            taken << desc.join(QStringLiteral(", "));
        }
    }
    return taken;
}

qint64 TotalChanges(const Database& db) { return sqlite3_total_changes64(conn(db).db()); }

namespace {
// A connection has one commit hook: the caller's function, and the note that there is something
// to sync (watchCommits), which the caller's hook would otherwise replace.
struct CommitHook {
    std::function<bool()> beforeCommit;
    DatabaseImpl::State* state;
};

int commitHookTrampoline(void* p)
{
    auto* h = static_cast<CommitHook*>(p);
    try {
        if (!h->beforeCommit())
            return 1;
        h->state->unsynced = true;
        return 0;
    } catch (...) {
        // Nothing may cross SQLite's hook: any failure refuses the commit.
        return 1;
    }
}
}  // namespace

void SetCommitHook(const Database& db, std::function<bool()> beforeCommit)
{
    DatabaseImpl& d = conn(db);
    // The function lives as long as the connection's hook needs it: one slot per connection.
    static thread_local QHash<sqlite3*, std::shared_ptr<CommitHook>> hooks;
    sqlite3* h = d.db();
    if (!beforeCommit) {
        detail::watchCommits(d);
        hooks.remove(h);
        return;
    }
    auto f = std::make_shared<CommitHook>(CommitHook{std::move(beforeCommit), d.s.get()});
    sqlite3_commit_hook(h, commitHookTrampoline, f.get());
    hooks.insert(h, f);
}

}  // namespace dbe
