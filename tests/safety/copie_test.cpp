// Which safety copies stay and which files ripristina takes, through corvale-cli run as a process:
// quick undos never rotate out the copy taken before the first correction, a restore never takes
// away the copy it restores, and only a copy of this archive replaces it (anything else is refused
// with its reason and changes nothing).
#include "fixture_comandi.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include "support/stampa_qt.h"

using namespace corvale;

namespace {

using Esito = prova::EsitoCli;

class Copie : public prova::ComandiSicurezza {
protected:
    // The newest entry of the journal.
    qint64 ultimaVoce() const
    {
        return testsupport::sqliteValue(home.filePath("archivi/lumera-registro.db"), "SELECT max(id) FROM modifiche")
            .toLongLong();
    }
    // The copies the journal lists, oldest first.
    QStringList elencate() const
    {
        return testsupport::sqliteValue(
                   home.filePath("archivi/lumera-registro.db"),
                   "SELECT group_concat(file, '|') FROM (SELECT file FROM copie ORDER BY ora, rowid)")
            .toString()
            .split('|', Qt::SkipEmptyParts);
    }
    void conserva(int n) const
    {
        testsupport::writeFile(home.filePath("LUMERA.INI"),
                               QStringLiteral("[Sicurezza]\r\nCopieConservate=%1\r\n").arg(n).toLatin1());
    }
    // A correction, then `annulla` of the newest entry `volte` times (each undoes the one before).
    void correzioneEAnnulla(int volte)
    {
        Esito e = esegui({"correct", "0002K", "--elimina"});
        ASSERT_EQ(e.stato, 0) << e.err.toStdString();
        for (int i = 0; i < volte; ++i) {
            e = esegui({"annulla", QString::number(ultimaVoce())});
            ASSERT_EQ(e.stato, 0) << e.err.toStdString();
        }
    }
    // Restores the copy `file` and checks that the archive then holds exactly its records and that
    // the copy is still there and listed.
    void ripristinaEVerifica(const QString& file)
    {
        const QStringList attesi = testsupport::sqliteDump(file);
        const Esito e = esegui({"ripristina", file});
        EXPECT_EQ(e.stato, 0) << e.err.toStdString();
        EXPECT_EQ(testsupport::sqliteDump(archivio()), attesi);
        EXPECT_TRUE(elencate().contains(file)) << file.toStdString();
    }
};

}  // namespace

TEST_F(Copie, QuickUndosKeepTheCopyBeforeTheFirstCorrectionWhichThenRestores)
{
    const QStringList prima = testsupport::sqliteDump(archivio());
    correzioneEAnnulla(11);
    ASSERT_FALSE(HasFatalFailure());
    // Twelve copies made; the ten newest and the day's first stay.
    ASSERT_EQ(elencate().size(), 11) << elencate().join(", ").toStdString();
    EXPECT_EQ(copie().size(), 11);
    EXPECT_EQ(testsupport::sqliteDump(elencate().first()), prima);
    ripristinaEVerifica(elencate().first());
    EXPECT_EQ(testsupport::sqliteDump(archivio()), prima);
}

TEST_F(Copie, ARestoreNeverTakesAwayTheCopyItRestores)
{
    conserva(2);
    correzioneEAnnulla(3);
    ASSERT_FALSE(HasFatalFailure());
    // Kept: the day's first copy and the two newest.
    ASSERT_EQ(elencate().size(), 3) << elencate().join(", ").toStdString();
    // The middle one is neither the day's first nor, once the restore has copied the current state,
    // among the two newest.
    ripristinaEVerifica(elencate().at(1));
    EXPECT_EQ(elencate().size(), 4) << elencate().join(", ").toStdString();
}

