#include "dbengine/file_copy.h"

#include "impl_access.h"
#include "conn_state.h"
#include "dbengine/rowid_name.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <limits>
#include <mutex>
#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>
#include <sqlite3.h>

#ifdef __linux__
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace dbe {

using detail::DatabaseImpl;
using detail::quoteId;
using detail::Stmt;

namespace {

DatabaseImpl& conn(const Database& db) { return detail::openImpl(detail::implOf(db)); }

QString text(sqlite3_stmt* st, int i)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)), sqlite3_column_bytes(st, i));
}

// The file system under a copy being written: the default one, with the pages SQLite writes one by
// one gathered into large sequential writes (a copy is written from its first page to its last).
// Anything else that touches the file (a read, a sync, a size, a truncation, a lock, the close)
// writes what is gathered first, so SQLite sees the file as if every page had been written at once.
namespace copia {

constexpr int kBuffer = 4 * 1024 * 1024;

struct File {
    sqlite3_file base;
    sqlite3_file* real;
    char* buf;
    sqlite3_int64 start;
    int len;
};

sqlite3_vfs* realVfs = nullptr;

// Writes what is gathered, in pieces the default file system takes whole (it writes at most 128 KB
// a call).
int flush(File* f)
{
    constexpr int kPezzo = 64 * 1024;
    int rc = SQLITE_OK;
    for (int fatto = 0; fatto < f->len && rc == SQLITE_OK; fatto += kPezzo)
        rc = f->real->pMethods->xWrite(f->real, f->buf + fatto, qMin(kPezzo, f->len - fatto), f->start + fatto);
    f->len = 0;
    return rc;
}

File* me(sqlite3_file* p) { return reinterpret_cast<File*>(p); }

int xClose(sqlite3_file* p)
{
    File* f = me(p);
    const int rc = flush(f);
    const int rc2 = f->real->pMethods->xClose(f->real);
    sqlite3_free(f->buf);
    return rc != SQLITE_OK ? rc : rc2;
}
int xRead(sqlite3_file* p, void* out, int n, sqlite3_int64 off)
{
    File* f = me(p);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : f->real->pMethods->xRead(f->real, out, n, off);
}
int xWrite(sqlite3_file* p, const void* in, int n, sqlite3_int64 off)
{
    File* f = me(p);
    if (f->len > 0 && (off != f->start + f->len || f->len + n > kBuffer)) {
        const int rc = flush(f);
        if (rc != SQLITE_OK)
            return rc;
    }
    if (n > kBuffer)
        return f->real->pMethods->xWrite(f->real, in, n, off);
    if (f->len == 0)
        f->start = off;
    std::memcpy(f->buf + f->len, in, size_t(n));
    f->len += n;
    return SQLITE_OK;
}
int xTruncate(sqlite3_file* p, sqlite3_int64 size)
{
    File* f = me(p);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : f->real->pMethods->xTruncate(f->real, size);
}
int xSync(sqlite3_file* p, int flags)
{
    File* f = me(p);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : f->real->pMethods->xSync(f->real, flags);
}
int xFileSize(sqlite3_file* p, sqlite3_int64* size)
{
    File* f = me(p);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : f->real->pMethods->xFileSize(f->real, size);
}
int xLock(sqlite3_file* p, int l)
{
    File* f = me(p);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : f->real->pMethods->xLock(f->real, l);
}
int xUnlock(sqlite3_file* p, int l)
{
    File* f = me(p);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : f->real->pMethods->xUnlock(f->real, l);
}
int xCheckReservedLock(sqlite3_file* p, int* r) { return me(p)->real->pMethods->xCheckReservedLock(me(p)->real, r); }
int xFileControl(sqlite3_file* p, int op, void* arg)
{
    File* f = me(p);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : f->real->pMethods->xFileControl(f->real, op, arg);
}
int xSectorSize(sqlite3_file* p) { return me(p)->real->pMethods->xSectorSize(me(p)->real); }
int xDeviceCharacteristics(sqlite3_file* p) { return me(p)->real->pMethods->xDeviceCharacteristics(me(p)->real); }

int xShmMap(sqlite3_file* p, int pg, int sz, int ext, void volatile** pp)
{
    File* f = me(p);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : f->real->pMethods->xShmMap(f->real, pg, sz, ext, pp);
}
int xShmLock(sqlite3_file* p, int off, int n, int flags)
{
    return me(p)->real->pMethods->xShmLock(me(p)->real, off, n, flags);
}
void xShmBarrier(sqlite3_file* p) { me(p)->real->pMethods->xShmBarrier(me(p)->real); }
int xShmUnmap(sqlite3_file* p, int del) { return me(p)->real->pMethods->xShmUnmap(me(p)->real, del); }
// No mapping: every page is read through xRead, after what is gathered is written.
int xFetch(sqlite3_file*, sqlite3_int64, int, void** pp)
{
    *pp = nullptr;
    return SQLITE_OK;
}
int xUnfetch(sqlite3_file*, sqlite3_int64, void*) { return SQLITE_OK; }

const sqlite3_io_methods kMethods = {3,
                                     xClose,
                                     xRead,
                                     xWrite,
                                     xTruncate,
                                     xSync,
                                     xFileSize,
                                     xLock,
                                     xUnlock,
                                     xCheckReservedLock,
                                     xFileControl,
                                     xSectorSize,
                                     xDeviceCharacteristics,
                                     xShmMap,
                                     xShmLock,
                                     xShmBarrier,
                                     xShmUnmap,
                                     xFetch,
                                     xUnfetch};

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* p, int flags, int* outFlags)
{
    File* f = me(p);
    std::memset(f, 0, sizeof(File));
    f->real = reinterpret_cast<sqlite3_file*>(f + 1);
    const int rc = realVfs->xOpen(realVfs, name, f->real, flags, outFlags);
    if (rc != SQLITE_OK || !f->real->pMethods)
        return rc;
    f->buf = static_cast<char*>(sqlite3_malloc(kBuffer));
    if (!f->buf) {
        f->real->pMethods->xClose(f->real);
        return SQLITE_NOMEM;
    }
    p->pMethods = &kMethods;
    return SQLITE_OK;
}

