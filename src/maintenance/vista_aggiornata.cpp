#include "vista_aggiornata.h"

#include "dbengine/database.h"

namespace corvale {

ImprontaArchivio ImprontaArchivio::Di(const dbe::Database& db)
{
    ImprontaArchivio i;
    if (db.isNull() || !db.IsOpen())
        return i;
    const dbe::DataVersion v = dbe::ReadDataVersion(db);
    i.connessione = v.connection;
    i.versione = v.version;
    return i;
}

bool ImprontaArchivio::Uguale(const dbe::Database& db) const
{
    const ImprontaArchivio ora = Di(db);
    return connessione && ora.connessione == connessione && ora.versione == versione;
}

}  // namespace corvale
