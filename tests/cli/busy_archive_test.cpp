// A busy archive: another program (the stock sqlite3 shell) holds a write transaction on it while
// corvale-cli opens, checks and corrects. The commands that write wait a short, bounded time, fail
// with the open-failure message and leave the file as it was; once the shell lets go, the same
// command succeeds. Two commands at once, with another program reading and writing: each change
// lands or is refused with a message, and nothing reported done is lost.
#include "support/archivi_prova.h"
#include "support/sqlite_file.h"
#include "support/altro_programma.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include "support/stampa_qt.h"

using namespace corvale;

namespace {

struct Esito {
    int stato = -1;
    QString out;
    QString err;
    qint64 ms = 0;
};

Esito cli(const QStringList& args)
{
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start(QStringLiteral(CORVALE_CLI_PATH), args);
    p.waitForFinished(300000);
    Esito e;
    e.ms = t.elapsed();
    e.stato = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    e.out = QString::fromUtf8(p.readAllStandardOutput());
    e.err = QString::fromUtf8(p.readAllStandardError());
    return e;
}

QByteArray impronta(const QString& file)
{
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

using AltroProgramma = testsupport::ScritturaAltrui;

class ArchivioOccupato : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testsupport::Sqlite3Disponibile())
            GTEST_SKIP() << "sqlite3 shell not installed";
        ASSERT_TRUE(dir.isValid());
        home = dir.filePath("demo");
        const Esito e = cli({"demo", home});
        ASSERT_EQ(e.stato, 0) << e.err.toStdString();
        archivio = home + "/archivi/lumera.mdb";
    }
    void TearDown() override { prova::AzzeraAmbiente(); }

    QTemporaryDir dir;
    QString home;
    QString archivio;
};

// The customers-without-name check: the first record check after the sixteen structure tasks.
const QString kClientiSenzaNome = QStringLiteral("0017K");

}  // namespace

TEST_F(ArchivioOccupato, WritingCommandsWaitBrieflyFailCleanlyAndSucceedAfterwards)
{
    const int clienti = testsupport::sqliteValue(archivio, "SELECT count(*) FROM CLIENTI").toInt();
    AltroProgramma altro(archivio);
    ASSERT_TRUE(altro.tiene);
    const QByteArray prima = impronta(archivio);

    // Reading is not blocked by the other program's pending write: the check sees the last
    // committed state.
    const Esito c = cli({"check", "--home", home});
    EXPECT_EQ(c.stato, 1) << c.err.toStdString();

    const QList<QStringList> comandi = {{"correct", kClientiSenzaNome, "--elimina", "--home", home},
                                        {"repair-structure", "--home", home}};
    for (const QStringList& comando : comandi) {
        const Esito e = cli(comando);
        EXPECT_EQ(e.stato, 2) << comando.first().toStdString() << e.err.toStdString();
        EXPECT_TRUE(e.err.contains("Impossibile aprire il database.\nImpossibile aggiornare. Attualmente bloccato."))
            << e.err.toStdString();
        EXPECT_GE(e.ms, 2500);  // it waited
        EXPECT_LT(e.ms, 30000);  // but not long
        EXPECT_EQ(impronta(archivio), prima);
    }

    altro.Rilascia();
    EXPECT_EQ(testsupport::sqliteValue(archivio, "PRAGMA integrity_check").toString(), QStringLiteral("ok"));
    EXPECT_EQ(testsupport::sqliteValue(archivio, "SELECT count(*) FROM CLIENTI").toInt(), clienti);

    const Esito corr = cli({"correct", kClientiSenzaNome, "--elimina", "--home", home});
    EXPECT_EQ(corr.stato, 0) << corr.out.toStdString() << corr.err.toStdString();
    EXPECT_EQ(testsupport::sqliteValue(archivio, "SELECT count(*) FROM CLIENTI").toInt(), clienti - 1);
    const Esito rs = cli({"repair-structure", "--home", home});
    EXPECT_TRUE(rs.stato == 0 || rs.stato == 1) << rs.err.toStdString();
    EXPECT_TRUE(rs.out.contains("\tOK")) << rs.out.toStdString();
}

TEST_F(ArchivioOccupato, AnArchiveInRollbackModeCannotEvenBeOpenedWhileBusy)
{
    // A file from elsewhere, still in rollback-journal mode: opening must switch it to the log,
    // which needs the other program gone.
    testsupport::sqliteExec(archivio, "PRAGMA journal_mode=DELETE");
    AltroProgramma altro(archivio);
    ASSERT_TRUE(altro.tiene);
    const QByteArray prima = impronta(archivio);
    for (const QStringList& comando : {QStringList{"check", "--home", home},
                                       QStringList{"correct", kClientiSenzaNome, "--elimina", "--home", home}}) {
        const Esito e = cli(comando);
        EXPECT_EQ(e.stato, 2) << e.err.toStdString();
        EXPECT_TRUE(e.err.startsWith("Impossibile aprire il database.\n")) << e.err.toStdString();
        EXPECT_LT(e.ms, 30000);
        EXPECT_EQ(impronta(archivio), prima);
    }
    altro.Rilascia();
    EXPECT_EQ(cli({"check", "--home", home}).stato, 1);
}

TEST_F(ArchivioOccupato, TwoCommandsAndAnotherProgramLoseNothing)
{
    testsupport::AltroProgramma altro(archivio, {"CLIENTI", "VENDITE"}, true);
    altro.AttendiGiri(1);
    // Customers without a name, empty diary entries, orders of no supplier (to the fixed code),
    // orders without lines, then the structure: corrections none of which makes records of
    // another's check (deleting the supplier without a name would leave orders of no supplier, so
    // that check could fail afterwards whatever the order of the runs).
    const QList<QStringList> comandi = {{"correct", kClientiSenzaNome, "--elimina"},
                                        {"correct", "0041K", "--elimina"},
                                        {"correct", "0025K", "--fisso"},
                                        {"correct", "0034K", "--elimina"},
                                        {"repair-structure"}};
    QList<QProcess*> processi;
    for (const QStringList& c : comandi) {
        processi << new QProcess;
        processi.last()->start(QStringLiteral(CORVALE_CLI_PATH), c + QStringList{"--home", home});
    }
    QStringList riusciti;
    for (int i = 0; i < processi.size(); ++i) {
        QProcess* p = processi[i];
        p->waitForFinished(300000);
        const QString err = QString::fromUtf8(p->readAllStandardError());
        const int stato = p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1;
        EXPECT_TRUE(stato == 0 || stato == 1 || (stato == 2 && err.contains("Impossibile")))
            << comandi[i].join(' ').toStdString() << ": " << stato << " " << err.toStdString();
        if (stato == 0 && comandi[i].first() == "correct")
            riusciti << comandi[i][1];
        delete p;
    }
    EXPECT_GE(riusciti.size(), 1);
    const int giri = altro.Ferma();
    EXPECT_EQ(testsupport::VerificaDaFuori(archivio, "SELECT count(*) FROM ALTRO_PROGRAMMA"), QString::number(giri));
    // A fresh process finds every correction reported done.
    const Esito dopo = cli({"check", "--home", home});
    for (const QString& chiave : riusciti) {
        const QString riga = dopo.out.section(chiave + "\t", 1, 1).section('\n', 0, 0);
        EXPECT_TRUE(riga.contains("Controllo superato con successo")) << chiave.toStdString() << riga.toStdString();
    }
}
