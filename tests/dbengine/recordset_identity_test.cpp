// A record set stays on its own records: a field named like SQLite's row number is a field like any
// other (a table that names all three is refused), a record deleted by another program is reported
// deleted even when a new record took its row number, a record is written only while it holds every
// value the set read of it, and a bookmark is good only in the set (and the run of its query) that
// gave it.
#include "recordset_fixture.h"
#include "support/sqlite_file.h"

#include <gtest/gtest.h>

#include <random>

using dbe::Recordset;
using rstest::Archive;

TEST(RecordsetIdentityTest, FieldsNamedLikeTheRowNumberAreOrdinaryFields)
{
    Archive a;
    // Made by another tool: the field values run against the row numbers.
    testsupport::sqliteExec(a.path, QStringLiteral(
                                        "CREATE TABLE R (ROWID TEXT, NAME TEXT);"
                                        "INSERT INTO R (oid, ROWID, NAME) VALUES (1, '2', 'first'), (2, '1', 'second');"
                                        "CREATE TABLE S (ROWID TEXT, _ROWID_ TEXT, NAME TEXT);"
                                        "INSERT INTO S VALUES ('9', '8', 'first'), ('7', '6', 'second');"));
    for (const char* table : {"R", "S"}) {
        const QString t = QString::fromLatin1(table);
        EXPECT_EQ(a.first(QStringLiteral("SELECT NAME FROM %1 WHERE NAME='first'").arg(t).toUtf8().constData(), "NAME")
                      .toString(),
                  QStringLiteral("first"))
            << table;
        Recordset rs = a.db.OpenRecordset(QStringLiteral("SELECT * FROM %1 WHERE NAME='first'").arg(t));
        rs.Edit();
        rs.SetValue(QStringLiteral("NAME"), QStringLiteral("primo"));
        rs.Update();
        Recordset whole = a.db.OpenRecordset(t);
        whole.MoveLast();
        whole.Delete();
        EXPECT_EQ(a.count(QStringLiteral("SELECT * FROM %1 WHERE NAME='primo'").arg(t).toUtf8().constData()), 1)
            << table;
        EXPECT_EQ(a.count(QStringLiteral("SELECT * FROM %1").arg(t).toUtf8().constData()), 1) << table;
    }
    // A table that names all three has no name left for its rows: refused, and left as it is.
    testsupport::sqliteExec(a.path, QStringLiteral("CREATE TABLE T (ROWID TEXT, _ROWID_ TEXT, OID TEXT);"
                                                   "INSERT INTO T VALUES ('1', '2', '3');"));
    for (const char* source : {"T", "SELECT * FROM T", "SELECT OID FROM T WHERE ROWID = '1'"}) {
        try {
            a.db.OpenRecordset(QString::fromUtf8(source));
            ADD_FAILURE() << source << " opened";
        } catch (const dbe::DbError& e) {
            EXPECT_EQ(e.number(), 3998) << source;
            EXPECT_TRUE(e.description().contains(QStringLiteral("'T'"))) << e.description().toStdString();
        }
    }
    EXPECT_EQ(testsupport::sqliteValue(a.path, QStringLiteral("SELECT count(*) FROM T")).toInt(), 1);
}

TEST(RecordsetIdentityTest, AWriteRequiresEveryValueTheSetReadInItsStoredForm)
{
    // Values of one look in every storage class (a field without a declared type keeps each as
    // given): another program turning one into another is a change, which a write through a set
    // opened before it must not overwrite, on a table or through a query, whether it deletes or edits.
    const QStringList forms{"NULL", "''", "1", "1.0", "'1'", "x'31'", "'1.0'", "-0.0", "0", "'0'", "x''"};
    std::mt19937 rng(20261206);
    Archive a;
    testsupport::sqliteExec(a.path, QStringLiteral("CREATE TABLE LIBERA (CODICE TEXT, VALORE, NOTA TEXT)"));
    for (int round = 0; round < 24; ++round) {
        const QString before = forms.at(int(rng() % forms.size()));
        QString after = forms.at(int(rng() % forms.size()));
        const bool changed = after != before;
        testsupport::sqliteExec(
            a.path, QStringLiteral("DELETE FROM LIBERA; INSERT INTO LIBERA VALUES ('K', %1, 'n')").arg(before));
        const bool viaQuery = rng() % 2;
        const bool edit = rng() % 2;
        Recordset rs = a.db.OpenRecordset(
            viaQuery ? QStringLiteral("SELECT CODICE, NOTA FROM LIBERA WHERE CODICE = 'K'") : QStringLiteral("LIBERA"));
        testsupport::sqliteExec(a.path, QStringLiteral("UPDATE LIBERA SET VALORE = %1").arg(after));
        const auto write = [&] {
            if (!edit)
                return rs.Delete();
            rs.Edit();
            rs.SetValue(QStringLiteral("NOTA"), QStringLiteral("scritta"));
            rs.Update();
        };
        const QString trace = QStringLiteral("%1 -> %2, %3 %4")
                                  .arg(before, after, viaQuery ? QStringLiteral("query") : QStringLiteral("table"),
                                       edit ? QStringLiteral("edit") : QStringLiteral("delete"));
        EXPECT_EQ(rstest::errorOf(write), changed ? 3197 : 0) << trace.toStdString();
        const QString nota =
            testsupport::sqliteValue(a.path, QStringLiteral("SELECT ifnull(group_concat(NOTA), '-') FROM LIBERA "
                                                            "WHERE VALORE IS %1 AND typeof(VALORE) = typeof(%1)")
                                                 .arg(after))
                .toString();
        EXPECT_EQ(nota, changed ? "n" : edit ? "scritta" : "-") << trace.toStdString();
        if (changed) {
            // Read again after a requery, the record is the set's own once more.
            rs.Requery();
            EXPECT_EQ(rstest::errorOf(write), 0) << trace.toStdString();
        }
    }
}

