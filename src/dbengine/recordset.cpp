// The record set's public methods: navigation, bookmarks, field access and edits, all on the
// RecordsetImpl behind the handle.
#include "dbengine/recordset.h"

#include "column_census.h"
#include "recordset_impl.h"
#include "values.h"

#include <atomic>
#include <limits>
#include <sqlite3.h>

namespace dbe {

using detail::Keyset;
using detail::RecordsetImpl;

namespace detail {

namespace {

// Steps st to its end, calling row() on each of its rows; an error of SQLite is raised through db.
// The rows stepped.
template <class Row>
qint64 eachRow(const DatabaseImpl& db, sqlite3_stmt* st, Row&& row)
{
    qint64 n = 0;
    for (;;) {
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_DONE)
            return n;
        if (rc != SQLITE_ROW)
            db.raise(rc);
        row();
        ++n;
    }
}

qint64 pragmaValue(DatabaseImpl& db, const char* sql)
{
    Stmt st = db.prepare(QString::fromLatin1(sql));
    const int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW)
        db.raise(rc);
    return sqlite3_column_int64(st, 0);
}

}  // namespace

RecordsetImpl::FileStamp RecordsetImpl::stamp() const
{
    FileStamp s;
    s.connection = db->db();
    s.dataVersion = db->dataVersion();
    s.schemaVersion = pragmaValue(*db, "PRAGMA schema_version");
    s.changes = qint64(sqlite3_total_changes64(db->db()));
    return s;
}

void RecordsetImpl::keepStamp(const FileStamp& s)
{
    listedConnection = s.connection;
    listedDataVersion = s.dataVersion;
    listedSchemaVersion = s.schemaVersion;
    listedChanges = s.changes;
}

bool RecordsetImpl::reuseKeys()
{
    if (!keysReusable || isSnapshotOfValues() || listedConnection == nullptr)
        return false;
    // Taken before anything is read: a commit of another connection after this point shows at
    // the next requery.
    const FileStamp now = stamp();
    if (now.connection != listedConnection || now.dataVersion != listedDataVersion
        || now.schemaVersion != listedSchemaVersion || now.changes - listedChanges != keys.deletedCount())
        return false;
    const std::vector<qint64> gone = keys.deletedRowids();
    if (!gone.empty()) {
        const LayoutSource& src = layout.source(0);
        QByteArray list = "[";
        for (const qint64 rowid : gone)
            list += QByteArray::number(rowid) + ',';
        list[list.size() - 1] = ']';
        Stmt st = db->prepare(QStringLiteral("SELECT count(*) FROM %1 WHERE %2 IN (SELECT value FROM json_each(?1))")
                                  .arg(RecordLayout::quote(src.table), src.rowid));
        sqlite3_bind_text(st, 1, list.constData(), int(list.size()), SQLITE_TRANSIENT);
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_ROW)
            db->raise(rc);
        if (sqlite3_column_int64(st, 0) != 0)
            return false;
    }
    reader.invalidate();
    edit.clear();
    lastModified = -1;
    keys.dropDeleted();
    keepStamp(now);
    moveTo(nextLive(0));
    return true;
}

void RecordsetImpl::fill()
{
    if (!plainStillHolds(*db, plainColumns))
        generalForm();
    run();
    if (!unchangedSincePlain(*db, plainColumns)) {
        generalForm();
        run();
    }
}

void RecordsetImpl::generalForm()
{
    const dialect::Statement st = dialect::translate(text, dialect::GeneralForms(db->schemaProvider()));
    keySql = st.select.keyset ? st.select.keySql : QString();
    valuesSql = st.select.keyset ? QString() : st.select.valuesSql;
    plainColumns.clear();
}

