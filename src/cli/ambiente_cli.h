#pragma once
// What the headless commands need to stand where the windowed program stands after "Apri DB" and
// "Analisi Struttura": the options --programma, --archivio and --master, the opening of both databases
// (settings file and master stamp read by the program's own start-up readers), and the version
// gate's warning, computed without changing the archive.
#include "core/operatore.h"
#include "core/sessione.h"
#include "dbengine/file_copy.h"
#include "records/avanzamento.h"

#include <memory>

#include <QString>
#include <QStringList>

class QTextStream;

namespace corvale {
class Manutenzione;
}

namespace corvale::cli {

struct OpzioniArchivi {
    QString home;  // --programma: the program folder
    QString archive;  // --archivio: the folder of lumera.mdb
    QString master;  // --master: the master database file
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

// --silenzioso, taken by main from any command's arguments: no progress and no informational
// lines on stderr (errors, warnings and the command's results are still written).
void ImpostaSilenzioso(bool silenzioso);
bool Silenzioso();

// The progress of a long command on a terminal: one line on stderr, rewritten in place, saying
// what the command is doing, how far it is and, once a tenth is done, about how long it has left.
// Written only when stderr is a terminal and --silenzioso was not given; otherwise nothing at all.
// The line is redrawn at most ten times a second, cut to the terminal's width, and cleared by
// Chiudi() or the destructor. Riga() writes an informational line above it (none when silent).
class Progresso {
public:
    Progresso();
    ~Progresso();
    Progresso(const Progresso&) = delete;
    Progresso& operator=(const Progresso&) = delete;

    // Whether anything is drawn (stderr a terminal, not silent).
    static bool SulTerminale();
    // cosa: what is being done; fatto and totale: how far (totale <= 0: no count shown).
    void Mostra(const QString& cosa, qint64 fatto = 0, qint64 totale = 0);
    void Riga(const QString& testo);
    void Chiudi();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The progress of an engine's long step (the integrity check, the repair) as a Progresso line.
dbe::Progress ProgressoRiga(const QString& cosa);

// A record walk's bar drawn as a Progresso line, for the corrections of corvale-cli.
class AvanzamentoRiga : public Avanzamento {
public:
    explicit AvanzamentoRiga(QString cosa) : cosa_(std::move(cosa)) {}
    void ImpostaMassimo(qint64 massimo) override { massimo_ = massimo; }
    void ImpostaValore(qint64 v) override { valore_ = v; }
    qint64 Valore() const override { return valore_; }
    void Mostra(bool visibile) override
    {
        if (!visibile)
            riga_.Chiudi();
    }
    void Ridisegna() override { riga_.Mostra(cosa_, valore_, massimo_); }

private:
    QString cosa_;
    qint64 massimo_ = 0;
    qint64 valore_ = 0;
    Progresso riga_;
};

}  // namespace corvale::cli
