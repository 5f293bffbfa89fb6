#pragma once
// The second reading of an Access file, for the tests of the import: the stock mdbtools commands
// (mdb-tables, mdb-count, mdb-export, mdb-schema, mdb-prop) run as processes, their output parsed,
// and the real Access files the tests read (the folder of public samples, found beside the
// project or through CORVALE_JET_SAMPLES).
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

namespace testsupport {

// The folder of the sample Access files; empty when it is not there.
QString CartellaCampioniAccess();
// Every .mdb and .accdb file of that folder, by name.
QStringList CampioniAccess();

// Runs an mdbtools command and gives its standard output (UTF-8).
QString Mdb(const QString& comando, const QStringList& argomenti);

QStringList MdbTabelle(const QString& file);
qint64 MdbConta(const QString& file, const QString& tabella);

// The records as mdb-export writes them: one list of texts per record, Null as kNullMdb, dates as
// yyyy-MM-dd HH:mm:ss, yes/no as 1 and 0, currency with four decimals, binary in hexadecimal.
inline const char* const kNullMdb = "\x01";
QVector<QStringList> MdbEsporta(const QString& file, const QString& tabella);

// The fields of a table as mdb-schema writes them: "Text (5)", "Long Integer", "Currency" ... with
// " NOT NULL" after a required field, in column order.
QVector<QPair<QString, QString>> MdbCampi(const QString& file, const QString& tabella);
// The indexes of a table as mdb-schema writes them for a server: "PRIMARY a,b", "UNIQUE a",
// "INDEX a" (field names in lower case), sorted.
QStringList MdbIndici(const QString& file, const QString& tabella);
// The table's own properties as mdb-prop lists them (its first block), name to text.
QMap<QString, QString> MdbProprieta(const QString& file, const QString& tabella);

}  // namespace testsupport
