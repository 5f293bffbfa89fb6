#pragma once
// The gate before the first change of a session. Every routine that changes the archive (the
// stamp, the record corrections, the structure corrections, an undo) calls PrimaDellaModifica
// first; the first call for an archive in this process (a window session or a corvale-cli run):
//   1. opens the archive's journal and settles the entries a previous session left unfinished;
//   2. checks the archive's integrity (the tables the change names, else all of them) and, on a
//      damaged archive, refuses the change and offers the repair (integrita.h);
//   3. writes a safety copy (copia_sicurezza.h) and says where, once (for a change that names its
//      tables, the copy is written while step 2 checks them, of the same state: VerificaECopia);
// and later calls pass at once. When the journal cannot be written or the copy cannot be made the
// change is refused with an Italian message and nothing has changed. The gate's state lives in the
// session (Sessione::Protezione): a new session starts with no archive prepared. What talks to the
// operator is set by the program (windows or corvale-cli) in Sicurezza(s); unset, the notice is
// dropped, and the refusals and the offer of a repair go to the session's operator.
#include "registro.h"

#include "core/sessione.h"

#include "dbengine/file_copy.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace corvale {

struct ImpostazioniSicurezza {
    bool senzaCopia = false;  // corvale-cli --senza-copia: go on without a safety copy
    // The notice of the copy made ("Copia di sicurezza dell'archivio salvata in ...").
    std::function<void(const QString& testo)> avviso;
    // Offered a repair of a damaged archive (message with the problems): true to repair now.
    std::function<bool(const QString& testo)> offriRiparazione;
    // Progress of the integrity check and of the copy: `cosa` says which.
    std::function<void(const QString& cosa, qint64 fatto, qint64 totale)> avanzamento;
    // The free bytes of a folder; empty: the file system's own measure (tests simulate a full disk).
    std::function<qint64(const QString& cartella)> spazioLibero;
};
ImpostazioniSicurezza& Sicurezza(const Sessione& s);

// Texts of the gate.
QString MessaggioArchivioDanneggiato(const QStringList& problemi);
QString AvvisoCopia(const QString& copia);

// Journals what an integrity check of the session's archive found: a damage always, soundness only
// after a damage was journaled (so that the warning below ends).
void RegistraVerifica(Registro& reg, const QStringList& problemi);
// The warning the checks give on an archive that this session's verification (below) found
// damaged, or whose last integrity check in the journal found it damaged and that was not repaired
// since; empty otherwise.
QString AvvisoArchivioDanneggiato(const Sessione& s);
// Before the first check of the session on its archive: the cheap verification of its indexes
// (IndiciIncompleti); what it finds is kept for the session (and journaled when the archive has a
// journal already: none is made for this), so that the warning above is given with the counts of
// this very run. Later calls for the same archive do nothing. The problems found.
QStringList VerificaPrimaDeiControlli(const Sessione& s);

// The gate on the session's archive: true when the change may go on. A change that writes only
// some tables names them: the integrity check then covers those tables and their indexes only.
// The check's verdict is kept for the session with the file's stamp (ImprontaArchivio): a gate
// refused after it (no copy, the journal not writable) and tried again reuses it while no commit
// touched the file, and checks again otherwise.
bool PrimaDellaModifica(const Sessione& s, const QStringList& tabelle = {});
// The journal of the session's archive once the gate has passed for it; nullptr before.
std::shared_ptr<Registro> RegistroSessione(const Sessione& s);
// The journal of the session's open archive, gate or not (opened on first use and then shared by
// everything of the session); nullptr without an open archive or when the journal cannot be
// opened, with the reason in errore.
std::shared_ptr<Registro> RegistroPer(const Sessione& s, QString* errore = nullptr);
// The safety copy of the session of that archive (empty without one).
QString CopiaSessione(const Sessione& s);
// Forgets what the gate knows of this session (its archives prepared, its journals, its settings).
void AzzeraSicurezza(const Sessione& s);

}  // namespace corvale
