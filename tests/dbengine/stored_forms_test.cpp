// Values as other programs store them and people write them: dates in every admitted stored form,
// numbers written as Italian text, currency sums, accented letters in any case, yes/no stored as 1
// or left out. Each case runs real statements and record sets on a small archive written by hand.
#include "dbengine/dbengine.h"
#include "dbengine/number_text.h"
#include "recordset_fixture.h"
#include "support/sqlite_file.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace dbe;

namespace {

class StoredForms : public ::testing::Test {
protected:
    // Creates the archive with the given SQL (run as another program would) and opens it.
    void make(const QString& sql)
    {
        path = dir.filePath(QStringLiteral("lumera.mdb"));
        testsupport::sqliteExec(path, sql);
        db = OpenDatabase(path);
    }
    qint64 count(const QString& query)
    {
        Recordset rs = db.OpenRecordset(query);
        rs.MoveLast();
        return rs.RecordCount();
    }
    // The first field of every record of query, in order, as text.
    QStringList column(const QString& query)
    {
        QStringList out;
        Recordset rs = db.OpenRecordset(query);
        for (; !rs.Eof(); rs.MoveNext()) {
            const QVariant v = rs.Value(0);
            out.append(v.isNull()                           ? QStringLiteral("Null")
                       : v.typeId() == QMetaType::QDateTime ? v.toDateTime().toString(QStringLiteral("yyyy-MM-dd"))
                                                            : v.toString());
        }
        return out;
    }
    QVariant stored(const QString& sql) { return testsupport::sqliteValue(path, sql); }

    QTemporaryDir dir;
    QString path;
    Database db;
};

}  // namespace

TEST_F(StoredForms, DatesCompareSortGroupJoinAndSubtractAsDatesInEveryStoredForm)
{
    // 2 January 2024 four times: the engine's form, the day alone, ISO with T, the day number.
    make(QStringLiteral("CREATE TABLE O (N LONG, D DATETIME, C DATETIME);"
                        "INSERT INTO O VALUES (1, '2024-01-02 00:00:00', '2024-01-12'), (2, '2024-01-02', NULL),"
                        " (3, '2024-01-02T00:00:00', NULL), (4, 45293, NULL), (5, '2023-12-31 10:00:00', NULL),"
                        " (6, '2024-01-10', NULL);"
                        "CREATE TABLE R (D DATETIME, K TEXT(5) COLLATE NOCASE);"
                        "INSERT INTO R VALUES ('2024-01-02 00:00:00', 'a'), (45301, 'b');"
                        "CREATE INDEX \"R.D\" ON R (D);"));
    EXPECT_EQ(count(QStringLiteral("SELECT * FROM O WHERE D = #1/2/2024#")), 4);
    EXPECT_EQ(count(QStringLiteral("SELECT * FROM O WHERE D <> #1/2/2024#")), 2);
    EXPECT_EQ(count(QStringLiteral("SELECT * FROM O WHERE D > #1/1/2024#")), 5);
    EXPECT_EQ(count(QStringLiteral("SELECT * FROM O WHERE D BETWEEN #1/2/2024# AND #1/9/2024#")), 4);
    EXPECT_EQ(count(QStringLiteral("SELECT * FROM O WHERE D IN (#1/2/2024#, #12/31/2023 10:00#)")), 5);
    EXPECT_EQ(column(QStringLiteral("SELECT N FROM O ORDER BY D DESC, N")),
              QStringList({"6", "1", "2", "3", "4", "5"}));
    EXPECT_EQ(column(QStringLiteral("SELECT MIN(D) FROM O")), QStringList{"2023-12-31"});
    EXPECT_EQ(column(QStringLiteral("SELECT MAX(D) FROM O")), QStringList{"2024-01-10"});
    EXPECT_EQ(column(QStringLiteral("SELECT COUNT(*) FROM O GROUP BY D ORDER BY D")), QStringList({"1", "4", "1"}));
    EXPECT_EQ(count(QStringLiteral("SELECT DISTINCT D FROM O")), 3);
    // A join on dates stored in different forms, and a text that is a date under Italian settings.
    EXPECT_EQ(count(QStringLiteral("SELECT * FROM O INNER JOIN R ON O.D = R.D")), 5);
    EXPECT_EQ(count(QStringLiteral("SELECT * FROM O WHERE D = '02/01/2024'")), 4);
    EXPECT_EQ(count(QStringLiteral("SELECT * FROM R WHERE D = #1/10/2024#")), 1);
    EXPECT_EQ(rstest::errorOf([&] { count(QStringLiteral("SELECT * FROM O WHERE D = 'domani'")); }), 3464);
    // Arithmetic: a date minus a date is a number of days, a date plus a number a date.
    EXPECT_EQ(column(QStringLiteral("SELECT C - D FROM O WHERE N = 1")), QStringList{"10"});
    EXPECT_EQ(column(QStringLiteral("SELECT D + 30 FROM O WHERE N = 2")), QStringList{"2024-02-01"});
    EXPECT_EQ(count(QStringLiteral("SELECT * FROM O WHERE D + 8 = #1/10/2024#")), 4);
    // Statements find them too, and change nothing else.
    db.Execute(QStringLiteral("UPDATE O SET N = 0 WHERE D = #1/2/2024#"));
    EXPECT_EQ(stored(QStringLiteral("SELECT group_concat(N) FROM O")).toString(), QStringLiteral("0,0,0,0,5,6"));
    EXPECT_EQ(stored(QStringLiteral("SELECT D FROM O WHERE rowid = 4")).toLongLong(), 45293);
}

