// The default workspace's transactions across connections, data definition rolled back with
// them, and a process killed while writing leaving a sound file.
#include "dbengine_inside.h"
#include "dbengine/dbengine.h"
#include "support/sqlite_file.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dbe;
using testsupport::sqliteValue;

namespace {

void write(Database& db, const QString& sql)
{
    detail::DatabaseImpl::WriteScope ws(*dbe::inside::Impl(db));
    dbe::inside::Impl(db)->exec(sql);
    ws.commit();
}

int count(const QString& path, const QString& table)
{
    return sqliteValue(path, QStringLiteral("SELECT count(*) FROM ") + table).toInt();
}

}  // namespace

TEST(TransactionsTest, RollbackUndoesDataAndDefinitionsOfEveryDatabase)
{
    QTemporaryDir dir;
    const QString a = dir.path() + QStringLiteral("/a.mdb");
    const QString b = dir.path() + QStringLiteral("/b.mdb");
    testsupport::sqliteExec(a, QStringLiteral("CREATE TABLE T (X LONG); INSERT INTO T VALUES (1)"));
    testsupport::sqliteExec(b, QStringLiteral("CREATE TABLE U (Y LONG)"));
    Database da = OpenDatabase(a);
    Workspace& ws = Workspace::Default();
    EXPECT_EQ(ws.TransactionLevel(), 0);

    ws.BeginTrans();
    Database db = OpenDatabase(b);  // opened inside: joins the transaction
    write(da, QStringLiteral("INSERT INTO T VALUES (2)"));
    write(db, QStringLiteral("INSERT INTO U VALUES (3)"));
    TableDef t = da.CreateTableDef(QStringLiteral("NUOVA"));
    t.Fields().Append(t.CreateField(QStringLiteral("F"), dbText, 10));
    da.TableDefs().Append(t);
    TableDef tt = da.TableDefs().Item(QStringLiteral("T"));
    tt.Fields().Append(tt.CreateField(QStringLiteral("Z"), dbDate));
    EXPECT_TRUE(da.TableDefs().Contains(QStringLiteral("NUOVA")));
    EXPECT_EQ(tt.Fields().Count(), 2);
    EXPECT_EQ(tt.RecordCount(), 2);
    ws.Rollback();

    EXPECT_EQ(ws.TransactionLevel(), 0);
    EXPECT_FALSE(da.TableDefs().Contains(QStringLiteral("NUOVA")));
    EXPECT_EQ(tt.Fields().Count(), 1);
    EXPECT_EQ(tt.RecordCount(), 1);
    EXPECT_EQ(count(b, QStringLiteral("U")), 0);
    EXPECT_EQ(sqliteValue(a, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'NUOVA'")).toInt(), 0);

    for (auto op : {&Workspace::CommitTrans, &Workspace::Rollback}) {
        try {
            (ws.*op)();
            ADD_FAILURE() << "no transaction, yet no error";
        } catch (const DbError& e) {
            EXPECT_EQ(e.number(), 3034);
        }
    }
}

TEST(TransactionsTest, CommitAcrossTwoConnectionsAndNestedLevels)
{
    QTemporaryDir dir;
    const QString a = dir.path() + QStringLiteral("/lumera.mdb");
    testsupport::sqliteExec(a, QStringLiteral("CREATE TABLE T (X LONG)"));
    Database first = OpenDatabase(a);
    Workspace& ws = Workspace::Default();

    ws.BeginTrans();
    write(first, QStringLiteral("INSERT INTO T VALUES (1)"));
    ws.BeginTrans();
    write(first, QStringLiteral("INSERT INTO T VALUES (2)"));
    ws.Rollback();  // the inner level only
    EXPECT_EQ(ws.TransactionLevel(), 1);
    ws.CommitTrans();
    EXPECT_EQ(count(a, QStringLiteral("T")), 1);

    // The second connection writes inside the transaction while the first one only reads; both
    // see the change once committed.
    Database second = OpenDatabase(a);
    ws.BeginTrans();
    EXPECT_EQ(first.TableDefs().Item(QStringLiteral("T")).RecordCount(), 1);
    write(second, QStringLiteral("INSERT INTO T VALUES (3)"));
    TableDef t = second.TableDefs().Item(QStringLiteral("T"));
    t.Fields().Append(t.CreateField(QStringLiteral("NUOVO"), dbText, 20));
    EXPECT_EQ(count(a, QStringLiteral("T")), 1);  // not yet in the file for others
    ws.CommitTrans();
    EXPECT_EQ(count(a, QStringLiteral("T")), 2);
    EXPECT_EQ(first.TableDefs().Item(QStringLiteral("T")).Fields().Count(), 2);
    EXPECT_EQ(first.TableDefs().Item(QStringLiteral("T")).RecordCount(), 2);
}

TEST(TransactionsTest, KilledWriterLeavesASoundFileWithWholeStatements)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/lumera.mdb");
    testsupport::sqliteExec(path, QStringLiteral("CREATE TABLE T (X LONG, S TEXT(50))"));

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        try {
            Database db = OpenDatabase(path);
            for (int i = 0;; ++i) {
                // Ten records a statement, and a definition change now and then.
                write(db, QStringLiteral("WITH RECURSIVE c(v) AS (SELECT 1 UNION ALL SELECT v + 1 FROM c WHERE v < 10) "
                                         "INSERT INTO T (X, S) SELECT v, 'riga' FROM c"));
                if (i % 50 == 0) {
                    TableDef t = db.TableDefs().Item(QStringLiteral("T"));
                    t.Fields().Append(t.CreateField(QStringLiteral("F%1").arg(i), dbLong));
                }
            }
        } catch (const DbError& e) {
            fprintf(stderr, "writer: %s\n", e.what());
        }
        _exit(3);
    }
    // The kill falls well after the writer's first definition change, however slowly it starts (a
    // loaded machine, a sanitized build): before it, the file has no metadata to check.
    QElapsedTimer started;
    started.start();
    while (sqliteValue(path, QStringLiteral("SELECT count(*) FROM pragma_table_info('T') WHERE name = 'F0'")).toInt()
               == 0
           && started.elapsed() < 60000)
        usleep(20 * 1000);
    usleep(400 * 1000);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself";

    Database db = OpenDatabase(path);
    EXPECT_EQ(sqliteValue(path, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    const qint64 n = db.TableDefs().Item(QStringLiteral("T")).RecordCount();
    EXPECT_GT(n, 0);
    EXPECT_EQ(n % 10, 0) << "a statement half applied";
    // Every column added is in the metadata too.
    const int columns = db.TableDefs().Item(QStringLiteral("T")).Fields().Count();
    EXPECT_EQ(sqliteValue(path, QStringLiteral("SELECT count(*) FROM MSysFields WHERE TableName = 'T'")).toInt(),
              columns - 2);
}

TEST(TransactionsTest, AWriteWaitsForABusyFileThenGivesUpWith3218)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/lumera.mdb");
    testsupport::sqliteExec(path, QStringLiteral("CREATE TABLE T (X LONG)"));
    Database db = OpenDatabase(path);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; INSERT INTO T VALUES (7)", nullptr, nullptr, nullptr), SQLITE_OK);
    QElapsedTimer waited;
    waited.start();
    try {
        write(db, QStringLiteral("INSERT INTO T VALUES (1)"));
        ADD_FAILURE() << "written over another writer's lock";
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), 3218);
        EXPECT_EQ(e.description(), QStringLiteral("Impossibile aggiornare. Attualmente bloccato."));
    }
    EXPECT_GE(waited.elapsed(), 2500);
    // Reading goes on meanwhile, and writing once the other writer is done.
    EXPECT_EQ(db.TableDefs().Item(QStringLiteral("T")).RecordCount(), 0);
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    write(db, QStringLiteral("INSERT INTO T VALUES (1)"));
    EXPECT_EQ(count(path, QStringLiteral("T")), 2);
}
