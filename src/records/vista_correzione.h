#pragma once
// VistaCorrezione: the problem-record view without its widgets. It holds the two record sources
// (DtRow, the problem records the grid shows; DtColl, the master records the combo box lists), the
// chosen action, what the view shows (options, combo box entries and text, heading), the grid's
// selection and the progress bar. The set-up, "Seleziona Tutti", the choice of a combo entry and the
// corrections (correzione_en.h, correzione_enp.h) work on it; the window (FrmCorr) and corvale-cli
// drive the same object, so both run the same code. Questions and notices go to the session's
// operator.
#include "avanzamento.h"
#include "selezione_record.h"
#include "task_correzione.h"

#include "dbengine/dbengine.h"

#include <QString>
#include <QVector>
#include <functional>

namespace corvale {

class Sessione;

// The three actions, as the index of their option button OptCorr(i).
enum OpzioneCorrezione { OptElimina = 0, OptAssocia = 1, OptFisso = 2 };

inline const QString kTitoloVista = QStringLiteral("Elenco Record con problemi");
inline const QString kCaptionAssocia = QStringLiteral("Associa a ---->");

struct VoceCombo {
    QString Testo;  // field P(4) of the master record, Null as ""
    dbe::Bookmark Segnalibro = 0;  // the master record in DtColl
};

class VistaCorrezione {
public:
    explicit VistaCorrezione(Sessione& sessione);
    VistaCorrezione(const VistaCorrezione&) = delete;
    VistaCorrezione& operator=(const VistaCorrezione&) = delete;

    // The open archive and the operator.
    Sessione& sessione() const { return sessione_; }

    dbe::Recordset DtRow;  // problem records (the grid)
    dbe::Recordset DtColl;  // master records (the combo box), ENC tasks only

    int Opzione = OptElimina;  // the chosen OptCorr button
    bool OpzioneVisibile[3] = {true, true, false};
    QString CaptionOpzione2 = kCaptionAssocia;
    bool ComboVisibile = true;
    QVector<VoceCombo> VociCombo;
    QString TestoCombo;  // the combo box's own text (the operator may type into it)
    QString Titolo = kTitoloVista;

    SelezioneRecord Selezione;
    Avanzamento* Barra;  // never null: a bar that does nothing unless the window sets its own

    // Told to the window: DtRow was replaced or re-run (the grid rebinds, its selection is empty);
    // DtColl and the combo entries were replaced; the selection changed.
    std::function<void()> DtRowCambiato;
    std::function<void()> DtCollCambiato;
    std::function<void()> SelezioneCambiata;

    void NotificaDtRow()
    {
        if (DtRowCambiato)
            DtRowCambiato();
    }
    void NotificaDtColl()
    {
        if (DtCollCambiato)
            DtCollCambiato();
    }
    void NotificaSelezione()
    {
        if (SelezioneCambiata)
            SelezioneCambiata();
    }

private:
    Sessione& sessione_;
    AvanzamentoNullo barraNulla_;
};

// The query whose records the grid shows for a task, the one its check counted: "SELECT * FROM "
// and P(0) for EN and ENP, the orphan-record query (CreaSqlNotIn) for ENC; empty for other types.
QString SqlRecordProblema(const TaskCorrezione& task);

// The set-up for one task of type EN, ENC or ENP: opens the grid's query (and, for ENC, the master
// table) on the archive database, sets the options, the combo box and the heading. Engine errors go
// to the caller and leave the view as it was.
void ApriCorrezioneRecord(VistaCorrezione& v, const TaskCorrezione& task);
// The same, for the window: a failing query is reported to the operator with the engine's
// description, the view is left as it was and the result is false.
bool AttivaCorrezioneRecord(VistaCorrezione& v, const TaskCorrezione& task);

// "Seleziona Tutti": every record of DtRow joins the selection once, after the rows already
// selected, in record-set order (the ones the grid has not shown yet too: the set lists them all
// first). The selection holds them as runs of bookmarks, not a row each. Nothing happens on an
// empty grid.
void SelezionaTutti(VistaCorrezione& v);

// The operator clicked in the combo box while it held entry i as selected: DtColl moves to that
// entry's record. The combo text is not touched (the box shows the chosen entry's text itself). An
// index outside the list leaves the master record where it is.
void ScegliVoceCombo(VistaCorrezione& v, int i);

// Re-runs the grid's query; the selection is emptied (its bookmarks no longer designate rows).
// An engine error is reported to the operator.
void RieseguiDtRow(VistaCorrezione& v);

// The message shown when the engine refuses an operation: a fixed text, a carriage return, the
// engine's description.
QString MessaggioErrore(const QString& testo, const dbe::DbError& e);

}  // namespace corvale
