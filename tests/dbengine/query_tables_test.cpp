// What a FROM clause may name, on a real archive: a query read as a table, joins written in
// parentheses on either side, and the names the tables are called by.
#include "recordset_fixture.h"
#include "support/sqlite_file.h"

#include <QDate>
#include <algorithm>
#include <random>
#include <gtest/gtest.h>

using rstest::Archive;

namespace {

// Every record a query returns, its fields joined by '|', Null as "<null>".
QStringList rows(const Archive& a, const QString& query)
{
    QStringList out;
    dbe::Recordset rs = a.db.OpenRecordset(query);
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        QStringList fields;
        for (int i = 0; i < rs.FieldCount(); ++i)
            fields << (rs.Value(i).isNull() ? QStringLiteral("<null>") : rs.Value(i).toString());
        out << fields.join(u'|');
    }
    return out;
}

QStringList sorted(QStringList l)
{
    l.sort();
    return l;
}

void customersAndOrders(const Archive& a)
{
    a.exec("CREATE TABLE CLIENTI (CODICE TEXT(10), RAGSOC TEXT(50), ZONA LONG)");
    a.exec("CREATE TABLE ORDINI (NUMERO LONG, CLIENTE TEXT(10), TOTALE CURRENCY)");
    a.exec("CREATE TABLE ZONE (ZONA LONG, NOME TEXT(20))");
    for (const char* s :
         {"INSERT INTO CLIENTI VALUES ('C1', 'Rossi', 1)", "INSERT INTO CLIENTI VALUES ('C2', 'Bianchi', 2)",
          "INSERT INTO CLIENTI VALUES ('C3', 'Verdi', 9)", "INSERT INTO ORDINI VALUES (1, 'c1', 10)",
          "INSERT INTO ORDINI VALUES (2, 'C1', 15)", "INSERT INTO ORDINI VALUES (3, 'C3', 7)",
          "INSERT INTO ORDINI VALUES (4, 'C8', 1)", "INSERT INTO ZONE VALUES (1, 'Nord')",
          "INSERT INTO ZONE VALUES (2, 'Sud')"})
        a.exec(s);
}

}  // namespace

// (SELECT ...) AS X and (SELECT ...) X: alone, joined on either side, inside a subquery; the
// inner query's names are the outer one's, its texts compare without regard to case.
TEST(QueryTablesTest, QueriesReadAsTables)
{
    Archive a;
    customersAndOrders(a);
    EXPECT_EQ(rows(a, "SELECT X.CLI, X.T FROM (SELECT UCASE(CLIENTE) AS CLI, SUM(TOTALE) AS T FROM ORDINI "
                      "GROUP BY UCASE(CLIENTE)) AS X WHERE X.T > 5 ORDER BY X.T DESC"),
              QStringList({"C1|25", "C3|7"}));
    EXPECT_EQ(rows(a, "SELECT C.RAGSOC, T FROM CLIENTI AS C INNER JOIN (SELECT CLIENTE, SUM(TOTALE) AS T FROM ORDINI "
                      "GROUP BY CLIENTE) O ON C.CODICE = O.CLIENTE ORDER BY 2"),
              QStringList({"Verdi|7", "Rossi|25"}));
    EXPECT_EQ(rows(a, "SELECT N.NUMERO, CLIENTI.RAGSOC FROM (SELECT * FROM ORDINI WHERE TOTALE < 10) AS N "
                      "LEFT JOIN CLIENTI ON N.CLIENTE = CLIENTI.CODICE ORDER BY N.NUMERO"),
              QStringList({"3|Verdi", "4|<null>"}));
    EXPECT_EQ(rows(a, "SELECT CODICE FROM CLIENTI WHERE CODICE IN (SELECT K FROM (SELECT TOP 1 CLIENTE AS K FROM "
                      "ORDINI ORDER BY TOTALE DESC) AS Q)"),
              QStringList({"C1"}));
    EXPECT_EQ(rows(a, "SELECT COUNT(*) AS N FROM (SELECT CODICE FROM CLIENTI UNION SELECT CLIENTE FROM ORDINI)"),
              QStringList({"4"}));
    dbe::Recordset rs = a.db.OpenRecordset(QStringLiteral("SELECT * FROM (SELECT NUMERO AS N, TOTALE FROM ORDINI) Q"));
    EXPECT_EQ(rs.FieldName(0), QStringLiteral("N"));
    EXPECT_EQ(rs.RecordCount(), 4);
    EXPECT_FALSE(rs.Updatable());
    // A name the inner query does not give is unknown outside; its tables are not seen there.
    EXPECT_DB_ERROR(3061, rows(a, "SELECT X.CLIENTE FROM (SELECT NUMERO FROM ORDINI) AS X"));
    EXPECT_DB_ERROR(3061, rows(a, "SELECT ORDINI.NUMERO FROM (SELECT NUMERO FROM ORDINI) AS X"));
    // A statement that writes through one, or joins one, is refused and changes nothing.
    EXPECT_DB_ERROR(3073, a.exec("UPDATE (SELECT * FROM ORDINI) AS X SET TOTALE = 0"));
    EXPECT_DB_ERROR(3073, a.exec("DELETE X.* FROM (SELECT * FROM ORDINI) AS X INNER JOIN CLIENTI ON X.CLIENTE = "
                                 "CLIENTI.CODICE"));
    EXPECT_DB_ERROR(3073, a.exec("UPDATE CLIENTI INNER JOIN (SELECT CLIENTE, COUNT(*) AS N FROM ORDINI GROUP BY "
                                 "CLIENTE) AS Q ON CLIENTI.CODICE = Q.CLIENTE SET CLIENTI.ZONA = Q.N"));
    EXPECT_EQ(rows(a, "SELECT SUM(TOTALE) AS S, MAX(ZONA) AS Z FROM ORDINI, CLIENTI WHERE CODICE = 'C1'"),
              QStringList({"33|1"}));
}

