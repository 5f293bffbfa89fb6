#include "raw_file.h"

#include "conn_state.h"

#include <sqlite3.h>

namespace dbe::detail {

RawFile::RawFile(const QString& path, int flags, const char* vfs)
{
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &h_, flags | SQLITE_OPEN_URI, vfs);
    if (rc != SQLITE_OK) {
        const QString msg = h_ ? QString::fromUtf8(sqlite3_errmsg(h_)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close_v2(h_);
        h_ = nullptr;
        throw DbError::make(err::ReservedError, {msg});
    }
    sqlite3_busy_timeout(h_, kBusyTimeoutMs);
}

RawFile::~RawFile() { sqlite3_close_v2(h_); }

void RawFile::exec(const QString& sql) const
{
    char* msg = nullptr;
    const int rc = sqlite3_exec(h_, sql.toUtf8().constData(), nullptr, nullptr, &msg);
    const QString m = msg ? QString::fromUtf8(msg) : QString();
    sqlite3_free(msg);
    if (rc != SQLITE_OK)
        throw DbError::make(err::ReservedError, {m});
}

void RawFile::fail() const { throw DbError::make(err::ReservedError, {QString::fromUtf8(sqlite3_errmsg(h_))}); }

}  // namespace dbe::detail
