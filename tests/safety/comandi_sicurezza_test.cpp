// corvale-cli's way back, run as a process on a small archive: correct writes the copy and the
// journal, registro lists it (text and JSON), annulla puts the records back, ripristina restores a
// copy, ripara repairs, and --senza-copia goes on without a copy.
#include "fixture_comandi.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>
#include "support/stampa_qt.h"

using namespace corvale;

namespace {

using Esito = prova::EsitoCli;
using prova::ComandiSicurezza;

}  // namespace

TEST_F(ComandiSicurezza, CorrectJournalsAndAnnullaPutsBack)
{
    const QStringList prima = testsupport::sqliteDump(archivio());
    // Check No. 1 (empty customers) is key 0002K.
    Esito e = esegui({"correct", "0002K", "--elimina"});
    EXPECT_EQ(e.stato, 0) << e.err.toStdString();
    EXPECT_EQ(clienti(), 1);
    ASSERT_EQ(copie().size(), 1);
    EXPECT_TRUE(e.err.contains("Copia di sicurezza dell'archivio salvata in")) << e.err.toStdString();
    EXPECT_EQ(testsupport::sqliteDump(home.filePath("archivi/copie/" + copie().first())), prima);

    e = esegui({"registro", "--json"});
    ASSERT_EQ(e.stato, 0) << e.err.toStdString();
    const QJsonArray voci = QJsonDocument::fromJson(e.out.toUtf8()).object().value("modifiche").toArray();
    ASSERT_EQ(voci.size(), 1);
    const QJsonObject voce = voci.first().toObject();
    EXPECT_EQ(voce.value("tipo").toString(), "eliminazione");
    EXPECT_EQ(voce.value("chiave").toString(), "0002K");
    EXPECT_EQ(voce.value("stato").toString(), "fatta");
    const QJsonArray record = voce.value("record").toArray();
    ASSERT_EQ(record.size(), 2);
    EXPECT_EQ(QJsonDocument(record.first().toObject().value("prima").toArray()).toJson(QJsonDocument::Compact),
              R"([["CODICE","t","C2"],["RAGSOC","n",null]])");
    e = esegui({"registro"});
    EXPECT_TRUE(e.out.startsWith("1\t")) << e.out.toStdString();
    EXPECT_TRUE(e.out.contains("eliminazione\t0002K\tControllo Schede Vuote Clienti")) << e.out.toStdString();

    e = esegui({"annulla", QString::number(voce.value("id").toInteger())});
    EXPECT_EQ(e.stato, 0) << e.err.toStdString();
    EXPECT_TRUE(e.out.contains("2 record rimessi")) << e.out.toStdString();
    EXPECT_EQ(testsupport::sqliteDump(archivio()), prima);
    e = esegui({"annulla", "1"});
    EXPECT_EQ(e.stato, 2);
    EXPECT_TRUE(e.err.contains("già stata annullata")) << e.err.toStdString();
    EXPECT_EQ(esegui({"annulla", "99"}).stato, 2);
    EXPECT_EQ(esegui({"annulla", "uno"}).stato, 2);
    EXPECT_EQ(copie().size(), 2) << "a refused annulla makes no copy";
}

