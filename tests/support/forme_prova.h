#pragma once
// The archive as other programs leave it: corvale-forme (bench/) rewrites a copy of an archive's
// values into the forms such programs store them in, and these helpers compare what corvale-cli
// does on it with what it does on the untouched copy: the outcome of every check, and the records
// a record correction deleted or changed, record by record (rowids do not change in a rewrite).
// Callers may rely on every difference coming back as one short line naming the check or table.
#include <QMap>
#include <QString>
#include <QStringList>

namespace corvale::prova {

// Runs corvale-forme on the archive, in place, with the seed and the forms named (empty: every
// form); ore gives the dates times of day first. Returns the number of values written in each
// form; a failure of the program fails the test (and returns nothing).
QMap<QString, long> RiscriviForme(const QString& archivio, quint64 seme, const QStringList& forme, bool ore);

// Every record of every user table, by table and rowid, each value as SQLite stores it.
struct Contenuto {
    QMap<QString, QStringList> colonne;
    QMap<QString, QMap<qint64, QStringList>> righe;
};
Contenuto LeggiContenuto(const QString& archivio);

// What changed from prima to dopo, one sorted line a change: "TABELLA -rowid" for a record gone,
// "TABELLA rowid CAMPO=valore" for a value changed. A text value is given without its letters
// outside ASCII and in small letters, so that a code and its rewritten forms read the same.
QStringList Cambiamenti(const Contenuto& prima, const Contenuto& dopo);

// The tasks of `corvale-cli check` (its text lines, or the tasks of --json) whose outcome differs:
// "0034K Controllo ...: Rilevati 2 record ... -> Rilevati 3 record ...".
QStringList DifferenzeControllo(const QString& attesa, const QString& ottenuta);
QStringList DifferenzeControlloJson(const QString& attesa, const QString& ottenuta);

// The lines only in attese ("manca ...") or only in ottenute ("in piu' ..."), at most massimo.
QStringList DifferenzeElenchi(const QStringList& attese, const QStringList& ottenute, int massimo = 6);

// Copies an archive file (and its log, when there is one) to a new folder's archivi/lumera.mdb;
// returns the new file.
QString CopiaArchivio(const QString& archivio, const QString& cartella);

}  // namespace corvale::prova
