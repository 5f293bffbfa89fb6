// The demo's archive rewritten as other programs store the same values (dates as a day number,
// as yyyy-MM-dd and with "T"; yes/no True as 1; codes in other letter case, accented letters
// included) gives the same outcome of every check as the untouched demo.
#include "support/processo_cli.h"
#include "support/sqlite_file.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace corvale::prova;

TEST(FormeMemorizzate, IlControlloDaGliStessiEsitiSulleAltreFormeDegliStessiValori)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ASSERT_EQ(EseguiCli({QStringLiteral("demo"), home.path()}).stato, 0);
    const QStringList controllo{QStringLiteral("check"), QStringLiteral("--home"), home.path()};
    const EsitoCli prima = EseguiCli(controllo);
    ASSERT_TRUE(prima.stato == 0 || prima.stato == 1) << prima.err.toStdString();
    ASSERT_TRUE(prima.out.contains(QStringLiteral("Rilevati ")));  // the demo's seeded problems

    const QString archivio = QDir(home.path()).filePath(QStringLiteral("archivi/lumera.mdb"));
    QStringList riscritture{
        // Dates: a day number, the day alone, ISO with "T".
        QStringLiteral("UPDATE VENDITE SET DATA = julianday(DATA) - 2415018.5"),
        QStringLiteral("UPDATE DETT_ORD SET DATA = substr(DATA, 1, 10)"),
        QStringLiteral("UPDATE FATTURE SET DATA = replace(DATA, ' ', 'T')"),
        QStringLiteral("UPDATE AGENDA SET GIORNO = julianday(GIORNO) - 2415018.5"),
        // Yes/no True as 1.
        QStringLiteral("UPDATE FATTURE SET PAGATA = 1 WHERE PAGATA <> 0"),
        // Letter case: the customers' codes with an accented capital, the references to them in
        // small letters (the accented one too).
        QStringLiteral("UPDATE CLIENTI SET CODICE = 'È' || CODICE"),
        QStringLiteral("UPDATE VENDITE SET CODCLI = 'è' || lower(CODCLI), DITTA = lower(DITTA)"),
        QStringLiteral("UPDATE FATTURE SET CODCLI = 'è' || CODCLI, CODDITTA = lower(CODDITTA)"),
        QStringLiteral("UPDATE PAGAM SET AGENTE = lower(AGENTE), DITTA = lower(DITTA)"),
    };
    for (const char* t : {"DETT_ORD", "DETT_FAT", "PAGAM", "CLIDITT"})
        riscritture.append(QStringLiteral("UPDATE %1 SET CODCLI = 'è' || CODCLI").arg(QLatin1String(t)));
    testsupport::sqliteExec(archivio, riscritture.join(QStringLiteral(";\n")));
    ASSERT_EQ(testsupport::sqliteValue(archivio, QStringLiteral("SELECT typeof(DATA) FROM VENDITE LIMIT 1")),
              QVariant(QStringLiteral("integer")));

    const EsitoCli dopo = EseguiCli(controllo);
    EXPECT_EQ(dopo.stato, prima.stato);
    EXPECT_EQ(dopo.out, prima.out) << dopo.err.toStdString();
}
