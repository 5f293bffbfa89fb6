#pragma once
// What the whole-file operations on an open archive (the online copy, the restore, the integrity
// check, the salvage) share: the connection behind a Database, a column's text, a pragma's number,
// one read transaction held across a long read, the emptying of a log nobody uses, and the steps
// of a backup. Failures raise DbError where they say so; the others report in their result.
#include "dbengine/file_copy.h"

#include <QString>

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_backup;

namespace dbe::detail {

class DatabaseImpl;

// The open connection behind db (raises 3420 once it is closed).
DatabaseImpl& connectionOf(const Database& db);

// Column i of a stepped statement as text.
QString columnText(sqlite3_stmt* st, int i);

// The number a PRAGMA answers (0 when it answers nothing).
qint64 pragmaInt(DatabaseImpl& d, const QString& pragma);

// Steps a backup to the end, reporting pages copied; SQLite's last result code.
int runBackup(sqlite3_backup* b, const Progress& progress);

// Opens a read transaction on a connection that has none (true), so that what it reads stays one
// state of the file until COMMIT.
bool beginRead(sqlite3* db);

// Writes the log into the file and cuts it to nothing, only when no other program uses it: no
// waiting for other programs here.
void checkpointIfIdle(sqlite3* db);

}  // namespace dbe::detail