void RecordsetImpl::run()
{
    reader.invalidate();
    edit.clear();
    rows.clear();
    lastModified = -1;
    if (isSnapshotOfValues()) {
        keys.reset(1);
        Stmt st = db->prepare(valuesSql);
        const int n = layout.count();
        qint64 row = 0;
        eachRow(*db, st, [&] {
            for (int c = 0; c < n; ++c) {
                const short type = layout.field(c).info.type;
                if (type != 0) {
                    rows.append(readValue(st, c, type));
                    continue;
                }
                switch (sqlite3_column_type(st, c)) {
                case SQLITE_INTEGER: rows.append(qint64(sqlite3_column_int64(st, c))); break;
                case SQLITE_FLOAT: rows.append(sqlite3_column_double(st, c)); break;
                case SQLITE_TEXT:
                    rows.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                                  sqlite3_column_bytes(st, c)));
                    break;
                case SQLITE_BLOB:
                    rows.append(
                        QByteArray(static_cast<const char*>(sqlite3_column_blob(st, c)), sqlite3_column_bytes(st, c)));
                    break;
                default: rows.append(QVariant()); break;
                }
            }
            keys.append(row++);
        });
    } else {
        keys.reset(layout.sourceCount());
        if (keysReusable)
            keepStamp(stamp());
        complete = keyChunkSql.isEmpty();
        lastRowid = std::numeric_limits<qint64>::min();
        if (complete) {
            Stmt st = db->prepare(keySql);
            appendKeys(st);
        } else {
            fetch(kFirstPart);
        }
    }
    moveTo(nextLive(0));
}

qint64 RecordsetImpl::appendKeys(sqlite3_stmt* st)
{
    const int width = layout.sourceCount();
    // The rowids, then (when the query lists them) each source's identity and content.
    const bool identities = sqlite3_column_count(st) >= 2 * width;
    const bool contents = sqlite3_column_count(st) >= 3 * width;
    std::vector<qint64> tuple(size_t(width > 0 ? width : 1), Keyset::kNoRow);
    std::vector<qint64> identity(tuple.size(), Keyset::kUnknown);
    std::vector<qint64> content(tuple.size(), Keyset::kUnknown);
    return eachRow(*db, st, [&] {
        for (int s = 0; s < width; ++s) {
            tuple[size_t(s)] =
                sqlite3_column_type(st, s) == SQLITE_NULL ? Keyset::kNoRow : qint64(sqlite3_column_int64(st, s));
            if (identities)
                identity[size_t(s)] = sqlite3_column_type(st, width + s) == SQLITE_NULL
                                          ? Keyset::kUnknown
                                          : qint64(sqlite3_column_int64(st, width + s));
            if (contents)
                content[size_t(s)] = sqlite3_column_type(st, 2 * width + s) == SQLITE_NULL
                                         ? Keyset::kUnknown
                                         : qint64(sqlite3_column_int64(st, 2 * width + s));
        }
        keys.append(tuple.data(), identity.data(), content.data());
        lastRowid = tuple[0];
    });
}

qint64 RecordsetImpl::fetch(qint64 n)
{
    if (complete)
        return 0;
    Stmt st = db->prepare(keyChunkSql);
    sqlite3_bind_int64(st, sqlite3_bind_parameter_index(st, ":dbe_after"), lastRowid);
    sqlite3_bind_int64(st, sqlite3_bind_parameter_index(st, ":dbe_limit"), n < 0 ? -1 : n);
    const qint64 listed = appendKeys(st);
    if (n < 0 || listed < n)
        complete = true;
    return listed;
}

qint64 RecordsetImpl::nextLive(qint64 from)
{
    for (;;) {
        const qint64 e = keys.nextLive(from);
        if (e < keys.size() || complete)
            return e;
        // Each further part twice the size of what is listed: a walk to the end costs a few parts.
        fetch(qMax<qint64>(kFirstPart, keys.size()));
    }
}

void RecordsetImpl::ensureLive(qint64 count)
{
    while (!complete && keys.liveCount() <= count)
        fetch(qMax<qint64>(qMax<qint64>(kFirstPart, keys.size()), count - keys.liveCount() + 1));
}


