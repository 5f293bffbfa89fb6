// The problem-record view as a window on the offscreen platform: grid columns, clicks and the
// selection's order, "Seleziona Tutti", the options and the combo box, in-place edits (written only
// when the operator says so, through the gate and the journal, and undone by corvale-cli), and how
// it copes with large record sets.
#include "records/fixture_record.h"
#include "support/processo_cli.h"
#include "support/sessione_prova.h"

#include "dbengine_inside.h"
#include "records/correzione_en.h"
#include "maintenance/frm_corr.h"
#include "maintenance/griglia_record.h"
#include "core/guardia_archivio.h"
#include "safety/registro.h"
#include "support/eventi.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QMouseEvent>

using namespace corvale;
using corvale::prova::ArchivioRecord;

namespace {

class FinestraCorr : public ArchivioRecord {
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
    QPoint centroRiga(int r, int c = 0) const
    {
        const QRect rc = f->DBGrid1->visualRect(f->DBGrid1->model()->index(r, c));
        return rc.center();
    }
    // The grid's column showing that field.
    int colonnaDi(const QString& campo) const
    {
        QAbstractItemModel* m = f->DBGrid1->model();
        for (int c = 0; c < m->columnCount(); ++c)
            if (m->headerData(c, Qt::Horizontal).toString() == campo)
                return c;
        ADD_FAILURE() << "no column " << campo.toStdString();
        return 0;
    }
    // The operator clicks the cell of row r, field campo, and types the text (Enter then closes the
    // cell's editor; without it the editor stays open).
    void scriviCella(int r, const QString& campo, const QString& testo, bool invio = true)
    {
        testsupport::clic(f->DBGrid1->viewport(), centroRiga(r, colonnaDi(campo)));
        testsupport::scrivi(f.get(), testo);
        if (invio)
            testsupport::tasto(f.get(), Qt::Key_Return);
    }
    QString cella(int r, const QString& campo) const
    {
        return f->DBGrid1->model()->data(f->DBGrid1->model()->index(r, colonnaDi(campo))).toString();
    }
    // Questions about saving an edit asked so far.
    qsizetype domandeSalva() const
    {
        return OperatoreDiProva().Mostrati().filter("Salvare nell'archivio la modifica del record?").size();
    }
    std::unique_ptr<Registro> registro() const { return std::make_unique<Registro>(dir.filePath("lumera.mdb")); }
    // A click in a cell of row r, or on its record selector.
    void clic(int r, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        testsupport::clic(f->DBGrid1->viewport(), centroRiga(r), m);
    }
    void clicSelettore(int r, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        QHeaderView* selettore = f->DBGrid1->verticalHeader();
        testsupport::clic(selettore->viewport(),
                          QPoint(selettore->width() / 2, selettore->sectionViewportPosition(r) + 3), m);
    }
    // The values of field campo of the selected records, in selection order.
    QStringList selezionati(const QString& campo)
    {
        QStringList l;
        VistaCorrezione& vista = f->Vista();
        for (qint64 k = 0; k < vista.Selezione.Count(); ++k) {
            vista.DtRow.SetBookmark(vista.Selezione.Item(k));
            l << vista.DtRow.Value(campo).toString();
        }
        return l;
    }
    // count records in CLIENTI with a code and no name, written straight into the file.
    void molti(qint64 count)
    {
        dbe::inside::Impl(SessioneProva().DbArchivi)
            ->exec(QString("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n "
                           "WHERE x < %1) INSERT INTO \"CLIENTI\" (\"CODICE\", \"RAGSOC\") "
                           "SELECT 'C' || x, NULL FROM n")
                       .arg(count));
    }
    std::unique_ptr<FrmCorr> f;
};

}  // namespace

