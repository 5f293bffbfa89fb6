#include "support/sessione_prova.h"

namespace corvale::prova {

Risposta OperatoreProva::Mostra(const QString& testo, Pulsanti pulsanti)
{
    mostrati_.append(testo);
    if (responder_)
        return responder_(testo, pulsanti);
    return pulsanti == Pulsanti::SiNo ? Risposta::No : Risposta::Ok;
}

QString OperatoreProva::Chiedi(const QString& prompt)
{
    mostrati_.append(prompt);
    return inputResponder_ ? inputResponder_(prompt) : QString();
}

void OperatoreProva::Azzera()
{
    responder_ = nullptr;
    inputResponder_ = nullptr;
    mostrati_.clear();
    clessidra_ = false;
}

OperatoreProva& OperatoreDiProva()
{
    static OperatoreProva operatore;
    return operatore;
}

Sessione& SessioneProva()
{
    static Sessione sessione(OperatoreDiProva());
    return sessione;
}

}  // namespace corvale::prova
