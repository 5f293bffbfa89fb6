// Damage known before the counts: an index that misses records of its table (which SQLite's quick
// check does not see) is found by the first check of a session, which says so in its warning, in
// `check --json` ("danneggiato") and in the report, without a journal being made for it; a sound
// archive is not called damaged.
#include "fixture_comandi.h"

#include "checks/ciclo_controllo.h"
#include "checks/catalogo.h"
#include "core/manutenzione.h"
#include "core/operatore.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include "support/stampa_qt.h"

using namespace corvale;

namespace {

class VerificaIndici : public prova::ComandiSicurezza {
protected:
    struct Verdetto {
        bool danneggiato = false;
        QString avviso;
        QString rapporto;
    };
    Verdetto check()
    {
        const QString html = home.filePath("rapporto.html");
        const prova::EsitoCli e = esegui({"check", "--json", "--html", html});
        Verdetto v;
        const QJsonObject o = QJsonDocument::fromJson(e.out.toUtf8()).object();
        EXPECT_TRUE(o.contains("danneggiato")) << e.out.toStdString() << e.err.toStdString();
        v.danneggiato = o.value("danneggiato").toBool();
        v.avviso = e.err;
        QFile f(html);
        if (f.open(QIODevice::ReadOnly))
            v.rapporto = QString::fromUtf8(f.readAll());
        return v;
    }
};

}  // namespace

TEST_F(VerificaIndici, TheFirstCheckSeesAnIndexThatMissesRecords)
{
    QRandomGenerator g(42);
    for (int giro = 0; giro < 4; ++giro) {
        SCOPED_TRACE(giro);
        // Customers, a complete small index, and a wider one made partial and then declared whole
        // behind SQLite's back: a plain count would walk the small one and see nothing.
        const int n = 5 + int(g.bounded(60));
        const int manca = int(g.bounded(n));
        QString sql =
            "DELETE FROM CLIENTI; DROP INDEX IF EXISTS \"CLIENTI.COD\"; DROP INDEX IF EXISTS \"CLIENTI.RAGCOD\";";
        for (int i = 0; i < n; ++i)
            sql += QStringLiteral("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C%1', 'R%2');")
                       .arg(i)
                       .arg(g.bounded(1000));
        sql += QStringLiteral("CREATE INDEX \"CLIENTI.COD\" ON CLIENTI (CODICE);"
                              "CREATE INDEX \"CLIENTI.RAGCOD\" ON CLIENTI (RAGSOC, CODICE) WHERE CODICE <> 'C%1';")
                   .arg(manca);
        const bool danno = giro % 2 == 0;
        if (danno)
            sql += "PRAGMA writable_schema = ON;"
                   "UPDATE sqlite_master SET sql = 'CREATE INDEX \"CLIENTI.RAGCOD\" ON CLIENTI (RAGSOC, CODICE)' "
                   "WHERE name = 'CLIENTI.RAGCOD';"
                   "PRAGMA writable_schema = OFF;";
        testsupport::sqliteExec(archivio(), sql);
        ASSERT_EQ(testsupport::sqliteValue(archivio(), "PRAGMA quick_check").toString(), "ok");

        const Verdetto v = check();
        EXPECT_EQ(v.danneggiato, danno);
        EXPECT_EQ(v.avviso.contains("lo ha trovato danneggiato"), danno) << v.avviso.toStdString();
        EXPECT_EQ(v.rapporto.contains("lo ha trovato danneggiato"), danno);
        EXPECT_FALSE(QFile::exists(home.filePath("archivi/lumera-registro.db"))) << "a check makes no journal";
    }
}

TEST_F(VerificaIndici, TheWindowsFirstRunSaysSoWithItsCounts)
{
    testsupport::sqliteExec(archivio(),
                            "CREATE INDEX \"CLIENTI.RAG\" ON CLIENTI (RAGSOC) WHERE CODICE <> 'C1';"
                            "PRAGMA writable_schema = ON;"
                            "UPDATE sqlite_master SET sql = 'CREATE INDEX \"CLIENTI.RAG\" ON CLIENTI (RAGSOC)' "
                            "WHERE name = 'CLIENTI.RAG';");
    SessioneProva().DbArchivi = dbe::OpenDatabase(archivio());
    SessioneProva().DbMaster = dbe::OpenDatabase(home.filePath("esempio.mdb"), true);
    OperatoreDiProva().ImpostaRisponditore([](const QString&, Pulsanti) { return Risposta::Ok; });
    Manutenzione m{SessioneProva()};
    m.CreaLista();
    CaricaTask(m);
    for (int i = 0; i < m.LstTask.Conta(); ++i)
        m.ImpostaStato(i, kStatoStart);
    AvviaControllo(m);
    EXPECT_EQ(OperatoreDiProva().Mostrati().filter("lo ha trovato danneggiato").size(), 1)
        << OperatoreDiProva().Mostrati().join("\n").toStdString();
    OperatoreDiProva().Azzera();
}
