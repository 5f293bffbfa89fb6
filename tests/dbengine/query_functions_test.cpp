// The query language's functions and operators on a real archive, through record sets: each value
// with the engine's Null rules and the error it raises, the dates of every stored form, and UNION.
#include "recordset_fixture.h"
#include "support/sqlite_file.h"

#include <QDateTime>
#include <QSet>
#include <cmath>
#include <random>
#include <gtest/gtest.h>

using rstest::Archive;

namespace {

// An expression and what it gives on the one record of UNO: a value (an invalid QVariant for
// Null), or the number of the error it raises.
struct Case {
    const char* expression;
    QVariant expected;
    int error = 0;
};

QVariant day(int y, int m, int d, int h = 0, int mi = 0) { return QDateTime(QDate(y, m, d), QTime(h, mi)); }

// Runs every case as SELECT expression FROM table and compares.
void expectCases(const Archive& a, const QVector<Case>& cases, const char* table = "UNO")
{
    for (const Case& c : cases) {
        const QString query =
            QStringLiteral("SELECT %1 AS X FROM %2").arg(QString::fromUtf8(c.expression), QLatin1String(table));
        QVariant got;
        const int error = rstest::errorOf([&] { got = a.first(query.toUtf8().constData(), "X"); });
        EXPECT_EQ(error, c.error) << c.expression;
        if (error || c.error)
            continue;
        if (!c.expected.isValid())
            EXPECT_TRUE(got.isNull()) << c.expression << " gave " << got.toString().toStdString();
        else if (c.expected.typeId() == QMetaType::QDateTime)
            EXPECT_EQ(got.toDateTime(), c.expected.toDateTime()) << c.expression;
        else if (c.expected.typeId() == QMetaType::QString)
            EXPECT_EQ(got.toString(), c.expected.toString()) << c.expression;
        else
            EXPECT_DOUBLE_EQ(got.toDouble(), c.expected.toDouble()) << c.expression;
    }
}

Archive& withOneRecord(Archive& a)
{
    a.exec("CREATE TABLE UNO (N LONG, T TEXT(20), D DATETIME)");
    a.exec("INSERT INTO UNO (N, T, D) VALUES (5, 'perché', #3/5/2024 14:07#)");
    return a;
}

}  // namespace

TEST(QueryFunctionsTest, ConversionsAndTextFollowTheEnginesNullRules)
{
    Archive a;
    withOneRecord(a);
    expectCases(a, {
                       {"Nz(Null, 5)", 5},
                       {"Nz(Null)", QStringLiteral("")},
                       {"Nz(N, 0)", 5},
                       {"IIf(Null, 1, 2)", 2},
                       {"IIf(N > 1, 'sì', 'no')", QStringLiteral("sì")},
                       {"InStr(T, 'CH')", 4},
                       {"InStr(3, 'abcabc', 'a')", 4},
                       {"InStr(1, 'abc', 'B', 0)", 0},
                       {"InStr(T, '')", 1},
                       {"InStr(Null, 'a')", QVariant()},
                       {"InStr(0, 'a', 'a')", QVariant(), 5},
                       {"Val(' 12 34abc')", 1234},
                       {"Val('1.5e2x')", 150},
                       {"Val('&H1F')", 31},
                       {"Val('abc')", 0},
                       {"Val(Null)", QVariant(), 94},
                       {"CStr(1.5)", QStringLiteral("1,5")},
                       {"CStr(N)", QStringLiteral("5")},
                       {"CStr(D)", QStringLiteral("05/03/2024 14:07:00")},
                       {"CStr(Null)", QVariant(), 94},
                       {"CLng(2.5) + CLng(3.5)", 6},
                       {"CInt(-2.5)", -2},
                       {"CInt(40000)", QVariant(), 6},
                       {"CLng(Null)", QVariant(), 94},
                       {"CDbl(#1/2/1900#)", 3},
                       {"CLng('abc')", QVariant(), 3464},
                       {"UCase(T)", QStringLiteral("PERCHÉ")},
                       {"LCase('ÀBC')", QStringLiteral("àbc")},
                       {"UCase(Null)", QVariant()},
                       {"Null & Null", QVariant()},
                       {"'a' & Null & N", QStringLiteral("a5")},
                       {"Left(T, 3) & Right(T, 2) & Mid(T, 2, 2)", QStringLiteral("perhéer")},
                       {"Mid(Null, 1)", QVariant()},
                       {"Mid(T, 10)", QStringLiteral("")},
                       {"Mid(T, -1)", QVariant(), 5},
                       {"Mid(T, 0, 1)", QVariant(), 5},
                       {"Mid(T, 2, -1)", QVariant(), 5},
                       {"Left(T, -1)", QVariant(), 5},
                       {"N / 2", 2.5},
                       {"N / 0", QVariant(), 11},
                       {"0 / 0", QVariant(), 6},
                       {"N \\ 0", QVariant(), 11},
                       {"N MOD 0", QVariant(), 11},
                       {"Null / 0", QVariant()},
                       {"7 \\ 2 + 7 MOD 2", 4},
                       {"- TRUE", 1},
                       {"2 - - TRUE", 1},
                       {"NoSuch(N)", QVariant(), 3085},
                   });
    QString description;
    try {
        a.first("SELECT Frobnica(N) FROM UNO", "N");
    } catch (const dbe::DbError& e) {
        description = e.description();
    }
    EXPECT_EQ(description, QStringLiteral("Funzione 'Frobnica' non definita nell'espressione."));
}

