// One reading of stored values by the field's type, on every path of the engine. A seeded generator
// writes the same records twice, as another program would: once in the engine's own forms, once
// with every date, number and yes/no value in a form drawn at random from those the engine reads,
// all forms mixed in one column. Every query must answer alike on the two. Values that no rule
// reads match nothing, sort last and fail arithmetic.
#include "dbengine/conversion.h"
#include "dbengine/dbengine.h"
#include "dbengine_inside.h"
#include "dialect_fixture.h"
#include "recordset_fixture.h"
#include "support/sqlite_file.h"
#include "support/stampa_qt.h"

#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <random>

using namespace dbe;

namespace {

const QDate kEpoch(1899, 12, 30);

QString quoted(const QString& text) { return u'\'' + text + u'\''; }

QString dayNumber(const QDateTime& dt, QChar point)
{
    const double serial = double(kEpoch.daysTo(dt.date())) + dt.time().msecsSinceStartOfDay() / 86400000.0;
    return QString::number(serial, 'g', 17).replace(u'.', point);
}

// A date as another program may store it, in the form numbered k.
QString dateForm(const QDateTime& dt, int k)
{
    const QString day = dt.date().toString(QStringLiteral("yyyy-MM-dd"));
    const QString hm = dt.time().toString(QStringLiteral("HH:mm"));
    const QString hms = dt.time().toString(QStringLiteral("HH:mm:ss"));
    const bool timeOnly = dt.date() == kEpoch;
    switch (k) {
    case 0: return quoted(day + u' ' + hms);  // the engine's own
    case 1: return quoted(day + u'T' + hms + QStringLiteral(".000Z"));
    case 2: return quoted(day + u'T' + hms + QStringLiteral("+01:00"));
    case 3: return quoted(day + u' ' + hms + QStringLiteral(".000000"));
    case 4: return quoted(day + u'T' + hm);
    case 5: return quoted(day + u' ' + hm + QStringLiteral("-0530"));
    case 6: return quoted(dt.date().toString(QStringLiteral("yyyy/MM/dd")) + u' ' + hms);
    case 7: return dayNumber(dt, u'.');  // a day number
    case 8: return quoted(dayNumber(dt, u','));  // a day number as text
    case 9: return dt.time() == QTime(0, 0) ? quoted(day) : quoted(day + u'T' + hms + u'Z');
    default: return timeOnly ? quoted(hm) : quoted(day + u'T' + hms + QStringLiteral(".0"));
    }
}

// A number as another program may store it (Italian text, with or without grouping).
QString numberForm(double v, int k)
{
    QString plain = QString::number(v, 'f', 3);
    while (plain.endsWith(u'0'))
        plain.chop(1);
    if (plain.endsWith(u'.'))
        plain.chop(1);
    QString italian = plain;
    italian.replace(u'.', u',');
    switch (k) {
    case 0: return plain;
    case 1: return quoted(italian);
    case 2: {  // the whole part grouped by points
        const bool negative = italian.startsWith(u'-');
        QString whole = italian.mid(negative ? 1 : 0).section(u',', 0, 0);
        const QString frac = italian.contains(u',') ? u',' + italian.section(u',', 1) : QString();
        for (int i = int(whole.size()) - 3; i > 0; i -= 3)
            whole.insert(i, u'.');
        return quoted((negative ? QStringLiteral("-") : QString()) + whole + frac);
    }
    default: return quoted(QStringLiteral(" ") + italian + QStringLiteral(" "));
    }
}

QString yesNoForm(bool v, int k)
{
    static const char* const yes[] = {"-1", "1", "'Vero'", "'TRUE'", "'-1,0'"};
    static const char* const no[] = {"0", "NULL", "'Falso'", "'false'", "'0'"};
    return QString::fromLatin1((v ? yes : no)[k % 5]);
}

class StoredReadings : public ::testing::Test {
protected:
    void SetUp() override { path = dir.filePath(QStringLiteral("lumera.mdb")); }

