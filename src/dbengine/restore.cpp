// The restore of a copy over an open archive, in one transaction of the archive.
#include "dbengine/file_copy.h"

#include "conn_state.h"
#include "raw_file.h"
#include "whole_file.h"

#include <QFileInfo>
#include <QUrl>
#include <sqlite3.h>

namespace dbe {

using detail::connectionOf;
using detail::DatabaseImpl;
using detail::RawFile;
using detail::runBackup;

void RestoreFrom(const Database& db, const QString& source, const Progress& progress)
{
    DatabaseImpl& d = connectionOf(db);
    if (d.inTransaction())
        throw DbError::make(err::InvalidOperation);
    RawFile in(QStringLiteral("file:")
                   + QString::fromUtf8(QUrl::toPercentEncoding(QFileInfo(source).absoluteFilePath(), "/"))
                   + QStringLiteral("?mode=ro"),
               SQLITE_OPEN_READONLY);
    {
        // The source must be a whole, readable SQLite file before anything of the archive is touched.
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(in.get(), "SELECT count(*) FROM sqlite_master", -1, &st, nullptr) != SQLITE_OK
            || sqlite3_step(st) != SQLITE_ROW) {
            sqlite3_finalize(st);
            throw DbError::make(err::CannotOpenFile, {source});
        }
        sqlite3_finalize(st);
    }
    sqlite3_backup* b = sqlite3_backup_init(d.db(), "main", in.get(), "main");
    if (!b)
        d.raise(sqlite3_errcode(d.db()));
    const int rc = runBackup(b, progress);
    const int fin = sqlite3_backup_finish(b);
    d.invalidateSchema();
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
        throw DbError::make(err::CouldNotUpdateLocked);
    if (rc != SQLITE_DONE || fin != SQLITE_OK)
        d.raise(fin != SQLITE_OK ? fin : rc);
}

}  // namespace dbe
