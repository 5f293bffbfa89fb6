#pragma once
// RapportoControllo: the results of a run gathered for the report that an office keeps or sends:
// the two databases with their stamps and the version gate's verdict, the moment and the program's
// version, and every task of the task table with its outcome; for a structure task its differences
// in words, for a data check with problems its first records as the problem-record view shows them
// (same query, same columns) and their total. RaccogliRapporto reads the maintenance logic and the
// open databases (DbArchivi, DbMaster) and changes nothing. No widgets: the window and corvale-cli
// gather the same way.
#include "core/dati_task.h"
#include "structure/differenze_struttura.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVector>

namespace corvale {

class Manutenzione;

// A task's outcome, in the order in which the report lists them.
enum class EsitoTask {
    Problemi,  // the check found problems
    NonEseguibile,  // the check could not run (its query failed, or the comparison had no table)
    NonEseguito,  // the run never came to it (unticked, or interrupted)
    Superato,  // passed
};

// At most this many problem records of each data check go into the report.
constexpr int kRecordPerControllo = 50;

struct TaskRapporto {
    QString Chiave;  // "0012K"
    QString Descrizione;  // the task's text in the list
    QString Tipo;
    QString Stato;  // the state code
    QString Dettaglio;
    EsitoTask Esito = EsitoTask::NonEseguito;

    // A structure task: its coded problems in words, in the order found. Troncate: the check
    // stopped at the ninth, so more may come once these are corrected.
    QList<DifferenzaStruttura> Differenze;
    bool Troncate = false;

    // A data check with problems: the grid's columns (name and engine type), the first records'
    // values (Null as a null QVariant), the total; ErroreRecord when the records could not be read.
    QStringList Colonne;
    QVector<short> TipiColonne;
    QList<QVariantList> Righe;
    qint64 TotaleRecord = 0;
    QString ErroreRecord;

    bool Strutturale() const { return GenereDi(Tipo) == GenereTask::Struttura; }
};

struct RapportoControllo {
    QString Archivio;  // full path of the archive file
    QString Master;  // full path of the master file
    QString VersioneArchivio;  // the stamps; empty when unreadable
    QString VersioneMaster;
    QString AvvisoVersioni;  // the gate's warning; empty when the stamps agree
    QString AvvisoDanno;  // the warning of an archive found damaged; empty otherwise
    // The fields read by the run's checks that hold values no rule of their type reads, one text
    // each ("DETT_ORD.DATA: 3 valori illeggibili (non sono date)"); empty when none.
    QStringList ValoriIlleggibili;
    QDateTime Momento;
    QString VersioneProgramma;
    QList<TaskRapporto> Task;  // every task of the table, in key order
};

// The program's version, as the report shows it.
QString VersioneProgramma();

// Gathers the report of the tasks 1..NumTask of m (also those that a run removed from the list).
RapportoControllo RaccogliRapporto(Manutenzione& m, const QDateTime& momento = QDateTime::currentDateTime());

}  // namespace corvale
