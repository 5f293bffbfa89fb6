// The default workspace: transactions that span every database open in the process, nested by
// savepoints. A database opened inside a transaction joins it at the current level.
#include "conn_state.h"
#include "dbengine/database.h"

#include <optional>
#include <vector>

namespace dbe {

namespace detail {

namespace {

struct Registry {
    std::vector<std::weak_ptr<DatabaseImpl>> open;
    int level = 0;

    std::vector<std::shared_ptr<DatabaseImpl>> live()
    {
        std::vector<std::shared_ptr<DatabaseImpl>> out;
        std::vector<std::weak_ptr<DatabaseImpl>> keep;
        for (auto& w : open) {
            if (auto d = w.lock(); d && d->isOpen()) {
                out.push_back(d);
                keep.push_back(w);
            }
        }
        open.swap(keep);
        return out;
    }
};

Registry& registry()
{
    static Registry r;
    return r;
}

}  // namespace

int workspaceLevel() { return registry().level; }

std::vector<std::shared_ptr<DatabaseImpl>> openConnections() { return registry().live(); }

void registerConnection(const std::shared_ptr<DatabaseImpl>& d)
{
    registry().live();  // drop the closed ones
    registry().open.push_back(d);
}

}  // namespace detail

Workspace& Workspace::Default()
{
    static Workspace w;
    return w;
}

int Workspace::TransactionLevel() const { return detail::registry().level; }

void Workspace::BeginTrans()
{
    auto& r = detail::registry();
    const int level = r.level + 1;
    auto dbs = r.live();
    // A file replaced under a connection is refused before the transaction begins anywhere.
    if (level == 1)
        for (auto& d : dbs)
            d->checkSameFile();
    std::vector<std::shared_ptr<detail::DatabaseImpl>> done;
    try {
        for (auto& d : dbs) {
            d->exec(QStringLiteral("SAVEPOINT dbe_ws%1").arg(level));
            d->s->workspaceLevel = level;
            done.push_back(d);
        }
    } catch (...) {
        for (auto& d : done) {
            d->exec(QStringLiteral("RELEASE dbe_ws%1").arg(level));
            d->s->workspaceLevel = level - 1;
        }
        throw;
    }
    r.level = level;
}

void Workspace::CommitTrans()
{
    auto& r = detail::registry();
    if (r.level == 0)
        throw DbError::make(err::TransactionNotBegun);
    const int level = r.level;
    r.level = level - 1;
    std::optional<DbError> first;
    for (auto& d : r.live()) {
        if (d->s->workspaceLevel < level)
            continue;
        const QString sp = QStringLiteral("dbe_ws%1").arg(level);
        try {
            d->exec(QStringLiteral("RELEASE ") + sp);
        } catch (const DbError& e) {
            // Not committed (a busy file): that database's changes are undone, never half kept.
            try {
                d->exec(QStringLiteral("ROLLBACK TO ") + sp + QStringLiteral("; RELEASE ") + sp);
            } catch (const DbError&) {
                // The first error is the one raised below; SQLite undoes an open transaction that
                // cannot be rolled back when its connection closes.
            }
            d->invalidateSchema();
            if (!first)
                first = e;
        }
        d->s->workspaceLevel = level - 1;
    }
    // No connection is left deeper than the workspace's transactions now are.
    for (auto& d : r.live())
        Q_ASSERT(d->s->workspaceLevel <= r.level);
    if (first)
        throw *first;
}

void Workspace::Rollback()
{
    auto& r = detail::registry();
    if (r.level == 0)
        throw DbError::make(err::TransactionNotBegun);
    const int level = r.level;
    r.level = level - 1;
    std::optional<DbError> first;
    for (auto& d : r.live()) {
        if (d->s->workspaceLevel < level)
            continue;
        const QString sp = QStringLiteral("dbe_ws%1").arg(level);
        try {
            d->exec(QStringLiteral("ROLLBACK TO ") + sp + QStringLiteral("; RELEASE ") + sp);
        } catch (const DbError& e) {
            // Every connection is rolled back; the first failure is raised after.
            if (!first)
                first = e;
        }
        d->s->workspaceLevel = level - 1;
        d->invalidateSchema();
    }
    if (first)
        throw *first;
}

}  // namespace dbe
