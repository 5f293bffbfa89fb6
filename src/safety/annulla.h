#pragma once
// Going back: the undo of one journal entry, and the restore of a safety copy over the archive.
// An undo puts back, record by record, what the entry's change deleted or rewrote (and removes what
// an undo put back, when an undo is undone): a deleted record goes back with all its stored values
// unless another record now holds its key; a rewritten record gets its old values back unless it
// changed again since. Each record refused is reported on its own; the others go back, in one
// transaction, and the undo is itself a journal entry. Callers pass the safety gate
// (PrimaDellaModifica) first; both routines work on the session's archive.
#include "registro.h"

#include "core/sessione.h"

#include <QString>
#include <QStringList>

namespace corvale {

struct EsitoAnnulla {
    bool eseguito = false;  // false: nothing changed, the reason in errore
    QString errore;
    qint64 voce = 0;  // the undo's own journal entry
    qint64 rimessi = 0;  // records put back
    QStringList rifiutati;  // one line per record refused
};

EsitoAnnulla AnnullaModifica(const Sessione& s, qint64 id);
// Why entry `id` of the journal cannot be undone at all (unknown, already undone, a kind that is
// not undone record by record, no record changed); empty when it can. Reads only.
QString PerchéNonAnnullabile(Registro& reg, qint64 id);

// The room on disk an undo of entry `id` needs and does not find: the refusal for the operator
// ("Spazio insufficiente: servono N MB in CARTELLA."), empty when there is room. What it counts,
// an upper bound: the archive's shared log index when it is not there yet, the archive's log for
// every page the records put back may touch, the journal's log for the undo's entry and records,
// and with conCopia the safety copy the gate writes first (unless a listed copy holds this very
// state). The room is the disk's free room, and no more than the largest file the process may
// write. Reads only; the archive need not be open.
QString SpazioMancantePerAnnullare(const Sessione& s, Registro& reg, qint64 id, const QString& archivio, bool conCopia);

// Restores the safety copy `copia` over the archive, after a safety copy of the current state;
// refused while another program writes the archive. True on success; the message for the operator
// in `testo` either way.
bool RipristinaCopia(const Sessione& s, const QString& copia, QString& testo);

}  // namespace corvale
