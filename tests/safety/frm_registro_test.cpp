// The windowed way back (offscreen): the journal window lists the session's changes, shows their
// records, puts a change's records back and restores the session's safety copy; the maintenance
// window opens it with Ctrl+R.
#include "fixture_sicurezza.h"

#include "maintenance/frmregistro.h"
#include "maintenance/frmrepair.h"

#include <QShortcut>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

using namespace corvale;
using corvale::prova::ArchivioSicurezza;

namespace {
class FinestraRegistro : public ArchivioSicurezza {};
}  // namespace

TEST_F(FinestraRegistro, ListsUndoesAndRestores)
{
    sql({"INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', 'Rossi')",
         "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C2', NULL)",
         "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C3', ' ')"});
    const TaskCorrezione vuoti = taskDi("Controllo Schede Vuote Clienti");
    const QStringList prima = testsupport::sqliteDump(archivio());
    {
        FrmRegistro f(SessioneProva());
        EXPECT_EQ(f.LstVoci()->topLevelItemCount(), 0);
        EXPECT_FALSE(f.PulsAnnulla()->isEnabled());
        EXPECT_EQ(f.TxtDettaglio()->toPlainText(), "Nessuna modifica registrata.");
    }
    correggiTutti(vuoti, OptElimina);
    ASSERT_EQ(problemi(vuoti), 0);

    FrmRegistro f(SessioneProva());
    ASSERT_EQ(f.LstVoci()->topLevelItemCount(), 1);
    const QTreeWidgetItem* riga = f.LstVoci()->topLevelItem(0);
    EXPECT_EQ(riga->text(3), "eliminazione");
    EXPECT_EQ(riga->text(4), vuoti.Descrizione);
    EXPECT_EQ(riga->text(7), "2");
    EXPECT_TRUE(f.TxtDettaglio()->toPlainText().contains("CODICE = 'C2', RAGSOC = Null"))
        << f.TxtDettaglio()->toPlainText().toStdString();
    EXPECT_TRUE(f.PulsRipristina()->isEnabled());

    // "No" changes nothing; "Sì" puts the records back and the list shows the undo.
    risposta = Risposta::No;
    f.AnnullaModifica_Click();
    EXPECT_EQ(problemi(vuoti), 0);
    risposta = Risposta::Si;
    OperatoreDiProva().Mostrati().clear();
    f.AnnullaModifica_Click();
    EXPECT_EQ(testsupport::sqliteDump(archivio()), prima);
    EXPECT_EQ(OperatoreDiProva().Mostrati().last(), "Modifica 1 annullata: 2 record rimessi.");
    ASSERT_EQ(f.LstVoci()->topLevelItemCount(), 2);
    EXPECT_EQ(f.LstVoci()->topLevelItem(0)->text(3), "annullamento");
    EXPECT_EQ(f.LstVoci()->topLevelItem(1)->text(6), "annullata");

    // A later change, then the session's copy restored: the archive is as before the first change.
    correggiTutti(vuoti, OptElimina);
    f.Aggiorna();
    ASSERT_TRUE(f.Seleziona(1));
    f.RipristinaCopia_Click();
    EXPECT_TRUE(OperatoreDiProva().Mostrati().last().startsWith("Copia ")) << OperatoreDiProva().Mostrati().last().toStdString();
    EXPECT_EQ(testsupport::sqliteDump(archivio()), prima);
    EXPECT_EQ(f.LstVoci()->topLevelItem(0)->text(3), "ripristino");
    EXPECT_EQ(copie().size(), 2) << "the state before the restore is kept";

    // Ctrl+R in the maintenance window opens the journal.
    FrmRepair manutenzione(SessioneProva());
    auto* scorciatoia = manutenzione.findChild<QShortcut*>("ScRegistro");
    ASSERT_NE(scorciatoia, nullptr);
    EXPECT_EQ(scorciatoia->key(), QKeySequence(Qt::CTRL | Qt::Key_R));
}
