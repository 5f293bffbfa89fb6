#pragma once
// The values that no rule of their field's type reads ("abc" in a number field, "domani" in a date
// field), in the fields the data checks read. The engine never compares such a value, so a check
// over its field counts without it: a record whose key or date is unreadable is missing from an
// orphan count, or counted as without its lines. After a run the operator is told which field holds
// them and how many, beside the counts: in each check's detail, in the window's notice, in
// corvale-cli controlla (text and JSON) and in the report.
//
// Callers may rely on: the archive is only read (one read of each table that a check of the run
// reads, over its date, number and yes/no fields only); a field appears only when it holds at
// least one such value; the texts are those shown to the operator.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace dbe {
class Database;
}

namespace corvale {

class Manutenzione;
struct DatiTask;

struct CampoIlleggibile {
    QString Tabella;  // as the archive names it
    QString Campo;
    short Tipo = 0;  // the field's type code
    qint64 Valori = 0;  // how many of its values are unreadable
    QStringList Chiavi;  // the keys ("0018K") of the checks of the run that read the field
    // "DETT_ORD.DATA: 3 valori illeggibili (non sono date)".
    QString Testo() const;
};

// The (table, field) pairs whose values decide a data task's count: the key fields of an orphan
// check, the fields its query's condition names for the others. Not checked against the archive.
QList<QPair<QString, QString>> CampiLetti(const DatiTask& t);

// The fields read by the data tasks ids (indexes of ElencoTask) that hold unreadable values, in
// the order the tasks name them; the tasks that could not run are left out. Engine errors go to
// the caller.
QList<CampoIlleggibile> CercaValoriIlleggibili(Manutenzione& m, const QList<int>& ids);

// CercaValoriIlleggibili, and then what the operator is shown: each task of ids that reads such a
// field has one line per field added to its Dettaglio, and m.ValoriIlleggibili holds the fields'
// texts (empty when none). An archive that cannot be read for this leaves the counts as they are.
QList<CampoIlleggibile> SegnalaValoriIlleggibili(Manutenzione& m, const QList<int>& ids);

// Task li's check run again on its own (ControlloItem), as after a correction, with the lines a
// whole run would add: its detail gets one line per field it reads that holds unreadable values,
// and m.ValoriIlleggibili has the texts of those fields anew (the other fields' texts stay).
void RicontrollaTask(Manutenzione& m, int li);

// The notice of a run whose checks read unreadable values; empty when testi is empty.
QString AvvisoValoriIlleggibili(const QStringList& testi);

}  // namespace corvale
