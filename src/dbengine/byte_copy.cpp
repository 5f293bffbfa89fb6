#include "byte_copy.h"

#include "conn_state.h"
#include "whole_file.h"

#include <QFile>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sqlite3.h>
#include <thread>
#include <vector>

#ifdef __linux__
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace dbe::detail {

namespace {

// Below this the page cache takes the copy and its sync sooner on the clock (175 MB: 0.42 s
// against 0.65; 1.8 GB: 5.4 to 7.8 s against 4.6 to 5.0, and a fifth of the processor time).
std::atomic<qint64> uncachedFrom{qint64(512) * 1024 * 1024};

#ifdef __linux__
// The descriptor SQLite holds on the file at path, found among the process's descriptors by device
// and inode (none is opened here, and it is never closed here); -1 when there is none.
int descriptorOf(const QString& path)
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
// done are in `done`.
bool copyUncached(int in, int out, qint64 size, qint64 pageSize, const Progress& progress, qint64& done)
{
    constexpr qint64 kBlock = 4096;
    constexpr qint64 kPiece = 8 * 1024 * 1024;
    constexpr int kInFlight = 4;
    const qint64 aligned = size / kBlock * kBlock;
    done = 0;
    const int flags = ::fcntl(out, F_GETFL);
    if (aligned == 0 || aligned < uncachedFrom.load() || flags == -1 || ::fcntl(out, F_SETFL, flags | O_DIRECT) != 0)
        return false;
    std::atomic<qint64> next{0}, written{0};
    std::atomic<bool> failed{false};
    // The file read through a map of its pages: each write then goes to the disk straight from the
    // page cache, with no copy into a buffer (the processor is left to the check beside the copy).
    // Without a map, each piece is read into a buffer of its own.
    void* map = ::mmap(nullptr, size_t(aligned), PROT_READ, MAP_SHARED, in, 0);
    const char* mapped = map == MAP_FAILED ? nullptr : static_cast<const char*>(map);
    const auto work = [&](bool reports) {
        void* mem = nullptr;
        if (!mapped && ::posix_memalign(&mem, size_t(kBlock), size_t(kPiece)) != 0) {
            failed = true;
            return;
        }
        char* own = static_cast<char*>(mem);
        while (!failed) {
            const qint64 from = next.fetch_add(kPiece);
            if (from >= aligned)
                break;
            const qint64 count = qMin(kPiece, aligned - from);
            const char* buf = mapped ? mapped + from : own;
            for (qint64 got = mapped ? count : 0; got < count && !failed;) {
                const ssize_t n = ::pread(in, own + got, size_t(count - got), from + got);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    failed = true;
                else
                    got += n;
            }
            for (qint64 put = 0; put < count && !failed;) {
                const ssize_t n = ::pwrite(out, buf + put, size_t(count - put), from + put);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0 || n % kBlock != 0)
                    failed = true;
                else
                    put += n;
            }
            const qint64 now = written.fetch_add(count) + count;
            if (reports && progress && !failed)
                progress(now / pageSize, size / pageSize);
        }
        std::free(mem);
    };
    std::vector<std::thread> others;
    for (int i = 1; i < kInFlight; ++i)
        others.emplace_back(work, false);
    work(true);
    for (std::thread& t : others)
        t.join();
    if (mapped)
        ::munmap(map, size_t(aligned));
    ::fcntl(out, F_SETFL, flags);
    if (failed)
        return false;
    done = aligned;
    return true;
}

// Copies bytes [0, size) of in to out, in the kernel where it can.
bool copyBytes(int in, int out, qint64 size, qint64 pageSize, const Progress& progress)
{
    constexpr qint64 kPiece = 16 * 1024 * 1024;
    bool kernel = true;
    QByteArray buf;
    qint64 start = 0;
    if (!copyUncached(in, out, size, pageSize, progress, start))
        start = 0;
    for (qint64 done = start; done < size;) {
        const qint64 want = qMin(kPiece, size - done);
        ssize_t n = -1;
        if (kernel) {
            loff_t from = done, to = done;
            n = ::copy_file_range(in, &from, out, &to, size_t(want), 0);
            if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                kernel = false;
                buf.resize(int(kPiece));
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

#endif

}  // namespace

qint64 setUncachedCopyFrom(qint64 bytes) { return uncachedFrom.exchange(bytes); }

#ifdef __linux__
// The copy without SQLite's page-by-page backup, when the archive's file alone holds the state a
// read transaction sees: the log is checkpointed and emptied first (when no other program is
// using it), a read transaction is taken, and the file's bytes are copied if the log is still
// empty. A reader that began on an empty log reads the file alone, and while it reads SQLite lets
// no checkpoint write the file, so the bytes copied are that state. The bytes come through SQLite's
// own descriptor. False (nothing written to part) when this cannot be done; the caller then copies
// through the backup.
bool copyFromFileBytes(DatabaseImpl& d, const QString& part, const Progress& progress)
{
    sqlite3* db = d.db();
    const char* name = sqlite3_db_filename(db, "main");
    if (!name || !*name || d.inTransaction() || !sqlite3_get_autocommit(db))
        return false;
    const QString path = QString::fromUtf8(name);
    const QByteArray wal = QFile::encodeName(path + QStringLiteral("-wal"));
    checkpointIfIdle(db);
    if (!beginRead(db))
        return false;
    bool ok = false;
    int out = -1;
    struct stat log {};
    const int in = descriptorOf(path);
    if (in >= 0 && (::stat(wal.constData(), &log) != 0 ? errno == ENOENT : log.st_size == 0)) {
        const qint64 pageSize = pragmaInt(d, QStringLiteral("page_size"));
        const qint64 size = pragmaInt(d, QStringLiteral("page_count")) * pageSize;
        out = ::open(QFile::encodeName(part).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        ok = out >= 0 && pageSize > 0 && size > 0 && copyBytes(in, out, size, pageSize, progress);
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
bool copyFromFileBytes(DatabaseImpl&, const QString&, const Progress&) { return false; }
#endif


}  // namespace dbe::detail
