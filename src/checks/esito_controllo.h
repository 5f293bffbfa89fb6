#pragma once
// The shared ending of the data checks: run a counting query on the archive database and write
// the outcome (state, Correggibile, Dettaglio) into the task. Used by the empty-record and the
// orphan-record checks, which differ only in the query and the extra field lookups.
#include <QString>
#include <functional>

namespace dbe {
class Recordset;
}

namespace corvale {

class Manutenzione;

// The texts the data checks leave in Dettaglio: the count of problem records, and the failure.
QString DettaglioRilevati(qint64 numero);
extern const QString kDettaglioNonEseguibile;

// Counts the records sql lists on DbArchivi (a "SELECT * FROM ..." through the engine's own count,
// which lists none of them); none ends "VER_OK". Otherwise verifica (if set) runs on a record set
// of the same fields that lists no record (a lookup that fails raises), then "VER_PRB" with the
// count. Any failure ends "VER_PRB" with Correggibile "N". Every record set is closed.
void EseguiConteggio(Manutenzione& m, int li, const QString& sql, const std::function<void(dbe::Recordset&)>& verifica);

}  // namespace corvale
