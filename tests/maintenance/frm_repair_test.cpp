// The maintenance window itself on the offscreen platform: layout, the four modes and buttons,
// interruption by "Chiudi" during a run, the popup menu and the detail shown on a click, and the
// window driven by mouse and keys as an operator drives it: one view takes the input, one double
// click is one action, Enter, resizing, and a long check that keeps answering.
#include "core/sessione.h"
#include "core/operatore.h"
#include "support/sessione_prova.h"
#include "dbengine_inside.h"
#include "app/operatore_finestre.h"
#include "maintenance/frm_repair.h"
#include "maintenance/griglia_record.h"
#include "maintenance/frm_registro.h"
#include "support/altro_programma.h"
#include "records/correzione_en.h"
#include "support/archivi_prova.h"
#include "support/fixture_archivio.h"
#include "support/eventi.h"
#include "support/testo_intero.h"
#include "support/sqlite_file.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include "support/stampa_qt.h"

using namespace corvale;
using namespace testsupport;

namespace {

class FinestraManutenzione : public prova::ConArchivioCompleto {
protected:
    void SetUp() override
    {
        ConArchivioCompleto::SetUp();
        // An empty customer name and an order whose customer does not exist (its other references
        // are empty, which the orphan checks leave alone while their master tables have records).
        sql({"INSERT INTO AGENTI (CODAGE, RAGSOC) VALUES ('A1', 'Verdi')",
             "INSERT INTO FORNIT (COD, RAGSOC) VALUES ('F1', 'Ditta')",
             "INSERT INTO AGENZIA (COD, RAG) VALUES ('1', 'Sede')",
             "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', '  ')",
             "INSERT INTO VENDITE (NUMORD, CODCLI) VALUES ('1', 'C9')"});
        master({"CREATE TABLE Clienti (CODICE TEXT(10), RAGSOC TEXT(50))",
                "CREATE TABLE LINEE (LINEA TEXT(10), DESCR TEXT(50))"});
    }

    static QStringList chiavi(const FrmRepair& f)
    {
        QStringList k;
        const ModelloLista& l = const_cast<FrmRepair&>(f).Controllore().LstTask;
        for (int i = 0; i < l.Conta(); ++i)
            k << l.Riga(i).Chiave;
        return k;
    }
    static bool visibile(const FrmRepair& f, QWidget* w) { return w->isVisibleTo(const_cast<FrmRepair*>(&f)); }
    // Position of the task-list row with that key.
    static int posizione(FrmRepair& f, const QString& chiave)
    {
        const int pos = f.Controllore().LstTask.Trova(chiave);
        EXPECT_GE(pos, 0) << chiave.toStdString();
        return pos;
    }
    // Key of the structure task of that table.
    static QString chiaveStruttura(FrmRepair& f, const QString& tabella)
    {
        Manutenzione& m = f.Controllore();
        for (int li = 0; li < m.LstTask.Conta(); ++li)
            if (m.Task(li).Tipo == "ST" && m.Task(li).P[0].toUpper() == tabella)
                return m.LstTask.Riga(li).Chiave;
        ADD_FAILURE() << "no structure task for " << tabella.toStdString();
        return QString();
    }
    static QString stato(FrmRepair& f, const QString& chiave)
    {
        return f.LstTask()->topLevelItem(posizione(f, chiave))->text(1);
    }
    static QStringList campi(const dbe::Database& db, const QString& tabella)
    {
        QStringList n;
        dbe::TableDef t = db.TableDefs().Item(tabella);
        for (int i = 0; i < t.Fields().Count(); ++i)
            n << t.Fields().Item(i).Name();
        return n;
    }
};

}  // namespace

TEST_F(FinestraManutenzione, LoadsTheCatalogueInSelectionMode)
{
    FrmRepair f{SessioneProva()};
    EXPECT_EQ(f.windowTitle(), "Manutenzione Archivi");
    EXPECT_EQ(f.size(), QSize(485, 441));
    EXPECT_EQ(f.LstTask()->geometry(), QRect(4, 4, 473, 329));
    EXPECT_EQ(f.Puls(3)->geometry(), QRect(372, 408, 105, 30));
    EXPECT_EQ(f.LstTask()->headerItem()->text(0), "Azione");
    EXPECT_EQ(f.LstTask()->headerItem()->text(1), "Stato");
    // The designed widths are the least the columns get; the description takes the room left.
    EXPECT_GE(f.LstTask()->columnWidth(0), 300);
    EXPECT_GE(f.LstTask()->columnWidth(1), 133);
    EXPECT_EQ(f.LstStruct()->headerItem()->text(1), "Stato");
    EXPECT_GE(f.LstStruct()->columnWidth(0), 267);
    EXPECT_GE(f.LstStruct()->columnWidth(1), 100);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(f.Puls(i), f.findChild<QPushButton*>(QStringLiteral("Puls%1").arg(i)));

    EXPECT_EQ(f.Modo(), ModoRepair::Selezione);
    EXPECT_EQ(f.Puls(0)->text(), "Avvia Controllo");
    EXPECT_TRUE(f.Puls(0)->isEnabled());
    EXPECT_FALSE(visibile(f, f.Puls(1)));
    EXPECT_FALSE(visibile(f, f.Puls(2)));
    EXPECT_EQ(f.Puls(3)->text(), "Chiudi");
    EXPECT_TRUE(visibile(f, f.FrmLog()));
    EXPECT_FALSE(visibile(f, f.TxtDett()));
    EXPECT_FALSE(visibile(f, f.FrmCorr()));
    EXPECT_FALSE(visibile(f, f.FrmStruct()));
    EXPECT_EQ(f.LblStat()->text(), "Spuntare i controlli da effettuare");

    // Two structure checks, then the 29 data checks, every row ticked and waiting.
    QTreeWidget* l = f.LstTask();
    ASSERT_EQ(l->topLevelItemCount(), 31);
    EXPECT_EQ(l->topLevelItem(0)->text(0), "Controllo Struttura Tabella <<CLIENTI>>");
    EXPECT_EQ(l->topLevelItem(2)->text(0), "Controllo Schede Vuote Clienti");
    for (int i = 0; i < 31; ++i) {
        EXPECT_EQ(l->topLevelItem(i)->checkState(0), Qt::Checked);
        EXPECT_EQ(l->topLevelItem(i)->text(1), "Da Eseguire");
        EXPECT_FALSE(l->topLevelItem(i)->icon(0).isNull());
    }
}