TEST_F(FinestraCorr, NamedChildrenAndTheGridsColumnsOverAJoin)
{
    for (const char* nome :
         {"LDescr(0)", "DBGrid1", "PBar", "LDescr(2)", "PulsSelAll", "OptCorr(0)", "OptCorr(1)", "OptCorr(2)", "DbCmb"})
        EXPECT_NE(f->findChild<QWidget*>(nome), nullptr) << nome;
    EXPECT_EQ(f->LDescr2->text(), "Selezionare i record tenendo premuto il tasto Ctrl");
    EXPECT_EQ(f->PulsSelAll->text(), "Seleziona Tutti");
    EXPECT_TRUE(f->PBar->isHidden());

    sql({"INSERT INTO VENDITE (CODCLI, NUMORD, DATA, DITTA) VALUES ('C1', '1', #03/15/2001#, 'AB')",
         "INSERT INTO VENDITE (CODCLI, NUMORD, DATA, DITTA) VALUES ('C1', '2', #03/15/2001#, 'AB')"});
    ASSERT_TRUE(f->AttivaCorrezioneRecord(task(18)));
    EXPECT_EQ(f->LDescr0->text(), "Controllo Ordini/Offerte senza Dettaglio");
    QAbstractItemModel* m = f->DBGrid1->model();
    QStringList intestazioni;
    for (int c = 0; c < m->columnCount(); ++c)
        intestazioni << m->headerData(c, Qt::Horizontal).toString();
    EXPECT_TRUE(intestazioni.contains("VENDITE.NUMORD"));
    EXPECT_TRUE(intestazioni.contains("DETT_ORD.NUMORD"));
    EXPECT_TRUE(intestazioni.contains("TIPODEP"));
    EXPECT_TRUE(intestazioni.contains("RIGA"));
    EXPECT_EQ(intestazioni.size(), f->Vista().DtRow.FieldCount());
    EXPECT_EQ(intestazioni.first(), f->Vista().DtRow.FieldName(0));
    EXPECT_EQ(m->rowCount(), 2);
    const int numord = int(intestazioni.indexOf("VENDITE.NUMORD"));
    EXPECT_EQ(m->data(m->index(1, numord)).toString(), "2");
    EXPECT_EQ(m->data(m->index(0, int(intestazioni.indexOf("VENDITE.DATA")))).toString(), "15/03/2001");
    EXPECT_EQ(m->data(m->index(0, int(intestazioni.indexOf("DETT_ORD.NUMORD")))).toString(), "");
    EXPECT_TRUE(f->DBGrid1->verticalHeader()->isVisible());
    EXPECT_TRUE(f->DBGrid1->horizontalHeader()->isVisible());
}

TEST_F(FinestraCorr, ClicksSelectRowsInTheirOrderAndSelectAllAddsTheRest)
{
    for (int i = 0; i < 6; ++i)
        sql({QString("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C%1', NULL)").arg(i)});
    ASSERT_TRUE(f->AttivaCorrezioneRecord(task(1)));
    QApplication::processEvents();

    clicSelettore(4);
    clic(1, Qt::ControlModifier);
    clic(3, Qt::ControlModifier);
    EXPECT_EQ(selezionati("CODICE"), (QStringList{"C4", "C1", "C3"}));
    // Ctrl+click on a selected row takes it out; a plain click in a cell leaves the selection as it
    // is; only a plain click on the record selector selects one row alone.
    clic(1, Qt::ControlModifier);
    EXPECT_EQ(selezionati("CODICE"), (QStringList{"C4", "C3"}));
    clic(2);
    EXPECT_EQ(selezionati("CODICE"), (QStringList{"C4", "C3"}));
    EXPECT_EQ(f->DBGrid1->currentIndex().row(), 2);
    clicSelettore(2);
    EXPECT_EQ(selezionati("CODICE"), QStringList{"C2"});
    clicSelettore(5, Qt::ControlModifier);
    EXPECT_EQ(selezionati("CODICE"), (QStringList{"C2", "C5"}));
    EXPECT_EQ(f->RecordSelezionati(), 2);
    // A selected row is painted as such.
    EXPECT_TRUE(f->DBGrid1->model()->data(f->DBGrid1->model()->index(5, 0), Qt::BackgroundRole).isValid());
    EXPECT_FALSE(f->DBGrid1->model()->data(f->DBGrid1->model()->index(0, 0), Qt::BackgroundRole).isValid());

    testsupport::clic(f->PulsSelAll);
    testsupport::clic(f->PulsSelAll);
    EXPECT_EQ(selezionati("CODICE"), (QStringList{"C2", "C5", "C0", "C1", "C3", "C4"}));
    EXPECT_TRUE(f->PBar->isHidden());
    EXPECT_EQ(f->PBar->maximum(), 6);
    EXPECT_EQ(f->PBar->value(), 6);

    // Delete through the window: the grid shows what is left, nothing selected.
    f->GestisciCorrezioneEN(task(1));
    EXPECT_EQ(f->DBGrid1->model()->rowCount(), 0);
    EXPECT_EQ(f->RecordSelezionati(), 0);
    EXPECT_EQ(conta("CLIENTI"), 0);
}