    // Tables C (the engine's forms) and G (forms drawn by the seed) with the same n records, and
    // RC, RG with the lines of each: N, the day D (some with a time, some a time alone), the
    // amount V, the count L, the flag B. Every index the catalogue relies on is there.
    void makeArchive(unsigned seed, int n)
    {
        std::mt19937 rng(seed);
        const QList<QDateTime> days = {QDateTime(QDate(2024, 3, 5), QTime(0, 0)),
                                       QDateTime(QDate(2024, 3, 5), QTime(10, 30)),
                                       QDateTime(QDate(2025, 3, 4), QTime(0, 0)),
                                       QDateTime(QDate(2023, 12, 31), QTime(23, 59)),
                                       QDateTime(QDate(1999, 1, 9), QTime(0, 0)),
                                       QDateTime(kEpoch, QTime(10, 30)),
                                       QDateTime(QDate(2024, 2, 29), QTime(12, 0))};
        const QList<double> amounts = {0, 2.5, -0.125, 12.4, 12.5, 12790.3, 1234567.75, 7};
        QString sql;
        for (const char* t : {"C", "G"}) {
            sql += QStringLiteral("CREATE TABLE %1 (N LONG, D DATETIME, V DOUBLE, L LONG, B YESNO);"
                                  "CREATE INDEX \"%1.D\" ON %1 (D); CREATE INDEX \"%1.V\" ON %1 (V);"
                                  "CREATE TABLE R%1 (K TEXT(5) COLLATE NOCASE, D DATETIME);"
                                  "CREATE INDEX \"R%1.D\" ON R%1 (D);")
                       .arg(QLatin1String(t));
        }
        for (int i = 0; i < n; ++i) {
            const QDateTime d = days[rng() % days.size()];
            const double v = amounts[rng() % amounts.size()];
            const int l = int(rng() % 2000) - 1000;
            const bool b = rng() % 2;
            sql += QStringLiteral("INSERT INTO C VALUES (%1, %2, %3, %4, %5);")
                       .arg(i)
                       .arg(dateForm(d, 0), numberForm(v, 0), QString::number(l),
                            b ? QStringLiteral("-1") : QStringLiteral("0"));
            sql += QStringLiteral("INSERT INTO G VALUES (%1, %2, %3, %4, %5);")
                       .arg(i)
                       .arg(dateForm(d, int(rng() % 11)), numberForm(v, int(rng() % 4)), numberForm(l, int(rng() % 4)),
                            yesNoForm(b, int(rng() % 5)));
            if (rng() % 3 == 0) {
                const QDateTime line = rng() % 4 ? d : days[rng() % days.size()];
                // A text key that a number field is compared with: numbers in Italian text, and no number.
                static const char* const keys[] = {"0", "2,5", "7", "12,4", "-0,125", "1.000", "x"};
                const QString k = QString::fromLatin1(keys[i % 7]);
                sql += QStringLiteral("INSERT INTO RC VALUES ('%1', %2); INSERT INTO RG VALUES ('%1', %3);")
                           .arg(k, dateForm(line, 0), dateForm(line, int(rng() % 11)));
            }
        }
        testsupport::sqliteExec(path, QStringLiteral("BEGIN;") + sql + QStringLiteral("COMMIT;"));
        db = OpenDatabase(path);
    }

    // Every record of query, each as its values' text joined by "|" (as the grid reads them).
    QStringList rows(const QString& query)
    {
        QStringList out;
        Recordset rs = db.OpenRecordset(query);
        for (; !rs.Eof(); rs.MoveNext()) {
            QStringList values;
            for (int i = 0; i < rs.FieldCount(); ++i) {
                const QVariant v = rs.Value(i);
                values.append(v.isNull() ? QStringLiteral("Null")
                              : v.typeId() == QMetaType::QDateTime
                                  ? v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
                              : v.typeId() == QMetaType::Double ? QString::number(v.toDouble(), 'g', 12)
                                                                : v.toString());
            }
            out.append(values.join(u'|'));
        }
        return out;
    }

