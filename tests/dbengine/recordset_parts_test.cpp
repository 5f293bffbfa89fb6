// A one-table query listed a part at a time: on random tables and random conditions (seeded), the
// moves, positions, counts, deletes and new records through the set give what the whole result
// gives, however the parts fall; a set opened on a large result lists only its first part.
#include "recordset_fixture.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <set>

using dbe::Recordset;
using rstest::Archive;

namespace {

struct Caso {
    Archive a;
    std::vector<int> attesi;  // the N of the records the condition takes, in rowid order
    QString query;
};

// n records (N = 1..n, K random 0..9, some rows deleted so rowids have gaps); the query takes those
// with K below soglia (3 to 9).
void prepara(Caso& c, QRandomGenerator& g, int n)
{
    c.a.exec("CREATE TABLE T (N LONG, K LONG)");
    c.a.db.Execute(QStringLiteral("INSERT INTO T (N, K) VALUES (0, 0)"));
    QVector<int> k(n + 1);
    for (int i = 1; i <= n; ++i) {
        k[i] = int(g.bounded(10));
        c.a.db.Execute(QStringLiteral("INSERT INTO T (N, K) VALUES (%1, %2)").arg(i).arg(k[i]));
    }
    c.a.db.Execute(QStringLiteral("DELETE FROM T WHERE N = 0 OR N MOD 97 = 5"));
    const int soglia = 3 + int(g.bounded(7));
    for (int i = 1; i <= n; ++i)
        if (k[i] < soglia && i % 97 != 5)
            c.attesi.push_back(i);
    c.query = QStringLiteral("SELECT * FROM T WHERE K < %1").arg(soglia);
}

int numero(const Recordset& rs) { return rs.Value(QStringLiteral("N")).toInt(); }

}  // namespace

TEST(RecordsetPartsTest, MovesPositionsCountsAndWritesMatchTheWholeResult)
{
    for (quint32 seme = 1; seme <= 6; ++seme) {
        SCOPED_TRACE(seme);
        QRandomGenerator g(seme);
        Caso c;
        prepara(c, g, 600 + int(g.bounded(1500)));
        const qint64 tutti = qint64(c.attesi.size());

        // Forward to the end, one record at a time.
        Recordset rs = c.a.db.OpenRecordset(c.query);
        EXPECT_LT(rs.ListedCount(), tutti);
        std::vector<int> visti;
        for (; !rs.Eof(); rs.MoveNext())
            visti.push_back(numero(rs));
        EXPECT_EQ(visti, c.attesi);
        EXPECT_TRUE(rs.AllListed());

        // Positions beyond what is listed, then the count, on a fresh set.
        rs = c.a.db.OpenRecordset(c.query);
        const qint64 p = qint64(g.bounded(quint32(tutti)));
        rs.SetAbsolutePosition(p);
        EXPECT_EQ(numero(rs), c.attesi[size_t(p)]);
        EXPECT_EQ(rs.AbsolutePosition(), p);
        EXPECT_EQ(rs.RecordCount(), tutti);
        rs.MoveLast();
        EXPECT_EQ(numero(rs), c.attesi.back());

        // Deletes through the set while parts are still to come: the rest are listed once each.
        rs = c.a.db.OpenRecordset(c.query);
        std::set<int> tolti;
        std::vector<int> rimasti;
        for (; !rs.Eof(); rs.MoveNext()) {
            if (g.bounded(4) == 0) {
                tolti.insert(numero(rs));
                rs.Delete();
            } else {
                rimasti.push_back(numero(rs));
            }
        }
        EXPECT_EQ(rs.RecordCount(), qint64(rimasti.size()));
        rs.Requery();
        std::vector<int> dopo;
        for (; !rs.Eof(); rs.MoveNext())
            dopo.push_back(numero(rs));
        EXPECT_EQ(dopo, rimasti);

        // A record added while parts are still to come is listed once, at the end.
        rs = c.a.db.OpenRecordset(c.query);
        rs.AddNew();
        rs.SetValue(QStringLiteral("N"), 99999);
        rs.SetValue(QStringLiteral("K"), 0);
        rs.Update();
        rimasti.push_back(99999);
        std::vector<int> conNuovo;
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
            conNuovo.push_back(numero(rs));
        EXPECT_EQ(conNuovo, rimasti);
    }
}
