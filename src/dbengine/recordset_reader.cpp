#include "recordset_reader.h"

#include "recordset_keyset.h"
#include "values.h"

#include <sqlite3.h>

namespace dbe::detail {

const QVector<QVariant>& RecordReader::values(DatabaseImpl& db, const RecordLayout& layout, Keyset& keys, qint64 entry)
{
    const qint64* rowids = keys.tuple(entry);
    sqlite3* h = db.db();
    // Any change written through this connection may have removed or changed the record.
    const qint64 stamp = qint64(sqlite3_total_changes64(h));
    if (entry == entry_ && stamp == stamp_)
        return values_;
    entry_ = -1;
    if (values_.size() != layout.count())
        values_.resize(layout.count());
    for (int s = 0; s < layout.sourceCount(); ++s) {
        const LayoutSource& src = layout.source(s);
        const qint64 rowid = rowids[s];
        if (rowid == Keyset::kNoRow) {
            for (int f : src.fields)
                values_[f] = QVariant();
            continue;
        }
        Stmt st = db.prepare(src.readSql);
        sqlite3_bind_int64(st, 1, rowid);
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_DONE)
            throw DbError::make(err::RecordDeleted);
        if (rc != SQLITE_ROW)
            db.raise(rc);
        const int identityColumn = int(src.fields.size());
        if (sqlite3_column_type(st, identityColumn) != SQLITE_NULL) {
            const qint64 identity = sqlite3_column_int64(st, identityColumn);
            const qint64 known = keys.identity(entry, s);
            if (known == Keyset::kUnknown)
                keys.setIdentity(entry, s, identity);
            else if (known != identity)
                throw DbError::make(err::RecordDeleted);  // another record took the rowid
        }
        // The content is the one the record had when listed, or when first read: never refreshed
        // here, so that a write still requires what the set first saw.
        if (keys.content(entry, s) == Keyset::kUnknown && sqlite3_column_type(st, identityColumn + 1) != SQLITE_NULL)
            keys.setContent(entry, s, sqlite3_column_int64(st, identityColumn + 1));
        for (int k = 0; k < src.fields.size(); ++k) {
            const int f = src.fields[k];
            values_[f] = readValue(st, k, layout.field(f).info.type);
        }
    }
    entry_ = entry;
    stamp_ = stamp;
    return values_;
}

}  // namespace dbe::detail
