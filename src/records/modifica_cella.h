#pragma once
// The edit of one record typed into the problem-record grid, written the way every change of the
// archive is written: the gate first (PrimaDellaModifica), then a journal entry of kind
// "modifica record" told of the record as it was, then the fields in one transaction, which commits
// only after the journal holds the record. The change can be undone like any other (AnnullaModifica,
// "corvale-cli annulla", the journal window). The window's grid and any other caller run this same
// code; the window only decides when the operator asked for the write.
//
// Callers may rely on: only fields of the record's own table (the first table of the grid's query;
// over a join, its bare or "TABLE.FIELD" names) are written; a refused write (the gate, the engine's
// field rules, a record deleted meanwhile, a journal that cannot be written) changes nothing in the
// archive and leaves the record set with no edit pending.
#include "dbengine/dbengine.h"

#include <QMap>
#include <QString>
#include <QVector>

namespace corvale {

class Sessione;

// For each field of rs, whether an edit in place may write it: rs can be updated and the field is
// a column of the table its records come from. Reads rs's first record (moves its current record).
QVector<bool> CampiModificabili(const Sessione& s, dbe::Recordset& rs);

struct EsitoModificaRecord {
    bool scritta = false;
    // Why not, for the operator; empty when the gate refused (it told the operator itself).
    QString messaggio;
    qint64 voce = 0;  // the journal entry (0 without a journal)
};

// Writes `valori` (field index of rs -> value as the field takes it) into the record of rs at `bm`.
// `chiave` and `descrizione` name the task in the journal.
EsitoModificaRecord ScriviModificaRecord(const Sessione& s, dbe::Recordset& rs, dbe::Bookmark bm,
                                         const QMap<int, QVariant>& valori, const QString& chiave,
                                         const QString& descrizione);

}  // namespace corvale
