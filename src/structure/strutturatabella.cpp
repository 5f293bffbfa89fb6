#include "strutturatabella.h"

#include "maintenance/manutenzione.h"

namespace corvale {

const QString kStrutturaNonDisponibile = QStringLiteral("Controllo struttura non disponibile.");

void StrutturaTabella(Manutenzione& m, int li)
{
    DatiTask& t = m.Task(li);
    for (int i = 2; i < NumParametri; ++i)
        t.P[i].clear();
    t.P[1] = QStringLiteral("1");
    m.ImpostaStato(li, kStatoPrb);
    m.Task(li).Dettaglio = kStrutturaNonDisponibile;
}

}  // namespace corvale
