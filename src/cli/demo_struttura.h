#pragma once
// Builds the demo's tables through the engine's data-definition objects: the master's tables
// whole from the demo schema, and the archive's tables from the master's definition as the engine
// reports it, with the deliberate differences applied. An archive table is built in two steps so
// that records can be loaded in between: first its fields, then its indexes (the primary key too)
// and its properties. An index built over the loaded records is one sort, where one kept while
// loading costs a search of its tree and a check of its keys for every record.
#include "dbengine/dbengine.h"

#include <QString>

namespace corvale::cli::demo {

// Creates every table of the demo schema in the master, with all indexes and properties.
void CreaTabelleMaster(const dbe::Database& master);

// Creates the archive's table of that name: the master's fields (less the missing ones, with the
// differing ones changed), no index yet. Does nothing for a table the archive lacks.
void CreaTabellaArchivio(const dbe::Database& master, const dbe::Database& archivio, const QString& tabella);
// Adds the master's indexes (less the missing ones, short of the missing index fields) and
// the table properties (less the missing ones and the ones the archive never carries).
void CompletaTabellaArchivio(const dbe::Database& master, const dbe::Database& archivio, const QString& tabella);

}  // namespace corvale::cli::demo
