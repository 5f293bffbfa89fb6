#include "support/coppia_prova.h"
#include "support/sessione_prova.h"
#include "structure/confronto_struttura.h"

#include <gtest/gtest.h>

using namespace corvale;

namespace {

// A table made through the objects, so that attribute flags and properties can be set.
void tabellaClientiMaster(const QString& file)
{
    dbe::Database db = dbe::OpenDatabase(file);
    dbe::TableDef td = db.CreateTableDef(QStringLiteral("CLIENTI"));
    auto campo = [&td](const char* nome, short tipo, qint32 dim, qint32 attr) {
        dbe::Field f = td.CreateField(QLatin1String(nome), tipo, dim);
        if (attr)
            f.SetAttributes(attr);
        td.Fields().Append(f);
    };
    campo("CODICE", dbe::dbText, 10, 0);
    campo("RAGSOC", dbe::dbText, 50, 0);
    campo("CAP", dbe::dbText, 5, 0);
    campo("NOTE", dbe::dbMemo, 0, dbe::dbVariableField | dbe::dbHyperlinkField);
    campo("CITTA", dbe::dbText, 30, 0);
    campo("IMPORTO", dbe::dbDouble, 0, 0);
    db.TableDefs().Append(td);
    db.Execute(QStringLiteral("CREATE UNIQUE INDEX PrimaryKey ON CLIENTI (CODICE) WITH PRIMARY"));
    db.Execute(QStringLiteral("CREATE INDEX IdxRag ON CLIENTI (RAGSOC, CAP)"));
    db.Execute(QStringLiteral("CREATE INDEX IdxCap ON CLIENTI (CAP)"));
    dbe::TableDef t = db.TableDefs().Item(QStringLiteral("CLIENTI"));
    t.Properties().Append(
        t.CreateProperty(QStringLiteral("Description"), dbe::dbText, QStringLiteral("Anagrafica clienti")));
    t.Properties().Append(t.CreateProperty(QStringLiteral("RowHeight"), dbe::dbInteger, 300));
    db.Close();
}

}  // namespace

TEST(ConfrontoStrutturaTest, EachKindOfDifferenceInTheMastersOrderWithItsReportLine)
{
    prova::Coppia c;
    tabellaClientiMaster(c.percorsoMaster());
    c.archivio({QStringLiteral("CREATE TABLE CLIENTI (CODICE TEXT(10), RAGSOC TEXT(30), CAP LONG, NOTE MEMO, "
                               "IMPORTO DOUBLE)"),
                QStringLiteral("CREATE UNIQUE INDEX PrimaryKey ON CLIENTI (CODICE) WITH PRIMARY"),
                QStringLiteral("CREATE INDEX IdxRag ON CLIENTI (RAGSOC)")});
    c.apri();

    QString P[11];
    P[0] = QStringLiteral("CLIENTI");
    P[4] = QStringLiteral("vecchio");
    const EsitoStruttura e = ConfrontaStruttura(SessioneProva().DbMaster, SessioneProva().DbArchivi, P[0], P);

    EXPECT_TRUE(e.problemi);
    const QStringList attesi = {QStringLiteral("LEN>RAGSOC#50"),      QStringLiteral("TIPO>CAP#10"),
                                QStringLiteral("ATTR>NOTE#32770"),    QStringLiteral("NO-FLD>CITTA"),
                                QStringLiteral("NO-IDX>IdxCap"),      QStringLiteral("NO-FLDIDX>IdxRag#CAP"),
                                QStringLiteral("NO-PROP>Description")};
    EXPECT_EQ(P[1], QString::number(attesi.size() + 1));
    QStringList trovati;
    for (int i = 2; i <= 10; ++i)
        if (!P[i].isEmpty())
            trovati << P[i];
    EXPECT_EQ(trovati, attesi);
    EXPECT_EQ(e.report, QStringLiteral("Lunghezza del campo RAGSOC non è corretta (30 anzichè 50)\r\n"
                                       "Tipo del campo CAP non è corretto (4 anzichè 10)\r\n"
                                       "Gli attributi del campo NOTE non sono coretti (2 anzichè 32770)\r\n"
                                       "Il Campo CITTA è mancante\r\n"
                                       "L'indice IdxCap è mancante\r\n"
                                       "Il campo CAPdell'indice IdxRag è mancante\r\n"
                                       "La proprietà Description è mancante\r\n"));
}

