// Opening archives: every kind of bad file refused with its number and left byte for byte as it
// was; a good one opened read-write, by its full path, alongside a second connection.
#include "dbengine_inside.h"
#include "dbengine/dbengine.h"
#include "support/sqlite_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

using namespace dbe;
using testsupport::fileBytes;
using testsupport::sqliteExec;
using testsupport::writeFile;

namespace {

int openError(const QString& path)
{
    try {
        OpenDatabase(path);
    } catch (const DbError& e) {
        EXPECT_FALSE(e.description().isEmpty());
        return e.number();
    }
    return 0;
}

}  // namespace

TEST(OpenTest, BadFilesAreRefusedAndLeftUnchanged)
{
    QTemporaryDir dir;
    const QString base = dir.path() + QStringLiteral("/");

    EXPECT_EQ(openError(base + QStringLiteral("manca.mdb")), 3024);
    EXPECT_FALSE(QFile::exists(base + QStringLiteral("manca.mdb")));  // never created
    EXPECT_EQ(openError(base + QStringLiteral("nessuna/cartella/lumera.mdb")), 3044);
    QDir(dir.path()).mkdir(QStringLiteral("cartella.mdb"));
    EXPECT_EQ(openError(base + QStringLiteral("cartella.mdb")), 3044);

    // A good archive to damage.
    const QString good = base + QStringLiteral("buono.mdb");
    sqliteExec(good, QStringLiteral("CREATE TABLE AGENZIA (VERSDB TEXT(5)); INSERT INTO AGENZIA VALUES ('A.05 ');"
                                    "CREATE TABLE CLIENTI (CODICE LONG, RAGSOC TEXT(50));"));
    const QByteArray goodBytes = fileBytes(good);
    ASSERT_GT(goodBytes.size(), 4096);

    struct Case {
        const char* name;
        QByteArray bytes;
        int number;
    };
    QByteArray randomBytes(8192, '\0');
    for (int i = 0; i < randomBytes.size(); ++i)
        randomBytes[i] = char((i * 7919 + 13) % 251);
    QByteArray jetLike = QByteArray("\x00\x01\x00\x00Standard Jet DB", 19) + QByteArray(4000, '\x11');
    QByteArray corruptMaster = goodBytes;
    for (int i = 100; i < 4096; ++i)  // page 1 after the header: sqlite_master's page
        corruptMaster[i] = char(0xA5);
    const Case cases[] = {
        {"vuoto.mdb", QByteArray(), 3343},
        {"casuale.mdb", randomBytes, 3343},
        {"testo.mdb", QByteArray("CODICE;RAGSOC\n1;ROSSI\n"), 3343},
        {"altro.mdb", jetLike, 3343},
        {"troncato.mdb", goodBytes.left(goodBytes.size() - 4096), 3049},
        {"mezzapagina.mdb", goodBytes.left(goodBytes.size() - 100), 3049},
        {"rovinato.mdb", corruptMaster, 3049},
    };
    for (const Case& c : cases) {
        const QString path = base + QString::fromLatin1(c.name);
        writeFile(path, c.bytes);
        EXPECT_EQ(openError(path), c.number) << c.name;
        EXPECT_EQ(fileBytes(path), c.bytes) << c.name << " changed";
        EXPECT_FALSE(QFile::exists(path + QStringLiteral("-wal"))) << c.name;
    }

    {
        // Locked by another program for longer than the engine waits: refused, not changed (the
        // file is still in rollback-journal mode afterwards).
        const QString locked = base + QStringLiteral("bloccato.mdb");
        writeFile(locked, goodBytes);
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(locked.toUtf8().constData(), &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        EXPECT_EQ(openError(locked), 3051);
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        EXPECT_EQ(fileBytes(locked), goodBytes);
    }

    if (geteuid() != 0) {  // root writes whatever the permissions say
        const QString ro = base + QStringLiteral("solalettura.mdb");
        writeFile(ro, goodBytes);
        QFile::setPermissions(ro, QFile::ReadOwner);
        EXPECT_EQ(openError(ro), 3051);
        EXPECT_EQ(fileBytes(ro), goodBytes);
    }
}

TEST(OpenTest, OpensByFullPathWithASecondConnectionWriting)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/lumera.mdb");
    sqliteExec(path, QStringLiteral("CREATE TABLE CLIENTI (CODICE LONG, RAGSOC TEXT(50));"
                                    "INSERT INTO CLIENTI VALUES (1, 'ROSSI');"));
    // The working folder is given back before the folder goes: later tests of this program find
    // their files by relative paths.
    struct Back {
        QString folder;
        ~Back() { QDir::setCurrent(folder); }
    } back{QDir::currentPath()};
    QDir::setCurrent(dir.path());
    Database a = OpenDatabase(QStringLiteral("lumera.mdb"));
    EXPECT_EQ(a.Name(), path);
    EXPECT_TRUE(a.IsOpen());
    EXPECT_EQ(a.TableDefs().Item(QStringLiteral("clienti")).RecordCount(), 1);

    // A second connection in the same process writes while the first holds a read open.
    Database b = OpenDatabase(path);
    auto ia = dbe::inside::Impl(a);
    detail::Stmt reading = ia->prepare(QStringLiteral("SELECT CODICE FROM CLIENTI"));
    ASSERT_TRUE(reading.step(*ia));
    auto ib = dbe::inside::Impl(b);
    {
        detail::DatabaseImpl::WriteScope ws(*ib);
        ib->exec(QStringLiteral("INSERT INTO CLIENTI VALUES (2, 'BIANCHI')"));
        ws.commit();
    }
    reading = detail::Stmt();
    EXPECT_EQ(a.TableDefs().Item(QStringLiteral("CLIENTI")).RecordCount(), 2);
    // Committed means in the file: a third party sees it at once.
    EXPECT_EQ(testsupport::sqliteValue(path, QStringLiteral("SELECT count(*) FROM CLIENTI")).toInt(), 2);

    // With a record set open on the first connection, the second one writes and the record set
    // goes on.
    Recordset rs = a.OpenRecordset(QStringLiteral("CLIENTI"));
    rs.MoveFirst();
    EXPECT_EQ(rs.Value(QStringLiteral("RAGSOC")).toString(), QStringLiteral("ROSSI"));
    {
        detail::DatabaseImpl::WriteScope ws(*ib);
        ib->exec(QStringLiteral("UPDATE CLIENTI SET RAGSOC = 'VERDI' WHERE CODICE = 2"));
        ws.commit();
    }
    rs.MoveNext();
    EXPECT_EQ(rs.Value(QStringLiteral("RAGSOC")).toString(), QStringLiteral("VERDI"));
    rs.Close();

    a.Close();
    EXPECT_FALSE(a.IsOpen());
    for (auto use : {std::function<void()>([&] { a.Name(); }), std::function<void()>([&] { a.TableDefs(); })}) {
        try {
            use();
            ADD_FAILURE() << "closed database used";
        } catch (const DbError& e) {
            EXPECT_EQ(e.number(), 3420);
        }
    }
    EXPECT_TRUE(b.IsOpen());
    EXPECT_EQ(b.TableDefs().Count(), 1);
}

TEST(OpenTest, CreateDatabaseMakesAnEmptyArchiveAndRefusesAnExistingFile)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/nuovo.mdb");
    Database db = CreateDatabase(path);
    // Only the metadata tables, all of them system tables.
    const TableDefCollection tables = db.TableDefs();
    ASSERT_EQ(tables.Count(), 4);
    for (int i = 0; i < tables.Count(); ++i) {
        EXPECT_TRUE(tables.Item(i).Name().startsWith(QStringLiteral("MSys")));
        EXPECT_EQ(tables.Item(i).Attributes() & dbSystemObject, dbSystemObject);
    }
    EXPECT_EQ(testsupport::sqliteValue(path, QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
    try {
        CreateDatabase(path);
        ADD_FAILURE() << "existing file overwritten";
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), 3204);
    }
}