void RecordsetImpl::moveTo(qint64 entry)
{
    reader.invalidate();
    edit.clear();
    if (keys.liveCount() == 0) {
        cur = -1;
        bof = eof = true;
    } else if (entry < 0) {
        cur = -1;
        bof = true;
        eof = false;
    } else if (entry >= keys.size()) {
        cur = keys.size();
        bof = false;
        eof = true;
    } else {
        cur = entry;
        bof = eof = false;
    }
}

bool RecordsetImpl::contentUnknown() const
{
    for (int s = 0; s < layout.sourceCount(); ++s)
        if (keys.rowid(cur, s) != Keyset::kNoRow && keys.content(cur, s) == Keyset::kUnknown)
            return true;
    return false;
}

void RecordsetImpl::verifyCurrent()
{
    if (isSnapshotOfValues())
        return;
    reader.invalidate();
    reader.values(*db, layout, keys, cur);
}

quint32 RecordsetImpl::nextGeneration()
{
    // Every set and every requery numbers its bookmarks apart: a bookmark of another set, or of
    // the same set before a requery, is refused.
    static std::atomic<quint32> counter{0};
    return ++counter;
}

void RecordsetImpl::requireCurrent() const
{
    if (bof || eof || cur < 0 || cur >= keys.size())
        throw DbError::make(err::NoCurrentRecord);
    if (keys.isDeleted(cur))
        throw DbError::make(err::RecordDeleted);
}

QVariant RecordsetImpl::currentValue(int index)
{
    requireCurrent();
    if (isSnapshotOfValues())
        return rows[cur * layout.count() + index];
    return reader.values(*db, layout, keys, cur)[index];
}

QVector<QVariant> RecordsetImpl::currentValues()
{
    requireCurrent();
    if (isSnapshotOfValues())
        return rows.mid(cur * layout.count(), layout.count());
    return reader.values(*db, layout, keys, cur);
}

}  // namespace detail

namespace {

RecordsetImpl& use(const std::shared_ptr<RecordsetImpl>& d)
{
    if (!d || !d->open || !d->db || !d->db->isOpen())
        throw DbError::make(err::ObjectInvalid);
    return *d;
}

int checkedIndex(const RecordsetImpl& r, int index)
{
    if (index < 0 || index >= r.layout.count())
        throw DbError::make(err::ItemNotFound);
    return index;
}

int checkedIndex(const RecordsetImpl& r, const QString& name)
{
    const int i = r.layout.indexOf(name);
    if (i < 0)
        throw DbError::make(err::ItemNotFound);
    return i;
}

void requireUpdatable(const RecordsetImpl& r)
{
    if (!r.updatable)
        throw DbError::make(err::ReadOnlyDatabase);
}

}  // namespace

bool Recordset::IsOpen() const { return d_ && d_->open && d_->db && d_->db->isOpen(); }

qint64 Recordset::RecordCount() const
{
    RecordsetImpl& r = use(d_);
    r.fetchAll();
    return r.keys.liveCount();
}

qint64 Recordset::ListedCount() const { return use(d_).keys.liveCount(); }

bool Recordset::AllListed() const { return use(d_).complete; }

qint64 Recordset::ListMore(qint64 n)
{
    RecordsetImpl& r = use(d_);
    return n > 0 ? r.fetch(n) : 0;
}

bool Recordset::Eof() const { return use(d_).eof; }

bool Recordset::Bof() const { return use(d_).bof; }

void Recordset::MoveFirst()
{
    RecordsetImpl& r = use(d_);
    const qint64 e = r.nextLive(0);
    r.moveTo(e);
    if (e >= r.keys.size())
        throw DbError::make(err::NoCurrentRecord);
}

void Recordset::MoveLast()
{
    RecordsetImpl& r = use(d_);
    r.fetchAll();
    const qint64 e = r.keys.prevLive(r.keys.size() - 1);
    r.moveTo(e);
    if (e < 0)
        throw DbError::make(err::NoCurrentRecord);
}

