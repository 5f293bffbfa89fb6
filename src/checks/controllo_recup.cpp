#include "controllo_recup.h"

#include "checks/esito_controllo.h"
#include "core/manutenzione.h"

namespace corvale {

QString CreaSqlNotIn(const QString& tabella, const QString& master, const QString& campo, const QString& chiave)
{
    return QStringLiteral("SELECT * FROM ") + tabella + QStringLiteral(" WHERE ") + campo + QStringLiteral(" NOT IN ")
           + QStringLiteral("(SELECT DISTINCT ") + chiave + QStringLiteral(" FROM ") + master + QStringLiteral(")");
}

void ControlloEliminaRecup(Manutenzione& m, int li)
{
    const DatiTask t = m.Task(li);
    EseguiConteggio(m, li, CreaSqlNotIn(t.P[0], t.P[1], t.P[2], t.P[3]), {});
}

}  // namespace corvale
