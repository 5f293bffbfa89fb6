#pragma once
// The inside of a DatabaseImpl: the SQLite handle, the statement cache, the cached definitions of
// the tables and the transaction depth. Only the engine's own files include this header; record
// sets and the translator go through connection.h.
#include "column_census.h"
#include "connection.h"

#include <QHash>
#include <memory>
#include <vector>

namespace dbe::detail {

// How long a connection waits for another program's lock before giving up (busy timeout).
inline constexpr int kBusyTimeoutMs = 3000;

class TableDefImpl;

// One table's definition as last loaded, kept for the life of the connection so that pointers
// handed out by tableInfo() stay valid (a reload updates it in place).
struct SchemaEntry {
    TableInfo info;
    dialect::Table dtable;
    quint64 gen = 0;
    bool exists = false;
};

class SchemaProviderImpl : public dialect::SchemaProvider {
public:
    explicit SchemaProviderImpl(DatabaseImpl* d) : d_(d) {}
    const dialect::Table* table(const QString& name) const override;
    bool plainColumn(const QString& table, const QString& field) const override;

private:
    DatabaseImpl* d_;
};

struct DatabaseImpl::State {
    explicit State(DatabaseImpl* d) : provider(d) {}

    sqlite3* db = nullptr;
    QString path;
    bool readOnly = false;  // opened only to be read (the master)
    bool unsynced = false;  // a commit of this connection may not be on the disk yet
    quint64 device = 0;  // the file opened, as its directory entry was then
    quint64 inode = 0;
    QHash<QString, std::shared_ptr<StmtSlot>> cache;

    // Definitions: valid while the file's data_version is the one seen last (no other connection
    // committed) and this connection did not mark them stale. gen counts the reloads.
    qint64 dataVersion = -1;
    sqlite3_stmt* dataVersionStmt = nullptr;
    QString lastName;  // the last table looked up, and its entry
    SchemaEntry* lastEntry = nullptr;
    quint64 gen = 1;
    bool stale = true;
    QHash<QString, std::shared_ptr<SchemaEntry>> tables;  // lower-case name
    quint64 namesGen = 0;
    QStringList names;  // stored names, sorted case-insensitively
    QHash<QString, QString> storedName;  // lower-case name -> stored name
    SchemaProviderImpl provider;
    ColumnCensus census;  // the plain fields and unreadable values of the tables asked about

    int writeDepth = 0;  // open write scopes
    int workspaceLevel = 0;  // workspace transaction levels this connection joined
    qint64 recordsAffected = 0;

    // Attached table definitions handed out, so that the same table is the same object.
    QHash<QString, std::weak_ptr<TableDefImpl>> tableDefs;

    void ensureCurrent(DatabaseImpl& d);
    SchemaEntry* entry(DatabaseImpl& d, const QString& name);
};

// Opens (and validates) a connection on an existing archive file; used by OpenDatabase.
std::shared_ptr<DatabaseImpl> openConnection(const QString& path, bool readOnly);
// Notes every commit of the connection, so that syncToDisk() knows there is something to sync.
void watchCommits(DatabaseImpl& d);
// Registers the SQL functions of the engine (dbe_fit) on a connection.
void registerFunctions(sqlite3* db);

// Double-quoted SQLite identifier.
QString quoteId(const QString& name);
// Case-insensitive name comparison (the engine's rule for every name).
inline bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// The workspace's transaction level; connections opened inside it join that many levels.
int workspaceLevel();
void registerConnection(const std::shared_ptr<DatabaseImpl>& d);
// The connections of the process that are open now.
std::vector<std::shared_ptr<DatabaseImpl>> openConnections();

// The connection behind a database handle; 3420 for a null or closed one.
inline DatabaseImpl& openImpl(const std::shared_ptr<DatabaseImpl>& d)
{
    if (!d || !d->isOpen())
        throw DbError::make(err::ObjectInvalid);
    return *d;
}

}  // namespace dbe::detail
