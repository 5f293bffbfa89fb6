// corvale-cli check: the whole catalogue on the archive, every task ticked, through the same
// catalogue load and ControlloItem as the maintenance window. Text or JSON on stdout; exit 0 when
// every task passed, 1 when any has problems, 2 when a database cannot be opened.
#include "ambiente_cli.h"
#include "comandi.h"
#include "jsonscrittura.h"

#include "app/ambiente.h"
#include "app/messaggi.h"
#include "maintenance/manutenzione.h"
#include "maintenance/valore.h"

#include <QTextStream>
#include <cstdio>
#include <unistd.h>

namespace corvale::cli {

namespace {

// A detail on one line: its line breaks become " / ", a final one is dropped.
QString suUnaRiga(QString testo)
{
    while (testo.endsWith(QLatin1Char('\n')) || testo.endsWith(QLatin1Char('\r')))
        testo.chop(1);
    testo.replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
    testo.replace(QLatin1Char('\r'), QLatin1Char(' '));
    testo.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return testo;
}

// The coded structure problems of an "ST" task: P(2) to P(P(1)).
QStringList problemiStruttura(const DatiTask& t)
{
    QStringList l;
    if (t.Tipo != QLatin1String("ST"))
        return l;
    const int n = ValIntero16(t.P[1]);
    for (int i = 2; i <= n && i < NumParametri; ++i)
        l << t.P[i];
    return l;
}

}  // namespace

int ComandoCheck(const QStringList& args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    const char* uso = "Uso: corvale-cli check [--home CARTELLA] [--archive CARTELLA] [--master FILE] [--json]\n";
    if (args == QStringList{QStringLiteral("--help")}) {
        out << uso;
        return 0;
    }
    OpzioniArchivi o;
    QString errore;
    if (!LeggiOpzioni(args, o, errore, true)) {
        err << errore << "\n" << uso;
        return 2;
    }
    // No operator here: a notice goes to stderr and a question is answered No.
    Messaggi::ImpostaRisponditore([](const QString& testo, Pulsanti p) {
        QTextStream(stderr) << suUnaRiga(testo) << "\n";
        return p == Pulsanti::SiNo ? Risposta::No : Risposta::Ok;
    });
    const int apertura = ApriArchivi(o, errore);
    if (apertura != 0) {
        err << errore << "\n";
        return apertura;
    }
    const QString versioneDb = LeggiVersioneDbSolaLettura();
    const QString avviso = AvvisoVersione(VersioneMaster, versioneDb);
    if (!avviso.isEmpty())
        (o.json ? err : out) << avviso << "\n";
    out.flush();
    err.flush();

    Manutenzione m;
    m.CreaLista();
    try {
        m.CaricaTask();
    } catch (const dbe::DbError& e) {
        err << "Impossibile leggere le tabelle del DB Master.\n" << e.description() << "\n";
        return 2;
    }
    const bool terminale = isatty(fileno(stderr));
    const int n = m.LstTask.Conta();
    for (int li = 0; li < n; ++li)
        m.ImpostaStato(li, kStatoStart);
    for (int li = 0; li < n; ++li) {
        m.MostraAvanzamento(li);
        if (terminale)
            QTextStream(stderr) << "[" << (li + 1) << "/" << n << "] " << suUnaRiga(m.LblStat()) << "\n";
        m.ControlloItem(li);
    }

    bool problemi = false;
    QList<Json> tasks;
    for (int li = 0; li < n; ++li) {
        const RigaLista& r = m.LstTask.Riga(li);
        const DatiTask& t = m.Task(li);
        if (t.Stato != kStatoOk)
            problemi = true;
        if (o.json) {
            Json task = Json::oggetto();
            task.aggiungi("key", r.Chiave);
            task.aggiungi("description", r.Testo);
            task.aggiungi("type", t.Tipo);
            task.aggiungi("state", t.Stato);
            task.aggiungi("state_text", r.TestoStato);
            task.aggiungi("detail", t.Dettaglio);
            task.aggiungi("correggibile", t.Correggibile);
            task.aggiungi("problems", Json::elenco(problemiStruttura(t)));
            tasks << task;
        } else {
            out << r.Chiave << "\t" << r.Testo << "\t" << r.TestoStato << "\t" << suUnaRiga(t.Dettaglio) << "\n";
        }
    }
    if (o.json) {
        Json radice = Json::oggetto();
        radice.aggiungi("archive", DbArchivi.Name());
        radice.aggiungi("master", DbMaster.Name());
        radice.aggiungi("versione_db", versioneDb);
        radice.aggiungi("versione_master", VersioneMaster);
        radice.aggiungi("tasks", Json::elenco(tasks));
        out << radice.testo() << "\n";
    }
    return problemi ? 1 : 0;
}

}  // namespace corvale::cli
