#pragma once
// TaskCorrezione: what the record corrections need to know of one data-check task, copied from its
// task record: the check type, the parameter texts P(0)..P(10) and the task's text in the list.
// A plain value, so that the corrections depend on no window and no task table.
// TaskDaManutenzione makes one from the task table.
#include "core/dati_task.h"

#include <QString>
#include <QStringList>

namespace corvale {

struct TaskCorrezione {
    QString Tipo;  // "EN", "ENC" or "ENP"
    QStringList P;  // P(0), P(1), ...; missing entries read as empty
    QString Descrizione;  // the task's text in the task list
    QString Chiave;  // the task's key in the list ("0008K")

    QString Param(int i) const { return i >= 0 && i < P.size() ? P.at(i) : QString(); }
    GenereTask Genere() const { return GenereDi(Tipo); }
};

class Manutenzione;

// The task at index indice of the task table, with the text of its row in the task list.
TaskCorrezione TaskDaManutenzione(Manutenzione& m, int indice);

}  // namespace corvale
