#pragma once
// Database: an open archive or master file, the engine's OpenDatabase, and the default workspace's
// transactions. A Database is a handle: copies share the same connection; Close() ends it for all of
// them, after which every use raises error 3420. Every change made through a Database is committed
// to the file when the call returns (each statement, record write or definition append is its own
// transaction unless a workspace transaction is open), and synced to the disk by SyncToDisk() or
// Close().
#include "db_error.h"
#include "db_types.h"
#include "table_def.h"

#include <QString>
#include <memory>

namespace dbe {

class Recordset;
namespace detail {
struct ImplAccess;
class DatabaseImpl;
}  // namespace detail

class Database {
public:
    Database() = default;
    bool isNull() const { return !d_; }
    bool IsOpen() const;

    // The full path the database was opened by (absolute, as given otherwise).
    QString Name() const;
    void Close();

    TableDefCollection TableDefs() const;
    TableDef CreateTableDef(const QString& name = QString(), qint32 attributes = 0) const;

    // source: a table name or a SELECT text. type: dbOpenDefault (a table-type set for a table
    // name, a dynaset for a query), dbOpenTable, dbOpenDynaset or dbOpenSnapshot.
    // options: 0 or dbInconsistent (edits of a join write each field into its own table).
    Recordset OpenRecordset(const QString& source, int type = dbOpenDefault, int options = 0) const;

    // Runs one statement of the dialect (UPDATE, DELETE, INSERT, CREATE/DROP TABLE/INDEX,
    // ALTER TABLE). A statement is applied whole or not at all.
    void Execute(const QString& statement, int options = 0) const;
    // Records changed by the last Execute.
    qint64 RecordsAffected() const;

    explicit Database(std::shared_ptr<detail::DatabaseImpl> d) : d_(std::move(d)) {}

private:
    friend struct detail::ImplAccess;  // the engine's own files reach the implementation
    friend class WeakDatabase;
    std::shared_ptr<detail::DatabaseImpl> impl() const { return d_; }
    std::shared_ptr<detail::DatabaseImpl> d_;
};

// A Database that does not keep its connection alive, for hooks and lists that must not hold a
// file open: Lock() gives the Database back while any copy of it is alive, a null one after.
class WeakDatabase {
public:
    WeakDatabase() = default;
    explicit WeakDatabase(const Database& db) : d_(db.d_) {}
    Database Lock() const { return Database(d_.lock()); }
    // True when db is a copy of the Database this was made from (never for a null db).
    bool Refers(const Database& db) const { return db.d_ && d_.lock() == db.d_; }

private:
    std::weak_ptr<detail::DatabaseImpl> d_;
};

// What tells whether other connections wrote to the file since: SQLite's data_version on db's
// connection (it moves with every commit of another connection and never with db's own) and the
// connection it was read on. A null connection and -1 when db is closed or the count is unreadable.
struct DataVersion {
    const void* connection = nullptr;
    qint64 version = -1;
};
DataVersion ReadDataVersion(const Database& db);

// DBEngine.OpenDatabase with the path only: shared, read-write, no connect text. Never creates a
// missing file: a missing file raises 3024, a file that is not an archive 3343 or 3049, a locked
// one 3051, one in a network folder 3043. With readOnly (the master) the file is only read: its
// journal mode and every byte stay as they are, a file without write permission opens, and every
// change raises 3027.
Database OpenDatabase(const QString& path, bool readOnly = false);

// Makes every change committed through db survive a power cut (changes are committed at once but
// synced to the disk lazily, so that record walks stay fast): call it before a correction is
// reported done. Close() does the same.
void SyncToDisk(const Database& db);

// True when a and b were opened on the same file (the same device and inode when each was
// opened; also after either was closed): a database opened again by its path is another file when
// another program replaced the file meanwhile.
bool SameFile(const Database& a, const Database& b);

// Waits, at most the busy timeout, for the right to write the file and gives it back at once,
// changing nothing: raises 3218 when another program keeps a write transaction open on it, 3045
// when the file was deleted, renamed or replaced since it was opened. Inside
// a workspace transaction it does nothing.
void WaitWritable(const Database& db);

// Raises 3045 when the file at db's path is no longer the file db has open (deleted, renamed or
// replaced by another program); one stat of the path, nothing read or written.
void CheckSameFile(const Database& db);

// True while the connection has a write transaction open on the file itself (its tables, indexes
// or definitions), false when it writes nothing or only the connection's own temporary objects.
// A commit hook (SetCommitHook) asks it to tell a change of the file from the engine's own upkeep.
bool WritesFile(const Database& db);

// Creates a new, empty archive file (for the demo, fixtures and tests): the metadata tables and
// nothing else. Raises 3010-like errors if the file exists.
Database CreateDatabase(const QString& path);

// DBEngine.Workspaces(0): its transactions span every database open in the process. Nesting is
// allowed; Rollback undoes data and definitions changed since the matching BeginTrans.
class Workspace {
public:
    static Workspace& Default();
    void BeginTrans();
    void CommitTrans();
    void Rollback();
    int TransactionLevel() const;
};

}  // namespace dbe
