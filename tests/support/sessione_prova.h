#pragma once
// The tests' operator and session. OperatoreProva answers every box in place of a person (with the
// responders a test sets; notices Ok and questions No otherwise) and records every text shown, in
// order, and the hourglass. SessioneProva is the session of the running test, with that operator:
// each test gets a fresh pair, made when it starts and destroyed (the archive closed) when it ends.
#include "core/operatore.h"
#include "core/sessione.h"

#include <QStringList>
#include <functional>

namespace corvale::prova {

class OperatoreProva : public Operatore {
public:
    using Responder = std::function<Risposta(const QString& testo, Pulsanti pulsanti)>;
    using InputResponder = std::function<QString(const QString& prompt)>;

    Risposta Mostra(const QString& testo, Pulsanti pulsanti = Pulsanti::Ok) override;
    QString Chiedi(const QString& prompt) override;
    void Clessidra(bool attiva) override { clessidra_ = attiva; }

    void ImpostaRisponditore(Responder r) { responder_ = std::move(r); }
    void ImpostaRisponditoreInput(InputResponder r) { inputResponder_ = std::move(r); }
    QStringList& Mostrati() { return mostrati_; }  // texts shown (notices, questions, prompts)
    bool ClessidraAttiva() const { return clessidra_; }
    // Removes the responders, clears the record and the hourglass.
    void Azzera();

private:
    Responder responder_;
    InputResponder inputResponder_;
    QStringList mostrati_;
    bool clessidra_ = false;
};

OperatoreProva& OperatoreDiProva();
Sessione& SessioneProva();

}  // namespace corvale::prova

namespace corvale {
using prova::OperatoreDiProva;
using prova::SessioneProva;
}  // namespace corvale
