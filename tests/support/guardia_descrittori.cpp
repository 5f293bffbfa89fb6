#include "guardia_descrittori.h"

#ifdef __linux__

#include <atomic>
#include <cstdlib>
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Descriptors SQLite opened, with the file each one designates. Lock-free: close() runs in every
// thread, and in a child between fork and exec.
constexpr int kMaxFd = 4096;
struct Voce {
    std::atomic<bool> sqlite{false};
    std::atomic<dev_t> dev{0};
    std::atomic<ino_t> ino{0};
};
Voce voci[kMaxFd];
std::atomic<int> fdMassimo{-1};
std::atomic<bool> attiva{false};
thread_local bool dentro = false;

using ApriFn = int (*)(const char*, int, int);
ApriFn apriOriginale = nullptr;
using ChiudiFn = int (*)(int);
std::atomic<ChiudiFn> chiudiOriginale{nullptr};

std::string Percorso(int fd)
{
    char buf[512];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, size_t(n)) : std::string("?");
}

// The SQLite descriptor of the same file as st, or -1.
int DescrittoreSqlite(const struct stat& st, int salvo)
{
    const int max = fdMassimo.load();
    for (int i = 0; i <= max && i < kMaxFd; ++i) {
        if (i != salvo && voci[i].sqlite.load() && voci[i].dev.load() == st.st_dev && voci[i].ino.load() == st.st_ino)
            return i;
    }
    return -1;
}

void Segnala(const char* cosa, int fd, const std::string& percorso)
{
    ADD_FAILURE() << "descriptor " << fd << " of " << percorso << " " << cosa
                  << " while SQLite has the file open: every lock of the process on it is lost";
}

// SQLite's own open(): notes the descriptor, and fails if another one of the file exists.
int ApriPerSqlite(const char* path, int flags, int mode)
{
    const int fd = apriOriginale(path, flags, mode);
    struct stat st {};
    if (fd < 0 || fd >= kMaxFd || fstat(fd, &st) != 0)
        return fd;
    voci[fd].dev = st.st_dev;
    voci[fd].ino = st.st_ino;
    voci[fd].sqlite = true;
    for (int m = fdMassimo.load(); fd > m && !fdMassimo.compare_exchange_weak(m, fd);) {}
    if (!S_ISREG(st.st_mode) || dentro)
        return fd;
    dentro = true;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (const dirent* e = readdir(d)) {
            const int altro = std::atoi(e->d_name);
            struct stat so {};
            if (e->d_name[0] == '.' || altro == fd || altro == dirfd(d) || fstat(altro, &so) != 0)
                continue;
            if (so.st_dev == st.st_dev && so.st_ino == st.st_ino && !(altro < kMaxFd && voci[altro].sqlite.load()))
                Segnala("opened outside SQLite is held", altro, Percorso(altro));
        }
        closedir(d);
    }
    dentro = false;
    return fd;
}

void Controlla(int fd)
{
    if (fd < 0 || fd >= kMaxFd)
        return;
    if (voci[fd].sqlite.exchange(false))
        return;
    struct stat st {};
    if (!attiva.load() || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || DescrittoreSqlite(st, fd) < 0)
        return;
    Segnala("opened outside SQLite is closed", fd, Percorso(fd));
}

}  // namespace

// Every close() of the test binary (Qt's, the C library's, SQLite's own) comes here first. The C
// library's close() is looked up once, at install: a child started by QProcess runs on a small
// stack between fork and exec, where a first dlsym() does not fit. Before the install, close()
// goes straight to the kernel.
extern "C" int close(int fd)
{
    const ChiudiFn reale = chiudiOriginale.load();
    if (!reale)
        return int(syscall(SYS_close, fd));
    if (!dentro) {
        dentro = true;
        Controlla(fd);
        dentro = false;
    }
    return reale(fd);
}

namespace testsupport {

void InstallaGuardiaDescrittori()
{
    chiudiOriginale = reinterpret_cast<ChiudiFn>(dlsym(RTLD_NEXT, "close"));
    sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
    if (!vfs || !vfs->xGetSystemCall || apriOriginale)
        return;
    apriOriginale = reinterpret_cast<ApriFn>(vfs->xGetSystemCall(vfs, "open"));
    if (apriOriginale
        && vfs->xSetSystemCall(vfs, "open", reinterpret_cast<sqlite3_syscall_ptr>(&ApriPerSqlite)) == SQLITE_OK)
        attiva = true;
}

}  // namespace testsupport

#else

namespace testsupport {
void InstallaGuardiaDescrittori() {}
}  // namespace testsupport

#endif