TEST(QueryFunctionsTest, DatesInEveryStoredFormAndTheirArithmetic)
{
    Archive a;
    withOneRecord(a);
    expectCases(a, {
                       {"Year(D) * 10000 + Month(D) * 100 + Day(D)", 20240305},
                       {"Month(Null)", QVariant()},
                       {"DatePart('h', D) * 100 + DatePart('n', D)", 1407},
                       {"CDate('2024-01-15')", day(2024, 1, 15)},
                       {"CDate(45306)", day(2024, 1, 15)},
                       {"CDate(Null)", QVariant(), 94},
                       {"DateAdd('m', 1, #1/31/2024#)", day(2024, 2, 29)},
                       {"DateAdd('yyyy', -1, #2/29/2024#)", day(2023, 2, 28)},
                       {"DateAdd('d', -1, #3/1/2024#)", day(2024, 2, 29)},
                       {"DateAdd('h', 10, D)", day(2024, 3, 6, 0, 7)},
                       {"DateAdd('d', Null, D)", QVariant()},
                       {"DateAdd('x', 1, D)", QVariant(), 5},
                       // Intervals no date can take, however large: refused, never wrapped around.
                       {"DateAdd('d', 1E+30, D)", QVariant(), 5},
                       {"DateAdd('s', -1E+300, D)", QVariant(), 5},
                       {"DateDiff('d', #12/31/2023#, #1/2/2024#)", 2},
                       {"DateDiff('yyyy', #12/31/2023#, #1/1/2024#)", 1},
                       {"DateDiff('m', #1/31/2024#, D)", 2},
                       {"DateDiff('h', #3/5/2024 13:59#, D)", 1},
                       {"DateDiff('m', Null, D)", QVariant()},
                       {"DateSerial(2024, 13, 1)", day(2025, 1, 1)},
                       {"DateSerial(24, 3, 0)", day(2024, 2, 29)},
                       {"DateSerial(Null, 1, 1)", QVariant(), 94},
                       {"Year(Date()) = Year(Now())", -1},
                       {"DateDiff('d', Date(), Now())", 0},
                       {"Format(D, 'dd/mm/yyyy')", QStringLiteral("05/03/2024")},
                       {"Format(D, 'dddd d mmmm yyyy hh:nn')", QStringLiteral("martedì 5 marzo 2024 14:07")},
                       {"Format(D, 'Short Date')", QStringLiteral("05/03/2024")},
                       {"Format(D, 'Long Date')", QStringLiteral("martedì 5 marzo 2024")},
                       {"Format(D, 'hh:mm')", QStringLiteral("14:07")},
                       {"Format(D, 'h:nn AM/PM')", QStringLiteral("2:07 PM")},
                       {"Format(D, 'yyyy-mm-dd')", QStringLiteral("2024-03-05")},
                       {"Format(1234.5, '#,##0.00')", QStringLiteral("1.234,50")},
                       {"Format(0.125, 'Percent')", QStringLiteral("12,50%")},
                       {"Format(-3, '0;(0)')", QStringLiteral("(3)")},
                       {"Format(-1234.567, 'Standard')", QStringLiteral("-1.234,57")},
                       {"Format(5, 'Currency')", QStringLiteral("€ 5,00")},
                       {"Format(N, '000')", QStringLiteral("005")},
                       {"Format(0.5, '#.##')", QStringLiteral(",5")},
                       {"Format(N, 'Yes/No')", QStringLiteral("Sì")},
                       {"Format(T, '>')", QStringLiteral("PERCHÉ")},
                       {"Format(Null, '0')", QVariant()},
                       {"Format(N)", QStringLiteral("5")},
                   });
    // A date stored by another tool as yyyy-MM-dd, ISO text with T, or a day number.
    testsupport::sqliteExec(a.path, QStringLiteral("CREATE TABLE FORME (D DATETIME);"
                                                   "INSERT INTO FORME VALUES ('2024-03-05'), "
                                                   "('2024-03-05T10:00:00'), (45356), (45356.5)"));
    dbe::Recordset rs = a.db.OpenRecordset(QStringLiteral(
        "SELECT Year(D) AS Y, Month(D) AS M, Day(D) AS G, DateAdd('d', 1, D) AS Dopo, Format(D, 'dd/mm/yyyy') AS F "
        "FROM FORME"));
    int seen = 0;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext(), ++seen) {
        EXPECT_EQ(rs.Value(QStringLiteral("Y")).toInt() * 10000 + rs.Value(QStringLiteral("M")).toInt() * 100
                      + rs.Value(QStringLiteral("G")).toInt(),
                  20240305);
        EXPECT_EQ(rs.Value(QStringLiteral("Dopo")).toDateTime().date(), QDate(2024, 3, 6));
        EXPECT_EQ(rs.Value(QStringLiteral("F")).toString(), QStringLiteral("05/03/2024"));
    }
    EXPECT_EQ(seen, 4);
}

