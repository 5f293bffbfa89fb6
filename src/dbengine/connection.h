#pragma once
// DatabaseImpl: one SQLite connection on an archive file and what the engine knows of its
// definitions. Internal to the engine: the object model, Execute and the record sets build on it.
// Callers may rely on: tableInfo() always describes the file as it is now (it reloads when this or
// another connection changed the schema or the metadata tables); every failure is a DbError.
#include "dbengine/db_error.h"
#include "dialect/dialect.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace dbe::detail {

struct FieldInfo {
    QString name;  // as stored
    short type = 0;
    qint32 size = 0;
    qint32 attributes = 0;
    bool allowZeroLength = false;
    bool required = false;
    bool primaryKey = false;  // in the primary index or one that refuses Null: Null refused (3058)
    QString declaredType;  // the column's declared type in the file
};

struct IndexInfo {
    QString name;  // the engine's name, per table ("PrimaryKey")
    QString sqliteName;  // the SQLite index's name in the file
    bool primary = false;
    bool unique = false;
    bool required = false;
    bool ignoreNulls = false;
    QStringList fields;  // in index order
};

struct PropertyInfo {
    QString name;
    short type = 0;
    QVariant value;
};

struct TableInfo {
    QString name;  // as stored
    qint32 attributes = 0;
    QVector<FieldInfo> fields;  // column order
    QVector<IndexInfo> indexes;  // by name
    QVector<PropertyInfo> properties;  // the table's own, in append order
    QVariant dateCreated;  // QDateTime or null (from MSysTables)
    QVariant lastUpdated;
    bool isSystem() const { return attributes & qint32(0x80000002u); }
    int fieldIndex(const QString& name) const;  // case-insensitive; -1 when absent
    int indexIndex(const QString& name) const;
};

class DatabaseImpl;

// A statement of the connection's cache: the cache lends it to one Stmt at a time.
struct StmtSlot {
    sqlite3_stmt* s = nullptr;  // null once the connection closed
    bool inUse = false;
};

// A prepared statement that resets itself when it goes out of scope (a cached one goes back to
// the cache; an owned one is finalized).
class Stmt {
public:
    Stmt() = default;
    Stmt(sqlite3_stmt* s, bool owned, std::shared_ptr<StmtSlot> slot = {})
        : s_(s), owned_(owned), slot_(std::move(slot))
    {
    }
    Stmt(const Stmt&) = delete;  // one owner resets or finalizes the statement
    Stmt& operator=(const Stmt&) = delete;
    Stmt(Stmt&& o) noexcept : s_(o.s_), owned_(o.owned_), slot_(std::move(o.slot_)) { o.s_ = nullptr; }
    Stmt& operator=(Stmt&& o) noexcept;
    ~Stmt();
    // Null once the connection closed (a cached statement is finalized by the close).
    sqlite3_stmt* get() const { return slot_ && !slot_->s ? nullptr : s_; }
    operator sqlite3_stmt*() const { return get(); }
    // Steps once: true for a row, false when done; an error raises DbError through db (3420 once
    // the connection closed).
    bool step(const DatabaseImpl& db);

private:
    void release();
    sqlite3_stmt* s_ = nullptr;
    bool owned_ = false;
    std::shared_ptr<StmtSlot> slot_;
};

class DatabaseImpl : public std::enable_shared_from_this<DatabaseImpl> {
public:
    DatabaseImpl() = default;
    DatabaseImpl(const DatabaseImpl&) = delete;  // one connection, one close
    DatabaseImpl& operator=(const DatabaseImpl&) = delete;
    ~DatabaseImpl();

    sqlite3* db() const;  // raises 3420 once closed
    const QString& path() const;
    bool isOpen() const;
    // Syncs what this connection committed to the disk, then closes the connection.
    void close();
    // Makes every change this connection committed survive a power cut: the log (or the file)
    // is synced through SQLite's own descriptor. Nothing to do when nothing was committed.
    void syncToDisk();
    // Raises 3045 when the file at path() is no longer the file this connection has open (another
    // program deleted, renamed or replaced it): whatever were written now would go to a file nobody
    // will open again. Looks only at the directory entry; a read-only connection is not checked.
    // The log copied into the file and emptied then.
    void checkSameFile() const;
    bool hasMoved() const;
    // After the close of a file moved while open: removes the emptied log files left at its old
    // path when no file lies there now.
    void removeLogOfMovedFile() const;
    void emptyLog() const;

    // The table of that name as the file holds it now; nullptr when absent (case-insensitive).
    const TableInfo* tableInfo(const QString& name);
    QStringList tableNames();  // every table, the MSys ones included, by name
    // The schema as the dialect translator sees it (always current).
    const dialect::SchemaProvider& schemaProvider();
    // Marks the cached definitions stale (after this connection changed them).
    void invalidateSchema();
    // SQLite's data_version on this connection: it moves with every commit of another connection
    // to the file, never with this one's. Read through a statement kept prepared; raises DbError.
    qint64 dataVersion();

    // A cached prepared statement (reset on return to the cache); errors raise DbError.
    Stmt prepare(const QString& sql);
    // Runs SQL without results (several statements allowed), raising DbError on failure.
    void exec(const QString& sql);
    // Records changed by the last INSERT, UPDATE or DELETE of this connection.
    qint64 changes() const;
    // True inside a workspace transaction or a write scope.
    bool inTransaction() const;
    // Raises the DbError for an SQLite result code on this connection: busy → 3218/3211,
    // UNIQUE → 3022, NOT NULL → 3314, a dbe_fit failure → its own number, others → 3000.
    [[noreturn]] void raise(int rc, const QString& context = QString()) const;

    // Write scope: each outermost write runs in its own transaction (a savepoint inside a workspace
    // transaction), committed when the scope ends without an exception, rolled back otherwise.
    // A scope whose only write is one statement (reads before it allowed) needs no savepoint
    // inside a transaction: SQLite undoes a failed statement by itself.
    class WriteScope {
    public:
        enum Writes { Several, OneStatement };
        explicit WriteScope(DatabaseImpl& d, Writes writes = Several);
        WriteScope(const WriteScope&) = delete;  // one scope, one commit or rollback
        WriteScope& operator=(const WriteScope&) = delete;
        ~WriteScope();
        void commit();

    private:
        DatabaseImpl& d_;
        bool done_ = false;
        bool nested_ = false;  // inside another scope or a transaction: no BEGIN of its own
        QString name_;  // its savepoint, when it has one
    };

    // Internal state, set by the opening code.
    struct State;
    std::unique_ptr<State> s;
};

}  // namespace dbe::detail