void Recordset::MoveNext()
{
    RecordsetImpl& r = use(d_);
    if (r.keys.liveCount() == 0) {
        r.moveTo(-1);
        throw DbError::make(err::NoCurrentRecord);
    }
    if (r.eof)
        throw DbError::make(err::NoCurrentRecord);
    r.moveTo(r.nextLive(r.bof ? 0 : r.cur + 1));
}

void Recordset::MovePrevious()
{
    RecordsetImpl& r = use(d_);
    if (r.keys.liveCount() == 0) {
        r.moveTo(-1);
        throw DbError::make(err::NoCurrentRecord);
    }
    if (r.bof)
        throw DbError::make(err::NoCurrentRecord);
    r.moveTo(r.keys.prevLive(r.eof ? r.keys.size() - 1 : r.cur - 1));
}

qint64 Recordset::AbsolutePosition() const
{
    RecordsetImpl& r = use(d_);
    if (r.bof || r.eof || r.keys.isDeleted(r.cur))
        return -1;
    return r.keys.rank(r.cur);
}

void Recordset::SetAbsolutePosition(qint64 position)
{
    RecordsetImpl& r = use(d_);
    r.ensureLive(position);
    const qint64 e = r.keys.select(position);
    if (e < 0)
        throw DbError::make(err::InvalidArgument);
    r.moveTo(e);
}

Bookmark Recordset::GetBookmark() const
{
    RecordsetImpl& r = use(d_);
    if (r.bof || r.eof)
        throw DbError::make(err::NoCurrentRecord);
    return (Bookmark(r.generation) << 32) | Bookmark(r.cur);
}

void Recordset::SetBookmark(Bookmark bookmark)
{
    RecordsetImpl& r = use(d_);
    const qint64 entry = bookmark & 0xffffffffLL;
    if (bookmark < 0 || quint32(bookmark >> 32) != r.generation || entry >= r.keys.size())
        throw DbError::make(err::InvalidArgument);
    r.moveTo(entry);
}

Bookmark Recordset::LastModified() const
{
    RecordsetImpl& r = use(d_);
    if (r.lastModified < 0 || r.lastModified >= r.keys.size())
        throw DbError::make(err::NoCurrentRecord);
    return (Bookmark(r.generation) << 32) | Bookmark(r.lastModified);
}

int Recordset::FieldCount() const { return use(d_).layout.count(); }

QString Recordset::FieldName(int index) const
{
    const RecordsetImpl& r = use(d_);
    return r.layout.field(checkedIndex(r, index)).name;
}

int Recordset::FieldIndex(const QString& name) const { return checkedIndex(use(d_), name); }

short Recordset::FieldType(int index) const
{
    const RecordsetImpl& r = use(d_);
    return r.layout.field(checkedIndex(r, index)).info.type;
}

short Recordset::FieldType(const QString& name) const
{
    const RecordsetImpl& r = use(d_);
    return r.layout.field(checkedIndex(r, name)).info.type;
}

qint32 Recordset::FieldSize(int index) const
{
    const RecordsetImpl& r = use(d_);
    return r.layout.field(checkedIndex(r, index)).info.size;
}

QVariant Recordset::Value(int index) const
{
    RecordsetImpl& r = use(d_);
    checkedIndex(r, index);
    if (r.edit.mode() != dbEditNone)
        return r.edit.value(index);
    return r.currentValue(index);
}

QVariant Recordset::Value(const QString& name) const
{
    RecordsetImpl& r = use(d_);
    const int index = checkedIndex(r, name);
    if (r.edit.mode() != dbEditNone)
        return r.edit.value(index);
    return r.currentValue(index);
}

void Recordset::SetValue(int index, const QVariant& value)
{
    RecordsetImpl& r = use(d_);
    checkedIndex(r, index);
    if (r.edit.mode() == dbEditNone)
        throw DbError::make(err::UpdateWithoutEdit);
    const int source = r.layout.field(index).source;
    if (source < 0)
        throw DbError::make(err::ReadOnlyDatabase);
    // A field of the missing side of an outer join has no row to be written into.
    if (r.edit.mode() == dbEditInProgress && r.keys.rowid(r.cur, source) == Keyset::kNoRow)
        throw DbError::make(err::InvalidOperation);
    r.edit.set(index, value);
}

