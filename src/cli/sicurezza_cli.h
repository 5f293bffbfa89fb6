#pragma once
// What corvale-cli adds to the safety gate: the gate's notices on stderr, a damaged archive refused
// with a pointer to `corvale-cli ripara` (no question is asked), the flag --senza-copia, and the
// opening of the archive alone for the commands that work only on it (registro, annulla,
// ripristina, ripara).
#include "ambiente_cli.h"

#include <QStringList>

namespace corvale::cli {

// Sets the session's gate for a run without an operator: its notices, and no safety copy when
// senzaCopia.
void PreparaSicurezzaCli(const Sessione& s, bool senzaCopia);
// Removes --senza-copia from args; true when it was there.
bool TogliSenzaCopia(QStringList& args);
// Reads --programma/--archivio and opens DbArchivi only. kEsitoRiuscito, or kEsitoNonEseguito with
// the message in errore (and the engine's error number in numero, when given: dbe::err::DiskFull
// for a full disk).
int ApriSoloArchivio(Sessione& s, const QStringList& args, QString& errore, int* numero = nullptr);

}  // namespace corvale::cli
