#include "strutturatabella.h"

#include "core/sessione.h"
#include "core/manutenzione.h"
#include "structure/confronto_struttura.h"

namespace corvale {

void StrutturaTabella(Manutenzione& m, int li)
{
    DatiTask& t = m.Task(li);
    EsitoStruttura esito;
    if (m.sessione().DbMaster.isNull() || m.sessione().DbArchivi.isNull()) {
        // Without both databases there is nothing to compare: the task cannot pass.
        for (int i = 2; i < NumParametri; ++i)
            t.P[i].clear();
        t.P[1] = QStringLiteral("1");
        esito.problemi = true;
        esito.report = QStringLiteral("Controllo struttura non disponibile.");
    } else {
        esito = ConfrontaStruttura(m.sessione().DbMaster, m.sessione().DbArchivi, t.P[0], t.P.data());
    }
    if (!esito.problemi) {
        m.ImpostaStato(li, kStatoOk);
    } else {
        m.ImpostaStato(li, kStatoPrb);
        m.Task(li).Dettaglio = esito.report;
    }
}

}  // namespace corvale