// Dates and numbers another program stored in any of their forms compare and sort by their
// reading through a query read as a table, as they do in the table itself (seeded records).
TEST(QueryTablesTest, ValuesKeepTheirReadingThroughAQueryReadAsATable)
{
    Archive a;
    a.exec("CREATE TABLE M (ID LONG, D DATETIME, N DOUBLE)");
    std::mt19937 rng(7122026);
    struct Record {
        int id;
        QDate day;
        int tenths;
    };
    QVector<Record> records;
    const QDate origin(1899, 12, 30);
    QStringList inserts;
    for (int id = 1; id <= 60; ++id) {
        const Record r{id, QDate(2020, 1, 1).addDays(int(rng() % 2000)), int(rng() % 2000) - 1000};
        records << r;
        const qint64 serial = origin.daysTo(r.day);
        const QString date = rng() % 3 == 0   ? QStringLiteral("'%1 00:00:00'").arg(r.day.toString(Qt::ISODate))
                             : rng() % 2 == 0 ? QStringLiteral("'%1'").arg(r.day.toString(QStringLiteral("yyyy/MM/dd")))
                                              : QString::number(serial);
        const QString number = rng() % 2
                                   ? QStringLiteral("'%1'").arg(QString::number(r.tenths / 10.0).replace(u'.', u','))
                                   : QString::number(r.tenths / 10.0);
        inserts << QStringLiteral("INSERT INTO M VALUES (%1, %2, %3);").arg(id).arg(date, number);
    }
    testsupport::sqliteExec(a.path, inserts.join(u'\n'));
    for (int round = 0; round < 4; ++round) {
        const Record& pivot = records[int(rng() % records.size())];
        QStringList expected;
        QVector<Record> chosen;
        for (const Record& r : records) {
            if (r.day > pivot.day && r.tenths >= pivot.tenths - 300)
                chosen << r;
        }
        std::sort(chosen.begin(), chosen.end(),
                  [](const Record& x, const Record& y) { return x.day != y.day ? x.day < y.day : x.id < y.id; });
        for (const Record& r : chosen)
            expected << QString::number(r.id);
        const QString query = QStringLiteral("SELECT Q.ID FROM (SELECT ID, D AS GIORNO, N * 1 AS V, N FROM M) AS Q "
                                             "WHERE Q.GIORNO > #%1# AND Q.N >= %2 ORDER BY Q.GIORNO, Q.ID")
                                  .arg(pivot.day.toString(QStringLiteral("MM/dd/yyyy")))
                                  .arg(QString::number((pivot.tenths - 300) / 10.0));
        EXPECT_EQ(rows(a, query), expected) << query.toStdString();
    }
}