TEST_F(Copie, RipristinaTakesOnlyACopyOfThisArchive)
{
    ASSERT_EQ(esegui({"correct", "0002K", "--elimina"}).stato, 0);
    const QStringList prima = testsupport::sqliteDump(archivio());
    const QStringList copiePrima = copie();
    QByteArray archivioBytes = testsupport::fileBytes(archivio());
    ASSERT_FALSE(archivioBytes.isEmpty());

    struct Caso {
        QString file;
        QString motivo;
    };
    QList<Caso> casi;
    const auto file = [&](const QString& nome, const QByteArray& bytes) {
        testsupport::writeFile(home.filePath(nome), bytes);
        return home.filePath(nome);
    };
    casi << Caso{file("vuoto.mdb", {}), "è vuoto"};
    // The archive's own log: here a file with the archive's very bytes, which SQLite ignores as a log.
    casi << Caso{file("archivi/lumera.mdb-wal", archivioBytes), "file di lavoro dell'archivio"};
    casi << Caso{home.filePath("archivi/lumera-registro.db"), "non è una copia di questo archivio"};
    const QString estraneo = home.filePath("estraneo.mdb");
    testsupport::sqliteExec(estraneo,
                            "CREATE TABLE CLIENTI (CODICE TEXT, RAGSOC TEXT); INSERT INTO CLIENTI VALUES ('X', 'Y')");
    casi << Caso{estraneo, "non è una copia di questo archivio"};
    const QString senzaTabella = file("senza.mdb", archivioBytes);
    testsupport::sqliteExec(senzaTabella, "DROP TABLE FORNIT");
    casi << Caso{senzaTabella, "non ha FORNIT"};
    QRandomGenerator caso(20261206);
    for (int i = 0; i < 4; ++i) {
        QByteArray b(1 + int(caso.bounded(20000)), Qt::Uninitialized);
        for (char& c : b)
            c = char(caso.bounded(256));
        if (i == 0)
            b.replace(0, 16, QByteArray("SQLite format 3\0", 16));  // a header and nothing sound behind it
        casi << Caso{file(QStringLiteral("casuale%1.mdb").arg(i), b), "non è un archivio leggibile"};
    }
    for (const Caso& c : casi) {
        const Esito e = esegui({"ripristina", c.file});
        EXPECT_EQ(e.stato, 2) << c.file.toStdString();
        EXPECT_TRUE(e.err.contains(c.motivo)) << c.file.toStdString() << ": " << e.err.toStdString();
        EXPECT_TRUE(e.err.contains("nessuna modifica è stata fatta")) << e.err.toStdString();
        EXPECT_TRUE(testsupport::sqliteDump(archivio()) == prima) << c.file.toStdString();
        EXPECT_EQ(copie(), copiePrima) << c.file.toStdString();
    }
    // The same bytes under a name of their own, with the archive's tables: a copy, restored.
    const QString mano = file("a_mano.mdb", archivioBytes);
    EXPECT_EQ(esegui({"ripristina", mano}).stato, 0);
}

// Commands that find the archive as the last copy left it copy it no more: after a correction and
// the restore of the copy before it, ten undos of the correction (each refused, the restore having
// taken it back already) reuse the one copy of that state, so the copy of the state after the
// correction, neither the day's first nor among the newest two otherwise, stays and restores.
TEST_F(Copie, CommandsThatChangeNothingAddNoCopyOfAStateAlreadyCopied)
{
    conserva(2);
    ASSERT_EQ(esegui({"correct", "0002K", "--elimina"}).stato, 0);
    const QStringList corretto = testsupport::sqliteDump(archivio());
    ASSERT_EQ(elencate().size(), 1);
    ripristinaEVerifica(elencate().first());
    ASSERT_EQ(elencate().size(), 2);
    const QString dopo = elencate().at(1);
    for (int i = 0; i < 10; ++i) {
        const Esito e = esegui({"annulla", "1"});
        ASSERT_EQ(e.stato, 1) << e.err.toStdString();
    }
    EXPECT_EQ(elencate().size(), 3) << elencate().join(", ").toStdString();
    EXPECT_EQ(copie().size(), 3);
    ASSERT_TRUE(elencate().contains(dopo));
    ripristinaEVerifica(dopo);
    EXPECT_EQ(testsupport::sqliteDump(archivio()), corretto);
}
