// Not a test: saves a picture of the main window in each state when CORVALE_SHOTS names a folder
// (scripts/screenshots.sh); skipped otherwise.
#include "ambiente_prova.h"
#include "support/sessione_prova.h"
#include "app/frmprinc.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>

using namespace corvale;

class Istantanee : public prova::AmbienteApp {};

TEST_F(Istantanee, FinestraPrincipale)
{
    const QString cartella = qEnvironmentVariable("CORVALE_SHOTS");
    if (cartella.isEmpty())
        GTEST_SKIP() << "CORVALE_SHOTS not set";
    ASSERT_TRUE(QDir().mkpath(cartella));
    SessioneProva().PathArchivi = archivi.path();
    FrmPrinc f{SessioneProva()};
    f.show();
    QApplication::processEvents();
    EXPECT_TRUE(f.grab().save(cartella + "/frmprinc-chiuso.png"));
    CreaArchivio(FileArchivio(), {QStringLiteral("A.05 ")});
    f.PulsApri->click();
    ASSERT_TRUE(f.DbAperto());
    QApplication::processEvents();
    EXPECT_TRUE(f.grab().save(cartella + "/frmprinc-aperto.png"));
}
