// The report of a run gathered from the maintenance logic after a real run on a small archive: the
// tasks that the run removed from the list, a check that could not run, one the run never came to,
// the first fifty problem records and their total, values in Italian form and the version warning.
#include "checks/ciclo_controllo.h"
#include "checks/catalogo.h"
#include "core/sessione.h"
#include "core/operatore.h"
#include "report/rapporto_html.h"
#include "core/manutenzione.h"
#include "support/archivi_prova.h"
#include "support/pagina_html.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include "support/stampa_qt.h"

using namespace corvale;

namespace {

class Rapporto : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        OperatoreDiProva().ImpostaRisponditore([](const QString&, Pulsanti) { return Risposta::Ok; });
        SessioneProva().DbArchivi = prova::CreaArchivioCompleto(dir.filePath("lumera.mdb"));
        // Sixty nameless customers; AGENDA gains an amount; the archive has no payment methods.
        QStringList righe{"ALTER TABLE AGENDA ADD COLUMN IMPORTO DOUBLE",
                          "INSERT INTO AGENDA (GIORNO, TESTO, IMPORTO) VALUES (#2026-03-01#, '  ', 1234.5)",
                          "INSERT INTO AGENZIA (COD, RAG, VERSDB) VALUES ('1', 'Sede', 'A.04 ')",
                          "DROP TABLE MODPAGAM"};
        for (int i = 1; i <= 60; ++i)
            righe << QStringLiteral("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C%1', NULL)").arg(i);
        prova::Esegui(SessioneProva().DbArchivi, righe);
        SessioneProva().DbMaster = dbe::CreateDatabase(dir.filePath("esempio.mdb"));
        prova::Esegui(SessioneProva().DbMaster, {"CREATE TABLE CLIENTI (CODICE TEXT(10), RAGSOC TEXT(60))",
                                                 "CREATE TABLE LINEE (LINEA TEXT(10), DESCR TEXT(50))"});
        SessioneProva().VersioneMaster = QStringLiteral("A.05 ");
    }
    void TearDown() override
    {
        OperatoreDiProva().Azzera();
        prova::AzzeraAmbiente();
    }

    QTemporaryDir dir;
};

}  // namespace

TEST_F(Rapporto, GathersTheWholeTableAfterARunAndWritesItInItalian)
{
    Manutenzione m{SessioneProva()};
    m.CreaLista();
    CaricaTask(m);
    for (int i = 0; i < m.LstTask.Conta(); ++i)
        m.ImpostaStato(i, kStatoStart);
    m.LstTask.ImpostaSpunta(m.LstTask.Trova(QStringLiteral("0005K")), false);  // never run
    AvviaControllo(m);
    ASSERT_LT(m.LstTask.Conta(), 31);  // the passed tasks have left the list

    const RapportoControllo r = RaccogliRapporto(m, QDateTime(QDate(2026, 3, 7), QTime(9, 5)));
    ASSERT_EQ(r.Task.size(), 31);
    EXPECT_EQ(r.Task[1].Descrizione, "Controllo Struttura Tabella <<LINEE>>");
    EXPECT_EQ(r.Task[1].Esito, EsitoTask::Superato);
    EXPECT_EQ(r.Task[4].Descrizione, "Controllo Schede Vuote Agenti");
    EXPECT_EQ(r.Task[4].Esito, EsitoTask::NonEseguito);
    const TaskRapporto& struttura = r.Task[0];
    EXPECT_EQ(struttura.Esito, EsitoTask::Problemi);
    ASSERT_EQ(struttura.Differenze.size(), 1);
    EXPECT_EQ(struttura.Differenze[0].Oggetto, "Campo RAGSOC");
    EXPECT_EQ(struttura.Differenze[0].Archivio, "50 caratteri");
    EXPECT_EQ(struttura.Differenze[0].Master, "60 caratteri");
    const TaskRapporto& clienti = r.Task[2];
    EXPECT_EQ(clienti.Esito, EsitoTask::Problemi);
    EXPECT_EQ(clienti.TotaleRecord, 60);
    EXPECT_EQ(clienti.Righe.size(), kRecordPerControllo);
    EXPECT_EQ(clienti.Colonne, QStringList({"CODICE", "RAGSOC"}));
    const TaskRapporto& pagamenti = r.Task[2 + 23];
    EXPECT_EQ(pagamenti.Descrizione,
              QString::fromUtf8("Controllo Relazioni Clienti-Ditte senza modalità di pagamento"));
    EXPECT_EQ(pagamenti.Esito, EsitoTask::NonEseguibile);
    EXPECT_TRUE(pagamenti.Colonne.isEmpty());

    const QString html = RapportoHtml(r);
    const QString testo = prova::TestoPagina(html);
    EXPECT_TRUE(testo.contains(QString::fromUtf8("Analisi del 7 marzo 2026 alle 09:05")))
        << testo.left(300).toStdString();
    EXPECT_TRUE(testo.contains("Attenzione !!! Prima di eseguire"));
    EXPECT_TRUE(testo.contains("60 record con problemi; sono mostrati i primi 50."));
    // The agenda entry without text: its amount with a decimal comma, its blank text marked.
    const QList<QStringList> record = prova::RigheTabella(html, "record");
    EXPECT_TRUE(record.contains(QStringList({"01/03/2026", "(solo spazi)", "1234,5"})));
    EXPECT_TRUE(record.contains(QStringList({"C1", QString::fromUtf8("—")})));

    // Problems first, then what could not run, what never ran, and what passed.
    const QList<QStringList> compiti = prova::RigheTabella(html, "compiti");
    ASSERT_EQ(compiti.size(), 31);
    EXPECT_EQ(compiti[0][0], "0001K");
    EXPECT_EQ(compiti[3],
              QStringList({"0026K", QString::fromUtf8("Controllo Relazioni Clienti-Ditte senza modalità di pagamento"),
                           "Non eseguibile",
                           "Impossibile eseguire il controllo... probabile errore di definizione struttura."}));
    EXPECT_EQ(compiti[4], QStringList({"0005K", "Controllo Schede Vuote Agenti", "Non eseguito", ""}));
    EXPECT_EQ(compiti[30][2], "Superato");
    const QList<QStringList> riepilogo = prova::RigheTabella(html, "riepilogo");
    ASSERT_EQ(riepilogo.size(), 2);
    EXPECT_TRUE(riepilogo[1][2].contains("1 non eseguibile")) << riepilogo[1][2].toStdString();
    EXPECT_TRUE(riepilogo[1][2].contains("1 non eseguito")) << riepilogo[1][2].toStdString();

    // Written whole to a file; a folder that does not exist gives the message and no file.
    const QString file = dir.filePath("rapporto.html");
    QString errore;
    ASSERT_TRUE(ScriviRapportoHtml(r, file, &errore)) << errore.toStdString();
    EXPECT_FALSE(ScriviRapportoHtml(r, dir.filePath("manca/rapporto.html"), &errore));
    EXPECT_TRUE(errore.startsWith("Impossibile scrivere il rapporto ")) << errore.toStdString();
    EXPECT_EQ(NomeRapportoProposto("/archivi", QDate(2026, 3, 7)), "/archivi/rapporto-controllo-2026-03-07.html");
}
