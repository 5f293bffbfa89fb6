#include "whole_file.h"

#include "conn_state.h"
#include "impl_access.h"

#include <sqlite3.h>

namespace dbe::detail {

DatabaseImpl& connectionOf(const Database& db) { return openImpl(implOf(db)); }

QString columnText(sqlite3_stmt* st, int i)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)), sqlite3_column_bytes(st, i));
}

// Steps a backup to the end, reporting pages copied.
int runBackup(sqlite3_backup* b, const Progress& progress)
{
    int rc = SQLITE_OK;
    while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        rc = sqlite3_backup_step(b, 8192);
        if (progress)
            progress(sqlite3_backup_pagecount(b) - sqlite3_backup_remaining(b), sqlite3_backup_pagecount(b));
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            sqlite3_sleep(20);
    }
    return rc;
}

qint64 pragmaInt(DatabaseImpl& d, const QString& pragma)
{
    Stmt st = d.prepare(QStringLiteral("PRAGMA ") + pragma);
    return st.step(d) ? sqlite3_column_int64(st, 0) : 0;
}

// Opens a read transaction on a connection that has none (true), so that what it reads stays one
// state of the file until COMMIT.
bool beginRead(sqlite3* db)
{
    if (!sqlite3_get_autocommit(db))
        return false;
    if (sqlite3_exec(db, "BEGIN; SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    if (!sqlite3_get_autocommit(db))
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

// Only a log nobody is using can be emptied: no waiting for other programs here.
void checkpointIfIdle(sqlite3* db)
{
    sqlite3_busy_timeout(db, 0);
    sqlite3_wal_checkpoint_v2(db, "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
}

}  // namespace dbe::detail
