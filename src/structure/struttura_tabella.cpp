#include "struttura_tabella.h"

#include "core/sessione.h"
#include "core/manutenzione.h"
#include "structure/confronto_struttura.h"
#include "dbengine/dbengine.h"

namespace corvale {

void StrutturaTabella(Manutenzione& m, int li)
{
    DatiTask& t = m.Task(li);
    EsitoStruttura esito;
    const Sessione& s = m.sessione();
    if (s.DbMaster.isNull() || s.DbArchivi.isNull() || !s.DbMaster.IsOpen() || !s.DbArchivi.IsOpen()) {
        // Without both databases there is nothing to compare: the task cannot pass.
        for (int i = 2; i < NumParametri; ++i)
            t.P[i].clear();
        t.P[1] = QStringLiteral("1");
        esito.problemi = true;
        esito.report = QStringLiteral("Controllo struttura non disponibile.");
    } else {
        try {
            esito = ConfrontaStruttura(m.sessione().DbMaster, m.sessione().DbArchivi, t.P[0], t.P.data());
        } catch (const dbe::DbError& e) {
            // Nothing is known to be missing: no correction is offered, and the engine's reason
            // is shown instead.
            for (int i = 2; i < NumParametri; ++i)
                t.P[i].clear();
            t.P[1] = QStringLiteral("1");
            esito.problemi = true;
            esito.report = QStringLiteral("Controllo struttura non disponibile.") + QChar(13) + e.description();
        }
    }
    if (!esito.problemi) {
        m.ImpostaStato(li, kStatoOk);
    } else {
        m.ImpostaStato(li, kStatoPrb);
        m.Task(li).Dettaglio = esito.report;
    }
}

}  // namespace corvale
