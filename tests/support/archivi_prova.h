#pragma once
// Small archives for the tests of the maintenance window, the checks and corvale-cli: a temporary
// folder, databases made with the engine, and an archive holding every table and field that the
// check catalogue reads (empty, so that every data check passes on it).
#include "dbengine/dbengine.h"
#include "support/sessione_prova.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace corvale::prova {

// Runs each statement on db.
void Esegui(const dbe::Database& db, const QStringList& istruzioni);

// Creates file (which must not exist) with every table the catalogue reads, without records.
dbe::Database CreaArchivioCompleto(const QString& file);

// Fills a complete archive (CreaArchivioCompleto) with what the record walks correct, in one
// transaction: customer C1 and supplier VARIE, then n customers without a code and n orders of
// customer 'ZZ' (no such customer) on 15 March 2001; first the statements prima.
void RiempiRecordDaCorreggere(const dbe::Database& db, int n, const QStringList& prima = {});

// Releases the test session's DbArchivi and DbMaster and clears PathArchivi and VersioneMaster,
// the program folder and the master file, so that a test leaves no shared state behind.
void AzzeraAmbiente();

}  // namespace corvale::prova
