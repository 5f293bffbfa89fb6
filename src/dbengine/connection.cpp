// The connection: statement cache, running SQL, mapping SQLite's failures onto the engine's error
// numbers, and the write scope that makes each change its own transaction.
#include "impl_access.h"
#include "conn_state.h"
#include "dbengine/database.h"

#include <QRegularExpression>
#include <QFile>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <sqlite3.h>

namespace dbe::detail {

// ---- Stmt -----------------------------------------------------------------------------------

void Stmt::release()
{
    if (!s_)
        return;
    if (owned_) {
        sqlite3_finalize(s_);
    } else if (slot_) {
        if (slot_->s) {  // the connection is still open
            sqlite3_reset(s_);
            sqlite3_clear_bindings(s_);
        }
        slot_->inUse = false;
    }
    s_ = nullptr;
    slot_.reset();
}

Stmt& Stmt::operator=(Stmt&& o) noexcept
{
    if (this != &o) {
        release();
        s_ = o.s_;
        owned_ = o.owned_;
        slot_ = std::move(o.slot_);
        o.s_ = nullptr;
    }
    return *this;
}

Stmt::~Stmt() { release(); }

bool Stmt::step(const DatabaseImpl& db)
{
    if (!get() || !db.isOpen())
        throw DbError::make(err::ObjectInvalid);
    const int rc = sqlite3_step(s_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(s_);
    db.raise(rc);
}

// ---- DatabaseImpl -------------------------------------------------------------------------------

QString quoteId(const QString& name)
{
    QString n = name;
    n.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

DatabaseImpl::~DatabaseImpl() { close(); }

sqlite3* DatabaseImpl::db() const
{
    if (!s || !s->db)
        throw DbError::make(err::ObjectInvalid);
    return s->db;
}

const QString& DatabaseImpl::path() const
{
    static const QString none;
    return s ? s->path : none;
}

bool DatabaseImpl::isOpen() const { return s && s->db; }

void watchCommits(DatabaseImpl& d)
{
    sqlite3_commit_hook(
        d.s->db,
        [](void* state) {
            static_cast<DatabaseImpl::State*>(state)->unsynced = true;
            return 0;
        },
        d.s.get());
}

void DatabaseImpl::syncToDisk()
{
    if (!s || !s->db || !s->unsynced)
        return;
    // The descriptors are SQLite's own: syncing never opens (and so never closes) another one.
    for (const int op : {SQLITE_FCNTL_JOURNAL_POINTER, SQLITE_FCNTL_FILE_POINTER}) {
        sqlite3_file* f = nullptr;
        if (sqlite3_file_control(s->db, "main", op, &f) == SQLITE_OK && f && f->pMethods) {
            const int rc = f->pMethods->xSync(f, SQLITE_SYNC_NORMAL);
            if ((rc & 0xff) == SQLITE_FULL)
                throw DbError::make(err::DiskFull);
            if (rc != SQLITE_OK)
                throw DbError::make(err::ReservedError, {QString::fromUtf8(sqlite3_errstr(rc))});
        }
    }
    s->unsynced = false;
}

void DatabaseImpl::checkSameFile() const
{
    if (!s || !s->db || s->readOnly)
        return;
    // SQLite compares the inode it has open with the one the path names now (a stat, no descriptor).
    if (!hasMoved())
        return;
    emptyLog();
    throw DbError::make(err::FileReplaced, {s->path});
}

bool DatabaseImpl::hasMoved() const
{
    int moved = 0;
    return s && s->db && !s->readOnly
           && sqlite3_file_control(s->db, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && moved;
}

void DatabaseImpl::emptyLog() const
{
    // The log (and its index) beside the path stays there when the file is moved: whatever now
    // lies at the path would be read with its pages. Copied into the file this connection has open
    // and cut to nothing, it holds none; SQLite itself does not copy it when closing a moved file.
    if (sqlite3_get_autocommit(s->db))
        sqlite3_wal_checkpoint_v2(s->db, "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
}

void DatabaseImpl::removeLogOfMovedFile() const
{
    // SQLite does not delete the log and its index of a file moved while open (they stay beside
    // the old path, emptied by emptyLog). When nothing lies at the old path any more they belong
    // to no file: they go, so that nothing is left where the archive was. When another file took
    // the path they may be that file's, and stay.
    const QByteArray base = QFile::encodeName(s->path);
    struct stat st;
    if (::stat(base.constData(), &st) == 0 || errno != ENOENT)
        return;
    struct stat wal;
    const QByteArray walName = base + "-wal";
    if (::stat(walName.constData(), &wal) == 0 && (!S_ISREG(wal.st_mode) || wal.st_size != 0))
        return;
    ::unlink(walName.constData());
    ::unlink((base + "-shm").constData());
}

void DatabaseImpl::close()
{
    if (!s || !s->db)
        return;
    try {
        syncToDisk();
    } catch (const DbError&) {
        // Closing goes on: what was committed stays in the log, which SQLite keeps consistent.
    }
    for (auto& slot : s->cache) {
        if (slot->s)
            sqlite3_finalize(slot->s);
        slot->s = nullptr;
    }
    s->cache.clear();
    sqlite3_finalize(s->dataVersionStmt);
    s->dataVersionStmt = nullptr;
    const bool moved = hasMoved();
    if (moved)
        emptyLog();
    // An open workspace transaction of this connection is rolled back by the close.
    sqlite3_close_v2(s->db);
    s->db = nullptr;
    if (moved)
        removeLogOfMovedFile();
}

Stmt DatabaseImpl::prepare(const QString& sql)
{
    sqlite3* h = db();
    auto it = s->cache.find(sql);
    if (it != s->cache.end() && !(*it)->inUse && (*it)->s) {
        (*it)->inUse = true;
        return Stmt((*it)->s, false, *it);
    }
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* st = nullptr;
    const bool cacheIt = it == s->cache.end();
    const int rc = sqlite3_prepare_v3(h, text.constData(), int(text.size()), cacheIt ? SQLITE_PREPARE_PERSISTENT : 0,
                                      &st, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(st);
        raise(rc);
    }
    if (!st)  // nothing but a comment
        throw DbError::make(err::ReservedError, {QStringLiteral("istruzione vuota")});
    if (!cacheIt)  // the cached one is lent out: a private copy
        return Stmt(st, true);
    if (s->cache.size() >= 256) {  // many one-off statements: drop the idle ones
        for (auto c = s->cache.begin(); c != s->cache.end();) {
            if (!(*c)->inUse) {
                sqlite3_finalize((*c)->s);
                (*c)->s = nullptr;
                c = s->cache.erase(c);
            } else {
                ++c;
            }
        }
    }
    auto slot = std::make_shared<StmtSlot>();
    slot->s = st;
    slot->inUse = true;
    s->cache.insert(sql, slot);
    return Stmt(st, false, slot);
}

void DatabaseImpl::exec(const QString& sql)
{
    sqlite3* h = db();
    char* msg = nullptr;
    const int rc = sqlite3_exec(h, sql.toUtf8().constData(), nullptr, nullptr, &msg);
    sqlite3_free(msg);
    if (rc != SQLITE_OK)
        raise(rc);
}

qint64 DatabaseImpl::changes() const { return sqlite3_changes64(db()); }

bool DatabaseImpl::inTransaction() const { return isOpen() && !sqlite3_get_autocommit(s->db); }

void DatabaseImpl::raise(int rc, const QString& context) const
{
    sqlite3* h = s ? s->db : nullptr;
    const int ext = h ? sqlite3_extended_errcode(h) : rc;
    const QString msg = h ? QString::fromUtf8(sqlite3_errmsg(h)) : QString::fromUtf8(sqlite3_errstr(rc));

    // A rule of dbe_fit (or any engine function) failed: "DBE<number>:<description>".
    static const QRegularExpression fit(QStringLiteral("^DBE(\\d+):(.*)$"),
                                        QRegularExpression::DotMatchesEverythingOption);
    const auto m = fit.match(msg);
    if (m.hasMatch())
        throw DbError(m.captured(1).toInt(), m.captured(2));

    // No room for the file: the disk, the user's quota or the largest file allowed (EFBIG).
    const int os = !h ? 0 : sqlite3_system_errno(h) != 0 ? sqlite3_system_errno(h) : errno;
    if ((rc & 0xff) == SQLITE_IOERR && (os == ENOSPC || os == EDQUOT || os == EFBIG))
        throw DbError::make(err::DiskFull);
    // Whatever failed on a file that was moved meanwhile failed because it was moved.
    if (hasMoved()) {
        emptyLog();
        throw DbError::make(err::FileReplaced, {path()});
    }
    switch (rc & 0xff) {
    case SQLITE_BUSY: throw DbError::make(err::CouldNotUpdateLocked);
    case SQLITE_LOCKED:
        if (context.isEmpty())
            throw DbError::make(err::CouldNotUpdateLocked);
        throw DbError::make(err::TableLocked, {context});
    case SQLITE_CONSTRAINT:
        // The connection's commit hook (SetCommitHook) said no: the transaction was rolled back.
        if (ext == SQLITE_CONSTRAINT_COMMITHOOK)
            throw DbError(err::ReservedError,
                          QStringLiteral("Scrittura rifiutata: questa connessione accetta modifiche solo dentro una "
                                         "modifica autorizzata da chi l'ha aperta. Nessun dato è stato cambiato."));
        if (ext == SQLITE_CONSTRAINT_UNIQUE || ext == SQLITE_CONSTRAINT_PRIMARYKEY)
            throw DbError::make(err::DuplicateKey);
        if (ext == SQLITE_CONSTRAINT_NOTNULL) {
            QString field = msg.section(QLatin1Char(':'), 1).trimmed();
            field = field.section(QLatin1Char('.'), -1);
            throw DbError::make(err::NullInRequiredField, {field});
        }
        break;
    case SQLITE_READONLY: throw DbError::make(err::ReadOnlyDatabase);
    case SQLITE_FULL: throw DbError::make(err::DiskFull);
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT: throw DbError::make(err::CannotOpenFile, {path()});
    default: break;
    }
    throw DbError::make(err::ReservedError, {context.isEmpty() ? msg : context + QStringLiteral(": ") + msg});
}

// ---- WriteScope ---------------------------------------------------------------------------------

DatabaseImpl::WriteScope::WriteScope(DatabaseImpl& d, Writes writes) : d_(d)
{
    sqlite3* h = d.db();
    nested_ = d.s->writeDepth > 0 || !sqlite3_get_autocommit(h);
    if (nested_ && writes == Several) {
        // Named after its depth: scopes one after another at one depth reuse the name (and the
        // prepared statements), and ROLLBACK TO finds the innermost one of that name, this one.
        name_ = QStringLiteral("dbe_w%1").arg(d.s->writeDepth + 1);
        Stmt sp = d.prepare(QStringLiteral("SAVEPOINT ") + name_);
        sp.step(d);
    } else if (!nested_) {
        d.checkSameFile();
        // IMMEDIATE: the write lock is taken (or waited for) before anything is read.
        Stmt begin = d.prepare(QStringLiteral("BEGIN IMMEDIATE"));
        begin.step(d);
    }
    ++d.s->writeDepth;
}

void DatabaseImpl::WriteScope::commit()
{
    if (done_)
        return;
    if (!nested_) {
        Stmt c = d_.prepare(QStringLiteral("COMMIT"));  // a failed commit: the destructor rolls back
        c.step(d_);
    } else if (!name_.isEmpty()) {
        Stmt r = d_.prepare(QStringLiteral("RELEASE ") + name_);
        r.step(d_);
    }
    done_ = true;
    Q_ASSERT(d_.s->writeDepth > 0);  // scopes end in the reverse order they began
    --d_.s->writeDepth;
    // The outermost scope leaves no transaction open behind it (a workspace transaction aside).
    Q_ASSERT(nested_ || sqlite3_get_autocommit(d_.s->db));
}

DatabaseImpl::WriteScope::~WriteScope()
{
    if (done_ || !d_.isOpen())
        return;
    Q_ASSERT(d_.s->writeDepth > 0);
    --d_.s->writeDepth;
    sqlite3* h = d_.s->db;
    if (!nested_) {
        if (!sqlite3_get_autocommit(h))
            sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr);
    } else if (!name_.isEmpty()) {
        const QByteArray n = name_.toUtf8();
        sqlite3_exec(h, ("ROLLBACK TO " + n + "; RELEASE " + n).constData(), nullptr, nullptr, nullptr);
    }
    d_.invalidateSchema();
}

}  // namespace dbe::detail

namespace dbe {

bool WritesFile(const Database& db)
{
    const auto d = detail::implOf(db);
    return d && d->isOpen() && sqlite3_txn_state(d->db(), "main") == SQLITE_TXN_WRITE;
}

}  // namespace dbe
