#pragma once
// MotivoErrore: why the last structure correction failed, kept for the corrections list and
// corvale-cli. The correction routines report failure only through their truth value; on the way
// out they note here the engine's error that stopped them (number and description), or a refusal
// of their own given as an engine error of the same table. The dispatcher clears the note before
// each row and reads it after. Only the first error noted since the clearing is kept: what a
// failure sets off afterwards (a rollback, a refresh) does not hide its cause.
#include "dbengine/dberror.h"

#include <QString>

namespace corvale {

struct MotivoErrore {
    int numero = 0;  // 0: nothing noted
    QString descrizione;
    bool vuoto() const { return numero == 0 && descrizione.isEmpty(); }
    // "Errore 3315: Il campo 'X' non può essere una stringa di lunghezza zero."; empty when nothing
    // was noted.
    QString testo() const;
};

void AzzeraMotivoErrore();
void RegistraMotivoErrore(const dbe::DbError& e);
const MotivoErrore& UltimoMotivoErrore();

}  // namespace corvale
