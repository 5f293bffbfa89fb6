#include "gathered_writes.h"

#include <QtGlobal>
#include <cstring>
#include <mutex>
#include <sqlite3.h>

namespace dbe::detail {

namespace {

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
    constexpr int kPiece = 64 * 1024;
    int rc = SQLITE_OK;
    for (int done = 0; done < f->len && rc == SQLITE_OK; done += kPiece)
        rc = f->real->pMethods->xWrite(f->real, f->buf + done, qMin(kPiece, f->len - done), f->start + done);
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

const char* kName = "corvale-gathered";

void registerOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        realVfs = sqlite3_vfs_find(nullptr);
        static sqlite3_vfs v = *realVfs;
        v.iVersion = qMin(v.iVersion, 3);
        v.szOsFile = int(sizeof(File)) + realVfs->szOsFile;
        v.zName = kName;
        v.pNext = nullptr;
        v.xOpen = xOpen;
        sqlite3_vfs_register(&v, 0);
    });
}

}  // namespace

const char* gatheredWritesVfs()
{
    registerOnce();
    return kName;
}

}  // namespace dbe::detail