TEST_F(StoredForms, NumbersWrittenAsTextFollowTheItalianRuleEverywhere)
{
    double d = 0;
    for (const auto& [text, value] : std::vector<std::pair<const char*, double>>{{"2,500", 2.5},
                                                                                 {"0,125", 0.125},
                                                                                 {"1,25", 1.25},
                                                                                 {"1.234", 1234},
                                                                                 {"1.234,5", 1234.5},
                                                                                 {"-1.234.567,75", -1234567.75},
                                                                                 {" 42 ", 42},
                                                                                 {",5", 0.5},
                                                                                 {"1,5E3", 1500}}) {
        EXPECT_TRUE(parseItalianNumber(QString::fromUtf8(text), &d)) << text;
        EXPECT_EQ(d, value) << text;
    }
    for (const char* bad : {"1.25", "12.34.5", "1.2345", "1234.567", "1,2,3", "1,", "", "abc", "1.234.56"})
        EXPECT_FALSE(parseItalianNumber(QString::fromUtf8(bad), &d)) << bad;

    make(QStringLiteral("CREATE TABLE P (T TEXT(20) COLLATE NOCASE, V DOUBLE, L LONG, M CURRENCY)"));
    db.Execute(QStringLiteral("INSERT INTO P (T, V, L) VALUES ('a', '2,500', '1.234')"));
    db.Execute(QStringLiteral("INSERT INTO P (T, V) VALUES ('b', '0,125')"));
    db.Execute(QStringLiteral("INSERT INTO P (T, V) VALUES ('1.234,5', 0)"));
    db.Execute(QStringLiteral("UPDATE P SET V = T WHERE T = '1.234,5'"));
    EXPECT_EQ(stored(QStringLiteral("SELECT group_concat(V, '|') FROM P")).toString(),
              QStringLiteral("2.5|0.125|1234.5"));
    EXPECT_EQ(stored(QStringLiteral("SELECT L FROM P WHERE T = 'a'")).toLongLong(), 1234);
    EXPECT_EQ(rstest::errorOf([&] { db.Execute(QStringLiteral("INSERT INTO P (V) VALUES ('1.25')")); }), 3464);
    EXPECT_EQ(rstest::errorOf([&] { db.Execute(QStringLiteral("UPDATE P SET V = '2,5,0'")); }), 3464);
    // Record sets, and a number written into a text field reads back as the same number.
    Recordset rs = db.OpenRecordset(QStringLiteral("P"));
    rs.AddNew();
    rs.SetValue(QStringLiteral("M"), QStringLiteral("1.000,0001"));
    rs.SetValue(QStringLiteral("T"), 2.5);
    rs.Update();
    EXPECT_EQ(stored(QStringLiteral("SELECT M || ' ' || T FROM P WHERE M IS NOT NULL")).toString(),
              QStringLiteral("1000.0001 2,5"));
    rs.AddNew();
    EXPECT_EQ(rstest::errorOf([&] {
                  rs.SetValue(QStringLiteral("V"), QStringLiteral("3.5"));
                  rs.Update();
              }),
              3464);
    rs.CancelUpdate();
    // A number field compared with a text reads the text by the same rule.
    EXPECT_EQ(count(QStringLiteral("SELECT * FROM P WHERE V = '2,5'")), 1);
    EXPECT_EQ(rstest::errorOf([&] { count(QStringLiteral("SELECT * FROM P WHERE V = 'due'")); }), 3464);
}

