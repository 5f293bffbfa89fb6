#pragma once
// BulkRewrite: while it lives, a connection that is about to rewrite a whole table (a field copied
// into a new one, the old one dropped, its indexes built again) keeps a small page cache, as a
// fresh SQLite connection has, instead of the large one the engine gives every connection for the
// checks' joins. A statement that rewrites every page of a table gains nothing from a cache larger
// than a few pages per level of its trees: a large one only fills up with pages written once, each
// a fresh allocation. The cache the connection had comes back when the guard dies. Nothing else of
// the connection changes; a null or closed database is left alone.
#include "dbengine/database.h"

#include <memory>

namespace dbe {

class BulkRewrite {
public:
    explicit BulkRewrite(const Database& db);
    ~BulkRewrite();
    BulkRewrite(const BulkRewrite&) = delete;
    BulkRewrite& operator=(const BulkRewrite&) = delete;

private:
    std::shared_ptr<detail::DatabaseImpl> d_;
    qint64 before_ = 0;
};

}  // namespace dbe
