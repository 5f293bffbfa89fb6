// Delete and reassign ("EN" and "ENC" tasks) on small archives, through the same view object the
// window binds.
#include "dbengine_inside.h"
#include "fixture_record.h"
#include "support/sessione_prova.h"

#include "records/correzione_en.h"
#include "safety/modifica_registrata.h"
#include "safety/sessione_sicurezza.h"
#include "support/sqlite_file.h"

#include <algorithm>
#include <numeric>
#include <random>

using namespace corvale;
using corvale::prova::ArchivioRecord;

namespace {

class CorrezioneEN : public ArchivioRecord {
protected:
    // Orders with customer codes that match no customer, and three customers.
    void ordiniOrfani()
    {
        sql({"INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', 'Rossi')",
             "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C2', 'Bianchi')",
             "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C3', NULL)",
             "INSERT INTO VENDITE (NUMORD, CODCLI, DITTA) VALUES ('1', 'C1', 'F1')",
             "INSERT INTO VENDITE (NUMORD, CODCLI, DITTA) VALUES ('2', 'X1', 'F9')",
             "INSERT INTO VENDITE (NUMORD, CODCLI, DITTA) VALUES ('3', 'X2', 'F9')",
             "INSERT INTO VENDITE (NUMORD, CODCLI, DITTA) VALUES ('4', 'X3', 'F1')"});
    }
};

}  // namespace

TEST_F(CorrezioneEN, DeleteWalksTheSelectionInItsOrderAndReRunsTheGrid)
{
    sql({"INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', 'Rossi')",
         "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES (NULL, 'Senza codice')",
         "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C3', '  ')",
         "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C4', NULL)"});
    const TaskCorrezione t = task(1);
    ASSERT_TRUE(AttivaCorrezioneRecord(v, t));
    EXPECT_EQ(v.Titolo, "Controllo Schede Vuote Clienti");
    EXPECT_EQ(v.Opzione, OptElimina);
    EXPECT_FALSE(v.ComboVisibile);
    EXPECT_FALSE(v.OpzioneVisibile[OptAssocia]);
    EXPECT_FALSE(v.OpzioneVisibile[OptFisso]);
    ASSERT_EQ(v.DtRow.RecordCount(), 3);

    // The third problem row, then the first: the walk follows that order.
    seleziona({2, 0});
    GestisciCorrezioneEN(v, t);
    EXPECT_EQ(OperatoreDiProva().Mostrati(), QStringList{kDomandaElimina});
    EXPECT_EQ(colonna("SELECT CODICE FROM CLIENTI"), (QStringList{"C1", "C3"}));
    EXPECT_EQ(v.Selezione.Count(), 0);
    EXPECT_EQ(barra.massimo, 2);
    EXPECT_EQ(barra.valori, (QList<qint64>{0, 1, 2}));
    EXPECT_FALSE(barra.visibile);
    EXPECT_FALSE(OperatoreDiProva().ClessidraAttiva());
    // The grid was re-run: only the record left with the problem.
    EXPECT_EQ(v.DtRow.RecordCount(), 1);
    v.DtRow.MoveFirst();
    EXPECT_EQ(v.DtRow.Value("CODICE").toString(), "C3");

    // Deleting the last one leaves an empty grid.
    seleziona({0});
    GestisciCorrezioneEN(v, t);
    EXPECT_EQ(v.DtRow.RecordCount(), 0);
    EXPECT_EQ(conta("CLIENTI"), 1);
}

