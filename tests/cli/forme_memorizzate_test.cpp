// The demo's archive rewritten as other programs store the same values (dates as a day number,
// as yyyy-MM-dd and with "T"; yes/no True as 1; codes in other letter case, accented letters
// included, in mixed case) gives the same outcome of every check, and of joins through
// corvale-cli sql, as the untouched demo.
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
    const QStringList unioni{
        QStringLiteral("sql"), archivio,
        QStringLiteral("SELECT COUNT(*) FROM DETT_ORD INNER JOIN VENDITE ON VENDITE.CODCLI = DETT_ORD.CODCLI "
                       "AND VENDITE.NUMORD = DETT_ORD.NUMORD AND VENDITE.DITTA = DETT_ORD.DITTA")};
    const QStringList dueTabelle{QStringLiteral("sql"), archivio,
                                 QStringLiteral("SELECT COUNT(*) FROM FATTURE, CLIENTI WHERE CLIENTI.CODICE = FATTURE.CODCLI")};
    const EsitoCli unioniPrima = EseguiCli(unioni), dueTabellePrima = EseguiCli(dueTabelle);
    QStringList riscritture{
        // Dates: a day number, the day alone, ISO with "T".
        QStringLiteral("UPDATE VENDITE SET DATA = julianday(DATA) - 2415018.5"),
        QStringLiteral("UPDATE DETT_ORD SET DATA = substr(DATA, 1, 10)"),
        QStringLiteral("UPDATE FATTURE SET DATA = replace(DATA, ' ', 'T')"),
        QStringLiteral("UPDATE AGENDA SET GIORNO = julianday(GIORNO) - 2415018.5"),
        // Yes/no True as 1.
        QStringLiteral("UPDATE FATTURE SET PAGATA = 1 WHERE PAGATA <> 0"),
        // Letter case: the customers' codes with two accented capitals, the references to them
        // with the accented letters in small or mixed case, the other letters small in some.
        QStringLiteral("UPDATE CLIENTI SET CODICE = 'ÈÀ' || CODICE"),
        QStringLiteral("UPDATE VENDITE SET CODCLI = 'èà' || lower(CODCLI), DITTA = lower(DITTA)"),
        QStringLiteral("UPDATE FATTURE SET CODCLI = 'Èà' || CODCLI, CODDITTA = lower(CODDITTA)"),
        QStringLiteral("UPDATE PAGAM SET AGENTE = lower(AGENTE), DITTA = lower(DITTA)"),
        QStringLiteral("UPDATE DETT_ORD SET CODCLI = 'èÀ' || CODCLI"),
        QStringLiteral("UPDATE DETT_FAT SET CODCLI = 'èà' || CODCLI"),
        QStringLiteral("UPDATE PAGAM SET CODCLI = 'Èà' || CODCLI"),
        QStringLiteral("UPDATE CLIDITT SET CODCLI = 'èÀ' || CODCLI"),
    };
    testsupport::sqliteExec(archivio, riscritture.join(QStringLiteral(";\n")));
    ASSERT_EQ(testsupport::sqliteValue(archivio, QStringLiteral("SELECT typeof(DATA) FROM VENDITE LIMIT 1")),
              QVariant(QStringLiteral("integer")));

    const EsitoCli dopo = EseguiCli(controllo);
    EXPECT_EQ(dopo.stato, prima.stato);
    EXPECT_EQ(dopo.out, prima.out) << dopo.err.toStdString();
    EXPECT_EQ(EseguiCli(unioni).out, unioniPrima.out);
    EXPECT_EQ(EseguiCli(dueTabelle).out, dueTabellePrima.out);
    EXPECT_EQ(unioniPrima.stato, 0) << unioniPrima.err.toStdString();
    EXPECT_FALSE(unioniPrima.out.contains(QStringLiteral("\n0\n")));  // the join pairs records
}