    // query (with %1 for the table and %2 for its lines' table) answers alike on both forms.
    void expectSameOnBothForms(const QString& query)
    {
        auto on = [&query](const char* table) {
            return QString(query)
                .replace(QStringLiteral("%2"), QStringLiteral("R") + QLatin1String(table))
                .replace(QStringLiteral("%1"), QLatin1String(table));
        };
        const QStringList canonical = rows(on("C"));
        EXPECT_EQ(rows(on("G")), canonical) << qPrintable(query);
    }


    QTemporaryDir dir;
    QString path;
    Database db;
};

}  // namespace

TEST_F(StoredReadings, EveryQueryAnswersAlikeOnEveryStoredFormOfItsValues)
{
    for (const unsigned seed : {7u, 2024u, 90210u}) {
        SCOPED_TRACE(seed);
        db = Database();
        QFile::remove(path);
        makeArchive(seed, 120);
        const QStringList queries = {
            // Dates: comparisons, literals of every written form, IN, BETWEEN, joins, sorting,
            // grouping, DISTINCT, arithmetic and functions.
            QStringLiteral("SELECT N FROM %1 WHERE D = #3/5/2024# ORDER BY N"),
            QStringLiteral("SELECT N FROM %1 WHERE D <> #3/4/2025# ORDER BY N"),
            QStringLiteral("SELECT N FROM %1 WHERE D = #3/5/2024 10:30# OR D = #10:30# ORDER BY N"),
            QStringLiteral("SELECT N FROM %1 WHERE D > #3/5/2024# AND D <= #2/29/2024 12:00# ORDER BY N"),
            QStringLiteral("SELECT N FROM %1 WHERE D < '01/01/2000' ORDER BY N"),
            QStringLiteral("SELECT N FROM %1 WHERE D BETWEEN #12/31/2023# AND #3/5/2024 23:00# ORDER BY N"),
            QStringLiteral("SELECT N FROM %1 WHERE D IN (#3/4/2025#, #1/9/1999#) ORDER BY N"),
            QStringLiteral("SELECT N FROM %1 WHERE D NOT IN (#3/4/2025#, #1/9/1999#) ORDER BY N"),
            QStringLiteral("SELECT N, D FROM %1 ORDER BY D DESC, N"),
            QStringLiteral("SELECT D, COUNT(*) FROM %1 GROUP BY D ORDER BY D"),
            QStringLiteral("SELECT DISTINCT D FROM %1 ORDER BY D"),
            QStringLiteral("SELECT MIN(D), MAX(D) FROM %1"),
            QStringLiteral("SELECT N, D + 1, D - #1/1/2024#, Year(D), Month(D), Hour(D) FROM %1 ORDER BY N"),
            QStringLiteral(
                "SELECT N, Format(D), CStr(D), DateAdd('m', 1, D), DateDiff('d', #1/1/2024#, D) FROM %1 ORDER BY N"),
            QStringLiteral("SELECT N FROM %1 WHERE D LIKE '05/03/2024*' ORDER BY N"),
            QStringLiteral("SELECT %1.N, %2.K FROM %1 INNER JOIN %2 ON %1.D = %2.D ORDER BY %1.N, %2.K"),
            QStringLiteral("SELECT %1.N FROM %1 LEFT JOIN %2 ON %1.D = %2.D WHERE ISNULL(%2.K) ORDER BY %1.N"),
            QStringLiteral("SELECT N FROM %1 WHERE D IN (SELECT D FROM %2) ORDER BY N"),
            // Numbers stored as Italian text.
            QStringLiteral("SELECT N FROM %1 WHERE V = 2.5 OR V = '12.790,3' ORDER BY N"),
            QStringLiteral("SELECT N FROM %1 WHERE V > 12.4 AND L >= -10 ORDER BY N"),
            QStringLiteral("SELECT N FROM %1 WHERE V <> 0 AND 12.45 > V ORDER BY N"),
            QStringLiteral("SELECT N FROM %1 WHERE V BETWEEN -1 AND '12,5' ORDER BY N"),
            QStringLiteral("SELECT N FROM %1 WHERE V IN (-0.125, 7) OR L NOT IN (1, 2, 3) ORDER BY N"),
            QStringLiteral("SELECT N, V + 1, V * 2, -V, L - V, V / 4, L \\ 3, L MOD 7, Abs(L) FROM %1 ORDER BY N"),
            QStringLiteral("SELECT N, CLng(V), CDbl(L), Format(V, '0.00'), V & '' FROM %1 ORDER BY N"),
            QStringLiteral("SELECT V, COUNT(*), SUM(L), AVG(L), MIN(L), MAX(L) FROM %1 GROUP BY V ORDER BY V"),
            QStringLiteral("SELECT DISTINCT V FROM %1 ORDER BY V DESC"),
            QStringLiteral("SELECT N FROM %1 WHERE V LIKE '12,*' ORDER BY N"),
            // A number field against a text field: the text read as a number, not the number as text.
            QStringLiteral("SELECT %1.N, %2.K FROM %1 INNER JOIN %2 ON %1.V = %2.K ORDER BY %1.N, %2.K"),
            QStringLiteral("SELECT %1.N, %2.K FROM %1, %2 WHERE %2.K > %1.L AND %1.L > -10 ORDER BY %1.N, %2.K"),
            // Len of a number or a date: the length of its text as CStr writes it.
            QStringLiteral("SELECT N, Len(D), Len(V), Len(L), Len(CStr(D)) FROM %1 ORDER BY N"),
            QStringLiteral("SELECT N, V, L FROM %1 ORDER BY L, N"),
            // Yes/no in every stored form, Null as False.
            QStringLiteral("SELECT N FROM %1 WHERE B = False ORDER BY N"),
            QStringLiteral("SELECT N FROM %1 WHERE NOT B ORDER BY N"),
            QStringLiteral("SELECT N FROM %1 WHERE B AND V >= 0 ORDER BY N"),
            QStringLiteral("SELECT N, IIf(B, 'si', 'no'), B + 0 FROM %1 WHERE B <> True OR B IN (True) ORDER BY N"),
            QStringLiteral("SELECT B, COUNT(*) FROM %1 GROUP BY B ORDER BY B"),
            // What the grid shows.
            QStringLiteral("SELECT * FROM %1 ORDER BY N"),
        };
        for (const QString& q : queries)
            expectSameOnBothForms(q);
    }
}