TEST_F(FinestraCorr, OptionsAndComboFollowTheTaskType)
{
    sql({"INSERT INTO FORNIT (COD, RAGSOC) VALUES ('F1', 'Alfa')",
         "INSERT INTO FORNIT (COD, RAGSOC) VALUES ('F2', 'Beta')",
         "INSERT INTO VENDITE (NUMORD, DITTA) VALUES ('1', 'ZZ')",
         "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES (NULL, 'x')"});
    ASSERT_TRUE(f->AttivaCorrezioneRecord(task(9)));
    EXPECT_FALSE(f->DbCmb->isHidden());
    EXPECT_FALSE(f->OptCorr[1]->isHidden());
    EXPECT_FALSE(f->OptCorr[2]->isHidden());
    EXPECT_EQ(f->OptCorr[1]->text(), "Associa a ---->");
    EXPECT_EQ(f->OptCorr[2]->text(), "Associa a ---> VARIE");
    EXPECT_TRUE(f->OptCorr[1]->isChecked());
    EXPECT_EQ(f->DbCmb->count(), 2);
    EXPECT_EQ(f->DbCmb->currentText(), "Alfa");

    // Choosing "Beta" from the list, then typing "Al" (which the box completes to "Alfa") and
    // leaving the box: the reassignment uses Beta's code, and the box shows Beta again.
    testsupport::scegliDallaLista(f->DbCmb, 1);
    EXPECT_EQ(f->Vista().DtColl.Value("COD").toString(), "F2");
    testsupport::clic(f->DbCmb->lineEdit());
    testsupport::tasto(f.get(), Qt::Key_A, 1, Qt::ControlModifier);
    testsupport::scrivi(f.get(), "Al");
    testsupport::tasto(f.get(), Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), f->DbCmb);
    EXPECT_EQ(f->DbCmb->currentText(), "Beta");
    testsupport::clic(f->DbCmb->lineEdit());
    EXPECT_EQ(f->Vista().DtColl.Value("COD").toString(), "F2");
    SelezionaTutti(f->Vista());
    f->GestisciCorrezioneEN(task(9));
    EXPECT_EQ(colonna("SELECT DITTA FROM VENDITE"), QStringList{"F2"});

    // The text the operator clears is the text tested; the option clicked is the action.
    sql({"INSERT INTO VENDITE (NUMORD, DITTA) VALUES ('2', 'ZZ')"});
    ASSERT_TRUE(f->AttivaCorrezioneRecord(task(9)));
    testsupport::clic(f->DbCmb->lineEdit());
    testsupport::tasto(f.get(), Qt::Key_A, 1, Qt::ControlModifier);
    testsupport::tasto(f.get(), Qt::Key_Delete);
    testsupport::tasto(f.get(), Qt::Key_Tab);
    EXPECT_EQ(f->DbCmb->currentText(), "");
    SelezionaTutti(f->Vista());
    f->GestisciCorrezioneEN(task(9));
    EXPECT_EQ(OperatoreDiProva().Mostrati().last(), kNessunValore);
    testsupport::clic(f->OptCorr[2], QPoint(6, f->OptCorr[2]->height() / 2));  // on its circle
    f->GestisciCorrezioneEN(task(9));
    EXPECT_EQ(colonna("SELECT DITTA FROM VENDITE"), (QStringList{"F2", "VARIE"}));

    // An EN task afterwards offers "Elimina" only, chosen.
    ASSERT_TRUE(f->AttivaCorrezioneRecord(task(1)));
    EXPECT_TRUE(f->DbCmb->isHidden());
    EXPECT_TRUE(f->OptCorr[1]->isHidden());
    EXPECT_TRUE(f->OptCorr[2]->isHidden());
    EXPECT_TRUE(f->OptCorr[0]->isChecked());
}