TEST_F(CorrezioneEN, NoToEitherQuestionChangesNothing)
{
    ordiniOrfani();
    const TaskCorrezione t = task(7);
    ASSERT_TRUE(AttivaCorrezioneRecord(v, t));
    seleziona({1, 0});
    risposta = Risposta::No;
    for (int opzione : {OptElimina, OptAssocia}) {
        v.Opzione = opzione;
        GestisciCorrezioneEN(v, t);
    }
    EXPECT_EQ(OperatoreDiProva().Mostrati(), (QStringList{kDomandaElimina, kDomandaRiassegna}));
    EXPECT_EQ(colonna("SELECT CODCLI FROM VENDITE"), (QStringList{"C1", "X1", "X2", "X3"}));
    ASSERT_EQ(v.Selezione.Count(), 2);
    v.DtRow.SetBookmark(v.Selezione.Item(0));
    EXPECT_EQ(v.DtRow.Value("NUMORD").toString(), "3");
    EXPECT_EQ(barra.cambiVisibilita, 0);
}

TEST_F(CorrezioneEN, ReassignWritesTheChosenMastersKey)
{
    ordiniOrfani();
    const TaskCorrezione t = task(7);
    ASSERT_TRUE(AttivaCorrezioneRecord(v, t));
    // The set-up proposes reassignment, lists every customer's name (Null as "") and shows the
    // first one's.
    EXPECT_EQ(v.Opzione, OptAssocia);
    EXPECT_TRUE(v.ComboVisibile);
    EXPECT_TRUE(v.OpzioneVisibile[OptAssocia]);
    EXPECT_FALSE(v.OpzioneVisibile[OptFisso]);
    ASSERT_EQ(v.VociCombo.size(), 3);
    EXPECT_EQ(v.VociCombo[0].Testo, "Rossi");
    EXPECT_EQ(v.VociCombo[2].Testo, "");
    EXPECT_EQ(v.TestoCombo, "Rossi");
    EXPECT_EQ(v.DtRow.RecordCount(), 3);

    // Without a click the first master record is used.
    seleziona({0});
    GestisciCorrezioneEN(v, t);
    EXPECT_EQ(OperatoreDiProva().Mostrati(), QStringList{kDomandaRiassegna});
    EXPECT_EQ(colonna("SELECT CODCLI FROM VENDITE WHERE NUMORD='2'"), QStringList{"C1"});

    // Choosing "Bianchi" in the list, then typing other text: the chosen record counts.
    ScegliVoceCombo(v, 1);
    v.TestoCombo = "qualcosa di scritto";
    seleziona({1, 0});
    GestisciCorrezioneEN(v, t);
    EXPECT_EQ(colonna("SELECT CODCLI FROM VENDITE"), (QStringList{"C1", "C1", "C2", "C2"}));
    EXPECT_EQ(v.DtRow.RecordCount(), 0);
}

TEST_F(CorrezioneEN, EmptyComboRefusesAndTheFixedCodeDoesNot)
{
    sql({"INSERT INTO VENDITE (NUMORD, CODCLI, DITTA) VALUES ('1', 'C1', 'F1')",
         "INSERT INTO VENDITE (NUMORD, CODCLI, DITTA) VALUES ('2', 'C1', 'F2')"});
    // No supplier at all: the combo box is empty, its text "".
    const TaskCorrezione t = task(9);
    ASSERT_TRUE(AttivaCorrezioneRecord(v, t));
    EXPECT_TRUE(v.VociCombo.isEmpty());
    EXPECT_EQ(v.TestoCombo, "");
    EXPECT_TRUE(v.OpzioneVisibile[OptFisso]);
    EXPECT_EQ(v.CaptionOpzione2, "Associa a ---> VARIE");
    seleziona({0, 1});
    GestisciCorrezioneEN(v, t);
    EXPECT_EQ(OperatoreDiProva().Mostrati(), QStringList{kNessunValore});
    // Typed text is not a master record either.
    v.TestoCombo = "F1";
    GestisciCorrezioneEN(v, t);
    EXPECT_EQ(OperatoreDiProva().Mostrati(), (QStringList{kNessunValore, kNessunValore}));
    EXPECT_EQ(colonna("SELECT DITTA FROM VENDITE"), (QStringList{"F1", "F2"}));
    EXPECT_EQ(v.Selezione.Count(), 2);

    v.Opzione = OptFisso;
    v.TestoCombo.clear();
    GestisciCorrezioneEN(v, t);
    EXPECT_EQ(OperatoreDiProva().Mostrati().last(), kDomandaRiassegna);
    EXPECT_EQ(colonna("SELECT DITTA FROM VENDITE"), (QStringList{"VARIE", "VARIE"}));
}