TEST(RecordsetIdentityTest, ARecordReplacedUnderItsRowNumberReads3167AndIsNeverChanged)
{
    Archive a;
    a.exec("CREATE TABLE CLIENTI (CODICE TEXT(10), RAGSOC TEXT(50), CONSTRAINT PrimaryKey PRIMARY KEY (CODICE))");
    a.exec("CREATE TABLE NOTE (TESTO TEXT(50))");
    for (const char* s : {"INSERT INTO CLIENTI VALUES ('C1', 'Rossi')", "INSERT INTO CLIENTI VALUES ('C2', 'Bianchi')",
                          "INSERT INTO NOTE VALUES ('uno')", "INSERT INTO NOTE VALUES ('due')"})
        a.exec(s);
    struct Case {
        const char* source;  // the set's table or query
        const char* replace;  // what another program does to its last record
        bool replaced;  // the last record is another one afterwards
    } cases[] = {
        {"CLIENTI", "DELETE FROM CLIENTI WHERE CODICE='C2'; INSERT INTO CLIENTI VALUES ('C9', 'Nuovo')", true},
        {"SELECT * FROM CLIENTI ORDER BY CODICE",
         "DELETE FROM CLIENTI WHERE CODICE='C9'; INSERT INTO CLIENTI VALUES ('C8', 'Nuovo')", true},
        {"SELECT RAGSOC FROM CLIENTI ORDER BY CODICE", "UPDATE CLIENTI SET RAGSOC='Cambiato' WHERE CODICE='C8'", false},
        {"NOTE", "DELETE FROM NOTE WHERE TESTO='due'; INSERT INTO NOTE VALUES ('tre')", true},
    };
    for (const Case& c : cases) {
        Recordset rs = a.db.OpenRecordset(QString::fromUtf8(c.source));
        rs.MoveLast();
        rs.Value(0);  // shown in a grid before the other program acts
        const dbe::Bookmark mark = rs.GetBookmark();
        rs.MoveFirst();
        testsupport::sqliteExec(a.path, QString::fromUtf8(c.replace));
        rs.SetBookmark(mark);
        if (!c.replaced) {
            EXPECT_EQ(rs.Value(0).toString(), QStringLiteral("Cambiato")) << c.source;  // the same record, changed
            continue;
        }
        EXPECT_DB_ERROR(3167, rs.Value(0));
        EXPECT_DB_ERROR(3167, rs.Edit());
        EXPECT_DB_ERROR(3167, rs.Delete());
    }
    EXPECT_EQ(a.count("SELECT * FROM CLIENTI WHERE CODICE='C8'"), 1);
    EXPECT_EQ(a.count("SELECT * FROM NOTE WHERE TESTO='tre'"), 1);
    // A record changed through the set itself stays its record, also when its key changed.
    Recordset own = a.db.OpenRecordset(QStringLiteral("CLIENTI"));
    own.Edit();
    own.SetValue(QStringLiteral("CODICE"), QStringLiteral("C0"));
    own.Update();
    EXPECT_EQ(own.Value(QStringLiteral("CODICE")).toString(), QStringLiteral("C0"));
    own.Delete();
    EXPECT_EQ(a.count("SELECT * FROM CLIENTI"), 1);
}

TEST(RecordsetIdentityTest, BookmarksOfAnotherSetOrAnEarlierRunAreRefused)
{
    Archive a;
    a.exec("CREATE TABLE NOTE (TESTO TEXT(50))");
    a.exec("INSERT INTO NOTE VALUES ('uno')");
    Recordset one = a.db.OpenRecordset(QStringLiteral("NOTE"));
    Recordset two = a.db.OpenRecordset(QStringLiteral("SELECT * FROM NOTE"));
    const dbe::Bookmark mark = one.GetBookmark();
    EXPECT_DB_ERROR(3001, two.SetBookmark(mark));
    one.SetBookmark(mark);
    one.Requery();
    EXPECT_DB_ERROR(3001, one.SetBookmark(mark));
    EXPECT_EQ(one.Value(0).toString(), QStringLiteral("uno"));
}
