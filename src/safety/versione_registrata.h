#pragma once
// The version stamp written as the operator's change: journaled like every change of the archive
// (a journal entry of kind "versione" with the record's former stamp, committed before the write),
// so that it passes the write guard and can be undone. Reading the stamp and the unguarded write
// a fresh archive needs are in core/versione.h.
#include <QString>

namespace corvale {

class Sessione;

// Writes `Valore` into VERSDB of the first record of AGENZIA of the session's archive, through the
// journal; the engine's error when the archive refuses it.
void VersioneDb(const Sessione& s, const QString& Valore);

}  // namespace corvale
