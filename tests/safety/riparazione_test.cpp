// The repair of an archive with a damaged page of records: what it puts back is exactly what the
// archive held (a record not read back whole is listed and left out, never taken for good), its
// counts are the tables', nothing another program commits meanwhile is undone, and what a repair
// killed half-way left behind is cleared.
#include "danni.h"
#include "fixture_comandi.h"
#include "fixture_sicurezza.h"

#include "safety/integrita.h"
#include "support/altro_programma.h"

#include <QProcess>
#include <QThread>
#include <QRegularExpression>
#include "support/stampa_qt.h"

using namespace corvale;

namespace {

// Customers whose values are not those the tests wrote for their rowid.
qint64 ClientiAlterati(const QString& file)
{
    return testsupport::sqliteValue(
               file, "SELECT count(*) FROM CLIENTI WHERE CODICE IS NOT ('K' || (rowid - 1)) OR RAGSOC IS NOT "
                     "(replace(hex(zeroblob(40)), '00', char(97 + (rowid - 1) % 26)) || (rowid - 1))")
        .toLongLong();
}

class Riparazione : public prova::ArchivioSicurezza {};

}  // namespace

TEST_F(Riparazione, WhatIsNotReadBackWholeIsListedAndTheCountsAreTheTables)
{
    SessioneProva().DbArchivi.Close();
    prova::ScriviClienti(archivio(), 3000);
    testsupport::sqliteExec(archivio(), "PRAGMA wal_checkpoint(TRUNCATE)");
    const QByteArray sano = testsupport::fileBytes(archivio());
    ASSERT_EQ(ClientiAlterati(archivio()), 0);
    int elencati = 0;
    for (quint32 seme = 1; seme <= 6; ++seme) {
        SCOPED_TRACE(seme);
        testsupport::writeFile(archivio(), sano);
        QRandomGenerator g(seme);
        prova::DanneggiaFoglioClienti(archivio(), g);
        SessioneProva().DbArchivi = dbe::OpenDatabase(archivio());
        ASSERT_FALSE(ProblemiIntegrita(SessioneProva().DbArchivi).isEmpty());

        const EsitoRiparazione e = RiparaArchivio(SessioneProva(), registro());
        SessioneProva().DbArchivi.Close();
        EXPECT_TRUE(e.riuscita) << e.rapporto.toStdString();
        EXPECT_EQ(ClientiAlterati(archivio()), 0) << e.rapporto.toStdString();
        const qint64 clienti = testsupport::VerificaDaFuori(archivio(), "SELECT count(*) FROM CLIENTI").toLongLong();
        EXPECT_GT(clienti, 2800);
        const QRegularExpressionMatch conteggio =
            QRegularExpression("CLIENTI: recuperati (\\d+) record").match(e.rapporto);
        ASSERT_TRUE(conteggio.hasMatch()) << e.rapporto.toStdString();
        EXPECT_EQ(conteggio.captured(1).toLongLong(), clienti);
        // Each record listed as not read back whole is out of the table.
        auto scartati = QRegularExpression("CLIENTI, record (-?\\d+): non riletto per intero").globalMatch(e.rapporto);
        while (scartati.hasNext()) {
            const qint64 riga = scartati.next().captured(1).toLongLong();
            ++elencati;
            EXPECT_EQ(testsupport::sqliteValue(
                          archivio(), QStringLiteral("SELECT count(*) FROM CLIENTI WHERE rowid = %1").arg(riga))
                          .toLongLong(),
                      0);
        }
    }
    EXPECT_GT(elencati, 0) << "the damage made no record that reads as garbage";
}

namespace {

class RiparazioneConAltri : public prova::ComandiSicurezza {};

// A process that has ended: its number names no process.
qint64 ProcessoFinito()
{
    QProcess p;
    p.start("true");
    p.waitForStarted();
    const qint64 pid = p.processId();
    p.waitForFinished();
    return pid;
}

}  // namespace

