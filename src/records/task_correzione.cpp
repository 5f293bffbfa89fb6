#include "records/task_correzione.h"

#include "core/manutenzione.h"

namespace corvale {

TaskCorrezione TaskDaManutenzione(Manutenzione& m, int indice)
{
    TaskCorrezione t;
    if (indice < 0 || indice > MaxTask)
        return t;
    const DatiTask& d = m.ElencoTask[size_t(indice)];
    t.Tipo = d.Tipo;
    t.P = QStringList(d.P.begin(), d.P.end());
    for (int li = 0; li < m.LstTask.Conta(); ++li) {
        if (Manutenzione::Id(m.LstTask.Riga(li).Chiave) == indice) {
            t.Descrizione = m.LstTask.Riga(li).Testo;
            t.Chiave = m.LstTask.Riga(li).Chiave;
            break;
        }
    }
    return t;
}

}  // namespace corvale