TEST(QueryFunctionsTest, UnionAndUnionAll)
{
    Archive a;
    a.exec("CREATE TABLE CLIENTI (CODICE TEXT(10), RAGSOC TEXT(50))");
    a.exec("CREATE TABLE FORNIT (COD TEXT(10), NOME TEXT(50))");
    for (const char* s : {"INSERT INTO CLIENTI VALUES ('C1', 'Rossi')", "INSERT INTO CLIENTI VALUES ('C2', 'Bianchi')",
                          "INSERT INTO CLIENTI VALUES ('C3', NULL)", "INSERT INTO FORNIT VALUES ('F1', 'ROSSI')",
                          "INSERT INTO FORNIT VALUES ('F2', 'Verdi')"})
        a.exec(s);
    auto values = [&](const char* query) {
        QStringList out;
        dbe::Recordset rs = a.db.OpenRecordset(QString::fromUtf8(query));
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
            out << (rs.Value(0).isNull() ? QStringLiteral("<null>") : rs.Value(0).toString());
        EXPECT_FALSE(rs.Updatable());
        return out;
    };
    // UNION drops duplicates without regard to case; ORDER BY names the first query's fields.
    EXPECT_EQ(values("SELECT RAGSOC FROM CLIENTI UNION SELECT NOME FROM FORNIT ORDER BY RAGSOC").join(u',').toUpper(),
              QStringLiteral("<NULL>,BIANCHI,ROSSI,VERDI"));
    const QStringList all = values("SELECT RAGSOC FROM CLIENTI WHERE CODICE<>'C3' UNION ALL SELECT NOME FROM FORNIT "
                                   "UNION ALL SELECT 'Altro' FROM FORNIT WHERE COD='F1' ORDER BY RAGSOC DESC");
    ASSERT_EQ(all.size(), 5);
    EXPECT_EQ(all.first(), QStringLiteral("Verdi"));
    EXPECT_EQ(all.mid(1, 2).join(u',').toUpper(), QStringLiteral("ROSSI,ROSSI"));
    EXPECT_EQ(all.last(), QStringLiteral("Altro"));
    dbe::Recordset named =
        a.db.OpenRecordset(QStringLiteral("SELECT CODICE, RAGSOC FROM CLIENTI UNION SELECT COD, NOME FROM FORNIT"));
    EXPECT_EQ(named.FieldName(1), QStringLiteral("RAGSOC"));
    EXPECT_EQ(named.RecordCount(), 5);
    EXPECT_DB_ERROR(3307, a.first("SELECT CODICE, RAGSOC FROM CLIENTI UNION SELECT COD FROM FORNIT", "CODICE"));
    EXPECT_DB_ERROR(3138, a.first("SELECT CODICE FROM CLIENTI ORDER BY CODICE UNION SELECT COD FROM FORNIT", "CODICE"));
    EXPECT_DB_ERROR(3061, a.first("SELECT CODICE FROM CLIENTI UNION SELECT COD FROM FORNIT ORDER BY NOME", "CODICE"));
}

