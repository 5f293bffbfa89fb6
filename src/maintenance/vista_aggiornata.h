#pragma once
// ImprontaArchivio: what a window remembers of the archive when it fills a view, to tell before it
// acts whether another program or another Corvale wrote to the archive since. It reads SQLite's
// data_version on the session's connection, which moves with every commit of another connection and
// never with this connection's own; a connection opened afresh since (the structure corrections
// reopen the archive) counts as a change, since nothing then tells what happened in between.
// The windows take PresenzaArchivio (core/presenza_archivio.h) from here too.
#include "core/presenza_archivio.h"

#include <QString>

namespace dbe {
class Database;
}

namespace corvale {

class Sessione;

struct ImprontaArchivio {
    const void* connessione = nullptr;
    qint64 versione = -1;
    // The archive as it is now (nothing when it is closed).
    static ImprontaArchivio Di(const dbe::Database& db);
    // True when the archive is known to be as it was when this was taken.
    bool Uguale(const dbe::Database& db) const;
};

}  // namespace corvale
