#pragma once
// The fixed catalogue of data checks: 29 entries, each a description, a check type and the
// parameter texts P(0)... that the task record carries. CaricaTask builds a Manutenzione's task
// list from one structure check per ordinary table of the master database followed by these
// entries, always in this order.
#include <QString>
#include <QStringList>
#include <vector>

namespace corvale {

class Manutenzione;

struct VoceCatalogo {
    QString Descrizione;
    QString Tipo;
    QStringList P;
};

// The 29 data checks, in catalogue order.
const std::vector<VoceCatalogo>& VociCatalogo();

// The description of the structure check of a master table.
QString DescrizioneStruttura(const QString& tabella);

// Empties m's task list and fills it anew from the master database. Engine errors reading the
// master go to the caller.
void CaricaTask(Manutenzione& m);

}  // namespace corvale
