// Changes through record sets on real archive files: records deleted elsewhere, deletion walks,
// edits refused by each rule with nothing written, new records with auto-increment, and edits of
// a join's record landing in each table.
#include "recordset_fixture.h"

#include <gtest/gtest.h>

using dbe::Recordset;
using rstest::Archive;

namespace {

void fourClients(Archive& a)
{
    a.exec("CREATE TABLE CLIENTI (CODICE TEXT(10), RAGSOC TEXT(50))");
    for (int i = 1; i <= 4; ++i)
        a.db.Execute(QStringLiteral("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C%1', 'Ditta %1')").arg(i));
}

QString code(const Recordset& rs) { return rs.Value(QStringLiteral("CODICE")).toString(); }

}  // namespace

TEST(RecordsetChangesTest, ARecordDeletedElsewhereRaises3167WhenRead)
{
    Archive a;
    fourClients(a);
    Recordset grid =
        a.db.OpenRecordset(QStringLiteral("SELECT * FROM CLIENTI"), dbe::dbOpenDynaset, dbe::dbInconsistent);
    QVector<dbe::Bookmark> marks;
    for (grid.MoveFirst(); !grid.Eof(); grid.MoveNext())
        marks << grid.GetBookmark();

    // Through a second record set on the same database.
    Recordset other = a.db.OpenRecordset(QStringLiteral("CLIENTI"));
    other.SetAbsolutePosition(1);
    ASSERT_EQ(code(other), QStringLiteral("C2"));
    other.Delete();
    grid.SetBookmark(marks[1]);
    EXPECT_DB_ERROR(3167, grid.Value(QStringLiteral("CODICE")));
    EXPECT_DB_ERROR(3167, grid.Edit());
    EXPECT_DB_ERROR(3167, grid.Delete());

    // Through a statement, while the grid stands on the record.
    grid.SetBookmark(marks[2]);
    EXPECT_EQ(code(grid), QStringLiteral("C3"));
    a.exec("DELETE FROM CLIENTI WHERE CODICE='C3'");
    EXPECT_DB_ERROR(3167, grid.Value(0));

    // Through another connection on the same file.
    dbe::Database second = dbe::OpenDatabase(a.path);
    second.Execute(QStringLiteral("DELETE FROM CLIENTI WHERE CODICE='C4'"));
    grid.SetBookmark(marks[3]);
    EXPECT_DB_ERROR(3167, grid.Value(QStringLiteral("RAGSOC")));
    second.Close();

    grid.SetBookmark(marks[0]);
    EXPECT_EQ(code(grid), QStringLiteral("C1"));
    grid.Requery();
    grid.MoveLast();
    EXPECT_EQ(grid.RecordCount(), 1);
}

TEST(RecordsetChangesTest, DeletingLeavesADeletedCurrentRecordAndEmptiesTheSetFromTheEnd)
{
    Archive a;
    fourClients(a);
    Recordset rs = a.db.OpenRecordset(QStringLiteral("SELECT * FROM CLIENTI WHERE CODICE<>'C1'"));
    rs.MoveLast();
    ASSERT_EQ(rs.RecordCount(), 3);
    rs.MoveFirst();
    const dbe::Bookmark deleted = rs.GetBookmark();
    rs.Delete();
    EXPECT_EQ(rs.RecordCount(), 2);
    EXPECT_DB_ERROR(3167, rs.Value(0));
    EXPECT_EQ(rs.AbsolutePosition(), -1);
    rs.MoveNext();
    EXPECT_EQ(code(rs), QStringLiteral("C3"));
    EXPECT_EQ(rs.AbsolutePosition(), 0);
    rs.MovePrevious();
    EXPECT_TRUE(rs.Bof());  // the deleted record is skipped
    rs.SetBookmark(deleted);
    EXPECT_DB_ERROR(3167, rs.Value(0));

    // The lookup walk of the joined-record correction: delete the last, move to the last again.
    rs.MoveLast();
    while (!rs.Bof()) {
        rs.Delete();
        if (rstest::errorOf([&] { rs.MoveLast(); }) == 3021)
            break;
    }
    EXPECT_TRUE(rs.Bof() && rs.Eof());
    EXPECT_EQ(rs.RecordCount(), 0);
    EXPECT_EQ(a.count("SELECT * FROM CLIENTI"), 1);
    EXPECT_EQ(a.first("SELECT * FROM CLIENTI", "CODICE").toString(), QStringLiteral("C1"));
}

