#pragma once
// The archive's integrity and its repair. The check is SQLite's integrity check of every table
// with its indexes (an index that misses rows of its table is damage: a check joined through it
// would take a good record for a broken one). The repair works in the manner of a compact and
// repair: after a safety copy it rebuilds every index from its table; when the archive is still
// damaged it copies every record that can be read into a fresh file beside the copies and puts
// that file's content in place of the archive's; then it checks again. The repair is one journal
// entry of kind "riparazione". Callers may rely on: nothing is changed when the safety copy cannot
// be made (unless they asked to go on without one).
#include "registro.h"

#include "core/sessione.h"

#include "dbengine/dbengine.h"
#include "dbengine/filecopy.h"

#include <QStringList>

namespace corvale {

// The problems found (empty for a sound archive).
QStringList ProblemiIntegrita(const dbe::Database& db, const dbe::Progress& avanzamento = {});

// The first problems, one per line, for a message (at most `quanti`, then how many more).
QString ElencoProblemi(const QStringList& problemi, int quanti = 5);

struct EsitoRiparazione {
    bool riuscita = false;
    QString copia;     // the safety copy taken before, if any
    QString rapporto;  // what was done, in Italian, several lines
};

// Repairs the session's archive; without a safety copy when the session's gate is set so
// (corvale-cli --senza-copia).
EsitoRiparazione RiparaArchivio(const Sessione& s, Registro& reg, const dbe::Progress& avanzamento = {});

}  // namespace corvale