// Batches B and their payments P joined on a number each side writes in its own form, drawn
// (seeded) per value: an integer, a real, Italian text with one to three decimals, with points.
TEST_F(StoredForms, NumberKeysJoinByTheirReadingsAndSeeEveryCommit)
{
    QRandomGenerator random(45);
    const auto form = [&](qint64 n) {
        QString whole = QString::number(n);
        switch (random.bounded(5)) {
        case 0: return whole;
        case 1: return whole + QStringLiteral(".0");
        case 4:
            for (qsizetype at = whole.size() - 3; at > 0; at -= 3)
                whole.insert(at, u'.');
            [[fallthrough]];
        default: return QStringLiteral("'%1,%2'").arg(whole, QString(1 + int(random.bounded(3)), u'0'));
        }
    };
    QStringList sql{QStringLiteral("CREATE TABLE B (IDRIS LONG); CREATE UNIQUE INDEX PrimaryKey ON B (IDRIS);"
                                   "CREATE TABLE P (IDRIS LONG, IDPAG LONG); CREATE INDEX K ON P (IDRIS, IDPAG);")};
    QStringList orphans, pairs;
    QVector<qint64> batches;
    for (int i = 0; i < 40; ++i) {
        const qint64 n = 1 + i * 1000 / 7 + qint64(random.bounded(100));
        batches << n;
        sql << QStringLiteral("INSERT INTO B VALUES (%1);").arg(form(n));
        const int payments = int(random.bounded(4));
        for (int p = 0; p < payments; ++p) {
            sql << QStringLiteral("INSERT INTO P VALUES (%1, %2);").arg(form(n)).arg(i * 10 + p);
            pairs << QStringLiteral("%1:%2").arg(n).arg(i * 10 + p);
        }
        if (payments == 0)
            orphans << QString::number(n);
    }
    make(sql.join(u'\n'));
    pairs.sort();
    orphans.sort();
    const QString orphansQuery =
        QStringLiteral("SELECT B.IDRIS FROM B LEFT JOIN P ON B.IDRIS = P.IDRIS WHERE P.IDRIS IS NULL");
    const auto sorted = [&](const QString& query) {
        QStringList out;
        Recordset rs = db.OpenRecordset(query);
        for (; !rs.Eof(); rs.MoveNext())
            out << rs.Value(0).toString() + (rs.FieldCount() > 1 ? u':' + rs.Value(1).toString() : QString());
        out.sort();
        return out;
    };
    EXPECT_EQ(sorted(QStringLiteral("SELECT B.IDRIS, P.IDPAG FROM B INNER JOIN P ON B.IDRIS = P.IDRIS")), pairs);
    EXPECT_EQ(sorted(QStringLiteral("SELECT B.IDRIS, P.IDPAG FROM P INNER JOIN B ON P.IDRIS = B.IDRIS")), pairs);
    EXPECT_EQ(sorted(QStringLiteral("SELECT B.IDRIS, P.IDPAG FROM B, P WHERE B.IDRIS = P.IDRIS")), pairs);
    EXPECT_EQ(sorted(orphansQuery), orphans);
    EXPECT_EQ(sorted(QStringLiteral("SELECT IDRIS FROM B WHERE NOT EXISTS (SELECT * FROM P WHERE P.IDRIS = B.IDRIS)")),
              orphans);
    // A payment for an orphan batch, in a form no payment had, committed by another connection; then
    // one by this connection: each is seen at the next query.
    ASSERT_GE(orphans.size(), 2);
    testsupport::sqliteExec(path, QStringLiteral("INSERT INTO P VALUES ('%1,0000', 1)").arg(orphans[0]));
    EXPECT_EQ(sorted(orphansQuery), orphans.mid(1));
    db.Execute(QStringLiteral("INSERT INTO P VALUES ('%1,00000', 2)").arg(orphans[1]));
    EXPECT_EQ(sorted(orphansQuery), orphans.mid(2));
}

