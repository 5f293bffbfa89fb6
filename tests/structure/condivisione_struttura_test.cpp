// Every kind of structure correction while another program reads the archive, opening and closing
// it again and again: a fresh process then finds every correction the dispatcher reported done and
// the archive's records.
#include "support/coppia_prova.h"
#include "support/sessione_prova.h"
#include "checks/ciclo_controllo.h"
#include "checks/catalogo.h"
#include "core/manutenzione.h"
#include "structure/correzioni_struttura.h"
#include "support/altro_programma.h"
#include "support/sqlite_file.h"

#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <gtest/gtest.h>

using namespace corvale;
using testsupport::DaFuori;

TEST(CondivisioneStruttura, EveryCorrectionSurvivesAnotherProgram)
{
    if (!testsupport::Sqlite3Disponibile())
        GTEST_SKIP() << "sqlite3 shell not installed";
    prova::Coppia c;
    c.master({"CREATE TABLE T (A TEXT(20), B LONG, C LONGTEXT, D TEXT(10))", "CREATE INDEX IdxAB ON T (A, B)",
              "CREATE INDEX IdxD ON T (D)", "CREATE TABLE U (X LONG)"});
    testsupport::sqliteExec(c.percorsoMaster(),
                            "INSERT OR REPLACE INTO MSysFields VALUES ('T', 'C', 32770, 1, 0);"
                            "INSERT INTO MSysProperties VALUES ('T', 1, 'Description', 10, 'Prova');");
    QStringList righe{"CREATE TABLE T (A TEXT(10), B TEXT(5), C LONGTEXT)", "CREATE INDEX IdxAB ON T (A)"};
    for (int i = 0; i < 500; ++i)
        righe << QString("INSERT INTO T (A, B, C) VALUES ('R%1', '%1', 'nota')").arg(i);
    c.archivio(righe);
    c.apri();
    const QString file = c.percorsoArchivio();

    Manutenzione m{prova::SessioneProva()};
    CollegaCorrezioniStruttura(m);
    m.CreaLista();
    CaricaTask(m);
    testsupport::AltroProgramma altro(file, {"T"}, false);
    altro.AttendiGiri(1);
    int corrette = 0;
    for (int li = 0; li < m.LstTask.Conta(); ++li) {
        if (m.Task(li).Tipo != "ST")
            continue;
        ControlloItem(m, li);
        m.LstTask.Seleziona(li);
        AttivaCorrezioneStruttura(m);
        m.Correzioni.GestisciCorrezioneStruttura(Manutenzione::Id(m.LstTask.Riga(li).Chiave));
        for (int r = 0; r < m.LstStruct.Conta(); ++r, ++corrette)
            EXPECT_EQ(m.LstStruct.Riga(r).TestoStato, "OK") << m.LstStruct.Riga(r).Testo.toStdString();
        ControlloItem(m, li);
        EXPECT_EQ(m.Task(li).Stato, kStatoOk) << m.LstTask.Riga(li).Testo.toStdString();
    }
    // LEN, TIPO, ATTR, NO-FLD, NO-FLDIDX, NO-IDX, NO-PROP; NO-TAB.
    EXPECT_GE(corrette, 8);
    altro.AttendiGiri(3);
    const int giri = altro.Ferma();
    prova::SessioneProva().DbArchivi.Close();

    EXPECT_EQ(testsupport::VerificaDaFuori(
                  file, "SELECT group_concat(name || ' ' || type, ', ') FROM pragma_table_info('T')"),
              "A TEXT(20), B LONG, C LONGTEXT, D TEXT(10)");
    EXPECT_EQ(DaFuori(file, "SELECT count(*) FROM T WHERE B = CAST(substr(A, 2) AS INTEGER)"), "500");
    EXPECT_EQ(DaFuori(file, "SELECT Attributes FROM MSysFields WHERE TableName = 'T' AND FieldName = 'C'"), "32770");
    EXPECT_EQ(DaFuori(file, "SELECT Value FROM MSysProperties WHERE TableName = 'T'"), "Prova");
    EXPECT_EQ(DaFuori(file, "SELECT count(*) FROM pragma_index_list('T')"), "2");
    EXPECT_EQ(DaFuori(file, "SELECT count(*) FROM pragma_table_info('U')"), "1");
    EXPECT_GT(giri, 2);
}

