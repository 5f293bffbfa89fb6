#include "support/coppia_prova.h"
#include "support/sessione_prova.h"
#include "support/sqlite_file.h"
#include "structure/confronto_struttura.h"
#include "structure/correzioni_additive.h"
#include "structure/modifica_campo.h"
#include "structure/modifica_lunghezza.h"

#include <gtest/gtest.h>

#include <QFile>

#include <random>

using namespace corvale;

namespace {

QStringList nomiCampi(const QString& tabella)
{
    SessioneProva().DbArchivi.TableDefs().Refresh();
    QStringList l;
    const dbe::FieldCollection f = SessioneProva().DbArchivi.TableDefs().Item(tabella).Fields();
    for (int i = 0; i < f.Count(); ++i)
        l << f.Item(i).Name();
    return l;
}

QStringList campiIndice(const QString& tabella, const QString& indice)
{
    QStringList l;
    const dbe::FieldCollection f = SessioneProva().DbArchivi.TableDefs().Item(tabella).Indexes().Item(indice).Fields();
    for (int i = 0; i < f.Count(); ++i)
        l << f.Item(i).Name();
    return l;
}

QVariant valore(const QString& sql, const QString& campo)
{
    dbe::Recordset rs = SessioneProva().DbArchivi.OpenRecordset(sql);
    const QVariant v = rs.Value(campo);
    rs.Close();
    return v;
}

const QStringList kClienti = {
    QStringLiteral("CREATE TABLE CLIENTI (CODICE TEXT(10) NOT NULL, RAGSOC TEXT(30), CITTA TEXT(20), NOTE MEMO)"),
    QStringLiteral("CREATE UNIQUE INDEX PrimaryKey ON CLIENTI (CODICE, RAGSOC) WITH PRIMARY"),
    QStringLiteral("CREATE UNIQUE INDEX IdxRagCitta ON CLIENTI (CITTA, RAGSOC)"),
    QStringLiteral("CREATE INDEX IdxCitta ON CLIENTI (CITTA)"),
};
const QStringList kDatiClienti = {
    QStringLiteral("INSERT INTO CLIENTI (CODICE, RAGSOC, CITTA, NOTE) VALUES ('C1', 'Rossi Mario', 'Roma', 'n1')"),
    QStringLiteral("INSERT INTO CLIENTI (CODICE, RAGSOC, CITTA, NOTE) VALUES ('C2', 'Bianchi Spa', 'Milano', NULL)"),
    QStringLiteral("INSERT INTO CLIENTI (CODICE, RAGSOC, CITTA) VALUES ('C3', 'Verdi & Figli Srl', 'Roma')"),
};

}  // namespace

TEST(CorrezioniAdditiveTest, ATableComesWithFieldsAndIndexesButNotItsProperties)
{
    prova::Coppia c;
    c.master({QStringLiteral("CREATE TABLE MODPAGAM (COD TEXT(4), DES TEXT(40), GG SHORT, NOTE MEMO)"),
              QStringLiteral("CREATE UNIQUE INDEX PrimaryKey ON MODPAGAM (COD) WITH PRIMARY"),
              QStringLiteral("CREATE INDEX IdxDes ON MODPAGAM (DES, GG)")});
    {
        dbe::Database m = dbe::OpenDatabase(c.percorsoMaster());
        dbe::TableDef t = m.TableDefs().Item(QStringLiteral("MODPAGAM"));
        t.Properties().Append(
            t.CreateProperty(QStringLiteral("Description"), dbe::dbText, QStringLiteral("Pagamenti")));
        m.Close();
    }
    c.apri();
    ASSERT_TRUE(AggiungiTabella(SessioneProva(), QStringLiteral("MODPAGAM")));
    EXPECT_EQ(nomiCampi(QStringLiteral("MODPAGAM")), (QStringList{QStringLiteral("COD"), QStringLiteral("DES"),
                                                                  QStringLiteral("GG"), QStringLiteral("NOTE")}));
    const dbe::TableDef t = SessioneProva().DbArchivi.TableDefs().Item(QStringLiteral("MODPAGAM"));
    EXPECT_EQ(t.Fields().Item(QStringLiteral("DES")).Size(), 40);
    EXPECT_TRUE(t.Indexes().Item(QStringLiteral("PrimaryKey")).Primary());
    EXPECT_EQ(campiIndice(QStringLiteral("MODPAGAM"), QStringLiteral("IdxDes")),
              (QStringList{QStringLiteral("DES"), QStringLiteral("GG")}));
    EXPECT_FALSE(t.Properties().Contains(QStringLiteral("Description")));

    // Once there, a second copy is refused and changes nothing.
    const QString prima = prova::Dump(c.percorsoArchivio());
    EXPECT_FALSE(AggiungiTabella(SessioneProva(), QStringLiteral("MODPAGAM")));
    EXPECT_EQ(prova::Dump(c.percorsoArchivio()), prima);
    // The property comes with its own correction; a second time it is refused.
    EXPECT_TRUE(AggiungiProprieta(SessioneProva(), QStringLiteral("MODPAGAM"), QStringLiteral("Description")));
    EXPECT_EQ(SessioneProva()
                  .DbArchivi.TableDefs()
                  .Item(QStringLiteral("MODPAGAM"))
                  .Properties()
                  .Item(QStringLiteral("Description"))
                  .Value(),
              QVariant(QStringLiteral("Pagamenti")));
    EXPECT_FALSE(AggiungiProprieta(SessioneProva(), QStringLiteral("MODPAGAM"), QStringLiteral("Description")));
}