TEST(RecordsetChangesTest, ARefusedUpdateWritesNothingAndKeepsTheEditPending)
{
    Archive a;
    a.exec("CREATE TABLE FORNIT (COD TEXT(5) NOT NULL, NOTE TEXT(10), N LONG)");
    a.exec("CREATE UNIQUE INDEX IXCOD ON FORNIT (COD)");
    a.exec("INSERT INTO FORNIT (COD, NOTE, N) VALUES ('F1', 'uno', 1)");
    a.exec("INSERT INTO FORNIT (COD, NOTE, N) VALUES ('F2', 'due', 2)");
    a.db.TableDefs().Item(QStringLiteral("FORNIT")).Fields().Item(QStringLiteral("NOTE")).SetAllowZeroLength(false);

    Recordset rs = a.db.OpenRecordset(QStringLiteral("FORNIT"));
    EXPECT_DB_ERROR(3020, rs.SetValue(QStringLiteral("COD"), QStringLiteral("X")));
    EXPECT_DB_ERROR(3020, rs.Update());
    struct Case {
        const char* field;
        QVariant value;
        int error;
    };
    const Case cases[] = {
        {"COD", QStringLiteral("TROPPO"), 3163},      {"NOTE", QStringLiteral(""), 3315},  {"COD", QVariant(), 3314},
        {"N", QStringLiteral("non un numero"), 3464}, {"COD", QStringLiteral("F2"), 3022},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        rs.Edit();
        rs.SetValue(QStringLiteral("N"), 7);
        rs.SetValue(QString::fromUtf8(c.field), c.value);
        EXPECT_DB_ERROR(c.error, rs.Update());
        EXPECT_EQ(rs.EditMode(), dbe::dbEditInProgress);
        EXPECT_EQ(rs.Value(QString::fromUtf8(c.field)), c.value);
        // Nothing reached the file: a second connection sees the record as it was.
        dbe::Database other = dbe::OpenDatabase(a.path);
        Recordset check = other.OpenRecordset(QStringLiteral("SELECT * FROM FORNIT WHERE COD='F1'"));
        ASSERT_EQ(check.RecordCount(), 1);
        EXPECT_EQ(check.Value(QStringLiteral("NOTE")).toString(), QStringLiteral("uno"));
        EXPECT_EQ(check.Value(QStringLiteral("N")).toLongLong(), 1);
        other.Close();
        rs.CancelUpdate();
    }
    EXPECT_EQ(rs.EditMode(), dbe::dbEditNone);
    rs.Edit();
    rs.SetValue(QStringLiteral("COD"), QStringLiteral("F9"));
    rs.SetValue(QStringLiteral("N"), QStringLiteral("42"));
    rs.Update();
    EXPECT_EQ(rs.EditMode(), dbe::dbEditNone);
    EXPECT_EQ(rs.Value(QStringLiteral("COD")).toString(), QStringLiteral("F9"));
    dbe::Database other = dbe::OpenDatabase(a.path);
    Recordset check = other.OpenRecordset(QStringLiteral("SELECT * FROM FORNIT WHERE COD='F9'"));
    ASSERT_EQ(check.RecordCount(), 1);
    EXPECT_EQ(check.Value(QStringLiteral("N")).toLongLong(), 42);
    EXPECT_EQ(check.Value(QStringLiteral("NOTE")).toString(), QStringLiteral("uno"));
}

