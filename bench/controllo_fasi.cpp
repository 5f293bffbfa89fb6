// corvale-controllo-fasi: where the time of a whole check goes. Runs the check as corvale-cli
// controlla does (the opening, the look for damaged indexes, every task of the catalogue, the count
// of unreadable values) and prints, for each step, its processor and clock seconds:
//
//   corvale-controllo-fasi ARCHIVIO MASTER
//
// One line per step: "passo NOME seconds=S wall_seconds=W [esito]"; the data checks are named by
// their key, the structure checks by their table. The last line adds the steps up.
#include "checks/ciclo_controllo.h"
#include "checks/catalogo.h"
#include "checks/valori_illeggibili.h"
#include "core/manutenzione.h"
#include "core/operatore.h"
#include "core/sessione.h"
#include "safety/sessione_sicurezza.h"

#include "dbengine/dbengine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <sys/resource.h>

namespace {

QTextStream out(stdout);

qint64 processoreNs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (qint64(u.ru_utime.tv_sec) + u.ru_stime.tv_sec) * 1000000000
           + (qint64(u.ru_utime.tv_usec) + u.ru_stime.tv_usec) * 1000;
}

class OperatoreMuto : public corvale::Operatore {
public:
    corvale::Risposta Mostra(const QString&, corvale::Pulsanti) override { return corvale::Risposta::No; }
    QString Chiedi(const QString&) override { return QString(); }
    void Clessidra(bool) override {}
};

struct Cronometro {
    qint64 cpu0 = processoreNs();
    QElapsedTimer orologio;
    qint64 totaleCpu = 0, totaleOrologio = 0;
    Cronometro() { orologio.start(); }
    void passo(const QString& nome, const QString& esito = QString())
    {
        const qint64 cpu = processoreNs() - cpu0, muro = orologio.nsecsElapsed();
        totaleCpu += cpu;
        totaleOrologio += muro;
        out << "passo " << nome << " seconds=" << QString::number(cpu / 1e9, 'f', 3)
            << " wall_seconds=" << QString::number(muro / 1e9, 'f', 3);
        if (!esito.isEmpty())
            out << " " << esito;
        out << "\n";
        out.flush();
        cpu0 = processoreNs();
        orologio.restart();
    }
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        QTextStream(stderr) << "Uso: corvale-controllo-fasi ARCHIVIO MASTER\n";
        return 2;
    }
    OperatoreMuto operatore;
    corvale::Sessione s(operatore);
    Cronometro c;
    s.DbArchivi = dbe::OpenDatabase(args[1]);
    s.DbMaster = dbe::OpenDatabase(args[2], true);
    c.passo(QStringLiteral("apertura"));
    corvale::VerificaPrimaDeiControlli(s);
    c.passo(QStringLiteral("indici"));
    corvale::Manutenzione m(s);
    CaricaTask(m);
    const int n = m.LstTask.Conta();
    for (int li = 0; li < n; ++li)
        m.ImpostaStato(li, corvale::kStatoStart);
    c.passo(QStringLiteral("catalogo"));
    for (int li = 0; li < n; ++li) {
        ControlloItem(m, li);
        const corvale::DatiTask& t = m.Task(li);
        const QString nome = t.Genere() == corvale::GenereTask::Struttura ? t.P[0] : m.LstTask.Riga(li).Chiave;
        c.passo(nome, QString(t.Dettaglio).replace(QLatin1Char('\n'), QLatin1Char(' ')).left(60));
    }
    QList<int> ids;
    for (int li = 0; li < n; ++li)
        ids << corvale::Manutenzione::Id(m.LstTask.Riga(li).Chiave);
    const auto illeggibili = corvale::SegnalaValoriIlleggibili(m, ids);
    c.passo(QStringLiteral("illeggibili"), QString::number(illeggibili.size()));
    s.ChiudiDatabase();
    c.passo(QStringLiteral("chiusura"));
    out << "totale seconds=" << QString::number(c.totaleCpu / 1e9, 'f', 3)
        << " wall_seconds=" << QString::number(c.totaleOrologio / 1e9, 'f', 3) << "\n";
    return 0;
}
