#pragma once
// The online copy from the archive's file bytes, without SQLite's page-by-page backup, when the
// file alone holds the state a read transaction sees (its log empty): the bytes come through
// SQLite's own descriptor, in the kernel where it can, past the page cache for a big file. Callers
// may rely on: it writes nothing but `part`, and leaves nothing at `part` when it answers false.
#include "dbengine/file_copy.h"

#include <QString>

namespace dbe::detail {

class DatabaseImpl;

// Copies the archive's file bytes to `part` (which must not exist), a file of its own in
// rollback-journal mode, synced to disk; false (nothing written) when the log is in use or the
// platform cannot, and the caller then copies through the backup.
bool copyFromFileBytes(DatabaseImpl& d, const QString& part, const Progress& progress);

// The size from which the bytes are copied past the page cache; the previous value.
qint64 setUncachedCopyFrom(qint64 bytes);

}  // namespace dbe::detail
