#pragma once
// RecordsetImpl: the state behind a Recordset handle. The set's layout, its keyset, where it
// stands (current entry, BOF/EOF), the cached current record and the pending edit. A snapshot of a
// query that has no keyset plan keeps its rows' values here instead, its keyset then numbering the
// rows. Internal to the engine: Recordset's methods are its only users besides the opening code.
#include "connection.h"
#include "recordset_edit.h"
#include "recordset_keyset.h"
#include "recordset_layout.h"
#include "recordset_reader.h"

#include <QString>
#include <QVariant>
#include <QVector>
#include <memory>

namespace dbe::detail {

class RecordsetImpl {
public:
    std::shared_ptr<DatabaseImpl> db;
    RecordLayout layout;
    QString keySql;     // one row of rowids per record (keyset sets)
    QString valuesSql;  // the rows' values (snapshots of a query without a keyset plan)
    bool updatable = true;
    bool open = true;

    Keyset keys;
    QVector<QVariant> rows;  // snapshot values, row after row
    RecordReader reader;
    EditBuffer edit;

    qint64 cur = -1;
    bool bof = true;
    bool eof = true;
    quint32 generation = nextGeneration();  // the high half of the set's bookmarks
    qint64 lastModified = -1;

    bool isSnapshotOfValues() const { return keySql.isEmpty(); }
    // Runs the set's query again: a new keyset (or new rows), positioned on the first record.
    void fill();
    // Positions on entry (a live or deleted entry), or on BOF/EOF for -1/size().
    void moveTo(qint64 entry);
    // The current record's values; raise 3021 without a current record, 3167 when it is deleted.
    QVariant currentValue(int index);
    QVector<QVariant> currentValues();
    void requireCurrent() const;
    // Reads the current record afresh: 3167 when it is gone or another record took its rowid.
    void verifyCurrent();
    // True when the keyset does not know yet the content of a row of the current record.
    bool contentUnknown() const;
    static quint32 nextGeneration();
};

}  // namespace dbe::detail