TEST(ConfrontoStrutturaTest, AMissingTableIsTheOnlyProblem)
{
    prova::Coppia c;
    c.master({QStringLiteral("CREATE TABLE MODPAGAM (COD TEXT(4), DES TEXT(40))"),
              QStringLiteral("CREATE UNIQUE INDEX PrimaryKey ON MODPAGAM (COD) WITH PRIMARY")});
    c.apri();
    QString P[11];
    P[0] = QStringLiteral("MODPAGAM");
    const EsitoStruttura e = ConfrontaStruttura(SessioneProva().DbMaster, SessioneProva().DbArchivi, P[0], P);
    EXPECT_TRUE(e.problemi);
    EXPECT_EQ(P[1], QStringLiteral("2"));
    EXPECT_EQ(P[2], QStringLiteral("NO-TAB>"));
    EXPECT_EQ(e.report, QStringLiteral("La tabella MODPAGAM è mancante"));
}

TEST(ConfrontoStrutturaTest, IdenticalTablesAndThePassedOverPropertiesGiveNoProblem)
{
    prova::Coppia c;
    const QStringList schema = {QStringLiteral("CREATE TABLE Agenti (CODAGE TEXT(6), RAGSOC TEXT(40), PROVV SINGLE)"),
                                QStringLiteral("CREATE UNIQUE INDEX PrimaryKey ON Agenti (CODAGE) WITH PRIMARY")};
    c.entrambi(schema);
    {
        dbe::Database m = dbe::OpenDatabase(c.percorsoMaster());
        dbe::TableDef t = m.TableDefs().Item(QStringLiteral("AGENTI"));
        for (const char* nome : {"Orientation", "OrderByOn", "RowHeight"})
            t.Properties().Append(t.CreateProperty(QLatin1String(nome), dbe::dbInteger, 0));
        m.Close();
    }
    c.apri();
    QString P[11];
    P[0] = QStringLiteral("Agenti");
    const EsitoStruttura e = ConfrontaStruttura(SessioneProva().DbMaster, SessioneProva().DbArchivi, P[0], P);
    EXPECT_FALSE(e.problemi) << e.report.toStdString();
    EXPECT_EQ(P[1], QStringLiteral("1"));
    EXPECT_TRUE(e.report.isEmpty());
}

TEST(ConfrontoStrutturaTest, StopsAtNineProblemsAndAMemoOrNumberSizeIsNotCompared)
{
    prova::Coppia c;
    QStringList campi;
    for (int i = 1; i <= 11; ++i)
        campi << QStringLiteral("F%1 TEXT(10)").arg(i, 2, 10, QLatin1Char('0'));
    c.master(
        {QStringLiteral("CREATE TABLE T (K LONG, M MEMO, ") + campi.join(QStringLiteral(", ")) + QLatin1Char(')')});
    c.archivio({QStringLiteral("CREATE TABLE T (K LONG, M MEMO)")});
    c.apri();
    QString P[11];
    P[0] = QStringLiteral("T");
    const EsitoStruttura e = ConfrontaStruttura(SessioneProva().DbMaster, SessioneProva().DbArchivi, P[0], P);
    EXPECT_TRUE(e.problemi);
    EXPECT_EQ(P[1], QStringLiteral("10"));
    EXPECT_EQ(P[2], QStringLiteral("NO-FLD>F01"));
    EXPECT_EQ(P[10], QStringLiteral("NO-FLD>F09"));
    EXPECT_EQ(e.report.count(QStringLiteral("\r\n")), 9);
    EXPECT_FALSE(e.report.contains(QStringLiteral("F10")));
}

TEST(ConfrontoStrutturaTest, AMasterTableThatHasVanishedSaysSo)
{
    prova::Coppia c;
    c.apri();
    QString P[11];
    P[0] = QStringLiteral("SPARITA");
    const EsitoStruttura e = ConfrontaStruttura(SessioneProva().DbMaster, SessioneProva().DbArchivi, P[0], P);
    EXPECT_TRUE(e.problemi);
    EXPECT_EQ(P[1], QStringLiteral("1"));
    EXPECT_TRUE(e.report.contains(QStringLiteral("SPARITA")));
}