TEST(CorrezioniAdditiveTest, AFieldIsAppendedWithTheMastersSizeAndAllowsEmptyText)
{
    prova::Coppia c;
    c.master({QStringLiteral("CREATE TABLE CLIENTI (CODICE TEXT(10), NOTE2 TEXT(50), RAGSOC TEXT(30))")});
    c.archivio({QStringLiteral("CREATE TABLE CLIENTI (CODICE TEXT(10), RAGSOC TEXT(30))"),
                QStringLiteral("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', 'Rossi')")});
    c.apri();
    ASSERT_TRUE(AggiungiCampo(SessioneProva(), QStringLiteral("CLIENTI"), QStringLiteral("NOTE2")));
    EXPECT_EQ(nomiCampi(QStringLiteral("CLIENTI")).last(), QStringLiteral("NOTE2"));
    const dbe::Field f =
        SessioneProva().DbArchivi.TableDefs().Item(QStringLiteral("CLIENTI")).Fields().Item(QStringLiteral("NOTE2"));
    EXPECT_EQ(f.Type(), dbe::dbText);
    EXPECT_EQ(f.Size(), 50);
    EXPECT_TRUE(f.AllowZeroLength());
    EXPECT_FALSE(AggiungiCampo(SessioneProva(), QStringLiteral("CLIENTI"), QStringLiteral("NOTE2")));
    EXPECT_FALSE(AggiungiCampo(SessioneProva(), QStringLiteral("NONCE"), QStringLiteral("NOTE2")));
}

TEST(CorrezioniAdditiveTest, AnIndexIsRebuiltWholeFromTheMasterOrLostWhenItCannotBe)
{
    prova::Coppia c;
    c.master({QStringLiteral("CREATE TABLE CLIENTI (CODICE TEXT(10), RAGSOC TEXT(30), CITTA TEXT(20))"),
              QStringLiteral("CREATE INDEX IdxRag ON CLIENTI (CITTA, RAGSOC)"),
              QStringLiteral("CREATE UNIQUE INDEX IdxCitta ON CLIENTI (CITTA)")});
    c.archivio({QStringLiteral("CREATE TABLE CLIENTI (CODICE TEXT(10), RAGSOC TEXT(30), CITTA TEXT(20))"),
                QStringLiteral("CREATE INDEX IdxRag ON CLIENTI (RAGSOC)"),
                QStringLiteral("CREATE INDEX IdxCitta ON CLIENTI (CITTA)"),
                QStringLiteral("INSERT INTO CLIENTI (CODICE, RAGSOC, CITTA) VALUES ('C1', 'A', 'Roma')"),
                QStringLiteral("INSERT INTO CLIENTI (CODICE, RAGSOC, CITTA) VALUES ('C2', 'B', 'ROMA')")});
    c.apri();
    ASSERT_TRUE(AggiungiIndice(SessioneProva(), QStringLiteral("CLIENTI"), QStringLiteral("IdxRag")));
    EXPECT_EQ(campiIndice(QStringLiteral("CLIENTI"), QStringLiteral("IdxRag")),
              (QStringList{QStringLiteral("CITTA"), QStringLiteral("RAGSOC")}));
    // Unique over "Roma" and "ROMA" (the same text to the engine): refused, and the old index is gone.
    EXPECT_FALSE(AggiungiIndice(SessioneProva(), QStringLiteral("CLIENTI"), QStringLiteral("IdxCitta")));
    SessioneProva().DbArchivi.TableDefs().Refresh();
    EXPECT_FALSE(SessioneProva()
                     .DbArchivi.TableDefs()
                     .Item(QStringLiteral("CLIENTI"))
                     .Indexes()
                     .Contains(QStringLiteral("IdxCitta")));
    EXPECT_EQ(SessioneProva().DbArchivi.OpenRecordset(QStringLiteral("CLIENTI")).RecordCount(), 2);
}

