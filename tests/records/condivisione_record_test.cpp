// The record walks while another program uses the archive: it reads during every walk, opening and
// closing the file again and again, and a fresh process reads in between, after the version stamp
// was read through a second connection as the main window does. A fresh process then sees every
// change reported done, in an intact file.
#include "fixture_record.h"

#include "core/versione.h"
#include "records/correzione_en.h"
#include "records/correzione_enp.h"
#include "support/altro_programma.h"

#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

using namespace corvale;
using prova::OperatoreDiProva;
using prova::SessioneProva;
using testsupport::DaFuori;

namespace {

const QString kOccupato = QStringLiteral(
    "Impossibile completare la correzione.\rImpossibile aggiornare. Attualmente bloccato. Un altro programma "
    "sta scrivendo nell'archivio: riprovare quando avrà terminato.");

class RecordCondivisi : public prova::ArchivioRecord {
protected:
    void SetUp() override
    {
        if (!testsupport::Sqlite3Disponibile())
            GTEST_SKIP() << "sqlite3 shell not installed";
        ArchivioRecord::SetUp();
        file = SessioneProva().DbArchivi.Name();
        prova::RiempiRecordDaCorreggere(SessioneProva().DbArchivi, 300,
                                        {"INSERT INTO AGENZIA (COD, VERSDB) VALUES ('1', 'A.05 ')"});
    }
    // One walk over the records of catalogue check n (every one, or the first `righe`), as the
    // window runs it; the stamp is read first, as the main window's label does.
    void Correggi(int n, int opzione, int righe = -1)
    {
        EXPECT_EQ(VersioneDb(SessioneProva()), "A.05 ");
        const TaskCorrezione t = task(n);
        ASSERT_TRUE(AttivaCorrezioneRecord(v, t));
        if (righe < 0)
            SelezionaTutti(v);
        for (int i = 0; i < righe; ++i) {
            v.DtRow.SetAbsolutePosition(i);
            v.Selezione.Add(v.DtRow.GetBookmark());
        }
        v.Opzione = opzione;
        if (opzione == OptAssocia) {
            ScegliVoceCombo(v, 0);
            v.TestoCombo = v.VociCombo.at(0).Testo;
        }
        t.Tipo == "ENP" ? GestisciCorrezioneENP(v, t) : GestisciCorrezioneEN(v, t);
        EXPECT_EQ(OperatoreDiProva().Mostrati().size(), 1) << OperatoreDiProva().Mostrati().join("|").toStdString();
        OperatoreDiProva().Mostrati().clear();
    }
    QString file;
};

}  // namespace

TEST_F(RecordCondivisi, EveryWalkSurvivesAnotherProgram)
{
    testsupport::AltroProgramma altro(file, {"CLIENTI", "VENDITE"});
    altro.AttendiGiri(1);
    Correggi(1, OptElimina);  // customers without a code
    EXPECT_EQ(DaFuori(file, "SELECT count(*) FROM CLIENTI"), "1");
    Correggi(7, OptAssocia);  // orders of no customer, to customer C1
    EXPECT_EQ(DaFuori(file, "SELECT count(*) FROM VENDITE WHERE CODCLI = 'C1'"), "300");
    Correggi(18, OptElimina, 100);  // orders without lines, deleted by their key
    EXPECT_EQ(DaFuori(file, "SELECT count(*) FROM VENDITE"), "200");
    altro.AttendiGiri(3);
    Correggi(9, OptFisso);  // orders of no supplier, to VARIE
    EXPECT_EQ(DaFuori(file, "SELECT count(*) FROM VENDITE WHERE DITTA = 'VARIE'"), "200");
    const int giri = altro.Ferma();

    v.DtRow = dbe::Recordset();
    v.DtColl = dbe::Recordset();
    SessioneProva().DbArchivi.Close();
    EXPECT_EQ(testsupport::VerificaDaFuori(file, "SELECT count(*) FROM CLIENTI"), "1");
    EXPECT_EQ(DaFuori(file, "SELECT count(*) FROM VENDITE WHERE DITTA = 'VARIE' AND CODCLI = 'C1'"), "200");
    EXPECT_GT(giri, 2);
}

TEST_F(RecordCondivisi, AJoinedWalkStopsAtTheFirstLockWithItsReason)
{
    const TaskCorrezione t = task(18);
    ASSERT_TRUE(AttivaCorrezioneRecord(v, t));
    seleziona({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    testsupport::ScritturaAltrui altro(file);
    ASSERT_TRUE(altro.tiene);
    QElapsedTimer tempo;
    tempo.start();
    GestisciCorrezioneENP(v, t);
    EXPECT_LT(tempo.elapsed(), 20000);  // one wait, not one per row
    ASSERT_EQ(OperatoreDiProva().Mostrati().size(), 2);
    EXPECT_EQ(OperatoreDiProva().Mostrati()[1], kOccupato);
    // The same for a walk that writes each record itself.
    OperatoreDiProva().Mostrati().clear();
    ASSERT_TRUE(AttivaCorrezioneRecord(v, task(1)));
    SelezionaTutti(v);
    v.Opzione = OptElimina;
    GestisciCorrezioneEN(v, task(1));
    ASSERT_EQ(OperatoreDiProva().Mostrati().size(), 2);
    EXPECT_EQ(OperatoreDiProva().Mostrati()[1], kOccupato);
    altro.Rilascia();
    EXPECT_EQ(DaFuori(file, "SELECT count(*) FROM VENDITE"), "300");
    EXPECT_EQ(DaFuori(file, "SELECT count(*) FROM CLIENTI"), "301");
}

// Another program puts a copy of the archive in its place during the run: the walk stops at once
// with the reason, and neither file loses a record to it.
TEST_F(RecordCondivisi, AWalkOnAReplacedArchiveStopsWithItsReason)
{
    const TaskCorrezione t = task(1);
    ASSERT_TRUE(AttivaCorrezioneRecord(v, t));
    SelezionaTutti(v);
    v.Opzione = OptElimina;
    DaFuori(file, "VACUUM INTO '" + file + ".copia'");
    ASSERT_EQ(std::rename(QFile::encodeName(file + ".copia").constData(), QFile::encodeName(file).constData()), 0);
    GestisciCorrezioneEN(v, t);
    ASSERT_EQ(OperatoreDiProva().Mostrati().size(), 2);
    EXPECT_EQ(OperatoreDiProva().Mostrati()[1],
              "Impossibile completare la correzione.\r" + dbe::DbError::make(3045, {file}).description());
    v.DtRow = dbe::Recordset();
    SessioneProva().DbArchivi.Close();
    EXPECT_EQ(testsupport::VerificaDaFuori(file, "SELECT count(*) FROM CLIENTI"), "301");
}
