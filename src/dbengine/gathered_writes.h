#pragma once
// The file system a copy is written through: SQLite's default one, with the pages SQLite writes one
// by one gathered into large sequential writes (a copy is written from its first page to its last).
// Anything else that touches the file (a read, a sync, a size, a truncation, a lock, the close)
// writes what is gathered first, so SQLite sees the file as if every page had been written at once.
// Callers may rely on: the file system is registered once per process, never as the default.

namespace dbe::detail {

// The name to open a file with (sqlite3_open_v2's last argument); registers it on first use.
const char* gatheredWritesVfs();

}  // namespace dbe::detail
