#include "structure/codici_struttura.h"
#include "structure/nome_sql.h"

#include <gtest/gtest.h>

using namespace corvale;

namespace {
QString item(const char* cosa, const QString& cod) { return RicavaDatoDaCod(QLatin1String(cosa), cod); }
}  // namespace

TEST(CodiciStrutturaTest, StoringFillsSlotsInOrderAndStopsAtNine)
{
    QString P[11];
    P[0] = QStringLiteral("CLIENTI");
    // An empty counter is not a number: it becomes "1" and the first problem goes to P(2).
    ASSERT_TRUE(AggiungiErroreStruttura(P, QStringLiteral("NO-FLD>NOTE")));
    EXPECT_EQ(P[1], QStringLiteral("2"));
    EXPECT_EQ(P[2], QStringLiteral("NO-FLD>NOTE"));
    for (int i = 2; i <= 9; ++i)
        ASSERT_TRUE(AggiungiErroreStruttura(P, QStringLiteral("NO-IDX>I%1").arg(i)));
    EXPECT_EQ(P[1], QStringLiteral("10"));
    EXPECT_EQ(P[10], QStringLiteral("NO-IDX>I9"));
    QString prima[11];
    std::copy(P, P + 11, prima);
    EXPECT_FALSE(AggiungiErroreStruttura(P, QStringLiteral("NO-PROP>Description")));
    EXPECT_TRUE(std::equal(P, P + 11, prima));
}

TEST(CodiciStrutturaTest, ItemsComeBackByName)
{
    EXPECT_EQ(item("CODICE", QStringLiteral("NO-TAB>")), QStringLiteral("NO-TAB"));
    EXPECT_EQ(item("CAMPO", QStringLiteral("NO-TAB>")), QString());
    EXPECT_EQ(item("INDICE", QStringLiteral("NO-FLDIDX>PK#CODICE")), QStringLiteral("PK"));
    EXPECT_EQ(item("CAMPO", QStringLiteral("NO-FLDIDX>PK#CODICE")), QStringLiteral("CODICE"));
    const QString len = QStringLiteral("LEN>RAGSOC#50");
    EXPECT_EQ(item("LUNGHEZZA", len), QStringLiteral("50"));
    EXPECT_EQ(item("CAMPO", len), QStringLiteral("RAGSOC"));
    EXPECT_EQ(item("TIPO", len), QString());
    EXPECT_EQ(item("ATTRIBUTO", len), QString());
    EXPECT_EQ(item("TIPO", QStringLiteral("TIPO>IMPORTO#7")), QStringLiteral("7"));
    EXPECT_EQ(item("ATTRIBUTO", QStringLiteral("ATTR>NOTE#32770")), QStringLiteral("32770"));
    EXPECT_EQ(item("PROPRIETA", QStringLiteral("NO-PROP>Description")), QStringLiteral("Description"));
    EXPECT_EQ(item("campo", len), QString());
}

TEST(CodiciStrutturaTest, NamesHoldingTheSeparatorsSplitAtTheFirstOne)
{
    // Only the first ">" ends the code: a name holding ">" survives whole.
    EXPECT_EQ(item("CAMPO", QStringLiteral("NO-FLD>A>B")), QStringLiteral("A>B"));
    // A name holding "#" is cut at its first "#", the rest going to the second item.
    const QString c = QStringLiteral("LEN>N#1#40");
    EXPECT_EQ(item("CAMPO", c), QStringLiteral("N"));
    EXPECT_EQ(item("LUNGHEZZA", c), QStringLiteral("1#40"));
    EXPECT_EQ(item("INDICE", QStringLiteral("NO-FLDIDX>I#X#Y")), QStringLiteral("I"));
    EXPECT_EQ(item("CAMPO", QStringLiteral("NO-FLDIDX>I#X#Y")), QStringLiteral("X#Y"));
    // Texts the comparison never writes: no ">" is all code, no "#" an empty second item.
    EXPECT_EQ(item("CODICE", QStringLiteral("NO-FLD")), QStringLiteral("NO-FLD"));
    EXPECT_EQ(item("CAMPO", QStringLiteral("NO-FLD")), QString());
    EXPECT_EQ(item("LUNGHEZZA", QStringLiteral("LEN>RAGSOC")), QString());
}

TEST(CodiciStrutturaTest, RowTextsOfTheCorrectionsList)
{
    const QString t = QStringLiteral("CLIENTI");
    EXPECT_EQ(TestoCorrezione(t, QStringLiteral("NO-TAB>")), QStringLiteral("Aggiunta tabella CLIENTI"));
    EXPECT_EQ(TestoCorrezione(t, QStringLiteral("NO-FLD>NOTE")), QStringLiteral("Aggiunta Campo NOTE"));
    EXPECT_EQ(TestoCorrezione(t, QStringLiteral("LEN>RAGSOC#50")),
              QStringLiteral("Correzione Lunghezza Campo RAGSOC a 50"));
    EXPECT_EQ(TestoCorrezione(t, QStringLiteral("ATTR>NOTE#32770")),
              QStringLiteral("Correzione Attributi Campo NOTE a 32770"));
    EXPECT_EQ(TestoCorrezione(t, QStringLiteral("TIPO>CAP#4")), QStringLiteral("Correzione Tipo Campo CAP a 4"));
    EXPECT_EQ(TestoCorrezione(t, QStringLiteral("NO-IDX>PrimaryKey")), QStringLiteral("Aggiunta Indice PrimaryKey"));
    EXPECT_EQ(TestoCorrezione(t, QStringLiteral("NO-FLDIDX>PK#CODICE")),
              QStringLiteral("Aggiunta Campo CODICE all'indice PK"));
    EXPECT_EQ(TestoCorrezione(t, QStringLiteral("NO-PROP>Description")),
              QStringLiteral("Aggiunta Proprieta Description"));
}

TEST(CodiciStrutturaTest, PlainNamesGoIntoStatementsAsTheyAreOthersInBrackets)
{
    EXPECT_EQ(NomeSql(QStringLiteral("DETT_ORD")), QStringLiteral("DETT_ORD"));
    EXPECT_EQ(NomeSql(QStringLiteral("Tabella Prova")), QStringLiteral("[Tabella Prova]"));
    EXPECT_EQ(NomeSql(QStringLiteral("Città")), QStringLiteral("[Città]"));
    EXPECT_EQ(NomeSql(QStringLiteral("L'indirizzo")), QStringLiteral("[L'indirizzo]"));
    EXPECT_EQ(NomeSql(QStringLiteral("2024")), QStringLiteral("[2024]"));
}
