// Not a test: when CORVALE_SHOTS names a folder (scripts/screenshots.sh), saves a picture of every
// state and box of both windows there, drawn from small archives made on the spot: the main window
// closed and open, the version gate's boxes, the folder chooser, the maintenance window in each
// mode for a structure task and for each kind of data task, and the corrections list after a run
// of corrections (a failed row, a failed index rebuild and an attribute row that cannot be applied,
// kept after the re-check, each with its reason in the detail box). Skipped
// otherwise.
#include "ambiente_prova.h"
#include "support/sessione_prova.h"
#include "app/frm_princ.h"
#include "app/operatore_finestre.h"
#include "app/traduzioni.h"
#include "core/versione.h"
#include "maintenance/frm_repair.h"
#include "maintenance/frm_corr.h"
#include "support/archivi_prova.h"
#include "support/eventi.h"
#include "support/sqlite_file.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

using namespace corvale;

namespace {

class Istantanee : public prova::AmbienteApp {
protected:
    void SetUp() override
    {
        prova::AmbienteApp::SetUp();
        cartella = qEnvironmentVariable("CORVALE_SHOTS");
        if (cartella.isEmpty())
            GTEST_SKIP() << "CORVALE_SHOTS not set";
        ASSERT_TRUE(QDir().mkpath(cartella));
        CaricaTraduzioniQt();
    }
    void salva(QWidget* w, const QString& nome)
    {
        QApplication::processEvents();
        EXPECT_TRUE(w->grab().save(cartella + "/" + nome + ".png")) << nome.toStdString();
    }
    void box(const QString& testo, Pulsanti p, const QString& nome)
    {
        std::unique_ptr<QMessageBox> b = OperatoreFinestre::Box(testo, p, nullptr);
        b->show();
        salva(b.get(), nome);
    }
    // The maintenance window on an archive with one problem of each kind, at the task with that
    // description: mode 2 with it selected, then its correction view (mode 3).
    void dettagli(FrmRepair& f, const QString& descrizione, const QString& nome)
    {
        if (f.Modo() == ModoRepair::VistaCorrezione)
            testsupport::clic(f.Puls(0));
        QTreeWidget* l = f.LstTask();
        for (int i = 0; i < l->topLevelItemCount(); ++i) {
            if (l->topLevelItem(i)->text(0) == descrizione) {
                testsupport::clicRiga(l, i);
                salva(&f, "manutenzione-2-" + nome);
                testsupport::clic(f.Puls(2));
                salva(&f, "manutenzione-3-" + nome);
                return;
            }
        }
        ADD_FAILURE() << "no task " << descrizione.toStdString();
    }
    QString cartella;
};

}  // namespace

TEST_F(Istantanee, FinestraPrincipaleEMessaggi)
{
    SessioneProva().PathArchivi = archivi.path();
    FrmPrinc f{SessioneProva()};
    testsupport::mostra(&f);
    salva(&f, "principale-chiusa");
    CreaArchivio(FileArchivio(), {QStringLiteral("A.04 ")});
    testsupport::clic(f.PulsApri);
    ASSERT_TRUE(f.DbAperto());
    salva(&f, "principale-aperta");

    box("PathDb non valido!", Pulsanti::Ok, "box-percorso");
    box(QStringLiteral("Impossibile aprire il database.\rFile non trovato."), Pulsanti::Ok, "box-apertura");
    box(QStringLiteral("Attenzione !!! Prima di effettuare correzioni sul database e fortemente "
                       "consigliato di effettuare una copia dello stesso."),
        Pulsanti::Ok, "box-varco-copia");
    box(QStringLiteral("Problemi nell'aperture del DB Master.\rFile non trovato."), Pulsanti::Ok, "box-varco-master");
    box(AvvisoVersioneMasterAssente(), Pulsanti::Ok, "box-varco-senza-versione");
    box(prova::kPiuNuovo, Pulsanti::Ok, "box-varco-archivio-nuovo");
    box(prova::kObsoleto, Pulsanti::Ok, "box-varco-master-obsoleto");
    box(QStringLiteral("Interrompere l'analisi ?"), Pulsanti::SiNo, "box-interruzione");
    box(QStringLiteral("Riassegnare i record selezionati ?"), Pulsanti::SiNo, "box-riassegna");

    QFileDialog scelta(&f, QStringLiteral("Scegliere la cartella contenente il DB di Lumera"));
    scelta.setOption(QFileDialog::DontUseNativeDialog);
    scelta.setFileMode(QFileDialog::Directory);
    scelta.setOption(QFileDialog::ShowDirsOnly);
    scelta.setDirectory(archivi.path());
    scelta.show();
    salva(&scelta, "scelta-cartella");
}

