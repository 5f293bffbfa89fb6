// The problem-record view inside the real maintenance window: "Dettagli" opens it on the task's
// records, "Esegui" corrects the selected ones and the task is checked again.
#include "records/fixture_record.h"
#include "support/sessione_prova.h"

#include "maintenance/frm_repair.h"
#include "maintenance/frm_corr.h"
#include "maintenance/griglia_record.h"
#include "support/eventi.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

using namespace corvale;
using corvale::prova::ArchivioRecord;

namespace {

class FinestraConVista : public ArchivioRecord {
protected:
    void SetUp() override
    {
        ArchivioRecord::SetUp();
        sql({"INSERT INTO AGENTI (CODAGE, RAGSOC) VALUES ('A1', 'Verdi')",
             "INSERT INTO FORNIT (COD, RAGSOC) VALUES ('F1', 'Ditta')",
             "INSERT INTO AGENZIA (COD, RAG) VALUES ('1', 'Sede')",
             "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', '  ')",
             "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C2', 'Rossi')",
             "INSERT INTO VENDITE (NUMORD, CODCLI) VALUES ('1', 'C9')",
             "INSERT INTO VENDITE (NUMORD, CODCLI) VALUES ('2', 'C8')"});
        SessioneProva().DbMaster = dbe::CreateDatabase(dir.filePath("esempio.mdb"));
        prova::Esegui(SessioneProva().DbMaster, {"CREATE TABLE LINEE (LINEA TEXT(10), DESCR TEXT(50))"});
    }
    // Selects the task-list row with that description.
    void scegli(FrmRepair& f, const QString& descrizione)
    {
        QTreeWidget* l = f.LstTask();
        for (int i = 0; i < l->topLevelItemCount(); ++i) {
            if (l->topLevelItem(i)->text(0) == descrizione) {
                l->setCurrentItem(l->topLevelItem(i));
                return;
            }
        }
        ADD_FAILURE() << "no row " << descrizione.toStdString();
    }
};

}  // namespace

TEST_F(FinestraConVista, DetailsThenExecuteCorrectsAndChecksAgain)
{
    FrmRepair f{SessioneProva()};
    auto* vista = f.FrmCorr()->findChild<FrmCorr*>();
    ASSERT_NE(vista, nullptr);
    testsupport::mostra(&f);
    f.Puls(0)->click();  // every check
    ASSERT_EQ(f.Modo(), ModoRepair::Risultati);

    scegli(f, "Controllo Ordini senza Clienti");
    f.Puls(2)->click();  // "Dettagli"
    ASSERT_EQ(f.Modo(), ModoRepair::VistaCorrezione);
    EXPECT_TRUE(vista->isVisibleTo(&f));
    EXPECT_EQ(vista->LDescr0->text(), "Controllo Ordini senza Clienti");
    EXPECT_EQ(vista->DBGrid1->model()->rowCount(), 2);
    EXPECT_EQ(vista->DbCmb->currentText(), "  ");  // the first customer, whose name is blank
    EXPECT_EQ(vista->DbCmb->itemText(1), "Rossi");

    f.Puls(2)->click();  // "Esegui" with nothing selected
    EXPECT_EQ(OperatoreDiProva().Mostrati(), QStringList{"Nessun record selezionato."});

    testsupport::scegliDallaLista(vista->DbCmb, 1);
    vista->PulsSelAll->click();
    f.Puls(2)->click();
    EXPECT_EQ(OperatoreDiProva().Mostrati().last(), "Riassegnare i record selezionati ?");
    EXPECT_EQ(colonna("SELECT CODCLI FROM VENDITE"), (QStringList{"C2", "C2"}));
    EXPECT_EQ(vista->DBGrid1->model()->rowCount(), 0);
    EXPECT_EQ(f.Modo(), ModoRepair::VistaCorrezione);
    EXPECT_EQ(f.LstTask()->currentItem()->text(1), "Verificato (OK)");

    // Back to the list, then an empty-record task: "Elimina" only.
    f.Puls(0)->click();
    scegli(f, "Controllo Schede Vuote Clienti");
    f.Puls(2)->click();
    ASSERT_EQ(f.Modo(), ModoRepair::VistaCorrezione);
    EXPECT_TRUE(vista->DbCmb->isHidden());
    vista->PulsSelAll->click();
    f.Puls(2)->click();
    EXPECT_EQ(OperatoreDiProva().Mostrati().last(), "Eliminare definitivamente i record selezionati ?");
    EXPECT_EQ(colonna("SELECT CODICE FROM CLIENTI"), QStringList{"C2"});
    EXPECT_EQ(f.LstTask()->currentItem()->text(1), "Verificato (OK)");
}

TEST_F(FinestraConVista, AFailingSetUpKeepsTheWindowOnTheList)
{
    FrmRepair f{SessioneProva()};
    f.show();
    f.Puls(0)->click();
    scegli(f, "Controllo Ordini senza Clienti");
    SessioneProva().DbArchivi.Execute("DROP TABLE CLIENTI");
    f.Puls(2)->click();
    EXPECT_EQ(f.Modo(), ModoRepair::Risultati);
    ASSERT_EQ(OperatoreDiProva().Mostrati().size(), 1);
    EXPECT_TRUE(OperatoreDiProva().Mostrati()[0].startsWith("Impossibile"))
        << OperatoreDiProva().Mostrati()[0].toStdString();
    EXPECT_TRUE(OperatoreDiProva().Mostrati()[0].contains(QChar(13)));
    EXPECT_FALSE(f.FrmCorr()->isVisibleTo(&f));
}