void Recordset::SetValue(const QString& name, const QVariant& value) { SetValue(checkedIndex(use(d_), name), value); }

void Recordset::AddNew()
{
    RecordsetImpl& r = use(d_);
    requireUpdatable(r);
    if (r.layout.sourceCount() != 1)
        throw DbError::make(err::InvalidOperation);
    r.fetchAll();  // a part listed later would list the new record a second time
    r.edit.begin(dbEditAdd, QVector<QVariant>(r.layout.count()));
}

void Recordset::Edit()
{
    RecordsetImpl& r = use(d_);
    requireUpdatable(r);
    r.edit.clear();
    r.reader.invalidate();  // the edit starts from the record as it is now
    r.edit.begin(dbEditInProgress, r.currentValues());
}

void Recordset::Update()
{
    RecordsetImpl& r = use(d_);
    switch (r.edit.mode()) {
    case dbEditInProgress:
        r.requireCurrent();
        if (r.edit.anyChanged()) {
            // Only the record being edited is written, and only while it holds what the set read of
            // it (the write itself checks): a record changed or replaced meanwhile by another
            // program raises 3197 or 3167 instead of being changed.
            detail::DatabaseImpl::WriteScope scope(*r.db);
            if (r.contentUnknown())
                r.verifyCurrent();
            detail::RecordWriter::update(*r.db, r.layout, r.keys, r.cur, r.edit);
            scope.commit();
            for (int s = 0; s < r.layout.sourceCount(); ++s)
                r.keys.setIdentity(r.cur, s, Keyset::kUnknown);  // its key may have changed
        }
        r.lastModified = r.cur;
        break;
    case dbEditAdd: {
        const qint64 rowid = detail::RecordWriter::insert(*r.db, r.layout, r.edit);
        r.keys.append(rowid);
        r.lastModified = r.keys.size() - 1;
        // A set that was empty now has a record, but stays where it was (BOF/EOF).
        if (r.bof && r.eof && r.keys.liveCount() == 1) {
            r.cur = -1;
            r.eof = false;
        }
        break;
    }
    default: throw DbError::make(err::UpdateWithoutEdit);
    }
    r.edit.clear();
    r.reader.invalidate();
}

void Recordset::CancelUpdate()
{
    RecordsetImpl& r = use(d_);
    if (r.edit.mode() == dbEditNone)
        throw DbError::make(err::UpdateWithoutEdit);
    r.edit.clear();
}

void Recordset::Delete()
{
    RecordsetImpl& r = use(d_);
    requireUpdatable(r);
    // Deleting a joined row would need to choose a table: refused, the corrections delete
    // through a query on the one table instead.
    if (r.layout.sourceCount() != 1)
        throw DbError::make(err::InvalidOperation);
    r.requireCurrent();
    r.edit.clear();
    {
        // The delete carries the check: it removes the row only while it holds what the set read.
        detail::DatabaseImpl::WriteScope scope(*r.db, detail::DatabaseImpl::WriteScope::OneStatement);
        if (r.contentUnknown())
            r.verifyCurrent();
        detail::RecordWriter::remove(*r.db, r.layout, r.keys, r.cur);
        scope.commit();
    }
    r.keys.markDeleted(r.cur);
    r.reader.invalidate();
}

int Recordset::EditMode() const { return use(d_).edit.mode(); }

bool Recordset::Updatable() const { return use(d_).updatable; }

void Recordset::Requery()
{
    RecordsetImpl& r = use(d_);
    r.generation = RecordsetImpl::nextGeneration();
    if (!r.reuseKeys())
        r.fill();
}

void Recordset::Close()
{
    RecordsetImpl& r = use(d_);
    r.open = false;
    r.edit.clear();
    r.reader.invalidate();
    r.keys.reset(1);
    r.rows.clear();
}

}  // namespace dbe
