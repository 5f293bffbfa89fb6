// The online copy of an open archive: its size, the emptying of its log, and the copy itself, from
// the file's bytes when it can (byte_copy.h), else through SQLite's backup into a file written by
// gathered writes (gathered_writes.h).
#include "dbengine/file_copy.h"

#include "byte_copy.h"
#include "conn_state.h"
#include "gathered_writes.h"
#include "raw_file.h"
#include "whole_file.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace dbe {

using detail::beginRead;
using detail::checkpointIfIdle;
using detail::connectionOf;
using detail::DatabaseImpl;
using detail::pragmaInt;
using detail::RawFile;
using detail::runBackup;

qint64 DatabaseBytes(const Database& db)
{
    DatabaseImpl& d = connectionOf(db);
    return pragmaInt(d, QStringLiteral("page_count")) * pragmaInt(d, QStringLiteral("page_size"));
}

qint64 SetUncachedCopyFrom(qint64 bytes) { return detail::setUncachedCopyFrom(bytes); }

void EmptyLog(const Database& db)
{
    DatabaseImpl& d = connectionOf(db);
    if (!d.inTransaction() && sqlite3_get_autocommit(d.db()))
        checkpointIfIdle(d.db());
}

bool BackupTo(const Database& db, const QString& dest, const Progress& progress)
{
    DatabaseImpl& d = connectionOf(db);
    if (QFileInfo::exists(dest))
        throw DbError::make(err::TableExists, {dest});
    // Written under a provisional name of this process and renamed when complete and synced: a
    // copy interrupted half-way never looks like a copy, and two programs copying at once never
    // write the same file.
    static QAtomicInteger<int> serial;
    const QString part = QStringLiteral("%1.%2-%3.parziale")
                             .arg(dest)
                             .arg(QCoreApplication::applicationPid())
                             .arg(serial.fetchAndAddRelaxed(1));
    QFile::remove(part);
    int rc = SQLITE_OK;
    QString msg;
    const bool fromBytes = copyFromFileBytes(d, part, progress);
    if (!fromBytes) {
        RawFile out(part, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, detail::gatheredWritesVfs());
        out.exec(QStringLiteral("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF"));
        // One read transaction for the whole copy: between steps without one, any write of another
        // program would start the copy over, and a steady writer would keep it from ending.
        const bool reading = beginRead(d.db());
        sqlite3_backup* b = sqlite3_backup_init(out.get(), "main", d.db(), "main");
        if (!b) {
            msg = QString::fromUtf8(sqlite3_errmsg(out.get()));
            rc = SQLITE_ERROR;
        } else {
            rc = runBackup(b, progress);
            rc = sqlite3_backup_finish(b) == SQLITE_OK && rc == SQLITE_DONE ? SQLITE_OK : rc;
            if (rc != SQLITE_OK)
                msg = QString::fromUtf8(sqlite3_errmsg(out.get()));
        }
        if (reading)
            sqlite3_exec(d.db(), "COMMIT", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) {
            // The pages carry the archive's log mode: the copy becomes a plain file of its own,
            // and this last write syncs the whole file to disk.
            try {
                out.exec(QStringLiteral("PRAGMA synchronous=FULL; PRAGMA journal_mode=DELETE"));
                out.exec(QStringLiteral("BEGIN IMMEDIATE; PRAGMA user_version=")
                         + QString::number(pragmaInt(d, QStringLiteral("user_version"))) + QStringLiteral("; COMMIT"));
            } catch (const DbError& e) {
                rc = SQLITE_ERROR;
                msg = e.description();
            }
        }
    }
    // QFile::rename never replaces an existing file.
    if (rc != SQLITE_OK || !QFile::rename(part, dest)) {
        QFile::remove(part);
        QFile::remove(part + QStringLiteral("-journal"));
        if (rc == SQLITE_OK && QFileInfo::exists(dest))
            throw DbError::make(err::TableExists, {dest});
        throw DbError::make(err::ReservedError, {msg.isEmpty() ? QStringLiteral("copia non scritta") : msg});
    }
    return fromBytes;
}

}  // namespace dbe