TEST_F(CorrezioneEN, RefusedUpdateStopsTheWalkWithTheEnginesMessage)
{
    // A reference field of 3 characters: the fixed code "VARIE" does not fit, so the first
    // write is refused by the engine.
    SessioneProva().DbArchivi.Execute("DROP TABLE VENDITE");
    sql({"CREATE TABLE VENDITE (NUMORD TEXT(10), CODCLI TEXT(10), DITTA TEXT(3))",
         "CREATE TABLE FORNIT2 (COD TEXT(3), RAGSOC TEXT(50))",
         "INSERT INTO FORNIT2 (COD, RAGSOC) VALUES ('AB', 'Fornitore AB')",
         "INSERT INTO VENDITE (NUMORD, DITTA) VALUES ('1', 'X1')",
         "INSERT INTO VENDITE (NUMORD, DITTA) VALUES ('2', 'X2')",
         "INSERT INTO VENDITE (NUMORD, DITTA) VALUES ('3', 'X3')"});
    TaskCorrezione t{"ENC", {"VENDITE", "FORNIT2", "DITTA", "COD", "RAGSOC", "VARIE"}, "Prova"};
    ASSERT_TRUE(AttivaCorrezioneRecord(v, t));
    // The first row goes to the master "AB", then the fixed code is refused on the second.
    seleziona({0});
    GestisciCorrezioneEN(v, t);
    ASSERT_EQ(colonna("SELECT DITTA FROM VENDITE"), (QStringList{"AB", "X2", "X3"}));

    v.Opzione = OptFisso;
    seleziona({1, 0});
    OperatoreDiProva().Mostrati().clear();
    GestisciCorrezioneEN(v, t);
    ASSERT_EQ(OperatoreDiProva().Mostrati().size(), 2);
    EXPECT_EQ(OperatoreDiProva().Mostrati()[0], kDomandaRiassegna);
    const QString descrizione = dbe::DbError::make(dbe::err::FieldTooSmall).description();
    EXPECT_TRUE(OperatoreDiProva().Mostrati()[1].startsWith("Impossibile completare la correzione.\r"));
    EXPECT_TRUE(OperatoreDiProva().Mostrati()[1].contains(descrizione.left(20)))
        << OperatoreDiProva().Mostrati()[1].toStdString();
    EXPECT_EQ(colonna("SELECT DITTA FROM VENDITE"), (QStringList{"AB", "X2", "X3"}));
    EXPECT_FALSE(barra.visibile);
    EXPECT_FALSE(OperatoreDiProva().ClessidraAttiva());
    EXPECT_EQ(v.Selezione.Count(), 0);
    EXPECT_EQ(v.DtRow.RecordCount(), 2);  // re-run
    // The record set is usable afterwards: nothing is left half-edited.
    v.Opzione = OptAssocia;
    seleziona({0});
    GestisciCorrezioneEN(v, t);
    EXPECT_EQ(colonna("SELECT DITTA FROM VENDITE"), (QStringList{"AB", "AB", "X3"}));
}