TEST_F(StoredReadings, DateLiteralsFindEveryFormOfTheirDayAndTheJoinedLookupDeletesOnlyThose)
{
    // The lookup of the joined corrections: a date literal on an index, on dates stored as
    // "yyyy-MM-ddTHH:mm" and friends; the delete it drives takes those records and no others.
    testsupport::sqliteExec(
        path,
        QStringLiteral(
            "CREATE TABLE O (N LONG, D DATETIME); CREATE INDEX \"O.D\" ON O (D);"
            "INSERT INTO O VALUES (1, '2025-03-04T00:00'), (2, '2025-03-04 00:00'), (3, '2025-03-04 00:00:00.000'),"
            " (4, '2025-03-04T00:00:00.000Z'), (5, '2025/03/04'), (6, 45720), (7, '45720,0'), (8, '2025-03-04T10:00'),"
            " (9, '2025-03-05'), (10, '2025-03-03T23:59:59.999');"));
    db = OpenDatabase(path);
    EXPECT_EQ(rows(QStringLiteral("SELECT N FROM O WHERE D = #3/4/2025# ORDER BY N")).join(u','),
              QStringLiteral("1,2,3,4,5,6,7"));
    EXPECT_EQ(rows(QStringLiteral("SELECT N FROM O WHERE D <> #3/4/2025# ORDER BY N")).join(u','),
              QStringLiteral("8,9,10"));
    // Len of a date is the length of the date as it is shown, whatever its stored form.
    EXPECT_EQ(rows(QStringLiteral("SELECT N, Len(D) FROM O WHERE N IN (1, 6, 8) ORDER BY N")).join(u','),
              QStringLiteral("1|10,6|10,8|19"));
    db.Execute(QStringLiteral("DELETE FROM O WHERE D = #3/4/2025#"));
    EXPECT_EQ(testsupport::sqliteValue(path, QStringLiteral("SELECT group_concat(N) FROM O")).toString(),
              QStringLiteral("8,9,10"));
}

