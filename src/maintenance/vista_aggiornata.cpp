#include "vista_aggiornata.h"

#include "dbengine/connection.h"
#include "dbengine/database.h"

#include <sqlite3.h>

namespace corvale {

ImprontaArchivio ImprontaArchivio::Di(const dbe::Database& db)
{
    ImprontaArchivio i;
    if (db.isNull() || !db.IsOpen())
        return i;
    sqlite3* h = db.impl()->db();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, "PRAGMA data_version", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) {
        i.connessione = h;
        i.versione = sqlite3_column_int64(st, 0);
    }
    sqlite3_finalize(st);
    return i;
}

bool ImprontaArchivio::Uguale(const dbe::Database& db) const
{
    const ImprontaArchivio ora = Di(db);
    return connessione && ora.connessione == connessione && ora.versione == versione;
}

}  // namespace corvale
