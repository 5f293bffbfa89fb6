#include "taglio_corrente.h"

#ifdef __linux__

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace testsupport {

namespace {

// What one write or truncation replaced: the bytes from `da` that it overwrote or cut, and the size
// of the file before it.
struct Annullo {
    sqlite3_int64 da;
    std::string vecchi;
    sqlite3_int64 dimensione;
};

// A file by its path, over every handle SQLite has on it: a sync through any of them makes it durable.
struct Stato {
    bool sincronizzato = false;  // has content the disk keeps (existed before, or synced since)
    std::vector<Annullo> annulli;  // since the last sync, oldest first
};

struct File {
    sqlite3_file base;
    sqlite3_file* real;
    Stato* stato;  // nullptr for a temporary file without a name
};

sqlite3_vfs* reale = nullptr;
std::map<std::string, Stato> stati;  // node-based: the pointers in File stay valid
std::recursive_mutex guardia;
long eventi = 0;
long taglioDopo = 0;

File* me(sqlite3_file* p) { return reinterpret_cast<File*>(p); }
sqlite3_file* re(sqlite3_file* p) { return me(p)->real; }

void evento()
{
    if (++eventi == taglioDopo)
        TaglioCorrente();
}

// The bytes [da, a) of the file, as far as it reaches.
bool Leggi(sqlite3_file* f, sqlite3_int64 da, sqlite3_int64 a, std::string& out)
{
    out.assign(size_t(std::max<sqlite3_int64>(0, a - da)), '\0');
    return out.empty() || f->pMethods->xRead(f, out.data(), int(out.size()), da) == SQLITE_OK;
}

// Notes what changing [da, a) of the file, or cutting it at da (a < 0), replaces.
int Ricorda(File* f, sqlite3_int64 da, sqlite3_int64 a)
{
    if (!f->stato)
        return SQLITE_OK;
    sqlite3_int64 dim = 0;
    if (f->real->pMethods->xFileSize(f->real, &dim) != SQLITE_OK)
        return SQLITE_IOERR;
    Annullo u{da, {}, dim};
    if (!Leggi(f->real, da, std::min(a < 0 ? dim : a, dim), u.vecchi))
        return SQLITE_IOERR;
    f->stato->annulli.push_back(std::move(u));
    return SQLITE_OK;
}

int xClose(sqlite3_file* p) { return re(p)->pMethods->xClose(re(p)); }
int xRead(sqlite3_file* p, void* out, int n, sqlite3_int64 off) { return re(p)->pMethods->xRead(re(p), out, n, off); }
int xWrite(sqlite3_file* p, const void* in, int n, sqlite3_int64 off)
{
    std::lock_guard<std::recursive_mutex> l(guardia);
    int rc = Ricorda(me(p), off, off + n);
    if (rc == SQLITE_OK)
        rc = re(p)->pMethods->xWrite(re(p), in, n, off);
    evento();
    return rc;
}
int xTruncate(sqlite3_file* p, sqlite3_int64 size)
{
    std::lock_guard<std::recursive_mutex> l(guardia);
    int rc = Ricorda(me(p), size, -1);
    if (rc == SQLITE_OK)
        rc = re(p)->pMethods->xTruncate(re(p), size);
    evento();
    return rc;
}
int xSync(sqlite3_file* p, int flags)
{
    std::lock_guard<std::recursive_mutex> l(guardia);
    const int rc = re(p)->pMethods->xSync(re(p), flags);
    if (rc == SQLITE_OK && me(p)->stato) {
        me(p)->stato->annulli.clear();
        me(p)->stato->sincronizzato = true;
    }
    evento();
    return rc;
}
int xFileSize(sqlite3_file* p, sqlite3_int64* s) { return re(p)->pMethods->xFileSize(re(p), s); }
int xLock(sqlite3_file* p, int l) { return re(p)->pMethods->xLock(re(p), l); }
int xUnlock(sqlite3_file* p, int l) { return re(p)->pMethods->xUnlock(re(p), l); }
int xCheckReservedLock(sqlite3_file* p, int* r) { return re(p)->pMethods->xCheckReservedLock(re(p), r); }
int xFileControl(sqlite3_file* p, int op, void* arg) { return re(p)->pMethods->xFileControl(re(p), op, arg); }
int xSectorSize(sqlite3_file* p) { return re(p)->pMethods->xSectorSize(re(p)); }
int xDeviceCharacteristics(sqlite3_file* p) { return re(p)->pMethods->xDeviceCharacteristics(re(p)); }
int xShmMap(sqlite3_file* p, int pg, int sz, int ext, void volatile** pp)
{
    return re(p)->pMethods->xShmMap(re(p), pg, sz, ext, pp);
}
int xShmLock(sqlite3_file* p, int off, int n, int flags) { return re(p)->pMethods->xShmLock(re(p), off, n, flags); }
void xShmBarrier(sqlite3_file* p) { re(p)->pMethods->xShmBarrier(re(p)); }
int xShmUnmap(sqlite3_file* p, int del) { return re(p)->pMethods->xShmUnmap(re(p), del); }
// No mapping: every page is read through xRead.
int xFetch(sqlite3_file*, sqlite3_int64, int, void** pp)
{
    *pp = nullptr;
    return SQLITE_OK;
}
int xUnfetch(sqlite3_file*, sqlite3_int64, void*) { return SQLITE_OK; }

const sqlite3_io_methods kMetodi = {3,
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

int xOpen(sqlite3_vfs*, sqlite3_filename nome, sqlite3_file* p, int flags, int* outFlags)
{
    std::lock_guard<std::recursive_mutex> l(guardia);
    File* f = me(p);
    std::memset(f, 0, sizeof(File));
    f->real = reinterpret_cast<sqlite3_file*>(f + 1);
    const bool esisteva = nome && access(nome, F_OK) == 0;
    const int rc = reale->xOpen(reale, nome, f->real, flags, outFlags);
    if (rc != SQLITE_OK || !f->real->pMethods)
        return rc;
    if (nome) {
        // A file met for the first time is on the disk as it is; one made now has nothing there yet.
        auto s = stati.find(nome);
        if (s == stati.end() || !esisteva)
            s = stati.insert_or_assign(nome, Stato{esisteva, {}}).first;
        f->stato = &s->second;
    }
    p->pMethods = &kMetodi;
    return SQLITE_OK;
}

int xDelete(sqlite3_vfs*, const char* nome, int syncDir)
{
    std::lock_guard<std::recursive_mutex> l(guardia);
    // The file is gone (its removal is taken as lasting); a file made again by the name starts afresh.
    stati.erase(nome);
    return reale->xDelete(reale, nome, syncDir);
}

}  // namespace

void InstallaTaglioCorrente(long dopoEventi)
{
    reale = sqlite3_vfs_find(nullptr);
    static sqlite3_vfs v = *reale;
    v.iVersion = std::min(v.iVersion, 3);
    v.szOsFile = int(sizeof(File)) + reale->szOsFile;
    v.zName = "taglio-corrente";
    v.pNext = nullptr;
    v.xOpen = xOpen;
    v.xDelete = xDelete;
    taglioDopo = dopoEventi;
    sqlite3_vfs_register(&v, 1);
}

long EventiTaglioCorrente() { return eventi; }

void TaglioCorrente()
{
    guardia.lock();  // no other write gets in; never released
    for (auto& [nome, s] : stati) {
        if (!s.sincronizzato) {
            unlink(nome.c_str());
            continue;
        }
        if (s.annulli.empty())
            continue;
        // A descriptor of our own, never closed: closing it would drop SQLite's locks on the file.
        const int fd = ::open(nome.c_str(), O_WRONLY);
        if (fd < 0)
            continue;
        for (auto u = s.annulli.rbegin(); u != s.annulli.rend(); ++u) {
            if (!u->vecchi.empty()
                && pwrite(fd, u->vecchi.data(), u->vecchi.size(), u->da) != ssize_t(u->vecchi.size()))
                _exit(3);
            if (ftruncate(fd, u->dimensione) != 0)
                _exit(3);
        }
    }
    _exit(kUscitaTaglio);
}

}  // namespace testsupport

#else

#include <cstdlib>

namespace testsupport {
void InstallaTaglioCorrente(long) {}
long EventiTaglioCorrente() { return 0; }
void TaglioCorrente() { std::_Exit(kUscitaTaglio); }
}  // namespace testsupport

#endif
