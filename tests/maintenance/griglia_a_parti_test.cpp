// The problem-record grid on a result larger than it lists at first: "Dettagli" lists and reads only
// the first rows, the rows grow as the grid scrolls to the end, and "Seleziona Tutti" and the delete
// walk act on every record, whether the grid showed them or not. Random archives (seeded): problem
// records mixed with sound ones, a few rows taken out of the selection by Ctrl with a click.
#include "records/fixture_record.h"
#include "support/eventi.h"
#include "support/sessione_prova.h"

#include "dbengine_inside.h"
#include "maintenance/frm_corr.h"
#include "maintenance/griglia_record.h"
#include "safety/registro.h"

#include <QApplication>
#include <QPushButton>
#include <algorithm>
#include <QRandomGenerator>
#include <QScrollBar>

using namespace corvale;
using corvale::prova::ArchivioRecord;

namespace {

class GrigliaAParti : public ArchivioRecord {
protected:
    void SetUp() override
    {
        ArchivioRecord::SetUp();
        f = std::make_unique<FrmCorr>(SessioneProva());
        f->resize(480, 340);
        testsupport::mostra(f.get());
    }
    void TearDown() override
    {
        f.reset();
        ArchivioRecord::TearDown();
    }
    // Customers C1..Cn straight into the file, each without a name (a problem record of catalogue
    // entry 1) with probability 2/3; the number of problem records.
    qint64 clienti(QRandomGenerator& g, int n)
    {
        QStringList valori;
        qint64 problemi = 0;
        for (int i = 1; i <= n; ++i) {
            const bool vuoto = g.bounded(3u) != 0;
            problemi += vuoto;
            if (vuoto)
                ultimo = i;
            valori << QString("('C%1', %2)").arg(i).arg(vuoto ? QString("NULL") : QString("'Ditta %1'").arg(i));
        }
        dbe::inside::Impl(SessioneProva().DbArchivi)
            ->exec("INSERT INTO \"CLIENTI\" (\"CODICE\", \"RAGSOC\") VALUES " + valori.join(','));
        return problemi;
    }
    qint64 contaSql(const QString& query)
    {
        dbe::Recordset rs = SessioneProva().DbArchivi.OpenRecordset(query, dbe::dbOpenSnapshot);
        return rs.Value(0).toLongLong();
    }
    std::unique_ptr<FrmCorr> f;
    int ultimo = 0;  // the last customer without a name
};

}  // namespace

TEST_F(GrigliaAParti, TheGridListsAsItScrollsAndSelectAllAndTheWalkReachEveryRecord)
{
    for (quint32 seme = 1; seme <= 2; ++seme) {
        SCOPED_TRACE(seme);
        QRandomGenerator g(seme);
        sql({"DELETE FROM CLIENTI"});
        const qint64 problemi = clienti(g, 6000 + int(g.bounded(4000u)));
        ASSERT_TRUE(f->AttivaCorrezioneRecord(task(1)));
        QApplication::processEvents();
        f->DBGrid1->viewport()->repaint();
        auto* modello = f->DBGrid1->Modello();
        EXPECT_LT(modello->rowCount(), problemi / 4);
        EXPECT_LT(modello->RigheLette(), 200);
        EXPECT_FALSE(f->Vista().DtRow.AllListed());

        // The first round scrolls to the end before selecting; the second selects at once.
        if (seme == 1) {
            for (int giro = 0; giro < 100 && modello->canFetchMore({}); ++giro) {
                f->DBGrid1->scrollToBottom();
                QApplication::processEvents();
            }
            EXPECT_EQ(modello->rowCount(), problemi);
            int codice = 0;
            while (codice < modello->columnCount()
                   && modello->headerData(codice, Qt::Horizontal, Qt::DisplayRole) != "CODICE")
                ++codice;
            const QModelIndex ultima = modello->index(modello->rowCount() - 1, codice);
            EXPECT_EQ(modello->data(ultima).toString(), QString("C%1").arg(ultimo));
        }
        f->PulsSelAll->click();
        ASSERT_EQ(f->RecordSelezionati(), problemi);
        // Ctrl with a click takes some shown rows out again.
        f->DBGrid1->scrollToTop();
        QApplication::processEvents();
        const int fuori = 1 + int(g.bounded(3u));
        for (int r = 0; r < fuori; ++r)
            testsupport::clic(f->DBGrid1->viewport(), f->DBGrid1->visualRect(modello->index(2 * r, 0)).center(),
                              Qt::ControlModifier);
        ASSERT_EQ(f->RecordSelezionati(), problemi - fuori);

        f->GestisciCorrezioneEN(task(1));
        EXPECT_EQ(contaSql("SELECT COUNT(*) FROM CLIENTI WHERE RAGSOC IS NULL"), fuori);
        EXPECT_EQ(contaSql("SELECT COUNT(*) FROM CLIENTI WHERE RAGSOC IS NOT NULL"),
                  contaSql("SELECT COUNT(*) FROM CLIENTI") - fuori);
        Registro reg(dir.filePath("lumera.mdb"));
        const auto voci = reg.Elenco();
        EXPECT_TRUE(std::any_of(voci.begin(), voci.end(),
                                [&](const VoceRegistro& v) { return v.recordFatti == problemi - fuori; }));
    }
}