TEST_F(FinestraCorr, AnEditIsWrittenOnlyWhenTheOperatorSaysSoThroughTheJournalAndIsUndone)
{
    sql({"INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', NULL)",
         "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C2', NULL)",
         "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C3', NULL)"});
    SessioneProva().DbArchivi.Guardia()->Arma(true);  // as in the programs
    ASSERT_TRUE(f->AttivaCorrezioneRecord(task(1)));
    const QStringList vuoti{"<null>", "<null>", "<null>"};

    // Typed and Enter: held in the row (the pencil), the archive untouched; leaving the row asks,
    // and No drops it.
    scriviCella(0, "RAGSOC", "Rossi");
    EXPECT_EQ(cella(0, "RAGSOC"), "Rossi");
    EXPECT_EQ(f->DBGrid1->model()->headerData(0, Qt::Vertical).toString(), "✎");
    EXPECT_EQ(colonna("SELECT RAGSOC FROM CLIENTI"), vuoti);
    risposta = Risposta::No;
    testsupport::tasto(f.get(), Qt::Key_Down);
    EXPECT_EQ(domandeSalva(), 1);
    EXPECT_EQ(colonna("SELECT RAGSOC FROM CLIENTI"), vuoti);
    EXPECT_EQ(cella(0, "RAGSOC"), "");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("copie"))) << "nothing was changed: no gate, no copy";

    // Yes: the gate's copy first, then the record journaled and written.
    risposta = Risposta::Si;
    scriviCella(1, "RAGSOC", "Verdi");
    testsupport::clic(f->DBGrid1->viewport(), centroRiga(2, colonnaDi("CODICE")));
    EXPECT_EQ(domandeSalva(), 2);
    EXPECT_EQ(colonna("SELECT RAGSOC FROM CLIENTI"), (QStringList{"<null>", "Verdi", "<null>"}));
    EXPECT_EQ(QDir(dir.filePath("copie")).entryList({"*.mdb"}).size(), 1);
    auto reg = registro();
    QVector<VoceRegistro> voci = reg->Elenco();
    ASSERT_EQ(voci.size(), 1);
    EXPECT_EQ(voci[0].tipo, "modifica record");
    EXPECT_EQ(voci[0].tabella, "CLIENTI");
    EXPECT_EQ(voci[0].descrizione, "Controllo Schede Vuote Clienti");
    EXPECT_EQ(voci[0].stato, stato_modifica::Fatta);
    const QVector<RecordRegistro> record = reg->Record(voci[0].id);
    ASSERT_EQ(record.size(), 1);
    EXPECT_EQ(record[0].prima->values, (QVector<QVariant>{QString("C2"), QVariant()}));
    EXPECT_EQ(record[0].dopo->columns, QStringList{"RAGSOC"});
    EXPECT_EQ(record[0].dopo->values, QVector<QVariant>{QString("Verdi")});

    // A value the field refuses (CODICE holds 10 characters): the reason, nothing written, the
    // attempt journaled as not done.
    scriviCella(2, "CODICE", "CODICE-TROPPO-LUNGO");
    testsupport::tasto(f.get(), Qt::Key_Up);
    EXPECT_TRUE(OperatoreDiProva().Mostrati().last().startsWith("Impossibile salvare la modifica.\r"))
        << OperatoreDiProva().Mostrati().last().toStdString();
    EXPECT_EQ(colonna("SELECT CODICE FROM CLIENTI"), (QStringList{"C1", "C2", "C3"}));
    EXPECT_EQ(cella(2, "CODICE"), "C3");
    EXPECT_EQ(reg->Elenco().first().stato, stato_modifica::NonRiuscita);

    // corvale-cli annulla puts the record back as it was.
    const prova::EsitoCli annulla =
        prova::EseguiCli({"annulla", QString::number(voci[0].id), "--senza-copia", "--archive", dir.path()});
    EXPECT_EQ(annulla.stato, 0) << annulla.err.toStdString();
    EXPECT_EQ(colonna("SELECT RAGSOC FROM CLIENTI"), vuoti);
}

