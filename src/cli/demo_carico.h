#pragma once
// Loads the demo generator's records into a table through the engine's bulk inserter: one
// transaction per table, the generator's fields that the table lacks passed over, progress
// reported on a text stream. Callers may rely on a failed load leaving the table empty.
#include "demo_dati.h"

#include "dbengine/dbengine.h"

#include <QString>
#include <QTextStream>

namespace corvale::cli::demo {

// Loads the archive's records of the table (or, with master true, the master's); returns how many.
qint64 CaricaTabella(const dbe::Database& db, const QString& tabella, const DatiDemo& dati, bool master,
                     QTextStream* progresso);

}  // namespace corvale::cli::demo
