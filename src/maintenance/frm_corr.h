#pragma once
// FrmCorr: the problem-record view of the maintenance window, a frame placed in the window's upper
// area. From top to bottom: the heading LDescr(0), the grid DBGrid1, the progress bar PBar, the hint
// LDescr(2) with "Seleziona Tutti" (PulsSelAll), and the action options OptCorr(0) "Elimina",
// OptCorr(1) "Associa a ---->" with the combo box DbCmb, and OptCorr(2) (the fixed code). The
// widgets only bind a VistaCorrezione: the set-up, select-all and the corrections are the same
// functions that corvale-cli runs. Child objects carry these names as their objectName. An edit
// typed into the grid is written only when the operator confirms it (GrigliaRecord::ConcludiModifica):
// before a correction, a new set-up or "Seleziona Tutti", and when the view or its window closes.
#include "barra_avanzamento.h"
#include "records/task_correzione.h"
#include "records/vista_correzione.h"

#include <QFrame>
#include <QPointer>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace corvale {

class Sessione;

class GrigliaRecord;

class FrmCorr : public QFrame {
    Q_OBJECT
public:
    explicit FrmCorr(Sessione& sessione, QWidget* parent = nullptr);
    ~FrmCorr() override;

    // The set-up for a data-check task (EN, ENC, ENP). False, with the engine's message shown and
    // the view unchanged, when a query of the set-up fails.
    bool AttivaCorrezioneRecord(const TaskCorrezione& task);
    // The same, leaving a failing query's engine error to the caller.
    void ApriCorrezioneRecord(const TaskCorrezione& task);
    // The corrections, for EN/ENC and for ENP tasks. A grid edit under way is settled first.
    void GestisciCorrezioneEN(const TaskCorrezione& task);
    void GestisciCorrezioneENP(const TaskCorrezione& task);
    // Rows selected in the grid (the window's "Nessun record selezionato." test).
    qint64 RecordSelezionati() const { return vista_.Selezione.Count(); }
    void PulsSelAll_Click();

    VistaCorrezione& Vista() { return vista_; }
    BarraAvanzamento& Barra() { return barra_; }

    QLabel* LDescr0;
    GrigliaRecord* DBGrid1;
    QProgressBar* PBar;
    QLabel* LDescr2;
    QPushButton* PulsSelAll;
    QRadioButton* OptCorr[3];
    QComboBox* DbCmb;

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void mostraOpzioni();
    void riempiCombo();
    void mostraScelta();

    VistaCorrezione vista_;
    BarraAvanzamento barra_;
    bool aggiornando_ = false;
    int sceltaCombo_ = -1;  // the entry last chosen from the list (the first after set-up)
    bool dallaLista_ = false;  // the activation under way comes from the list
    QPointer<QWidget> finestra_;  // the window holding the view, watched for its closing
};

}  // namespace corvale
