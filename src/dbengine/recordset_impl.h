#pragma once
// RecordsetImpl: the state behind a Recordset handle. The set's layout, its keyset, where it
// stands (current entry, BOF/EOF), the cached current record and the pending edit. A snapshot of a
// query that has no keyset plan keeps its rows' values here instead, its keyset then numbering the
// rows. A one-table query lists its records a part at a time (keyChunkSql, in rowid order): the
// first part when opened or re-run, the next ones as the moves reach the end of what is listed,
// the rest at once for RecordCount, MoveLast or a new record; no statement stays open between
// parts, so nothing holds the file's read snapshot while the operator looks at the rows. Internal to the engine:
// Recordset's methods are its only users besides the opening code.
#include "column_census.h"
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
    QString keySql;  // one row of rowids per record (keyset sets)
    QString keyChunkSql;  // the same a part at a time (dialect::SelectPlan::keyChunkSql), or empty
    QString valuesSql;  // the rows' values (snapshots of a query without a keyset plan)
    // The query's text, and the fields its SQL assumed plain (column_census.h): every run asks
    // them again and, when one no longer is, translates the text in the general form.
    QString text;
    QVector<dialect::PlainColumn> plainColumns;
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
    bool complete = true;  // every record of the result is in the keyset
    qint64 lastRowid = 0;  // the highest rowid listed so far (keyChunkSql sets)
    // True when the query's answer for a record depends on that record and other tables only, never
    // on other records of its own table nor on the time: then, when nothing but this set's own
    // deletes changed the file, running the query again would give the keyset less those records.
    bool keysReusable = false;
    // What the file was when the keyset was listed: the connection, another connection's last
    // commit seen (data_version), the structure (schema_version), this connection's row changes.
    const void* listedConnection = nullptr;
    qint64 listedDataVersion = -1;
    qint64 listedSchemaVersion = -1;
    qint64 listedChanges = -1;

    bool isSnapshotOfValues() const { return keySql.isEmpty(); }
    // Runs the set's query again: a new keyset (or new rows), positioned on the first record. SQL
    // written for plain fields runs only while they are plain, and again in the general form when
    // the file moved while it ran.
    void fill();
    // Requery without running the query when its answer is known: a keysReusable set whose file
    // nothing but the set's own deletes changed since it was listed (and whose deleted records are
    // gone indeed: a rolled-back delete leaves them) keeps its keyset less those records, and the
    // parts not listed yet are listed as usual. False, with nothing changed, otherwise.
    bool reuseKeys();
    // Lists up to n more records (n < 0: all the rest); the number listed.
    qint64 fetch(qint64 n);
    void fetchAll()
    {
        if (!complete)
            fetch(-1);
    }
    // The first live entry at or after from, listing more records while there may be one; size()
    // when there is none.
    qint64 nextLive(qint64 from);
    // Lists records until more than count are live (or the result ends).
    void ensureLive(qint64 count);
    // Records listed when the set is opened or re-run: a few screens of a grid.
    static constexpr qint64 kFirstPart = 256;
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

private:
    void run();
    // The query translated again, with no field assumed plain.
    void generalForm();
    // Appends the rows of a key statement to the keyset; the number appended.
    qint64 appendKeys(sqlite3_stmt* st);
    struct FileStamp {
        const void* connection = nullptr;
        qint64 dataVersion = -1;
        qint64 schemaVersion = -1;
        qint64 changes = -1;
    };
    FileStamp stamp() const;
    void keepStamp(const FileStamp& s);
};

}  // namespace dbe::detail