// What the corrections of T say when they stop at their first row.
const QString kNonEseguita = "Aggiunta Campo B|Non eseguita|Non eseguita: le correzioni si sono fermate prima.";
const QString kRiepilogo = "Tabella T: 0 correzioni eseguite, 1 non riuscite, 1 non eseguite.";

// A field of T shorter in the archive than in the master, its corrections listed, for a test in
// which another program gets in the way of them.
class CampoCorto : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testsupport::Sqlite3Disponibile())
            GTEST_SKIP() << "sqlite3 shell not installed";
        c.master({"CREATE TABLE T (A TEXT(20), B LONG)"});
        c.archivio({"CREATE TABLE T (A TEXT(10))", "INSERT INTO T (A) VALUES ('x')"});
        c.apri();
        file = c.percorsoArchivio();
        prova::Prepara(m);
    }

    prova::Coppia c;
    QString file;
    Manutenzione m{prova::SessioneProva()};
};

// Another program puts a copy of the archive in its place before the corrections run: the first
// one is refused with the reason, the dispatcher does not go on in the other file, and that file is
// left as it was.
TEST_F(CampoCorto, AReplacedArchiveStopsTheCorrections)
{
    DaFuori(file, "VACUUM INTO '" + file + ".copia'");
    ASSERT_EQ(std::rename(QFile::encodeName(file + ".copia").constData(), QFile::encodeName(file).constData()), 0);
    const QString motivo = dbe::DbError::make(3045, {file}).description();
    const QStringList righe = prova::Correggi(m, "T");
    ASSERT_EQ(righe.size(), 2);
    EXPECT_TRUE(righe[0].endsWith("|Non e' stato possibile correggere|Errore 3045: " + motivo))
        << righe[0].toStdString();
    EXPECT_EQ(righe[1], kNonEseguita);
    EXPECT_EQ(prova::OperatoreDiProva().Mostrati().last(),
              "Impossibile riaprire il database: correzioni interrotte.\r" + motivo + "\r" + kRiepilogo);
    EXPECT_FALSE(prova::SessioneProva().DbArchivi.IsOpen());
    EXPECT_EQ(testsupport::VerificaDaFuori(file,
                                           "SELECT group_concat(name || ' ' || type) FROM pragma_table_info('T')"),
              "A TEXT(10)");
}

// Another program keeps a write transaction open through the corrections: the first one waits a
// bounded time and fails with the reason, the run stops there, and nothing changed; once the other
// program lets go, the same corrections succeed.
TEST_F(CampoCorto, AnotherProgramWritingStopsTheCorrectionsWithTheReason)
{
    testsupport::ScritturaAltrui altro(file);
    ASSERT_TRUE(altro.tiene);
    QElapsedTimer tempo;
    tempo.start();
    QStringList righe = prova::Correggi(m, "T");
    EXPECT_GE(tempo.elapsed(), 2500);  // it waited
    EXPECT_LT(tempo.elapsed(), 20000);  // once
    ASSERT_EQ(righe.size(), 2);
    EXPECT_TRUE(
        righe[0].endsWith("|Non e' stato possibile correggere|Errore 3218: Impossibile aggiornare. Attualmente "
                          "bloccato. Un altro programma sta scrivendo nell'archivio: riprovare quando avrà terminato."))
        << righe[0].toStdString();
    EXPECT_EQ(righe[1], kNonEseguita);
    EXPECT_EQ(prova::OperatoreDiProva().Mostrati().last(),
              "Impossibile continuare le correzioni: un altro programma sta scrivendo nell'archivio.\r" + kRiepilogo);
    altro.Rilascia();
    EXPECT_EQ(DaFuori(file, "SELECT group_concat(name || ' ' || type) FROM pragma_table_info('T')"), "A TEXT(10)");
    righe = prova::Correggi(m, "T");
    EXPECT_EQ(righe.filter("|OK|").size(), 2) << righe.join('\n').toStdString();
    prova::SessioneProva().DbArchivi.Close();
    EXPECT_EQ(testsupport::VerificaDaFuori(file,
                                           "SELECT group_concat(name || ' ' || type) FROM pragma_table_info('T')"),
              "A TEXT(20),B LONG");
}
