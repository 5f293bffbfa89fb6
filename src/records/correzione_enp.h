#pragma once
// GestisciCorrezioneENP: the correction of the rows of an "ENP" task (a join of two tables) that
// the operator selected: each row is turned into a lookup by its key fields on the table P(1)
// (ricerca_chiave.h), and what the lookup finds is deleted, from the last record to the first.
// Callers may rely on: No to the question changes nothing; a row whose record went with an earlier
// row's deletion is skipped; a row whose records another program changed or replaced since the grid
// listed them is left alone, counted (MessaggioLasciati) and named in the journal; a row whose key cannot be used
// safely, whose lookup fails or finds a record that does not carry the row's key, or whose record the engine refuses to
// delete, is given up (nothing more is deleted for it) and the walk goes on; the rows given up are reported in one
// message at the end; the grid's query is re-run and the selection emptied.
#include "task_correzione.h"
#include "vista_correzione.h"

namespace corvale {

// The report of the rows given up, for n rows.
QString MessaggioRigheNonCorrette(qint64 n);

void GestisciCorrezioneENP(VistaCorrezione& v, const TaskCorrezione& task);

}  // namespace corvale
