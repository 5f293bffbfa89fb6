#include "dbengine_inside.h"
#include "support/coppia_prova.h"
#include "support/sessione_prova.h"
#include "checks/ciclo_controllo.h"
#include "checks/catalogo.h"
#include "core/manutenzione.h"
#include "structure/correzioni_struttura.h"
#include "safety/annulla.h"
#include "safety/registro.h"
#include "safety/sessione_sicurezza.h"
#include "support/stampa_qt.h"

#include <gtest/gtest.h>

using namespace corvale;

using prova::RigaStruttura;

TEST(CorrezioniStrutturaTest, TheListFollowsTheProblemsAndTheDispatcherAppliesOnlyTickedRows)
{
    prova::Coppia c;
    c.master({QStringLiteral("CREATE TABLE T (A TEXT(3), B TEXT(20), C LONG)"),
              QStringLiteral("CREATE INDEX IdxB ON T (B)")});
    c.archivio({QStringLiteral("CREATE TABLE T (A TEXT(10))"), QStringLiteral("INSERT INTO T (A) VALUES ('ABCDEFG')")});
    c.apri();

    Manutenzione m{SessioneProva()};
    CollegaCorrezioniStruttura(m);
    m.CreaLista();
    CaricaTask(m);
    const int li = RigaStruttura(m, QStringLiteral("T"));
    ASSERT_GE(li, 0);
    ControlloItem(m, li);
    ASSERT_EQ(m.Task(li).Stato, kStatoPrb);
    m.LstTask.Seleziona(li);

    m.Correzioni.AttivaCorrezioneStruttura();
    // Twice in a row gives the same rows, not a doubled list.
    AttivaCorrezioneStruttura(m);
    ASSERT_EQ(m.LstStruct.Conta(), 4);
    const QStringList testi = {QStringLiteral("Correzione Lunghezza Campo A a 3"), QStringLiteral("Aggiunta Campo B"),
                               QStringLiteral("Aggiunta Campo C"), QStringLiteral("Aggiunta Indice IdxB")};
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(m.LstStruct.Riga(r).Testo, testi[r]);
        EXPECT_EQ(m.LstStruct.Riga(r).TestoStato, QStringLiteral("Da Eseguire"));
        EXPECT_EQ(m.LstStruct.Riga(r).Icona, QStringLiteral("DA_ESEGUIRE"));
        EXPECT_TRUE(m.LstStruct.Riga(r).Spuntata);
    }
    EXPECT_EQ(m.LstStruct.Riga(1).Tag, QStringLiteral("NO-FLD>B"));

    m.LstStruct.ImpostaSpunta(2, false);
    const auto primaImpl = dbe::inside::Impl(SessioneProva().DbArchivi);
    m.Correzioni.GestisciCorrezioneStruttura(Manutenzione::Id(m.LstTask.Riga(li).Chiave));

    // The value that does not fit three characters refuses the length change.
    EXPECT_EQ(m.LstStruct.Riga(0).TestoStato, QStringLiteral("Non e' stato possibile correggere"));
    EXPECT_EQ(m.LstStruct.Riga(0).Icona, QStringLiteral("PROBLEMI"));
    EXPECT_EQ(m.LstStruct.Riga(1).TestoStato, QStringLiteral("OK"));
    EXPECT_EQ(m.LstStruct.Riga(1).Icona, QStringLiteral("VERIFICATO_OK"));
    EXPECT_EQ(m.LstStruct.Riga(2).TestoStato, QStringLiteral("Da Eseguire"));
    EXPECT_FALSE(m.LstStruct.Riga(2).Spuntata);
    EXPECT_EQ(m.LstStruct.Riga(3).TestoStato, QStringLiteral("OK"));
    // The shared handle is a new one on the same file.
    EXPECT_NE(dbe::inside::Impl(SessioneProva().DbArchivi), primaImpl);
    EXPECT_EQ(SessioneProva().DbArchivi.Name(), c.percorsoArchivio());
    EXPECT_EQ(
        SessioneProva().DbArchivi.OpenRecordset(QStringLiteral("SELECT * FROM T WHERE A='ABCDEFG'")).RecordCount(), 1);

    // Checked again, the task keeps only what was not corrected.
    ControlloItem(m, li);
    AttivaCorrezioneStruttura(m);
    ASSERT_EQ(m.LstStruct.Conta(), 2);
    EXPECT_EQ(m.LstStruct.Riga(0).Tag, QStringLiteral("LEN>A#3"));
    EXPECT_EQ(m.LstStruct.Riga(1).Tag, QStringLiteral("NO-FLD>C"));
}