TEST_F(CorrezioneEN, ChangesAreInTheFileWhenTheWalkReturnsAlsoAfterARefusal)
{
    // Orders 0000 to 1499 with suppliers that do not exist; order 1200 cannot take the fixed code, since
    // an order 1200 of VARIE exists and (NUMORD, DITTA) is unique. The walk groups its changes
    // into blocks, so it crosses a block's end before the refusal.
    SessioneProva().DbArchivi.Execute("DROP TABLE VENDITE");
    sql({"CREATE TABLE VENDITE (NUMORD TEXT(10), CODCLI TEXT(10), DITTA TEXT(10))",
         "CREATE UNIQUE INDEX U ON VENDITE (NUMORD, DITTA)", "CREATE TABLE FORNIT2 (COD TEXT(10), RAGSOC TEXT(50))",
         "INSERT INTO FORNIT2 (COD, RAGSOC) VALUES ('VARIE', 'Varie')",
         "INSERT INTO VENDITE (NUMORD, DITTA) VALUES ('1200', 'VARIE')"});
    dbe::Workspace::Default().BeginTrans();
    for (int i = 0; i < 1500; ++i)
        SessioneProva().DbArchivi.Execute(
            QString("INSERT INTO VENDITE (NUMORD, DITTA) VALUES ('%1', 'X%1')").arg(i, 4, 10, QChar('0')));
    dbe::Workspace::Default().CommitTrans();
    TaskCorrezione t{"ENC", {"VENDITE", "FORNIT2", "DITTA", "COD", "RAGSOC", "VARIE"}, "Prova"};
    ASSERT_TRUE(AttivaCorrezioneRecord(v, t));
    ASSERT_EQ(v.DtRow.RecordCount(), 1500);
    SelezionaTutti(v);
    v.Opzione = OptFisso;
    GestisciCorrezioneEN(v, t);
    ASSERT_EQ(OperatoreDiProva().Mostrati().size(), 2);
    EXPECT_TRUE(OperatoreDiProva().Mostrati()[1].startsWith("Impossibile completare la correzione.\r"));
    EXPECT_EQ(dbe::Workspace::Default().TransactionLevel(), 0);
    // Another connection sees the 1,200 orders handled before the refusal, and no more.
    {
        dbe::Database altra = dbe::OpenDatabase(SessioneProva().DbArchivi.Name());
        dbe::Recordset rs = altra.OpenRecordset("SELECT * FROM VENDITE WHERE DITTA='VARIE'");
        rs.MoveLast();
        EXPECT_EQ(rs.RecordCount(), 1201);
        rs.Close();
        altra.Close();
    }
    EXPECT_EQ(v.DtRow.RecordCount(), 300);

    // Inside a transaction of the caller's the walk commits nothing of its own: the caller's
    // rollback takes its deletions back.
    SelezionaTutti(v);
    v.Opzione = OptElimina;
    dbe::Workspace::Default().BeginTrans();
    GestisciCorrezioneEN(v, t);
    EXPECT_EQ(dbe::Workspace::Default().TransactionLevel(), 1);
    EXPECT_EQ(conta("VENDITE"), 1201);
    dbe::Workspace::Default().Rollback();
    EXPECT_EQ(conta("VENDITE"), 1501);
}

TEST_F(CorrezioneEN, FailingSetUpReportsTheEngineAndKeepsTheView)
{
    sql({"INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES (NULL, 'Senza codice')"});
    ASSERT_TRUE(AttivaCorrezioneRecord(v, task(1)));
    const dbe::Recordset prima = v.DtRow;
    SessioneProva().DbArchivi.Execute("DROP TABLE FORNIT");
    EXPECT_FALSE(AttivaCorrezioneRecord(v, task(9)));
    ASSERT_EQ(OperatoreDiProva().Mostrati().size(), 1);
    EXPECT_TRUE(OperatoreDiProva().Mostrati()[0].startsWith("Impossibile visualizzare i record del controllo.\r"));
    EXPECT_GT(OperatoreDiProva().Mostrati()[0].size(), 52);
    EXPECT_EQ(dbe::inside::Impl(v.DtRow), dbe::inside::Impl(prima));
    EXPECT_EQ(v.Titolo, "Controllo Schede Vuote Clienti");
    EXPECT_FALSE(OperatoreDiProva().ClessidraAttiva());
}

