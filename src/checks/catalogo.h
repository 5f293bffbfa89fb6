#pragma once
// The fixed catalogue of data checks: 29 entries, each a description, a check type and the
// parameter texts P(0)... that the task record carries. CaricaTask (a member of Manutenzione,
// defined in catalogo.cpp) builds the task list from one structure check per ordinary table of
// the master database followed by these entries, always in this order.
#include <QString>
#include <QStringList>
#include <vector>

namespace corvale {

struct VoceCatalogo {
    QString Descrizione;
    QString Tipo;
    QStringList P;
};

// The 29 data checks, in catalogue order.
const std::vector<VoceCatalogo>& VociCatalogo();

// The description of the structure check of a master table.
QString DescrizioneStruttura(const QString& tabella);

}  // namespace corvale
