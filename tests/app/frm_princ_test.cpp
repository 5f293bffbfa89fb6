// The main window, driven as the operator drives it: mouse presses move the focus (and so run the
// path check) before a button acts; boxes are answered through Messaggi.
#include "dbengine_inside.h"
#include "ambiente_prova.h"
#include "support/sessione_prova.h"
#include "widgets/finestre.h"
#include "app/frm_princ.h"
#include "app/traduzioni.h"
#include "core/versione.h"
#include "support/eventi.h"
#include "support/testo_intero.h"
#include "support/altro_programma.h"
#include "support/sqlite_file.h"
#include "support/processo_cli.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

using namespace corvale;

namespace {

using prova::kObsoleto;
using prova::kPiuNuovo;
const QString kCopia =
    QStringLiteral("Attenzione !!! Prima di effettuare correzioni sul database e fortemente consigliato di "
                   "effettuare una copia dello stesso.");
const QString kPrompt = QStringLiteral("Immettere la versione (formato A.XX oppure O per azzerare) ");

// A press and release of the left button in the middle of the widget. A press from the platform
// first gives the focus to an enabled widget that takes it on a click; sent events do not, so
// that step is made here.
void Premi(QWidget* w)
{
    if (w->isEnabled() && (w->focusPolicy() & Qt::ClickFocus))
        w->setFocus(Qt::MouseFocusReason);
    const QPointF centro = QRectF(w->rect()).center();
    QMouseEvent giu(QEvent::MouseButtonPress, centro, w->mapToGlobal(centro), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(w, &giu);
    QMouseEvent su(QEvent::MouseButtonRelease, centro, w->mapToGlobal(centro), Qt::LeftButton, Qt::NoButton,
                   Qt::NoModifier);
    QApplication::sendEvent(w, &su);
}

class FinestraPrincipale : public prova::AmbienteApp {
protected:
    void Apri(FrmPrinc& f)
    {
        f.show();
        f.activateWindow();
        QApplication::processEvents();
    }
    // The two states: closed (versione null) or open with that stamp in the label.
    void Stato(FrmPrinc& f, const QString& versione = QString())
    {
        const bool aperto = !versione.isNull();
        EXPECT_EQ(f.DbAperto(), aperto);
        EXPECT_EQ(f.PulsApri->text(), aperto ? "Chiudi DB" : "Apri DB");
        EXPECT_EQ(f.Puls[0]->isEnabled(), aperto);
        EXPECT_EQ(f.Puls[1]->isEnabled(), aperto);
        EXPECT_EQ(f.TxtPath->isEnabled(), !aperto);
        EXPECT_EQ(f.PulsDir->isEnabled(), !aperto);
        EXPECT_EQ(f.LDescr[1]->isVisibleTo(&f), aperto);
        if (aperto)
            EXPECT_EQ(f.LDescr[1]->text(), "Versione DB Rilevata --->" + versione);
    }
    QStringList Mostrati() const { return corvale::OperatoreDiProva().Mostrati(); }
};

}  // namespace

TEST_F(FinestraPrincipale, AspettoAlCaricamento)
{
    SessioneProva().PathArchivi = "/dati/lumera";
    FrmPrinc f{SessioneProva()};
    Apri(f);
    EXPECT_EQ(f.windowTitle(), "Lumera Win 2001 - Gestione Archivi");
    EXPECT_EQ(f.size(), QSize(525, 256));
    const struct {
        const char* nome;
        const char* testo;
        QRect posizione;
    } controlli[] = {
        {"LTit",
         "Questa utility permette di gestire gli archivi usati da Lumera e correggere "
         "eventuali errori di allineamento dei dati recuperando la corretta funzionalità "
         "del programma.",
         {10, 5, 509, 100}},
        {"LDescr0", "Path Archivi", {5, 120, 77, 21}},
        {"TxtPath", "/dati/lumera", {}},
        {"PulsDir", "Sfoglia", {}},
        {"PulsApri", "Apri DB", {}},
        {"LDescr1", "Versione Rilevata", {7, 150, 387, 20}},
        {"Puls0", "Analisi Struttura", {11, 185, 85, 64}},
        {"Puls1", "Imposta Numero Versione", {96, 185, 85, 64}},
        {"PulsFine", "Chiudi", {432, 185, 85, 64}},
        {"DirSel", "", {456, 147, 40, 40}},
    };
    for (const auto& c : controlli) {
        QWidget* w = f.findChild<QWidget*>(c.nome);
        ASSERT_NE(w, nullptr) << c.nome;
        if (c.posizione.isValid()) {
            EXPECT_EQ(w->geometry(), c.posizione) << c.nome;
        }
        QString testo = w->property("text").toString();
        EXPECT_EQ(testo, QString::fromUtf8(c.testo)) << c.nome;
    }
    // The path box and its two buttons share the designed row; the buttons are wide enough for
    // their texts, "Chiudi DB" included, and the path box gives up what they need.
    EXPECT_EQ(f.PulsApri->geometry().right(), 516);
    EXPECT_EQ(f.PulsDir->geometry().right(), f.PulsApri->x() - 2);
    EXPECT_EQ(f.TxtPath->geometry(), QRect(83, 117, f.PulsDir->x() - 85, 22));
    EXPECT_GE(f.PulsDir->width(), 58);
    EXPECT_GE(f.PulsApri->width(), 58);
    EXPECT_TRUE(testsupport::testoIntero(f.PulsApri, "Chiudi DB"));
    EXPECT_TRUE(testsupport::testoIntero(f.PulsDir, "Sfoglia"));
    EXPECT_EQ(f.DirSel->property("classe").toString(), "Corvale.DirSelector");
    f.DirSel->resize(200, 90);
    EXPECT_EQ(f.DirSel->size(), QSize(40, 40));
    Stato(f);

    // Focus order, starting in the path box.
    EXPECT_EQ(QApplication::focusWidget(), f.TxtPath);
    QStringList ordine;
    QWidget* w = f.TxtPath;
    for (int i = 0; i < 50 && ordine.size() < 6; ++i, w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus)
            ordine << w->objectName();
    EXPECT_EQ(ordine, QStringList({"TxtPath", "PulsDir", "PulsApri", "Puls0", "PulsFine", "Puls1"}));
    EXPECT_TRUE(Mostrati().isEmpty());
}

TEST_F(FinestraPrincipale, ControlloDelPercorsoESfoglia)
{
    FrmPrinc f{SessioneProva()};
    Apri(f);
    // Leaving an empty path box: a notice.
    f.PulsDir->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(Mostrati(), QStringList({"PathDb non valido!"}));
    // A folder without lumera.mdb; a disabled button takes no focus, so nothing happens yet.
    f.TxtPath->setFocus(Qt::TabFocusReason);
    f.TxtPath->setText(archivi.path());
    Premi(f.Puls[0]);
    EXPECT_EQ(Mostrati().size(), 1);
    f.PulsFine->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(Mostrati().size(), 2);
    // A mouse press that ends away from the button: the notice comes once the press is over.
    f.TxtPath->setFocus(Qt::TabFocusReason);
    f.PulsDir->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(Mostrati().size(), 2);
    QMouseEvent su(QEvent::MouseButtonRelease, QPointF(1, 1), f.mapToGlobal(QPointF(1, 1)), Qt::LeftButton,
                   Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&f, &su);
    QApplication::processEvents();
    EXPECT_EQ(Mostrati().size(), 3);
    EXPECT_TRUE(DirSelector::Titoli().isEmpty());
    // The text typed counts, not PathArchivi; the file only has to exist, and a doubled
    // separator resolves.
    QFile(FileArchivio()).open(QIODevice::WriteOnly);
    f.TxtPath->setFocus(Qt::TabFocusReason);
    f.TxtPath->setText(archivi.path() + "/");
    f.PulsDir->setFocus(Qt::BacktabFocusReason);
    EXPECT_EQ(Mostrati().size(), 3);
    // Another window taking the focus is no move inside the program.
    f.TxtPath->setFocus(Qt::TabFocusReason);
    f.TxtPath->clear();
    QFocusEvent fuori(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(f.TxtPath, &fuori);
    EXPECT_EQ(Mostrati().size(), 3);

    // "Sfoglia" pressed from the (empty) path box: the notice first, then the browser; the
    // chosen folder fills the path box, a cancel leaves it as it was.
    sceltaCartella = "/scelta";
    Premi(f.PulsDir);
    EXPECT_EQ(Mostrati().size(), 4);
    EXPECT_EQ(f.TxtPath->text(), "/scelta");
    sceltaCartella.clear();
    Premi(f.PulsDir);
    EXPECT_EQ(f.TxtPath->text(), "/scelta");
    EXPECT_EQ(DirSelector::Titoli(), QStringList(2, "Scegliere la cartella contenente il DB di Lumera"));
    QApplication::processEvents();
    EXPECT_EQ(Mostrati(), QStringList(4, "PathDb non valido!"));
    EXPECT_TRUE(SessioneProva().PathArchivi.isEmpty());
}

TEST_F(FinestraPrincipale, AperturaFallita)
{
    SessioneProva().PathArchivi = "/precedente";
    FrmPrinc f{SessioneProva()};
    Apri(f);
    f.TxtPath->setText(archivi.path());
    Premi(f.PulsApri);  // the path check runs first, then the open fails
    ASSERT_EQ(Mostrati().size(), 2);
    EXPECT_EQ(Mostrati()[0], "PathDb non valido!");
    EXPECT_TRUE(Mostrati()[1].startsWith("Impossibile aprire il database.\r")) << Mostrati()[1].toStdString();
    EXPECT_GT(Mostrati()[1].size(), QString("Impossibile aprire il database.\r").size());
    Stato(f);
    EXPECT_EQ(SessioneProva().PathArchivi, "/precedente");
    EXPECT_EQ(f.TxtPath->text(), archivi.path());
    EXPECT_FALSE(OperatoreDiProva().ClessidraAttiva());

    // No folder at all, because the program's folder has no settings file: the message names it.
    f.TxtPath->clear();
    Premi(f.PulsApri);
    EXPECT_TRUE(Mostrati().last().startsWith("Impossibile aprire il database.\r")) << Mostrati().last().toStdString();
    EXPECT_TRUE(
        Mostrati().last().endsWith("\rIl file delle impostazioni '" + programma.path() + "/LUMERA.INI' non esiste."))
        << Mostrati().last().toStdString();
}

TEST_F(FinestraPrincipale, ApriChiudiEChiudiProgramma)
{
    CreaArchivio(FileArchivio(), {QStringLiteral("A.05 ")});
    FrmPrinc f{SessioneProva()};
    Apri(f);
    f.TxtPath->setText(archivi.path());
    Premi(f.PulsApri);
    EXPECT_TRUE(Mostrati().isEmpty());
    Stato(f, "A.05 ");
    EXPECT_EQ(SessioneProva().PathArchivi, archivi.path());
    EXPECT_EQ(SessioneProva().DbArchivi.Name(), QFileInfo(FileArchivio()).absoluteFilePath());

    Premi(f.PulsApri);
    Stato(f);
    EXPECT_FALSE(SessioneProva().DbArchivi.IsOpen());
    EXPECT_EQ(f.TxtPath->text(), archivi.path());

    // An empty AGENZIA gains a record and shows "0"; "Chiudi" with the database open asks nothing.
    QFile::remove(FileArchivio());
    CreaArchivio(FileArchivio(), {});
    Premi(f.PulsApri);
    Stato(f, "0");
    EXPECT_EQ(RecordAgenzia(FileArchivio()), 1);
    Premi(f.PulsFine);
    EXPECT_FALSE(f.isVisible());
    EXPECT_TRUE(Mostrati().isEmpty());
}

TEST_F(FinestraPrincipale, ArchivioSenzaAgenzia)
{
    CreaArchivio(FileArchivio(), {}, false);
    FrmPrinc f{SessioneProva()};
    Apri(f);
    f.TxtPath->setText(archivi.path());
    Premi(f.PulsApri);
    ASSERT_EQ(Mostrati().size(), 1);
    EXPECT_TRUE(Mostrati()[0].startsWith("Impossibile leggere la versione del database.\r"));
    Stato(f, QString(""));
    EXPECT_TRUE(SessioneProva().DbArchivi.IsOpen());
    // The gate: the archive's stamp counts as empty, so the first warning.
    CreaArchivio(FileMaster(), {QStringLiteral("A.01 ")});
    SessioneProva().VersioneMaster = "A.01 ";
    corvale::OperatoreDiProva().Mostrati().clear();
    Premi(f.Puls[0]);
    EXPECT_EQ(Mostrati(), QStringList({kCopia, kPiuNuovo}));
    EXPECT_EQ(manutenzioniAperte, 1);
}

TEST_F(FinestraPrincipale, ImpostaNumeroVersione)
{
    CreaArchivio(FileArchivio(), {QStringLiteral("A.05 ")});
    FrmPrinc f{SessioneProva()};
    Apri(f);
    f.TxtPath->setText(archivi.path());
    Premi(f.PulsApri);
    const struct {
        const char* voce;
        const char* etichetta;
        const char* messaggio;
    } casi[] = {
        {"a.5", "A.5  ", nullptr},
        {"A.123456", "A.123", nullptr},
        {"O", "A.123", "Versione non valida."},
        {"A.", "A.123", "Versione non valida."},
        {"", "A.123", nullptr},  // cancelled
        {"A.-1", "A.-1 ", nullptr},
        {"0", "", nullptr},
    };
    for (const auto& c : casi) {
        corvale::OperatoreDiProva().Mostrati().clear();
        voce = c.voce;
        Premi(f.Puls[1]);
        QStringList attesi{kPrompt};
        if (c.messaggio)
            attesi << c.messaggio;
        EXPECT_EQ(Mostrati(), attesi) << c.voce;
        EXPECT_EQ(f.LDescr[1]->text(), QString("Versione DB Rilevata --->") + c.etichetta) << c.voce;
        EXPECT_EQ(LeggiVersioneDb(SessioneProva().DbArchivi), c.etichetta) << c.voce;
    }
    // A VERSDB that refuses the empty text: clearing fails with the engine's description, and
    // the label and the stamp stay as they were.
    Premi(f.PulsApri);
    QFile::remove(FileArchivio());
    CreaArchivio(FileArchivio(), {QStringLiteral("A.05 ")}, true, false);
    Premi(f.PulsApri);
    corvale::OperatoreDiProva().Mostrati().clear();
    voce = "0";
    Premi(f.Puls[1]);
    ASSERT_EQ(Mostrati().size(), 2);
    EXPECT_TRUE(Mostrati()[1].startsWith("Impossibile scrivere la versione del database.\r"));
    EXPECT_GT(Mostrati()[1].size(), 50);
    Stato(f, "A.05 ");
    EXPECT_EQ(LeggiVersioneDb(SessioneProva().DbArchivi), "A.05 ");
}

TEST_F(FinestraPrincipale, VarcoDellaVersione)
{
    CreaArchivio(FileArchivio(), {QStringLiteral("A.05 ")});
    FrmPrinc f{SessioneProva()};
    Apri(f);
    f.TxtPath->setText(archivi.path());
    Premi(f.PulsApri);
    const auto premi = [&] {
        corvale::OperatoreDiProva().Mostrati().clear();
        Premi(f.Puls[0]);
        return Mostrati();
    };
    // No master file.
    QStringList m = premi();
    ASSERT_EQ(m.size(), 2);
    EXPECT_EQ(m[0], kCopia);
    EXPECT_TRUE(m[1].startsWith("Problemi nell'aperture del DB Master.\r"));
    EXPECT_GT(m[1].size(), QString("Problemi nell'aperture del DB Master.\r").size());
    EXPECT_EQ(manutenzioniAperte, 0);

    // A master whose stamp could not be read at start-up.
    CreaArchivio(FileMaster(), {QStringLiteral("A.05 ")});
    EXPECT_EQ(premi(), QStringList({kCopia, "Impossibile ricavare la versione di riferimento del nel Db Master.\r"}));
    EXPECT_EQ(manutenzioniAperte, 0);

    // Equal, newer and older master stamps; the window opens every time.
    const struct {
        const char* master;
        QStringList attesi;
    } casi[] = {{"A.05 ", {kCopia}},
                {"A.06 ", {kCopia, kPiuNuovo}},
                {"A.05", {kCopia, kObsoleto}},
                {"A.1", {kCopia, kPiuNuovo}},
                {"A.04 ", {kCopia, kObsoleto}}};
    for (const auto& c : casi) {
        SessioneProva().VersioneMaster = c.master;
        const auto prima = dbe::inside::Impl(SessioneProva().DbMaster);
        EXPECT_EQ(premi(), c.attesi) << c.master;
        EXPECT_TRUE(SessioneProva().DbMaster.IsOpen());
        EXPECT_NE(dbe::inside::Impl(SessioneProva().DbMaster), prima);  // opened anew at every press
    }
    EXPECT_EQ(manutenzioniAperte, 5);

    // The real maintenance window: modal over the main window, which waits for it to close.
    ImpostaAperturaManutenzione(nullptr);
    QString titolo;
    QWidget* padre = nullptr;
    QTimer::singleShot(0, [&] {
        QWidget* m = QApplication::activeModalWidget();
        ASSERT_NE(m, nullptr);
        titolo = m->windowTitle();
        padre = m->parentWidget();
        m->close();
    });
    SessioneProva().VersioneMaster = "A.05 ";
    EXPECT_EQ(premi(), QStringList({kCopia}));
    EXPECT_EQ(titolo, "Manutenzione Archivi");
    EXPECT_EQ(padre, &f);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// A double click on "Apri DB" opens and stays open; Enter presses the focused button; the window
// grows with its path box and its buttons follow the edges.
TEST_F(FinestraPrincipale, DoppioClicInvioEDimensioni)
{
    CreaArchivio(FileArchivio(), {QStringLiteral("A.05 ")});
    FrmPrinc f{SessioneProva()};
    testsupport::mostra(&f);
    f.TxtPath->setText(archivi.path());
    testsupport::doppioClic(f.PulsApri);
    Stato(f, "A.05 ");
    EXPECT_EQ(QApplication::focusWidget(), f.PulsApri);
    testsupport::tasto(&f, Qt::Key_Return);
    Stato(f);
    testsupport::tasto(&f, Qt::Key_Enter);
    Stato(f, "A.05 ");
    testsupport::tasto(&f, Qt::Key_Tab);  // to "Analisi Struttura"
    EXPECT_EQ(QApplication::focusWidget(), f.Puls[0]);
    testsupport::tasto(&f, Qt::Key_Return);
    EXPECT_EQ(manutenzioniAperte, 0);  // the gate stopped at the missing master
    ASSERT_EQ(Mostrati().size(), 2);
    EXPECT_TRUE(Mostrati()[1].startsWith("Problemi nell'aperture del DB Master."));

    const QRect titolo = f.LTit->geometry(), percorso = f.TxtPath->geometry(), fine = f.PulsFine->geometry();
    const QRect apri = f.PulsApri->geometry();
    f.resize(f.width() + 120, f.height() + 40);
    QApplication::processEvents();
    EXPECT_EQ(f.LTit->width(), titolo.width() + 120);
    EXPECT_EQ(f.TxtPath->width(), percorso.width() + 120);
    EXPECT_EQ(f.PulsApri->geometry(), apri.translated(120, 0));
    EXPECT_EQ(f.PulsFine->geometry(), fine.translated(120, 40));
    EXPECT_EQ(f.Puls[0]->y(), 185 + 40);
}

// Qt's own texts are Italian: the context menu of a text box, the folder chooser's buttons.
TEST_F(FinestraPrincipale, TestiDiQtInItaliano)
{
    ASSERT_TRUE(CaricaTraduzioniQt());
    FrmPrinc f{SessioneProva()};
    std::unique_ptr<QMenu> menu(f.TxtPath->createStandardContextMenu());
    QStringList voci;
    for (QAction* a : menu->actions())
        voci << a->text().section(QLatin1Char('\t'), 0, 0);  // without the shortcut
    EXPECT_TRUE(voci.contains("&Incolla")) << voci.join(" | ").toStdString();
    EXPECT_TRUE(voci.contains("Seleziona tutto")) << voci.join(" | ").toStdString();

    QFileDialog scelta(&f, "Scegliere la cartella contenente il DB di Lumera");
    scelta.setOption(QFileDialog::DontUseNativeDialog);
    scelta.setFileMode(QFileDialog::Directory);
    scelta.setOption(QFileDialog::ShowDirsOnly);
    QStringList pulsanti;
    for (QAbstractButton* b : scelta.findChild<QDialogButtonBox*>()->buttons())
        pulsanti << b->text();
    EXPECT_TRUE(pulsanti.contains("Annulla")) << pulsanti.join(" | ").toStdString();
}

// The window's whole sequence while another program reads the archive and writes records of its
// own, opening and closing it again and again: open, stamp read, stamp set, the gate, stamp set
// again, "Chiudi DB". A fresh process reads every stamp that was set, in an intact file; the master
// is only read.
TEST_F(FinestraPrincipale, AnotherProgramLosesNothingOfTheWindow)
{
    if (!testsupport::Sqlite3Disponibile())
        GTEST_SKIP() << "sqlite3 shell not installed";
    CreaArchivio(FileArchivio(), {QStringLiteral("A.04 ")});
    CreaArchivio(FileMaster(), {QStringLiteral("A.05 ")});
    testsupport::sqliteExec(FileMaster(), "PRAGMA journal_mode=DELETE");
    const QByteArray master = testsupport::fileBytes(FileMaster());
    SessioneProva().VersioneMaster = LeggiVersioneMaster(FileMaster());
    FrmPrinc f{SessioneProva()};
    Apri(f);
    f.TxtPath->setText(archivi.path());
    testsupport::AltroProgramma altro(FileArchivio(), {"AGENZIA"}, true);
    altro.AttendiGiri(1);
    Premi(f.PulsApri);
    Stato(f, "A.04 ");
    EXPECT_EQ(testsupport::DaFuori(FileArchivio(), "SELECT VERSDB FROM AGENZIA"), "A.04");
    for (const char* v : {"A.06", "A.07"}) {
        voce = v;
        Premi(f.Puls[1]);
        EXPECT_EQ(testsupport::DaFuori(FileArchivio(), "SELECT VERSDB FROM AGENZIA"), v);
        Premi(f.Puls[0]);  // the gate reads both stamps again
        altro.AttendiGiri(2);
    }
    EXPECT_EQ(manutenzioniAperte, 2);
    Premi(f.PulsApri);
    Stato(f);
    const int giri = altro.Ferma();
    EXPECT_EQ(testsupport::VerificaDaFuori(FileArchivio(), "SELECT VERSDB FROM AGENZIA"), "A.07");
    EXPECT_EQ(testsupport::DaFuori(FileArchivio(), "SELECT count(*) FROM ALTRO_PROGRAMMA"), QString::number(giri));
    SessioneProva().DbMaster = dbe::Database();
    EXPECT_EQ(testsupport::fileBytes(FileMaster()), master);
    EXPECT_EQ(testsupport::DaFuori(FileMaster(), "PRAGMA journal_mode"), "delete");
}

// While the main window has the archive open, a restore by another process (corvale-cli ripristina)
// is refused and changes nothing; once the window has closed it, the same restore goes through.
TEST_F(FinestraPrincipale, ARestoreElsewhereIsRefusedWhileTheArchiveIsOpenHere)
{
    CreaArchivio(FileArchivio(), {QStringLiteral("A.04")});
    const QString copia = archivi.path() + "/copia.mdb";
    ASSERT_TRUE(QFile::copy(FileArchivio(), copia));
    testsupport::sqliteExec(FileArchivio(), "UPDATE AGENZIA SET VERSDB = 'A.05'");
    const auto versione = [this] {
        return testsupport::sqliteValue(FileArchivio(), "SELECT VERSDB FROM AGENZIA").toString();
    };
    const auto ripristina = [&] {
        return prova::EseguiCli({"ripristina", copia, "--archive", archivi.path(), "--senza-copia"});
    };
    FrmPrinc f{SessioneProva()};
    Apri(f);
    f.TxtPath->setText(archivi.path());
    Premi(f.PulsApri);
    ASSERT_TRUE(f.DbAperto());
    const prova::EsitoCli rifiuto = ripristina();
    EXPECT_EQ(rifiuto.stato, 2);
    EXPECT_TRUE(
        rifiuto.err.startsWith("Un altro Corvale ha aperto l'archivio: chiuderlo prima di ripristinare la copia."))
        << rifiuto.err.toStdString();
    EXPECT_EQ(versione(), "A.05");

    Premi(f.PulsApri);  // Chiudi DB
    ASSERT_FALSE(f.DbAperto());
    const prova::EsitoCli fatto = ripristina();
    EXPECT_EQ(fatto.stato, 0) << fatto.err.toStdString();
    EXPECT_EQ(versione(), "A.04");
}
