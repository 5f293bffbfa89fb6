#pragma once
// GestisciCorrezioneEN: the correction of the records of an "EN" or "ENC" task that the operator
// selected in the problem-record view: delete them, write the key of the chosen master record into
// their reference field P(2), or write the task's fixed code P(5) there. It asks for confirmation,
// then works through the selection in the order the rows were selected (a delete a group of records
// at a time, each group read, journaled and deleted by one statement; a rewrite one record at a
// time), and re-runs the grid's query. Callers may rely on: No to a question, or a missing master choice,
// changes nothing; a record is changed only while it still holds what the grid listed: one that
// another program changed or replaced since is left alone, counted and reported (MessaggioLasciati)
// and named in the journal, one it deleted is passed over; if the engine refuses a change the walk
// stops there with the engine's message, the records handled before stay changed, and the grid is
// re-run.
#include "task_correzione.h"
#include "vista_correzione.h"

namespace corvale {

inline const QString kDomandaElimina = QStringLiteral("Eliminare definitivamente i record selezionati ?");
inline const QString kDomandaRiassegna = QStringLiteral("Riassegnare i record selezionati ?");
inline const QString kNessunValore = QStringLiteral("Nessun valore da associare .");
inline const QString kNessunRecord = QStringLiteral("Nessun record selezionato.");

void GestisciCorrezioneEN(VistaCorrezione& v, const TaskCorrezione& task);

// Syncs what the record walks committed in db (the archive) to the disk, so that a walk reported
// done survives a power cut. Returns the message to show when that fails, the empty text otherwise.
QString SincronizzaArchivio(const dbe::Database& db);

// A failure that no later record of a walk escapes: the archive's file deleted, renamed or
// replaced since it was opened, the disk full, the archive read-only. A walk stops at the first
// record that meets one, with its reason, and journals what it did until then.
bool FallimentoDefinitivo(const dbe::DbError& e);
class ModificaRegistrata;
// Why the walk journaled in voce stops on e: a full disk when the journal could not be written for
// lack of room (the archive's write it refused says only that it was refused), e otherwise.
dbe::DbError MotivoFermata(const dbe::DbError& e, const ModificaRegistrata& voce);

// The current record of a record set for the operator and the journal: its table, row number and
// first field ("VENDITE, riga 12 (NUMORD = 7)").
QString DescriviRiga(const dbe::Recordset& rs);

}  // namespace corvale
