// Sharing the file with other programs: while this process has an archive open (with a second
// connection opened and closed on it, as the version stamp does), another program reads it and
// writes its own records, in between and during our changes; afterwards a fresh process sees every
// change of both and an intact file. The master is opened only to be read and stays byte for byte
// as it was. The descriptor guard itself catches a descriptor opened outside SQLite.
#include "dbengine/dbengine.h"
#include "support/altro_programma.h"
#include "support/sqlite_file.h"

#include <QFile>
#include <cstdio>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

using namespace dbe;
using testsupport::DaFuori;
using testsupport::VerificaDaFuori;

namespace {

class Condivisione : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testsupport::Sqlite3Disponibile())
            GTEST_SKIP() << "sqlite3 shell not installed";
        archivio = dir.filePath(QStringLiteral("lumera.mdb"));
        QString sql =
            QStringLiteral("PRAGMA journal_mode=WAL; BEGIN; CREATE TABLE CLIENTI (CODICE LONG, RAGSOC TEXT(50));"
                           "CREATE INDEX CLI_RAG ON CLIENTI (RAGSOC);");
        for (int i = 1; i <= 2000; ++i)
            sql += QStringLiteral("INSERT INTO CLIENTI VALUES (%1, 'CLIENTE %1');").arg(i);
        testsupport::sqliteExec(archivio, sql + QStringLiteral("COMMIT;"));
    }
    QTemporaryDir dir;
    QString archivio;
};

}  // namespace

TEST_F(Condivisione, NothingCommittedIsLostToAnotherProgram)
{
    Database db = OpenDatabase(archivio);
    OpenDatabase(archivio).Close();  // a second connection, opened and closed
    EXPECT_EQ(DaFuori(archivio, QStringLiteral("SELECT count(*) FROM CLIENTI")), "2000");
    db.Execute(QStringLiteral("DELETE FROM CLIENTI WHERE CODICE <= 500"));

    // Another program reads and writes its own records, opening and closing the file each time,
    // while we delete and update record by record.
    testsupport::AltroProgramma altro(archivio, {QStringLiteral("CLIENTI")}, true);
    altro.AttendiGiri(2);
    Recordset rs = db.OpenRecordset(QStringLiteral("SELECT * FROM CLIENTI WHERE CODICE > 1000"));
    for (int i = 0; !rs.Eof(); ++i) {
        if (i % 2 == 0) {
            rs.Delete();
        } else {
            rs.Edit();
            rs.SetValue(QStringLiteral("RAGSOC"), QStringLiteral("RIVISTO"));
            rs.Update();
        }
        rs.MoveNext();
        if (i % 100 == 0)
            OpenDatabase(archivio).Close();
    }
    rs.Close();
    altro.AttendiGiri(4);
    const int giri = altro.Ferma();
    SyncToDisk(db);
    EXPECT_EQ(DaFuori(archivio, QStringLiteral("SELECT count(*) FROM CLIENTI")), "1000");
    db.Close();
    EXPECT_EQ(VerificaDaFuori(archivio, QStringLiteral("SELECT count(*) FROM CLIENTI WHERE RAGSOC = 'RIVISTO'")),
              "500");
    EXPECT_EQ(DaFuori(archivio, QStringLiteral("SELECT count(*) FROM ALTRO_PROGRAMMA")), QString::number(giri));
}

TEST_F(Condivisione, TheMasterIsOnlyRead)
{
    // A master made by hand in rollback-journal mode, without write permission.
    const QString master = dir.filePath(QStringLiteral("esempio.mdb"));
    testsupport::sqliteExec(master, QStringLiteral("CREATE TABLE AGENZIA (VERSDB TEXT(5));"
                                                   "INSERT INTO AGENZIA VALUES ('A.05 ');"));
    QFile::setPermissions(master, QFile::ReadOwner | QFile::ReadGroup);
    const QByteArray prima = testsupport::fileBytes(master);
    {
        Database m = OpenDatabase(master, true);
        Database archivio_ = OpenDatabase(archivio);
        Recordset rs = m.OpenRecordset(QStringLiteral("AGENZIA"));
        EXPECT_EQ(rs.Value(QStringLiteral("VERSDB")).toString(), "A.05 ");
        try {
            m.Execute(QStringLiteral("UPDATE AGENZIA SET VERSDB = 'A.06'"));
            ADD_FAILURE() << "the master was written";
        } catch (const DbError& e) {
            EXPECT_EQ(e.number(), 3027);
        }
        EXPECT_EQ(DaFuori(master, QStringLiteral("SELECT VERSDB FROM AGENZIA")), "A.05");
    }
    EXPECT_EQ(testsupport::fileBytes(master), prima);
    EXPECT_FALSE(QFile::exists(master + QStringLiteral("-wal")));
    EXPECT_EQ(DaFuori(master, QStringLiteral("PRAGMA journal_mode")), "delete");
}

// Another program deletes, renames or replaces the file while it is open: nothing is written any
// more, neither through the connection (which still has the old file) nor by a new connection
// opened by the path (which would find another file); the other file is left as it is.
TEST_F(Condivisione, AFileReplacedOrMovedWhileOpenIsNeverWrittenAgain)
{
    const auto rifiutato = [](const char* cosa, const std::function<void()>& f) {
        try {
            f();
            ADD_FAILURE() << cosa << ": written";
        } catch (const DbError& e) {
            EXPECT_EQ(e.number(), 3045) << cosa << e.description().toStdString();
        }
    };
    const QString copia = dir.filePath(QStringLiteral("copia.mdb"));
    const QString spostato = dir.filePath(QStringLiteral("spostato.mdb"));
    Database db = OpenDatabase(archivio);
    db.Execute(QStringLiteral("DELETE FROM CLIENTI WHERE CODICE <= 10"));
    DaFuori(archivio, QStringLiteral("VACUUM INTO '%1'").arg(copia));
    ASSERT_EQ(std::rename(QFile::encodeName(copia).constData(), QFile::encodeName(archivio).constData()), 0);
    rifiutato("statement", [&] { db.Execute(QStringLiteral("DELETE FROM CLIENTI")); });
    rifiutato("wait", [&] { WaitWritable(db); });
    rifiutato("transaction", [&] { Workspace::Default().BeginTrans(); });
    rifiutato("second connection", [&] { OpenDatabase(archivio); });
    Database vecchio = db;
    db.Close();
    EXPECT_EQ(VerificaDaFuori(archivio, QStringLiteral("SELECT count(*) FROM CLIENTI")), "1990");
    db = OpenDatabase(archivio);
    EXPECT_FALSE(SameFile(vecchio, db));
    ASSERT_EQ(std::rename(QFile::encodeName(archivio).constData(), QFile::encodeName(spostato).constData()), 0);
    rifiutato("moved", [&] { db.Execute(QStringLiteral("DELETE FROM CLIENTI")); });
    db.Close();
    EXPECT_EQ(VerificaDaFuori(spostato, QStringLiteral("SELECT count(*) FROM CLIENTI")), "1990");
}

TEST_F(Condivisione, TheGuardSeesADescriptorOpenedOutsideSqlite)
{
    Database db = OpenDatabase(archivio);
    EXPECT_NONFATAL_FAILURE(
        {
            QFile f(archivio);
            f.open(QIODevice::ReadOnly);
            f.read(100);
        },
        "every lock of the process on it is lost");
    db.Close();
}
