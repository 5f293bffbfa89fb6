// The dialect's expressions and names on real data: literals and dates, text compared without
// regard to case (also on archives whose columns lack NOCASE), Null logic, LIKE wildcards,
// functions, bracketed names, result naming, and the errors a bad query raises.
#include "dialect_fixture.h"

using namespace dialect_test;

namespace {

// A hand-made archive: text columns without NOCASE.
void addPeople(DialectDb& db)
{
    db.addTable(QStringLiteral("Anagrafica Clienti"),
                {{QStringLiteral("Codice")},
                 {QStringLiteral("Città")},
                 {QStringLiteral("Nome d'arte")},
                 {QStringLiteral("Cod.Fiscale")},
                 {QStringLiteral("Nato"), 8},
                 {QStringLiteral("Eta"), 4},
                 {QStringLiteral("Attivo"), 1}},
                /*nocase=*/false);
    db.exec(QStringLiteral("INSERT INTO \"Anagrafica Clienti\" VALUES "
                           "('a1', 'Milano', 'O''Brien', 'X.1', '2001-03-05 00:00:00', 30, -1), "
                           "('A2', 'MILANO', NULL, 'x.2', '2001-03-05 14:30:00', 45, 0), "
                           "('b3', 'Torino', '', NULL, '1999-12-31 00:00:00', NULL, -1), "
                           "('B4', NULL, '  Zeta  ', 'Y', NULL, 7, 0), "
                           "('5c', '10%', 'a_b', 'Z', '2030-01-02 00:00:00', 12, 0)"));
}

int count(DialectDb& db, const char* where)
{
    return db.count(QStringLiteral("SELECT * FROM [Anagrafica Clienti] WHERE ") + QString::fromUtf8(where));
}

}  // namespace

TEST(DialectExpressionTest, LiteralsAndDates)
{
    DialectDb db;
    addPeople(db);
    EXPECT_EQ(count(db, "[Nome d'arte]='O''Brien'"), 1);
    EXPECT_EQ(count(db, "[Nome d'arte]=\"o'brien\""), 1);
    EXPECT_EQ(count(db, "[Nome d'arte]=''"), 1);
    EXPECT_EQ(count(db, "TRUE"), 5);
    EXPECT_EQ(count(db, "FALSE"), 0);
    EXPECT_EQ(count(db, "Attivo=TRUE"), 2);
    EXPECT_EQ(count(db, "Attivo=FALSE AND Eta>=12.5"), 1);
    EXPECT_EQ(count(db, "Eta=1.2e1 OR Eta=-(-7)"), 2);
    // A date without a time of day equals only a stored date without one; dates compare as dates.
    EXPECT_EQ(count(db, "Nato=#03/05/2001#"), 1);
    EXPECT_EQ(count(db, "Nato=#3/5/2001#"), 1);
    EXPECT_EQ(count(db, "Nato=#2001-03-05#"), 1);
    EXPECT_EQ(count(db, "Nato=#03/05/2001 14:30#"), 1);
    EXPECT_EQ(count(db, "Nato=#3/5/01 2:30:00 PM#"), 1);
    EXPECT_EQ(count(db, "Nato>=#03/05/2001#"), 3);
    EXPECT_EQ(count(db, "Nato<#1/1/2000#"), 1);
    EXPECT_EQ(count(db, "Nato BETWEEN #1/1/1999# AND #12/31/2001#"), 3);
    for (const char* bad :
         {"Nato=#13/05/2001#", "Nato=#02/30/2001#", "Nato=#03/05#", "Nato=#ieri#", "Nato=#03/05/2001"}) {
        QString description;
        EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM [Anagrafica Clienti] WHERE ") + QLatin1String(bad),
                          &description),
                  3075)
            << bad;
    }
}