TEST_F(Istantanee, FinestraManutenzione)
{
    SessioneProva().DbArchivi = prova::CreaArchivioCompleto(archivi.path() + "/lumera.mdb");
    prova::Esegui(SessioneProva().DbArchivi,
                  {"INSERT INTO AGENTI (CODAGE, RAGSOC) VALUES ('A1', 'Verdi')",
                   "INSERT INTO FORNIT (COD, RAGSOC) VALUES ('F1', 'Ditta Alfa')",
                   "INSERT INTO FORNIT (COD, RAGSOC) VALUES ('F2', 'Ditta Beta')",
                   "INSERT INTO AGENZIA (COD, RAG) VALUES ('1', 'Sede')",
                   "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', '  ')",
                   "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C2', 'Rossi')",
                   "INSERT INTO VENDITE (NUMORD, CODCLI, DITTA) VALUES ('1', 'C9', 'ZZ')",
                   "INSERT INTO VENDITE (NUMORD, CODCLI, DITTA) VALUES ('2', 'C2', 'F1')",
                   "INSERT INTO DETT_ORD (NUMORD, CODCLI, RIGA) VALUES ('1', 'C9', 1)",
                   // A discount written as a word: its change to a number is refused, and the row says why.
                   "ALTER TABLE CLIENTI ADD COLUMN SCONTO TEXT(10)",
                   "UPDATE CLIENTI SET SCONTO = 'dieci' WHERE CODICE = 'C2'",
                   // Two customers alike in name and discount: the master's unique index over both cannot be
                   // made, and the old index is lost with the reason saying how to get it back.
                   "INSERT INTO CLIENTI (CODICE, RAGSOC, SCONTO) VALUES ('C3', 'Rossi', 'dieci')",
                   "CREATE INDEX IdxRag ON CLIENTI (RAGSOC)"});
    SessioneProva().DbMaster = dbe::CreateDatabase(programma.path() + "/esempio.mdb");
    prova::Esegui(
        SessioneProva().DbMaster,
        {"CREATE TABLE CLIENTI (CODICE TEXT(10), RAGSOC TEXT(80), INDIRIZZO TEXT(60), NOTE TEXT(40), SCONTO LONG)",
         "CREATE TABLE LINEE (LINEA TEXT(10), DESCR TEXT(50))",
         "CREATE UNIQUE INDEX IdxRag ON CLIENTI (RAGSOC, SCONTO)"});
    // The master's code is a hyperlink, which a text field cannot be: that row cannot be applied.
    SessioneProva().DbMaster.Close();
    testsupport::sqliteExec(programma.path() + "/esempio.mdb",
                            "INSERT OR REPLACE INTO MSysFields VALUES ('CLIENTI', 'CODICE', 32770, 0, 0)");
    SessioneProva().DbMaster = dbe::OpenDatabase(programma.path() + "/esempio.mdb", true);

    FrmRepair f{SessioneProva()};
    f.Controllore().Cedi = [&] {
        if (f.Controllore().LblStat().contains("Schede Vuote Clienti"))
            salva(&f, "manutenzione-1-analisi");
    };
    testsupport::mostra(&f);
    salva(&f, "manutenzione-0-selezione");
    testsupport::clic(f.Puls(0));
    ASSERT_EQ(f.Modo(), ModoRepair::Risultati);
    dettagli(f, "Controllo Struttura Tabella <<CLIENTI>>", "struttura");
    testsupport::clic(f.Puls(2));  // Esegui: the corrections with their outcomes
    salva(&f, "manutenzione-3-struttura-eseguita");
    // The rows kept after the re-check, each chosen with its reason in the detail box: the refused
    // type change, the index rebuild that failed and the attribute row that cannot be applied.
    const struct {
        const char* inizio;
        const char* nome;
    } righe[] = {{"Correzione Tipo", "manutenzione-3-struttura-fallita"},
                 {"Aggiunta Indice IdxRag", "manutenzione-3-indice-perso"},
                 {"Correzione Attributi", "manutenzione-3-attributi-non-applicabili"}};
    for (const auto& r : righe) {
        int trovata = -1;
        for (int i = 0; i < f.LstStruct()->topLevelItemCount(); ++i)
            if (f.LstStruct()->topLevelItem(i)->text(0).startsWith(QString::fromUtf8(r.inizio)))
                trovata = i;
        EXPECT_GE(trovata, 0) << r.inizio;
        if (trovata < 0)
            continue;
        testsupport::clicRiga(f.LstStruct(), trovata);
        salva(&f, r.nome);
    }
    dettagli(f, "Controllo Schede Vuote Clienti", "en");
    dettagli(f, "Controllo Ordini senza Fornitori", "enc");
    dettagli(f, "Controllo Ordini/Offerte senza Dettaglio", "enp");
    f.resize(f.width() + 300, f.height() + 120);
    salva(&f, "manutenzione-3-enp-ingrandita");
}
