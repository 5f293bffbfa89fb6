// Opening and creating archive files. An archive is validated before anything in it changes: a
// file that is not an archive, or a damaged one, is refused and left exactly as it was.
#include "impl_access.h"
#include "conn_state.h"
#include "dbengine/database.h"
#include "metadata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

#include <cerrno>
#include <sys/stat.h>
#ifdef __linux__
#include <sys/vfs.h>
#endif

namespace dbe {

namespace detail {

namespace {

quint32 be(const QByteArray& h, int at, int bytes)
{
    quint32 v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | quint8(h[at + i]);
    return v;
}

// The file systems on which the write-ahead log cannot work: its index is shared memory, which
// only programs of one machine can share, and their locks are not to be trusted.
bool networkFileSystem(const QString& folder)
{
#ifdef __linux__
    struct statfs fs {};
    if (statfs(QFile::encodeName(folder).constData(), &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x6969UL:  // NFS
    case 0x517BUL:  // SMB
    case 0xFF534D42UL:  // CIFS
    case 0xFE534D42UL:  // SMB2
    case 0x564CUL:  // NCP
    case 0x5346414FUL:  // AFS
    case 0x73757245UL:  // Coda
    case 0x00C36400UL:  // Ceph
    case 0x01021997UL:  // 9P
        return true;
    default: return false;
    }
#else
    Q_UNUSED(folder);
    return false;
#endif
}

// True when the file system of a folder has less than `bytes` free for this user, or no free file.
bool fileSystemFull(const QString& folder, qint64 bytes)
{
#ifdef __linux__
    struct statfs fs {};
    if (statfs(QFile::encodeName(folder).constData(), &fs) != 0)
        return false;
    return qint64(fs.f_bavail) * qint64(fs.f_bsize) < bytes || (fs.f_files > 0 && fs.f_ffree == 0);
#else
    Q_UNUSED(folder);
    Q_UNUSED(bytes);
    return false;
#endif
}

// Opening read-write makes the log's index (32 KB of shared memory backed by the -shm file) and
// the log itself: with less than this free, the disk is full before anything could be read.
constexpr qint64 kMinFree = 64 * 1024;

// Checks the path by its directory entry alone (no descriptor of the file is opened here: closing
// one would drop the locks that SQLite holds on the file for other connections of this process):
// present, a plain file, readable, and for a read-write opening writable and on a local disk.
void checkPath(const QString& path, const QString& shown, bool readOnly)
{
    if (path.isEmpty())
        throw DbError::make(err::NotValidPath, {shown});
    const QFileInfo fi(path);
    if (!fi.exists()) {
        if (!fi.absoluteDir().exists())
            throw DbError::make(err::NotValidPath, {shown});
        throw DbError::make(err::FileNotFound, {shown});
    }
    if (fi.isDir())
        throw DbError::make(err::NotValidPath, {shown});
    if (!fi.isFile())  // a pipe or a device: never an archive, and reading it could block
        throw DbError::make(err::UnrecognizedFormat, {shown});
    if (!fi.isReadable())
        throw DbError::make(err::FileInUse, {shown});
    if (readOnly)
        return;
    // Read-only on disk: refused, also for a user (root) whom the system would let write anyway.
    const auto write = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (!fi.isWritable() || !(fi.permissions() & write))
        throw DbError::make(err::FileInUse, {shown});
    if (networkFileSystem(fi.absolutePath()))
        throw DbError::make(err::NetworkFolder, {shown});
    if (fileSystemFull(fi.absolutePath(), kMinFree))
        throw DbError::make(err::DiskFull);
}

// Checks the header and size through SQLite's own descriptor of the file, before any statement
// runs (so before any log or journal exists): an SQLite 3 header whose page count fits the file.
void checkHeader(sqlite3* h, const QString& path, const QString& shown)
{
    sqlite3_file* f = nullptr;
    if (sqlite3_file_control(h, "main", SQLITE_FCNTL_FILE_POINTER, &f) != SQLITE_OK || !f || !f->pMethods)
        throw DbError::make(err::FileInUse, {shown});
    sqlite3_int64 size = 0;
    if (f->pMethods->xFileSize(f, &size) != SQLITE_OK)
        throw DbError::make(err::FileInUse, {shown});
    QByteArray h100(100, '\0');
    const int rc = size < 100 ? SQLITE_IOERR_SHORT_READ : f->pMethods->xRead(f, h100.data(), 100, 0);
    static const QByteArray magic("SQLite format 3\0", 16);
    if (rc == SQLITE_IOERR_SHORT_READ || (rc == SQLITE_OK && !h100.startsWith(magic)))
        throw DbError::make(err::UnrecognizedFormat, {shown});
    if (rc != SQLITE_OK)
        throw DbError::make(err::FileInUse, {shown});
    qint64 pageSize = be(h100, 16, 2);
    if (pageSize == 1)
        pageSize = 65536;
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0)
        throw DbError::make(err::CannotOpenFile, {shown});
    // A non-empty write-ahead log beside the file holds pages the file may still lack (a process
    // killed in the middle of a checkpoint): SQLite completes the file from it, so the size checks
    // only apply without one.
    const QFileInfo wal(path + QStringLiteral("-wal"));
    if (wal.exists() && wal.size() > 0)
        return;
    if (size < pageSize || size % pageSize != 0)
        throw DbError::make(err::CannotOpenFile, {shown});
    const quint32 pageCount = be(h100, 28, 4);
    const quint32 changeCounter = be(h100, 24, 4);
    const quint32 validFor = be(h100, 92, 4);
    if (pageCount > 0 && changeCounter == validFor && qint64(pageCount) * pageSize > size)
        throw DbError::make(err::CannotOpenFile, {shown});
}

std::string utf8(const QString& s) { return s.toUtf8().toStdString(); }

// Hands a set-up connection to a new DatabaseImpl.
std::shared_ptr<DatabaseImpl> finishOpen(sqlite3* h, const QString& full, bool readOnly, const struct stat& id)
{
    registerFunctions(h);
    auto d = std::make_shared<DatabaseImpl>();
    d->s = std::make_unique<DatabaseImpl::State>(d.get());
    d->s->db = h;
    d->s->path = full;
    d->s->readOnly = readOnly;
    d->s->device = quint64(id.st_dev);
    d->s->inode = quint64(id.st_ino);
    watchCommits(*d);
    // A connection opened inside a workspace transaction joins it.
    const int level = workspaceLevel();
    for (int i = 1; i <= level; ++i)
        d->exec(QStringLiteral("SAVEPOINT dbe_ws%1").arg(i));
    d->s->workspaceLevel = level;
    registerConnection(d);
    return d;
}

// The connection's settings, before anything is read: extended result codes, the busy timeout,
// and nothing an archive from elsewhere could use against the program.
void configure(sqlite3* h)
{
    sqlite3_extended_result_codes(h, 1);
    sqlite3_busy_timeout(h, kBusyTimeoutMs);
    sqlite3_db_config(h, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(h, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(h, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    // Archives come from elsewhere: triggers in them never fire on our statements (nothing we
    // delete or update can write anywhere else), and no other file can be attached.
    sqlite3_db_config(h, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_limit(h, SQLITE_LIMIT_ATTACHED, 0);
}

// 0 when the schema can be read; else the error the opening fails with.
int schemaUnreadable(sqlite3* h)
{
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(h, "SELECT count(*) FROM sqlite_master", -1, &st, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc == SQLITE_ROW)
        return 0;
    const int base = rc & 0xff;
    // No room for the index of the log the readers share (the "-shm" file) is a full disk.
    return base == SQLITE_FULL || rc == SQLITE_IOERR_SHMSIZE ? err::DiskFull
           : base == SQLITE_BUSY || base == SQLITE_LOCKED || base == SQLITE_PERM || base == SQLITE_CANTOPEN
                   || base == SQLITE_READONLY
               ? err::FileInUse
               : err::CannotOpenFile;
}

// 0 once the file is in write-ahead log mode; else the error the opening fails with.
int noWriteAheadLog(sqlite3* h)
{
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(h, "PRAGMA journal_mode=WAL", -1, &st, nullptr);
    QByteArray mode;
    if (rc == SQLITE_OK && (rc = sqlite3_step(st)) == SQLITE_ROW)
        mode = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    if (mode.toLower() == "wal")
        return 0;
    return (rc & 0xff) == SQLITE_FULL                                      ? err::DiskFull
           : (rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB ? err::CannotOpenFile
                                                                           : err::FileInUse;
}

}  // namespace

std::shared_ptr<DatabaseImpl> openConnection(const QString& path, bool readOnly)
{
    const QString full = path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
    checkPath(full, path, readOnly);

    // The log and its index as they were: a full disk that stops the opening half-way leaves none
    // of the ones this opening made.
    const QString wal = full + QStringLiteral("-wal");
    const QString shm = full + QStringLiteral("-shm");
    const bool walBefore = QFileInfo::exists(wal);
    const bool shmBefore = QFileInfo::exists(shm);

    sqlite3* h = nullptr;
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(utf8(full).c_str(), &h, flags, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(h);
        throw DbError::make(rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT ? err::CannotOpenFile : err::FileInUse, {path});
    }
    auto fail = [&](int number) {
        // SQLite reports a full disk met while making the log or its index as an I/O error or as
        // a file it cannot open: the file system, full now, tells why.
        const int os = sqlite3_system_errno(h);
        if (os == ENOSPC || os == EDQUOT || (!readOnly && fileSystemFull(QFileInfo(full).absolutePath(), kMinFree)))
            number = err::DiskFull;
        sqlite3_close_v2(h);
        if (number == err::DiskFull && !readOnly) {
            if (!walBefore && QFileInfo(wal).exists() && QFileInfo(wal).size() == 0)
                QFile::remove(wal);
            if (!shmBefore && QFileInfo::exists(shm))
                QFile::remove(shm);
        }
        throw number == err::DiskFull ? DbError::make(number) : DbError::make(number, {path});
    };
    // Which file this is (read from its directory entry, once SQLite has it open): a connection
    // opened later by the same path must find the same file, or another program replaced it. Told
    // before anything is read: reading would join the new file to the log beside it, which belongs
    // to the file this process still has open, and closing would copy that log into it.
    struct stat id {};
    if (::stat(QFile::encodeName(full).constData(), &id) != 0)
        fail(err::FileReplaced);
    int moved = 0;
    if (sqlite3_file_control(h, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && moved)
        fail(err::FileReplaced);
    for (const auto& other : openConnections())
        if (other->path() == full && (other->s->device != quint64(id.st_dev) || other->s->inode != quint64(id.st_ino)))
            fail(err::FileReplaced);
    try {
        checkHeader(h, full, path);
    } catch (const DbError&) {
        sqlite3_close_v2(h);
        throw;
    }
    configure(h);
    if (!readOnly && sqlite3_db_readonly(h, "main") == 1)
        fail(err::FileInUse);

    // The schema must be readable before anything is written.
    if (const int number = schemaUnreadable(h))
        fail(number);
    if (readOnly) {
        // A file opened only to be read (the master) keeps its journal mode and every byte.
        if (sqlite3_exec(h, "PRAGMA foreign_keys=OFF; PRAGMA query_only=1", nullptr, nullptr, nullptr) != SQLITE_OK)
            fail(err::FileInUse);
        return finishOpen(h, full, true, id);
    }
    // Only now: write-ahead log, so that a second connection can write while this one reads.
    if (const int number = noWriteAheadLog(h))
        fail(number);
    // Record walks commit once per record: a checkpoint (and its two disk syncs) every 10000 log
    // pages rather than every 1000 keeps them from waiting on the disk most of the time.
    // After a checkpoint the log file is cut back to 64 MB at most. A page cache of up to 64 MB
    // (SQLite's default holds 8 MB) keeps the checks' joins over a big archive from reading the same
    // index pages from the file again and again.
    if (sqlite3_exec(h,
                     "PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=OFF; PRAGMA wal_autocheckpoint=10000; "
                     "PRAGMA journal_size_limit=67108864; PRAGMA cache_size=-65536",
                     nullptr, nullptr, nullptr)
        != SQLITE_OK)
        fail(err::FileInUse);
    return finishOpen(h, full, false, id);
}

}  // namespace detail

Database OpenDatabase(const QString& path, bool readOnly) { return Database(detail::openConnection(path, readOnly)); }

void SyncToDisk(const Database& db) { detail::openImpl(detail::implOf(db)).syncToDisk(); }

bool SameFile(const Database& a, const Database& b)
{
    const auto x = detail::implOf(a);
    const auto y = detail::implOf(b);
    return x && y && x->s && y->s && x->s->inode != 0 && x->s->device == y->s->device && x->s->inode == y->s->inode;
}

void WaitWritable(const Database& db)
{
    const auto d = detail::implOf(db);
    if (!d || !d->isOpen())
        throw DbError::make(err::ObjectInvalid);
    if (d->inTransaction())
        return;
    d->checkSameFile();
    d->exec(QStringLiteral("BEGIN IMMEDIATE"));
    d->exec(QStringLiteral("ROLLBACK"));
}

void CheckSameFile(const Database& db)
{
    const auto d = detail::implOf(db);
    if (d && d->isOpen())
        d->checkSameFile();
}

DataVersion ReadDataVersion(const Database& db)
{
    DataVersion v;
    const auto d = detail::implOf(db);
    if (!d || !d->isOpen())
        return v;
    try {
        v.version = d->dataVersion();
        v.connection = d->db();
    } catch (const DbError&) {
        // Never raises: a version that cannot be read is the empty one, which differs from any read.
    }
    return v;
}

Database CreateDatabase(const QString& path)
{
    const QFileInfo fi(path);
    if (path.isEmpty() || !fi.absoluteDir().exists())
        throw DbError::make(err::NotValidPath, {path});
    if (fi.exists())
        throw DbError::make(err::DatabaseExists, {path});
    sqlite3* h = nullptr;
    const QByteArray name = fi.absoluteFilePath().toUtf8();
    int rc = sqlite3_open_v2(name.constData(), &h, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    QString sql = QStringLiteral("PRAGMA journal_mode=WAL;");
    for (const QString& s : detail::meta::createStatements())
        sql += s + QLatin1Char(';');
    char* msg = nullptr;
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(h, sql.toUtf8().constData(), nullptr, nullptr, &msg);
    const QString text = msg ? QString::fromUtf8(msg) : QString();
    sqlite3_free(msg);
    sqlite3_close_v2(h);
    if (rc != SQLITE_OK) {
        QFile::remove(fi.absoluteFilePath());
        throw DbError::make(err::ReservedError, {text});
    }
    return OpenDatabase(path);
}

}  // namespace dbe