const char* kNome = "corvale-copia";

void registra()
{
    static std::once_flag once;
    std::call_once(once, [] {
        realVfs = sqlite3_vfs_find(nullptr);
        static sqlite3_vfs v = *realVfs;
        v.iVersion = qMin(v.iVersion, 3);
        v.szOsFile = int(sizeof(File)) + realVfs->szOsFile;
        v.zName = kNome;
        v.pNext = nullptr;
        v.xOpen = xOpen;
        sqlite3_vfs_register(&v, 0);
    });
}

}  // namespace copia

// A plain SQLite connection of our own on another file (a copy, a fresh file): closed on scope exit.
class RawFile {
public:
    RawFile(const QString& path, int flags, const char* vfs = nullptr)
    {
        const int rc = sqlite3_open_v2(path.toUtf8().constData(), &h_, flags | SQLITE_OPEN_URI, vfs);
        if (rc != SQLITE_OK) {
            const QString msg = h_ ? QString::fromUtf8(sqlite3_errmsg(h_)) : QString::fromUtf8(sqlite3_errstr(rc));
            sqlite3_close_v2(h_);
            h_ = nullptr;
            throw DbError::make(err::ReservedError, {msg});
        }
        sqlite3_busy_timeout(h_, detail::kBusyTimeoutMs);
    }
    ~RawFile() { sqlite3_close_v2(h_); }
    sqlite3* get() const { return h_; }
    void exec(const QString& sql) const
    {
        char* msg = nullptr;
        const int rc = sqlite3_exec(h_, sql.toUtf8().constData(), nullptr, nullptr, &msg);
        const QString m = msg ? QString::fromUtf8(msg) : QString();
        sqlite3_free(msg);
        if (rc != SQLITE_OK)
            throw DbError::make(err::ReservedError, {m});
    }
    [[noreturn]] void fail() const { throw DbError::make(err::ReservedError, {QString::fromUtf8(sqlite3_errmsg(h_))}); }

private:
    sqlite3* h_ = nullptr;
};

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
bool iniziaLettura(sqlite3* db)
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
void vuotaLog(sqlite3* db)
{
    sqlite3_busy_timeout(db, 0);
    sqlite3_wal_checkpoint_v2(db, "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    sqlite3_busy_timeout(db, detail::kBusyTimeoutMs);
}

// Below this the page cache takes the copy and its sync sooner on the clock (175 MB: 0.42 s
// against 0.65; 1.8 GB: 5.4 to 7.8 s against 4.6 to 5.0, and a fifth of the processor time).
std::atomic<qint64> daDiretta{qint64(512) * 1024 * 1024};

#ifdef __linux__
// The descriptor SQLite holds on the file at path, found among the process's descriptors by device
// and inode (none is opened here, and it is never closed here); -1 when there is none.
int descrittoreDi(const QString& path)
{
    struct stat file {};
    if (::stat(QFile::encodeName(path).constData(), &file) != 0)
        return -1;
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int found = -1;
    while (const dirent* e = ::readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(e->d_name, &end, 10);
        struct stat st {};
        if (end == e->d_name || *end || fd == ::dirfd(dir) || ::fstat(int(fd), &st) != 0)
            continue;
        const int mode = ::fcntl(int(fd), F_GETFL);
        if (S_ISREG(st.st_mode) && st.st_dev == file.st_dev && st.st_ino == file.st_ino && mode != -1
            && (mode & O_ACCMODE) != O_WRONLY) {
            found = int(fd);
            break;
        }
    }
    ::closedir(dir);
    return found;
}

// Copies bytes [0, size) of in to out past the page cache (out set to O_DIRECT), several pieces in
// flight at once, when the file is big: the disk writes while the next pieces are read, no copy of the file is left
// dirty in memory for the final sync to write, and the processor copies each byte once (from the
// page cache into the write's buffer) rather than twice. Only whole 4 KB blocks go this way; what
// follows them is left to the caller. False, with out back to ordinary writes, when the file system
// does not take such writes (the caller then copies the whole again its usual way); the bytes
// done are in `fatto`.
bool copiaSenzaCache(int in, int out, qint64 size, qint64 pageSize, const Progress& progress, qint64& fatto)
{
    constexpr qint64 kBlocco = 4096;
    constexpr qint64 kPezzo = 8 * 1024 * 1024;
    constexpr int kInVolo = 4;
    const qint64 allineati = size / kBlocco * kBlocco;
    fatto = 0;
    const int flags = ::fcntl(out, F_GETFL);
    if (allineati == 0 || allineati < daDiretta.load() || flags == -1 || ::fcntl(out, F_SETFL, flags | O_DIRECT) != 0)
        return false;
    std::atomic<qint64> prossimo{0}, scritti{0};
    std::atomic<bool> guasto{false};
    const auto lavora = [&](bool riferisce) {
        void* mem = nullptr;
        if (::posix_memalign(&mem, size_t(kBlocco), size_t(kPezzo)) != 0) {
            guasto = true;
            return;
        }
        char* buf = static_cast<char*>(mem);
        while (!guasto) {
            const qint64 da = prossimo.fetch_add(kPezzo);
            if (da >= allineati)
                break;
            const qint64 quanti = qMin(kPezzo, allineati - da);
            for (qint64 letti = 0; letti < quanti && !guasto;) {
                const ssize_t n = ::pread(in, buf + letti, size_t(quanti - letti), da + letti);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    guasto = true;
                else
                    letti += n;
            }
            for (qint64 dati = 0; dati < quanti && !guasto;) {
                const ssize_t n = ::pwrite(out, buf + dati, size_t(quanti - dati), da + dati);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0 || n % kBlocco != 0)
                    guasto = true;
                else
                    dati += n;
            }
            const qint64 ora = scritti.fetch_add(quanti) + quanti;
            if (riferisce && progress && !guasto)
                progress(ora / pageSize, size / pageSize);
        }
        std::free(mem);
    };
    std::vector<std::thread> altri;
    for (int i = 1; i < kInVolo; ++i)
        altri.emplace_back(lavora, false);
    lavora(true);
    for (std::thread& t : altri)
        t.join();
    ::fcntl(out, F_SETFL, flags);
    if (guasto)
        return false;
    fatto = allineati;
    return true;
}

