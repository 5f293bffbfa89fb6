#pragma once
// MotivoErrore and EsitoCorrezione: the outcome of one structure correction, returned by each
// correction routine and read by the corrections list and corvale-cli. A routine that fails returns
// the engine's error that stopped it (number and description), or a refusal of its own given as an
// engine error of the same table. The reason is taken when the failure happens: what the failure
// sets off afterwards (a rollback, a refresh) does not hide its cause. No state is kept anywhere
// else.
#include "dbengine/db_error.h"

#include <QString>

namespace corvale {

struct MotivoErrore {
    int numero = 0;  // 0: no reason
    QString descrizione;
    bool vuoto() const { return numero == 0 && descrizione.isEmpty(); }
    // "Errore 3315: Il campo 'X' non può essere una stringa di lunghezza zero."; empty without a
    // reason.
    QString testo() const;
};

// Done, or not done with its reason. Tests as its truth value.
struct EsitoCorrezione {
    bool fatta = false;
    MotivoErrore motivo;  // empty when done
    explicit operator bool() const { return fatta; }

    static EsitoCorrezione Fatta() { return EsitoCorrezione{true, {}}; }
    static EsitoCorrezione Fallita(const dbe::DbError& e);
};

}  // namespace corvale
