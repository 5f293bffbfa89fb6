// The query language's functions and operators on a real archive, through record sets: each value
// with the engine's Null rules and the error it raises, the dates of every stored form, and UNION.
#include "recordset_fixture.h"
#include "support/sqlite_file.h"

#include <QDateTime>
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

QVariant day(int y, int m, int d, int h = 0, int mi = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, mi));
}

// Runs every case as SELECT expression FROM table and compares.
void expectCases(const Archive& a, const QVector<Case>& cases, const char* table = "UNO")
{
    for (const Case& c : cases) {
        const QString query = QStringLiteral("SELECT %1 AS X FROM %2").arg(QString::fromUtf8(c.expression), QLatin1String(table));
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
    dbe::Recordset named = a.db.OpenRecordset(QStringLiteral("SELECT CODICE, RAGSOC FROM CLIENTI UNION SELECT COD, NOME FROM FORNIT"));
    EXPECT_EQ(named.FieldName(1), QStringLiteral("RAGSOC"));
    EXPECT_EQ(named.RecordCount(), 5);
    EXPECT_DB_ERROR(3307, a.first("SELECT CODICE, RAGSOC FROM CLIENTI UNION SELECT COD FROM FORNIT", "CODICE"));
    EXPECT_DB_ERROR(3138, a.first("SELECT CODICE FROM CLIENTI ORDER BY CODICE UNION SELECT COD FROM FORNIT", "CODICE"));
    EXPECT_DB_ERROR(3061, a.first("SELECT CODICE FROM CLIENTI UNION SELECT COD FROM FORNIT ORDER BY NOME", "CODICE"));
}