TEST(ModificaLunghezzaTest, TheFieldIsRebuiltLastWithItsIndexesAndItsValues)
{
    prova::Coppia c;
    c.archivio(kClienti + kDatiClienti);
    {
        dbe::Database a = dbe::OpenDatabase(c.percorsoArchivio());
        a.TableDefs().Item(QStringLiteral("CLIENTI")).Fields().Item(QStringLiteral("RAGSOC")).SetAllowZeroLength(true);
        a.Close();
    }
    c.apri();
    ASSERT_TRUE(ModificaLunghezzaCampo(SessioneProva(), QStringLiteral("CLIENTI"), QStringLiteral("RAGSOC"),
                                       QStringLiteral("60")));
    EXPECT_EQ(nomiCampi(QStringLiteral("CLIENTI")), (QStringList{QStringLiteral("CODICE"), QStringLiteral("CITTA"),
                                                                 QStringLiteral("NOTE"), QStringLiteral("RAGSOC")}));
    const dbe::TableDef t = SessioneProva().DbArchivi.TableDefs().Item(QStringLiteral("CLIENTI"));
    EXPECT_EQ(t.Fields().Item(QStringLiteral("RAGSOC")).Size(), 60);
    EXPECT_TRUE(t.Fields().Item(QStringLiteral("RAGSOC")).AllowZeroLength());
    EXPECT_TRUE(t.Indexes().Item(QStringLiteral("PrimaryKey")).Primary());
    EXPECT_EQ(campiIndice(QStringLiteral("CLIENTI"), QStringLiteral("PrimaryKey")),
              (QStringList{QStringLiteral("CODICE"), QStringLiteral("RAGSOC")}));
    EXPECT_TRUE(t.Indexes().Item(QStringLiteral("IdxRagCitta")).Unique());
    EXPECT_EQ(campiIndice(QStringLiteral("CLIENTI"), QStringLiteral("IdxRagCitta")),
              (QStringList{QStringLiteral("CITTA"), QStringLiteral("RAGSOC")}));
    EXPECT_EQ(valore(QStringLiteral("SELECT * FROM CLIENTI WHERE CODICE='C3'"), QStringLiteral("RAGSOC")),
              QVariant(QStringLiteral("Verdi & Figli Srl")));
    // The same length again: true, and nothing in the file changes.
    SessioneProva().DbArchivi.Close();
    const QString prima = prova::Dump(c.percorsoArchivio());
    SessioneProva().DbArchivi = dbe::OpenDatabase(c.percorsoArchivio());
    EXPECT_TRUE(ModificaLunghezzaCampo(SessioneProva(), QStringLiteral("CLIENTI"), QStringLiteral("RAGSOC"),
                                       QStringLiteral("60")));
    SessioneProva().DbArchivi.Close();
    EXPECT_EQ(prova::Dump(c.percorsoArchivio()), prima);
}

