// The windowed way back (offscreen): the journal window lists the session's changes, shows their
// records, puts a change's records back and restores the session's safety copy; the maintenance
// window opens it with Ctrl+R.
#include "fixture_sicurezza.h"

#include "maintenance/frm_registro.h"
#include "maintenance/frm_repair.h"

#include <QHeaderView>
#include <QShortcut>
#include <QTest>
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
    EXPECT_TRUE(OperatoreDiProva().Mostrati().last().startsWith("Copia "))
        << OperatoreDiProva().Mostrati().last().toStdString();
    EXPECT_EQ(testsupport::sqliteDump(archivio()), prima);
    EXPECT_EQ(f.LstVoci()->topLevelItem(0)->text(3), "ripristino");
    EXPECT_EQ(copie().size(), 2) << "the state before the restore is kept";

    // Ctrl+R in the maintenance window opens the journal.
    FrmRepair manutenzione(SessioneProva());
    auto* scorciatoia = manutenzione.findChild<QShortcut*>("ScRegistro");
    ASSERT_NE(scorciatoia, nullptr);
    EXPECT_EQ(scorciatoia->key(), QKeySequence(Qt::CTRL | Qt::Key_R));
}

namespace {

// Clicks the row of the journal's entry id, as the operator does.
void clickVoce(FrmRegistro& f, qint64 id)
{
    QTreeWidget* l = f.LstVoci();
    for (int i = 0; i < l->topLevelItemCount(); ++i)
        if (l->topLevelItem(i)->text(0) == QString::number(id)) {
            QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(l->topLevelItem(i)).center());
            return;
        }
    ADD_FAILURE() << "no entry " << id;
}

}  // namespace

// Three changes of one session, driven with clicks: the restore names the change its copy really
// precedes; an undo the journal refuses says why without asking first and leaves the selection where
// the operator put it; every column shows its texts whole, and each cell's tooltip too.
TEST_F(FinestraRegistro, WhatTheWindowSaysIsWhatHappens)
{
    const TaskCorrezione vuoti = taskDi("Controllo Schede Vuote Clienti");
    for (int k = 1; k <= 3; ++k) {
        sql({QStringLiteral("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('V%1', NULL)").arg(k)});
        correggiTutti(vuoti, OptElimina);
    }
    FrmRegistro f(SessioneProva());
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    ASSERT_EQ(f.LstVoci()->topLevelItemCount(), 3);

    clickVoce(f, 3);
    EXPECT_EQ(f.Selezionata(), 3);
    risposta = Risposta::No;
    OperatoreDiProva().Mostrati().clear();
    QTest::mouseClick(f.PulsRipristina(), Qt::LeftButton);
    ASSERT_EQ(OperatoreDiProva().Mostrati().size(), 1);
    const QString domanda = OperatoreDiProva().Mostrati().first();
    EXPECT_TRUE(domanda.contains("prima della modifica 1 ")) << domanda.toStdString();
    for (qint64 id = 1; id <= 3; ++id)  // each change taken back, named with its time
        EXPECT_TRUE(domanda.contains(QStringLiteral("%1 (%2, eliminazione)").arg(id).arg(registro().Voce(id)->ora)))
            << domanda.toStdString();

    risposta = Risposta::Si;
    clickVoce(f, 2);
    QTest::mouseClick(f.PulsAnnulla(), Qt::LeftButton);
    EXPECT_EQ(OperatoreDiProva().Mostrati().last(), "Modifica 2 annullata: 1 record rimessi.");
    EXPECT_EQ(f.Selezionata(), 2);
    OperatoreDiProva().Mostrati().clear();
    QTest::mouseClick(f.PulsAnnulla(), Qt::LeftButton);
    ASSERT_EQ(OperatoreDiProva().Mostrati().size(), 1) << "asked before saying it cannot be undone";
    EXPECT_TRUE(OperatoreDiProva().Mostrati().first().contains("già stata annullata"));
    EXPECT_EQ(f.Selezionata(), 2);

    QTreeWidget* l = f.LstVoci();
    for (int i = 0; i < l->topLevelItemCount(); ++i)
        for (int c = 0; c < l->columnCount(); ++c) {
            const QTreeWidgetItem* it = l->topLevelItem(i);
            EXPECT_EQ(it->toolTip(c), it->text(c));
            if (c != 4)
                EXPECT_GE(l->header()->sectionSize(c), l->fontMetrics().horizontalAdvance(it->text(c)))
                    << "column " << c << ": " << it->text(c).toStdString();
        }
}
