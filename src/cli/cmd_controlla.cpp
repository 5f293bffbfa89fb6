// corvale-cli controlla: the whole catalogue on the archive, every task ticked, through the same
// catalogue load and ControlloItem as the maintenance window. Text or JSON on stdout; exit 0 when
// every task passed, 1 when any has problems, 2 when a database cannot be opened. With --html FILE
// it also writes the report of the run as one HTML page.
#include "ambiente_cli.h"
#include "comandi.h"

#include "access/solo_lettura.h"
#include "checks/ciclo_controllo.h"
#include "core/sessione.h"
#include "core/operatore.h"
#include "core/manutenzione.h"
#include "core/valore.h"
#include "report/rapporto_html.h"
#include "checks/valori_illeggibili.h"
#include "safety/sessione_sicurezza.h"

#include <QDir>
#include <QFileInfo>
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
    if (t.Genere() != GenereTask::Struttura)
        return l;
    const int n = ValIntero16(t.P[1]);
    for (int i = 2; i <= n && i < NumParametri; ++i)
        l << t.P[i];
    return l;
}

// Takes "--html FILE" out of args into file; false with a message when the value is missing or its
// folder does not exist (nothing has run then).
bool opzioneHtml(QStringList& args, QString& file, QString& errore)
{
    const int i = args.indexOf(QStringLiteral("--html"));
    if (i < 0)
        return true;
    if (i + 1 >= args.size()) {
        errore = QStringLiteral("Valore mancante per --html.");
        return false;
    }
    file = args.takeAt(i + 1);
    args.removeAt(i);
    const QFileInfo fi(file);
    if (file.isEmpty() || fi.isDir())
        errore = QStringLiteral("Impossibile scrivere il rapporto in %1: serve il nome di un file.").arg(file);
    else if (!fi.absoluteDir().exists())
        errore = QStringLiteral("Impossibile scrivere il rapporto in %1: la cartella non esiste.").arg(file);
    return errore.isEmpty();
    return true;
}

// One task of the run as --json writes it.
QJsonObject taskJson(const RigaLista& r, const DatiTask& t, const QList<CampoIlleggibile>& illeggibili)
{
    QJsonObject task;
    task[QStringLiteral("key")] = r.Chiave;
    task[QStringLiteral("description")] = r.Testo;
    task[QStringLiteral("type")] = t.Tipo;
    task[QStringLiteral("state")] = t.Stato;
    task[QStringLiteral("state_text")] = r.TestoStato;
    task[QStringLiteral("detail")] = t.Dettaglio;
    task[QStringLiteral("correggibile")] = t.Correggibile;
    task[QStringLiteral("problems")] = QJsonArray::fromStringList(problemiStruttura(t));
    QStringList campi;
    for (const CampoIlleggibile& c : illeggibili) {
        if (c.Chiavi.contains(r.Chiave))
            campi << c.Testo();
    }
    task[QStringLiteral("illeggibili")] = QJsonArray::fromStringList(campi);
    return task;
}

// The fields with values no rule of their type reads, as --json writes them.
QJsonArray illeggibiliJson(const QList<CampoIlleggibile>& illeggibili)
{
    QJsonArray campi;
    for (const CampoIlleggibile& c : illeggibili) {
        QJsonObject campo;
        campo[QStringLiteral("tabella")] = c.Tabella;
        campo[QStringLiteral("campo")] = c.Campo;
        campo[QStringLiteral("tipo")] = c.Tipo;
        campo[QStringLiteral("valori")] = c.Valori;
        campo[QStringLiteral("testo")] = c.Testo();
        campo[QStringLiteral("controlli")] = QJsonArray::fromStringList(c.Chiavi);
        campi.append(campo);
    }
    return campi;
}

}  // namespace

