#pragma once
// EditBuffer and RecordWriter: the pending edit of a record set (Edit or AddNew, the values set
// since, which of them changed) and the writes that apply it. Every write checks each value it
// stores against its field (conversion 3464, size 3163, zero length 3315, required 3314) before
// anything is written, runs in a transaction of its own and so either lands whole, on disk, or
// changes nothing (a duplicate in a unique index raises 3022). The caller clears the buffer only
// after a write succeeded, so a refused Update leaves the edit pending. A row is changed or deleted
// only while it holds the content the keyset has for it, checked by the write statement itself:
// 3167 when the row is gone or another record took its rowid, 3197 when it was changed since.
#include "connection.h"
#include "recordset_keyset.h"
#include "recordset_layout.h"

#include <QVariant>
#include <QVector>

namespace dbe::detail {

class EditBuffer {
public:
    int mode() const { return mode_; }  // dbEditNone, dbEditInProgress or dbEditAdd
    void begin(int mode, QVector<QVariant> initial);
    void set(int field, const QVariant& value);
    const QVariant& value(int field) const { return values_[field]; }
    bool changed(int field) const { return changed_[field]; }
    bool anyChanged() const { return changedCount_ > 0; }
    void clear();

private:
    int mode_ = 0;
    QVector<QVariant> values_;
    QVector<bool> changed_;
    int changedCount_ = 0;
};

class RecordWriter {
public:
    // Writes the changed fields of the keyset's record `entry`, each into its own source's row, and
    // keeps the content each row has afterwards. Raises 3167 or 3197 (above) and writes nothing.
    static void update(DatabaseImpl& db, const RecordLayout& layout, Keyset& keys, qint64 entry,
                       const EditBuffer& edit);
    // Inserts a new row into the set's only source: auto-increment fields left empty get the
    // largest value plus one, yes/no fields left empty get No. Returns the new row's rowid.
    static qint64 insert(DatabaseImpl& db, const RecordLayout& layout, const EditBuffer& edit);
    // Deletes the row of the keyset's record `entry` in the set's only source; 3167 or 3197 (above).
    static void remove(DatabaseImpl& db, const RecordLayout& layout, const Keyset& keys, qint64 entry);
};

}  // namespace dbe::detail
