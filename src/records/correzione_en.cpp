#include "correzione_en.h"

#include "core/sessione.h"

#include <QElapsedTimer>

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
    ~BloccoModifiche()
    {
        try {
            chiudi();
        } catch (const dbe::DbError&) {
        }
    }
    // One record handled: commits the block when it is full or old enough.
    void Avanza()
    {
        if (!attivo_ || (++record_ < kRecordBlocco && orologio_.elapsed() < kMsBlocco))
            return;
        chiudi();
        apri();
    }
    // Commits what was done so far; the block ends.
    void Chiudi() { chiudi(); }

private:
    static constexpr int kRecordBlocco = 1000;
    static constexpr qint64 kMsBlocco = 250;

    void apri()
    {
        if (!attivo_)
            return;
        dbe::Workspace::Default().BeginTrans();
        aperto_ = true;
        try {
            db_.Execute(QStringLiteral("DELETE FROM [") + tabella_ + QStringLiteral("] WHERE 1 = 0"));
        } catch (const dbe::DbError& e) {
            if (e.number() != dbe::err::CouldNotUpdateLocked)
                return;  // not a plain table name: the block takes the right at its first write
            aperto_ = false;
            dbe::Workspace::Default().Rollback();
            throw;
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
        return false;
    }
}

}  // namespace

QString SincronizzaArchivio(const dbe::Database& db)
{
    try {
        if (!db.isNull() && db.IsOpen())
            dbe::SyncToDisk(db);
        return QString();
    } catch (const dbe::DbError& e) {
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
    if (opzione == OptElimina) {
        if (v.sessione().operatore().Mostra(kDomandaElimina, Pulsanti::SiNo) != Risposta::Si)
            return;
    } else {
        if (opzione == OptAssocia && (v.TestoCombo.isEmpty() || !MasterScelto(v))) {
            v.sessione().operatore().Mostra(kNessunValore);
            return;
        }
        if (v.sessione().operatore().Mostra(kDomandaRiassegna, Pulsanti::SiNo) != Risposta::Si)
            return;
    }

    const QString campo = task.Param(2);
    QString errore;
    {
        ClessidraAccesa clessidra(v.sessione().operatore());
        v.Barra->ImpostaValore(0);
        v.Barra->ImpostaMassimo(v.Selezione.Count());
        v.Barra->Mostra(true);
        try {
            BloccoModifiche blocco(v.sessione().DbArchivi, task.Param(0).section(QLatin1Char(' '), 0, 0));
            while (v.Selezione.Count() > 0) {
                v.Barra->Avanza();
                v.DtRow.SetBookmark(v.Selezione.Item(0));
                try {
                    if (opzione == OptElimina) {
                        v.DtRow.Delete();
                    } else {
                        const QVariant valore = opzione == OptAssocia ? v.DtColl.Value(task.Param(3))
                                                                      : QVariant(task.Param(5));
                        v.DtRow.Edit();
                        v.DtRow.SetValue(campo, valore);
                        v.DtRow.Update();
                    }
                } catch (const dbe::DbError& e) {
                    // A record deleted meanwhile (by another program; a new record may even hold
                    // its place) is left alone: there is nothing of it to correct.
                    if (e.number() != dbe::err::RecordDeleted)
                        throw;
                    if (v.DtRow.EditMode() != dbe::dbEditNone)
                        v.DtRow.CancelUpdate();
                }
                v.Selezione.RemoveAt(0);
                blocco.Avanza();
            }
            blocco.Chiudi();
        } catch (const dbe::DbError& e) {
            // A refused write leaves the edit pending: drop it before stopping.
            try {
                if (v.DtRow.EditMode() != dbe::dbEditNone)
                    v.DtRow.CancelUpdate();
            } catch (const dbe::DbError&) {
            }
            errore = MessaggioErrore(
                QStringLiteral("Impossibile completare la correzione."),
                e);
        }
        // The records changed are on the disk before the walk reports.
        const QString sincronia = SincronizzaArchivio(v.sessione().DbArchivi);
        if (errore.isEmpty())
            errore = sincronia;
        v.Barra->Mostra(false);
        RieseguiDtRow(v);
    }
    if (!errore.isEmpty())
        v.sessione().operatore().Mostra(errore);
}

}  // namespace corvale