TEST(DialectExpressionTest, TextComparesWithoutRegardToCaseAndNullsAreNeverSelected)
{
    DialectDb db;
    addPeople(db);
    EXPECT_EQ(count(db, "Città='milano'"), 2);
    EXPECT_EQ(count(db, "Città<>'milano'"), 2);  // Torino and 10%; the Null city is neither
    EXPECT_EQ(count(db, "Codice>'a9' AND Codice<'B4'"), 1);
    EXPECT_EQ(count(db, "Codice<='b3'"), 4);
    EXPECT_EQ(count(db, "Codice BETWEEN 'A' AND 'b9'"), 4);
    EXPECT_EQ(count(db, "Codice NOT BETWEEN 'A' AND 'b9'"), 1);
    EXPECT_EQ(count(db, "Città IN ('TORINO', 'milano')"), 3);
    EXPECT_EQ(count(db, "Città NOT IN ('TORINO', 'milano')"), 1);
    EXPECT_EQ(count(db, "Città NOT IN ('TORINO', NULL)"), 0);
    EXPECT_EQ(count(db, "Città IN ('TORINO', NULL)"), 1);
    EXPECT_EQ(count(db, "ISNULL(Città)"), 1);
    EXPECT_EQ(count(db, "NOT ISNULL(Città)"), 4);
    EXPECT_EQ(count(db, "Città IS NULL OR [Cod.Fiscale] IS NULL"), 2);
    EXPECT_EQ(count(db, "Città IS NOT NULL"), 4);
    EXPECT_EQ(count(db, "NOT (Città='milano')"), 2);
    EXPECT_EQ(count(db, "ISNULL(Città)=TRUE"), 1);
    // A subquery: keys matched without regard to case, Null references never selected.
    db.addTable(QStringLiteral("CITTA"), {{QStringLiteral("NOME")}}, false);
    db.exec(QStringLiteral("INSERT INTO CITTA VALUES ('milano'), ('ROMA')"));
    EXPECT_EQ(count(db, "Città IN (SELECT NOME FROM CITTA)"), 2);
    EXPECT_EQ(count(db, "Città NOT IN (SELECT DISTINCT NOME FROM CITTA)"), 2);
    EXPECT_EQ(count(db, "Città NOT IN (SELECT DISTINCT NOME FROM CITTA WHERE NOME<>'MILANO')"), 4);
    EXPECT_EQ(count(db, "Città IN (SELECT NOME FROM CITTA WHERE NOME=[Anagrafica Clienti].Città)"), 2);
}

TEST(DialectExpressionTest, LikeUsesTheDialectsWildcards)
{
    DialectDb db;
    addPeople(db);
    EXPECT_EQ(count(db, "Città LIKE 'mil*'"), 2);
    EXPECT_EQ(count(db, "Città LIKE '?ORINO'"), 1);
    EXPECT_EQ(count(db, "Città NOT LIKE 'm*'"), 2);
    EXPECT_EQ(count(db, "Codice LIKE '#*'"), 1);
    EXPECT_EQ(count(db, "Codice LIKE '[a-a]#'"), 2);
    EXPECT_EQ(count(db, "Codice LIKE '[!a]*'"), 3);
    EXPECT_EQ(count(db, "Città LIKE '10[%]'"), 1);
    EXPECT_EQ(count(db, "Città LIKE '1_%'"), 0);  // _ and % are ordinary characters
    EXPECT_EQ(count(db, "[Nome d'arte] LIKE 'a_b'"), 1);
    EXPECT_EQ(count(db, "[Nome d'arte] LIKE '[*]*'"), 0);
    EXPECT_EQ(count(db, "Città LIKE Città"), 4);
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM [Anagrafica Clienti] WHERE Codice LIKE '[a'")), 3075);
}