TEST_F(RiparazioneConAltri, NothingAnotherProgramCommitsIsUndoneAndNothingHalfWrittenStays)
{
    if (!testsupport::Sqlite3Disponibile())
        GTEST_SKIP() << "sqlite3 shell not installed";
    prova::ScriviClienti(archivio(), 3000);
    QRandomGenerator g(7);
    prova::DanneggiaFoglioClienti(archivio(), g);
    // What two repairs killed half-way left: one whose process is gone, one of a live process.
    QDir(home.filePath("archivi")).mkdir("copie");
    const QString morto =
        copia(QStringLiteral("lumera-recupero-20200101-000000.mdb.%1.parziale").arg(ProcessoFinito()));
    const QString vivo = copia(QStringLiteral("lumera-recupero-20200101-000001.mdb.1.parziale"));
    for (const QString& f : {morto, morto + "-journal", vivo})
        testsupport::writeFile(f, "parte");

    testsupport::AltroProgramma altro(archivio(), {}, true);
    altro.AttendiGiri(3);
    const prova::EsitoCli e = esegui({"ripara"});
    const int scritti = altro.Ferma();
    EXPECT_EQ(e.stato, 0) << e.err.toStdString() << e.out.toStdString();
    EXPECT_TRUE(e.out.contains("Record leggibili copiati")) << e.out.toStdString();
    EXPECT_EQ(testsupport::VerificaDaFuori(archivio(), "SELECT count(*) FROM ALTRO_PROGRAMMA").toInt(), scritti);
    EXPECT_EQ(ClientiAlterati(archivio()), 0) << e.out.toStdString() << e.err.toStdString();

    EXPECT_FALSE(QFileInfo::exists(morto));
    EXPECT_FALSE(QFileInfo::exists(morto + "-journal"));
    EXPECT_TRUE(QFileInfo::exists(vivo));
    const QStringList provvisori = QDir(home.filePath("archivi/copie")).entryList({"*.parziale*"}, QDir::Files);
    EXPECT_EQ(provvisori, QStringList{QFileInfo(vivo).fileName()});
    const QStringList recuperi = QDir(home.filePath("archivi/copie")).entryList({"lumera-recupero-*.mdb"}, QDir::Files);
    ASSERT_EQ(recuperi.size(), 1);
    EXPECT_EQ(testsupport::DaFuori(copia(recuperi.first()), "PRAGMA integrity_check"), "ok");
}

TEST_F(RiparazioneConAltri, AKilledRepairLeavesNoRecoveryFileThatIsNotWhole)
{
    prova::ScriviClienti(archivio(), 20000);
    QRandomGenerator g(11);
    prova::DanneggiaFoglioClienti(archivio(), g);
    const QString copie = home.filePath("archivi/copie");
    for (int volta = 0; volta < 3; ++volta) {
        SCOPED_TRACE(volta);
        QProcess p;
        p.start(QStringLiteral(CORVALE_CLI_PATH),
                {"ripara", "--senza-copia", "--home", home.path(), "--archive", home.filePath("archivi")});
        ASSERT_TRUE(p.waitForStarted());
        QThread::msleep(100 + g.bounded(400));
        p.kill();
        p.waitForFinished();
    }
    const prova::EsitoCli e = esegui({"ripara", "--senza-copia"});
    EXPECT_EQ(e.stato, 0) << e.err.toStdString() << e.out.toStdString();
    EXPECT_TRUE(QDir(copie).entryList({"*.parziale*"}, QDir::Files).isEmpty());
    EXPECT_EQ(ClientiAlterati(archivio()), 0);
    // A recovery file under its final name is whole: it holds what took the archive's place.
    const QString clienti = testsupport::DaFuori(archivio(), "SELECT count(*) FROM CLIENTI");
    for (const QString& f : QDir(copie).entryList({"lumera-recupero-*.mdb"}, QDir::Files))
        EXPECT_EQ(testsupport::VerificaDaFuori(copie + "/" + f, "SELECT count(*) FROM CLIENTI"), clienti)
            << f.toStdString();
}

TEST_F(RiparazioneConAltri, ARepairWaitsForAnotherProgramsWriteAndSaysSo)
{
    if (!testsupport::Sqlite3Disponibile())
        GTEST_SKIP() << "sqlite3 shell not installed";
    prova::ScriviClienti(archivio(), 3000);
    QRandomGenerator g(5);
    prova::DanneggiaFoglioClienti(archivio(), g);
    testsupport::ScritturaAltrui altro(archivio());
    ASSERT_TRUE(altro.tiene);
    QProcess p;
    p.start(QStringLiteral(CORVALE_CLI_PATH), {"ripara", "--home", home.path(), "--archive", home.filePath("archivi")});
    ASSERT_TRUE(p.waitForStarted());
    QString detto;
    for (int i = 0; i < 200 && !detto.contains("attende che finisca"); ++i) {
        p.waitForReadyRead(100);
        detto += QString::fromUtf8(p.readAllStandardError());
    }
    EXPECT_TRUE(detto.contains("Un altro programma sta scrivendo nell'archivio")) << detto.toStdString();
    altro.Rilascia();
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << detto.toStdString() << p.readAllStandardError().toStdString();
    EXPECT_EQ(ClientiAlterati(archivio()), 0);
}
