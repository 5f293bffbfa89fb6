// Database::Execute: data statements with their record counts and rules, and the data-definition
// statements of the field rebuilds, mapped onto the same operations as the objects.
#include "dbengine/dbengine.h"
#include "support/sqlite_file.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dbe;
using testsupport::sqliteValue;

namespace {

class ExecuteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = dir.path() + QStringLiteral("/lumera.mdb");
        testsupport::sqliteExec(
            path,
            QStringLiteral(
                "BEGIN; CREATE TABLE CLIENTI (CODCLI TEXT(10) COLLATE NOCASE NOT NULL, RAGSOC TEXT(30) COLLATE NOCASE,"
                " FIDO CURRENCY);"
                "CREATE UNIQUE INDEX \"CLIENTI.PrimaryKey\" ON CLIENTI (CODCLI COLLATE NOCASE);"
                "CREATE INDEX \"CLIENTI.RagSoc\" ON CLIENTI (RAGSOC COLLATE NOCASE, CODCLI COLLATE NOCASE);"
                "CREATE TABLE MSysIndexes (SqliteName TEXT NOT NULL COLLATE NOCASE PRIMARY KEY, IsPrimary INTEGER NOT "
                "NULL"
                " DEFAULT 0, IsRequired INTEGER NOT NULL DEFAULT 0, IgnoreNulls INTEGER NOT NULL DEFAULT 0);"
                "INSERT INTO MSysIndexes VALUES ('CLIENTI.PrimaryKey', 1, 0, 0);"
                "INSERT INTO CLIENTI VALUES ('C1', 'ROSSI SRL', 10), ('C2', 'BIANCHI SPA CON UN NOME LUNGO', 20),"
                " ('C3', NULL, 30);"
                "COMMIT;"));
        db = OpenDatabase(path);
    }

    int errorOf(const QString& statement)
    {
        try {
            db.Execute(statement);
        } catch (const DbError& e) {
            return e.number();
        }
        return 0;
    }

    QString ragsoc() const
    {
        return sqliteValue(path, QStringLiteral("SELECT group_concat(coalesce(RAGSOC, '-'), '|') FROM "
                                                "(SELECT RAGSOC FROM CLIENTI ORDER BY CODCLI)"))
            .toString();
    }

    QTemporaryDir dir;
    QString path;
    Database db;
};

}  // namespace

TEST_F(ExecuteTest, DataStatementsCountRecordsAndApplyWholeOrNotAtAll)
{
    db.Execute(QStringLiteral("UPDATE CLIENTI SET FIDO = FIDO * 2 WHERE FIDO > 15"));
    EXPECT_EQ(db.RecordsAffected(), 2);
    EXPECT_EQ(sqliteValue(path, QStringLiteral("SELECT sum(FIDO) FROM CLIENTI")).toDouble(), 110.0);

    const QString before = ragsoc();
    EXPECT_EQ(errorOf(QStringLiteral("UPDATE CLIENTI SET RAGSOC = RAGSOC & ' DI MILANO'")), 3163);
    EXPECT_EQ(errorOf(QStringLiteral("UPDATE CLIENTI SET RAGSOC = ''")), 3315);
    EXPECT_EQ(errorOf(QStringLiteral("UPDATE CLIENTI SET CODCLI = 'c1'")), 3022);
    EXPECT_EQ(errorOf(QStringLiteral("UPDATE CLIENTI SET CODCLI = NULL WHERE CODCLI = 'C3'")), 3058);
    EXPECT_EQ(ragsoc(), before);

    db.Execute(QStringLiteral("DELETE FROM CLIENTI WHERE ISNULL(RAGSOC)"));
    EXPECT_EQ(db.RecordsAffected(), 1);
    db.Close();
    EXPECT_EQ(errorOf(QStringLiteral("DELETE FROM CLIENTI")), 3420);
}