TEST(ModificaLunghezzaTest, ValuesThatDoNotFitOrABadLengthLeaveTheArchiveAsItWas)
{
    prova::Coppia c;
    c.archivio(kClienti + kDatiClienti);
    c.apri();
    SessioneProva().DbArchivi.Close();
    const QString prima = prova::Dump(c.percorsoArchivio());
    SessioneProva().DbArchivi = dbe::OpenDatabase(c.percorsoArchivio());
    EXPECT_FALSE(ModificaLunghezzaCampo(SessioneProva(), QStringLiteral("CLIENTI"), QStringLiteral("RAGSOC"),
                                        QStringLiteral("5")));
    EXPECT_FALSE(ModificaLunghezzaCampo(SessioneProva(), QStringLiteral("CLIENTI"), QStringLiteral("RAGSOC"),
                                        QStringLiteral("abc")));
    EXPECT_FALSE(ModificaLunghezzaCampo(SessioneProva(), QStringLiteral("CLIENTI"), QStringLiteral("NESSUNO"),
                                        QStringLiteral("20")));
    EXPECT_FALSE(ModificaLunghezzaCampo(SessioneProva(), QStringLiteral("CLIENTI"), QStringLiteral("RAGSOC"),
                                        QStringLiteral("70000")));
    SessioneProva().DbArchivi.Close();
    EXPECT_EQ(prova::Dump(c.percorsoArchivio()), prima);
}

namespace {

// A value of a text field of 10 as another program may have stored it, drawn from g: mostly an
// ASCII text that fits a field of `lung` (the empty text and Null among them), else one of the
// forms the field's rules convert or refuse: too long, letters outside ASCII or outside the basic
// plane (two UTF-16 units each), a blob, bytes that are not UTF-8.
QString ValoreMemorizzato(std::mt19937& g, int lung, bool solitoTesto)
{
    auto testo = [&](int n, const QString& lettere) {
        QString t;
        for (int i = 0; i < n; ++i)
            t += lettere.mid(int(g() % lettere.size()), 1);
        return u'\'' + t.replace(u'\'', QStringLiteral("''")) + u'\'';
    };
    const QString ascii = QStringLiteral("AZaz09 .-'/");
    const int forma = solitoTesto ? int(g() % 3) : 3 + int(g() % 6);
    switch (forma) {
    case 0: return testo(int(g() % (lung + 1)), ascii);
    case 1: return QStringLiteral("NULL");
    case 2: return QStringLiteral("''");
    case 3: return testo(lung + 1 + int(g() % 3), ascii);
    case 4: return testo(1 + int(g() % lung), QStringLiteral("àèÉìòù") + ascii);
    case 5: return testo(lung / 2 + int(g() % lung), QStringLiteral("\U0001F600\U00010348a"));
    case 6: return QStringLiteral("X'%1'").arg(QString::number(g() % 0xFFFFFF, 16).rightJustified(6, u'0'));
    default: return QStringLiteral("CAST(X'41C3' AS TEXT)");
    }
}

// Each record's value of the field, with its storage class and bytes, a line per rowid.
std::string ValoriGrezzi(const QString& file, const QString& campo)
{
    return testsupport::sqliteValue(file, QStringLiteral("SELECT group_concat(rowid || ' ' || typeof(%1) || ':' || "
                                                         "coalesce(hex(%1), ''), char(10)) FROM (SELECT * FROM T "
                                                         "ORDER BY rowid)")
                                              .arg(campo))
        .toString()
        .toStdString();
}

}  // namespace

