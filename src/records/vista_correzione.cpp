#include "vista_correzione.h"

#include "testo_valore.h"

#include "core/sessione.h"

#include "checks/controllo_recup.h"
#include "dbengine/stored_rows.h"

namespace corvale {

VistaCorrezione::VistaCorrezione(Sessione& sessione) : Barra(&barraNulla_), sessione_(sessione) {}

QString MessaggioErrore(const QString& testo, const dbe::DbError& e)
{
    return testo + QChar(13) + SpiegazioneErrore(e);
}

QString SqlRecordProblema(const TaskCorrezione& task)
{
    if (task.Genere() == GenereTask::RecordNulli || task.Genere() == GenereTask::RecordAccoppiati)
        return QStringLiteral("SELECT * FROM ") + task.Param(0);
    if (task.Genere() == GenereTask::RecordOrfani)
        return CreaSqlNotIn(task.Param(0), task.Param(1), task.Param(2), task.Param(3));
    return QString();
}

void ApriCorrezioneRecord(VistaCorrezione& v, const TaskCorrezione& task)
{
    ClessidraAccesa clessidra(v.sessione().operatore());
    const QString sqlSelect = QStringLiteral("SELECT * FROM ");
    if (task.Genere() == GenereTask::RecordNulli || task.Genere() == GenereTask::RecordAccoppiati) {
        dbe::Recordset righe =
            v.sessione().DbArchivi.OpenRecordset(SqlRecordProblema(task), dbe::dbOpenDefault, dbe::dbInconsistent);
        v.DtRow = righe;
        v.Selezione.Clear();
        v.ComboVisibile = false;
        v.OpzioneVisibile[OptAssocia] = false;
        v.OpzioneVisibile[OptFisso] = false;
        v.Opzione = OptElimina;
    } else if (task.Genere() == GenereTask::RecordOrfani) {
        dbe::Recordset righe =
            v.sessione().DbArchivi.OpenRecordset(SqlRecordProblema(task), dbe::dbOpenDefault, dbe::dbInconsistent);
        dbe::Recordset master = v.sessione().DbArchivi.OpenRecordset(sqlSelect + task.Param(1));
        // The combo box lists field P(4) of every master record, in the record set's order: that
        // field alone, read for all of them at once.
        QVector<VoceCombo> voci;
        const QString campo = task.Param(4);
        if (master.RecordCount() > 0) {
            const auto valori = dbe::ReadFieldOfAll(master, campo);
            voci.reserve(valori.size());
            for (const auto& [segnalibro, valore] : valori)
                voci.append({TestoValore(valore), segnalibro});
            master.MoveFirst();
        }
        v.DtRow = righe;
        v.Selezione.Clear();
        v.DtColl = master;
        v.VociCombo = voci;
        v.ComboVisibile = true;
        if (!task.Param(5).isEmpty()) {
            v.CaptionOpzione2 = QStringLiteral("Associa a ---> ") + task.Param(5);
            v.OpzioneVisibile[OptFisso] = true;
        } else {
            v.OpzioneVisibile[OptFisso] = false;
        }
        v.TestoCombo = voci.isEmpty() ? QString() : voci.first().Testo;
        v.OpzioneVisibile[OptAssocia] = true;
        v.Opzione = OptAssocia;
        v.NotificaDtColl();
    } else {
        return;
    }
    v.Titolo = task.Descrizione;
    v.NotificaDtRow();
}

bool AttivaCorrezioneRecord(VistaCorrezione& v, const TaskCorrezione& task)
{
    try {
        ApriCorrezioneRecord(v, task);
        return true;
    } catch (const dbe::DbError& e) {
        // Every engine error: the view does not open and the operator reads why.
        v.sessione().operatore().Mostra(
            MessaggioErrore(QStringLiteral("Impossibile visualizzare i record del controllo."), e));
        return false;
    }
}

void SelezionaTutti(VistaCorrezione& v)
{
    if (v.DtRow.isNull() || !v.DtRow.IsOpen())
        return;
    try {
        if (v.DtRow.RecordCount() == 0)
            return;
        ClessidraAccesa clessidra(v.sessione().operatore());
        struct BarraNascosta {
            Avanzamento* b;
            ~BarraNascosta() { b->Mostra(false); }
        } nascondi{v.Barra};
        // Every record is listed first; the bookmarks of the set's records in its order are
        // consecutive, so the selection takes them as runs: one run when no record of the set was
        // deleted through it, else one per stretch of live records.
        const qint64 quanti = v.DtRow.RecordCount();
        v.DtRow.MoveFirst();
        const dbe::Bookmark primo = v.DtRow.GetBookmark();
        v.DtRow.MoveLast();
        const dbe::Bookmark ultimo = v.DtRow.GetBookmark();
        v.Barra->ImpostaMassimo(quanti);
        v.Barra->Mostra(true);
        if (ultimo - primo + 1 == quanti) {
            v.Selezione.AddIntervallo(primo, ultimo);
            v.Barra->ImpostaValore(quanti);
        } else {
            v.Barra->ImpostaValore(0);
            v.DtRow.MoveFirst();
            dbe::Bookmark inizio = v.DtRow.GetBookmark(), fine = inizio;
            for (v.DtRow.MoveNext(); !v.DtRow.Eof(); v.DtRow.MoveNext()) {
                const dbe::Bookmark b = v.DtRow.GetBookmark();
                if (b != fine + 1) {
                    v.Selezione.AddIntervallo(inizio, fine);
                    inizio = b;
                }
                fine = b;
                v.Barra->Avanza();
            }
            v.Selezione.AddIntervallo(inizio, fine);
            v.Barra->ImpostaValore(quanti);
        }
        v.DtRow.MoveLast();
        v.DtRow.MoveNext();  // past the last record, where the walk through every row used to end
    } catch (const dbe::DbError& e) {
        // Every engine error: the selection made so far is shown and the operator reads why it
        // stopped; nothing was changed.
        v.NotificaSelezione();
        v.sessione().operatore().Mostra(MessaggioErrore(QStringLiteral("Impossibile selezionare i record."), e));
        return;
    }
    v.NotificaSelezione();
}

void ScegliVoceCombo(VistaCorrezione& v, int i)
{
    if (i < 0 || i >= v.VociCombo.size() || v.DtColl.isNull())
        return;
    try {
        v.DtColl.SetBookmark(v.VociCombo.at(i).Segnalibro);
    } catch (const dbe::DbError& e) {
        // Every engine error: the choice is not made and the operator reads why.
        v.sessione().operatore().Mostra(MessaggioErrore(QStringLiteral("Impossibile scegliere il record."), e));
    }
}

void RieseguiDtRow(VistaCorrezione& v)
{
    v.Selezione.Clear();
    if (!v.DtRow.isNull()) {
        try {
            v.DtRow.Requery();
        } catch (const dbe::DbError& e) {
            // Every engine error: the list keeps what it showed and the operator reads why.
            v.NotificaDtRow();
            v.sessione().operatore().Mostra(
                MessaggioErrore(QStringLiteral("Impossibile aggiornare l'elenco dei record."), e));
            return;
        }
    }
    v.NotificaDtRow();
}

}  // namespace corvale
