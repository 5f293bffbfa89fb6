// A whole table rewritten under BulkRewrite: the connection's page cache stays small while every
// page is written (a few megabytes, not the tens the engine's own cache would fill), the records
// come out as written, and the connection's cache comes back when the guard dies.
#include "recordset_fixture.h"

#include "dbengine/bulk_rewrite.h"
#include "dbengine_inside.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

qint64 cacheSize(const dbe::Database& db)
{
    dbe::detail::Stmt st = dbe::inside::Impl(db)->prepare(QStringLiteral("PRAGMA cache_size"));
    return sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : 0;
}

// Bytes the connection's page cache holds now.
int cacheUsed(const dbe::Database& db)
{
    int used = 0, high = 0;
    sqlite3_db_status(dbe::inside::Impl(db)->db(), SQLITE_DBSTATUS_CACHE_USED, &used, &high, 0);
    return used;
}

}  // namespace

TEST(BulkRewriteTest, AWholeTableIsRewrittenInASmallCacheAndTheCacheComesBack)
{
    QRandomGenerator g(5);
    rstest::Archive a;
    a.exec("CREATE TABLE T (N LONG, A TEXT(200), B TEXT(200))");
    dbe::Workspace::Default().BeginTrans();
    QString testo;
    for (int i = 0; i < 120; ++i)
        testo += QChar(u'a' + g.bounded(26));
    for (int i = 0; i < 60000; ++i)
        a.db.Execute(QStringLiteral("INSERT INTO T (N, A) VALUES (%1, '%2')").arg(i).arg(testo.mid(i % 100)));
    dbe::Workspace::Default().CommitTrans();
    const qint64 prima = cacheSize(a.db);
    a.db.Close();
    a.db = dbe::OpenDatabase(a.path);  // a cache that holds nothing yet
    {
        dbe::BulkRewrite riscrittura(a.db);
        dbe::Workspace::Default().BeginTrans();
        a.db.Execute(QStringLiteral("UPDATE T SET B = A"));
        a.db.Execute(QStringLiteral("ALTER TABLE T DROP COLUMN A"));
        dbe::Workspace::Default().CommitTrans();
        EXPECT_LT(cacheUsed(a.db), 4 << 20);
    }
    EXPECT_EQ(cacheSize(a.db), prima);
    const QByteArray query = "SELECT * FROM T WHERE B = MID('" + testo.toUtf8() + "', (N MOD 100) + 1)";
    EXPECT_EQ(a.count(query.constData()), 60000);
}
