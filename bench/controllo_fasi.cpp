// corvale-controllo-fasi: where the time of a whole check goes. Runs the check as corvale-cli
// controlla does (the opening, the stamp, the look for damaged indexes, every task of the catalogue,
// the count of unreadable values) and prints, for each step, its processor and clock seconds:
//
//   corvale-controllo-fasi ARCHIVIO MASTER [--sql]
//
// One line per step: "passo NOME seconds=S wall_seconds=W [esito]"; the data checks are named by
// their key, the structure checks by their table. With --sql each data check's line is followed by
// the SQLite statements its query becomes. The last line adds the steps up.
#include "checks/valori_illeggibili.h"
#include "core/manutenzione.h"
#include "core/operatore.h"
#include "core/sessione.h"
#include "safety/sessione_sicurezza.h"

#include "dbengine/connection.h"
#include "dbengine/dbengine.h"
#include "dbengine/dialect/dialect.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <sqlite3.h>
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
    if (args.size() < 3) {
        QTextStream(stderr) << "Uso: corvale-controllo-fasi ARCHIVIO MASTER [--sql]\n";
        return 2;
    }
    const bool sql = args.contains(QStringLiteral("--sql"));
    OperatoreMuto operatore;
    corvale::Sessione s(operatore);
    Cronometro c;
    s.DbArchivi = dbe::OpenDatabase(args[1]);
    s.DbMaster = dbe::OpenDatabase(args[2], true);
    if (const int cc = args.indexOf(QStringLiteral("--cache")); cc > 0 && cc + 1 < args.size())
        sqlite3_exec(s.DbArchivi.impl()->db(), ("PRAGMA cache_size=" + args[cc + 1].toUtf8()).constData(), nullptr,
                     nullptr, nullptr);
    const int mm = args.indexOf(QStringLiteral("--mmap"));
    if (mm > 0 && mm + 1 < args.size())
        sqlite3_exec(s.DbArchivi.impl()->db(), ("PRAGMA mmap_size=" + args[mm + 1].toUtf8()).constData(), nullptr,
                     nullptr, nullptr);
    c.passo(QStringLiteral("apertura"));
    if (const int qi = args.indexOf(QStringLiteral("--raw")); qi > 0 && qi + 1 < args.size()) {
        for (int k = qi + 1; k < args.size(); ++k) {
            sqlite3_stmt* p = nullptr;
            const QByteArray q = args[k].toUtf8();
            if (sqlite3_prepare_v2(s.DbArchivi.impl()->db(), q.constData(), -1, &p, nullptr) != SQLITE_OK) {
                out << "errore " << sqlite3_errmsg(s.DbArchivi.impl()->db()) << "\n";
                continue;
            }
            QString r;
            while (sqlite3_step(p) == SQLITE_ROW)
                r += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(p, 0))) + " ";
            sqlite3_finalize(p);
            c.passo(QStringLiteral("raw%1").arg(k - qi), r.left(80));
        }
        return 0;
    }
    if (const int qi = args.indexOf(QStringLiteral("--query")); qi > 0 && qi + 1 < args.size()) {
        const auto st = dbe::dialect::translate(args[qi + 1], s.DbArchivi.impl()->schemaProvider());
        const QString q = st.select.keyset ? st.select.keySql : st.select.valuesSql;
        out << "  sql " << q << "\n";
        sqlite3_stmt* p = nullptr;
        const QByteArray piano = "EXPLAIN QUERY PLAN " + q.toUtf8();
        if (sqlite3_prepare_v2(s.DbArchivi.impl()->db(), piano.constData(), -1, &p, nullptr) == SQLITE_OK) {
            while (sqlite3_step(p) == SQLITE_ROW)
                out << "  piano " << sqlite3_column_int(p, 1) << " "
                    << reinterpret_cast<const char*>(sqlite3_column_text(p, 3)) << "\n";
        }
        sqlite3_finalize(p);
        c.passo(QStringLiteral("traduzione"));
        dbe::Recordset rs = s.DbArchivi.OpenRecordset(args[qi + 1]);
        rs.MoveLast();
        c.passo(QStringLiteral("query"), QString::number(rs.RecordCount()) + " " + rs.Value(0).toString());
        return 0;
    }
    corvale::VerificaPrimaDeiControlli(s);
    c.passo(QStringLiteral("indici"));
    corvale::Manutenzione m(s);
    m.CaricaTask();
    const int n = m.LstTask.Conta();
    for (int li = 0; li < n; ++li)
        m.ImpostaStato(li, corvale::kStatoStart);
    c.passo(QStringLiteral("catalogo"));
    for (int li = 0; li < n; ++li) {
        m.ControlloItem(li);
        const corvale::DatiTask& t = m.Task(li);
        const QString nome = t.Tipo == QLatin1String("ST") ? t.P[0] : m.LstTask.Riga(li).Chiave;
        c.passo(nome, QString(t.Dettaglio).replace(QLatin1Char('\n'), QLatin1Char(' ')).left(60));
        if (sql && t.Tipo != QLatin1String("ST")) {
            QString testo = QStringLiteral("SELECT * FROM ") + t.P[0];
            if (t.Genere() == corvale::GenereTask::RecordOrfani)
                testo = QStringLiteral("SELECT * FROM %1 WHERE %2 NOT IN (SELECT DISTINCT %3 FROM %4)")
                            .arg(t.P[0], t.P[2], t.P[3], t.P[1]);
            try {
                const auto st = dbe::dialect::translate(testo, s.DbArchivi.impl()->schemaProvider());
                const QString q = st.select.keyset ? st.select.keySql : st.select.valuesSql;
                out << "  sql " << q << "\n  chunk " << st.select.keyChunkSql << "\n";
                sqlite3_stmt* p = nullptr;
                const QByteArray piano = "EXPLAIN QUERY PLAN " + q.toUtf8();
                if (sqlite3_prepare_v2(s.DbArchivi.impl()->db(), piano.constData(), -1, &p, nullptr) == SQLITE_OK) {
                    while (sqlite3_step(p) == SQLITE_ROW)
                        out << "  piano " << sqlite3_column_int(p, 1) << " "
                            << reinterpret_cast<const char*>(sqlite3_column_text(p, 3)) << "\n";
                }
                sqlite3_finalize(p);
            } catch (const std::exception& e) {
                out << "  sql (" << e.what() << ")\n";
            }
            c.cpu0 = processoreNs();
            c.orologio.restart();
        }
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
