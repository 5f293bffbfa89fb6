#include "correzione_en.h"

#include "core/sessione.h"
#include "safety/modifica_registrata.h"
#include "safety/sessione_sicurezza.h"

#include <QElapsedTimer>
#include <QThread>

namespace corvale {

namespace {

// Groups the walk's changes into short transactions: a commit for every record makes the file
// write and checksum the same index pages again for each one, which on a large archive costs more
// than the changes themselves. A block is committed after kRecordBlocco records or kMsBlocco
// milliseconds, and always before the walk returns, so a change is on disk within a fraction of a
// second; a change the engine refuses undoes only itself, and the records handled before it stay
// changed. When the caller already has a transaction open, the walk leaves it alone.
//
// Each block takes the right to write the archive before it reads anything (waiting, within the
// busy timeout, for another program that is writing): a block that read first would meet any record
// another program committed meanwhile at its first write, and fail at once instead of waiting.
class BloccoModifiche {
public:
    BloccoModifiche(dbe::Database db, QString tabella)
        : attivo_(dbe::Workspace::Default().TransactionLevel() == 0), db_(std::move(db)), tabella_(std::move(tabella))
    {
        apri();
    }
    BloccoModifiche(const BloccoModifiche&) = delete;  // one block, one commit or rollback
    BloccoModifiche& operator=(const BloccoModifiche&) = delete;
    ~BloccoModifiche()
    {
        try {
            chiudi();
        } catch (const dbe::DbError&) {
            // Swallows every engine error: a destructor may not throw, and it runs either after
            // Chiudi() (nothing left to close) or while the walk's own error unwinds, which is the
            // one the operator is told; the block's changes are then rolled back or journaled.
        }
    }
    // Records handled: commits the block when it is full or old enough.
    void Avanza(int quanti = 1)
    {
        record_ += quanti;
        if (!attivo_ || (record_ < kRecordBlocco && orologio_.elapsed() < kMsBlocco))
            return;
        chiudi();
        apri();
    }
    // Commits what was done so far; the block ends.
    void Chiudi() { chiudi(); }
    // Takes back what the open block did; the block ends. After the archive's file was moved, a
    // commit would go into the log left at its old path, which a file put there would read.
    void Abbandona()
    {
        if (!aperto_)
            return;
        aperto_ = false;
        dbe::Workspace::Default().Rollback();
    }

private:
    static constexpr int kRecordBlocco = 1000;
    static constexpr qint64 kMsBlocco = 250;
    // The engine's busy timeout: how long another program's write is waited for.
    static constexpr qint64 kAttesaMs = 3000;

    // Reading the table's description before the first write starts the transaction's read: when
    // another program commits before the write, SQLite refuses the write at once (the transaction
    // read a state that is gone, or the other program holds the lock at that instant, and SQLite
    // does not wait inside a transaction that has read). A program that writes often and briefly
    // meets that at almost every block: the block is then given up, nothing in it having been
    // done, and begun again from a fresh read, for as long as the busy timeout.
    void apri()
    {
        if (!attivo_)
            return;
        QElapsedTimer attesa;
        attesa.start();
        for (;;) {
            dbe::Workspace::Default().BeginTrans();
            aperto_ = true;
            try {
                db_.Execute(QStringLiteral("DELETE FROM [") + tabella_ + QStringLiteral("] WHERE 1 = 0"));
                break;
            } catch (const dbe::DbError& e) {
                if (e.number() != dbe::err::CouldNotUpdateLocked)
                    return;  // not a plain table name: the block takes the right at its first write
                aperto_ = false;
                dbe::Workspace::Default().Rollback();
                if (attesa.elapsed() >= kAttesaMs)
                    throw;
                QThread::msleep(2);
            }
        }
        record_ = 0;
        orologio_.start();
    }
    void chiudi()
    {
        if (!aperto_)
            return;
        aperto_ = false;
        dbe::Workspace::Default().CommitTrans();
    }