TEST_F(StoredReadings, ValuesNoRuleReadsMatchNothingSortLastAndFailArithmetic)
{
    testsupport::sqliteExec(
        path,
        QStringLiteral(
            "CREATE TABLE U (N LONG, D DATETIME, V DOUBLE, B YESNO, T TEXT(10) COLLATE NOCASE);"
            "INSERT INTO U VALUES (1, '2024-03-05', '12,50', 'Vero', '2,5'), (2, 'domani', 'abc', 'forse', 'abc'),"
            " (3, '2024-13-01', '12.5', X'00', NULL), (4, NULL, NULL, NULL, '1.234,5'), (5, 3000000, X'01', 2, '');"));
    db = OpenDatabase(path);
    auto ns = [&](const QString& where) {
        return rows(QStringLiteral("SELECT N FROM U WHERE ") + where + QStringLiteral(" ORDER BY N")).join(u',');
    };
    EXPECT_EQ(ns(QStringLiteral("D = #3/5/2024#")), QStringLiteral("1"));
    EXPECT_EQ(ns(QStringLiteral("D <> #3/5/2024#")), QString());
    EXPECT_EQ(ns(QStringLiteral("D NOT IN (#1/1/2000#)")), QStringLiteral("1"));
    EXPECT_EQ(ns(QStringLiteral("D > #1/1/1900# OR D < #1/1/1900#")), QStringLiteral("1"));
    EXPECT_EQ(ns(QStringLiteral("V <> 0")), QStringLiteral("1,3"));
    EXPECT_EQ(ns(QStringLiteral("V NOT IN (1, 2)")), QStringLiteral("1,3"));
    EXPECT_EQ(ns(QStringLiteral("V > 12.4")), QStringLiteral("1,3"));
    EXPECT_EQ(ns(QStringLiteral("B = True")), QStringLiteral("1,5"));
    EXPECT_EQ(ns(QStringLiteral("B = False")), QStringLiteral("4"));
    EXPECT_EQ(ns(QStringLiteral("NOT B")), QStringLiteral("4"));
    EXPECT_EQ(ns(QStringLiteral("D IS NULL")), QStringLiteral("4"));
    EXPECT_EQ(ns(QStringLiteral("V IS NOT NULL")), QStringLiteral("1,2,3,5"));
    // After every readable value, before them when descending.
    EXPECT_EQ(rows(QStringLiteral("SELECT N FROM U WHERE N <> 4 ORDER BY D, N")).join(u','), QStringLiteral("1,3,5,2"));
    EXPECT_EQ(rows(QStringLiteral("SELECT N FROM U WHERE N <> 4 ORDER BY V DESC, N")).join(u','),
              QStringLiteral("5,2,1,3"));
    EXPECT_EQ(rows(QStringLiteral("SELECT MAX(V), MIN(D) FROM U")).join(u','),
              QStringLiteral("12.5|2024-03-05 00:00:00.000"));
    // The grid shows them as they are stored.
    EXPECT_EQ(rows(QStringLiteral("SELECT D, V, B FROM U WHERE N = 2")), QStringList{"domani|abc|forse"});

    // Arithmetic: a literal at translation, a stored value when the query runs (Jet's 3464).
    EXPECT_EQ(rows(QStringLiteral("SELECT 1 + '2,5', 2 * '1.000' FROM U WHERE N = 1")), QStringList{"3.5|2000"});
    EXPECT_EQ(ns(QStringLiteral("'12,50' > 12.4 AND '9' < 10")), QStringLiteral("1,2,3,4,5"));
    EXPECT_EQ(rstest::errorOf([&] { db.OpenRecordset(QStringLiteral("SELECT 1 + 'abc' FROM U WHERE N = 99")); }), 3464);
    EXPECT_EQ(rows(QStringLiteral("SELECT V + 1, T * 2 FROM U WHERE N = 1 OR N = 4 ORDER BY N")),
              QStringList({"13.5|5", "Null|2469"}));
    EXPECT_EQ(rstest::errorOf([&] { rows(QStringLiteral("SELECT V + 1 FROM U WHERE N = 2")); }), 3464);
    EXPECT_EQ(rstest::errorOf([&] { rows(QStringLiteral("SELECT T - 1 FROM U WHERE N = 2")); }), 3464);
    EXPECT_EQ(rstest::errorOf([&] { rows(QStringLiteral("SELECT -V FROM U WHERE N = 5")); }), 3464);

    // The report's predicate, in SQL and in C++, agree on every value of every typed column.
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    detail::registerValueFunctions(raw);
    const QList<std::tuple<const char*, short, const char*>> columns = {{"D", dbDate, "01101"},
                                                                        {"V", dbDouble, "01001"},
                                                                        {"B", dbBoolean, "01100"},
                                                                        {"T", dbText, "00000"}};
    for (const auto& [name, type, expected] : columns) {
        QString cpp, sql;
        Recordset rs = db.OpenRecordset(QStringLiteral("SELECT %1 FROM U ORDER BY N").arg(QLatin1String(name)));
        for (; !rs.Eof(); rs.MoveNext())
            cpp += StoredValueUnreadable(rs.Value(0), type) ? u'1' : u'0';
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(raw,
                           QStringLiteral("SELECT dbe_unreadable(%1, %2) FROM U ORDER BY N")
                               .arg(QLatin1String(name))
                               .arg(type)
                               .toUtf8()
                               .constData(),
                           -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW)
            sql += QString::number(sqlite3_column_int(st, 0));
        sqlite3_finalize(st);
        EXPECT_EQ(cpp, QLatin1String(expected)) << name;
        EXPECT_EQ(sql, QLatin1String(expected)) << name;
    }
    sqlite3_close(raw);
}

