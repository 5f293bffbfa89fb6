// Requery after deletes through the set: on generated tables (seeded) of parents and children whose
// keys come in any case, with accents, as Null, as numbers or missing, the orphan query re-run after
// the set deleted some of its records gives exactly the records a fresh set of the same query
// lists, whatever else happened meanwhile (nothing, a write of another program, a statement of this
// connection, a rolled-back delete, a query that reads its own table); and when nothing else
// happened it is answered without reading the table through again.
#include "recordset_fixture.h"
#include "support/altro_programma.h"

#include "dbengine/progress.h"
#include "dbengine/stored_rows.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using dbe::Recordset;
using rstest::Archive;

namespace {

const QString kOrfani = QStringLiteral("SELECT * FROM FIGLI WHERE K NOT IN (SELECT DISTINCT K FROM PADRI)");

// A key as other programs write it: the parent's key respelt, one no parent has, Null or a number.
QString chiave(QRandomGenerator& g, const QStringList& padri)
{
    static const QStringList lettere = {QStringLiteral("a"), QStringLiteral("À"), QStringLiteral("é"),
                                        QStringLiteral("É"), QStringLiteral("z"), QStringLiteral("Ø")};
    switch (g.bounded(6)) {
    case 0: return QStringLiteral("NULL");
    case 1: return QString::number(g.bounded(40));
    case 2: {
        QString k;
        for (int i = 1 + int(g.bounded(3)); i > 0; --i)
            k += lettere[g.bounded(lettere.size())];
        return u'\'' + k + u'\'';
    }
    default: {
        QString k = padri[g.bounded(padri.size())];
        return u'\'' + (g.bounded(2) ? k.toUpper() : k.toLower()) + u'\'';
    }
    }
}

// PADRI(K) and FIGLI(N, K): n children, their keys drawn from the parents' in any case, from keys
// no parent has, Null and numbers (with inFondo, each a parent's key), the last ones all orphans.
void prepara(Archive& a, QRandomGenerator& g, int n, bool inFondo = false)
{
    a.exec("CREATE TABLE PADRI (K TEXT(10))");
    a.exec("CREATE TABLE FIGLI (N LONG, K TEXT(10))");
    QStringList padri;
    for (int i = 0; i < 12; ++i) {
        static const QStringList basi = {QStringLiteral("àb"), QStringLiteral("Èc"), QStringLiteral("x1"),
                                         QStringLiteral("7"), QStringLiteral("ÉÀ")};
        padri << basi[i % basi.size()] + QString::number(i / basi.size());
        a.db.Execute(QStringLiteral("INSERT INTO PADRI (K) VALUES ('%1')").arg(padri.last()));
    }
    a.db.Execute(QStringLiteral("INSERT INTO PADRI (K) VALUES ('À')"));
    dbe::Workspace::Default().BeginTrans();
    for (int i = 1; i <= n; ++i)
        a.db.Execute(QStringLiteral("INSERT INTO FIGLI (N, K) VALUES (%1, %2)")
                         .arg(i)
                         .arg(i > n - n / 8 ? QStringLiteral("'nessuno%1'").arg(i % 5)
                              : inFondo     ? u'\'' + padri[i % padri.size()] + u'\''
                                            : chiave(g, padri)));
    dbe::Workspace::Default().CommitTrans();
}

std::vector<int> numeri(Recordset rs)
{
    std::vector<int> out;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        out.push_back(rs.Value(QStringLiteral("N")).toInt());
    return out;
}

// Deletes through the set about one record in three of those listed (all listed first when tutti).
void eliminaAlcuni(Recordset& rs, QRandomGenerator& g, bool tutti)
{
    if (tutti)
        rs.MoveLast();
    QVector<dbe::Bookmark> segni;
    for (rs.MoveFirst(); !rs.Eof() && (tutti || segni.size() < 200); rs.MoveNext())
        if (g.bounded(3) == 0)
            segni << rs.GetBookmark();
    dbe::DeleteListedRows(rs, segni, [](const dbe::RowRef&, const dbe::StoredRow&) {});
}

// The steps SQLite took on the connection while f ran, in the progress watch's ticks (one every
// few thousand).
template <class F>
int passi(const dbe::Database& db, F&& f)
{
    int tick = 0;
    dbe::ProgressWatch watch(db, [&tick] {
        ++tick;
        return false;
    });
    f();
    return tick;
}

}  // namespace

TEST(RecordsetRequeryTest, RequeryAfterDeletesGivesWhatAFreshSetLists)
{
    const bool shell = testsupport::Sqlite3Disponibile();
    for (quint32 seme = 1; seme <= 14; ++seme) {
        SCOPED_TRACE(seme);
        QRandomGenerator g(seme);
        Archive a;
        prepara(a, g, 300 + int(g.bounded(900)));
        const int caso = int(seme % 7);
        // The query of case 6 reads its own table: deleting some of its records changes the answer
        // for the others.
        const QString query =
            caso == 6 ? QStringLiteral("SELECT * FROM FIGLI WHERE N NOT IN (SELECT N + 1 FROM FIGLI WHERE K IS NULL)")
                      : kOrfani;
        Recordset rs = a.db.OpenRecordset(query);
        if (caso == 3) {
            // A delete through the set that is taken back.
            dbe::Workspace::Default().BeginTrans();
            eliminaAlcuni(rs, g, g.bounded(2) == 0);
            dbe::Workspace::Default().Rollback();
        } else {
            eliminaAlcuni(rs, g, g.bounded(2) == 0);
        }
        switch (caso) {
        case 1:
            if (!shell)
                break;
            // Another program adds an orphan, removes a parent and gives a child a parent's key.
            testsupport::DaFuori(a.path, QStringLiteral("INSERT INTO FIGLI (N, K) VALUES (90001, 'altro');"
                                                        "DELETE FROM PADRI WHERE rowid = 2;"
                                                        "UPDATE FIGLI SET K = 'x12' WHERE rowid = 5;"));
            break;
        case 2: a.db.Execute(QStringLiteral("DELETE FROM PADRI WHERE K = 'À'")); break;
        case 4: a.db.Execute(QStringLiteral("INSERT INTO FIGLI (N, K) VALUES (90002, 'orfano')")); break;
        case 5: a.db.Execute(QStringLiteral("UPDATE FIGLI SET K = NULL WHERE N = 1")); break;
        default: break;
        }
        rs.Requery();
        EXPECT_EQ(numeri(rs), numeri(a.db.OpenRecordset(query)));
        EXPECT_EQ(rs.RecordCount(), a.db.OpenRecordset(query).RecordCount());
    }
}

TEST(RecordsetRequeryTest, RequeryAfterOwnDeletesDoesNotReadTheTableAgain)
{
    QRandomGenerator g(77);
    Archive a;
    prepara(a, g, 40000, true);  // the orphans in the table's last pages
    Recordset rs = a.db.OpenRecordset(kOrfani);
    rs.MoveLast();
    QVector<dbe::Bookmark> segni;
    for (rs.MoveFirst(); !rs.Eof() && segni.size() < 300; rs.MoveNext())
        segni << rs.GetBookmark();
    dbe::DeleteListedRows(rs, segni, [](const dbe::RowRef&, const dbe::StoredRow&) {});
    const std::vector<int> attesi = numeri(a.db.OpenRecordset(kOrfani));

    const int fresca = passi(a.db, [&] { a.db.OpenRecordset(kOrfani); });
    const int rilettura = passi(a.db, [&] { rs.Requery(); });
    EXPECT_LT(rilettura * 10, fresca);
    EXPECT_EQ(numeri(rs), attesi);
}