namespace {

// The first field of every record a query returns, Null as "<null>".
QStringList column0(const Archive& a, const QString& query)
{
    QStringList out;
    dbe::Recordset rs = a.db.OpenRecordset(query);
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        out << (rs.Value(0).isNull() ? QStringLiteral("<null>") : rs.Value(0).toString());
    return out;
}

}  // namespace

// What people who type queries by hand reach for: ^, the numeric and text functions, Switch and
// Choose, with the engine's Null rules, its rounding half to even and its errors.
TEST(QueryFunctionsTest, HandWrittenFunctionsAndPower)
{
    Archive a;
    withOneRecord(a);
    expectCases(a, {
                       {"2 ^ 10", 1024.0},
                       {"-2 ^ 2", -4.0},
                       {"2 ^ -1", 0.5},
                       {"2 ^ 3 ^ 2", 64.0},
                       {"N ^ 2", 25.0},
                       {"'2,5' ^ 2", 6.25},
                       {"NULL ^ 2", QVariant()},
                       {"0 ^ -1", QVariant(), 11},
                       {"(-8) ^ 0.5", QVariant(), 5},
                       {"'abc' ^ 2", QVariant(), 3464},
                       {"Round(2.5)", 2.0},
                       {"Round(3.5)", 4.0},
                       {"Round(-2.5)", -2.0},
                       {"Round(1.2345, 2)", 1.23},
                       {"Round('12,55', 1)", 12.6},
                       {"Round(NULL)", QVariant()},
                       {"Round(1, -1)", QVariant(), 5},
                       {"Int(-2.5)", -3.0},
                       {"Fix(-2.5)", -2.0},
                       {"Int(2.9)", 2.0},
                       {"Int(NULL)", QVariant()},
                       {"Sgn(-7)", -1.0},
                       {"Sgn(0)", 0.0},
                       {"Sqr(16)", 4.0},
                       {"Sqr(-1)", QVariant(), 5},
                       {"Log(0)", QVariant(), 5},
                       {"Exp(0)", 1.0},
                       {"IsNumeric('12,5')", -1.0},
                       {"IsNumeric('12.5')", 0.0},
                       {"IsNumeric(N)", -1.0},
                       {"IsNumeric(NULL)", 0.0},
                       {"IsNumeric('abc')", 0.0},
                       {"IsDate('05/03/2024')", -1.0},
                       {"IsDate(D)", -1.0},
                       {"IsDate('abc')", 0.0},
                       {"Replace('Banana', 'A', 'o')", QStringLiteral("Bonono")},
                       {"Replace('Banana', 'a', 'o', 1, 1)", QStringLiteral("Bonana")},
                       {"Replace('Banana', 'A', 'o', 1, -1, 0)", QStringLiteral("Banana")},
                       {"Replace('Banana', 'a', 'o', 3)", QStringLiteral("nono")},
                       {"Replace(NULL, 'a', 'o')", QVariant()},
                       {"Replace('a', NULL, 'o')", QVariant(), 94},
                       {"Space(3) & 'x'", QStringLiteral("   x")},
                       {"Chr(65)", QStringLiteral("A")},
                       {"Asc('perché')", 112.0},
                       {"Asc('')", QVariant(), 5},
                       {"StrComp('abc', 'ABC')", 0.0},
                       {"StrComp('abc', 'ABC', 0)", 1.0},
                       {"StrComp('a', NULL)", QVariant()},
                       {"StrReverse(T)", QStringLiteral("éhcrep")},
                       {"InStrRev('a-b-c', '-')", 4.0},
                       {"InStrRev('a-b-c', '-', 3)", 2.0},
                       {"InStrRev('abc', 'z')", 0.0},
                       {"Switch(N > 9, 'grande', N > 3, 'medio', True, 'piccolo')", QStringLiteral("medio")},
                       {"Switch(N > 9, 'grande')", QVariant()},
                       {"Choose(2, 'a', 'b', 'c')", QStringLiteral("b")},
                       {"Choose(4, 'a', 'b', 'c')", QVariant()},
                       {"Choose(N - 3, 'a', 'b')", QStringLiteral("b")},
                   });
}