TEST_F(ExecuteTest, LengthChangeOnASecondConnectionInsideATransaction)
{
    // The indexes holding the field go first, then the column is rebuilt through statements.
    Database second = OpenDatabase(db.Name());
    TableDef t = second.TableDefs().Item(QStringLiteral("CLIENTI"));
    t.Indexes().Delete(QStringLiteral("RagSoc"));
    Workspace::Default().BeginTrans();
    second.Execute(QStringLiteral("ALTER TABLE CLIENTI ADD COLUMN [NEWRAGSOC]TEXT(60);"));
    second.Execute(QStringLiteral("UPDATE CLIENTI SET [NEWRAGSOC]=[RAGSOC];"));
    EXPECT_EQ(second.RecordsAffected(), 3);
    second.Execute(QStringLiteral("ALTER TABLE CLIENTI DROP [RAGSOC]"));
    Workspace::Default().CommitTrans();
    second.Close();

    second = OpenDatabase(db.Name());
    Field f = second.TableDefs().Item(QStringLiteral("CLIENTI")).Fields().Item(QStringLiteral("NEWRAGSOC"));
    f.SetName(QStringLiteral("RAGSOC"));
    f.SetAllowZeroLength(true);
    db.TableDefs().Refresh();
    Field now = db.TableDefs().Item(QStringLiteral("CLIENTI")).Fields().Item(QStringLiteral("RAGSOC"));
    EXPECT_EQ(now.Size(), 60);
    EXPECT_EQ(now.OrdinalPosition(), 2);
    EXPECT_TRUE(now.AllowZeroLength());
    EXPECT_EQ(ragsoc(), QStringLiteral("ROSSI SRL|BIANCHI SPA CON UN NOME LUNGO|-"));

    // Shorter than a value: the copy is refused and the transaction leaves nothing behind.
    Workspace::Default().BeginTrans();
    second.Execute(QStringLiteral("ALTER TABLE CLIENTI ADD COLUMN [NEWRAGSOC]TEXT(10);"));
    EXPECT_EQ(
        [&] {
            try {
                second.Execute(QStringLiteral("UPDATE CLIENTI SET [NEWRAGSOC]=[RAGSOC];"));
            } catch (const DbError& e) {
                return e.number();
            }
            return 0;
        }(),
        3163);
    Workspace::Default().Rollback();
    EXPECT_FALSE(db.TableDefs().Item(QStringLiteral("CLIENTI")).Fields().Contains(QStringLiteral("NEWRAGSOC")));
}

TEST_F(ExecuteTest, DefinitionStatements)
{
    EXPECT_EQ(errorOf(QStringLiteral("ALTER TABLE CLIENTI DROP COLUMN RAGSOC")), 3280);  // still indexed
    EXPECT_EQ(errorOf(QStringLiteral("ALTER TABLE CLIENTI ADD COLUMN ragsoc TEXT(10)")), 3380);
    EXPECT_EQ(errorOf(QStringLiteral("DROP TABLE NESSUNA")), 3376);
    EXPECT_EQ(errorOf(QStringLiteral("CREATE TABLE clienti (A TEXT)")), 3010);

    db.Execute(QStringLiteral("CREATE TABLE ORDINI (NUMORD LONG NOT NULL, CODCLI TEXT(10), NOTE MEMO, "
                              "CONSTRAINT PrimaryKey PRIMARY KEY (NUMORD), CONSTRAINT Cli UNIQUE (CODCLI, NUMORD))"));
    TableDef o = db.TableDefs().Item(QStringLiteral("ORDINI"));
    EXPECT_EQ(o.Fields().Count(), 3);
    EXPECT_TRUE(o.Fields().Item(QStringLiteral("NUMORD")).Required());
    EXPECT_EQ(o.Fields().Item(QStringLiteral("CODCLI")).Size(), 10);
    EXPECT_EQ(o.Fields().Item(QStringLiteral("NOTE")).Type(), dbMemo);
    EXPECT_TRUE(o.Indexes().Item(QStringLiteral("PrimaryKey")).Primary());
    EXPECT_TRUE(o.Indexes().Item(QStringLiteral("Cli")).Unique());
    EXPECT_EQ(o.Indexes().Item(QStringLiteral("Cli")).Fields().Item(1).Name(), QStringLiteral("NUMORD"));

    testsupport::sqliteExec(path, QStringLiteral("INSERT INTO ORDINI (NUMORD, CODCLI) VALUES (1, 'A'), (2, 'a')"));
    EXPECT_EQ(errorOf(QStringLiteral("CREATE UNIQUE INDEX Cod ON ORDINI (CODCLI)")), 3022);
    db.Execute(QStringLiteral("CREATE INDEX Cod ON ORDINI (CODCLI)"));
    EXPECT_FALSE(o.Indexes().Item(QStringLiteral("Cod")).Unique());
    db.Execute(QStringLiteral("DROP INDEX Cod ON ORDINI"));
    EXPECT_FALSE(o.Indexes().Contains(QStringLiteral("Cod")));
    db.Execute(QStringLiteral("ALTER TABLE ORDINI ADD COLUMN DATA DATETIME"));
    db.Execute(QStringLiteral("ALTER TABLE ORDINI DROP COLUMN NOTE"));
    EXPECT_EQ(o.Fields().Item(2).Name(), QStringLiteral("DATA"));
    db.Execute(QStringLiteral("DROP TABLE ORDINI"));
    EXPECT_FALSE(db.TableDefs().Contains(QStringLiteral("ORDINI")));
}