TEST(DialectExpressionTest, Functions)
{
    DialectDb db;
    addPeople(db);
    EXPECT_EQ(count(db, "TRIM([Nome d'arte])='zeta'"), 1);
    EXPECT_EQ(count(db, "LTRIM([Nome d'arte])='Zeta  '"), 1);
    EXPECT_EQ(count(db, "RTRIM([Nome d'arte])='  Zeta'"), 1);
    EXPECT_EQ(count(db, "LEN(TRIM([Nome d'arte]))=0"), 1);
    EXPECT_EQ(count(db, "UCASE(Codice)='A1' AND LCASE(Codice)='a1'"), 1);
    EXPECT_EQ(count(db, "LEFT(Città, 3)='MIL'"), 2);
    EXPECT_EQ(count(db, "RIGHT(Città, 4)='rino' AND RIGHT(Città, 40)='Torino' AND RIGHT(Città, 0)=''"), 1);
    EXPECT_EQ(count(db, "MID(Città, 2, 3)='ila' AND MID(Città, 5)='no'"), 2);
    EXPECT_EQ(count(db, "Città & '-' & Codice='Milano-A1'"), 1);
    EXPECT_EQ(count(db, "Città & [Cod.Fiscale]='Torino'"), 1);  // & takes Null as empty text
    EXPECT_EQ(count(db, "Eta / 4 = 7.5 AND Eta \\ 4 = 7 AND Eta MOD 4 = 2 AND Eta * 2 - 1 = 59"), 1);
    EXPECT_EQ(count(db, "IIF(Attivo, Eta, 0) > 20"), 1);
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM [Anagrafica Clienti] WHERE NOSUCH(Codice)=1")), 3085);
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM [Anagrafica Clienti] WHERE LEFT(Codice)='a'")), 3075);
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM [Anagrafica Clienti] WHERE COUNT(*)>1")), 3096);
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT DISTINCT Codice FROM [Anagrafica Clienti] ORDER BY COUNT(*)")), 3075);
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT Codice FROM [Anagrafica Clienti] HAVING COUNT(*)>1")), 3141);
}

TEST(DialectExpressionTest, SnapshotsForDistinctAggregatesAndComputedColumns)
{
    DialectDb db;
    addPeople(db);
    auto values = [&](const char* text) {
        const Statement st = db.translate(QString::fromUtf8(text));
        EXPECT_FALSE(st.select.keyset) << text;
        return db.rows(st.select.valuesSql);
    };
    EXPECT_EQ(values("SELECT DISTINCT Città FROM [Anagrafica Clienti] WHERE NOT ISNULL(Città)").size(), 3);
    const auto counted = values("SELECT COUNT(*) AS N, MAX(Eta), MIN(Città) FROM [Anagrafica Clienti]");
    ASSERT_EQ(counted.size(), 1);
    EXPECT_EQ(counted[0][0].toInt(), 5);
    EXPECT_EQ(counted[0][1].toInt(), 45);
    EXPECT_EQ(counted[0][2].toString(), QStringLiteral("10%"));
    const auto grouped =
        values("SELECT Città, COUNT(Codice) FROM [Anagrafica Clienti] GROUP BY Città HAVING COUNT(*)>1");
    ASSERT_EQ(grouped.size(), 1);
    EXPECT_EQ(grouped[0][1].toInt(), 2);
    const Statement st = db.translate(QStringLiteral(
        "SELECT Codice & '!' AS Segnato, UCASE(Città), Eta FROM [Anagrafica Clienti] ORDER BY Codice DESC"));
    ASSERT_FALSE(st.select.keyset);
    EXPECT_EQ(st.select.columns[0].name, QStringLiteral("Segnato"));
    EXPECT_EQ(st.select.columns[0].type, 10);
    EXPECT_EQ(st.select.columns[1].name, QStringLiteral("Espr1001"));
    EXPECT_EQ(st.select.columns[2].name, QStringLiteral("Eta"));
    EXPECT_EQ(st.select.columns[2].type, 4);
    const auto rows = db.rows(st.select.valuesSql);
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[0][0].toString(), QStringLiteral("B4!"));  // ordered without regard to case
    EXPECT_EQ(rows[1][0].toString(), QStringLiteral("b3!"));
}