int ComandoControlla(const QStringList& argomenti)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    const char* uso = "Uso: corvale-cli controlla [--programma CARTELLA] [--archivio CARTELLA] [--master FILE] "
                      "[--json] [--html FILE]\n";
    if (argomenti == QStringList{QStringLiteral("--help")}) {
        out << uso;
        return kEsitoRiuscito;
    }
    QStringList args = argomenti;
    OpzioniArchivi o;
    QString errore;
    QString html;
    if (!opzioneHtml(args, html, errore) || !LeggiOpzioni(args, o, errore, true)) {
        err << errore << "\n" << uso;
        return kEsitoNonEseguito;
    }
    // No operator here: a notice goes to stderr and a question is answered No.
    OperatoreRiga operatore(Risposta::No);
    Sessione s(operatore);
    const int apertura = ApriArchivi(s, o, errore);
    if (apertura != kEsitoRiuscito) {
        err << errore << "\n";
        return apertura;
    }
    const QString versioneDb = LeggiVersioneDbSolaLettura(s);
    const QString avviso = AvvisoVersione(s.VersioneMaster, versioneDb);
    if (!avviso.isEmpty())
        (o.json ? err : out) << avviso << "\n";
    // Damage the counts would hide is known before them.
    VerificaPrimaDeiControlli(s);
    const QString danneggiato = AvvisoArchivioDanneggiato(s);
    if (!danneggiato.isEmpty())
        err << danneggiato << "\n";
    out.flush();
    err.flush();

    Manutenzione m(s);
    if (!CaricaCatalogo(m, err))
        return kEsitoNonEseguito;
    Progresso progresso;
    const int n = m.LstTask.Conta();
    for (int li = 0; li < n; ++li)
        m.ImpostaStato(li, kStatoStart);
    for (int li = 0; li < n; ++li) {
        MostraAvanzamento(m, li);
        progresso.Mostra(SuUnaRiga(m.LblStat()), li, n);
        ControlloItem(m, li);
    }
    progresso.Chiudi();
    // Values no rule of their field's type reads: each check that reads such a field says so in its
    // detail, and the notice lists them.
    QList<int> eseguiti;
    for (int li = 0; li < n; ++li)
        eseguiti << Manutenzione::Id(m.LstTask.Riga(li).Chiave);
    const QList<CampoIlleggibile> illeggibili = SegnalaValoriIlleggibili(m, eseguiti);
    const QString avvisoIlleggibili = AvvisoValoriIlleggibili(m.ValoriIlleggibili);
    if (!avvisoIlleggibili.isEmpty()) {
        out.flush();
        err << avvisoIlleggibili << "\n";
        err.flush();
    }

    bool problemi = false;
    QJsonArray tasks;
    for (int li = 0; li < n; ++li) {
        const RigaLista& r = m.LstTask.Riga(li);
        const DatiTask& t = m.Task(li);
        if (t.Stato != kStatoOk)
            problemi = true;
        if (o.json) {
            tasks.append(taskJson(r, t, illeggibili));
        } else {
            out << r.Chiave << "\t" << r.Testo << "\t" << r.TestoStato << "\t" << SuUnaRiga(t.Dettaglio) << "\n";
        }
    }
    if (o.json) {
        QJsonObject radice;
        radice[QStringLiteral("archive")] = access::FileAperto(s.DbArchivi);
        radice[QStringLiteral("master")] = access::FileAperto(s.DbMaster);
        radice[QStringLiteral("versione_db")] = versioneDb;
        radice[QStringLiteral("versione_master")] = s.VersioneMaster;
        radice[QStringLiteral("danneggiato")] = !danneggiato.isEmpty();
        radice[QStringLiteral("illeggibili")] = illeggibiliJson(illeggibili);
        radice[QStringLiteral("tasks")] = tasks;
        out << QJsonDocument(radice).toJson(QJsonDocument::Compact) << "\n";
    }
    if (!html.isEmpty() && !ScriviRapportoHtml(RaccogliRapporto(m), html, &errore)) {
        out.flush();
        err << errore << "\n";
        return kEsitoNonEseguito;
    }
    return problemi ? kEsitoProblemi : kEsitoRiuscito;
}

}  // namespace corvale::cli
