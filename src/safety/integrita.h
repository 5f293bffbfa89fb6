#pragma once
// The archive's integrity and its repair. The check is SQLite's integrity check of every table
// with its indexes (an index that misses rows of its table is damage: a check joined through it
// would take a good record for a broken one); the check of a walk's table alone reaches the same
// verdict on its indexes by reading each of them and the table once, in order. The repair works in the manner of a
// compact and repair: after a safety copy it rebuilds every index from its table; when the archive is still damaged it
// copies every record that can be read into a fresh file beside the copies and puts that file's content in place of the
// archive's; then it checks again. The repair is one journal entry of kind "riparazione". Callers may rely on: nothing
// is changed when the safety copy cannot be made (unless they asked to go on without one).
#include "registro.h"

#include "core/sessione.h"

#include "dbengine/dbengine.h"
#include "dbengine/file_copy.h"

#include <QStringList>
#include <functional>

namespace corvale {

// The problems found (empty for a sound archive).
QStringList ProblemiIntegrita(const dbe::Database& db, const dbe::Progress& avanzamento = {});
// The check of the named tables only, each with every index it has, through a read-only
// connection of its own in one read transaction: SQLite's quick check of the table (every page of
// the table and of its indexes, each record's form, NOT NULL, CHECK), then each index compared with
// the table in one sequential walk of each (the count of its entries and an order-free sum of a
// 64-bit hash of each entry's rowid and values, and no two equal keys in a unique index), so that an
// index that misses rows, holds rows its table has not or holds other values is damage, as in
// SQLite's full check, which is run instead on a table this does not handle (an index on an
// expression, a partial index, a table without rowid). A name the archive does not have is a
// problem line. The other tables are not looked at. `durante`, when given, runs in a second thread
// while the check reads, once its read transaction holds its state of the file; `soloFile` says
// that this state is the archive's file alone (its log empty: no checkpoint writes the file until
// the check ends). It has returned when this returns.
QStringList ProblemiIntegritaTabelle(const QString& archivio, const QStringList& tabelle,
                                     const dbe::Progress& avanzamento = {},
                                     const std::function<void(bool soloFile)>& durante = {});

// What says that the archive's file is the one it was: device, inode, size and modification time
// (to the nanosecond) of the file and of its write-ahead log, read without opening them. A commit (of
// this program or another) writes one of the two and so changes it; empty when the file is missing.
QByteArray ImprontaArchivio(const QString& archivio);

// The cheap verification a session's first check runs before its counts: for every index of every
// table of the archive (partial indexes and tables without rowid aside), the entries the index holds
// against the records its table holds, through a connection of its own that only reads. An index
// that misses records (or holds more) is one problem line. The full integrity check above sees
// this and more (damaged pages, wrong values in an index); this one costs about one read of every
// table and index.
QStringList IndiciIncompleti(const QString& archivio);

// The first problems, one per line, for a message (at most `quanti`, then how many more).
QString ElencoProblemi(const QStringList& problemi, int quanti = 5);

// The salvage step of a repair: every record that can be read and is read back whole goes into a
// fresh file "copie/<archive>-recupero-<moment>.mdb" (written under a provisional name, renamed once
// complete), whose content then takes the place of the archive's. Other programs' writers are held
// off for the whole of it (it waits for them, and says so), so that no change another program
// committed is undone; a provisional file left by a killed repair is removed. Its lines (the fresh
// file, the records lost per table, each record not read back whole) go to `righe`. False with
// the reason, the archive unchanged.
bool RecuperaRecord(const Sessione& s, QStringList& righe, QString& errore);

// Removes from the archive's copies folder the provisional files of recoveries whose process is
// gone (a repair killed half-way); those of a running process stay.
void PulisciRecuperiInterrotti(const QString& archivio);

struct EsitoRiparazione {
    bool riuscita = false;
    QString copia;  // the safety copy taken before, if any
    QString rapporto;  // what was done, in Italian, several lines
};

// Repairs the session's archive; without a safety copy when the session's gate is set so
// (corvale-cli --senza-copia).
EsitoRiparazione RiparaArchivio(const Sessione& s, Registro& reg, const dbe::Progress& avanzamento = {});

}  // namespace corvale
