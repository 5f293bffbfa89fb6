#pragma once
// OperatoreFinestre: the operator of the windowed program. Notices and questions are modal message
// boxes with the application's title "Corvale", the information icon and Italian buttons ("OK",
// "Sì", "No"); input is an input box; the busy state is the application-wide hourglass.
#include "core/operatore.h"

namespace corvale {

class OperatoreFinestre : public Operatore {
public:
    Risposta Mostra(const QString& testo, Pulsanti pulsanti = Pulsanti::Ok) override;
    QString Chiedi(const QString& prompt) override;
    void Clessidra(bool attiva) override;
};

}  // namespace corvale