// Copies bytes [0, size) of in to out, in the kernel where it can.
bool copiaByte(int in, int out, qint64 size, qint64 pageSize, const Progress& progress)
{
    constexpr qint64 kPezzo = 16 * 1024 * 1024;
    bool kernel = true;
    QByteArray buf;
    qint64 inizio = 0;
    if (!copiaSenzaCache(in, out, size, pageSize, progress, inizio))
        inizio = 0;
    for (qint64 done = inizio; done < size;) {
        const qint64 want = qMin(kPezzo, size - done);
        ssize_t n = -1;
        if (kernel) {
            loff_t from = done, to = done;
            n = ::copy_file_range(in, &from, out, &to, size_t(want), 0);
            if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                kernel = false;
                buf.resize(int(kPezzo));
            }
        }
        if (!kernel) {
            n = ::pread(in, buf.data(), size_t(want), done);
            if (n > 0 && ::pwrite(out, buf.constData(), size_t(n), done) != n)
                n = -1;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        // The disk starts writing each piece now rather than all of them at the final sync: the
        // copy's writing overlaps its reading instead of following it.
        ::sync_file_range(out, done, n, SYNC_FILE_RANGE_WRITE);
        done += n;
        if (progress)
            progress(done / pageSize, size / pageSize);
    }
    return true;
}

