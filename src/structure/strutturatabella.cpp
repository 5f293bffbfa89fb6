#include "strutturatabella.h"

#include "app/ambiente.h"
#include "maintenance/manutenzione.h"
#include "structure/confronto_struttura.h"

namespace corvale {

void StrutturaTabella(Manutenzione& m, int li)
{
    DatiTask& t = m.Task(li);
    EsitoStruttura esito;
    if (DbMaster.isNull() || DbArchivi.isNull() || !DbMaster.IsOpen() || !DbArchivi.IsOpen()) {
        // Without both databases there is nothing to compare: the task cannot pass.
        for (int i = 2; i < NumParametri; ++i)
            t.P[i].clear();
        t.P[1] = QStringLiteral("1");
        esito.problemi = true;
        esito.report = QStringLiteral("Controllo struttura non disponibile.");
    } else {
        esito = ConfrontaStruttura(DbMaster, DbArchivi, t.P[0], t.P.data());
    }
    if (!esito.problemi) {
        m.ImpostaStato(li, kStatoOk);
    } else {
        m.ImpostaStato(li, kStatoPrb);
        m.Task(li).Dettaglio = esito.report;
    }
}

}  // namespace corvale