TEST(RecordsetChangesTest, AddNewNumbersAutoIncrementFieldsAndJoinsTheKeysetAtItsEnd)
{
    Archive a;
    a.exec("CREATE TABLE RISOLTI (IDRIS COUNTER, DESCR TEXT(20), CHIUSO YESNO)");
    a.exec("INSERT INTO RISOLTI (DESCR) VALUES ('primo')");
    a.exec("INSERT INTO RISOLTI (DESCR) VALUES ('secondo')");
    Recordset rs = a.db.OpenRecordset(QStringLiteral("SELECT * FROM RISOLTI WHERE DESCR<>'primo'"));
    ASSERT_EQ(rs.RecordCount(), 1);
    rs.AddNew();
    EXPECT_EQ(rs.EditMode(), dbe::dbEditAdd);
    rs.SetValue(QStringLiteral("DESCR"), QStringLiteral("terzo"));
    rs.Update();
    EXPECT_EQ(rs.RecordCount(), 2);
    EXPECT_EQ(rs.Value(QStringLiteral("DESCR")).toString(), QStringLiteral("secondo"));  // stays put
    rs.MoveLast();
    EXPECT_EQ(rs.GetBookmark(), rs.LastModified());
    EXPECT_EQ(rs.Value(QStringLiteral("IDRIS")).toLongLong(), 3);
    EXPECT_EQ(rs.Value(QStringLiteral("DESCR")).toString(), QStringLiteral("terzo"));
    EXPECT_EQ(rs.Value(QStringLiteral("CHIUSO")).toBool(), false);
    EXPECT_EQ(a.count("SELECT * FROM RISOLTI"), 3);

    // A required field left empty refuses the new record and adds nothing.
    a.exec("CREATE TABLE AGENTI (CODAGE TEXT(5) NOT NULL, NOME TEXT(20))");
    Recordset agenti = a.db.OpenRecordset(QStringLiteral("AGENTI"));
    agenti.AddNew();
    agenti.SetValue(QStringLiteral("NOME"), QStringLiteral("Rossi"));
    EXPECT_DB_ERROR(3314, agenti.Update());
    EXPECT_EQ(agenti.EditMode(), dbe::dbEditAdd);
    EXPECT_EQ(a.count("SELECT * FROM AGENTI"), 0);
    agenti.SetValue(QStringLiteral("CODAGE"), QStringLiteral("A1"));
    agenti.Update();
    EXPECT_EQ(agenti.RecordCount(), 1);
    agenti.MoveFirst();
    EXPECT_EQ(agenti.Value(QStringLiteral("NOME")).toString(), QStringLiteral("Rossi"));
}