// Joins written in parentheses on the right: A JOIN (B JOIN C ON ...) ON ..., with inner and outer
// joins mixed; Access's own parentheses on the left still read.
TEST(QueryTablesTest, JoinsNestedOnTheRight)
{
    Archive a;
    customersAndOrders(a);
    const QStringList inner({"1|Rossi|Nord", "2|Rossi|Nord"});
    EXPECT_EQ(sorted(rows(a, "SELECT O.NUMERO, C.RAGSOC, Z.NOME FROM ORDINI AS O INNER JOIN (CLIENTI AS C INNER JOIN "
                             "ZONE AS Z ON C.ZONA = Z.ZONA) ON O.CLIENTE = C.CODICE")),
              inner);
    EXPECT_EQ(sorted(rows(a, "SELECT O.NUMERO, C.RAGSOC, Z.NOME FROM ((ORDINI AS O INNER JOIN CLIENTI AS C ON "
                             "O.CLIENTE = C.CODICE) INNER JOIN ZONE AS Z ON C.ZONA = Z.ZONA)")),
              inner);
    // Every order is kept, and a customer only with a zone: C3's zone is missing, so order 3
    // has neither its customer nor a zone.
    EXPECT_EQ(sorted(rows(a, "SELECT O.NUMERO, C.RAGSOC, Z.NOME FROM ORDINI O LEFT JOIN (CLIENTI C INNER JOIN ZONE Z "
                             "ON C.ZONA = Z.ZONA) ON O.CLIENTE = C.CODICE")),
              QStringList({"1|Rossi|Nord", "2|Rossi|Nord", "3|<null>|<null>", "4|<null>|<null>"}));
    EXPECT_EQ(sorted(rows(a, "SELECT C.CODICE, O.NUMERO, Z.NOME FROM ZONE Z RIGHT JOIN (CLIENTI C LEFT JOIN ORDINI O "
                             "ON C.CODICE = O.CLIENTE) ON Z.ZONA = C.ZONA")),
              QStringList({"C1|1|Nord", "C1|2|Nord", "C2|<null>|Sud", "C3|3|<null>"}));
    EXPECT_EQ(rows(a, "SELECT COUNT(*) AS N FROM ZONE, (CLIENTI INNER JOIN ORDINI ON CLIENTI.CODICE = ORDINI.CLIENTE)"),
              QStringList({"6"}));
    EXPECT_DB_ERROR(3131, rows(a, "SELECT * FROM ORDINI INNER JOIN (CLIENTI INNER JOIN ZONE ON CLIENTI.ZONA = "
                                  "ZONE.ZONA ON ORDINI.CLIENTE = CLIENTI.CODICE"));
    // A joined delete removes records of a table outside the parentheses; one inside is refused.
    const char* nested = " FROM ORDINI O INNER JOIN (CLIENTI C INNER JOIN ZONE Z ON C.ZONA = Z.ZONA) ON O.CLIENTE = "
                         "C.CODICE WHERE Z.NOME = 'Nord'";
    EXPECT_DB_ERROR(3073, a.db.Execute(QStringLiteral("DELETE C.*") + QLatin1String(nested)));
    a.db.Execute(QStringLiteral("DELETE O.*") + QLatin1String(nested));
    EXPECT_EQ(a.db.RecordsAffected(), 2);
    EXPECT_EQ(rows(a, "SELECT NUMERO FROM ORDINI ORDER BY NUMERO"), QStringList({"3", "4"}));
    EXPECT_EQ(a.count("SELECT * FROM CLIENTI"), 3);
}

// Two tables of one FROM clause called by the same name are refused, in a query as in a
// statement, and the statement changes nothing.
TEST(QueryTablesTest, ATableNameUsedTwiceIsRefused)
{
    Archive a;
    customersAndOrders(a);
    for (const char* text :
         {"SELECT * FROM CLIENTI AS X, ORDINI AS X", "SELECT * FROM CLIENTI, CLIENTI",
          "SELECT * FROM CLIENTI INNER JOIN clienti ON CLIENTI.CODICE = CLIENTI.CODICE",
          "SELECT * FROM ORDINI AS CLIENTI, CLIENTI", "SELECT * FROM ZONE, (SELECT * FROM ORDINI) AS ZONE",
          "SELECT * FROM ORDINI WHERE EXISTS (SELECT * FROM ZONE Z, CLIENTI Z)"}) {
        dbe::DbError error(0, QString());
        try {
            a.db.OpenRecordset(QString::fromUtf8(text));
        } catch (const dbe::DbError& e) {
            error = e;
        }
        EXPECT_EQ(error.number(), 3081) << text;
        EXPECT_TRUE(error.description().startsWith(QStringLiteral("Impossibile unire più tabelle con lo stesso nome")))
            << text;
    }
    EXPECT_DB_ERROR(3081, a.exec("DELETE O.* FROM ORDINI O INNER JOIN CLIENTI O ON O.CLIENTE = O.CODICE"));
    EXPECT_EQ(rows(a, "SELECT COUNT(*) AS N FROM ORDINI"), QStringList({"4"}));
    EXPECT_EQ(rows(a, "SELECT A.CODICE, B.CODICE FROM CLIENTI A INNER JOIN CLIENTI B ON A.ZONA + 1 = B.ZONA"),
              QStringList({"C1|C2"}));
}

