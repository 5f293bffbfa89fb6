// corvale-cli check: the whole catalogue on the archive, every task ticked, through the same
// catalogue load and ControlloItem as the maintenance window. Text or JSON on stdout; exit 0 when
// every task passed, 1 when any has problems, 2 when a database cannot be opened.
#include "ambiente_cli.h"
#include "comandi.h"

#include "core/sessione.h"
#include "core/operatore.h"
#include "core/manutenzione.h"
#include "core/valore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <cstdio>
#include <unistd.h>

namespace corvale::cli {

namespace {

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
    OperatoreRiga operatore(Risposta::No);
    Sessione s(operatore);
    const int apertura = ApriArchivi(s, o, errore);
    if (apertura != 0) {
        err << errore << "\n";
        return apertura;
    }
    const QString versioneDb = LeggiVersioneDbSolaLettura(s);
    const QString avviso = AvvisoVersione(s.VersioneMaster, versioneDb);
    if (!avviso.isEmpty())
        (o.json ? err : out) << avviso << "\n";
    out.flush();
    err.flush();

    Manutenzione m(s);
    if (!CaricaCatalogo(m, err))
        return 2;
    const bool terminale = isatty(fileno(stderr));
    const int n = m.LstTask.Conta();
    for (int li = 0; li < n; ++li)
        m.ImpostaStato(li, kStatoStart);
    for (int li = 0; li < n; ++li) {
        m.MostraAvanzamento(li);
        if (terminale)
            QTextStream(stderr) << "[" << (li + 1) << "/" << n << "] " << SuUnaRiga(m.LblStat()) << "\n";
        m.ControlloItem(li);
    }

    bool problemi = false;
    QJsonArray tasks;
    for (int li = 0; li < n; ++li) {
        const RigaLista& r = m.LstTask.Riga(li);
        const DatiTask& t = m.Task(li);
        if (t.Stato != kStatoOk)
            problemi = true;
        if (o.json) {
            QJsonObject task;
            task[QStringLiteral("key")] = r.Chiave;
            task[QStringLiteral("description")] = r.Testo;
            task[QStringLiteral("type")] = t.Tipo;
            task[QStringLiteral("state")] = t.Stato;
            task[QStringLiteral("state_text")] = r.TestoStato;
            task[QStringLiteral("detail")] = t.Dettaglio;
            task[QStringLiteral("correggibile")] = t.Correggibile;
            task[QStringLiteral("problems")] = QJsonArray::fromStringList(problemiStruttura(t));
            tasks.append(task);
        } else {
            out << r.Chiave << "\t" << r.Testo << "\t" << r.TestoStato << "\t" << SuUnaRiga(t.Dettaglio) << "\n";
        }
    }
    if (o.json) {
        QJsonObject radice;
        radice[QStringLiteral("archive")] = s.DbArchivi.Name();
        radice[QStringLiteral("master")] = s.DbMaster.Name();
        radice[QStringLiteral("versione_db")] = versioneDb;
        radice[QStringLiteral("versione_master")] = s.VersioneMaster;
        radice[QStringLiteral("tasks")] = tasks;
        out << QJsonDocument(radice).toJson(QJsonDocument::Compact) << "\n";
    }
    return problemi ? 1 : 0;
}

}  // namespace corvale::cli
