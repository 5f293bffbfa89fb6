#include "dbengine/bulk_rewrite.h"

#include "connection.h"
#include "impl_access.h"

#include <sqlite3.h>

namespace dbe {

namespace {

// SQLite's own default: 2000 KiB.
constexpr qint64 kSmallCacheKiB = 2000;

}  // namespace

BulkRewrite::BulkRewrite(const Database& db) : d_(detail::implOf(db))
{
    if (!d_ || !d_->isOpen())
        return;
    try {
        detail::Stmt st = d_->prepare(QStringLiteral("PRAGMA cache_size"));
        if (sqlite3_step(st) != SQLITE_ROW)
            return;
        before_ = sqlite3_column_int64(st, 0);
    } catch (const DbError&) {
        // Any error: the smaller cache only saves memory, so without the present size to put back
        // the rewrite simply runs with the cache as it is.
        return;
    }
    try {
        d_->exec(QStringLiteral("PRAGMA cache_size=-%1").arg(kSmallCacheKiB));
    } catch (const DbError&) {
        // Any error: the cache kept its size, so there is nothing to put back.
        before_ = 0;
    }
}

BulkRewrite::~BulkRewrite()
{
    if (before_ == 0 || !d_ || !d_->isOpen())
        return;
    try {
        d_->exec(QStringLiteral("PRAGMA cache_size=%1").arg(before_));
    } catch (const DbError&) {
        // Swallowed: a destructor must not throw, and a cache left small costs only speed.
    }
}

}  // namespace dbe