// A one-table UPDATE or DELETE may call its table by an alias, with or without AS, and qualify
// its fields by it.
TEST(QueryTablesTest, OneTableChangesNameTheirTableByAnAlias)
{
    Archive a;
    customersAndOrders(a);
    a.exec("UPDATE ORDINI AS O SET O.TOTALE = O.TOTALE * 2 WHERE O.NUMERO MOD 2 = 0");
    a.exec("DELETE * FROM ORDINI O WHERE O.TOTALE < 8 AND IIF(O.NUMERO > 2, 1, 0) = 1");
    EXPECT_EQ(sorted(rows(a, "SELECT NUMERO, TOTALE FROM ORDINI")), QStringList({"1|10", "2|30"}));
}

namespace {

// Each field of a table as NAME:type:size, through a record set over the whole table.
QStringList shape(const Archive& a, const char* table)
{
    dbe::Recordset rs = a.db.OpenRecordset(QString::fromUtf8(table));
    QStringList out;
    for (int i = 0; i < rs.FieldCount(); ++i)
        out << QStringLiteral("%1:%2:%3").arg(rs.FieldName(i)).arg(rs.FieldType(i)).arg(rs.FieldSize(i));
    return out;
}

}  // namespace

// SELECT ... INTO makes a table of the query's fields, typed as their sources (a counter becomes
// a Long), and copies the records; an existing table, or a record that does not fit, leaves the
// archive as it was.
TEST(QueryTablesTest, SelectIntoMakesATableOfTheQuery)
{
    Archive a;
    customersAndOrders(a);
    a.exec("CREATE TABLE NOTE (ID COUNTER, CLIENTE TEXT(10), TESTO MEMO, GIORNO DATETIME)");
    a.exec("INSERT INTO NOTE (CLIENTE, TESTO, GIORNO) VALUES ('C1', 'ok', #03/05/2024#)");
    a.exec("INSERT INTO NOTE (CLIENTE, TESTO, GIORNO) VALUES ('C3', 'richiamare', NULL)");
    a.exec("SELECT N.ID, C.RAGSOC, N.TESTO, N.GIORNO, C.ZONA * 2 AS DOPPIA INTO COPIA FROM NOTE N INNER JOIN "
           "CLIENTI C ON N.CLIENTE = C.CODICE");
    EXPECT_EQ(a.db.RecordsAffected(), 2);
    EXPECT_EQ(shape(a, "COPIA"), QStringList({"ID:4:4", "RAGSOC:10:50", "TESTO:12:0", "GIORNO:8:8", "DOPPIA:7:8"}));
    EXPECT_EQ(rows(a, "SELECT ID, RAGSOC, TESTO, GIORNO, DOPPIA FROM COPIA ORDER BY ID"),
              QStringList({"1|Rossi|ok|2024-03-05T00:00:00.000|2", "2|Verdi|richiamare|<null>|18"}));
    a.exec("INSERT INTO COPIA (RAGSOC) VALUES ('nuovo')");
    EXPECT_EQ(rows(a, "SELECT ID FROM COPIA WHERE RAGSOC = 'nuovo'"), QStringList({"<null>"}));  // no counter

    EXPECT_DB_ERROR(3010, a.exec("SELECT * INTO copia FROM ORDINI"));
    EXPECT_DB_ERROR(3063, a.exec("SELECT * INTO DOPPI FROM CLIENTI INNER JOIN ZONE ON CLIENTI.ZONA = ZONE.ZONA"));
    // The second record's text is too long for a field of 255: neither the table nor a record stays.
    a.exec("UPDATE NOTE SET TESTO = Space(300) & 'x' WHERE CLIENTE = 'C3'");
    EXPECT_DB_ERROR(3163, a.exec("SELECT CLIENTE & TESTO AS T INTO LUNGHI FROM NOTE"));
    EXPECT_DB_ERROR(3078, a.count("SELECT * FROM LUNGHI"));
    EXPECT_EQ(a.count("SELECT * FROM COPIA"), 3);
    EXPECT_DB_ERROR(3219, a.db.OpenRecordset(QStringLiteral("SELECT * INTO ALTRA FROM ZONE")));
    EXPECT_DB_ERROR(3141, a.exec("SELECT * INTO A1 FROM ZONE UNION SELECT * FROM ZONE"));
    EXPECT_DB_ERROR(3131, a.exec("SELECT * FROM ZONE WHERE ZONA IN (SELECT ZONA INTO A2 FROM CLIENTI)"));
}

