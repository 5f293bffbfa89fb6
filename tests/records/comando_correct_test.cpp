// corvale-cli correct, run as a process on archives made in the test: each action, the unknown
// master value, the exit statuses and the state printed after the re-run check.
#include "support/archivi_prova.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include "support/stampa_qt.h"

using namespace corvale;

namespace {

struct Esito {
    int stato = -1;
    QString out;
    QString err;
};

class ComandoCorrect : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(archivi.isValid());
        // A master with one table: its structure task is 0001K, data check No. n is key n + 1.
        dbe::Database m = dbe::CreateDatabase(home.filePath("esempio.mdb"));
        prova::Esegui(m, {"CREATE TABLE AGENZIA (COD TEXT(10), RAG TEXT(50), VERSDB TEXT(5))"});
        m.Close();
        dbe::Database a = prova::CreaArchivioCompleto(archivi.filePath("lumera.mdb"));
        prova::Esegui(a, {"INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', 'Rossi')",
                          "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C2', 'Bianchi')",
                          "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C3', '  ')",
                          "INSERT INTO VENDITE (NUMORD, CODCLI, DITTA, DATA) VALUES ('1', 'X1', 'F1', #03/15/2001#)",
                          "INSERT INTO VENDITE (NUMORD, CODCLI, DITTA, DATA) VALUES ('2', 'X2', 'F1', #03/15/2001#)"});
        a.Close();
    }
    void TearDown() override { prova::AzzeraAmbiente(); }

    Esito esegui(const QStringList& args)
    {
        QProcess p;
        p.start(QStringLiteral(CORVALE_CLI_PATH),
                QStringList{"correct"} + args + QStringList{"--home", home.path(), "--archive", archivi.path()});
        p.waitForFinished(120000);
        Esito e;
        e.stato = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        e.out = QString::fromUtf8(p.readAllStandardOutput());
        e.err = QString::fromUtf8(p.readAllStandardError());
        return e;
    }
    QStringList colonna(const QString& query)
    {
        dbe::Database a = dbe::OpenDatabase(archivi.filePath("lumera.mdb"));
        dbe::Recordset rs = a.OpenRecordset(query);
        QStringList l;
        if (rs.RecordCount() > 0) {
            for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
                l << (rs.Value(0).isNull() ? QStringLiteral("<null>") : rs.Value(0).toString());
        }
        rs.Close();
        a.Close();
        return l;
    }

    QTemporaryDir home;
    QTemporaryDir archivi;
};

}  // namespace

TEST_F(ComandoCorrect, ReassignDeleteAndTheExitStatuses)
{
    // "Controllo Ordini senza Clienti" (No. 7): a name the list does not hold changes nothing.
    Esito e = esegui({"0008K", "--associa", "Verdi"});
    EXPECT_EQ(e.stato, 2);
    EXPECT_TRUE(e.err.contains("Verdi")) << e.err.toStdString() << e.out.toStdString();
    EXPECT_EQ(colonna("SELECT CODCLI FROM VENDITE"), (QStringList{"X1", "X2"}));

    e = esegui({"0008K", "--associa", "Bianchi"});
    EXPECT_EQ(e.stato, 0) << e.err.toStdString();
    EXPECT_TRUE(e.out.startsWith("0008K\tControllo Ordini senza Clienti\t")) << e.out.toStdString();
    EXPECT_TRUE(e.out.contains("Controllo superato con successo"));
    EXPECT_EQ(colonna("SELECT CODCLI FROM VENDITE"), (QStringList{"C2", "C2"}));

    // "Controllo Schede Vuote Clienti" (No. 1) offers deletion only.
    e = esegui({"0002K", "--fisso"});
    EXPECT_EQ(e.stato, 2);
    e = esegui({"0002K", "--elimina"});
    EXPECT_EQ(e.stato, 0) << e.err.toStdString();
    EXPECT_EQ(colonna("SELECT RAGSOC FROM CLIENTI"), (QStringList{"Rossi", "Bianchi"}));
    // A task that passes already: nothing to do, exit 0.
    EXPECT_EQ(esegui({"0002K", "--elimina"}).stato, 0);

    // Bad requests.
    EXPECT_EQ(esegui({"0002K"}).stato, 2);
    EXPECT_EQ(esegui({"0002K", "--elimina", "--fisso"}).stato, 2);
    EXPECT_EQ(esegui({"9999K", "--elimina"}).stato, 2);
    EXPECT_EQ(esegui({"0001K", "--elimina"}).stato, 2);  // a structure task
}

TEST_F(ComandoCorrect, FixedCodeAndJoinedRecordsAndProblemsLeft)
{
    // "Controllo Ordini senza Fornitori" (No. 9): the fixed code VARIE, which is no supplier, so
    // the orders still point nowhere and the task keeps its problems (exit 1).
    Esito e = esegui({"0010K", "--fisso"});
    EXPECT_EQ(e.stato, 1) << e.err.toStdString();
    EXPECT_TRUE(e.out.contains("Rilevati 2 record nulli o scollegati")) << e.out.toStdString();
    EXPECT_EQ(colonna("SELECT DITTA FROM VENDITE"), (QStringList{"VARIE", "VARIE"}));

    // "Controllo Ordini/Offerte senza Dettaglio" (No. 18) skips VARIE orders: give one back a
    // supplier and delete it through the join.
    {
        dbe::Database a = dbe::OpenDatabase(archivi.filePath("lumera.mdb"));
        a.Execute("UPDATE VENDITE SET DITTA='F1' WHERE NUMORD='2'");
        a.Close();
    }
    e = esegui({"0019K", "--elimina"});
    EXPECT_EQ(e.stato, 0) << e.err.toStdString();
    EXPECT_EQ(colonna("SELECT NUMORD FROM VENDITE"), QStringList{"1"});
}
