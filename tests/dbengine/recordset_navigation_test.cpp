// Record sets on real archive files: counts, moves and the ends of the set, positions, bookmarks,
// field names over a join and field types.
#include "recordset_fixture.h"

#include <QDateTime>
#include <gtest/gtest.h>

using dbe::Recordset;
using rstest::Archive;

namespace {

Archive& clienti(Archive& a, int n)
{
    a.exec("CREATE TABLE CLIENTI (CODICE TEXT(10), RAGSOC TEXT(50))");
    for (int i = 1; i <= n; ++i)
        a.db.Execute(QStringLiteral("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C%1', 'Ditta %1')").arg(i));
    return a;
}

QStringList codes(Recordset& rs)
{
    QStringList out;
    if (rs.RecordCount() == 0)
        return out;
    rs.MoveFirst();
    while (!rs.Eof()) {
        out << rs.Value(QStringLiteral("CODICE")).toString();
        rs.MoveNext();
    }
    return out;
}

}  // namespace

TEST(RecordsetNavigationTest, AnEmptyResultCountsZeroAndSitsAtBothEnds)
{
    Archive a;
    clienti(a, 2);
    for (const char* source : {"SELECT * FROM CLIENTI WHERE CODICE='NESSUNO'", "CLIENTI"}) {
        if (QByteArray(source) == "CLIENTI")
            a.exec("DELETE FROM CLIENTI");
        Recordset rs = a.db.OpenRecordset(QString::fromUtf8(source));
        SCOPED_TRACE(source);
        EXPECT_EQ(rs.RecordCount(), 0);
        EXPECT_TRUE(rs.Eof());
        EXPECT_TRUE(rs.Bof());
        EXPECT_EQ(rs.AbsolutePosition(), -1);
        EXPECT_DB_ERROR(3021, rs.MoveFirst());
        EXPECT_DB_ERROR(3021, rs.MoveLast());
        EXPECT_DB_ERROR(3021, rs.MoveNext());
        EXPECT_DB_ERROR(3021, rs.MovePrevious());
        EXPECT_DB_ERROR(3021, rs.Value(0));
        EXPECT_DB_ERROR(3021, rs.GetBookmark());
        EXPECT_TRUE(rs.Eof() && rs.Bof());
    }
}

TEST(RecordsetNavigationTest, MovesReachEachEndAndTheCountIsExactAfterMoveLast)
{
    Archive a;
    clienti(a, 5);
    Recordset rs = a.db.OpenRecordset(QStringLiteral("SELECT * FROM CLIENTI WHERE CODICE<>'C3'"));
    EXPECT_GT(rs.RecordCount(), 0);
    EXPECT_EQ(rs.Value(QStringLiteral("CODICE")).toString(), QStringLiteral("C1"));
    rs.MoveLast();
    EXPECT_EQ(rs.RecordCount(), 4);
    EXPECT_EQ(rs.Value(QStringLiteral("CODICE")).toString(), QStringLiteral("C5"));

    // Past the last record: EOF, no current record, and one more move forward fails.
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
    EXPECT_FALSE(rs.Bof());
    EXPECT_DB_ERROR(3021, rs.Value(QStringLiteral("CODICE")));
    EXPECT_DB_ERROR(3021, rs.MoveNext());
    rs.MovePrevious();
    EXPECT_EQ(rs.Value(QStringLiteral("CODICE")).toString(), QStringLiteral("C5"));

    // Before the first: BOF, and the next move forward comes back to the first record.
    rs.MoveFirst();
    rs.MovePrevious();
    EXPECT_TRUE(rs.Bof());
    EXPECT_FALSE(rs.Eof());
    EXPECT_DB_ERROR(3021, rs.MovePrevious());
    rs.MoveNext();
    EXPECT_EQ(rs.Value(QStringLiteral("CODICE")).toString(), QStringLiteral("C1"));

    EXPECT_EQ(codes(rs).join(QLatin1Char(',')).toStdString(), "C1,C2,C4,C5");
    EXPECT_EQ(rs.AbsolutePosition(), -1);

    // A grid asks for the rows it shows by position.
    rs.SetAbsolutePosition(2);
    EXPECT_EQ(rs.Value(QStringLiteral("CODICE")).toString(), QStringLiteral("C4"));
    EXPECT_EQ(rs.AbsolutePosition(), 2);
    EXPECT_DB_ERROR(3001, rs.SetAbsolutePosition(4));
    EXPECT_DB_ERROR(3001, rs.SetAbsolutePosition(-1));
}

