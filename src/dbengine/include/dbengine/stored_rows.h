#pragma once
// Stored rows: the records of a table exactly as the file stores them (SQLite's own storage
// classes: integer, real, text, blob, null), read and written by rowid on an open database's
// connection. The safety journal keeps records in this form so that a record put back is the same,
// bit for bit, as the record that was removed. Callers may rely on: reading never changes the file;
// each write is its own transaction (a savepoint inside an open workspace transaction); writes
// bypass the field rules (the values were the table's own) but not SQLite's unique indexes, so a
// record whose key another record now holds is refused with 3022 and nothing changes. Rows are
// addressed by the rowid under a name the table does not shadow (rowid, _rowid_ or oid; a table
// with fields of all three names is refused with 3998).
#include "database.h"
#include "recordset.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <optional>
#include <vector>

namespace dbe {

// One record as stored: the columns in table order and their values. A value is a null QVariant
// (NULL), a qlonglong (integer), a double (real), a QString (text) or a QByteArray (blob).
struct StoredRow {
    QStringList columns;
    QVector<QVariant> values;
    int indexOf(const QString& column) const;  // case-insensitive; -1 when absent
};

// The table and rowid behind the current record of a record set read from one table (its first
// source); nullopt without a current record or for a snapshot of computed values.
struct RowRef {
    QString table;
    qint64 rowid = 0;
};
std::optional<RowRef> CurrentRow(const Recordset& rs);

// Whether the current record of a record set is still what the set read of it: Same, Gone (a row
// of it no longer exists), or Changed (a row holds another record, or other values, than the ones
// the set listed or first read). A snapshot of computed values is always Same. Reads only.
enum class RowState { Same, Changed, Gone };
RowState CurrentRowState(const Recordset& rs);

// Deletes a group of a record set's records at once, as a record walk deletes them: the records
// named by `marks` (bookmarks of rs, in any order) whose rows still hold what the set listed (the
// identity and content of CurrentRowState) are read as stored and handed to `before` (the journal)
// in the order of `marks`, then deleted together by one statement, the rows visited in rowid order;
// the read and the delete are one transaction that holds the write lock, so no other program
// changes a record between its check and its delete. Returns, for each mark, Same when its record was deleted now,
// Changed when its row holds another record or other values (left alone), Gone when its row no longer exists or the
// record was deleted through the set. The deleted records are marked deleted in the set, as Delete marks them. Nothing
// is deleted when `before` throws or the engine refuses the statement (the error goes to the caller). A set of one
// table only (3219 otherwise, 3027 for a read-only set); a bookmark of another set raises 3001.
std::vector<RowState> DeleteListedRows(const Recordset& rs, const QVector<Bookmark>& marks,
                                       const std::function<void(const RowRef&, const StoredRow&)>& before);

// One field of every record of a record set, in the set's order, each with its record's bookmark:
// what moving from the first record to the last and reading Value(field) at each gives, read by
// one statement instead of a read of the whole record each. Lists the whole result first, as
// RecordCount does; leaves the set where it was. Raises 3265 for a field the set does not have,
// 3167 when a record's row no longer exists.
QVector<std::pair<Bookmark, QVariant>> ReadFieldOfAll(const Recordset& rs, const QString& field);

// The record with that rowid, or nullopt when the table has none.
std::optional<StoredRow> ReadStoredRow(const Database& db, const QString& table, qint64 rowid);
// Every record of the table whose columns named in `where` hold exactly these values (stored
// comparison: same storage class and value; NULL matches NULL): their rowids, at most `limit`.
QVector<qint64> FindStoredRows(const Database& db, const QString& table, const StoredRow& where, int limit = 2);

// Inserts the record under `rowid` when that rowid is free, under a new one otherwise, and
// returns the rowid used. A unique index that already holds the record's key raises 3022.
qint64 InsertStoredRow(const Database& db, const QString& table, const StoredRow& row, qint64 rowid);
// Writes the given columns of the record with that rowid; false when there is no such record, or
// (with `holding`) when the record does not hold exactly those values: the check is part of the
// write.
bool UpdateStoredRow(const Database& db, const QString& table, qint64 rowid, const StoredRow& fields,
                     const StoredRow* holding = nullptr);
// Deletes the record with that rowid; false when there is none, or (with `holding`) when it does
// not hold exactly those values.
bool DeleteStoredRow(const Database& db, const QString& table, qint64 rowid, const StoredRow* holding = nullptr);

// The unique indexes of the table that the record's values collide with in other records, compared
// as the engine compares keys (texts without regard to case, also of letters outside ASCII): for
// each, its columns and the other record's values as "COL = value" texts (for the operator's message).
QStringList TakenKeys(const Database& db, const QString& table, const StoredRow& row, qint64 exceptRowid = 0);

// The records inserted, changed or deleted through this connection since it was opened.
qint64 TotalChanges(const Database& db);

// Runs `beforeCommit` each time a write transaction of this connection is about to commit (the
// outermost one); when it returns false the commit becomes a rollback and the writing call raises
// an error. An empty function removes the hook. The hook belongs to the connection: a database
// reopened by its path has none. Commits made under it are still synced by SyncToDisk and Close.
void SetCommitHook(const Database& db, std::function<bool()> beforeCommit);

}  // namespace dbe