TEST_F(CorrezioneEN, SelectAllAddsEveryRowOnceAfterTheRowsSelectedBefore)
{
    for (int i = 0; i < 5; ++i)
        sql({QString("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C%1', NULL)").arg(i)});
    ASSERT_TRUE(AttivaCorrezioneRecord(v, task(1)));
    seleziona({3});
    SelezionaTutti(v);
    SelezionaTutti(v);
    ASSERT_EQ(v.Selezione.Count(), 5);
    QStringList ordine;
    for (int k = 0; k < 5; ++k) {
        v.DtRow.SetBookmark(v.Selezione.Item(k));
        ordine << v.DtRow.Value("CODICE").toString();
    }
    EXPECT_EQ(ordine, (QStringList{"C3", "C0", "C1", "C2", "C4"}));
    EXPECT_EQ(barra.massimo, 5);
    EXPECT_EQ(barra.valore, 5);
    EXPECT_FALSE(barra.visibile);

    // On an empty grid nothing happens and nothing is said.
    sql({"DELETE FROM CLIENTI"});
    ASSERT_TRUE(AttivaCorrezioneRecord(v, task(1)));
    barra.cambiVisibilita = 0;
    SelezionaTutti(v);
    EXPECT_EQ(v.Selezione.Count(), 0);
    EXPECT_EQ(barra.cambiVisibilita, 0);
    EXPECT_TRUE(OperatoreDiProva().Mostrati().isEmpty());
}

TEST_F(CorrezioneEN, ARecordReplacedByAnotherProgramUnderItsRowNumberIsLeftAlone)
{
    // Reassign: the listed order 4 is deleted by another program and a new order takes its row
    // number; the walk rewrites orders 2 and 3 only.
    ordiniOrfani();
    const TaskCorrezione orfani = task(7);
    ASSERT_TRUE(AttivaCorrezioneRecord(v, orfani));
    seleziona({0, 1, 2});
    const QString file = dir.filePath("lumera.mdb");
    testsupport::sqliteExec(file, "DELETE FROM VENDITE WHERE NUMORD='4';"
                                  "INSERT INTO VENDITE (NUMORD, CODCLI, DITTA) VALUES ('5', 'X5', 'F1')");
    GestisciCorrezioneEN(v, orfani);
    EXPECT_EQ(OperatoreDiProva().Mostrati(), (QStringList{kDomandaRiassegna, MessaggioLasciati(1)}));
    EXPECT_EQ(colonna("SELECT CODCLI FROM VENDITE ORDER BY NUMORD"), (QStringList{"C1", "C1", "C1", "X5"}));

    // Delete: the same with a customer without a name.
    OperatoreDiProva().Mostrati().clear();
    sql({"INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C4', '  ')",
         "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C5', NULL)"});
    const TaskCorrezione vuote = task(1);
    ASSERT_TRUE(AttivaCorrezioneRecord(v, vuote));
    ASSERT_EQ(v.DtRow.RecordCount(), 3);  // C3, C4, C5
    seleziona({0, 1, 2});
    testsupport::sqliteExec(file, "DELETE FROM CLIENTI WHERE CODICE='C5';"
                                  "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C9', NULL)");
    GestisciCorrezioneEN(v, vuote);
    EXPECT_EQ(OperatoreDiProva().Mostrati(), (QStringList{kDomandaElimina, MessaggioLasciati(1)}));
    EXPECT_EQ(colonna("SELECT CODICE FROM CLIENTI ORDER BY CODICE"), (QStringList{"C1", "C2", "C9"}));
    EXPECT_EQ(v.DtRow.RecordCount(), 1);  // the new customer, still to be seen to
}