// EXISTS, NOT EXISTS and subqueries used as values, correlated with the outer query; a subquery
// used as a value that gives two records is an error, as in the original engine.
TEST(QueryFunctionsTest, ExistsAndSubqueriesAsValues)
{
    Archive a;
    a.exec("CREATE TABLE CLIENTI (CODICE TEXT(10), RAGSOC TEXT(50))");
    a.exec("CREATE TABLE ORDINI (NUMERO LONG, CLIENTE TEXT(10), TOTALE CURRENCY)");
    for (const char* s : {"INSERT INTO CLIENTI VALUES ('C1', 'Rossi')", "INSERT INTO CLIENTI VALUES ('C2', 'Bianchi')",
                          "INSERT INTO CLIENTI VALUES ('C3', 'Verdi')", "INSERT INTO ORDINI VALUES (1, 'c1', 10)",
                          "INSERT INTO ORDINI VALUES (2, 'C1', 15)", "INSERT INTO ORDINI VALUES (3, 'C3', 7)"})
        a.exec(s);
    EXPECT_EQ(column0(a, "SELECT CODICE FROM CLIENTI C WHERE EXISTS (SELECT * FROM ORDINI O WHERE O.CLIENTE = "
                         "C.CODICE) ORDER BY CODICE"),
              QStringList({"C1", "C3"}));
    EXPECT_EQ(column0(a, "SELECT CODICE FROM CLIENTI C WHERE NOT EXISTS (SELECT NUMERO FROM ORDINI WHERE CLIENTE = "
                         "C.CODICE)"),
              QStringList({"C2"}));
    EXPECT_EQ(column0(a, "SELECT (SELECT SUM(TOTALE) FROM ORDINI WHERE CLIENTE = C.CODICE) AS T FROM CLIENTI C "
                         "ORDER BY CODICE"),
              QStringList({"25", "<null>", "7"}));
    EXPECT_EQ(column0(a, "SELECT NUMERO FROM ORDINI WHERE TOTALE > (SELECT AVG(TOTALE) FROM ORDINI) "),
              QStringList({"2"}));
    EXPECT_EQ(column0(a, "SELECT (SELECT TOP 1 NUMERO FROM ORDINI ORDER BY TOTALE DESC) AS N FROM CLIENTI "
                         "WHERE CODICE = 'C2'"),
              QStringList({"2"}));
    EXPECT_DB_ERROR(3354,
                    column0(a, "SELECT (SELECT NUMERO FROM ORDINI WHERE CLIENTE = C.CODICE) AS N FROM CLIENTI C"));
    EXPECT_DB_ERROR(3061, column0(a, "SELECT CODICE FROM CLIENTI WHERE EXISTS (SELECT NESSUNO FROM ORDINI)"));
    // ANY, SOME and ALL: texts compared without regard to case; ALL of no record is true.
    EXPECT_EQ(column0(a, "SELECT NUMERO FROM ORDINI WHERE TOTALE >= ALL (SELECT TOTALE FROM ORDINI)"),
              QStringList({"2"}));
    EXPECT_EQ(column0(a, "SELECT CODICE FROM CLIENTI WHERE CODICE = ANY (SELECT CLIENTE FROM ORDINI) ORDER BY 1"),
              QStringList({"C1", "C3"}));
    EXPECT_EQ(column0(a,
                      "SELECT NUMERO FROM ORDINI WHERE TOTALE > SOME (SELECT TOTALE FROM ORDINI WHERE CLIENTE = 'c3') "
                      "ORDER BY 1"),
              QStringList({"1", "2"}));
    EXPECT_EQ(a.count("SELECT * FROM ORDINI WHERE TOTALE < ALL (SELECT TOTALE FROM ORDINI WHERE NUMERO > 9)"), 3);
    a.exec("INSERT INTO ORDINI VALUES (4, 'C2', NULL)");
    // A comparison with Null leaves ALL unknown, so neither it nor its negation selects the record.
    EXPECT_EQ(a.count("SELECT * FROM CLIENTI WHERE 1000 > ALL (SELECT TOTALE FROM ORDINI)"), 0);
    EXPECT_EQ(a.count("SELECT * FROM CLIENTI WHERE NOT (1000 > ALL (SELECT TOTALE FROM ORDINI))"), 0);
}