TEST(StoredReadingsPlan, DateAndNumberEqualitiesAreAnsweredFromTheirIndexes)
{
    dialect_test::DialectDb db;
    db.addTable(QStringLiteral("O"), {{QStringLiteral("N"), 4}, {QStringLiteral("D"), 8}, {QStringLiteral("V"), 7}});
    db.exec(QStringLiteral("CREATE INDEX OD ON O (D); CREATE INDEX OV ON O (V)"));
    for (const char* where :
         {"D = #3/4/2025#", "#3/4/2025 10:30# = D", "V = 2.5", "V < '12,5'", "V IN (1, 2)", "V BETWEEN 1 AND 2"}) {
        const auto st = db.translate(QStringLiteral("SELECT N FROM O WHERE ") + QLatin1String(where));
        const QString plan = db.plan(st.select.keySql);
        EXPECT_TRUE(plan.contains(QStringLiteral("USING INDEX")) && !plan.contains(QStringLiteral("SCAN O")))
            << where << "\n"
            << plan.toStdString();
    }
}

TEST_F(StoredReadings, TheNextCounterReadsTheNumbersOtherProgramsStoredAsText)
{
    // A counter another program filled in part with Italian text, which SQLite sorts after every
    // number: the next value is still the largest number plus one, by INSERT and by a record set.
    std::mt19937 rng(11);
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        db = Database();
        QFile::remove(path);
        const int high = 20 + int(rng() % 500);
        const int asText = 1 + int(rng() % (high - 1));
        testsupport::sqliteExec(
            path, QStringLiteral(
                      "CREATE TABLE T (ID COUNTER NOT NULL, X TEXT(5)); CREATE UNIQUE INDEX \"T.PrimaryKey\" ON T (ID);"
                      "INSERT INTO T VALUES (1, 'a'), (%1, 'b'), ('%2,0', 'c'), ('%3', 'd');")
                      .arg(high)
                      .arg(asText)
                      .arg(asText + 1 < high ? asText + 1 : 2));
        db = OpenDatabase(path);
        EXPECT_EQ(rows(QStringLiteral("SELECT MAX(ID) + 1 FROM T")).join(u','), QString::number(high + 1));
        db.Execute(QStringLiteral("INSERT INTO T (X) VALUES ('e')"));
        Recordset rs = db.OpenRecordset(QStringLiteral("T"), dbOpenDynaset);
        rs.AddNew();
        rs.SetValue(QStringLiteral("X"), QStringLiteral("f"));
        rs.Update();
        rs.Close();
        EXPECT_EQ(rows(QStringLiteral("SELECT X, ID FROM T WHERE X IN ('e', 'f') ORDER BY X")).join(u','),
                  QStringLiteral("e|%1,f|%2").arg(high + 1).arg(high + 2));
    }
}