TEST(CorrezioniStrutturaTest, AMissingTableComesFirstThenItsPropertiesOnTheNextRound)
{
    prova::Coppia c;
    c.master({QStringLiteral("CREATE TABLE MODPAGAM (COD TEXT(4), DES TEXT(40))")});
    {
        dbe::Database mdb = dbe::OpenDatabase(c.percorsoMaster());
        dbe::TableDef t = mdb.TableDefs().Item(QStringLiteral("MODPAGAM"));
        t.Properties().Append(
            t.CreateProperty(QStringLiteral("Description"), dbe::dbText, QStringLiteral("Pagamenti")));
        mdb.Close();
    }
    c.apri();
    Manutenzione m{SessioneProva()};
    CollegaCorrezioniStruttura(m);
    m.CreaLista();
    CaricaTask(m);
    const int li = RigaStruttura(m, QStringLiteral("MODPAGAM"));
    const int P = Manutenzione::Id(m.LstTask.Riga(li).Chiave);
    m.LstTask.Seleziona(li);
    ControlloItem(m, li);
    AttivaCorrezioneStruttura(m);
    ASSERT_EQ(m.LstStruct.Conta(), 1);
    EXPECT_EQ(m.LstStruct.Riga(0).Testo, QStringLiteral("Aggiunta tabella MODPAGAM"));
    GestisciCorrezioneStruttura(m, P);
    EXPECT_EQ(m.LstStruct.Riga(0).TestoStato, QStringLiteral("OK"));

    ControlloItem(m, li);
    AttivaCorrezioneStruttura(m);
    ASSERT_EQ(m.LstStruct.Conta(), 1);
    EXPECT_EQ(m.LstStruct.Riga(0).Tag, QStringLiteral("NO-PROP>Description"));
    GestisciCorrezioneStruttura(m, P);
    ControlloItem(m, li);
    EXPECT_EQ(m.Task(li).Stato, kStatoOk);
    AttivaCorrezioneStruttura(m);
    EXPECT_EQ(m.LstStruct.Conta(), 0);
}

// A unique index the records break: the row fails, and its reason and the journal say that the old
// index is gone and which safety copy holds it; restoring that copy, as they say, brings it back.
TEST(CorrezioniStrutturaTest, AFailedIndexRebuildSaysTheOldIndexIsGoneAndHowToGetItBack)
{
    prova::Coppia c;
    c.master({QStringLiteral("CREATE TABLE CLIENTI (CODICE TEXT(10), CITTA TEXT(20))"),
              QStringLiteral("CREATE UNIQUE INDEX IdxCitta ON CLIENTI (CITTA, CODICE)")});
    c.archivio({QStringLiteral("CREATE TABLE CLIENTI (CODICE TEXT(10), CITTA TEXT(20))"),
                QStringLiteral("CREATE INDEX IdxCitta ON CLIENTI (CITTA)"),
                QStringLiteral("INSERT INTO CLIENTI VALUES ('C1', 'Roma')"),
                QStringLiteral("INSERT INTO CLIENTI VALUES ('C1', 'Roma')")});
    c.apri();
    Manutenzione m{SessioneProva()};
    prova::Prepara(m);
    const auto haIndice = [] {
        SessioneProva().DbArchivi.TableDefs().Refresh();
        return SessioneProva()
            .DbArchivi.TableDefs()
            .Item(QStringLiteral("CLIENTI"))
            .Indexes()
            .Contains(QStringLiteral("IdxCitta"));
    };
    const QStringList righe = prova::Correggi(m, QStringLiteral("CLIENTI"));
    ASSERT_EQ(righe.size(), 1);
    EXPECT_FALSE(haIndice());
    const QString copia = CopiaSessione(SessioneProva());
    ASSERT_FALSE(copia.isEmpty());
    QString nelRegistro;
    for (const VoceRegistro& v : RegistroSessione(SessioneProva())->Elenco())
        if (v.tipo == tipo_modifica::Struttura)
            nelRegistro = v.messaggio;
    for (const QString& testo : {righe[0], nelRegistro})
        EXPECT_TRUE(
            testo.contains(QStringLiteral("Errore 3022"))
            && testo.contains(QStringLiteral(
                "L'indice IdxCitta che la tabella CLIENTI aveva è stato eliminato e non è stato possibile ricrearlo"))
            && testo.contains(copia) && testo.contains(QStringLiteral("\"Ripristina copia\"")))
            << testo.toStdString();

    QString esito;
    ASSERT_TRUE(RipristinaCopia(SessioneProva(), copia, esito)) << esito.toStdString();
    EXPECT_TRUE(haIndice());
}