// ORDER BY a number sorts by that field of the result, texts without regard to case; First, Last,
// StDev, StDevP, Var and VarP over a group.
TEST(QueryFunctionsTest, OrderByPositionAndTheStatisticalAggregates)
{
    Archive a;
    a.exec("CREATE TABLE V (CODICE TEXT(10), NOME TEXT(20), N DOUBLE)");
    for (const char* s : {"INSERT INTO V VALUES ('A', 'bruno', 2)", "INSERT INTO V VALUES ('B', 'Anna', 4)",
                          "INSERT INTO V VALUES ('C', 'carla', 4)", "INSERT INTO V VALUES ('D', 'Dino', 5)",
                          "INSERT INTO V VALUES ('E', 'elio', NULL)"})
        a.exec(s);
    EXPECT_EQ(column0(a, "SELECT CODICE, NOME FROM V ORDER BY 2 DESC"), QStringList({"E", "D", "C", "A", "B"}));
    EXPECT_EQ(column0(a, "SELECT NOME, N FROM V WHERE N IS NOT NULL ORDER BY 2, 1"),
              QStringList({"bruno", "Anna", "carla", "Dino"}));
    EXPECT_EQ(column0(a, "SELECT CODICE FROM V UNION SELECT NOME FROM V ORDER BY 1 DESC").first(),
              QStringLiteral("elio"));
    // TOP n PERCENT: rounded up, ties with the last kept as with TOP n.
    EXPECT_EQ(column0(a, "SELECT TOP 40 PERCENT CODICE FROM V ORDER BY CODICE"), QStringList({"A", "B"}));
    EXPECT_EQ(column0(a, "SELECT TOP 21 PERCENT CODICE FROM V WHERE N IS NOT NULL ORDER BY N DESC"),
              QStringList({"D"}));
    QStringList tied = column0(a, "SELECT TOP 30 PERCENT CODICE FROM V WHERE N IS NOT NULL ORDER BY N DESC");
    tied.sort();
    EXPECT_EQ(tied, QStringList({"B", "C", "D"}));
    auto one = [&](const char* expression) {
        return a.first(QStringLiteral("SELECT %1 AS X FROM V").arg(QLatin1String(expression)).toUtf8().constData(),
                       "X");
    };
    EXPECT_EQ(one("First(NOME)").toString(), QStringLiteral("bruno"));
    EXPECT_TRUE(one("Last(N)").isNull());  // the last record's value, Null included
    EXPECT_NEAR(one("Var(N)").toDouble(), 1.583333333333, 1e-9);
    EXPECT_NEAR(one("VarP(N)").toDouble(), 1.1875, 1e-12);
    EXPECT_NEAR(one("StDev(N)").toDouble(), std::sqrt(1.583333333333333), 1e-9);
    EXPECT_NEAR(one("StDevP(N)").toDouble(), std::sqrt(1.1875), 1e-12);
    EXPECT_TRUE(a.first("SELECT StDev(N) AS X FROM V WHERE CODICE = 'A'", "X").isNull());
    EXPECT_EQ(a.first("SELECT VarP(N) AS X FROM V WHERE CODICE = 'A'", "X").toDouble(), 0.0);
}

// Statements as long as people write them: an export line of many fields joined by &, a long list
// of ORs and ANDs (generated, with the records each must find counted apart), deep parentheses.
TEST(QueryFunctionsTest, LongStatementsAreAnsweredAsShortOnes)
{
    Archive a;
    a.exec("CREATE TABLE R (N LONG, T TEXT(10))");
    for (int i = 0; i < 200; ++i)
        a.db.Execute(QStringLiteral("INSERT INTO R VALUES (%1, 't%1')").arg(i));
    QStringList parts;
    for (int i = 0; i < 120; ++i)
        parts << (i % 3 == 0 ? QStringLiteral("NULL") : i % 3 == 1 ? QStringLiteral("T") : QStringLiteral("';'"));
    const QString line =
        a.first(("SELECT " + parts.join(" & ") + " AS X FROM R WHERE N = 7").toUtf8().constData(), "X").toString();
    EXPECT_EQ(line, QStringLiteral("t7;").repeated(40));
    EXPECT_TRUE(a.first("SELECT NULL & NULL & NULL AS X FROM R", "X").isNull());

    std::mt19937 rng(20261206);
    for (int round = 0; round < 6; ++round) {
        const int n = 200 + int(rng() % 1200);
        const bool useAnd = round % 2 == 1;
        QStringList terms;
        QSet<int> hit;
        for (int i = 0; i < n; ++i) {
            const int k = int(rng() % 260);
            terms << (useAnd ? QStringLiteral("N <> %1").arg(k) : QStringLiteral("N = %1").arg(k));
            hit.insert(k);
        }
        int expected = 0;
        for (int k = 0; k < 200; ++k)
            expected += (hit.contains(k) != useAnd) ? 1 : 0;
        const QString where = terms.join(useAnd ? QStringLiteral(" AND ") : QStringLiteral(" OR "));
        EXPECT_EQ(a.count(("SELECT * FROM R WHERE " + where).toUtf8().constData()), expected) << n << " termini";
    }
    const QString deep = QString(200, u'(') + QStringLiteral("N = 5") + QString(200, u')');
    EXPECT_EQ(a.count(("SELECT * FROM R WHERE " + deep).toUtf8().constData()), 1);
    // Deeper than any statement needs: refused with the engine's error, never a crash.
    const QString tooDeep = QString(100000, u'(') + QStringLiteral("N = 5") + QString(100000, u')');
    EXPECT_NE(rstest::errorOf([&] { a.count(("SELECT * FROM R WHERE " + tooDeep).toUtf8().constData()); }), 0);
}