TEST(DialectExpressionTest, KeysetPlansNameTheirColumnsByTheJoinRule)
{
    DialectDb db;
    addArchiveTables(db);
    db.exec(QStringLiteral("INSERT INTO CLIENTI VALUES ('c1', 'Uno'), ('C2', 'Due'), ('C3', 'Tre')"));
    db.exec(QStringLiteral("INSERT INTO VENDITE (CODCLI, NUMORD) VALUES ('C1', '1'), ('C1', '2'), ('C2', '3')"));
    const Statement inner = db.translate(QStringLiteral(
        "SELECT VENDITE.NUMORD, [CLIENTI].[RAGSOC], CLIENTI.CODICE, VENDITE.CODCLI FROM VENDITE INNER JOIN "
        "CLIENTI ON VENDITE.CODCLI = CLIENTI.CODICE WHERE CLIENTI.RAGSOC <> 'DUE' ORDER BY VENDITE.NUMORD DESC"));
    ASSERT_TRUE(inner.select.keyset);
    ASSERT_EQ(inner.select.columns.size(), 4);
    EXPECT_EQ(inner.select.columns[0].name, QStringLiteral("NUMORD"));
    EXPECT_EQ(inner.select.columns[1].source, 1);
    const auto rows = db.rows(inner.select.keySql);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0][0].toInt(), 2);  // NUMORD 2 first
    const Statement comma =
        db.translate(QStringLiteral("SELECT V.*, C.RAGSOC FROM VENDITE AS V, CLIENTI C WHERE V.CODCLI = C.CODICE"));
    EXPECT_EQ(db.rows(comma.select.keySql).size(), 3);
    EXPECT_EQ(comma.select.columns.last().name, QStringLiteral("RAGSOC"));
    EXPECT_EQ(comma.select.sources[0].written, QStringLiteral("V"));
    const Statement self =
        db.translate(QStringLiteral("SELECT * FROM CLIENTI LEFT JOIN CLIENTI AS C2 ON CLIENTI.CODICE = C2.RAGSOC"));
    EXPECT_EQ(self.select.columns[0].name, QStringLiteral("CLIENTI.CODICE"));
    EXPECT_EQ(self.select.columns[2].name, QStringLiteral("C2.CODICE"));
    EXPECT_EQ(db.rows(self.select.keySql).size(), 3);
    const Statement top = db.translate(QStringLiteral("SELECT TOP 2 * FROM VENDITE ORDER BY NUMORD"));
    EXPECT_EQ(db.rows(top.select.keySql).size(), 2);
    const Statement nested = db.translate(QStringLiteral(
        "SELECT * FROM (VENDITE LEFT JOIN CLIENTI ON VENDITE.CODCLI = CLIENTI.CODICE) LEFT JOIN AGENTI ON "
        "VENDITE.CODAGE = AGENTI.CODAGE"));
    EXPECT_EQ(nested.select.sources.size(), 3);
    EXPECT_EQ(db.rows(nested.select.keySql).size(), 3);
    EXPECT_EQ(nested.select.columns.last().name, QStringLiteral("AGENTI.RAGSOC"));
}

TEST(DialectExpressionTest, NamesAreLookedUpWithoutRegardToCaseAndWrittenAsStored)
{
    DialectDb db;
    addPeople(db);
    const Statement st = db.translate(QStringLiteral(
        "select * from [anagrafica clienti] where [ANAGRAFICA CLIENTI].[città]='Milano' AND [cod.fiscale]='x.1'"));
    EXPECT_TRUE(st.select.keySql.contains(QStringLiteral("\"Anagrafica Clienti\".\"Città\"")));
    EXPECT_EQ(db.rows(st.select.keySql).size(), 1);
    EXPECT_EQ(st.table, QStringLiteral("Anagrafica Clienti"));
    EXPECT_EQ(db.count(QStringLiteral("SELECT * FROM [Anagrafica Clienti] WHERE [Anagrafica Clienti.Codice]='A1'")), 1);
}

