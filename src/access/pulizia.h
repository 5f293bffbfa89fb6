#pragma once
// The temporary files of an import and of an Access file opened for reading (a whole copy of its
// data), removed also when the program is interrupted: Ctrl-C, a termination, the terminal closed.
// A FileProvvisorio lists its file (with SQLite's -wal, -shm and -journal beside it) while it
// lives; InstallaPuliziaAllInterruzione() makes SIGINT, SIGTERM and SIGHUP remove every file
// listed, then end the program as the signal would have. The handler only unlinks paths written
// beforehand, which is safe inside a signal handler. At most kMaxProvvisori files are listed at
// once; beyond that a file is still removed by its owner, only not on an interruption.
#include <QString>

namespace corvale::access {

class FileProvvisorio {
public:
    explicit FileProvvisorio(const QString& path);
    ~FileProvvisorio();  // unlists the file (it does not remove it)
    FileProvvisorio(const FileProvvisorio&) = delete;
    FileProvvisorio& operator=(const FileProvvisorio&) = delete;

private:
    int posto_ = -1;
};

inline constexpr int kMaxProvvisori = 16;

// Called once by each program's main.
void InstallaPuliziaAllInterruzione();

}  // namespace corvale::access