TEST_F(StoredForms, CurrencyIsSummedExactly)
{
    // Values whose binary sum is not their decimal sum.
    make(QStringLiteral("CREATE TABLE F (G TEXT(5) COLLATE NOCASE, TOTALE CURRENCY);"
                        "INSERT INTO F VALUES ('a', 0.1), ('a', 0.2), ('b', 58000.05), ('b', 760.11);"
                        "INSERT INTO F SELECT 'c', 0.01 FROM (WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL"
                        " SELECT i + 1 FROM n WHERE i < 1000) SELECT i FROM n);"));
    EXPECT_EQ(column(QStringLiteral("SELECT SUM(TOTALE) FROM F WHERE G = 'a'")), QStringList{"0.3"});
    EXPECT_EQ(column(QStringLiteral("SELECT SUM(TOTALE) FROM F WHERE G = 'c'")), QStringList{"10"});
    EXPECT_EQ(column(QStringLiteral("SELECT G FROM F GROUP BY G HAVING SUM(TOTALE) = 58760.16")), QStringList{"b"});
}

TEST_F(StoredForms, CaseIsIgnoredForAccentedLettersToo)
{
    make(QStringLiteral("CREATE TABLE CLIENTI (CODICE TEXT(10) COLLATE NOCASE, RAGSOC TEXT(30) COLLATE NOCASE);"
                        "CREATE UNIQUE INDEX \"CLIENTI.PrimaryKey\" ON CLIENTI (CODICE COLLATE NOCASE);"
                        "INSERT INTO CLIENTI VALUES ('ÈCLI', 'perché'), ('ABC', 'Àbc'), ('XYZ', 'àbc'), ('Q', 'zeta');"
                        "CREATE TABLE VENDITE (CODCLI TEXT(10) COLLATE NOCASE, NUMORD TEXT(5) COLLATE NOCASE);"
                        "INSERT INTO VENDITE VALUES ('èCLI', '1'), ('abc', '2'), ('èclì', '3');"));
    // The orphan query counts only the order whose customer does not exist.
    EXPECT_EQ(column(QStringLiteral(
                  "SELECT NUMORD FROM VENDITE WHERE CODCLI NOT IN (SELECT DISTINCT CODICE FROM CLIENTI)")),
              QStringList{"3"});
    // Joins pair them too, from either side.
    EXPECT_EQ(count(QStringLiteral("SELECT * FROM VENDITE INNER JOIN CLIENTI ON VENDITE.CODCLI = CLIENTI.CODICE")), 2);
    EXPECT_EQ(column(QStringLiteral("SELECT NUMORD FROM VENDITE LEFT JOIN CLIENTI ON VENDITE.CODCLI = CLIENTI.CODICE "
                                    "WHERE ISNULL(CLIENTI.CODICE)")),
              QStringList{"3"});
    EXPECT_EQ(column(QStringLiteral("SELECT CODICE FROM VENDITE RIGHT JOIN CLIENTI ON CLIENTI.CODICE = VENDITE.CODCLI "
                                    "WHERE ISNULL(VENDITE.CODCLI) ORDER BY CODICE")),
              QStringList({"Q", "XYZ"}));
    EXPECT_EQ(count(QStringLiteral("SELECT * FROM CLIENTI WHERE RAGSOC = 'ÀBC'")), 2);
    EXPECT_EQ(count(QStringLiteral("SELECT * FROM CLIENTI WHERE 'àbc' = 'ÀBC'")), 4);
    EXPECT_EQ(count(QStringLiteral("SELECT * FROM CLIENTI WHERE CODICE IN ('ècli', 'q')")), 2);
    EXPECT_EQ(count(QStringLiteral("SELECT * FROM CLIENTI WHERE RAGSOC NOT IN ('PERCHÉ')")), 3);
    EXPECT_EQ(count(QStringLiteral("SELECT * FROM CLIENTI WHERE RAGSOC LIKE 'À*'")), 2);
    EXPECT_EQ(count(QStringLiteral("SELECT DISTINCT RAGSOC FROM CLIENTI")), 3);
    EXPECT_EQ(column(QStringLiteral("SELECT COUNT(*) FROM CLIENTI GROUP BY RAGSOC ORDER BY RAGSOC")),
              QStringList({"2", "1", "1"}));
    EXPECT_EQ(column(QStringLiteral("SELECT CODICE FROM CLIENTI ORDER BY RAGSOC DESC, CODICE")),
              QStringList({"Q", "ÈCLI", "ABC", "XYZ"}));
    EXPECT_EQ(column(QStringLiteral("SELECT UCASE(RAGSOC) FROM CLIENTI WHERE CODICE = 'ÈCLI'")), QStringList{"PERCHÉ"});
    EXPECT_EQ(column(QStringLiteral("SELECT LCASE(CODICE) FROM CLIENTI WHERE CODICE = 'ècli'")), QStringList{"ècli"});
    db.Execute(QStringLiteral("DELETE FROM VENDITE WHERE CODCLI = 'ÈCLI'"));
    EXPECT_EQ(stored(QStringLiteral("SELECT group_concat(NUMORD) FROM VENDITE")).toString(), QStringLiteral("2,3"));
}

