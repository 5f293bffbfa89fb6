// corvale-cli check --html on the demo, run as a process: every task of the run in the page with
// its outcome and count, the structure differences in words, a hostile value shown as text, nothing
// loaded from elsewhere; and the option refused before anything runs.
#include "support/pagina_html.h"
#include "support/processo_cli.h"
#include "support/sqlite_file.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include "support/stampa_qt.h"

using namespace corvale;

namespace {

const QString kOstile = QStringLiteral("<script>alert(1)</script>");

// The differences row of that object, or an empty list.
QStringList differenza(const QList<QStringList>& righe, const QString& oggetto)
{
    for (const QStringList& r : righe)
        if (!r.isEmpty() && r[0] == oggetto)
            return r;
    return {};
}

}  // namespace

TEST(RapportoCheck, DemoReportHoldsEveryTaskWithItsOutcomeCountAndDifferences)
{
    QTemporaryDir dir;
    const QString home = dir.filePath("demo");
    ASSERT_EQ(prova::EseguiCli({"demo", home}).stato, 0);
    // A nameless customer (a problem record of the first data check) whose address is markup.
    testsupport::sqliteExec(home + "/archivi/lumera.mdb", "UPDATE CLIENTI SET INDIRIZZO='" + kOstile
                                                              + "' WHERE rowid=(SELECT min(rowid) FROM "
                                                                "CLIENTI WHERE RAGSOC IS NULL OR trim(RAGSOC)='')");

    const prova::EsitoCli json = prova::EseguiCli({"check", "--home", home, "--json"});
    const prova::EsitoCli testo = prova::EseguiCli({"check", "--home", home});
    const QString file = dir.filePath("rapporto.html");
    const prova::EsitoCli html = prova::EseguiCli({"check", "--home", home, "--html", file});
    ASSERT_EQ(html.stato, 1) << html.err.toStdString();
    EXPECT_EQ(html.out, testo.out);  // the usual output, beside the page
    const QString pagina = QString::fromUtf8(testsupport::fileBytes(file));
    const QString visibile = prova::TestoPagina(pagina);

    // Every task, problems first, its outcome from its state, its count over its records.
    const QJsonArray tasks = QJsonDocument::fromJson(json.out.toUtf8()).object()["tasks"].toArray();
    const QList<QStringList> compiti = prova::RigheTabella(pagina, "compiti");
    ASSERT_EQ(compiti.size(), tasks.size());
    ASSERT_GT(tasks.size(), 29);
    const QStringList ordine{"Rilevati problemi", "Non eseguibile", "Non eseguito", "Superato"};
    QMap<QString, QStringList> perChiave;
    int precedente = 0;
    for (const QStringList& r : compiti) {
        ASSERT_EQ(r.size(), 4);
        perChiave[r[0]] = r;
        EXPECT_GE(ordine.indexOf(r[2]), precedente) << r[0].toStdString();
        precedente = ordine.indexOf(r[2]);
    }
    int nonEseguibili = 0;
    for (const QJsonValue& v : tasks) {
        const QJsonObject t = v.toObject();
        const QStringList r = perChiave.value(t["key"].toString());
        ASSERT_EQ(r.size(), 4) << t["key"].toString().toStdString();
        EXPECT_EQ(r[1], t["description"].toString());
        const QString esito = t["state"] == "VER_OK"     ? "Superato"
                              : t["correggibile"] == "N" ? "Non eseguibile"
                                                         : "Rilevati problemi";
        EXPECT_EQ(r[2], esito) << r[0].toStdString();
        nonEseguibili += esito == "Non eseguibile";
        const QRegularExpressionMatch n = QRegularExpression("Rilevati (\\d+) record").match(t["detail"].toString());
        if (n.hasMatch())
            EXPECT_TRUE(visibile.contains(QString("%1 %2 %3 record con problemi").arg(r[1], r[0], n.captured(1))))
                << r[0].toStdString() << " " << n.captured(1).toStdString();
    }
    EXPECT_EQ(nonEseguibili, 1);  // the demo's archive has no MODPAGAM
    const QList<QStringList> riepilogo = prova::RigheTabella(pagina, "riepilogo");
    ASSERT_EQ(riepilogo.size(), 2);
    EXPECT_TRUE(riepilogo[0][0].startsWith("Struttura delle tabelle 16 controlli"));
    EXPECT_TRUE(riepilogo[1][2].contains("1 non eseguibile"));

    // The coded problems as a reader wants them: what the archive has, what the master wants.
    const QList<QStringList> diff = prova::RigheTabella(pagina, "differenze");
    EXPECT_EQ(differenza(diff, "Campo INDIRIZZO"), QStringList({"Campo INDIRIZZO", "40 caratteri", "60 caratteri"}));
    EXPECT_EQ(differenza(diff, "Campo IMPONIBILE"), QStringList({"Campo IMPONIBILE", "Precisione doppia", "Valuta"}));
    EXPECT_EQ(differenza(diff, "Campo ZONA").value(2), "Intero lungo");
    EXPECT_EQ(differenza(diff, "Campo CELLULARE").value(1), "assente");
    EXPECT_EQ(differenza(diff, "Tabella MODPAGAM").value(1), "assente");
    const QStringList sito = differenza(diff, "Attributi del campo SITOWEB");
    ASSERT_EQ(sito.size(), 3);
    EXPECT_FALSE(sito[1].contains("collegamento ipertestuale"));
    EXPECT_TRUE(sito[2].contains("collegamento ipertestuale"));
    const QStringList indice = differenza(diff, "Indice DOCUMENTO, campo LIB3");
    ASSERT_EQ(indice.size(), 3);
    EXPECT_FALSE(indice[1].contains("LIB3"));
    EXPECT_TRUE(indice[2].contains("LIB3"));
    EXPECT_TRUE(differenza(diff, QString::fromUtf8("Proprietà Description")).value(2).startsWith("presente"));
    EXPECT_TRUE(visibile.contains(QString::fromUtf8("al più nove differenze")));  // CLIENTI has twelve

    // In print no heading stands alone at the foot of a page: each heading of the page and the line
    // under it forbid a break after them, a table's header and first rows and the first records a
    // break before those rows.
    QString stile = pagina.section("<style>", 1, 1).section("</style>", 0, 0);
    stile.remove(QRegularExpression("/\\*.*?\\*/", QRegularExpression::DotMatchesEverythingOption));
    const auto vieta = [&stile](const QString& selettore, const QString& dove) {
        for (const QString& regola : stile.split('}')) {
            QStringList selettori = regola.section('{', 0, 0).split(',');
            for (QString& s : selettori)
                s = s.simplified();
            const QString dichiarazioni = regola.section('{', 1);
            if (selettori.contains(selettore) && dichiarazioni.contains(" break-" + dove + ": avoid")
                && dichiarazioni.contains("page-break-" + dove + ": avoid"))
                return true;
        }
        return false;
    };
    for (const QString titolo : {"h2", "h3"}) {
        ASSERT_TRUE(pagina.contains("<" + titolo + ">") || pagina.contains("<" + titolo + " "));
        EXPECT_TRUE(vieta(titolo, "after")) << titolo.toStdString();
        EXPECT_TRUE(vieta(titolo + " + p", "after")) << titolo.toStdString();
    }
    EXPECT_TRUE(vieta("thead", "after"));
    EXPECT_TRUE(vieta("tbody tr:nth-child(-n+2)", "before"));
    EXPECT_TRUE(vieta(".scheda:nth-child(-n+2)", "before"));

    // The hostile value is text, and the page needs nothing from outside.
    EXPECT_FALSE(pagina.contains(kOstile));
    EXPECT_TRUE(visibile.contains("INDIRIZZO " + kOstile));
    EXPECT_FALSE(pagina.contains(QRegularExpression("(src|href)\\s*=\\s*[\"']?(https?:|//)")));
    EXPECT_FALSE(pagina.contains("<script"));
    EXPECT_TRUE(pagina.contains("<svg"));
}

TEST(RapportoCheck, RefusesAMissingValueOrFolderBeforeRunning)
{
    QTemporaryDir dir;
    const prova::EsitoCli senza = prova::EseguiCli({"check", "--html"});
    EXPECT_EQ(senza.stato, 2);
    EXPECT_TRUE(senza.err.startsWith("Valore mancante per --html.\n")) << senza.err.toStdString();
    const QString file = dir.filePath("manca/rapporto.html");
    const prova::EsitoCli cartella = prova::EseguiCli({"check", "--home", dir.path(), "--html", file});
    EXPECT_EQ(cartella.stato, 2);
    EXPECT_EQ(cartella.out, "");
    EXPECT_EQ(cartella.err.section('\n', 0, 0),
              "Impossibile scrivere il rapporto in " + file + ": la cartella non esiste.");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}
