#pragma once
// The safety copies of an archive: consistent copies written with SQLite's online backup into the
// folder "copie" beside the archive, named after the archive and the moment
// ("copie/lumera-20240315-143012.mdb"). Before writing, the free space of that folder is checked
// against the archive's size. Each copy made is listed in the archive's journal; only listed copies
// are ever deleted, the oldest first, when more than the number to keep are listed. Callers may
// rely on: a copy under its final name is complete and synced; on failure nothing is left behind
// and the reason is an Italian sentence.
#include "registro.h"

#include "core/sessione.h"

#include "dbengine/dbengine.h"
#include "dbengine/filecopy.h"

#include <QString>
#include <functional>

namespace corvale {

// The folder of the safety copies of an archive file.
QString CartellaCopie(const QString& archivio);

// The free bytes of a folder (the session's measure when it sets one, as the tests of a full disk
// do); -1 when unknown.
qint64 SpazioLibero(const Sessione& s, const QString& cartella);

// Writes a safety copy of the session's open archive; its path, or the empty text with the reason
// in errore. The copy is listed in `reg`, and the listed copies beyond the newest `conserva` are
// deleted (conserva 0: none is deleted).
QString ScriviCopiaSicurezza(const Sessione& s, Registro& reg, int conserva, QString& errore,
                             const dbe::Progress& avanzamento = {});

// The number of copies to keep: key "CopieConservate" of section "Sicurezza" of the settings file,
// 10 when absent or not a whole number from 0 up.
int CopieDaConservare(const Sessione& s);

}  // namespace corvale
