#pragma once
// The program's shared state and its place on disk: the archive folder read at start-up, the
// master's stamp, the two open databases, and the program's own folder (the folder of the
// executable, or CORVALE_HOME when set). Every window and corvale-cli read them from here.
#include "dbengine/dbengine.h"

#include <QString>

namespace corvale {

extern QString PathArchivi;     // folder of lumera.mdb, without file name
extern QString VersioneMaster;  // the master's stamp, read once at start-up; empty if unreadable
extern dbe::Database DbArchivi; // the open archive database
extern dbe::Database DbMaster;  // the master database, opened by the version gate

// The program's own folder: CORVALE_HOME when set, else the folder of the executable.
QString CartellaProgramma();
// Replaces the program's folder (corvale-cli --home); an empty text restores the default.
void ImpostaCartellaProgramma(const QString& cartella);
// The master database file: the program's folder followed by "/esempio.mdb", unless replaced
// (corvale-cli --master).
QString PercorsoMaster();
void ImpostaPercorsoMaster(const QString& file);
// The archive file for a folder: the folder followed by "/lumera.mdb" (a folder ending in a
// separator gives a doubled one, which the file system resolves).
QString PercorsoArchivio(const QString& cartella);

}  // namespace corvale