TEST_F(FinestraManutenzione, ButtonsThroughEveryMode)
{
    FrmRepair f{SessioneProva()};
    int scaricata = 0;
    QObject::connect(&f, &FrmRepair::scaricata, [&] { ++scaricata; });
    Manutenzione& m = f.Controllore();
    QList<int> aperte, corrette;
    m.Correzioni.AttivaCorrezioneRecord = [&](int i) { aperte << i; };
    m.Correzioni.GestisciCorrezioneEN = [&](int i) {
        corrette << i;
        SessioneProva().DbArchivi.Execute("DELETE FROM CLIENTI WHERE CODICE='C1'");
    };

    // "Controlla" and "Correggi" without a selected row, in selection mode: nothing.
    f.Puls(1)->click();
    f.Puls_Click(2);
    EXPECT_EQ(f.Modo(), ModoRepair::Selezione);
    EXPECT_TRUE(OperatoreDiProva().Mostrati().isEmpty());

    f.Puls(0)->click();
    EXPECT_EQ(f.Modo(), ModoRepair::Risultati);
    EXPECT_TRUE(OperatoreDiProva().Mostrati().isEmpty());
    EXPECT_EQ(chiavi(f), QStringList({"0003K", "0009K"}));
    EXPECT_EQ(f.LstTask()->currentItem(), f.LstTask()->topLevelItem(0));
    EXPECT_EQ(f.Puls(0)->text(), "Ripristina");
    EXPECT_EQ(f.Puls(2)->text(), "Dettagli");
    EXPECT_TRUE(visibile(f, f.Puls(1)));
    EXPECT_TRUE(visibile(f, f.Puls(2)));
    EXPECT_TRUE(visibile(f, f.TxtDett()));
    EXPECT_FALSE(visibile(f, f.FrmLog()));
    EXPECT_EQ(f.LstTask()->topLevelItem(0)->text(1), "Rilevati Problemi");
    EXPECT_EQ(m.ElencoTask[3].Dettaglio, "Rilevati 1 record nulli o scollegati");

    // "Dettagli" on a data task with problems opens the record view.
    f.Puls(2)->click();
    EXPECT_EQ(aperte, QList<int>({3}));
    EXPECT_EQ(f.Modo(), ModoRepair::VistaCorrezione);
    EXPECT_EQ(f.Puls(0)->text(), "Visualizza Lista");
    EXPECT_EQ(f.Puls(2)->text(), "Esegui");
    EXPECT_TRUE(visibile(f, f.FrmCorr()));

    // "Esegui" with no record selected in the grid refuses; with one, corrects and re-checks.
    f.Puls(2)->click();
    EXPECT_EQ(OperatoreDiProva().Mostrati(), QStringList({"Nessun record selezionato."}));
    EXPECT_TRUE(corrette.isEmpty());
    m.Correzioni.RecordSelezionati = [] { return 1; };
    f.Puls(2)->click();
    EXPECT_EQ(corrette, QList<int>({3}));
    EXPECT_EQ(f.Modo(), ModoRepair::VistaCorrezione);
    EXPECT_EQ(m.ElencoTask[3].Stato, "VER_OK");
    EXPECT_EQ(f.LstTask()->topLevelItem(0)->text(1), "Verificato (OK)");
    EXPECT_EQ(f.LstTask()->topLevelItem(0)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(f.TxtDett()->toPlainText(), "Controllo superato con successo");
    EXPECT_EQ(chiavi(f).size(), 2);

    // Back to the list; "Dettagli" on the task that now passes does nothing.
    f.Puls(0)->click();
    EXPECT_EQ(f.Modo(), ModoRepair::Risultati);
    EXPECT_FALSE(visibile(f, f.FrmCorr()));
    f.Puls(2)->click();
    EXPECT_EQ(f.Modo(), ModoRepair::Risultati);
    EXPECT_EQ(aperte.size(), 1);

    // "Ripristina" reloads the whole catalogue, ticked and waiting.
    f.Puls(0)->click();
    EXPECT_EQ(f.Modo(), ModoRepair::Selezione);
    ASSERT_EQ(f.LstTask()->topLevelItemCount(), 31);
    EXPECT_EQ(f.LstTask()->topLevelItem(2)->text(1), "Da Eseguire");
    EXPECT_EQ(f.LstTask()->topLevelItem(2)->checkState(0), Qt::Checked);
    EXPECT_EQ(scaricata, 0);

    f.Puls(3)->click();
    EXPECT_EQ(scaricata, 1);
    EXPECT_EQ(f.result(), QDialog::Rejected);
}

TEST_F(FinestraManutenzione, FailedCheckOffersNoCorrectionAndEmptyRunChangesNothing)
{
    SessioneProva().DbArchivi.Execute("DROP TABLE AGENDA");
    FrmRepair f{SessioneProva()};
    QList<int> aperte;
    f.Controllore().Correzioni.AttivaCorrezioneRecord = [&](int i) { aperte << i; };

    // Nothing ticked: the notice, then results mode with the list as it was.
    for (int i = 0; i < f.LstTask()->topLevelItemCount(); ++i)
        f.LstTask()->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
    f.Puls(0)->click();
    EXPECT_EQ(OperatoreDiProva().Mostrati(), QStringList({"Nessuna azione selezionata."}));
    EXPECT_EQ(f.Modo(), ModoRepair::Risultati);
    EXPECT_EQ(f.LstTask()->topLevelItemCount(), 31);
    EXPECT_EQ(f.LstTask()->topLevelItem(5)->text(1), "Da Eseguire");

    // The agenda check (data check 25, key 0027K) alone: its query fails.
    f.Puls(0)->click();  // Ripristina
    const int agenda = f.Controllore().LstTask.Trova("0027K");
    f.Controllore().LstTask.Seleziona(agenda);
    f.Controllore().SelezionaSoloQuesto();
    OperatoreDiProva().Mostrati().clear();
    f.Puls(0)->click();
    ASSERT_EQ(chiavi(f), QStringList({"0027K"}));
    const DatiTask& t = f.Controllore().ElencoTask[27];
    EXPECT_EQ(t.Stato, "VER_PRB");
    EXPECT_EQ(t.Correggibile, "N");
    EXPECT_EQ(t.Dettaglio, "Impossibile eseguire il controllo... probabile errore di definizione struttura.");
    f.Puls(2)->click();
    EXPECT_EQ(f.Modo(), ModoRepair::Risultati);
    EXPECT_TRUE(aperte.isEmpty());

    // "Controlla" re-runs the selected task and shows its detail.
    f.TxtDett()->clear();
    f.Puls(1)->click();
    EXPECT_EQ(f.TxtDett()->toPlainText(), t.Dettaglio);
}

TEST_F(FinestraManutenzione, DettagliOnAStructureTaskShowsItsCorrections)
{
    SessioneProva().DbMaster.Execute("ALTER TABLE Clienti ADD COLUMN NOTE TEXT(40)");
    FrmRepair f{SessioneProva()};
    f.Puls(0)->click();
    ASSERT_EQ(chiavi(f).first(), "0001K");
    EXPECT_EQ(f.Controllore().ElencoTask[1].P[2], "NO-FLD>NOTE");
    f.Puls(2)->click();
    EXPECT_EQ(f.Modo(), ModoRepair::VistaCorrezione);
    EXPECT_TRUE(visibile(f, f.FrmStruct()));
    EXPECT_FALSE(visibile(f, f.FrmCorr()));
    ASSERT_EQ(f.LstStruct()->topLevelItemCount(), 1);
    EXPECT_EQ(f.LstStruct()->topLevelItem(0)->text(0), "Aggiunta Campo NOTE");
    EXPECT_EQ(f.LstStruct()->topLevelItem(0)->text(1), "Da Eseguire");
    EXPECT_EQ(f.LstStruct()->topLevelItem(0)->checkState(0), Qt::Checked);
    f.Puls(0)->click();
    EXPECT_EQ(f.Modo(), ModoRepair::Risultati);
    EXPECT_TRUE(visibile(f, f.LstTask()));
}

TEST_F(FinestraManutenzione, ChiudiDuringTheRunAnsweredYesStopsTheLoop)
{
    FrmRepair f{SessioneProva()};
    int scaricata = 0;
    QObject::connect(&f, &FrmRepair::scaricata, [&] { ++scaricata; });
    int cessioni = 0;
    f.Controllore().Cedi = [&] {
        // The operator presses "Chiudi" while the third task is about to run.
        if (++cessioni == 3)
            f.Puls(3)->click();
        QCoreApplication::processEvents();
    };
    risposta = Risposta::Si;
    f.Puls(0)->click();
    EXPECT_EQ(cessioni, 3);
    EXPECT_EQ(OperatoreDiProva().Mostrati(), QStringList({"Interrompere l'analisi ?"}));
    EXPECT_EQ(scaricata, 0);
    EXPECT_EQ(f.Modo(), ModoRepair::Risultati);
    EXPECT_FALSE(f.Controllore().Interrompi);
    // The two structure checks passed and are gone; the empty customer stays; the rest never ran.
    const QStringList k = chiavi(f);
    ASSERT_EQ(k.size(), 29);
    EXPECT_EQ(k.first(), "0003K");
    EXPECT_EQ(k[1], "0004K");
    EXPECT_EQ(k.last(), "0031K");
    EXPECT_EQ(f.LstTask()->topLevelItem(1)->text(1), "Da Eseguire");
    EXPECT_EQ(f.LstTask()->topLevelItem(1)->checkState(0), Qt::Checked);

    f.Puls(3)->click();
    EXPECT_EQ(scaricata, 1);
}

TEST_F(FinestraManutenzione, ChiudiDuringTheRunAnsweredNoGoesOn)
{
    FrmRepair f{SessioneProva()};
    int cessioni = 0;
    f.Controllore().Cedi = [&] {
        if (++cessioni == 3)
            f.Puls(3)->click();
        QCoreApplication::processEvents();
    };
    risposta = Risposta::No;
    f.Puls(0)->click();
    EXPECT_EQ(cessioni, 31);
    EXPECT_EQ(OperatoreDiProva().Mostrati(), QStringList({"Interrompere l'analisi ?"}));
    EXPECT_EQ(chiavi(f), QStringList({"0003K", "0009K"}));
    EXPECT_FALSE(f.Controllore().Interrompi);
}

TEST_F(FinestraManutenzione, ProgressTextAndClosingTheWindowDuringARun)
{
    FrmRepair f{SessioneProva()};
    f.show();
    QStringList avanzamento;
    int cessioni = 0;
    f.Controllore().Cedi = [&] {
        avanzamento << f.LblStat()->text();
        if (++cessioni == 1)
            f.close();  // the system's close box during the run is an interruption request
    };
    risposta = Risposta::Si;
    f.Puls(0)->click();
    ASSERT_EQ(avanzamento.size(), 1);
    EXPECT_EQ(avanzamento[0], "Analisi dati in corso ...\n[Controllo Struttura Tabella <<CLIENTI>>]");
    EXPECT_EQ(f.Controllore().LblStat(),
              QString("Analisi dati in corso ...") + QChar(13) + "[Controllo Struttura Tabella <<LINEE>>]");
    EXPECT_EQ(f.Modo(), ModoRepair::Risultati);
}

TEST_F(FinestraManutenzione, PopupMenuAndDetailOnClick)
{
    FrmRepair f{SessioneProva()};
    mostra(&f);
    QTreeWidget* l = f.LstTask();
    f.Controllore().ElencoTask[4].Dettaglio = "dettaglio quattro";
    f.Controllore().ImpostaStato(3, "VER_PRB");  // a task waiting to run shows no detail
    const QList<QAction*> voci = f.MnLst()->actions();
    ASSERT_GE(voci.size(), 3);  // the list's three items come first

    // Without a selected row only "Seleziona Tutti" would act.
    l->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    voci[1]->trigger();
    voci[2]->trigger();
    EXPECT_EQ(l->topLevelItem(0)->checkState(0), Qt::Checked);
    EXPECT_EQ(l->topLevelItem(1)->checkState(0), Qt::Unchecked);

    clic(l->viewport(), l->visualItemRect(l->topLevelItem(3)).center());
    EXPECT_EQ(l->currentItem(), l->topLevelItem(3));
    EXPECT_EQ(f.TxtDett()->toPlainText(), "dettaglio quattro");

    clic(l->viewport(), QPoint(20, 20), Qt::NoModifier, Qt::RightButton);
    EXPECT_TRUE(f.MnLst()->isVisible());
    EXPECT_EQ(voci[0]->text(), "Seleziona Tutti");
    EXPECT_EQ(voci[1]->text(), "Seleziona solo questo");
    EXPECT_EQ(voci[2]->text(), "Inverti selezione fino in fondo");
    f.MnLst()->hide();

    // Inverting from the fourth row leaves the three above as they were.
    l->topLevelItem(4)->setCheckState(0, Qt::Unchecked);
    voci[2]->trigger();
    EXPECT_EQ(l->topLevelItem(1)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(l->topLevelItem(3)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(l->topLevelItem(4)->checkState(0), Qt::Checked);
    EXPECT_EQ(l->topLevelItem(30)->checkState(0), Qt::Unchecked);
    EXPECT_TRUE(f.Controllore().LstTask.Riga(4).Spuntata);

    voci[1]->trigger();
    for (int i = 0; i < l->topLevelItemCount(); ++i)
        EXPECT_EQ(l->topLevelItem(i)->checkState(0), i == 3 ? Qt::Checked : Qt::Unchecked) << i;
    voci[0]->trigger();
    for (int i = 0; i < l->topLevelItemCount(); ++i)
        EXPECT_EQ(l->topLevelItem(i)->checkState(0), Qt::Checked) << i;
    f.Puls(3)->click();
}

// The correction view takes the input alone: keys that once reached the task list hidden behind it
// (Tab three times, Down three times) move nothing, and "Esegui" corrects the task the view shows.
TEST_F(FinestraManutenzione, EseguiCorrectsTheTaskWhoseViewIsShown)
{
    SessioneProva().DbMaster.Execute("ALTER TABLE Clienti ADD COLUMN NOTE TEXT(40)");
    SessioneProva().DbMaster.Execute("CREATE TABLE FORNIT (COD TEXT(10), RAGSOC TEXT(50), NOTE TEXT(40))");
    FrmRepair f{SessioneProva()};
    mostra(&f);
    const QString clienti = chiaveStruttura(f, "CLIENTI"), fornit = chiaveStruttura(f, "FORNIT");
    clic(f.Puls(0));
    ASSERT_EQ(f.Modo(), ModoRepair::Risultati);
    ASSERT_EQ(stato(f, clienti), "Rilevati Problemi");
    ASSERT_EQ(stato(f, fornit), "Rilevati Problemi");

    clicRiga(f.LstTask(), posizione(f, clienti));
    clic(f.Puls(2));  // Dettagli
    ASSERT_EQ(f.Modo(), ModoRepair::VistaCorrezione);
    EXPECT_FALSE(f.LstTask()->isVisible());
    for (int i = 0; i < 3; ++i) {
        tasto(&f, Qt::Key_Tab);
        EXPECT_NE(QApplication::focusWidget(), f.LstTask());
    }
    tasto(&f, Qt::Key_Down, 3);
    EXPECT_EQ(f.Controllore().LstTask.Selezionata(), posizione(f, clienti));

    clic(f.Puls(2));  // Esegui
    EXPECT_TRUE(campi(SessioneProva().DbArchivi, "CLIENTI").contains("NOTE"));
    EXPECT_FALSE(campi(SessioneProva().DbArchivi, "FORNIT").contains("NOTE"));
    EXPECT_EQ(f.LstStruct()->topLevelItemCount(), 0);  // nothing left to correct in CLIENTI
    EXPECT_EQ(stato(f, clienti), "Verificato (OK)");
    EXPECT_EQ(stato(f, fornit), "Rilevati Problemi");
    EXPECT_EQ(f.TxtDett()->toPlainText(), "Controllo superato con successo");
}

// A double click on a button that changes the mode is one press: the second click never presses
// the button that took its place.
TEST_F(FinestraManutenzione, ADoubleClickIsOneAction)
{
    SessioneProva().DbMaster.Execute("ALTER TABLE Clienti ADD COLUMN NOTE TEXT(40)");
    FrmRepair f{SessioneProva()};
    mostra(&f);
    doppioClic(f.Puls(0));  // "Avvia Controllo": one run, not a run then "Ripristina"
    ASSERT_EQ(f.Modo(), ModoRepair::Risultati);
    EXPECT_EQ(chiavi(f), QStringList({"0001K", "0003K", "0009K"}));

    doppioClic(f.Puls(2));  // "Dettagli", not "Dettagli" then "Esegui"
    ASSERT_EQ(f.Modo(), ModoRepair::VistaCorrezione);
    ASSERT_EQ(f.LstStruct()->topLevelItemCount(), 1);
    EXPECT_EQ(f.LstStruct()->topLevelItem(0)->text(1), "Da Eseguire");
    EXPECT_FALSE(campi(SessioneProva().DbArchivi, "CLIENTI").contains("NOTE"));

    doppioClic(f.Puls(0));  // "Visualizza Lista", not then "Ripristina"
    EXPECT_EQ(f.Modo(), ModoRepair::Risultati);
    EXPECT_EQ(chiavi(f), QStringList({"0001K", "0003K", "0009K"}));
    EXPECT_EQ(stato(f, "0003K"), "Rilevati Problemi");

    // Two clicks further apart are two presses.
    clic(f.Puls(2));
    clic(f.Puls(2));
    EXPECT_TRUE(campi(SessioneProva().DbArchivi, "CLIENTI").contains("NOTE"));
    EXPECT_TRUE(OperatoreDiProva().Mostrati().isEmpty());
}

// Enter presses the focused button; the detail box follows the row moved by the keys and never
// shows an earlier run's text; the window grows and its views with it, rows carry their whole text.
TEST_F(FinestraManutenzione, KeysDetailAndResizing)
{
    FrmRepair f{SessioneProva()};
    mostra(&f);
    f.Puls(0)->setFocus(Qt::TabFocusReason);
    tasto(&f, Qt::Key_Return);
    ASSERT_EQ(f.Modo(), ModoRepair::Risultati);
    EXPECT_EQ(f.TxtDett()->toPlainText(), "Rilevati 1 record nulli o scollegati");
    f.Controllore().ElencoTask[9].Dettaglio = "dettaglio nove";
    f.LstTask()->setFocus(Qt::TabFocusReason);
    tasto(&f, Qt::Key_Down);
    EXPECT_EQ(f.TxtDett()->toPlainText(), "dettaglio nove");

    // A new run: the old text goes at once and the first remaining task's comes after the run.
    clic(f.Puls(0));  // Ripristina
    f.Controllore().ElencoTask[3].Dettaglio = "vecchio";
    QString durante;
    f.Controllore().Cedi = [&] { durante = f.TxtDett()->toPlainText(); };
    SessioneProva().DbArchivi.Execute("DELETE FROM CLIENTI");
    clic(f.Puls(0));
    EXPECT_EQ(durante, "");
    EXPECT_EQ(chiavi(f), QStringList({"0009K"}));
    EXPECT_EQ(f.TxtDett()->toPlainText(), "Rilevati 1 record nulli o scollegati");

    // Rows carry their whole text; the description column takes the room the state leaves.
    QTreeWidget* l = f.LstTask();
    EXPECT_EQ(l->topLevelItem(0)->toolTip(0), l->topLevelItem(0)->text(0));
    const int prima = l->columnWidth(0);
    EXPECT_GE(prima + l->columnWidth(1), l->viewport()->width() - 1);
    EXPECT_GE(l->columnWidth(1), l->fontMetrics().horizontalAdvance("Rilevati Problemi"));
    f.resize(f.width() + 200, f.height() + 100);
    QApplication::processEvents();
    EXPECT_EQ(l->width(), 473 + 200);
    EXPECT_EQ(l->height(), 329 + 100);
    EXPECT_EQ(f.Puls(3)->geometry(), QRect(372 + 200, 408 + 100, 105, 30));
    for (const char* t : {"Avvia Controllo", "Ripristina", "Visualizza Lista"})
        EXPECT_TRUE(testoIntero(f.Puls(0), t)) << t;
    EXPECT_TRUE(testoIntero(f.Puls(2), "Dettagli"));
    EXPECT_LT(f.Puls(2)->geometry().right(), f.Puls(3)->x());
    EXPECT_EQ(f.TxtDett()->geometry().bottom(), f.Puls(3)->y() - 5);
    EXPECT_EQ(l->columnWidth(0), prima + 200);
}

// While a long check runs the window keeps answering: "Chiudi" brings the question during the
// check's own query (without the hourglass), Yes stops that query, and its row is left as the run
// leaves the rows it never came to.
TEST_F(FinestraManutenzione, ChiudiStopsTheRunningQuery)
{
    dbe::inside::Impl(SessioneProva().DbArchivi)
        ->exec("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 20000) "
               "INSERT INTO \"VENDITE\" (\"NUMORD\", \"CODCLI\") SELECT 'N' || x, 'X' || x FROM n");
    FrmRepair f{SessioneProva()};
    mostra(&f);
    Manutenzione& m = f.Controllore();
    m.IntervalloRisposta = 0;
    const QString chiave = "0009K";  // orders without customers
    ASSERT_EQ(m.ElencoTask[9].P[0], "VENDITE");
    ASSERT_EQ(m.ElencoTask[9].P[1], "CLIENTI");
    m.ElencoTask[9].Dettaglio = "prima";
    QStringList statoAllaDomanda;
    bool clessidraAllaDomanda = true;
    // The windows' own operator, answering where its box would show.
    struct OperatoreRisponde : OperatoreFinestre {
        std::function<Risposta()> risposta;
        Risposta Rispondi(const QString&, Pulsanti) override { return risposta(); }
    } operatoreFinestre;
    operatoreFinestre.risposta = [&] {
        statoAllaDomanda << stato(f, chiave);
        clessidraAllaDomanda = QGuiApplication::overrideCursor() != nullptr;
        return Risposta::Si;
    };
    SessioneProva().ImpostaOperatore(operatoreFinestre);
    bool premuto = false;
    QTimer operatore;
    QObject::connect(&operatore, &QTimer::timeout, [&] {
        if (!premuto && stato(f, chiave) == "Controllo in corso") {
            premuto = true;
            clic(f.Puls(3));
        }
    });
    operatore.start(0);
    clic(f.Puls(0));
    operatore.stop();
    SessioneProva().ImpostaOperatore(OperatoreDiProva());

    ASSERT_TRUE(premuto);
    EXPECT_EQ(statoAllaDomanda, QStringList({"Controllo in corso"}));
    EXPECT_FALSE(clessidraAllaDomanda);
    EXPECT_EQ(f.Modo(), ModoRepair::Risultati);
    EXPECT_FALSE(m.Interrompi);
    // The stopped task and every later one wait, ticked; the earlier passed ones are gone.
    const QStringList k = chiavi(f);
    ASSERT_EQ(k.first(), "0003K");
    EXPECT_EQ(k[1], chiave);
    EXPECT_EQ(k.last(), "0031K");
    EXPECT_EQ(stato(f, chiave), "Da Eseguire");
    EXPECT_EQ(f.LstTask()->topLevelItem(1)->checkState(0), Qt::Checked);
    EXPECT_EQ(m.ElencoTask[9].Stato, "START");
    EXPECT_EQ(m.ElencoTask[9].Correggibile, "");
    EXPECT_EQ(m.ElencoTask[9].Dettaglio, "prima");
    EXPECT_EQ(stato(f, "0010K"), "Da Eseguire");
}

// The window from the keyboard alone: Tab walks the controls in a sensible order, and a whole
// record correction (find the task, open its records, select some, choose, confirm) needs no mouse.
TEST_F(FinestraManutenzione, ARecordCorrectionByKeyboardAlone)
{
    for (int i = 2; i <= 7; ++i)
        SessioneProva().DbArchivi.Execute(QString("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C%1', NULL)").arg(i));
    FrmRepair f{SessioneProva()};
    mostra(&f);
    const auto focoDopoTab = [&](int volte, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QStringList nomi;
        for (int i = 0; i < volte; ++i) {
            tasto(&f, Qt::Key_Tab, 1, m);
            nomi << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "-");
        }
        return nomi;
    };
    f.Puls(0)->setFocus(Qt::TabFocusReason);
    tasto(&f, Qt::Key_Return);  // Avvia Controllo
    ASSERT_EQ(f.Modo(), ModoRepair::Risultati);
    ASSERT_EQ(QApplication::focusWidget(), f.LstTask());
    EXPECT_EQ(focoDopoTab(6), QStringList({"TxtDett", "Puls0", "Puls1", "Puls2", "Puls3", "LstTask"}));
    tasto(&f, Qt::Key_Home);
    ASSERT_EQ(chiavi(f).first(), "0003K");  // the empty customer names

    // Dettagli from the keyboard: the records' view takes the focus, in its grid.
    focoDopoTab(4);
    ASSERT_EQ(QApplication::focusWidget(), f.Puls(2));
    tasto(&f, Qt::Key_Return);
    ASSERT_EQ(f.Modo(), ModoRepair::VistaCorrezione);
    auto* griglia = f.findChild<GrigliaRecord*>("DBGrid1");
    ASSERT_NE(griglia, nullptr);
    EXPECT_EQ(QApplication::focusWidget(), griglia);
    // Tab leaves the grid (after the view's own controls come the detail box and the buttons);
    // Shift+Tab and Ctrl+Tab leave it too, and the grid's cells never trap the keys.
    EXPECT_EQ(focoDopoTab(5), QStringList({"PulsSelAll", "OptCorr(0)", "TxtDett", "Puls0", "Puls1"}));
    EXPECT_EQ(focoDopoTab(3), QStringList({"Puls2", "Puls3", "DBGrid1"}));
    tasto(&f, Qt::Key_Tab, 1, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), f.Puls(3));
    tasto(&f, Qt::Key_Tab);
    tasto(&f, Qt::Key_Tab, 1, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "PulsSelAll");
    tasto(&f, Qt::Key_Tab, 1, Qt::ShiftModifier);
    ASSERT_EQ(QApplication::focusWidget(), griglia);

    // Rows C1..C7: Space takes the current row, Shift with the arrows extends (and gives back what
    // it passed when it turns round), Ctrl with the arrows only moves, Ctrl+Space takes a row out.
    const auto codici = [&] {
        QStringList l;
        for (int r = 0; r < griglia->model()->rowCount(); ++r)
            if (griglia->model()->data(griglia->model()->index(r, 0), Qt::BackgroundRole).isValid())
                l << griglia->model()->data(griglia->model()->index(r, 0)).toString();
        return l;
    };
    ASSERT_EQ(griglia->model()->rowCount(), 7);
    tasto(&f, Qt::Key_Home, 1, Qt::ControlModifier);
    tasto(&f, Qt::Key_Down);
    tasto(&f, Qt::Key_Space);
    EXPECT_EQ(codici(), QStringList({"C2"}));
    tasto(&f, Qt::Key_Down, 2, Qt::ControlModifier);
    tasto(&f, Qt::Key_Down, 3, Qt::ShiftModifier);
    EXPECT_EQ(codici(), QStringList({"C2", "C4", "C5", "C6", "C7"}));
    tasto(&f, Qt::Key_Up, 2, Qt::ShiftModifier);
    EXPECT_EQ(codici(), QStringList({"C2", "C4", "C5"}));
    tasto(&f, Qt::Key_Up);
    tasto(&f, Qt::Key_Space, 1, Qt::ControlModifier);
    EXPECT_EQ(codici(), QStringList({"C2", "C5"}));
    EXPECT_EQ(f.Controllore().Correzioni.RecordSelezionati(), 2);

    // "Elimina" is the chosen action; Tab to "Esegui", Enter, and the question answered Yes.
    focoDopoTab(6);
    ASSERT_EQ(QApplication::focusWidget(), f.Puls(2));
    tasto(&f, Qt::Key_Return);
    EXPECT_EQ(OperatoreDiProva().Mostrati(), QStringList{kDomandaElimina});
    QStringList restano;
    dbe::Recordset rs = SessioneProva().DbArchivi.OpenRecordset("SELECT CODICE FROM CLIENTI ORDER BY CODICE");
    for (; !rs.Eof(); rs.MoveNext())
        restano << rs.Value("CODICE").toString();
    EXPECT_EQ(restano, QStringList({"C1", "C3", "C4", "C6", "C7"}));
}

// A structure row that fails keeps its outcome through the re-check after "Esegui" and through a
// new "Dettagli": the state, the icon, the reason on hover and in the detail box, until it is run
// again.
TEST_F(FinestraManutenzione, AFailedStructureRowKeepsItsOutcomeAfterTheRecheck)
{
    SessioneProva().DbArchivi.Execute("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C2', 'Rossi')");
    SessioneProva().DbMaster.Execute("DROP TABLE Clienti");
    SessioneProva().DbMaster.Execute("CREATE TABLE Clienti (CODICE TEXT(10), RAGSOC LONG, NOTE TEXT(40))");
    FrmRepair f{SessioneProva()};
    mostra(&f);
    const QString clienti = chiaveStruttura(f, "CLIENTI");
    clic(f.Puls(0));
    clicRiga(f.LstTask(), posizione(f, clienti));
    clic(f.Puls(2));  // Dettagli
    ASSERT_EQ(f.LstStruct()->topLevelItemCount(), 2);
    const QString daEseguire = f.LstStruct()->topLevelItem(1)->text(1);
    const QIcon iconaDaEseguire = f.LstStruct()->topLevelItem(1)->icon(0);
    clic(f.Puls(2));  // Esegui: the field comes, the type change is refused (Rossi is no number)
    EXPECT_TRUE(campi(SessioneProva().DbArchivi, "CLIENTI").contains("NOTE"));
    ASSERT_EQ(f.LstStruct()->topLevelItemCount(), 1);
    QTreeWidgetItem* riga = f.LstStruct()->topLevelItem(0);
    const QString nota = f.Controllore().LstStruct.Riga(0).Nota;
    const auto controllaEsito = [&](const char* quando) {
        riga = f.LstStruct()->topLevelItem(0);
        EXPECT_EQ(riga->text(1), "Non e' stato possibile correggere") << quando;
        EXPECT_NE(riga->icon(0).cacheKey(), iconaDaEseguire.cacheKey()) << quando;
        EXPECT_FALSE(nota.isEmpty()) << quando;
        EXPECT_TRUE(riga->toolTip(1).contains(nota)) << quando;
        EXPECT_TRUE(f.TxtDett()->toPlainText().contains(QString(nota).replace('\r', '\n')))
            << quando << ": " << f.TxtDett()->toPlainText().toStdString();
    };
    controllaEsito("after the re-check");
    EXPECT_EQ(daEseguire, "Da Eseguire");

    // Back to the list and in again: still there; choosing the row shows its reason in full.
    clic(f.Puls(0));
    clic(f.Puls(2));
    ASSERT_EQ(f.Modo(), ModoRepair::VistaCorrezione);
    f.TxtDett()->clear();
    clicRiga(f.LstStruct(), 0);
    controllaEsito("on a new Dettagli");

    // Run again once the value is a number: the row's new outcome replaces the old one.
    SessioneProva().DbArchivi.Execute("UPDATE CLIENTI SET RAGSOC = '12' WHERE CODICE = 'C2'");
    SessioneProva().DbArchivi.Execute("UPDATE CLIENTI SET RAGSOC = '0' WHERE CODICE = 'C1'");
    clic(f.Puls(2));
    EXPECT_EQ(f.LstStruct()->topLevelItemCount(), 0);
    EXPECT_EQ(stato(f, clienti), "Verificato (OK)");
}

// An attribute row the engine cannot apply (a hyperlink on a text) comes unticked with its reason,
// is not run by "Esegui", and reads the same after the re-check, while the other rows are run. An
// index whose rebuild fails (unique over two records alike) is gone: the re-check lists it as
// missing, and that row carries the failure with the way back.
TEST_F(FinestraManutenzione, AnAttributeRowThatCannotBeAppliedAndAnIndexLostAreShownWithTheirReasons)
{
    SessioneProva().DbArchivi.Execute("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', '  ')");
    SessioneProva().DbArchivi.Execute("CREATE INDEX IdxRag ON CLIENTI (RAGSOC)");
    SessioneProva().DbMaster.Execute("ALTER TABLE Clienti ADD COLUMN NOTE TEXT(40)");
    SessioneProva().DbMaster.Execute("CREATE UNIQUE INDEX IdxRag ON Clienti (RAGSOC, CODICE)");
    sqliteExec(dir.filePath("esempio.mdb"),
               "INSERT OR REPLACE INTO MSysFields VALUES ('Clienti', 'CODICE', 32770, 0, 0)");
    SessioneProva().DbMaster.TableDefs().Refresh();
    FrmRepair f{SessioneProva()};
    mostra(&f);
    clic(f.Puls(0));
    clicRiga(f.LstTask(), posizione(f, chiaveStruttura(f, "CLIENTI")));
    clic(f.Puls(2));  // Dettagli
    ASSERT_EQ(f.LstStruct()->topLevelItemCount(), 3);
    const auto controlla = [&](int r, const char* quando) {
        QTreeWidgetItem* riga = f.LstStruct()->topLevelItem(r);
        EXPECT_EQ(riga->text(0), "Correzione Attributi Campo CODICE a 32770") << quando;
        EXPECT_EQ(riga->text(1), "Non applicabile") << quando;
        EXPECT_EQ(riga->checkState(0), Qt::Unchecked) << quando;
        EXPECT_TRUE(riga->toolTip(1).contains("«collegamento ipertestuale» (32768)")) << riga->toolTip(1).toStdString();
    };
    controlla(2, "listed");
    EXPECT_EQ(f.LstStruct()->topLevelItem(0)->checkState(0), Qt::Checked);
    clic(f.Puls(2));  // Esegui
    EXPECT_TRUE(campi(SessioneProva().DbArchivi, "CLIENTI").contains("NOTE"));
    ASSERT_EQ(f.LstStruct()->topLevelItemCount(), 2);
    controlla(1, "after the re-check");
    EXPECT_EQ(SessioneProva().DbArchivi.TableDefs().Item("CLIENTI").Fields().Item("CODICE").Attributes(), 2);
    QTreeWidgetItem* indice = f.LstStruct()->topLevelItem(0);
    EXPECT_EQ(indice->text(0), "Aggiunta Indice IdxRag");
    EXPECT_EQ(indice->text(1), "Non e' stato possibile correggere");
    EXPECT_TRUE(
        indice->toolTip(1).contains(QRegularExpression("L'indice IdxRag che la tabella \\w+ aveva è stato eliminato"))
        && indice->toolTip(1).contains("\"Ripristina copia\""))
        << indice->toolTip(1).toStdString();
}

// A run stopped by the operator after a full one: the rows it never came to, and the one it
// stopped, wait with nothing of the earlier run in the detail box (no count).
TEST_F(FinestraManutenzione, AnInterruptedRunShowsNoCountsOfTheRunBefore)
{
    SessioneProva().DbMaster.Execute("ALTER TABLE Clienti ADD COLUMN NOTE TEXT(40)");
    FrmRepair f{SessioneProva()};
    mostra(&f);
    Manutenzione& m = f.Controllore();
    clic(f.Puls(0));
    ASSERT_EQ(m.ElencoTask[3].Dettaglio, "Rilevati 1 record nulli o scollegati");
    clic(f.Puls(0));  // Ripristina
    int cessioni = 0;
    m.Cedi = [&] {
        if (++cessioni == 1)
            f.Puls(3)->click();
        QCoreApplication::processEvents();
    };
    clic(f.Puls(0));
    ASSERT_EQ(f.Modo(), ModoRepair::Risultati);
    int attesa = 0;
    f.LstTask()->setFocus(Qt::TabFocusReason);
    tasto(&f, Qt::Key_Home);
    for (int pos = 0; pos < f.LstTask()->topLevelItemCount(); ++pos) {
        if (pos > 0) {
            m.ImpostaTxtDett("x");
            tasto(&f, Qt::Key_Down);
        }
        if (stato(f, chiavi(f)[pos]) != "Da Eseguire")
            continue;  // a row this run did check
        ++attesa;
        EXPECT_EQ(f.TxtDett()->toPlainText(), "") << chiavi(f)[pos].toStdString();
    }
    EXPECT_GE(attesa, 29);
}

// Another program, then another Corvale, on the same archive: "Esegui" on a view filled before
// another program wrote fills it again and corrects nothing; a safety copy is restored only when no
// other Corvale (another session, another process) has the archive open.
TEST_F(FinestraManutenzione, AnotherProgramOrCorvaleOnTheSameArchive)
{
    if (!Sqlite3Disponibile())
        GTEST_SKIP() << "no sqlite3 shell";
    const QString file = dir.filePath("lumera.mdb");
    for (int i = 2; i <= 4; ++i)
        SessioneProva().DbArchivi.Execute(QString("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C%1', NULL)").arg(i));
    auto f = std::make_unique<FrmRepair>(SessioneProva());
    mostra(f.get());
    clic(f->Puls(0));
    clicRiga(f->LstTask(), posizione(*f, "0003K"));
    clic(f->Puls(2));  // Dettagli
    auto* griglia = f->findChild<GrigliaRecord*>("DBGrid1");
    ASSERT_EQ(griglia->model()->rowCount(), 4);
    clic(f->findChild<QPushButton*>("PulsSelAll"));
    DaFuori(file, "DELETE FROM CLIENTI WHERE CODICE = 'C2'; INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C9', NULL);");
    clic(f->Puls(2));  // Esegui
    ASSERT_EQ(OperatoreDiProva().Mostrati().size(), 1);
    EXPECT_TRUE(OperatoreDiProva().Mostrati()[0].startsWith("L'archivio è stato modificato da un altro programma"));
    EXPECT_EQ(DaFuori(file, "SELECT group_concat(CODICE) FROM (SELECT CODICE FROM CLIENTI ORDER BY CODICE)"),
              "C1,C3,C4,C9");
    EXPECT_EQ(griglia->model()->rowCount(), 4);
    EXPECT_EQ(f->Controllore().Correzioni.RecordSelezionati(), 0);
    // Chosen again on the fresh view: corrected.
    clic(f->findChild<QPushButton*>("PulsSelAll"));
    clic(f->Puls(2));
    EXPECT_EQ(OperatoreDiProva().Mostrati().last(), kDomandaElimina);
    EXPECT_EQ(DaFuori(file, "SELECT count(*) FROM CLIENTI"), "0");

    // A second session on the archive: its restore is refused while the window is open.
    Sessione seconda(OperatoreDiProva());
    seconda.DbArchivi = dbe::OpenDatabase(file);
    const auto ripristina = [&] {
        FrmRegistro r(seconda);
        EXPECT_TRUE(r.Seleziona(1));
        r.RipristinaCopia_Click();
        return OperatoreDiProva().Mostrati().last();
    };
    const QString rifiuto = "Un altro Corvale ha aperto l'archivio: chiuderlo prima di ripristinare la copia.\r"
                            "Copia non ripristinata: nessuna modifica è stata fatta.";
    EXPECT_EQ(ripristina(), rifiuto);
    EXPECT_EQ(DaFuori(file, "SELECT count(*) FROM CLIENTI"), "0");
    f.reset();
    // Another process holding the mark, as another Corvale does.
    QProcess altro;
    altro.start("flock", {"-s", "-o", file + ".presenza", "sleep", "10"});  // -o: the lock is flock's alone
    ASSERT_TRUE(altro.waitForStarted());
    QTest::qWait(300);
    EXPECT_EQ(ripristina(), rifiuto);
    altro.kill();
    altro.waitForFinished();
    EXPECT_TRUE(ripristina().startsWith("Copia ")) << OperatoreDiProva().Mostrati().last().toStdString();
    EXPECT_EQ(DaFuori(file, "SELECT count(*) FROM CLIENTI"), "4");
}
