// corvale-cli check, run as a process on archives made in the test: the JSON document, the text
// lines, the version warning, the settings file and the exit statuses.
#include "support/archivi_prova.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include "support/processo_cli.h"
#include <gtest/gtest.h>
#include "support/stampa_qt.h"

using namespace corvale;

namespace {

using Esito = prova::EsitoCli;

Esito esegui(const QStringList& args) { return prova::EseguiCli(QStringList{"check"} + args); }

QByteArray impronta(const QString& file)
{
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

void scrivi(const QString& file, const QByteArray& testo)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(testo);
}

class ComandoCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(archivi.isValid());
        archivio = archivi.filePath("lumera.mdb");
        master = home.filePath("esempio.mdb");
    }
    void TearDown() override { prova::AzzeraAmbiente(); }

    QTemporaryDir home;
    QTemporaryDir archivi;
    QString archivio;
    QString master;
};

}  // namespace

TEST_F(ComandoCheck, JsonListsEveryTaskAndExitsOneOnProblems)
{
    {
        dbe::Database a = prova::CreaArchivioCompleto(archivio);
        prova::Esegui(a, {"INSERT INTO AGENZIA (COD, RAG, VERSDB) VALUES ('1', 'Sede', 'A.05 ')",
                          "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', ' ')"});
        a.Close();
        dbe::Database m = dbe::CreateDatabase(master);
        prova::Esegui(m, {"CREATE TABLE AGENZIA (COD TEXT(10), RAG TEXT(50), VERSDB TEXT(5))",
                          "CREATE TABLE CLIENTI (CODICE TEXT(10), RAGSOC TEXT(50), NOTE TEXT(40))",
                          "INSERT INTO AGENZIA (COD, VERSDB) VALUES ('1', 'A.05 ')"});
        m.Close();
    }
    // The settings file as the program reads it: [Path] Archivi, spaces around the value.
    scrivi(home.filePath("LUMERA.INI"),
           "[Altro]\r\nArchivi=/nowhere\r\n[Path]\r\nArchivi =  " + archivi.path().toUtf8() + "  \r\n");
    const QByteArray prima = impronta(archivio);
    const QByteArray primaMaster = impronta(master);

    const Esito e = esegui({"--home", home.path(), "--json"});
    ASSERT_EQ(e.stato, 1) << e.err.toStdString();
    EXPECT_EQ(e.err, "");  // equal stamps: no warning; not a terminal: no progress
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(e.out.toUtf8(), &pe);
    ASSERT_EQ(pe.error, QJsonParseError::NoError) << e.out.toStdString();
    const QJsonObject o = doc.object();
    EXPECT_EQ(o.keys(), QStringList({"archive", "danneggiato", "illeggibili", "master", "tasks", "versione_db",
                                     "versione_master"}));
    EXPECT_EQ(o["danneggiato"], false);
    EXPECT_EQ(o["illeggibili"].toArray(), QJsonArray());
    EXPECT_EQ(QDir::cleanPath(o["archive"].toString()), QDir::cleanPath(archivio));
    EXPECT_EQ(QDir::cleanPath(o["master"].toString()), QDir::cleanPath(master));
    EXPECT_EQ(o["versione_db"].toString(), "A.05 ");
    EXPECT_EQ(o["versione_master"].toString(), "A.05 ");

    const QJsonArray tasks = o["tasks"].toArray();
    ASSERT_EQ(tasks.size(), 2 + 29);
    for (int i = 0; i < tasks.size(); ++i) {
        const QJsonObject t = tasks[i].toObject();
        EXPECT_EQ(t.keys(), QStringList({"correggibile", "description", "detail", "illeggibili", "key", "problems",
                                         "state", "state_text", "type"}));
        EXPECT_EQ(t["key"].toString(), QString("%1K").arg(i + 1, 4, 10, QChar('0')));
        EXPECT_TRUE(t["problems"].isArray());
    }
    // The master's CLIENTI has a field the archive lacks.
    const QJsonObject st = tasks[1].toObject();
    EXPECT_EQ(st["description"].toString(), "Controllo Struttura Tabella <<CLIENTI>>");
    EXPECT_EQ(st["type"].toString(), "ST");
    EXPECT_EQ(st["state"].toString(), "VER_PRB");
    EXPECT_EQ(st["problems"].toArray(), QJsonArray({"NO-FLD>NOTE"}));
    EXPECT_EQ(st["detail"].toString(), QString::fromUtf8("Il Campo NOTE è mancante\r\n"));
    const QJsonObject ag = tasks[0].toObject();
    EXPECT_EQ(ag["state"].toString(), "VER_OK");
    EXPECT_EQ(ag["problems"].toArray(), QJsonArray());

    const QJsonObject vuoti = tasks[2].toObject();
    EXPECT_EQ(vuoti["description"].toString(), "Controllo Schede Vuote Clienti");
    EXPECT_EQ(vuoti["type"].toString(), "EN");
    EXPECT_EQ(vuoti["state"].toString(), "VER_PRB");
    EXPECT_EQ(vuoti["state_text"].toString(), "Rilevati Problemi");
    EXPECT_EQ(vuoti["detail"].toString(), "Rilevati 1 record nulli o scollegati");
    EXPECT_EQ(vuoti["correggibile"].toString(), "");
    const QJsonObject ordini = tasks[2 + 6].toObject();
    EXPECT_EQ(ordini["type"].toString(), "ENC");
    EXPECT_EQ(ordini["state"].toString(), "VER_OK");
    EXPECT_EQ(ordini["state_text"].toString(), "Verificato (OK)");
    EXPECT_EQ(ordini["detail"].toString(), "Controllo superato con successo");
    EXPECT_EQ(tasks[2 + 28].toObject()["type"].toString(), "ENP");

    // The check only reads.
    EXPECT_EQ(impronta(archivio), prima);
    EXPECT_EQ(impronta(master), primaMaster);
}