TEST(RecordsetNavigationTest, BookmarksReturnToTheirRecordUntilRequery)
{
    Archive a;
    clienti(a, 4);
    Recordset rs = a.db.OpenRecordset(QStringLiteral("CLIENTI"));
    EXPECT_EQ(rs.RecordCount(), 4);  // a table-type set knows its count at once
    QVector<dbe::Bookmark> marks;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        marks << rs.GetBookmark();
    for (int i = 3; i >= 0; --i) {
        rs.SetBookmark(marks[i]);
        EXPECT_EQ(rs.Value(QStringLiteral("CODICE")).toString(), QStringLiteral("C%1").arg(i + 1));
        EXPECT_EQ(rs.GetBookmark(), marks[i]);
    }
    EXPECT_DB_ERROR(3001, rs.SetBookmark(marks[3] + 1));
    EXPECT_DB_ERROR(3001, rs.SetBookmark(-5));

    a.exec("INSERT INTO CLIENTI (CODICE) VALUES ('C5')");
    rs.MoveLast();
    EXPECT_EQ(rs.Value(QStringLiteral("CODICE")).toString(), QStringLiteral("C4"));
    rs.Requery();
    EXPECT_EQ(rs.Value(QStringLiteral("CODICE")).toString(), QStringLiteral("C1"));
    rs.MoveLast();
    EXPECT_EQ(rs.RecordCount(), 5);
    EXPECT_DB_ERROR(3001, rs.SetBookmark(marks[0]));
    rs.Close();
    EXPECT_FALSE(rs.IsOpen());
    EXPECT_DB_ERROR(3420, rs.MoveFirst());
}

TEST(RecordsetNavigationTest, AJoinNamesSharedFieldsWithTheirTableAndGivesTheEngineTypes)
{
    Archive a;
    a.exec("CREATE TABLE VENDITE (CODCLI TEXT(10), NUMORD TEXT(10), DATA DATETIME, IMPORTO DOUBLE)");
    a.exec("CREATE TABLE DETT_ORD (NUMORD TEXT(10), RIGA LONG, NOTE MEMO)");
    a.exec("INSERT INTO VENDITE (CODCLI, NUMORD, DATA, IMPORTO) VALUES ('C1', '7', #03/15/2001#, 12.5)");
    a.exec("INSERT INTO VENDITE (CODCLI, NUMORD, DATA, IMPORTO) VALUES ('C2', '8', #03/16/2001#, 3)");
    a.exec("INSERT INTO DETT_ORD (NUMORD, RIGA, NOTE) VALUES ('8', 1, 'riga')");

    Recordset rs =
        a.db.OpenRecordset(QStringLiteral("SELECT * FROM VENDITE LEFT JOIN DETT_ORD ON VENDITE.NUMORD=DETT_ORD.NUMORD "
                                          "WHERE ISNULL(DETT_ORD.NUMORD)"),
                           dbe::dbOpenDynaset, dbe::dbInconsistent);
    QStringList names;
    for (int i = 0; i < rs.FieldCount(); ++i)
        names << rs.FieldName(i);
    EXPECT_EQ(names.join(QLatin1Char(',')).toStdString(),
              "CODCLI,VENDITE.NUMORD,DATA,IMPORTO,DETT_ORD.NUMORD,RIGA,NOTE");
    EXPECT_EQ(rs.FieldType(QStringLiteral("DATA")), dbe::dbDate);
    EXPECT_EQ(rs.FieldType(QStringLiteral("codcli")), dbe::dbText);
    EXPECT_EQ(rs.FieldType(QStringLiteral("NOTE")), dbe::dbMemo);
    EXPECT_EQ(rs.FieldType(QStringLiteral("IMPORTO")), dbe::dbDouble);
    EXPECT_EQ(rs.FieldSize(rs.FieldIndex(QStringLiteral("vendite.numord"))), 10);
    // The bare name of a shared field, or a qualified name of an unshared one, is not in the set.
    EXPECT_DB_ERROR(3265, rs.Value(QStringLiteral("NUMORD")));
    EXPECT_DB_ERROR(3265, rs.FieldType(QStringLiteral("DETT_ORD.RIGA")));
    EXPECT_DB_ERROR(3265, rs.Value(7));

    rs.MoveLast();
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Value(QStringLiteral("VENDITE.NUMORD")).toString(), QStringLiteral("7"));
    EXPECT_TRUE(rs.Value(QStringLiteral("DETT_ORD.NUMORD")).isNull());
    EXPECT_TRUE(rs.Value(QStringLiteral("RIGA")).isNull());
    EXPECT_EQ(rs.Value(QStringLiteral("DATA")).toDateTime(), QDateTime(QDate(2001, 3, 15), QTime(0, 0)));
    EXPECT_DOUBLE_EQ(rs.Value(QStringLiteral("IMPORTO")).toDouble(), 12.5);

    // A query naming a missing table or field fails at opening.
    EXPECT_DB_ERROR(3078, a.db.OpenRecordset(QStringLiteral("SELECT * FROM AGENDA")));
    EXPECT_DB_ERROR(3078, a.db.OpenRecordset(QStringLiteral("AGENDA")));
    EXPECT_NE(0, rstest::errorOf([&] { a.db.OpenRecordset(QStringLiteral("SELECT * FROM VENDITE WHERE NONC='1'")); }));
}
