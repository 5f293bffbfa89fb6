#include "controllo_null.h"

#include "checks/esito_controllo.h"
#include "dbengine/dbengine.h"
#include "core/manutenzione.h"
#include "core/valore.h"

namespace corvale {

void ControlloEliminaNull(Manutenzione& m, int li)
{
    const DatiTask t = m.Task(li);
    const QString sql = QStringLiteral("SELECT * FROM ") + t.P[0];
    std::function<void(dbe::Recordset&)> verifica;
    if (t.Genere() == GenereTask::RecordAccoppiati) {
        // The fields that identify a record of P(1) must exist in the result: a name that begins
        // with "." is qualified by P(1), as the engine names a field both joined tables have.
        verifica = [t](dbe::Recordset& rs) {
            const int k = ValIntero16(t.P[2]);
            for (int i = 3; i <= k + 2; ++i) {
                if (i >= NumParametri)
                    throw dbe::DbError::make(dbe::err::ItemNotFound);
                const QString& p = t.P[i];
                const QString nome = p.startsWith(QLatin1Char('.')) ? t.P[1] + p : p;
                rs.FieldIndex(nome);
            }
        };
    }
    EseguiConteggio(m, li, sql, verifica);
}

}  // namespace corvale
