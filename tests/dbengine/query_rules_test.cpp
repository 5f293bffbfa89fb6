// What the query language refuses and how its results are shaped, on a real archive: queries that
// mix grouped and ungrouped fields, statements that would change the wrong thing, the rules of the
// indexes through SQL, TOP and DISTINCTROW, and SQL that SQLite would read otherwise than meant.
#include "recordset_fixture.h"

#include <gtest/gtest.h>

using rstest::Archive;

namespace {

void ordersAndCustomers(Archive& a)
{
    a.exec("CREATE TABLE CLIENTI (CODICE TEXT(10), RAGSOC TEXT(50), FIDO LONG)");
    a.exec("CREATE TABLE VENDITE (NUMORD TEXT(10), CODCLI TEXT(10), IMPORTO DOUBLE)");
    for (const char* s :
         {"INSERT INTO CLIENTI VALUES ('C1', 'Rossi', 10)", "INSERT INTO CLIENTI VALUES ('C2', 'Bianchi', 30)",
          "INSERT INTO CLIENTI VALUES ('C3', 'Verdi', 30)", "INSERT INTO CLIENTI VALUES ('C4', 'Neri', 20)",
          "INSERT INTO VENDITE VALUES ('1', 'C1', 5)", "INSERT INTO VENDITE VALUES ('2', 'C1', 7)",
          "INSERT INTO VENDITE VALUES ('3', 'c2', 1)", "INSERT INTO VENDITE VALUES ('4', 'C9', 2)"})
        a.exec(s);
}

// The error a query or statement raises when opened or run; 0 when it runs.
int outcome(const Archive& a, const QString& t)
{
    return rstest::errorOf([&] {
        if (t.startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive))
            a.db.OpenRecordset(t);
        else
            a.db.Execute(t);
    });
}
int outcome(const Archive& a, const char* text) { return outcome(a, QString::fromUtf8(text)); }

}  // namespace

