#pragma once
// RecordReader: reads the values of the record a set is on, by rowid from each source table, and
// keeps them while the set stays on that record and nothing was written through the connection.
// A row that no longer exists raises 3167 (the record was deleted through another record set, a
// statement or another connection), and so does a row whose identity is not the one the keyset
// holds for it (the record was deleted and a new one took its rowid); the missing side of an outer
// join reads as Nulls.
#include "connection.h"
#include "recordset_keyset.h"
#include "recordset_layout.h"

#include <QVariant>
#include <QVector>

namespace dbe::detail {

class RecordReader {
public:
    // The values of the record with these rowids (one per source), read now unless the cache
    // already holds them for entry.
    // An identity or content the keyset does not know yet is taken from the row read.
    const QVector<QVariant>& values(DatabaseImpl& db, const RecordLayout& layout, Keyset& keys, qint64 entry);
    // Forgets the cached record (after a move, a write or a requery).
    void invalidate() { entry_ = -1; }

private:
    QVector<QVariant> values_;
    qint64 entry_ = -1;
    qint64 stamp_ = -1;
};

}  // namespace dbe::detail