// The new length's copy writes the values as they are when every one of them fits as it is, and
// passes them through the field's rules otherwise: the outcome is the one of the rules either way
// (the same values, or the same refusal with the archive as it was), whatever forms the records
// hold and wherever the odd one is. The rules' outcome is that of the same copy made with a
// condition, which always goes through them.
TEST(ModificaLunghezzaTest, ValuesInAnyFormEndAsTheFieldsRulesMakeThem)
{
    for (quint32 seme = 1; seme <= 16; ++seme) {
        SCOPED_TRACE(seme);
        std::mt19937 g(seme);
        const int lung = 4 + int(g() % 8);
        const bool tuttiAdatti = seme % 3 == 0;
        const int strano = tuttiAdatti ? -1 : int(g() % 30);
        prova::Coppia c;
        c.archivio({QStringLiteral("CREATE TABLE T (ID LONG, NOME TEXT(10), NOTE TEXT(5))"),
                    QStringLiteral("CREATE INDEX IdxNome ON T (NOME, ID)")});
        prova::PermettiVuoto(c.percorsoArchivio(), QStringLiteral("T"), {QStringLiteral("NOME")});
        QStringList righe;
        for (int i = 0; i < 30; ++i)
            righe << QStringLiteral("INSERT INTO T (ID, NOME, NOTE) VALUES (%1, %2, 'n')")
                         .arg(i)
                         .arg(ValoreMemorizzato(g, lung, i != strano));
        testsupport::sqliteExec(c.percorsoArchivio(), righe.join(QStringLiteral(";\n")));

        // What the rules make of each value, on a copy of the file.
        const QString regole = c.percorsoArchivio() + QStringLiteral(".regole");
        ASSERT_TRUE(QFile::copy(c.percorsoArchivio(), regole));
        MotivoErrore rifiuto;
        {
            dbe::Database db = dbe::OpenDatabase(regole);
            db.Execute(QStringLiteral("ALTER TABLE T ADD COLUMN X TEXT(%1)").arg(lung));
            db.TableDefs().Item(QStringLiteral("T")).Fields().Item(QStringLiteral("X")).SetAllowZeroLength(true);
            try {
                db.Execute(QStringLiteral("UPDATE T SET X = NOME WHERE TRUE"));
            } catch (const dbe::DbError& e) {
                rifiuto = {e.number(), e.description()};
            }
            db.Close();
        }
        const QString prima = prova::Dump(c.percorsoArchivio());
        c.apri();
        const EsitoCorrezione esito =
            ModificaLunghezzaCampo(SessioneProva(), QStringLiteral("T"), QStringLiteral("NOME"), QString::number(lung));
        SessioneProva().DbArchivi.Close();
        if (!rifiuto.vuoto()) {
            EXPECT_FALSE(esito.fatta);
            EXPECT_EQ(esito.motivo.numero, rifiuto.numero);
            EXPECT_EQ(esito.motivo.descrizione, rifiuto.descrizione);
            EXPECT_EQ(prova::Dump(c.percorsoArchivio()), prima);
        } else {
            EXPECT_TRUE(esito.fatta) << esito.motivo.testo().toStdString();
            EXPECT_EQ(ValoriGrezzi(c.percorsoArchivio(), QStringLiteral("NOME")),
                      ValoriGrezzi(regole, QStringLiteral("X")));
        }
        if (tuttiAdatti)  // the copy of the values as they are was taken
            EXPECT_EQ(ValoriGrezzi(regole, QStringLiteral("X")), ValoriGrezzi(regole, QStringLiteral("NOME")));
    }
}

TEST(ModificaCampoTest, AttributeAndTypeChangesKeepValuesAndIndexes)
{
    prova::Coppia c;
    c.archivio({QStringLiteral("CREATE TABLE PAGAM (ID LONG NOT NULL, IMPORTO SINGLE, NOTE MEMO)"),
                QStringLiteral("CREATE UNIQUE INDEX PrimaryKey ON PAGAM (ID) WITH PRIMARY"),
                QStringLiteral("CREATE INDEX IdxImp ON PAGAM (IMPORTO, ID)"),
                QStringLiteral("INSERT INTO PAGAM (ID, IMPORTO, NOTE) VALUES (1, 10.5, 'a')"),
                QStringLiteral("INSERT INTO PAGAM (ID, IMPORTO, NOTE) VALUES (2, NULL, NULL)")});
    c.apri();
    ASSERT_TRUE(ModificaTipoCampo(SessioneProva(), QStringLiteral("PAGAM"), QStringLiteral("IMPORTO"), dbe::dbDouble));
    dbe::TableDef t = SessioneProva().DbArchivi.TableDefs().Item(QStringLiteral("PAGAM"));
    EXPECT_EQ(t.Fields().Item(QStringLiteral("IMPORTO")).Type(), dbe::dbDouble);
    EXPECT_EQ(nomiCampi(QStringLiteral("PAGAM")).last(), QStringLiteral("IMPORTO"));
    EXPECT_EQ(campiIndice(QStringLiteral("PAGAM"), QStringLiteral("IdxImp")),
              (QStringList{QStringLiteral("IMPORTO"), QStringLiteral("ID")}));
    EXPECT_DOUBLE_EQ(valore(QStringLiteral("SELECT * FROM PAGAM WHERE ID=1"), QStringLiteral("IMPORTO")).toDouble(),
                     10.5);

    ASSERT_TRUE(ModificaAttributoCampo(SessioneProva(), QStringLiteral("PAGAM"), QStringLiteral("NOTE"),
                                       QString::number(dbe::dbVariableField | dbe::dbHyperlinkField)));
    t = SessioneProva().DbArchivi.TableDefs().Item(QStringLiteral("PAGAM"));
    EXPECT_EQ(t.Fields().Item(QStringLiteral("NOTE")).Attributes() & dbe::dbHyperlinkField, dbe::dbHyperlinkField);
    EXPECT_TRUE(t.Fields().Item(QStringLiteral("NOTE")).AllowZeroLength());
    EXPECT_EQ(valore(QStringLiteral("SELECT * FROM PAGAM WHERE ID=1"), QStringLiteral("NOTE")),
              QVariant(QStringLiteral("a")));
    EXPECT_TRUE(t.Indexes().Item(QStringLiteral("PrimaryKey")).Primary());
}