    bool attivo_;
    dbe::Database db_;
    QString tabella_;
    bool aperto_ = false;
    int record_ = 0;
    QElapsedTimer orologio_;
};

// True when DtColl has a current master record to take the key from.
bool MasterScelto(const VistaCorrezione& v)
{
    try {
        return !v.DtColl.isNull() && v.DtColl.IsOpen() && !v.DtColl.Eof() && !v.DtColl.Bof()
               && v.DtColl.RecordCount() > 0;
    } catch (const dbe::DbError&) {
        // Swallows every engine error: a master set that cannot even say where it stands (closed,
        // its file gone) has no record to take the key from, which is the answer asked for.
        return false;
    }
}

// The delete walk over the whole selection, a group of records at a time: the group's records that
// still hold what the grid listed are read, journaled and deleted by one statement each way, their
// rows visited in order (dbe::DeleteListedRows), instead of a check, a read and a delete for each
// record. The bar advances by one for each record of a group once the group is done, and the file is
// checked to be the archive's before each group and once the group is done, so a walk whose archive
// was moved stops at the group that met it, before that group is committed. The records left alone (changed or replaced
// by another program) are counted in lasciati as they are met, each named in the journal; the selection is emptied as
// the groups are taken from it.
void EliminaAGruppi(VistaCorrezione& v, ModificaRegistrata& voce, BloccoModifiche& blocco, qint64& lasciati)
{
    // A group is a quarter of a block: the block's time limit still commits within a fraction of a
    // second, and each statement handles enough rows to read their pages in one pass.
    constexpr int kGruppo = 250;
    const dbe::Database db = v.sessione().DbArchivi;
    QVector<dbe::Bookmark> gruppo;
    gruppo.reserve(kGruppo);
    while (v.Selezione.Count() > 0) {
        dbe::CheckSameFile(db);
        gruppo.clear();
        while (gruppo.size() < kGruppo && v.Selezione.Count() > 0) {
            gruppo << v.Selezione.Item(0);
            v.Selezione.RemoveAt(0);
        }
        const std::vector<dbe::RowState> esiti =
            dbe::DeleteListedRows(v.DtRow, gruppo, [&voce](const dbe::RowRef& riga, const dbe::StoredRow& prima) {
                RecordRegistro r;
                r.tabella = riga.table;
                r.riga = riga.rowid;
                r.prima = prima;
                voce.Record(r);
            });
        for (int k = 0; k < gruppo.size(); ++k) {
            // One deleted meanwhile by another program is passed over; one changed or replaced (a
            // new record may even hold its row number and its key) is left alone and counted.
            if (esiti[size_t(k)] != dbe::RowState::Changed)
                continue;
            v.DtRow.SetBookmark(gruppo.at(k));
            ++lasciati;
            voce.Lasciato(DescriviRiga(v.DtRow));
        }
        for (int k = 0; k < gruppo.size(); ++k)
            v.Barra->Avanza();
        // Once a group, not once a record: the group's records were written by one statement, and
        // a file moved while the bar advanced is met here, before the block commits them.
        dbe::CheckSameFile(db);
        blocco.Avanza(int(gruppo.size()));
    }
}

// Asks the operator what the chosen option needs: the delete's confirmation, or a master record
// and the reassignment's confirmation. False when the walk is not to run.
bool ConfermaCorrezione(VistaCorrezione& v)
{
    Operatore& op = v.sessione().operatore();
    const int opzione = v.Opzione;
    if (opzione == OptElimina)
        return op.Mostra(kDomandaElimina, Pulsanti::SiNo) == Risposta::Si;
    if (opzione == OptAssocia && (v.TestoCombo.isEmpty() || !MasterScelto(v))) {
        op.Mostra(kNessunValore);
        return false;
    }
    return op.Mostra(kDomandaRiassegna, Pulsanti::SiNo) == Risposta::Si;
}

// One record of the walk, the one the selection starts with, deleted or given its new value as
// opzione says. A record deleted meanwhile by another program is passed over; one changed or
// replaced is left alone and counted in lasciati. Any other engine error goes to the caller.
void CorreggiRecord(VistaCorrezione& v, const TaskCorrezione& task, int opzione, ModificaRegistrata& voce,
                    qint64& lasciati)
{
    v.DtRow.SetBookmark(v.Selezione.Item(0));
    try {
        // Only a record that still holds what the grid listed is changed; the write checks that
        // again itself.
        const dbe::RowState stato = dbe::CurrentRowState(v.DtRow);
        if (stato == dbe::RowState::Changed)
            throw dbe::DbError::make(dbe::err::RecordChanged);
        if (stato == dbe::RowState::Gone)
            throw dbe::DbError::make(dbe::err::RecordDeleted);
        if (opzione == OptElimina) {
            voce.Record(v.DtRow);
            v.DtRow.Delete();
        } else {
            const QString campo = task.Param(2);
            const QVariant valore = opzione == OptAssocia ? v.DtColl.Value(task.Param(3)) : QVariant(task.Param(5));
            voce.Record(v.DtRow, dbe::StoredRow{{campo}, {valore}});
            v.DtRow.Edit();
            v.DtRow.SetValue(campo, valore);
            v.DtRow.Update();
        }
    } catch (const dbe::DbError& e) {
        // A record deleted meanwhile by another program is left alone: there is nothing of it to
        // correct. One changed or replaced (a new record may even hold its row number and its key)
        // is left alone and counted.
        if (e.number() != dbe::err::RecordDeleted && e.number() != dbe::err::RecordChanged)
            throw;
        if (v.DtRow.EditMode() != dbe::dbEditNone)
            v.DtRow.CancelUpdate();
        if (e.number() == dbe::err::RecordChanged || dbe::CurrentRowState(v.DtRow) == dbe::RowState::Changed) {
            ++lasciati;
            voce.Lasciato(DescriviRiga(v.DtRow));
        }
    }
}

// The walk stopped on errato: a pending edit is dropped, the journal says why, and the operator's
// message is returned.
QString FermaCorrezione(VistaCorrezione& v, ModificaRegistrata& voce, const dbe::DbError& errato)
{
    const dbe::DbError e = MotivoFermata(errato, voce);
    // A refused write leaves the edit pending: drop it before stopping.
    try {
        if (v.DtRow.EditMode() != dbe::dbEditNone)
            v.DtRow.CancelUpdate();
    } catch (const dbe::DbError&) {
        // Swallowed: the walk is already stopping on the error above, the one reported.
    }
    const QString errore = MessaggioErrore(QStringLiteral("Impossibile completare la correzione."), e);
    voce.Fermata(e.description());
    return errore;
}

}  // namespace

QString SincronizzaArchivio(const dbe::Database& db)
{
    try {
        if (!db.isNull() && db.IsOpen())
            dbe::SyncToDisk(db);
        return QString();
    } catch (const dbe::DbError& e) {
        // Every engine error: the walk is over and what it did is journaled; the operator reads
        // why the sync failed, whatever its number.
        return MessaggioErrore(QStringLiteral("Impossibile completare la correzione."), e);
    }
}

void GestisciCorrezioneEN(VistaCorrezione& v, const TaskCorrezione& task)
{
    if (v.Selezione.Count() == 0 || v.DtRow.isNull()) {
        v.sessione().operatore().Mostra(kNessunRecord);
        return;
    }
    const int opzione = v.Opzione;
    if (!ConfermaCorrezione(v))
        return;
    const QString tabella = task.Param(0).section(QLatin1Char(' '), 0, 0);

    // The walk writes the records' own table only: the gate checks that table and its indexes.
    if (!PrimaDellaModifica(v.sessione(), {tabella}))
        return;

    QString errore;
    qint64 lasciati = 0;
    {
        ModificaRegistrata voce(v.sessione(),
                                opzione == OptElimina   ? tipo_modifica::Elimina
                                : opzione == OptAssocia ? tipo_modifica::Riassegna
                                                        : tipo_modifica::Fisso,
                                tabella, task.Chiave, task.Descrizione);
        ClessidraAccesa clessidra(v.sessione().operatore());
        v.Barra->ImpostaValore(0);
        v.Barra->ImpostaMassimo(v.Selezione.Count());
        v.Barra->Mostra(true);
        try {
            BloccoModifiche blocco(v.sessione().DbArchivi, tabella);
            try {
                if (opzione == OptElimina)
                    EliminaAGruppi(v, voce, blocco, lasciati);
                while (v.Selezione.Count() > 0) {
                    v.Barra->Avanza();
                    dbe::CheckSameFile(v.sessione().DbArchivi);
                    CorreggiRecord(v, task, opzione, voce, lasciati);
                    v.Selezione.RemoveAt(0);
                    blocco.Avanza();
                }
            } catch (const dbe::DbError& e) {
                if (FallimentoDefinitivo(MotivoFermata(e, voce)))
                    blocco.Abbandona();
                throw;
            }
            blocco.Chiudi();
        } catch (const dbe::DbError& errato) {
            // Every engine error stops the walk: the records done so far stay done and journaled,
            // and the operator is told why it stopped, whatever the number.
            errore = FermaCorrezione(v, voce, errato);
        }
        // The records changed are on the disk before the walk reports.
        const QString sincronia = SincronizzaArchivio(v.sessione().DbArchivi);
        if (errore.isEmpty())
            errore = sincronia;
        v.Barra->Mostra(false);
        RieseguiDtRow(v);
    }
    if (lasciati > 0)
        errore =
            errore.isEmpty() ? MessaggioLasciati(lasciati) : errore + QLatin1Char('\r') + MessaggioLasciati(lasciati);
    if (!errore.isEmpty())
        v.sessione().operatore().Mostra(errore);
}

bool FallimentoDefinitivo(const dbe::DbError& e)
{
    switch (e.number()) {
    case dbe::err::FileReplaced:
    case dbe::err::DiskFull:
    case dbe::err::ReadOnlyDatabase: return true;
    default: return false;
    }
}

dbe::DbError MotivoFermata(const dbe::DbError& e, const ModificaRegistrata& voce)
{
    return voce.RegistroPieno() && !FallimentoDefinitivo(e) ? dbe::DbError::make(dbe::err::DiskFull) : e;
}

QString DescriviRiga(const dbe::Recordset& rs)
{
    const std::optional<dbe::RowRef> ref = dbe::CurrentRow(rs);
    if (!ref)
        return QString();
    QString testo = QStringLiteral("%1, riga %2").arg(ref->table).arg(ref->rowid);
    try {
        if (rs.FieldCount() > 0)
            testo += QStringLiteral(" (%1 = %2)").arg(rs.FieldName(0), rs.Value(0).toString());
    } catch (const dbe::DbError&) {
        // Swallows every engine error: the first field only adds to a description that the table
        // and row number already make whole (a record gone or unreadable has no value to show).
    }
    return testo;
}

}  // namespace corvale
