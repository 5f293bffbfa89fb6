#include "support/sessione_prova.h"

#include "safety/guardia_archivio.h"

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
    static const bool libera = [] {
        // Fixtures write their archives through the session's handle: the guard refuses nothing
        // unless a test arms it (AzzeraAmbiente disarms it again).
        sessione.DbArchivi.Guardia()->Arma(false);
        return true;
    }();
    (void)libera;
    return sessione;
}

}  // namespace corvale::prova
