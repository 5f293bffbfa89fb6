#include "correzione_en.h"

#include "app/messaggi.h"

namespace corvale {

namespace {

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

void GestisciCorrezioneEN(VistaCorrezione& v, const TaskCorrezione& task)
{
    if (v.Selezione.Count() == 0 || v.DtRow.isNull()) {
        Messaggi::Mostra(kNessunRecord);
        return;
    }
    const int opzione = v.Opzione;
    if (opzione == OptElimina) {
        if (Messaggi::Mostra(kDomandaElimina, Pulsanti::SiNo) != Risposta::Si)
            return;
    } else {
        if (opzione == OptAssocia && (v.TestoCombo.isEmpty() || !MasterScelto(v))) {
            Messaggi::Mostra(kNessunValore);
            return;
        }
        if (Messaggi::Mostra(kDomandaRiassegna, Pulsanti::SiNo) != Risposta::Si)
            return;
    }

    const QString campo = task.Param(2);
    QString errore;
    {
        ClessidraAttivata clessidra;
        v.Barra->ImpostaValore(0);
        v.Barra->ImpostaMassimo(v.Selezione.Count());
        v.Barra->Mostra(true);
        try {
            while (v.Selezione.Count() > 0) {
                v.Barra->Avanza();
                v.DtRow.SetBookmark(v.Selezione.Item(0));
                if (opzione == OptElimina) {
                    v.DtRow.Delete();
                } else {
                    const QVariant valore = opzione == OptAssocia ? v.DtColl.Value(task.Param(3))
                                                                  : QVariant(task.Param(5));
                    v.DtRow.Edit();
                    v.DtRow.SetValue(campo, valore);
                    v.DtRow.Update();
                }
                v.Selezione.RemoveAt(0);
            }
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
        v.Barra->Mostra(false);
        RieseguiDtRow(v);
    }
    if (!errore.isEmpty())
        Messaggi::Mostra(errore);
}

}  // namespace corvale