// UPDATE and DELETE over joined tables, as Access writes them: only the records the join selects
// change, each once, and the other table is left as it was.
TEST(QueryFunctionsTest, JoinedUpdatesAndDeletes)
{
    Archive a;
    a.exec("CREATE TABLE CLIENTI (CODICE TEXT(10), RAGSOC TEXT(50), SCONTO DOUBLE)");
    a.exec("CREATE TABLE ORDINI (NUMERO LONG, CLIENTE TEXT(10), SCONTO DOUBLE)");
    for (const char* s :
         {"INSERT INTO CLIENTI VALUES ('C1', 'Rossi', 5)", "INSERT INTO CLIENTI VALUES ('C2', 'Bianchi', 10)",
          "INSERT INTO ORDINI VALUES (1, 'c1', 0)", "INSERT INTO ORDINI VALUES (2, 'C2', 0)",
          "INSERT INTO ORDINI VALUES (3, 'C9', 0)", "INSERT INTO ORDINI VALUES (4, 'C1', 0)"})
        a.exec(s);
    a.exec("UPDATE ORDINI AS O INNER JOIN CLIENTI AS C ON O.CLIENTE = C.CODICE SET O.SCONTO = C.SCONTO * 2 "
           "WHERE C.CODICE <> 'C2'");
    EXPECT_EQ(column0(a, "SELECT SCONTO FROM ORDINI ORDER BY NUMERO"), QStringList({"10", "0", "0", "10"}));
    a.exec("UPDATE ORDINI LEFT JOIN CLIENTI ON ORDINI.CLIENTE = CLIENTI.CODICE SET ORDINI.SCONTO = -1 "
           "WHERE CLIENTI.CODICE IS NULL");
    EXPECT_EQ(column0(a, "SELECT SCONTO FROM ORDINI ORDER BY NUMERO"), QStringList({"10", "0", "-1", "10"}));
    a.exec("DELETE DISTINCTROW ORDINI.* FROM ORDINI INNER JOIN CLIENTI ON ORDINI.CLIENTE = CLIENTI.CODICE "
           "WHERE CLIENTI.RAGSOC = 'ROSSI'");
    EXPECT_EQ(column0(a, "SELECT NUMERO FROM ORDINI ORDER BY NUMERO"), QStringList({"2", "3"}));
    EXPECT_EQ(column0(a, "SELECT CODICE FROM CLIENTI ORDER BY CODICE"), QStringList({"C1", "C2"}));
    a.exec("DELETE O.* FROM ORDINI O LEFT JOIN CLIENTI C ON O.CLIENTE = C.CODICE WHERE C.CODICE IS NULL");
    EXPECT_EQ(column0(a, "SELECT NUMERO FROM ORDINI"), QStringList({"2"}));
    a.exec("DELETE DISTINCTROW * FROM ORDINI WHERE NUMERO = 7");  // DISTINCTROW without a join
    EXPECT_DB_ERROR(3128, a.exec("DELETE FROM ORDINI INNER JOIN CLIENTI ON ORDINI.CLIENTE = CLIENTI.CODICE"));
    EXPECT_DB_ERROR(3144, a.exec("UPDATE ORDINI INNER JOIN CLIENTI ON ORDINI.CLIENTE = CLIENTI.CODICE "
                                 "SET ORDINI.SCONTO = 1, CLIENTI.SCONTO = 1"));
    EXPECT_EQ(column0(a, "SELECT NUMERO FROM ORDINI"), QStringList({"2"}));

    // INSERT INTO ... SELECT: the query's rows, fitted to the fields; a counter numbers them on.
    a.exec("CREATE TABLE COPIA (ID COUNTER, CODICE TEXT(10), NOTA TEXT(20))");
    a.exec("INSERT INTO COPIA (CODICE, NOTA) VALUES ('X', 'prima')");
    a.exec("INSERT INTO COPIA (CODICE, NOTA) SELECT CODICE, RAGSOC & '!' FROM CLIENTI ORDER BY CODICE");
    EXPECT_EQ(column0(a, "SELECT ID & ':' & CODICE & ':' & NOTA FROM COPIA ORDER BY ID"),
              QStringList({"1:X:prima", "2:C1:Rossi!", "3:C2:Bianchi!"}));
    EXPECT_DB_ERROR(3346, a.exec("INSERT INTO COPIA (CODICE) SELECT CODICE, RAGSOC FROM CLIENTI"));
    EXPECT_DB_ERROR(3163, a.exec("INSERT INTO COPIA (CODICE) SELECT RAGSOC & RAGSOC FROM CLIENTI"));
    EXPECT_EQ(a.count("SELECT * FROM COPIA"), 3);
    // A counter another program stored as text is counted by its reading: no number is repeated.
    testsupport::sqliteExec(a.path,
                            QStringLiteral("INSERT INTO COPIA (ID, CODICE, NOTA) VALUES ('2,0', 'Y', 'altro')"));
    a.exec("INSERT INTO COPIA (CODICE) SELECT CODICE FROM CLIENTI ORDER BY CODICE");
    EXPECT_EQ(column0(a, "SELECT ID FROM COPIA WHERE CODICE LIKE 'C*' ORDER BY ID"), QStringList({"2", "3", "4", "5"}));
}