// ALTER TABLE ... ALTER COLUMN: every value written as text under the Italian rules becomes the
// number it reads as (seeded values), the field keeps its place and its index; a value that does
// not convert, or does not fit, refuses the change naming it, and the table stays as it was.
TEST(QueryTablesTest, AlterColumnConvertsEveryValueOrNothing)
{
    Archive a;
    a.exec("CREATE TABLE A (ID COUNTER, COD TEXT(20), N TEXT(12), NOTA TEXT(10))");
    a.exec("CREATE UNIQUE INDEX IXCOD ON A (COD)");
    std::mt19937 rng(9122026);
    qint64 hundredths = 0;
    for (int i = 0; i < 50; ++i) {
        const qint64 h = qint64(rng() % 2000000) - 1000000;
        hundredths += h;
        const QString text = QString::number(double(h) / 100.0, 'f', rng() % 2 ? 2 : 3).replace(u'.', u',');
        a.db.Execute(QStringLiteral("INSERT INTO A (COD, N, NOTA) VALUES ('K%1', '%2', 'x')").arg(i).arg(text));
    }
    a.exec("INSERT INTO A (COD, N) VALUES ('VUOTO', NULL)");
    const QStringList before = rows(a, "SELECT * FROM A ORDER BY ID");
    a.exec("ALTER TABLE A ALTER COLUMN N DOUBLE");
    EXPECT_EQ(shape(a, "A"), QStringList({"ID:4:4", "COD:10:20", "N:7:8", "NOTA:10:10"}));
    EXPECT_NEAR(a.first("SELECT SUM(N) AS S FROM A", "S").toDouble(), double(hundredths) / 100.0, 1e-6);
    EXPECT_EQ(a.first("SELECT COUNT(*) AS C FROM A WHERE N > -100000", "C").toInt(), 50);
    EXPECT_DB_ERROR(3022, a.exec("INSERT INTO A (COD) VALUES ('k1')"));  // the index is still there
    a.exec("ALTER TABLE A ALTER NOTA TEXT(30)");
    EXPECT_EQ(rows(a, "SELECT COUNT(*) FROM A WHERE NOTA = 'X'"), QStringList({"50"}));

    // A text that reads as no number: refused, naming it, the field and the record.
    a.exec("ALTER TABLE A ALTER COLUMN N TEXT(12)");
    a.exec("UPDATE A SET N = 'dodici' WHERE COD = 'K7'");
    const QStringList kept = rows(a, "SELECT * FROM A ORDER BY ID");
    QString message;
    try {
        a.exec("ALTER TABLE A ALTER COLUMN N LONG");
    } catch (const dbe::DbError& e) {
        message = e.description();
    }
    EXPECT_TRUE(message.contains(QStringLiteral("'dodici'")) && message.contains(QStringLiteral("'N'"))
                && message.contains(QStringLiteral("record 8")))
        << message.toStdString();
    EXPECT_DB_ERROR(3163, a.exec("ALTER TABLE A ALTER COLUMN COD TEXT(2)"));
    EXPECT_DB_ERROR(3314, a.exec("ALTER TABLE A ALTER COLUMN N TEXT(12) NOT NULL"));
    EXPECT_EQ(rows(a, "SELECT * FROM A ORDER BY ID"), kept);
    EXPECT_EQ(shape(a, "A"), QStringList({"ID:4:4", "COD:10:20", "N:10:12", "NOTA:10:30"}));
    EXPECT_DB_ERROR(3265, a.exec("ALTER TABLE A ALTER COLUMN NESSUNO LONG"));
    EXPECT_DB_ERROR(3376, a.exec("ALTER TABLE NESSUNA ALTER COLUMN N LONG"));
    EXPECT_EQ(before.size(), kept.size());
}