TEST(RecordsetChangesTest, AnEditOfAJoinRecordWritesEachFieldIntoItsOwnTable)
{
    Archive a;
    a.exec("CREATE TABLE CLIENTI (CODICE TEXT(10), RAGSOC TEXT(50))");
    a.exec("CREATE TABLE VENDITE (NUMORD TEXT(10), CODICE TEXT(10), NOTE TEXT(20))");
    a.exec("CREATE TABLE DETT_ORD (NUMORD TEXT(10), RIGA LONG)");
    a.exec("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', 'Vecchia')");
    a.exec("INSERT INTO VENDITE (NUMORD, CODICE, NOTE) VALUES ('7', 'C1', 'x')");
    a.exec("INSERT INTO VENDITE (NUMORD, CODICE, NOTE) VALUES ('8', 'C1', 'y')");

    Recordset rs =
        a.db.OpenRecordset(QStringLiteral("SELECT * FROM VENDITE INNER JOIN CLIENTI ON VENDITE.CODICE=CLIENTI.CODICE "
                                          "WHERE NUMORD='7'"),
                           dbe::dbOpenDynaset, dbe::dbInconsistent);
    ASSERT_EQ(rs.RecordCount(), 1);
    rs.Edit();
    rs.SetValue(QStringLiteral("RAGSOC"), QStringLiteral("Nuova"));
    rs.SetValue(QStringLiteral("NOTE"), QStringLiteral("corretto"));
    rs.SetValue(QStringLiteral("CLIENTI.CODICE"), QStringLiteral("C9"));
    rs.Update();
    EXPECT_EQ(a.first("SELECT * FROM CLIENTI", "RAGSOC").toString(), QStringLiteral("Nuova"));
    EXPECT_EQ(a.first("SELECT * FROM CLIENTI", "CODICE").toString(), QStringLiteral("C9"));
    EXPECT_EQ(a.first("SELECT * FROM VENDITE WHERE NUMORD='7'", "NOTE").toString(), QStringLiteral("corretto"));
    EXPECT_EQ(a.first("SELECT * FROM VENDITE WHERE NUMORD='7'", "CODICE").toString(), QStringLiteral("C1"));
    EXPECT_EQ(a.first("SELECT * FROM VENDITE WHERE NUMORD='8'", "NOTE").toString(), QStringLiteral("y"));
    // The record still reads through its rowids, though it no longer meets the join.
    EXPECT_EQ(rs.Value(QStringLiteral("CLIENTI.CODICE")).toString(), QStringLiteral("C9"));

    // A join record is never deleted through the set, nor can a new one be added.
    EXPECT_DB_ERROR(3219, rs.Delete());
    EXPECT_DB_ERROR(3219, rs.AddNew());
    EXPECT_EQ(a.count("SELECT * FROM VENDITE"), 2);

    // The missing side of an outer join has no row to write into.
    Recordset orphans =
        a.db.OpenRecordset(QStringLiteral("SELECT * FROM VENDITE LEFT JOIN DETT_ORD ON VENDITE.NUMORD=DETT_ORD.NUMORD "
                                          "WHERE ISNULL(DETT_ORD.NUMORD)"),
                           dbe::dbOpenDynaset, dbe::dbInconsistent);
    ASSERT_GT(orphans.RecordCount(), 0);
    orphans.Edit();
    EXPECT_DB_ERROR(3219, orphans.SetValue(QStringLiteral("RIGA"), 1));
    orphans.SetValue(QStringLiteral("NOTE"), QStringLiteral("senza righe"));
    orphans.Update();
    EXPECT_EQ(a.count("SELECT * FROM VENDITE WHERE NOTE='senza righe'"), 1);
    EXPECT_EQ(a.count("SELECT * FROM DETT_ORD"), 0);
}

TEST(RecordsetChangesTest, PositionsAndBookmarksStayRightAcrossDeletionsAndAdditions)
{
    Archive a;
    a.exec("CREATE TABLE RIGHE (N LONG)");
    for (int i = 0; i < 12; ++i)
        a.db.Execute(QStringLiteral("INSERT INTO RIGHE (N) VALUES (%1)").arg(i));
    Recordset rs = a.db.OpenRecordset(QStringLiteral("RIGHE"));
    QVector<dbe::Bookmark> marks;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        marks << rs.GetBookmark();
    for (int i : {0, 3, 4, 5, 11}) {
        rs.SetBookmark(marks[i]);
        rs.Delete();
    }
    for (int n : {12, 13}) {
        rs.AddNew();
        rs.SetValue(QStringLiteral("N"), n);
        rs.Update();
    }
    const QList<qint64> expected{1, 2, 6, 7, 8, 9, 10, 12, 13};
    EXPECT_EQ(rs.RecordCount(), expected.size());
    QList<qint64> walked;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        EXPECT_EQ(rs.AbsolutePosition(), walked.size());
        walked << rs.Value(0).toLongLong();
    }
    EXPECT_EQ(walked, expected);
    QList<qint64> backwards;
    for (rs.MoveLast(); !rs.Bof(); rs.MovePrevious())
        backwards.prepend(rs.Value(0).toLongLong());
    EXPECT_EQ(backwards, expected);
    for (int p = 0; p < expected.size(); ++p) {
        rs.SetAbsolutePosition(p);
        EXPECT_EQ(rs.Value(0).toLongLong(), expected[p]);
    }
    rs.SetBookmark(marks[6]);
    EXPECT_EQ(rs.Value(0).toLongLong(), 6);
    EXPECT_EQ(a.count("SELECT * FROM RIGHE"), expected.size());

    // Closing the database ends its record sets.
    a.db.Close();
    EXPECT_FALSE(rs.IsOpen());
    EXPECT_DB_ERROR(3420, rs.MoveFirst());
    EXPECT_DB_ERROR(3420, rs.Value(0));
}
