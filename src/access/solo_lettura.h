#pragma once
// Opening an archive or a master that may be an Access file. An Access file is never opened by
// the engine itself: it is imported into a temporary archive in the system's temporary folder,
// and that archive is opened instead, so that the checks, the comparison and the version gate
// read it as it is, while the Access file stays byte for byte as it was. Such an archive is read
// only for the operator: every change to it is refused, before it starts, with
// MessaggioSolaLettura(). The temporary file is removed once its database is closed and another
// one is opened, at the end of the program, and when the program is interrupted (pulizia.h).
#include "dbengine/dbengine.h"

#include <QString>

namespace corvale::access {

// OpenDatabase(path, readOnly) for a file of Corvale's format, with its errors; for a file the engine does
// not recognise (3343) that is an Access file by its first bytes, the temporary archive imported
// from it. An Access file that cannot be read raises ErroreAccess.
dbe::Database ApriDatabase(const QString& path, bool readOnly = false);

// True when db was opened by ApriDatabase from an Access file.
bool AccessInSolaLettura(const dbe::Database& db);
// The Access file db was imported from (empty text for an archive of Corvale's format).
QString OrigineAccess(const dbe::Database& db);
// The file the operator opened as db, the one every output names: the Access file for an archive
// or master imported from one, db's own file otherwise.
QString FileAperto(const dbe::Database& db);
// The message that refuses a change to such an archive, naming the import command.
QString MessaggioSolaLettura(const dbe::Database& db);
// For the commands that open the archive's file alone, with the engine only (its journal, undo,
// the restore of a copy, the repair): when the engine refused path (e) because it is an Access
// file, the same refusal as MessaggioSolaLettura(); empty text otherwise. The file is only looked
// at, never imported.
QString RifiutoArchivioAccess(const QString& path, const dbe::DbError& e);

}  // namespace corvale::access
