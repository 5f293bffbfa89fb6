#include "versione_registrata.h"

#include "core/sessione.h"
#include "core/versione.h"
#include "modifica_registrata.h"

namespace corvale {

namespace {
const QString kTabella = QString::fromLatin1(kTabellaVersione);
const QString kCampo = QString::fromLatin1(kCampoVersione);
}  // namespace

void VersioneDb(const Sessione& s, const QString& Valore)
{
    // The stamp goes into the journal, committed before the write on the second connection.
    ModificaRegistrata voce(s, tipo_modifica::Versione, kTabella);
    if (voce.Attiva()) {
        dbe::Recordset rs = s.DbArchivi.OpenRecordset(kTabella);
        rs.MoveFirst();
        if (const auto ref = dbe::CurrentRow(rs))
            voce.Record(ref->table, ref->rowid, dbe::StoredRow{{kCampo}, {Valore}});
        rs.Close();
        voce.Scrivi();
    }
    ScriviVersioneDb(s.DbArchivi, Valore);
}

}  // namespace corvale