// The copy without SQLite's page-by-page backup, when the archive's file alone holds the state a
// read transaction sees: the log is checkpointed and emptied first (when no other program is
// using it), a read transaction is taken, and the file's bytes are copied if the log is still
// empty. A reader that began on an empty log reads the file alone, and while it reads SQLite lets
// no checkpoint write the file, so the bytes copied are that state. The bytes come through SQLite's
// own descriptor. False (nothing written to part) when this cannot be done; the caller then copies
// through the backup.
bool copiaDiretta(DatabaseImpl& d, const QString& part, const Progress& progress)
{
    sqlite3* db = d.db();
    const char* name = sqlite3_db_filename(db, "main");
    if (!name || !*name || d.inTransaction() || !sqlite3_get_autocommit(db))
        return false;
    const QString path = QString::fromUtf8(name);
    const QByteArray wal = QFile::encodeName(path + QStringLiteral("-wal"));
    vuotaLog(db);
    if (!iniziaLettura(db))
        return false;
    bool ok = false;
    int out = -1;
    struct stat log {};
    const int in = descrittoreDi(path);
    if (in >= 0 && (::stat(wal.constData(), &log) != 0 ? errno == ENOENT : log.st_size == 0)) {
        const qint64 pageSize = pragmaInt(d, QStringLiteral("page_size"));
        const qint64 size = pragmaInt(d, QStringLiteral("page_count")) * pageSize;
        out = ::open(QFile::encodeName(part).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        ok = out >= 0 && pageSize > 0 && size > 0 && copiaByte(in, out, size, pageSize, progress);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    if (out >= 0) {
        // The copy is a file of its own in rollback-journal mode (bytes 18 and 19 say which), on the disk.
        const char legacy[2] = {1, 1};
        ok = ok && ::pwrite(out, legacy, 2, 18) == 2 && ::fsync(out) == 0;
        ok = ::close(out) == 0 && ok;
        if (!ok)
            QFile::remove(part);
    }
    return ok;
}
#else
bool copiaDiretta(DatabaseImpl&, const QString&, const Progress&) { return false; }
#endif

}  // namespace

qint64 DatabaseBytes(const Database& db)
{
    DatabaseImpl& d = conn(db);
    return pragmaInt(d, QStringLiteral("page_count")) * pragmaInt(d, QStringLiteral("page_size"));
}

qint64 SetUncachedCopyFrom(qint64 bytes) { return daDiretta.exchange(bytes); }

void EmptyLog(const Database& db)
{
    DatabaseImpl& d = conn(db);
    if (!d.inTransaction() && sqlite3_get_autocommit(d.db()))
        vuotaLog(d.db());
}

bool BackupTo(const Database& db, const QString& dest, const Progress& progress)
{
    DatabaseImpl& d = conn(db);
    if (QFileInfo::exists(dest))
        throw DbError::make(err::TableExists, {dest});
    // Written under a provisional name of this process and renamed when complete and synced: a
    // copy interrupted half-way never looks like a copy, and two programs copying at once never
    // write the same file.
    static QAtomicInteger<int> serie;
    const QString part = QStringLiteral("%1.%2-%3.parziale")
                             .arg(dest)
                             .arg(QCoreApplication::applicationPid())
                             .arg(serie.fetchAndAddRelaxed(1));
    QFile::remove(part);
    int rc = SQLITE_OK;
    QString msg;
    const bool diretta = copiaDiretta(d, part, progress);
    if (!diretta) {
        copia::registra();
        RawFile out(part, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, copia::kNome);
        out.exec(QStringLiteral("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF"));
        // One read transaction for the whole copy: between steps without one, any write of another
        // program would start the copy over, and a steady writer would keep it from ending.
        const bool lettura = iniziaLettura(d.db());
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
        if (lettura)
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
    return diretta;
}

void RestoreFrom(const Database& db, const QString& source, const Progress& progress)
{
    DatabaseImpl& d = conn(db);
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

QStringList IntegrityProblems(const Database& db, const Progress& progress)
{
    DatabaseImpl& d = conn(db);
    struct Table {
        QString name;
        qint64 weight;
    };
    QVector<Table> tables;
    qint64 total = 0;
    QStringList problems;
    try {
        Stmt list = d.prepare(QStringLiteral(
            "SELECT name, (SELECT count(*) FROM sqlite_master i WHERE i.type = 'index' AND i.tbl_name = m.name) "
            "FROM sqlite_master m WHERE type = 'table' ORDER BY name"));
        while (list.step(d))
            tables.append({text(list, 0), 1 + sqlite3_column_int64(list, 1)});
        // Each table weighs its records (its largest rowid, read from the end of its tree) times
        // its trees.
        for (Table& t : tables) {
            try {
                Stmt mx = d.prepare(QStringLiteral("SELECT max(rowid) FROM ") + quoteId(t.name));
                t.weight *= 1 + (mx.step(d) ? qMax<qint64>(0, sqlite3_column_int64(mx, 0)) : 0);
            } catch (const DbError&) {
            }
            total += t.weight;
        }
    } catch (const DbError& e) {
        return {e.description()};
    }
    qint64 done = 0;
    if (progress)
        progress(0, total);
    for (const Table& t : tables) {
        try {
            Stmt st = d.prepare(QStringLiteral("PRAGMA integrity_check(%1)").arg(quoteId(t.name)));
            while (st.step(d)) {
                const QString line = text(st, 0);
                if (line != QLatin1String("ok"))
                    problems << line;
            }
        } catch (const DbError& e) {
            problems << QStringLiteral("%1: %2").arg(t.name, e.description());
        }
        done += t.weight;
        if (progress)
            progress(done, total);
    }
    return problems;
}

void RebuildIndexes(const Database& db)
{
    DatabaseImpl& d = conn(db);
    DatabaseImpl::WriteScope scope(d);
    d.exec(QStringLiteral("REINDEX"));
    scope.commit();
}

void SalvageInto(const Database& db, const QString& fresh, QStringList& notes)
{
    DatabaseImpl& d = conn(db);
    if (QFileInfo::exists(fresh))
        throw DbError::make(err::TableExists, {fresh});
    struct Object {
        QString type, name, sql;
    };
    QVector<Object> objects;
    {
        Stmt st =
            d.prepare(QStringLiteral("SELECT type, name, sql FROM sqlite_master WHERE sql IS NOT NULL AND name NOT "
                                     "LIKE 'sqlite\\_%' ESCAPE '\\' "
                                     "ORDER BY CASE type WHEN 'table' THEN 0 WHEN 'index' THEN 1 ELSE 2 END, rowid"));
        while (st.step(d))
            objects.append({text(st, 0), text(st, 1), text(st, 2)});
    }
    RawFile out(fresh, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    out.exec(QStringLiteral("PRAGMA page_size=%1; PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF")
                 .arg(pragmaInt(d, QStringLiteral("page_size"))));
    out.exec(QStringLiteral("PRAGMA user_version=%1").arg(pragmaInt(d, QStringLiteral("user_version"))));
    out.exec(QStringLiteral("BEGIN"));
    for (const Object& o : objects) {
        if (o.type != QLatin1String("table"))
            continue;
        out.exec(o.sql);
        // Records in rowid order from the front until an unreadable page stops the walk, then from
        // the back down to the same place: what lies between is lost.
        sqlite3_stmt* ins = nullptr;
        QStringList colNames, fieldNames;
        {
            Stmt info = d.prepare(QStringLiteral("SELECT name FROM pragma_table_info(?) ORDER BY cid"));
            const QByteArray n = o.name.toUtf8();
            sqlite3_bind_text(info, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
            while (info.step(d)) {
                fieldNames << text(info, 0);
                colNames << quoteId(fieldNames.last());
            }
        }
        // The rowid under a name no field of the table shadows.
        const QString rowid = UnshadowedRowid(fieldNames);
        if (rowid.isEmpty())
            throw DbError::make(err::RowNumberShadowed, {o.name});
        QStringList params;
        for (int i = 0; i <= colNames.size(); ++i)
            params << QStringLiteral("?");
        if (sqlite3_prepare_v2(out.get(),
                               QStringLiteral("INSERT OR IGNORE INTO %1 (%4,%2) VALUES (%3)")
                                   .arg(quoteId(o.name), colNames.join(QLatin1Char(',')), params.join(QLatin1Char(',')),
                                        rowid)
                                   .toUtf8()
                                   .constData(),
                               -1, &ins, nullptr)
            != SQLITE_OK)
            out.fail();
        qint64 copied = 0, lastFront = std::numeric_limits<qint64>::min();
        bool broken = false;
        const auto pass = [&](const QString& sql, bool front) {
            sqlite3_stmt* rd = nullptr;
            if (sqlite3_prepare_v2(d.db(), sql.toUtf8().constData(), -1, &rd, nullptr) != SQLITE_OK) {
                broken = true;
                return;
            }
            if (!front)
                sqlite3_bind_int64(rd, 1, lastFront);
            int rc;
            while ((rc = sqlite3_step(rd)) == SQLITE_ROW) {
                const qint64 rowid = sqlite3_column_int64(rd, 0);
                for (int i = 0; i < sqlite3_column_count(rd); ++i)
                    sqlite3_bind_value(ins, i + 1, sqlite3_column_value(rd, i));
                if (sqlite3_step(ins) == SQLITE_DONE)
                    ++copied;
                sqlite3_reset(ins);
                if (front)
                    lastFront = rowid;
            }
            if (rc != SQLITE_DONE)
                broken = true;
            sqlite3_finalize(rd);
        };
        const QString all =
            QStringLiteral("SELECT %3, %1 FROM %2").arg(colNames.join(QLatin1Char(',')), quoteId(o.name), rowid);
        pass(all + QStringLiteral(" ORDER BY ") + rowid, true);
        if (broken) {
            pass(all + QStringLiteral(" WHERE %1 > ?1 ORDER BY %1 DESC").arg(rowid), false);
            notes << QStringLiteral("%1: recuperati %2 record; quelli in parti illeggibili del file sono persi.")
                         .arg(o.name)
                         .arg(copied);
        }
        sqlite3_finalize(ins);
    }
    for (const Object& o : objects) {
        if (o.type == QLatin1String("table"))
            continue;
        try {
            out.exec(o.sql);
        } catch (const DbError& e) {
            notes << QStringLiteral("%1 non ricreato: %2").arg(o.name, e.description());
        }
    }
    out.exec(QStringLiteral("COMMIT"));
    out.exec(QStringLiteral("PRAGMA synchronous=FULL; PRAGMA journal_mode=DELETE"));
}

}  // namespace dbe
