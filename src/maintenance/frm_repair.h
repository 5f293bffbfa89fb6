#pragma once
// FrmRepair: the maintenance window "Manutenzione Archivi". It shows the task list and the
// structure corrections list of its Manutenzione, the status and detail texts, and the four
// buttons Puls0..Puls3 whose meaning depends on the mode (ModoRepair: selection, analysis running,
// results, correction view). Exactly one view is shown at a time (task list, or one correction
// view), so a hidden view never takes the focus or the keys; a correction view stays bound to the
// task it was opened for, and "Esegui" and "Controlla" act on that task. Loading builds a fresh
// catalogue; closing during an analysis only asks the run to stop. The window opens at its designed
// size and can be enlarged. The correction views are filled by the hooks in Controllore().Correzioni;
// the problem-record frame FrmCorr is handed to that later code through FrmCorr().
// A structure row keeps its last outcome (state, icon, reason) through the re-check that follows
// "Esegui" and through reopening the task's view, until that row is run again or the catalogue is
// reloaded; the detail box then names the rows that failed with their reasons, and a row chosen in
// the list shows its own outcome and reason in full there.
// While it is open the window holds the archive's presence mark (a restore by another Corvale is
// refused meanwhile), and "Esegui" first makes sure the archive is as it was when the view was
// filled: when another program or another Corvale wrote since, it fills the view again, says so,
// and corrects nothing.
#include "core/manutenzione.h"
#include "vista_aggiornata.h"

#include <QDialog>
#include <QHash>
#include <memory>

class QFrame;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace corvale {

class VistaLista;

// What the window is doing, which decides what its four buttons mean.
enum class ModoRepair {
    Selezione,  // the task list, ticks to choose
    Analisi,  // a run in progress
    Risultati,  // the run's outcomes
    VistaCorrezione,  // one task's correction view
};

class FrmRepair : public QDialog {
    Q_OBJECT
public:
    explicit FrmRepair(Sessione& sessione, QWidget* parent = nullptr);

    Manutenzione& Controllore() { return m_; }
    ModoRepair Modo() const { return modo_; }
    void ImpostaModo(ModoRepair modo);
    void Puls_Click(int indice);

    QPushButton* Puls(int indice) const;
    QTreeWidget* LstTask() const { return lstTask_; }
    QTreeWidget* LstStruct() const { return lstStruct_; }
    QFrame* FrmStruct() const { return frmStruct_; }
    QFrame* FrmCorr() const { return frmCorr_; }
    QFrame* FrmLog() const { return frmLog_; }
    QLabel* LblStat() const { return lblStat_; }
    QPlainTextEdit* TxtDett() const { return txtDett_; }
    QMenu* MnLst() const { return mnLst_; }

public slots:
    void reject() override;

signals:
    // The window has been unloaded: whoever holds it drops it; a new one loads a new catalogue.
    void scaricata();

protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void creaControlli();
    void disponi();
    int rigaAttiva();
    void Form_Load();
    void Form_Unload();
    void caricaCatalogo();
    void controlla();
    void correggi();
    bool eseguiCorrezione(const std::function<void()>& passo);
    // The outcomes of the structure rows just run, kept under their task and coded problem.
    void ricordaEsiti();
    // Puts the kept outcomes back on the rebuilt list of the selected task; the detail text of
    // the rows that failed (empty when none did).
    QString rimettiEsiti();
    void mostraEsitoStruttura(int pos);
    // The selected task's detail in the detail box (nothing for a task waiting to run).
    void mostraDettaglio();

    Manutenzione m_;
    ModoRepair modo_ = ModoRepair::Selezione;
    bool scaricato_ = false;
    QString chiaveVista_;  // key of the task whose correction view is shown (ModoRepair::VistaCorrezione)
    // Last outcome of each structure row run: task key -> coded problem -> row as it was left.
    QHash<QString, QHash<QString, RigaLista>> esitiStruttura_;
    ImprontaArchivio impronta_;  // the archive when the view shown was filled
    std::unique_ptr<PresenzaArchivio> presenza_;
    QTreeWidget* lstTask_ = nullptr;
    QTreeWidget* lstStruct_ = nullptr;
    QFrame* frmStruct_ = nullptr;
    QFrame* frmCorr_ = nullptr;
    QFrame* frmLog_ = nullptr;
    QLabel* lblStat_ = nullptr;
    QLabel* lDescr1_ = nullptr;
    QPlainTextEdit* txtDett_ = nullptr;
    QPushButton* puls_[4] = {};
    QMenu* mnLst_ = nullptr;
    VistaLista* vistaTask_ = nullptr;
    VistaLista* vistaStruct_ = nullptr;
};

}  // namespace corvale