// dbe_date and the DBE_NOCASE collation answer as the full reading and the case rule do, on
// generated values: texts of the engine's own date shape with every day, month, hour and year at
// and past its limits (29 February of leap and common years, day 31 of short months, hour 24,
// years 99 and 100, a wrong separator), and texts compared with themselves, a copy, another case
// and one letter changed.
TEST(StoredReadingsFunctions, ShortcutsAnswerAsTheFullReading)
{
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
    detail::registerValueFunctions(raw);
    sqlite3_stmt* date = nullptr;
    sqlite3_stmt* same = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(raw, "SELECT dbe_date(?1)", -1, &date, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_prepare_v2(raw, "SELECT ?1 = ?2 COLLATE DBE_NOCASE", -1, &same, nullptr), SQLITE_OK);
    std::mt19937 gen(29);
    const auto pick = [&gen](int n) { return int(gen() % unsigned(n)); };
    const auto bind = [](sqlite3_stmt* st, int i, const QByteArray& t) {
        sqlite3_bind_text(st, i, t.constData(), int(t.size()), SQLITE_TRANSIENT);
    };
    int read = 0;
    for (int i = 0; i < 20000; ++i) {
        const int years[] = {99, 100, 1899, 1900, 2000, 2023, 2024, 9999};
        QByteArray t = QStringLiteral("%1-%2-%3 %4:%5:%6")
                           .arg(years[pick(8)], 4, 10, QLatin1Char('0'))
                           .arg(pick(14), 2, 10, QLatin1Char('0'))
                           .arg(pick(33), 2, 10, QLatin1Char('0'))
                           .arg(pick(26), 2, 10, QLatin1Char('0'))
                           .arg(pick(62), 2, 10, QLatin1Char('0'))
                           .arg(pick(62), 2, 10, QLatin1Char('0'))
                           .toLatin1();
        if (pick(10) == 0)
            t[pick(19)] = "-: T/x5"[pick(7)];
        double full = 0;
        const bool readable = readStoredText(t.constData(), int(t.size()), dbDate, &full) == Reading::Read;
        read += readable ? 1 : 0;
        bind(date, 1, t);
        ASSERT_EQ(sqlite3_step(date), SQLITE_ROW);
        if (readable)
            EXPECT_EQ(sqlite3_column_double(date, 0), full) << t.constData();
        else
            EXPECT_EQ(sqlite3_column_type(date, 0), SQLITE_NULL) << t.constData();
        sqlite3_reset(date);
    }
    EXPECT_GT(read, 5000);
    EXPECT_LT(read, 15000);

    const QString letters = QStringLiteral("abcxyzàèéìòùAÈ1 ");
    for (int i = 0; i < 5000; ++i) {
        QString a;
        for (int k = pick(6); k >= 0; --k)
            a += letters[pick(letters.size())];
        QString b = a;
        switch (pick(4)) {
        case 0: b = a.toUpper(); break;
        case 1: b[pick(b.size())] = letters[pick(letters.size())]; break;
        case 2: b += letters[pick(letters.size())]; break;
        default: break;
        }
        bind(same, 1, a.toUtf8());
        bind(same, 2, b.toUtf8());
        ASSERT_EQ(sqlite3_step(same), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_int(same, 0) == 1, a.toLower() == b.toLower()) << (a + u' ' + b).toStdString();
        sqlite3_reset(same);
    }
    sqlite3_finalize(date);
    sqlite3_finalize(same);
    sqlite3_close(raw);
}
