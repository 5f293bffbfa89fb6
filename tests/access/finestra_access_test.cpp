// The main window on an archive that is an Access file: "Apri DB" opens it as it is, and setting
// the stamp is refused before the operator is even asked for it, naming the import command.
#include "app/ambiente_prova.h"
#include "app/frm_princ.h"
#include "support/seconda_lettura.h"
#include "support/sqlite_file.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace corvale;

namespace {
class FinestraAccess : public prova::AmbienteApp {};
}  // namespace

TEST_F(FinestraAccess, ArchivioAccessApertoInSolaLettura)
{
    const QString campioni = testsupport::CartellaCampioniAccess();
    if (campioni.isEmpty())
        GTEST_SKIP() << "file Access di prova non trovati (CORVALE_JET_SAMPLES)";
    const QByteArray originale = testsupport::fileBytes(campioni + "/testV1997.mdb");
    testsupport::writeFile(FileArchivio(), originale);

    {
        FrmPrinc f{prova::SessioneProva()};
        f.show();
        f.TxtPath->setText(archivi.path());
        f.PulsApri->click();
        EXPECT_TRUE(f.DbAperto());
        EXPECT_TRUE(prova::SessioneProva().DbArchivi.TableDefs().Contains("Table1"));
        prova::OperatoreDiProva().Mostrati().clear();
        voce = "A.07";
        f.Puls[1]->click();
        const QStringList mostrati = prova::OperatoreDiProva().Mostrati();
        ASSERT_EQ(mostrati.size(), 1);
        EXPECT_TRUE(mostrati[0].contains("è un file Access aperto in sola lettura"));
        EXPECT_TRUE(mostrati[0].contains("corvale-cli importa \"" + FileArchivio() + "\""));
        f.PulsApri->click();
        EXPECT_FALSE(f.DbAperto());
    }
    EXPECT_EQ(testsupport::fileBytes(FileArchivio()), originale);
}
