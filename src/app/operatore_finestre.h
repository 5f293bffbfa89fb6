#pragma once
// OperatoreFinestre: the operator of the windowed program. Notices and questions are modal message
// boxes with the application's title "Corvale", the information icon and Italian buttons ("OK",
// "Sì", "No"); input is an input box; the busy state is the application-wide hourglass. While a box
// is up, the hourglass is put away (the operator is being asked, nothing is running) and comes back
// when the box closes. A text longer than fourteen lines keeps its first lines and its last
// paragraph (the question) in view; the lines between are in the box's details.
#include "core/operatore.h"

#include <memory>

class QMessageBox;
class QWidget;

namespace corvale {

class OperatoreFinestre : public Operatore {
public:
    Risposta Mostra(const QString& testo, Pulsanti pulsanti = Pulsanti::Ok) override;
    QString Chiedi(const QString& prompt) override;
    void Clessidra(bool attiva) override;
    // The box that Mostra shows for that text, not yet shown (for pictures of the program).
    static std::unique_ptr<QMessageBox> Box(const QString& testo, Pulsanti pulsanti, QWidget* padre);

protected:
    // The box itself, shown with the hourglass put away; tests answer here instead.
    virtual Risposta Rispondi(const QString& testo, Pulsanti pulsanti);
};

}  // namespace corvale
