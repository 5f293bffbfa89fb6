#pragma once
// What the headless commands need to stand where the windowed program stands after "Apri DB" and
// "Analisi Struttura": the options --home, --archive and --master, the archive folder from
// LUMERA.INI, the master's stamp, the opening of both databases and the version gate's warning.
// The readers are small stand-ins for the windowed program's own, kept behind one function each.
#include <QString>
#include <QStringList>

namespace corvale::cli {

struct OpzioniArchivi {
    QString home;     // --home: the program folder
    QString archive;  // --archive: the folder of lumera.mdb
    QString master;   // --master: the master database file
    bool json = false;
    bool archivioDato = false;
};

// Reads the options; false with a message in errore on an unknown option or a missing value.
bool LeggiOpzioni(const QStringList& args, OpzioniArchivi& o, QString& errore, bool ammessoJson);

// [Path] Archivi of LUMERA.INI in the program folder; empty when absent.
QString LeggiPathArchiviIni();
// The master's stamp (VERSDB of the first AGENZIA record); empty on any failure or Null.
QString LeggiVersioneMasterFile();
// The archive's stamp, read without changing anything: "0" for Null or an empty AGENZIA; empty
// text when it cannot be read.
QString LeggiVersioneDb();
// The gate's warning for the two stamps, or empty text when they agree.
QString AvvisoVersione(const QString& versioneMaster, const QString& versioneDb);

// Sets the program folder, the master file, PathArchivi and VersioneMaster, then opens DbArchivi
// and DbMaster. On failure returns 2 with the program's message (and the engine's description)
// in errore, having changed nothing; 0 otherwise.
int ApriArchivi(const OpzioniArchivi& o, QString& errore);

}  // namespace corvale::cli