// Currency stays exact through *, SUM and AVG (seeded amounts with four decimals, summed and
// averaged in ten-thousandths apart); an aggregate in WHERE is refused with its own error.
TEST(QueryFunctionsTest, CurrencyArithmeticIsExactAndAggregatesStayOutOfWhere)
{
    Archive a;
    a.exec("CREATE TABLE M (N LONG, IMPORTO CURRENCY)");
    std::mt19937_64 rng(6122026);
    qint64 total = 0;
    const int n = 400;
    for (int i = 0; i < n; ++i) {
        const qint64 cents = qint64(rng() % 2000000000000ULL) - 300000000000LL;  // up to 2×10^8 in ten-thousandths
        total += cents * 3;
        a.db.Execute(QStringLiteral("INSERT INTO M VALUES (%1, %2)").arg(i).arg(double(cents) / 10000.0, 0, 'f', 4));
    }
    const QVariant sum = a.first("SELECT SUM(IMPORTO * 3) AS X FROM M", "X");
    EXPECT_EQ(sum.toDouble(), double(total) / 10000.0);
    const QVariant mean = a.first("SELECT AVG(IMPORTO * 3) AS X FROM M", "X");
    EXPECT_NEAR(mean.toDouble() * 10000.0, double(total) / n, 0.5);
    EXPECT_EQ(std::round(mean.toDouble() * 10000.0), mean.toDouble() * 10000.0) << "l'Avg di una valuta è una valuta";
    EXPECT_DB_ERROR(3096, a.count("SELECT N FROM M WHERE SUM(IMPORTO) > 1"));
    EXPECT_DB_ERROR(3075, a.count("SELECT N FROM M GROUP BY SUM(IMPORTO)"));
    EXPECT_EQ(a.count("SELECT N FROM M WHERE IMPORTO > (SELECT AVG(IMPORTO) FROM M)") > 0, true);
}

// A character list of LIKE takes an accented letter in either case, as a letter written alone
// does; a range written backwards is no pattern.
TEST(QueryFunctionsTest, LikeListsOfAccentedLettersAndBackwardRanges)
{
    Archive a;
    a.exec("CREATE TABLE P (T TEXT(20))");
    const QString letters = QStringLiteral("àèéìòùçÀÈÉÌÒÙÇ");
    for (const QChar c : letters)
        a.db.Execute(QStringLiteral("INSERT INTO P VALUES ('%1bc')").arg(c));
    for (const QChar c : letters) {
        for (const QString& pattern : {QStringLiteral("[%1]bc"), QStringLiteral("%1bc"), QStringLiteral("[%1x]*")}) {
            const QString q = QStringLiteral("SELECT * FROM P WHERE T LIKE '%1'").arg(pattern.arg(c));
            EXPECT_EQ(a.count(q.toUtf8().constData()), 2) << q.toStdString();
        }
    }
    EXPECT_DB_ERROR(3075, a.count("SELECT * FROM P WHERE T LIKE '[c-a]*'"));
    EXPECT_EQ(a.count("SELECT * FROM P WHERE T LIKE '[!a-z]bc'"), 14);
}