TEST(DialectExpressionTest, ErrorsNameWhatIsWrong)
{
    DialectDb db;
    addArchiveTables(db);
    QString d;
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM Clientela WHERE CODICE='1'"), &d), 3078);
    EXPECT_EQ(d, dbe::DbError::make(3078, {QStringLiteral("Clientela")}).description());
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM CLIENTI WHERE CODICE=[Codice Fiscale]"), &d), 3061);
    EXPECT_EQ(d, QStringLiteral("Parametri insufficienti. Previsto 1."));
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM CLIENTI WHERE X=1 AND y=2 AND x=3"), &d), 3061);
    EXPECT_EQ(d, QStringLiteral("Parametri insufficienti. Previsto 2."));
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM CLIENTI WHERE VENDITE.CODCLI='1'")), 3061);
    EXPECT_EQ(
        errorOf(db,
                QStringLiteral(
                    "SELECT * FROM VENDITE LEFT JOIN DETT_ORD ON VENDITE.CODCLI=DETT_ORD.CODCLI WHERE NUMORD='1'"),
                &d),
        3079);
    EXPECT_TRUE(d.contains(QStringLiteral("'NUMORD'")));
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM CLIENTI WHERE CODICE = = 1"), &d), 3075);
    EXPECT_EQ(d,
              QStringLiteral("Errore di sintassi (operatore mancante) nell'espressione della query 'CODICE = = 1'."));
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM CLIENTI WHERE CODICE 'x'")), 3075);
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM CLIENTI WHERE (CODICE='x'")), 3075);
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM CLIENTI WHERE CODICE='x")), 3075);
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM")), 3131);
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM CLIENTI LEFT JOIN VENDITE")), 3131);
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT FROM CLIENTI")), 3141);
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT CODICE RAGSOC FROM CLIENTI")), 3075);
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT CODICE, FROM CLIENTI")), 3141);
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM CLIENTI ORDER CODICE")), 3138);
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM CLIENTI; SELECT 1")), 3142);
    EXPECT_EQ(errorOf(db, QStringLiteral("ELIMINA * FROM CLIENTI")), 3129);
    EXPECT_EQ(errorOf(db, QString()), 3129);
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM CLIENTI WHERE CODICE IN (SELECT * FROM FORNIT)")), 3141);
    // Nesting is bounded: deep input is a syntax error, not a crash.
    const QString deep = QStringLiteral("SELECT * FROM CLIENTI WHERE ") + QString(100000, u'(') + u'1';
    EXPECT_EQ(errorOf(db, deep), 3075);
    const QString nots = QStringLiteral("SELECT * FROM CLIENTI WHERE ") + QStringLiteral("NOT ").repeated(50000) + u'1';
    EXPECT_EQ(errorOf(db, nots), 3075);
    const QString minus = QStringLiteral("SELECT * FROM CLIENTI WHERE CODICE=") + QString(50000, u'-') + u'1';
    EXPECT_EQ(errorOf(db, minus), 3075);
    const QString chain = QStringLiteral("SELECT * FROM CLIENTI WHERE 1") + QStringLiteral(" AND 1").repeated(100000);
    EXPECT_EQ(errorOf(db, chain), 3075);
    const QString ins =
        QStringLiteral("SELECT * FROM CLIENTI WHERE CODICE IN (SELECT CODICE FROM CLIENTI WHERE CODICE IN ")
            .repeated(5000);
    EXPECT_NE(errorOf(db, ins), 0);
    // Long chains run (written flat for SQLite); nesting beyond what SQLite's parser takes is
    // refused as too complex rather than handed on.
    EXPECT_EQ(db.count(QStringLiteral("SELECT * FROM CLIENTI WHERE TRUE")
                       + QStringLiteral(" AND CODICE<>'x'").repeated(300)),
              0);
    EXPECT_EQ(db.count(QStringLiteral("SELECT * FROM CLIENTI WHERE ") + QStringLiteral("(CODICE='a' OR ").repeated(20)
                       + QStringLiteral("TRUE") + QString(20, u')')),
              0);
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM CLIENTI WHERE ")
                              + QStringLiteral("(CODICE='a' OR ").repeated(40) + QStringLiteral("TRUE")
                              + QString(40, u')')),
              3360);
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM CLIENTI WHERE ")
                              + QStringLiteral("CODICE IN (SELECT CODICE FROM CLIENTI WHERE ").repeated(12)
                              + QStringLiteral("TRUE") + QString(12, u')')),
              3360);
    // A moderately nested but valid condition still translates.
    EXPECT_EQ(db.count(QStringLiteral("SELECT * FROM CLIENTI WHERE ") + QString(100, u'(') + QStringLiteral("TRUE")
                       + QString(100, u')')),
              0);
}
