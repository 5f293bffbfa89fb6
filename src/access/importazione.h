#pragma once
// The import of an Access file into a new archive of Corvale's own format: every user table with
// its fields, indexes and table properties, through the engine's own object model, and every
// record with its values as they are. The source is only read. The archive is written into a
// temporary file beside the destination and renamed to it at the end, so that a failed import
// leaves no destination and no temporary file behind. The Access file is read in a process of its
// own (libmdb may crash or loop on a damaged file): a crash, or no progress for 30 seconds
// (CORVALE_ACCESS_SECONDI), is reported as a damaged file, and libmdb's own lines never reach the
// operator.
#include "file_access.h"

#include "dbengine/dbengine.h"
#include "dbengine/inserter.h"

#include <functional>

namespace corvale::access {

// Called after each table is copied, with the table as read (its saltati say what was left out)
// and the number of its records.
using AvanzamentoImport = std::function<void(const TabellaAccess& tabella, qint64 record)>;

// Called now and then with the records copied so far and the records the file announces.
using RecordImport = std::function<void(qint64 copiati, qint64 totale)>;

// Converts sorgente into the new archive destinazione. A destination that exists, a missing
// folder, an unreadable source or a record the archive refuses raise ErroreAccess (Italian
// text); nothing is then left at destinazione.
void ImportaAccess(const QString& sorgente, const QString& destinazione, const AvanzamentoImport& avanzamento = {},
                   const RecordImport& record = {});

// The steps of the import, for callers that assemble their own archive (the benchmark):
// the table with its fields and properties, without indexes;
void CreaTabella(const dbe::Database& db, const TabellaAccess& tabella);
// its indexes, once the records are in;
void CreaIndici(const dbe::Database& db, const TabellaAccess& tabella);
// every record of the Access table into an Inserter opened on tabella.campi in that order;
// battito, when given, is called after every 1024 records.
qint64 CopiaRecord(const FileAccess& file, const TabellaAccess& tabella, dbe::Inserter& ins,
                   const std::function<void()>& battito = {});

}  // namespace corvale::access
