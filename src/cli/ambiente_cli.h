#pragma once
// What the headless commands need to stand where the windowed program stands after "Apri DB" and
// "Analisi Struttura": the options --home, --archive and --master, the opening of both databases
// (settings file and master stamp read by the program's own start-up readers), and the version
// gate's warning, computed without changing the archive.
#include "core/operatore.h"
#include "core/sessione.h"

#include <QString>
#include <QStringList>

class QTextStream;

namespace corvale {
class Manutenzione;
}

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

// The archive's stamp, read without changing anything: "0" for Null or an empty AGENZIA (where
// the main window would first add a record at its defaults); empty text when it cannot be read.
QString LeggiVersioneDbSolaLettura(Sessione& s);
// The gate's warning for the two stamps (the master's missing stamp included), or empty text.
QString AvvisoVersione(const QString& versioneMaster, const QString& versioneDb);

// Sets the session's program folder, master file, PathArchivi and VersioneMaster, then opens
// DbArchivi and DbMaster. On failure returns 2 with the program's message (and the engine's description)
// in errore, having changed nothing; 0 otherwise.
int ApriArchivi(Sessione& s, const OpzioniArchivi& o, QString& errore);

// For the commands that change the archive: waits a short, bounded time for another program's
// write transaction on it to end. Returns 2 with the open-failure message and the engine's
// description in errore when it does not end, 0 otherwise; nothing is written either way.
int AttendiArchivioLibero(Sessione& s, QString& errore);
// ApriArchivi, then AttendiArchivioLibero: the opening of the commands that change the archive.
int ApriArchiviPerCorreggere(Sessione& s, const OpzioniArchivi& o, QString& errore);

// A message or detail on one line: its line breaks become " / ", final ones are dropped.
QString SuUnaRiga(QString testo);
// The operator of the headless tool: notices go to stderr on one line, questions get the answer
// given when it is made (the command's flags), input boxes get the empty text, and there is no
// busy pointer.
class OperatoreRiga : public Operatore {
public:
    explicit OperatoreRiga(Risposta allaDomanda) : allaDomanda_(allaDomanda) {}
    Risposta Mostra(const QString& testo, Pulsanti pulsanti = Pulsanti::Ok) override;
    QString Chiedi(const QString& prompt) override;
    void Clessidra(bool) override {}

private:
    Risposta allaDomanda_;
};
// Loads the catalogue into m (after CreaLista); on an engine error prints the message on err and
// returns false.
bool CaricaCatalogo(Manutenzione& m, QTextStream& err);

}  // namespace corvale::cli
