// corvale-cli sql, run as the operator runs it: the built tool on a real archive file.
#include "dbengine/dbengine.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include "support/processo_cli.h"
#include <gtest/gtest.h>

namespace {

using CliRun = corvale::prova::EsitoCli;

CliRun sql(const QStringList& args) { return corvale::prova::EseguiCli(QStringList{QStringLiteral("sql")} + args); }

class SqlCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = dir.filePath(QStringLiteral("lumera.mdb"));
        dbe::Database db = dbe::CreateDatabase(path);
        db.Execute(QStringLiteral("CREATE TABLE VENDITE (NUMORD TEXT(10), DATA DATETIME, IMPORTO DOUBLE, PEZZI LONG, "
                                  "EVASO YESNO, NOTE MEMO)"));
        db.Execute(QStringLiteral("INSERT INTO VENDITE (NUMORD, DATA, IMPORTO, PEZZI, EVASO, NOTE) "
                                  "VALUES ('7', #03/15/2001#, 1234.5, 3, TRUE, 'prima\triga')"));
        db.Execute(QStringLiteral("INSERT INTO VENDITE (NUMORD, IMPORTO, EVASO) VALUES ('8', 2, FALSE)"));
        db.Close();
    }
    QTemporaryDir dir;
    QString path;
};

}  // namespace

TEST_F(SqlCommandTest, ASelectPrintsAHeaderOneLinePerRecordAndTheCount)
{
    const CliRun r = sql({path, QStringLiteral("SELECT * FROM VENDITE ORDER BY NUMORD")});
    EXPECT_EQ(r.stato, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("NUMORD\tDATA\tIMPORTO\tPEZZI\tEVASO\tNOTE\n"
                                    "7\t2001-03-15 00:00:00\t1234.5\t3\t-1\tprima riga\n"
                                    "8\t\t2\t\t0\t\n"
                                    "2 record\n"));
    const CliRun none = sql({path, QStringLiteral("SELECT NUMORD FROM VENDITE WHERE NUMORD='9'")});
    EXPECT_EQ(none.stato, 0);
    EXPECT_EQ(none.out, QStringLiteral("NUMORD\n0 record\n"));
}

TEST_F(SqlCommandTest, OtherStatementsPrintTheRecordsTheyChanged)
{
    CliRun r = sql({path, QStringLiteral("UPDATE VENDITE SET PEZZI=5 WHERE ISNULL(PEZZI)")});
    EXPECT_EQ(r.stato, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("1 record\n"));
    r = sql({path, QStringLiteral("ALTER TABLE VENDITE ADD COLUMN DITTA TEXT(10)")});
    EXPECT_EQ(r.stato, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QString());
    r = sql({path, QStringLiteral("SELECT PEZZI, DITTA FROM VENDITE WHERE NUMORD='8'")});
    EXPECT_EQ(r.out, QStringLiteral("PEZZI\tDITTA\n5\t\n1 record\n"));
}

TEST_F(SqlCommandTest, ErrorsGiveTheEngineNumberAndDescriptionAndStatus2)
{
    const QString missing = dir.filePath(QStringLiteral("manca.mdb"));
    CliRun r = sql({missing, QStringLiteral("SELECT * FROM VENDITE")});
    EXPECT_EQ(r.stato, 2);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("Errore 3024: "))) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_FALSE(QFile::exists(missing));  // never a new database

    r = sql({path, QStringLiteral("SELECT * FROM AGENDA")});
    EXPECT_EQ(r.stato, 2);
    EXPECT_EQ(r.err, QStringLiteral("Errore 3078: Il motore di database non trova la tabella o la "
                                    "query di input 'AGENDA'. Verificare che esista e che il nome "
                                    "sia stato digitato correttamente.\n"));

    r = sql({path});
    EXPECT_EQ(r.stato, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Uso: corvale-cli sql FILE ISTRUZIONE")));
}
