// The bulk inserter on a real archive file: values by type read back through a record set, the
// field rules it enforces, and its own transaction (nothing kept without Commit).
#include "dbengine/dbengine.h"
#include "dbengine/inserter.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

dbe::Database archivioConTabella(const QTemporaryDir& dir)
{
    dbe::Database db = dbe::CreateDatabase(dir.filePath("prova.mdb"));
    db.Execute("CREATE TABLE CLIENTI (CODICE TEXT(6) CONSTRAINT PrimaryKey PRIMARY KEY, "
               "RAGSOC TEXT(20), ZONA TEXT(4), FIDO CURRENCY, NUMERO LONG, DATAINS DATETIME, "
               "ATTIVO BIT)");
    return db;
}

TEST(Inserter, WritesValuesByTypeThatReadBackAsTheFieldsStoreThem)
{
    QTemporaryDir dir;
    dbe::Database db = archivioConTabella(dir);
    {
        dbe::Inserter ins(db, "clienti", {"CODICE", "RAGSOC", "ZONA", "FIDO", "NUMERO", "DATAINS", "ATTIVO"});
        ins.SetText(0, "C00001");
        ins.SetText(1, "Rossi Marco");
        ins.SetInteger(2, 12);  // a number into a text field: its decimal text
        ins.SetReal(3, 1500.25);
        ins.SetInteger(4, 7);
        ins.SetDate(5, QDate(2023, 4, 5));
        ins.SetInteger(6, -1);
        ins.Insert();
        ins.SetText(0, "C00002");  // every other field back to Null
        ins.Insert();
        EXPECT_EQ(ins.Count(), 2);
        ins.Commit();
    }
    dbe::Recordset rs = db.OpenRecordset("SELECT * FROM CLIENTI WHERE DATAINS=#4/5/2023#");
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Value("ZONA").toString(), "12");
    EXPECT_DOUBLE_EQ(rs.Value("FIDO").toDouble(), 1500.25);
    EXPECT_EQ(rs.Value("NUMERO").toLongLong(), 7);
    EXPECT_EQ(rs.Value("DATAINS").toDateTime(), QDateTime(QDate(2023, 4, 5), QTime(0, 0)));
    EXPECT_TRUE(rs.Value("ATTIVO").toBool());
    rs.Close();
    dbe::Recordset vuoto = db.OpenRecordset("SELECT * FROM CLIENTI WHERE ISNULL(RAGSOC) AND ISNULL(DATAINS)");
    EXPECT_EQ(vuoto.RecordCount(), 1);
}

TEST(Inserter, EnforcesTheFieldRulesAndKeepsNothingWithoutCommit)
{
    QTemporaryDir dir;
    dbe::Database db = archivioConTabella(dir);
    {
        dbe::Inserter ins(db, "CLIENTI", {"CODICE", "RAGSOC"});
        ins.SetText(0, "C00001");
        ins.Insert();
        try {
            ins.SetText(1, "Una ragione sociale troppo lunga");
            FAIL() << "a text longer than the field";
        } catch (const dbe::DbError& e) {
            EXPECT_EQ(e.number(), dbe::err::FieldTooSmall);
        }
        ins.SetText(0, "C00001");
        try {
            ins.Insert();
            FAIL() << "a duplicate primary key";
        } catch (const dbe::DbError& e) {
            EXPECT_EQ(e.number(), dbe::err::DuplicateKey);
        }
        // Destroyed without Commit: the first record goes too.
    }
    EXPECT_EQ(db.OpenRecordset("CLIENTI").RecordCount(), 0);
    EXPECT_THROW(dbe::Inserter(db, "MANCANTE", {"CODICE"}), dbe::DbError);
    EXPECT_THROW(dbe::Inserter(db, "CLIENTI", {"NESSUNO"}), dbe::DbError);
}

}  // namespace
