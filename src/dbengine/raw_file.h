#pragma once
// RawFile: a plain SQLite connection of the engine's own on a file other than an open archive (a
// copy being written, a copy being restored from, a fresh file being salvaged into), closed when it
// goes out of scope. Callers may rely on: it waits for locks as long as the engine's connections do;
// every failure, opening included, raises DbError (ReservedError with SQLite's message).
#include "dbengine/db_error.h"

#include <QString>

struct sqlite3;

namespace dbe::detail {

class RawFile {
public:
    RawFile(const QString& path, int flags, const char* vfs = nullptr);
    ~RawFile();
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;
    sqlite3* get() const { return h_; }
    void exec(const QString& sql) const;
    [[noreturn]] void fail() const;

private:
    sqlite3* h_ = nullptr;
};

}  // namespace dbe::detail
