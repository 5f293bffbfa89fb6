// The progress watch: a long query calls back while it runs, a true answer stops it at once with an
// error, and once the watch is gone the same query runs to its end untouched.
#include "recordset_fixture.h"

#include "dbengine_inside.h"

#include <gtest/gtest.h>

TEST(ProgressWatch, TicksWhileAQueryRunsAndStopsItOnRequest)
{
    rstest::Archive a;
    a.exec("CREATE TABLE VENDITE (NUMORD TEXT(10), CODCLI TEXT(10))");
    a.exec("CREATE TABLE CLIENTI (CODICE TEXT(10))");
    dbe::inside::Impl(a.db)->exec("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 30000) "
                                  "INSERT INTO \"VENDITE\" SELECT 'N' || x, 'C' || x FROM n");
    const char* orfani = "SELECT * FROM VENDITE WHERE CODCLI NOT IN (SELECT DISTINCT CODICE FROM CLIENTI)";

    int ticks = 0;
    {
        dbe::ProgressWatch w(a.db, [&] { return ++ticks < 0; });
        EXPECT_EQ(a.count(orfani), 30000);
        EXPECT_FALSE(w.Interrupted());
    }
    EXPECT_GT(ticks, 2);

    // Stopped at the third tick: the open fails, the watch says why, and nothing was changed.
    ticks = 0;
    {
        dbe::ProgressWatch w(a.db, [&] { return ++ticks == 3; });
        EXPECT_NE(rstest::errorOf([&] { a.count(orfani); }), 0);
        EXPECT_TRUE(w.Interrupted());
        EXPECT_EQ(ticks, 3);
        // A stopped watch stops whatever else runs under it.
        EXPECT_NE(rstest::errorOf([&] { a.db.Execute("DELETE FROM VENDITE WHERE CODCLI <> ''"); }), 0);
        EXPECT_EQ(ticks, 3);
    }
    EXPECT_EQ(a.count(orfani), 30000);
    EXPECT_EQ(ticks, 3);

    // A closed or null database is simply not watched.
    dbe::ProgressWatch nulla(dbe::Database(), [] { return true; });
    EXPECT_FALSE(nulla.Interrupted());
}
