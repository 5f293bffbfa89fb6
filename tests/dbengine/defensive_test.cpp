// Archives from elsewhere are opened defensively: triggers written into the file by another program
// never fire on the engine's deletes, updates and inserts; views stay out of the table list; no
// other file can be attached; extension loading and untrusted schema functions are off.
#include "dbengine/dbengine.h"
#include "support/sqlite_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using testsupport::sqliteExec;
using testsupport::sqliteValue;

class ArchivioEstraneo : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        file = dir.filePath("lumera.mdb");
        altro = dir.filePath("altro.db");
        dbe::CreateDatabase(file).Close();
        sqliteExec(altro, "CREATE TABLE FURTO (X TEXT)");
        // Written by another program: a log table, triggers that copy every change into it and
        // into another file, and a view.
        sqliteExec(file, "CREATE TABLE CLIENTI (CODICE TEXT, RAGSOC TEXT);"
                         "CREATE TABLE REGISTRO (QUANDO TEXT, COSA TEXT);"
                         "INSERT INTO CLIENTI VALUES ('C1', 'Uno'), ('C2', NULL), ('C3', 'Tre');"
                         "CREATE TRIGGER td AFTER DELETE ON CLIENTI BEGIN "
                         "  INSERT INTO REGISTRO VALUES ('delete', old.CODICE); END;"
                         "CREATE TRIGGER tu AFTER UPDATE ON CLIENTI BEGIN "
                         "  INSERT INTO REGISTRO VALUES ('update', new.CODICE); DELETE FROM CLIENTI; END;"
                         "CREATE TRIGGER ti BEFORE INSERT ON CLIENTI BEGIN "
                         "  SELECT RAISE(ABORT, 'vietato'); END;"
                         "CREATE VIEW VISTA AS SELECT CODICE FROM CLIENTI;");
    }

    QTemporaryDir dir;
    QString file;
    QString altro;
};

}  // namespace

TEST_F(ArchivioEstraneo, TriggersNeverFireOnTheEnginesChanges)
{
    dbe::Database db = dbe::OpenDatabase(file);
    db.Execute("DELETE FROM CLIENTI WHERE RAGSOC IS NULL");
    EXPECT_EQ(db.RecordsAffected(), 1);
    db.Execute("UPDATE CLIENTI SET RAGSOC = 'Primo' WHERE CODICE = 'C1'");

    dbe::Recordset rs = db.OpenRecordset("CLIENTI");
    rs.AddNew();
    rs.SetValue("CODICE", "C4");
    rs.Update();
    rs.MoveFirst();
    rs.Edit();
    rs.SetValue("RAGSOC", "Ancora");
    rs.Update();
    rs.MoveLast();
    rs.Delete();
    rs.Close();
    db.Close();

    EXPECT_EQ(sqliteValue(file, "SELECT count(*) FROM REGISTRO").toInt(), 0);
    EXPECT_EQ(sqliteValue(file, "SELECT count(*) FROM CLIENTI").toInt(), 2);
    EXPECT_EQ(sqliteValue(file, "SELECT RAGSOC FROM CLIENTI WHERE CODICE = 'C1'").toString(), "Ancora");
    // The triggers themselves are left in the file as they were.
    EXPECT_EQ(sqliteValue(file, "SELECT count(*) FROM sqlite_master WHERE type = 'trigger'").toInt(), 3);
    EXPECT_EQ(sqliteValue(file, "PRAGMA integrity_check").toString(), "ok");
}

TEST_F(ArchivioEstraneo, ViewsAreNotTablesAndNoOtherFileCanBeAttached)
{
    dbe::Database db = dbe::OpenDatabase(file);
    EXPECT_FALSE(db.TableDefs().Contains("VISTA"));
    EXPECT_TRUE(db.TableDefs().Contains("CLIENTI"));

    const QString attacca = "ATTACH DATABASE '" + altro + "' AS fuori";
    EXPECT_THROW(db.Execute(attacca), dbe::DbError);
    EXPECT_THROW(db.OpenRecordset(attacca), dbe::DbError);
    // Nor through a statement the dialect passes on with a name in it.
    EXPECT_THROW(db.Execute("INSERT INTO [fuori].FURTO (X) VALUES ('x')"), dbe::DbError);
    db.Close();
    EXPECT_EQ(sqliteValue(altro, "SELECT count(*) FROM FURTO").toInt(), 0);
}

TEST_F(ArchivioEstraneo, SchemaFunctionsThatAreNotInnocuousAreRefused)
{
    // A view calling a function with side effects outside the file is not run for us.
    sqliteExec(file, "CREATE VIEW VISTA2 AS SELECT load_extension('libnulla') AS X");
    dbe::Database db = dbe::OpenDatabase(file);
    EXPECT_THROW(db.OpenRecordset("SELECT * FROM VISTA2"), dbe::DbError);
    EXPECT_THROW(db.OpenRecordset("SELECT load_extension('libnulla')"), dbe::DbError);
    db.Close();
}