TEST(ModificaCampoTest, ValuesThatDoNotConvertRefuseTheChangeAndLeaveNoTrace)
{
    prova::Coppia c;
    c.archivio({QStringLiteral("CREATE TABLE CLIENTI (CODICE TEXT(10), CAP TEXT(5))"),
                QStringLiteral("CREATE INDEX IdxCap ON CLIENTI (CAP)"),
                QStringLiteral("INSERT INTO CLIENTI (CODICE, CAP) VALUES ('C1', '00100')"),
                QStringLiteral("INSERT INTO CLIENTI (CODICE, CAP) VALUES ('C2', 'ROMA')")});
    c.apri();
    SessioneProva().DbArchivi.Close();
    const QString prima = prova::Dump(c.percorsoArchivio());
    SessioneProva().DbArchivi = dbe::OpenDatabase(c.percorsoArchivio());
    EXPECT_FALSE(ModificaTipoCampo(SessioneProva(), QStringLiteral("CLIENTI"), QStringLiteral("CAP"), dbe::dbLong));
    EXPECT_FALSE(ModificaTipoCampo(SessioneProva(), QStringLiteral("CLIENTI"), QStringLiteral("CAP"), 99));
    EXPECT_FALSE(
        ModificaAttributoCampo(SessioneProva(), QStringLiteral("CLIENTI"), QStringLiteral("CAP"), QStringLiteral("x")));
    SessioneProva().DbArchivi.Close();
    EXPECT_EQ(prova::Dump(c.percorsoArchivio()), prima);
}

TEST(ModificaCampoTest, ATextFieldTurnedNumberTakesTheNumbersWidthAndLeavesNothingToCorrect)
{
    prova::Coppia c;
    c.master({QStringLiteral("CREATE TABLE CLIENTI (CODICE TEXT(10), ZONA LONG)")});
    c.archivio({QStringLiteral("CREATE TABLE CLIENTI (CODICE TEXT(10), ZONA TEXT(4))"),
                QStringLiteral("INSERT INTO CLIENTI (CODICE, ZONA) VALUES ('C1', '0012')"),
                QStringLiteral("INSERT INTO CLIENTI (CODICE, ZONA) VALUES ('C2', NULL)")});
    c.apri();
    ASSERT_TRUE(ModificaTipoCampo(SessioneProva(), QStringLiteral("CLIENTI"), QStringLiteral("ZONA"), dbe::dbLong));
    const dbe::Field f =
        SessioneProva().DbArchivi.TableDefs().Item(QStringLiteral("CLIENTI")).Fields().Item(QStringLiteral("ZONA"));
    EXPECT_EQ(f.Attributes(), SessioneProva()
                                  .DbMaster.TableDefs()
                                  .Item(QStringLiteral("CLIENTI"))
                                  .Fields()
                                  .Item(QStringLiteral("ZONA"))
                                  .Attributes());
    EXPECT_EQ(valore(QStringLiteral("SELECT * FROM CLIENTI WHERE CODICE='C1'"), QStringLiteral("ZONA")).toInt(), 12);
    QString P[11];
    P[0] = QStringLiteral("CLIENTI");
    EXPECT_FALSE(ConfrontaStruttura(SessioneProva().DbMaster, SessioneProva().DbArchivi, P[0], P).problemi);
}
