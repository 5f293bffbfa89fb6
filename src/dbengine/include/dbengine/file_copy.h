#pragma once
// Whole-file operations on an open archive through SQLite itself, never through another descriptor
// of the file: the online copy (the file's bytes through SQLite's own descriptor when the file alone
// holds what a read sees, otherwise SQLite's backup API; consistent while the archive is open and
// in log mode, and while other programs read and write it), the restore of such a copy over the archive, the
// integrity check (every table, every index against its table), the rebuild of the indexes, and the
// salvage of every readable record into a fresh file. Callers may rely on: a copy is either complete
// under its final name or absent; the checks never change the file; a restore or a rebuild is one
// transaction of the archive, wholly done or not at all. Failures raise DbError.
#include "database.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace dbe {

// Progress of a long operation: work done so far out of total (the same unit for both).
using Progress = std::function<void(qint64 done, qint64 total)>;

// The bytes the archive occupies: its pages (the log's pages included).
qint64 DatabaseBytes(const Database& db);

// Writes the archive's log into its file and cuts the log to nothing, without waiting: only when no
// other program is using the log; otherwise nothing happens. Never changes what a read sees.
void EmptyLog(const Database& db);

// Writes a consistent copy of the archive to `dest` (which must not exist; its folder must), a
// self-contained file in rollback-journal mode, synced to disk. The copy is written under a
// provisional name of this process's own (dest + ".<pid>-<n>.parziale") and renamed when complete,
// never over an existing file: when dest appeared meanwhile (another program's copy of the same
// second) it raises 3010 (TableExists) and leaves nothing behind. A failure leaves no file at dest.
// True when the copy was made from the file's bytes (its log empty), false when page by page.
bool BackupTo(const Database& db, const QString& dest, const Progress& progress = {});

// The size from which a copy from the file's bytes is written past the page cache, several pieces
// at once (512 MB unless set; smaller files go through the page cache, which is then quicker). The
// previous value; for the tests, which see that way on small files.
qint64 SetUncachedCopyFrom(qint64 bytes);

// Replaces the whole content of the open archive by the content of the SQLite file `source`
// (opened read-only), in one transaction of the archive. Refused (3218) while another program
// writes the archive.
void RestoreFrom(const Database& db, const QString& source, const Progress& progress = {});

// SQLite's integrity check of every table with its indexes, one table after another; the problems
// found (empty when the archive is sound). An unreadable schema gives one problem.
QStringList IntegrityProblems(const Database& db, const Progress& progress = {});

// Rebuilds every index of the archive from its table's records (REINDEX), in one transaction.
void RebuildIndexes(const Database& db);

// Creates `fresh` (which must not exist) with the archive's schema (tables, then the indexes that
// can be built on what was read) and every record that can still be read, table by table; what was
// lost goes into `notes`, one line per table or index. The archive itself is not changed.
void SalvageInto(const Database& db, const QString& fresh, QStringList& notes);

}  // namespace dbe