TEST_F(StoredForms, AccentedLettersOfAnyCaseMatchAcrossTablesAndInUniqueIndexes)
{
    // Codes whose accented letters are in mixed case, written by another program.
    make(QStringLiteral(
        "CREATE TABLE C (COD TEXT(10) COLLATE NOCASE, DITTA TEXT(10) COLLATE NOCASE, PAT TEXT(10) COLLATE NOCASE);"
        "CREATE UNIQUE INDEX \"C.PrimaryKey\" ON C (COD COLLATE NOCASE);"
        "INSERT INTO C VALUES ('Èà1', 'CITTÀ', 'è*'), ('B2', 'Più', '[!è]*');"
        "CREATE TABLE V (CODCLI TEXT(10) COLLATE NOCASE, DITTA TEXT(10) COLLATE NOCASE, N LONG);"
        "INSERT INTO V VALUES ('èà1', 'città', 1), ('ÈÀ1', 'CITTÀ', 2), ('b2', 'PIÙ', 3), ('èa1', 'città', 4);"));
    // Every text equality of a join's condition, from either side; two tables in WHERE.
    const QString paired = QStringLiteral("1,2,3");
    EXPECT_EQ(column(
                  QStringLiteral("SELECT N FROM V INNER JOIN C ON V.CODCLI = C.COD AND C.DITTA = V.DITTA ORDER BY N"))
                  .join(u','),
              paired);
    EXPECT_EQ(column(QStringLiteral("SELECT N FROM C RIGHT JOIN V ON C.DITTA = V.DITTA AND C.COD = V.CODCLI "
                                    "WHERE C.COD IS NULL")),
              QStringList{"4"});
    EXPECT_EQ(
        column(QStringLiteral("SELECT N FROM V, C WHERE C.COD = V.CODCLI AND V.DITTA = C.DITTA ORDER BY N")).join(u','),
        paired);
    EXPECT_EQ(column(QStringLiteral(
                         "SELECT N FROM V WHERE DITTA IN (SELECT C.DITTA FROM C WHERE C.COD = V.CODCLI) ORDER BY N"))
                  .join(u','),
              paired);
    EXPECT_EQ(
        column(QStringLiteral("SELECT N FROM V, C WHERE C.COD <> V.CODCLI AND C.COD = 'B2' ORDER BY N")).join(u','),
        QStringLiteral("1,2,4"));
    // LIKE with a pattern taken from a field.
    EXPECT_EQ(column(QStringLiteral("SELECT N FROM V, C WHERE V.CODCLI LIKE C.PAT ORDER BY N")).join(u','),
              QStringLiteral("1,2,3,4"));
    EXPECT_EQ(column(
                  QStringLiteral("SELECT N FROM V, C WHERE V.CODCLI NOT LIKE C.PAT & '#' AND C.COD = 'B2' ORDER BY N"))
                  .join(u','),
              QStringLiteral("1,2,4"));
    EXPECT_EQ(count(QStringLiteral("SELECT * FROM V, C WHERE C.COD = 'B2' AND V.DITTA LIKE C.DITTA")), 1);

    // The unique index refuses a code that differs from one it holds only in the case of accented
    // letters, through SQL, a record set and a new index, and the file keeps what it had.
    EXPECT_EQ(rstest::errorOf([&] { db.Execute(QStringLiteral("INSERT INTO C (COD) VALUES ('ÈÀ1')")); }), 3022);
    EXPECT_EQ(rstest::errorOf([&] { db.Execute(QStringLiteral("UPDATE C SET COD = 'èà1' WHERE COD = 'B2'")); }), 3022);
    Recordset rs = db.OpenRecordset(QStringLiteral("C"));
    rs.AddNew();
    rs.SetValue(QStringLiteral("COD"), QStringLiteral("èÀ1"));
    EXPECT_EQ(rstest::errorOf([&] { rs.Update(); }), 3022);
    rs.CancelUpdate();
    db.Execute(QStringLiteral("INSERT INTO C (COD) VALUES ('Èb1')"));
    EXPECT_EQ(rstest::errorOf([&] { db.Execute(QStringLiteral("CREATE UNIQUE INDEX CD ON V (CODCLI)")); }), 3022);
    db.Execute(QStringLiteral("CREATE UNIQUE INDEX CN ON V (CODCLI, N)"));
    EXPECT_EQ(
        stored(QStringLiteral("SELECT group_concat(COD, ' ') FROM (SELECT COD FROM C ORDER BY rowid)")).toString(),
        QStringLiteral("Èà1 B2 Èb1"));
}