TEST(QueryRulesTest, QueriesAndStatementsTheEngineRefuses)
{
    Archive a;
    ordersAndCustomers(a);
    const struct {
        const char* text;
        int error;
    } cases[] = {
        {"SELECT CODICE, COUNT(*) FROM CLIENTI", 3122},
        {"SELECT * FROM CLIENTI GROUP BY CODICE", 3122},
        {"SELECT CODICE FROM CLIENTI GROUP BY CODICE ORDER BY RAGSOC", 3122},
        {"SELECT CODICE FROM CLIENTI GROUP BY CODICE HAVING FIDO > 1", 3122},
        {"SELECT CODICE & RAGSOC, SUM(FIDO) FROM CLIENTI GROUP BY CODICE", 3122},
        {"SELECT CODICE, SUM(FIDO) FROM CLIENTI GROUP BY CODICE ORDER BY SUM(FIDO) DESC", 0},
        {"SELECT UCASE(CODICE), COUNT(*) FROM CLIENTI GROUP BY UCASE(CODICE)", 0},
        {"SELECT CODICE & '!', MAX(FIDO) * 2 FROM CLIENTI GROUP BY CODICE HAVING COUNT(*) > 0", 0},
        {"SELECT COUNT(*) FROM CLIENTI HAVING COUNT(*) > 0", 0},
        {"SELECT * FROM CLIENTI GROUP BY CODICE, RAGSOC, FIDO", 0},
        {"SELECT CLIENTI.*, COUNT(NUMORD) FROM CLIENTI LEFT JOIN VENDITE ON CLIENTI.CODICE = VENDITE.CODCLI "
         "GROUP BY CODICE, RAGSOC",
         3122},
        {"SELECT Frobnica(CODICE) FROM CLIENTI", 3085},
        {"DELETE X.* FROM CLIENTI WHERE CODICE='C4'", 3128},
        {"UPDATE CLIENTI SET FIDO = 1, RAGSOC = 'x', fido = 2", 3063},
        {"UPDATE MSysTables SET Attributes = 0", 3027},
        {"DELETE FROM MSysFields", 3027},
        {"INSERT INTO MSysProperties (TableName, Ordinal, Name, Type) VALUES ('CLIENTI', 9, 'X', 10)", 3027},
        {"DROP TABLE MSysIndexes", 3027},
        {"ALTER TABLE MSysTables ADD COLUMN X TEXT(5)", 3027},
        {"SELECT * FROM MSysTables", 0},
        {"DELETE CLIENTI.* FROM CLIENTI WHERE CODICE='C4'", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(outcome(a, c.text), c.error) << c.text;
    // A control character in a bracketed name makes it invalid wherever it stands (a NUL would end
    // the statement SQLite reads).
    for (const QChar c : {QChar(0), QChar(9), QChar(31)}) {
        const QString alias = QStringLiteral("[Dett") + c + QStringLiteral("Ord]");
        EXPECT_EQ(outcome(a, QStringLiteral("SELECT * FROM CLIENTI ") + alias), 3125) << int(c.unicode());
        EXPECT_EQ(outcome(a, QStringLiteral("SELECT CODICE AS ") + alias + QStringLiteral(" FROM CLIENTI")), 3125)
            << int(c.unicode());
        EXPECT_EQ(outcome(a, QStringLiteral("CREATE TABLE ") + alias + QStringLiteral(" (X TEXT(5))")), 3125)
            << int(c.unicode());
    }
    EXPECT_EQ(a.count("SELECT * FROM CLIENTI"), 3);  // only the last DELETE ran
    EXPECT_EQ(a.first("SELECT FIDO FROM CLIENTI WHERE CODICE='C1'", "FIDO").toInt(), 10);
    // A record set over a metadata table reads it but cannot change it.
    dbe::Recordset meta = a.db.OpenRecordset(QStringLiteral("MSysFields"));
    EXPECT_FALSE(meta.Updatable());
    EXPECT_DB_ERROR(3027, meta.Edit());
}

TEST(QueryRulesTest, NullIsRefusedByPrimaryAndDisallowNullIndexesAlsoThroughSql)
{
    Archive a;
    a.exec("CREATE TABLE ARTICOLI (CODICE TEXT(10), DESCR TEXT(50), LOTTO TEXT(10), CONSTRAINT PrimaryKey PRIMARY KEY "
           "(CODICE))");
    a.exec("CREATE INDEX Lotto ON ARTICOLI (LOTTO) WITH DISALLOW NULL");
    a.exec("INSERT INTO ARTICOLI VALUES ('A1', 'Vite', 'L1')");
    for (const char* s : {"INSERT INTO ARTICOLI (DESCR, LOTTO) VALUES ('Dado', 'L2')",
                          "INSERT INTO ARTICOLI VALUES (NULL, 'Dado', 'L2')", "UPDATE ARTICOLI SET CODICE = NULL",
                          "INSERT INTO ARTICOLI VALUES ('A2', 'Dado', NULL)", "UPDATE ARTICOLI SET LOTTO = NULL"})
        EXPECT_EQ(outcome(a, s), 3058) << s;
    dbe::Recordset rs = a.db.OpenRecordset(QStringLiteral("ARTICOLI"));
    rs.Edit();
    rs.SetValue(QStringLiteral("LOTTO"), QVariant());
    EXPECT_DB_ERROR(3058, rs.Update());
    rs.CancelUpdate();
    EXPECT_EQ(a.count("SELECT * FROM ARTICOLI WHERE LOTTO='L1' AND CODICE='A1'"), 1);
}

TEST(QueryRulesTest, TopDistinctrowAndConstantsShapeTheResultAsTheEngineDoes)
{
    Archive a;
    ordersAndCustomers(a);
    // TOP n keeps the records that tie with the n-th.
    EXPECT_EQ(a.count("SELECT TOP 2 * FROM CLIENTI ORDER BY FIDO DESC"), 2);
    EXPECT_EQ(a.count("SELECT TOP 1 * FROM CLIENTI ORDER BY FIDO DESC"), 2);
    EXPECT_EQ(a.count("SELECT TOP 3 CODICE, FIDO FROM CLIENTI ORDER BY FIDO"), 4);
    EXPECT_EQ(a.count("SELECT TOP 2 FIDO, COUNT(*) FROM CLIENTI GROUP BY FIDO ORDER BY COUNT(*) DESC"), 3);
    EXPECT_EQ(a.count("SELECT TOP 2 * FROM CLIENTI"), 2);
    EXPECT_EQ(a.first("SELECT TOP 1 * FROM CLIENTI ORDER BY FIDO, CODICE", "CODICE").toString(), QStringLiteral("C1"));
    // DISTINCTROW on a join: each customer once, however many orders it has.
    const char* join = "CLIENTI.* FROM CLIENTI INNER JOIN VENDITE ON CLIENTI.CODICE = VENDITE.CODCLI";
    EXPECT_EQ(a.count(QStringLiteral("SELECT %1").arg(QLatin1String(join)).toUtf8().constData()), 3);
    EXPECT_EQ(a.count(QStringLiteral("SELECT DISTINCTROW %1").arg(QLatin1String(join)).toUtf8().constData()), 2);
    dbe::Recordset rows =
        a.db.OpenRecordset(QStringLiteral("SELECT DISTINCTROW %1 ORDER BY CODICE").arg(QLatin1String(join)));
    EXPECT_TRUE(rows.Updatable());
    rows.MoveLast();
    EXPECT_EQ(rows.Value(QStringLiteral("RAGSOC")).toString(), QStringLiteral("Bianchi"));
    // Signs and numbers in ORDER BY and GROUP BY are values, never comments nor column positions.
    EXPECT_EQ(a.first("SELECT - TRUE AS X FROM CLIENTI", "X").toInt(), 1);
    EXPECT_EQ(a.count("SELECT * FROM CLIENTI ORDER BY - TRUE"), 4);
    EXPECT_EQ(a.count("SELECT * FROM CLIENTI ORDER BY 2, -1, CODICE"), 4);
    EXPECT_EQ(a.count("SELECT COUNT(*) FROM CLIENTI GROUP BY 2"), 1);
    EXPECT_EQ(a.first("SELECT 2 AS K, COUNT(*) AS N FROM CLIENTI GROUP BY 2", "N").toInt(), 4);
    EXPECT_EQ(a.count("SELECT * FROM CLIENTI WHERE CODICE IN (SELECT CODCLI FROM VENDITE GROUP BY 2, CODCLI)"), 2);
}
