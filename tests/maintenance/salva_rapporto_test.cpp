// Saving the report from the maintenance window through real input events on the offscreen
// platform: the item withheld before a run, a run, the popup menu's item and the Italian chooser
// with its proposed name and folder, the whole task table in the page, and Ctrl+S on an existing
// file answered No.
#include "core/sessione.h"
#include "core/operatore.h"
#include "maintenance/frm_repair.h"
#include "support/archivi_prova.h"
#include "support/fixture_archivio.h"
#include "support/pagina_html.h"
#include "support/sqlite_file.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <functional>
#include "support/stampa_qt.h"

using namespace corvale;

namespace {

// Acts in the file chooser as the operator would, as soon as it is open (the chooser is modal, so
// the test goes on only once it is closed). Counts how often it opened.
class AllaScelta {
public:
    explicit AllaScelta(std::function<void(QFileDialog*)> fai)
    {
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this, fai] {
            if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                ++aperture;
                fai(d);
            }
        });
        timer_.start(20);
    }
    int aperture = 0;

private:
    QTimer timer_;
};

QLineEdit* campoNome(QFileDialog* d) { return d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }

class SalvaRapporto : public prova::ConArchivioCompleto {
protected:
    void SetUp() override
    {
        ConArchivioCompleto::SetUp();
        sql({"INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', '  ')"});
        master({"CREATE TABLE CLIENTI (CODICE TEXT(10), RAGSOC TEXT(50))"});
    }

    // A right click on the task list: the popup menu opens.
    static void menu(FrmRepair& f)
    {
        QTest::mouseClick(f.LstTask()->viewport(), Qt::RightButton, {}, QPoint(20, 20));
        ASSERT_TRUE(f.MnLst()->isVisible());
    }
};

}  // namespace

TEST_F(SalvaRapporto, AfterARunTheMenuItemSavesTheWholeReport)
{
    FrmRepair f{SessioneProva()};
    f.show();
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    auto* voce = f.findChild<QAction*>(QStringLiteral("MnLstRapporto"));
    ASSERT_NE(voce, nullptr);
    EXPECT_EQ(voce->text(), "Salva rapporto...");

    // Before a run there is nothing to report: the item is withheld, Ctrl+S opens no chooser.
    menu(f);
    EXPECT_FALSE(voce->isEnabled());
    QTest::keyClick(f.MnLst(), Qt::Key_Escape);
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    {
        AllaScelta scelta([](QFileDialog* d) { d->reject(); });
        QTest::keyClick(&f, Qt::Key_S, Qt::ControlModifier);
        EXPECT_EQ(scelta.aperture, 0);
    }

    QTest::mouseClick(f.Puls(0), Qt::LeftButton);
    ASSERT_EQ(f.Modo(), ModoRepair::Risultati);
    ASSERT_EQ(f.LstTask()->topLevelItemCount(), 1);  // only the empty customer is left
    const QString proposto =
        QStringLiteral("rapporto-controllo-%1.html").arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    QString titolo, cartella, nome, salva;
    {
        AllaScelta scelta([&](QFileDialog* d) {
            titolo = d->windowTitle();
            cartella = d->directory().absolutePath();
            nome = campoNome(d)->text();
            salva = d->labelText(QFileDialog::Accept);
            QTest::keyClick(campoNome(d), Qt::Key_Return);
        });
        menu(f);
        ASSERT_TRUE(voce->isEnabled());
        QTest::mouseClick(f.MnLst(), Qt::LeftButton, {}, f.MnLst()->actionGeometry(voce).center());
        EXPECT_EQ(scelta.aperture, 1);
    }
    EXPECT_EQ(titolo, "Salva il rapporto del controllo");
    EXPECT_EQ(QDir(cartella).canonicalPath(), QDir(dir.path()).canonicalPath());
    EXPECT_EQ(nome, proposto);
    EXPECT_EQ(salva, "Salva");
    const QString file = QDir(cartella).filePath(proposto);
    ASSERT_FALSE(OperatoreDiProva().Mostrati().isEmpty());
    EXPECT_EQ(OperatoreDiProva().Mostrati().last(), "Rapporto salvato in " + QDir::toNativeSeparators(file) + ".");

    // The page holds every task, also those that passed and left the list.
    const QString pagina = QString::fromUtf8(testsupport::fileBytes(file));
    const QList<QStringList> compiti = prova::RigheTabella(pagina, "compiti");
    ASSERT_EQ(compiti.size(), 1 + 29);
    EXPECT_EQ(compiti[0].mid(0, 3), QStringList({"0002K", "Controllo Schede Vuote Clienti", "Rilevati problemi"}));
    EXPECT_EQ(compiti[1].mid(0, 3), QStringList({"0001K", "Controllo Struttura Tabella <<CLIENTI>>", "Superato"}));

    // Ctrl+S again, onto the same name: replacing it is asked first, and No keeps the old file.
    testsupport::writeFile(file, "vecchio");
    risposta = Risposta::No;
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    {
        AllaScelta scelta([](QFileDialog* d) { QTest::keyClick(campoNome(d), Qt::Key_Return); });
        QTest::keyClick(&f, Qt::Key_S, Qt::ControlModifier);
        EXPECT_EQ(scelta.aperture, 1);
    }
    EXPECT_EQ(OperatoreDiProva().Mostrati().last(),
              QString::fromUtf8("Il file %1 esiste già. Sostituirlo ?").arg(QDir::toNativeSeparators(file)));
    EXPECT_EQ(testsupport::fileBytes(file), "vecchio");
    f.Puls(3)->click();
}