// The delete walk takes the selection a group of records at a time. Another program changes,
// replaces under their row numbers, or deletes records at places drawn at random (seeded), group
// edges among them, after the grid was filled and the rows selected in a random order: exactly
// those records are left alone (the changed and replaced ones counted) and every other one is
// deleted and journaled, whatever its place in its group.
TEST_F(CorrezioneEN, AGroupedDeleteLeavesAloneExactlyTheRecordsAnotherProgramTouched)
{
    const int n = 700;
    prova::RiempiRecordDaCorreggere(SessioneProva().DbArchivi, n);
    const QString file = dir.filePath("lumera.mdb");
    std::mt19937 caso(29122026);
    for (int giro = 0; giro < 3; ++giro) {
        SCOPED_TRACE(giro);
        const TaskCorrezione t = task(1);
        ASSERT_TRUE(AttivaCorrezioneRecord(v, t));
        const int righe = int(v.DtRow.RecordCount());
        std::vector<int> ordine(static_cast<size_t>(righe));
        std::iota(ordine.begin(), ordine.end(), 0);
        std::shuffle(ordine.begin(), ordine.end(), caso);
        for (int p : ordine) {
            v.DtRow.SetAbsolutePosition(p);
            v.Selezione.Add(v.DtRow.GetBookmark());
        }
        // The places touched: the first and last of the grid, the neighbours of every 50th row
        // (each group edge among them), and others at random; a third of each kind.
        std::vector<int> posti{0, righe - 1};
        for (int p = 50; p < righe; p += 50)
            posti.push_back(p - 1 + std::uniform_int_distribution<int>(0, 1)(caso));
        for (int k = 0; k < 10; ++k)
            posti.push_back(std::uniform_int_distribution<int>(0, righe - 1)(caso));
        std::sort(posti.begin(), posti.end());
        posti.erase(std::unique(posti.begin(), posti.end()), posti.end());
        QString altro;
        QStringList restano;  // RAGSOC of the problem records left afterwards
        int lasciati = 0, tolti = 0;
        for (int p : posti) {
            v.DtRow.SetAbsolutePosition(p);
            const qint64 riga = dbe::CurrentRow(v.DtRow)->rowid;
            const QString nome = QString("Altro %1-%2").arg(giro).arg(p);
            switch (std::uniform_int_distribution<int>(0, 2)(caso)) {
            case 0:
                altro += QString("UPDATE CLIENTI SET RAGSOC = '%1' WHERE rowid = %2;").arg(nome).arg(riga);
                restano << nome;
                ++lasciati;
                break;
            case 1:
                altro += QString("DELETE FROM CLIENTI WHERE rowid = %1;"
                                 "INSERT INTO CLIENTI (rowid, CODICE, RAGSOC) VALUES (%1, NULL, '%2');")
                             .arg(riga)
                             .arg(nome);
                restano << nome;
                ++lasciati;
                break;
            default: altro += QString("DELETE FROM CLIENTI WHERE rowid = %1;").arg(riga); ++tolti;
            }
        }
        testsupport::sqliteExec(file, altro);
        OperatoreDiProva().Mostrati().clear();
        GestisciCorrezioneEN(v, t);
        EXPECT_EQ(OperatoreDiProva().Mostrati(), (QStringList{kDomandaElimina, MessaggioLasciati(lasciati)}));
        restano.sort();
        EXPECT_EQ(colonna("SELECT RAGSOC FROM CLIENTI WHERE CODICE IS NULL ORDER BY RAGSOC"), restano);
        const auto voci = RegistroSessione(SessioneProva())->Elenco();
        const auto voce = std::find_if(voci.begin(), voci.end(),
                                       [](const VoceRegistro& x) { return x.tipo == tipo_modifica::Elimina; });
        ASSERT_NE(voce, voci.end());
        EXPECT_EQ(voce->recordFatti, righe - lasciati - tolti);
        EXPECT_EQ(barra.valori.size(), righe + 1);
        // The records left are in the next round's grid, with more of their own.
        QStringList altri;
        for (int i = 0; i < n / 2; ++i)
            altri << QString("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES (NULL, 'Nuovo %1-%2')").arg(giro).arg(i);
        sql(altri);
        barra.valori.clear();
    }
}
