#pragma once
// Manutenzione: the maintenance window's logic without the window. It owns the task table
// (ElencoTask, NumTask), the task list and the structure corrections list as row models, the
// interruption flag and the two texts the window shows (LblStat, TxtDett). The catalogue load
// (checks/catalogo.h) and the run loop (checks/ciclo_controllo.h) work on it from above; the
// window (FrmRepair) and corvale-cli drive the same object;
// the only user-interface needs go through the session's operator and the hooks below, which do
// nothing when unset. A row of LstTask is passed around as its position (Li); its record is ElencoTask[Id(key)].
#include "core/dati_task.h"
#include "core/modello_lista.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace corvale {

class Sessione;

// The state codes a task can take, and the detail text a passed check leaves.
inline const QString kStatoStart = QStringLiteral("START");
inline const QString kStatoCtrl = QStringLiteral("CTRL");
inline const QString kStatoOk = QStringLiteral("VER_OK");
inline const QString kStatoPrb = QStringLiteral("VER_PRB");
inline const QString kDettaglioOk = QStringLiteral("Controllo superato con successo");

// The corrections of later stages, set by the code that provides them. Unset hooks do nothing
// (RecordSelezionati unset counts as no selected record).
struct HookCorrezioni {
    std::function<void(int pos)> AttivaCorrezioneRecord;
    std::function<void()> AttivaCorrezioneStruttura;
    std::function<void(int pos)> GestisciCorrezioneEN;
    std::function<void(int pos)> GestisciCorrezioneENP;
    std::function<void(int pos)> GestisciCorrezioneStruttura;
    std::function<int()> RecordSelezionati;  // rows selected in the problem-record grid
};

class Manutenzione : public QObject {
    Q_OBJECT
public:
    explicit Manutenzione(Sessione& sessione, QObject* parent = nullptr);
    Manutenzione(const Manutenzione&) = delete;
    Manutenzione& operator=(const Manutenzione&) = delete;

    // The program's shared place: the open databases and the operator.
    Sessione& sessione() const { return sessione_; }

    TabellaTask ElencoTask;  // every record starts empty
    qint16 NumTask = 0;
    ModelloLista LstTask;
    ModelloLista LstStruct;
    bool Interrompi = false;
    // The fields read by the last run's checks that hold values no rule of their type reads, one
    // text each (checks/valori_illeggibili.h); empty when none.
    QStringList ValoriIlleggibili;

    // Hooks: Cedi lets the window process its waiting events (the run loop calls it once per
    // task); Ridisegna repaints the window at once. Rispondi lets the window repaint and take the
    // close button while a check of the run waits on the engine: it is called at most once every
    // IntervalloRisposta milliseconds of a running query, and a close request taken in there is
    // asked about at once (and may stop that query).
    std::function<void()> Cedi;
    std::function<void()> Ridisegna;
    std::function<void()> Rispondi;
    int IntervalloRisposta = 50;
    HookCorrezioni Correzioni;

    QString LblStat() const { return lblStat_; }
    void ImpostaLblStat(const QString& testo);
    QString TxtDett() const { return txtDett_; }
    void ImpostaTxtDett(const QString& testo);

    // Task list.
    void CreaLista();
    // Appends a task: a ticked row with key "0001K"..., and Tipo and P(0).. in record NumTask.
    // Returns false and changes nothing when the table is full or P has more than eleven values.
    bool AggiungiTask(const QString& descr, const QString& tipo, const QStringList& p);
    static qint16 Id(const QString& vk);
    void ImpostaStato(int li, const QString& valore);
    // The record behind row li (the unused record 0 for a key that gives no valid index).
    DatiTask& Task(int li);
    // Shows the selected task's detail in TxtDett; nothing without a selected row.
    void MostraDettaglio();
    // The three items of the task list's popup menu.
    void SelezionaTutti();
    void SelezionaSoloQuesto();
    void InvertiSelezione();


signals:
    void lblStatCambiato(const QString& testo);
    void txtDettCambiato(const QString& testo);

private:
    void ridisegna();
    Sessione& sessione_;
    QString lblStat_;
    QString txtDett_;
};

}  // namespace corvale