TEST_F(FinestraCorr, ClosingTheViewOrItsWindowWithAnEditUnderWayAsksAndWritesNothingUnasked)
{
    // One row: there is no other row to move to, only the closing.
    sql({"INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', NULL)"});
    QWidget finestra;
    finestra.resize(480, 340);
    f->setParent(&finestra);
    struct Stacca {  // the view is the fixture's to delete, whatever happens here
        std::unique_ptr<FrmCorr>& f;
        ~Stacca()
        {
            if (f)
                f->setParent(nullptr);
        }
    } stacca{f};
    f->resize(480, 340);
    f->show();
    testsupport::mostra(&finestra);
    ASSERT_TRUE(f->AttivaCorrezioneRecord(task(1)));
    const auto ragsoc = [this] { return colonna("SELECT RAGSOC FROM CLIENTI"); };

    // The editor still open when the window closes: its text counts, and No drops it.
    risposta = Risposta::No;
    scriviCella(0, "RAGSOC", "Rossi", false);
    finestra.close();
    EXPECT_EQ(domandeSalva(), 1);
    EXPECT_EQ(ragsoc(), QStringList{"<null>"});

    testsupport::mostra(&finestra);
    risposta = Risposta::Si;
    scriviCella(0, "RAGSOC", "Bianchi");
    finestra.close();
    EXPECT_EQ(domandeSalva(), 2);
    EXPECT_EQ(ragsoc(), QStringList{"Bianchi"});

    // Hidden (the window back to its list) asks too; destroyed without a word writes nothing.
    testsupport::mostra(&finestra);
    scriviCella(0, "RAGSOC", "Neri");
    f->hide();
    EXPECT_EQ(domandeSalva(), 3);
    EXPECT_EQ(ragsoc(), QStringList{"Neri"});
    f->show();
    scriviCella(0, "RAGSOC", "Gialli");
    f.reset();
    EXPECT_EQ(domandeSalva(), 3);
    EXPECT_EQ(ragsoc(), QStringList{"Neri"});
}

TEST_F(FinestraCorr, LargeRecordSetsReadOnlyTheRowsOnScreenAndSelectAllRedrawsTheBarBoundedly)
{
    // How long these take is measured by bench/, not asserted here.
    molti(500000);
    ASSERT_TRUE(f->AttivaCorrezioneRecord(task(1)));
    QApplication::processEvents();
    f->DBGrid1->viewport()->repaint();
    auto* modello = static_cast<ModelloRecord*>(f->DBGrid1->model());
    EXPECT_LT(modello->rowCount(), 500000);  // the rest is listed as the grid scrolls
    // Only the rows on screen were read.
    EXPECT_LT(modello->RigheLette(), 200);

    f->PulsSelAll->click();
    EXPECT_EQ(f->RecordSelezionati(), 500000);
    EXPECT_LE(f->Barra().Ridisegni(), 102);
    f->DBGrid1->viewport()->repaint();
    EXPECT_LT(modello->RigheLette(), 400);
}

// Tab in an open cell keeps what was typed and leaves the grid, instead of opening the next cell;
// the edit is asked about only when the row is left.
TEST_F(FinestraCorr, TabFromAnOpenCellLeavesTheGrid)
{
    sql({"INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', NULL)",
         "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C2', NULL)"});
    ASSERT_TRUE(f->AttivaCorrezioneRecord(task(1)));
    scriviCella(0, "CODICE", "X", false);
    ASSERT_NE(QApplication::focusWidget(), f->DBGrid1);  // the cell's editor
    testsupport::tasto(f.get(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), f->PulsSelAll);
    EXPECT_EQ(cella(0, "CODICE"), "X");
    testsupport::tasto(f.get(), Qt::Key_Backtab, 1, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), f->DBGrid1);
    EXPECT_EQ(domandeSalva(), 0);
    risposta = Risposta::No;
    testsupport::tasto(f.get(), Qt::Key_Down);
    EXPECT_EQ(domandeSalva(), 1);
    EXPECT_EQ(cella(0, "CODICE"), "C1");
}