// A full disk, made by a limit on the size of any file the process writes, drawn below the 32 KB
// that the index readers share of a log needs: the journal is still listed, and an undo refuses
// with the room it needs and changes nothing, neither the archive nor the journal. With room again
// the same undo puts the records back.
TEST_F(ComandiSicurezza, OnAFullDiskTheJournalIsListedAndAnUndoSaysTheRoomItNeeds)
{
    const QStringList prima = testsupport::sqliteDump(archivio());
    Esito e = esegui({"correct", "0002K", "--elimina"});
    ASSERT_EQ(e.stato, 0) << e.err.toStdString();
    const QStringList corretto = testsupport::sqliteDump(archivio());
    const QString cartella = home.filePath("archivi");
    const QStringList dove{"--home", home.path(), "--archive", cartella};
    std::mt19937 caso(26042026);
    for (int giro = 0; giro < 3; ++giro) {
        const qint64 limite = std::uniform_int_distribution<qint64>(0, 32767)(caso);
        SCOPED_TRACE(limite);
        e = prova::EseguiCli(QStringList{"registro"} + dove, limite);
        EXPECT_EQ(e.stato, 0) << e.err.toStdString();
        EXPECT_TRUE(e.out.startsWith("1\t") && e.out.contains("eliminazione\t0002K\t")) << e.out.toStdString();
        e = prova::EseguiCli(QStringList{"annulla", "1"} + dove, limite);
        EXPECT_EQ(e.stato, 2);
        EXPECT_TRUE(e.err.contains(QRegularExpression("^Spazio insufficiente: servono [0-9.]+ MB in "
                                                      + QRegularExpression::escape(cartella) + "\\. / Nessuna")))
            << e.err.toStdString();
        EXPECT_EQ(testsupport::sqliteDump(archivio()), corretto);
        EXPECT_FALSE(QFile::exists(home.filePath("archivi/lumera-registro.db-shm")));
    }
    e = esegui({"registro", "--json"});
    const QJsonArray voci = QJsonDocument::fromJson(e.out.toUtf8()).object().value("modifiche").toArray();
    ASSERT_EQ(voci.size(), 1) << e.out.toStdString();
    EXPECT_EQ(voci.first().toObject().value("annullata_da").toInteger(), 0);
    e = esegui({"annulla", "1"});
    EXPECT_EQ(e.stato, 0) << e.err.toStdString();
    EXPECT_EQ(testsupport::sqliteDump(archivio()), prima);
}

TEST_F(ComandiSicurezza, RipristinaRiparaAndSenzaCopia)
{
    Esito e = esegui({"correct", "0002K", "--elimina", "--senza-copia"});
    EXPECT_EQ(e.stato, 0) << e.err.toStdString();
    EXPECT_TRUE(copie().isEmpty());
    EXPECT_EQ(clienti(), 1);

    // A copy made by hand with the tool's own copy of the state before is restored over the archive.
    e = esegui({"ripristina", home.filePath("archivi/nessuna.mdb")});
    EXPECT_EQ(e.stato, 2);
    EXPECT_TRUE(e.err.contains("non trovata")) << e.err.toStdString();
    const QString vecchia = home.filePath("vecchia.mdb");
    ASSERT_TRUE(QFile::copy(archivio(), vecchia));  // no program has the archive open here
    testsupport::sqliteExec(archivio(), "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C9', 'Dopo')");
    e = esegui({"ripristina", vecchia});
    EXPECT_EQ(e.stato, 0) << e.err.toStdString();
    EXPECT_EQ(clienti(), 1);
    ASSERT_EQ(copie().size(), 1) << "the state before the restore";
    EXPECT_EQ(testsupport::sqliteValue(home.filePath("archivi/copie/" + copie().first()),
                                       "SELECT count(*) FROM CLIENTI")
                  .toLongLong(),
              2);

    // ripara: a sound archive needs nothing; a damaged one is repaired after a copy.
    e = esegui({"ripara"});
    EXPECT_EQ(e.stato, 0);
    EXPECT_TRUE(e.out.contains("nessuna riparazione necessaria")) << e.out.toStdString();
    testsupport::sqliteExec(archivio(),
                            "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C7', NULL);"
                            "CREATE INDEX \"CLIENTI.RAG\" ON CLIENTI (RAGSOC) WHERE RAGSOC <> 'Rossi';"
                            "PRAGMA writable_schema = ON;"
                            "UPDATE sqlite_master SET sql = 'CREATE INDEX \"CLIENTI.RAG\" ON CLIENTI (RAGSOC)' "
                            "WHERE name = 'CLIENTI.RAG';");
    e = esegui({"correct", "0002K", "--elimina"});
    EXPECT_EQ(e.stato, 2);
    EXPECT_TRUE(e.err.contains("L'archivio è danneggiato")) << e.err.toStdString();
    EXPECT_TRUE(e.err.contains("corvale-cli ripara"));
    // The checks still run, and say that the archive was found damaged, until it is repaired.
    e = esegui({"check"});
    EXPECT_TRUE(e.err.contains("lo ha trovato danneggiato")) << e.err.toStdString();
    e = esegui({"ripara"});
    EXPECT_EQ(e.stato, 0) << e.err.toStdString() << e.out.toStdString();
    EXPECT_TRUE(e.out.contains("Archivio riparato.")) << e.out.toStdString();
    EXPECT_EQ(testsupport::sqliteValue(archivio(), "PRAGMA integrity_check").toString(), "ok");
    EXPECT_EQ(copie().size(), 2);
    e = esegui({"check", "--json"});
    EXPECT_FALSE(e.err.contains("danneggiato")) << e.err.toStdString();
    EXPECT_TRUE(e.out.contains("\"danneggiato\":false")) << e.out.toStdString();
}