TEST_F(ComandoCheck, TextLinesVersionWarningAndExitZeroWhenAllPass)
{
    {
        dbe::Database a = prova::CreaArchivioCompleto(archivio);
        prova::Esegui(a, {"INSERT INTO AGENZIA (COD, RAG, VERSDB) VALUES ('1', 'Sede', 'A.01 ')"});
        a.Close();
    }
    const QString altroMaster = home.filePath("riferimento.mdb");
    ASSERT_TRUE(QFile::copy(archivio, altroMaster));
    {
        dbe::Database m = dbe::OpenDatabase(altroMaster);
        m.Execute("UPDATE AGENZIA SET VERSDB='A.02 '");
        m.Close();
    }
    const Esito e = esegui({"--archive", archivi.path(), "--master", altroMaster, "--home", "/nonexistent"});
    ASSERT_EQ(e.stato, 0) << e.out.toStdString() << e.err.toStdString();
    QStringList righe = e.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(righe.size(), 1 + 16 + 29);
    EXPECT_EQ(righe.takeFirst(),
              QString::fromUtf8("Attenzione !!! Prima di eseguire qualsiasi modifica è strettamante consigliato di "
                                "eseguire Lumera almeno una volta in modo da allineare la versione del DB."));
    for (int i = 0; i < righe.size(); ++i) {
        const QStringList campi = righe[i].split('\t');
        ASSERT_EQ(campi.size(), 4) << righe[i].toStdString();
        EXPECT_EQ(campi[0], QString("%1K").arg(i + 1, 4, 10, QChar('0')));
        EXPECT_EQ(campi[2], "Verificato (OK)");
        EXPECT_EQ(campi[3], "Controllo superato con successo");
    }
    EXPECT_EQ(righe[16].split('\t')[1], "Controllo Schede Vuote Clienti");
}

TEST_F(ComandoCheck, UnopenableDatabasesExitTwoAndChangeNothing)
{
    {
        dbe::Database a = prova::CreaArchivioCompleto(archivio);
        a.Close();
    }
    const QByteArray prima = impronta(archivio);

    // No settings file and no --archive: the archive is looked for at "/lumera.mdb".
    Esito e = esegui({"--home", home.path(), "--json"});
    EXPECT_EQ(e.stato, 2);
    EXPECT_EQ(e.out, "");
    EXPECT_TRUE(e.err.startsWith("Impossibile aprire il database.\n")) << e.err.toStdString();
    EXPECT_GT(e.err.trimmed().count('\n'), 0);

    // The archive opens, the master does not exist.
    e = esegui({"--home", home.path(), "--archive", archivi.path(), "--json"});
    EXPECT_EQ(e.stato, 2);
    EXPECT_EQ(e.out, "");
    EXPECT_TRUE(e.err.startsWith("Problemi nell'aperture del DB Master.\n")) << e.err.toStdString();
    EXPECT_FALSE(QFile::exists(master));
    EXPECT_EQ(impronta(archivio), prima);

    // A file that is not a database.
    scrivi(archivi.filePath("rotto.mdb"), "questo non è un archivio");
    const QByteArray rotto = impronta(archivi.filePath("rotto.mdb"));
    e = esegui({"--archive", archivi.path(), "--master", archivi.filePath("rotto.mdb")});
    EXPECT_EQ(e.stato, 2);
    EXPECT_TRUE(e.err.startsWith("Problemi nell'aperture del DB Master.\n"));
    EXPECT_EQ(impronta(archivio), prima);
    EXPECT_EQ(impronta(archivi.filePath("rotto.mdb")), rotto);

    e = esegui({"--archivio", "x"});
    EXPECT_EQ(e.stato, 2);
    EXPECT_EQ(e.out, "");
}
