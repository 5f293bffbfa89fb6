#pragma once
// The empty-record and joined-record checks ("EN" and "ENP" tasks): one query on the archive
// database, "SELECT * FROM " followed by P(0), counts the problem records. The result goes into
// the task's state, Correggibile and Dettaglio; a query the engine rejects, or for "ENP" a key
// field the result lacks, ends "VER_PRB" with the correction withheld. Changes no data.
#include <QString>

namespace corvale {

class Manutenzione;

void ControlloEliminaNull(Manutenzione& m, int li);

}  // namespace corvale