namespace {

// A correction, the restore of the copy before it, and then its undo: the restore already put the
// records back, so the undo refuses each of them with that reason and changes nothing (on a table
// without a unique index it would put them back twice; with one, it would say that their key
// belongs to another record, which is the record itself). Restoring the copy written after the
// correction brings the correction back, and then its undo puts the records back.
class RipristinoEAnnulla : public ComandiSicurezza {
protected:
    void sequenza()
    {
        Esito e = esegui({"correct", "0002K", "--elimina"});
        ASSERT_EQ(e.stato, 0) << e.err.toStdString();
        ASSERT_EQ(clienti(), 1);
        const QString prima = copia(copie().first());
        e = esegui({"ripristina", prima});
        ASSERT_EQ(e.stato, 0) << e.err.toStdString();
        ASSERT_EQ(clienti(), 3);
        e = esegui({"annulla", "1"});
        EXPECT_EQ(e.stato, 1) << e.err.toStdString();
        EXPECT_EQ(e.err.count("il ripristino della copia " + QDir::toNativeSeparators(prima)), 2)
            << e.err.toStdString();
        EXPECT_FALSE(e.err.contains("appartiene ora a un altro record")) << e.err.toStdString();
        EXPECT_TRUE(e.out.contains("0 record rimessi, 2 rifiutati")) << e.out.toStdString();
        EXPECT_EQ(clienti(), 3);

        QString dopo;  // the copy the restore wrote first: the state after the correction
        for (const QString& c : copie())
            if (testsupport::sqliteValue(copia(c), "SELECT count(*) FROM CLIENTI").toLongLong() == 1)
                dopo = copia(c);
        ASSERT_FALSE(dopo.isEmpty());
        e = esegui({"ripristina", dopo});
        ASSERT_EQ(e.stato, 0) << e.err.toStdString();
        ASSERT_EQ(clienti(), 1);
        e = esegui({"annulla", "1"});
        EXPECT_EQ(e.stato, 0) << e.err.toStdString();
        EXPECT_TRUE(e.out.contains("2 record rimessi")) << e.out.toStdString();
        EXPECT_EQ(clienti(), 3);
    }
};

}  // namespace

TEST_F(RipristinoEAnnulla, OnATableWithoutAUniqueIndex) { sequenza(); }

TEST_F(RipristinoEAnnulla, OnATableWithAUniqueKey)
{
    testsupport::sqliteExec(archivio(), "UPDATE CLIENTI SET CODICE = 'C' || rowid WHERE CODICE IS NULL;"
                                        "CREATE UNIQUE INDEX \"CLIENTI.CODICE\" ON CLIENTI (CODICE)");
    sequenza();
}