TEST_F(StoredForms, YesNoIsNeverNullAndAnyNonZeroIsTrue)
{
    // Another program stored True as 1.
    make(QStringLiteral("CREATE TABLE S (N LONG, F YESNO); INSERT INTO S VALUES (1, 1), (2, -1), (3, 0);"));
    EXPECT_EQ(count(QStringLiteral("SELECT * FROM S WHERE F = TRUE")), 2);
    EXPECT_EQ(count(QStringLiteral("SELECT * FROM S WHERE F = FALSE")), 1);
    EXPECT_EQ(count(QStringLiteral("SELECT * FROM S WHERE F IN (TRUE)")), 2);
    db.Execute(QStringLiteral("INSERT INTO S (N) VALUES (4)"));
    db.Execute(QStringLiteral("INSERT INTO S (N, F) VALUES (5, NULL)"));
    db.Execute(QStringLiteral("UPDATE S SET F = NULL WHERE N = 1"));
    Recordset rs = db.OpenRecordset(QStringLiteral("S"));
    rs.AddNew();
    rs.SetValue(QStringLiteral("N"), 6);
    rs.SetValue(QStringLiteral("F"), QVariant());
    rs.Update();
    EXPECT_EQ(stored(QStringLiteral("SELECT group_concat(N || ':' || quote(F)) FROM S")).toString(),
              QStringLiteral("1:0,2:-1,3:0,4:0,5:0,6:0"));
}
