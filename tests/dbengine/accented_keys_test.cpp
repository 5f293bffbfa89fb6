// Keys with accented letters in any case and of any length, as other programs write them: two
// tables joined on such keys, looked up through IN and NOT IN, compared in WHERE and with literals,
// and refused as duplicates by a unique index, all compared with the keys' folded forms computed
// here. The keys are generated (seeded): 0 to 20 accented letters, each in a random case.
#include "recordset_fixture.h"
#include "support/altro_programma.h"
#include "support/stampa_qt.h"

#include "dbengine/progress.h"
#include "dbengine_inside.h"

#include <QRandomGenerator>
#include <QSet>
#include <gtest/gtest.h>
#include <sqlite3.h>

using rstest::Archive;

namespace {

// Letters equal to one another without regard to case, each group's first one its folded form.
const QStringList kGroups = {
    QStringLiteral("àÀ"), QStringLiteral("èÈ"),  QStringLiteral("éÉ"), QStringLiteral("ìÌ"), QStringLiteral("òÒ"),
    QStringLiteral("ùÙ"), QStringLiteral("çÇ"),  QStringLiteral("ñÑ"), QStringLiteral("öÖ"), QStringLiteral("åÅ"),
    QStringLiteral("œŒ"), QStringLiteral("šŠ"),  QStringLiteral("łŁ"), QStringLiteral("σΣ"), QStringLiteral("жЖ"),
    QStringLiteral("ßẞ"), QStringLiteral("ǆǅǄ"), QStringLiteral("üÜ"),
};

class Keys {
public:
    explicit Keys(quint32 seed) : random_(seed) {}

    // A new key: ASCII letters and digits around `accented` letters of the groups, folded.
    QString make(int accented)
    {
        QString key;
        const int ascii = 1 + int(random_.bounded(5));
        for (int i = 0; i < accented + ascii; ++i) {
            if (random_.bounded(accented + ascii) < accented)
                key += kGroups[random_.bounded(kGroups.size())][0];
            else
                key += QChar(u"abcxyz0189"[random_.bounded(10)]);
        }
        return key;
    }
    // The same key with every letter in a random case.
    QString respell(const QString& key)
    {
        QString out;
        for (const QChar c : key) {
            const QString* group = groupOf(c);
            if (group)
                out += (*group)[random_.bounded(group->size())];
            else
                out += random_.bounded(2) ? c.toUpper() : c;
        }
        return out;
    }
    // The key with one accented letter (from its middle on) made another letter: no longer equal.
    QString nearMiss(const QString& key)
    {
        QVector<int> at;
        for (int i = key.size() / 2; i < key.size(); ++i) {
            if (groupOf(key[i]))
                at.append(i);
        }
        QString out = respell(key);
        if (at.isEmpty())
            return out + QStringLiteral("à");
        const int i = at[random_.bounded(at.size())];
        out[i] = fold(key.mid(i, 1)) == u"à" ? QChar(u'á') : QChar(u'à');
        return out;
    }
    quint32 bounded(quint32 n) { return random_.bounded(n); }

    // The key as DBE_NOCASE sees it: each letter in its group's first form, ASCII in lower case.
    static QString fold(const QString& key)
    {
        QString out;
        for (const QChar c : key) {
            const QString* group = groupOf(c);
            out += group ? (*group)[0] : c.toLower();
        }
        return out;
    }

private:
    static const QString* groupOf(QChar c)
    {
        for (const QString& g : kGroups) {
            if (g.contains(c))
                return &g;
        }
        return nullptr;
    }
    QRandomGenerator random_;
};

QString quoted(const QString& text) { return u'\'' + text + u'\''; }

// Every record of a query, each as its fields joined by ':', sorted.
QStringList rows(const Archive& a, const QString& query)
{
    dbe::Recordset rs = a.db.OpenRecordset(query);
    return rstest::sortedRows(rs);
}

// Masters C (unique keys) and lines V (keys respelled, orphans, near misses), and the answers the
// folded keys give.
struct Archives {
    Archive a;
    QVector<QString> masters, lines;  // as written; master i has ID i, line j has N j
    QStringList pairs, differing, matched, orphans;  // "N:ID" pairs; N of the lines with and without a master

    explicit Archives(Keys& keys)
    {
        a.exec("CREATE TABLE C (ID LONG, COD TEXT(80), K LONG)");
        a.exec("CREATE UNIQUE INDEX PrimaryKey ON C (COD)");
        a.exec("CREATE TABLE V (N LONG, CODCLI TEXT(80), K LONG)");
        a.exec("CREATE INDEX CODCLI ON V (CODCLI)");
        QSet<QString> folded;
        while (masters.size() < 42) {
            const QString key = keys.make(masters.size() % 21);
            if (folded.contains(Keys::fold(key)))
                continue;
            folded.insert(Keys::fold(key));
            masters << keys.respell(key);
            lines << keys.respell(key) << keys.nearMiss(key) << keys.make(int(keys.bounded(21)));
            for (quint32 n = keys.bounded(3); n > 0; --n)
                lines << keys.respell(key);
        }
        for (int i = 0; i < masters.size(); ++i)
            a.db.Execute(QStringLiteral("INSERT INTO C VALUES (%1, %2, 1)").arg(i).arg(quoted(masters[i])));
        for (int j = 0; j < lines.size(); ++j) {
            a.db.Execute(QStringLiteral("INSERT INTO V VALUES (%1, %2, 1)").arg(j).arg(quoted(lines[j])));
            bool found = false;
            for (int i = 0; i < masters.size(); ++i) {
                const bool same = Keys::fold(masters[i]) == Keys::fold(lines[j]);
                (same ? pairs : differing) << QStringLiteral("%1:%2").arg(j).arg(i);
                found = found || same;
            }
            (found ? matched : orphans) << QString::number(j);
        }
        for (QStringList* l : {&pairs, &differing, &matched, &orphans})
            l->sort();
    }
};

// Orders O and their lines L joined as the order-lines check joins them, on the customer and the
// number, which the lines carry respelled under one index (CODCLI, NUMORD): no index leads the
// number. Numbers have 4 to 12 accented letters, more spellings than are listed one by one.
struct Documents {
    Archive a;
    QStringList pairs, orphans;  // "order:line" pairs; orders without a line
    QVector<int> strays;  // lines of no order (near misses)

    // respelled false: every key written folded, as the engine writes it, from the same draws.
    // perCustomer: orders of one customer, on average; customerAccents: the most accented letters
    // of a customer's code.
    Documents(Keys& keys, int orders, bool respelled = true, int perCustomer = 5, int customerAccents = 3)
    {
        const auto spell = [&](const QString& key) {
            return respelled ? keys.respell(key) : Keys::fold(keys.respell(key));
        };
        const auto miss = [&](const QString& key) {
            return respelled ? keys.nearMiss(key) : Keys::fold(keys.nearMiss(key));
        };
        a.exec("CREATE TABLE O (N LONG, CODCLI TEXT(80), NUMORD TEXT(80))");
        a.exec("CREATE TABLE L (N LONG, CODCLI TEXT(80), NUMORD TEXT(80))");
        a.exec("CREATE INDEX DOCUMENTO ON L (CODCLI, NUMORD)");
        QStringList customers;
        while (customers.size() < orders / perCustomer + 1)
            customers << keys.make(int(keys.bounded(customerAccents + 1)));
        QSet<QString> numbers;
        QVector<QPair<QString, QString>> lines;
        dbe::Workspace::Default().BeginTrans();
        for (int o = 0; o < orders; ++o) {
            const QString customer = customers[keys.bounded(customers.size())];
            const QString number = keys.make(4 + int(keys.bounded(9)));
            if (numbers.contains(Keys::fold(number))) {
                --o;
                continue;
            }
            numbers.insert(Keys::fold(number));
            a.db.Execute(QStringLiteral("INSERT INTO O VALUES (%1, %2, %3)")
                             .arg(o)
                             .arg(quoted(spell(customer)), quoted(spell(number))));
            const int own = int(keys.bounded(4));  // 0: an order without lines
            for (int j = 0; j < own; ++j) {
                pairs << QStringLiteral("%1:%2").arg(o).arg(lines.size());
                lines.append({spell(customer), spell(number)});
            }
            if (own == 0)
                orphans << QString::number(o);
            strays << int(lines.size());
            lines.append({spell(customer), miss(number)});
        }
        for (int j = 0; j < lines.size(); ++j)
            add(j, lines[j].first, lines[j].second);
        dbe::Workspace::Default().CommitTrans();
        pairs.sort();
        orphans.sort();
    }
    void add(int n, const QString& customer, const QString& number) const
    {
        a.db.Execute(QStringLiteral("INSERT INTO L VALUES (%1, %2, %3)").arg(n).arg(quoted(customer), quoted(number)));
    }
};

const char* const kPairsQuery = "SELECT O.N, L.N FROM O INNER JOIN L ON O.CODCLI = L.CODCLI AND O.NUMORD = L.NUMORD";
const char* const kOrphansQuery =
    "SELECT O.N FROM O LEFT JOIN L ON O.CODCLI = L.CODCLI AND O.NUMORD = L.NUMORD WHERE L.NUMORD IS NULL";

// The rows of a query and, through *work, how many thousands of steps the engine took for it,
// every statement it ran on the way included.
QStringList rowsAndWork(const Archive& a, const char* query, int* work)
{
    int ticks = 0;
    dbe::ProgressWatch watch(a.db, [&] {
        ++ticks;
        return false;
    });
    const QStringList out = rows(a, QString::fromUtf8(query));
    *work += ticks;
    return out;
}

// What a PRAGMA gives on the connection, as a number.
qint64 pragma(const dbe::Database& db, const char* name)
{
    dbe::detail::Stmt st = dbe::inside::Impl(db)->prepare(QStringLiteral("PRAGMA ") + QLatin1String(name));
    return sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : 0;
}

// The connection's page cache as set now, in KiB.
qint64 cacheKiB(const dbe::Database& db)
{
    const qint64 size = pragma(db, "cache_size");
    return size < 0 ? -size : size * 4;
}

}  // namespace

TEST(AccentedKeys, TwoKeyJoinReadsTheLinesInStepsThatGrowWithTheTables)
{
    // Four times the orders must cost about four times the steps, not sixteen: a number looked up
    // by reading every line for each order would.
    int work[2] = {0, 0};
    for (int size : {0, 1}) {
        SCOPED_TRACE(size);
        Keys keys(31 + size);
        Documents d(keys, size ? 400 : 100);
        EXPECT_EQ(rowsAndWork(d.a, kPairsQuery, &work[size]), d.pairs);
        EXPECT_EQ(rowsAndWork(d.a, kOrphansQuery, &work[size]), d.orphans);
    }
    EXPECT_GT(work[0], 0);
    EXPECT_LE(work[1], 6 * work[0] + 10) << work[0] << " -> " << work[1];
}

TEST(AccentedKeys, TwoKeyJoinOnRespelledKeysTakesAboutTheStepsOfFoldedKeys)
{
    // Customers of many orders whose codes have up to eight accented letters: their lines hold
    // them in many spellings, and so do the orders' numbers. Looking each order's lines up under
    // every spelling of the customer held by some line, times every spelling of the number, costs
    // many times what the same archive costs with every key folded.
    int work[2] = {0, 0};
    for (bool respelled : {false, true}) {
        SCOPED_TRACE(respelled);
        Keys keys(57);
        Documents d(keys, 300, respelled, 25, 8);
        EXPECT_EQ(rowsAndWork(d.a, kPairsQuery, &work[respelled]), d.pairs);
        EXPECT_EQ(rowsAndWork(d.a, kOrphansQuery, &work[respelled]), d.orphans);
    }
    EXPECT_GT(work[0], 0);
    EXPECT_LE(work[1], 3 * work[0]) << work[0] << " -> " << work[1];
}

TEST(AccentedKeys, TwoKeyJoinOnKeysInEveryCaseTakesTheStepsOfFoldedKeys)
{
    // Every order and line in a case of its own: the keys tried for an order are those its lines
    // hold, spelled from what the look-up kept of them rather than read again from each line, and
    // not the folded keys as well when no line holds them so.
    for (const quint32 seed : {83u, 4099u}) {
        SCOPED_TRACE(seed);
        int work[2] = {0, 0};
        for (bool respelled : {false, true}) {
            Keys keys(seed);
            Documents d(keys, 800, respelled);
            EXPECT_EQ(rowsAndWork(d.a, kPairsQuery, &work[respelled]), d.pairs);
            EXPECT_EQ(rowsAndWork(d.a, kOrphansQuery, &work[respelled]), d.orphans);
        }
        EXPECT_GT(work[0], 0);
        // An order whose lines hold three spellings still costs three seeks, not one.
        EXPECT_LE(work[1], work[0] + work[0] / 4) << work[0] << " -> " << work[1];
    }
}

TEST(AccentedKeys, TwoKeyJoinReadsAnOrdersLinesTogetherHoweverTheirKeysAreSpelled)
{
    // An order's lines, entered with it, each with its keys in a case of its own: the orphan query
    // must read them where they lie, next to one another, not through each spelling at its own
    // place in the index. With a page cache of a few pages the pages read are then about those of
    // the tables, read once or twice, not a page for each spelling of each order.
    Keys keys(6007);
    Documents d(keys, 3000, true, 20, 6);
    sqlite3* db = dbe::inside::Impl(d.a.db)->db();
    dbe::inside::Impl(d.a.db)->exec(QStringLiteral("PRAGMA cache_size=8"));
    const qint64 pages = pragma(d.a.db, "page_count");
    ASSERT_GT(pages, 0);
    for (int run = 0; run < 2; ++run) {  // the lines kept, then kept already
        SCOPED_TRACE(run);
        int current = 0, highest = 0;
        sqlite3_db_status(db, SQLITE_DBSTATUS_CACHE_MISS, &current, &highest, 1);
        EXPECT_EQ(rows(d.a, kOrphansQuery), d.orphans);
        sqlite3_db_status(db, SQLITE_DBSTATUS_CACHE_MISS, &current, &highest, 1);
        EXPECT_LE(current, 3 * pages) << pages << " pages";
    }
    // A query that names one order still seeks it on its index, not every order in turn.
    d.a.exec("CREATE INDEX N ON O (N)");
    dbe::inside::Impl(d.a.db)->exec(QStringLiteral("PRAGMA cache_size=-65536"));
    int whole = 0, one = 0;
    EXPECT_EQ(rowsAndWork(d.a, kOrphansQuery, &whole), d.orphans);
    const QString order = d.pairs.value(d.pairs.size() / 2).section(u':', 0, 0);
    EXPECT_EQ(
        rowsAndWork(d.a,
                    QStringLiteral("%1 AND O.N = %2").arg(QString::fromUtf8(kOrphansQuery), order).toUtf8().constData(),
                    &one),
        QStringList());
    QStringList lines;
    for (const QString& pair : d.pairs) {
        if (pair.section(u':', 0, 0) == order)
            lines << order + u':' + pair.section(u':', 1);
    }
    EXPECT_EQ(rows(d.a,
                   QStringLiteral("SELECT O.N, L.N FROM O LEFT JOIN L ON O.CODCLI = L.CODCLI AND O.NUMORD = L.NUMORD "
                                  "WHERE O.N = %1")
                       .arg(order)),
              lines);
    // Reading every order (a step or so each, 3,000 of them) would take a few thousand steps more.
    EXPECT_GT(whole, 20);
    EXPECT_LE(one, 1) << whole << " -> " << one;
}

TEST(AccentedKeys, TwoKeyJoinSeesEveryChangeMadeSinceItsLastRun)
{
    if (!testsupport::Sqlite3Disponibile())
        GTEST_SKIP() << "sqlite3 non disponibile";
    Keys keys(4242);
    Documents d(keys, 60);
    int work = 0;
    ASSERT_EQ(rowsAndWork(d.a, kOrphansQuery, &work), d.orphans);
    ASSERT_GE(d.orphans.size(), 3);
    // Lines for three orders without lines, each number in a spelling no line had: one added by
    // this connection, one by another program, and one line of another order given that spelling
    // by another program.
    // The customer and number of an order, each respelled.
    const auto keysOf = [&](const QString& order) {
        const QString both = rows(d.a, "SELECT CODCLI, NUMORD FROM O WHERE N = " + order).value(0);
        return QStringList{quoted(keys.respell(Keys::fold(both.section(u':', 0, 0)))),
                           quoted(keys.respell(Keys::fold(both.section(u':', 1))))};
    };
    const QStringList own = keysOf(d.orphans[0]);
    d.a.db.Execute(QStringLiteral("INSERT INTO L VALUES (9000, %1, %2)").arg(own[0], own[1]));
    EXPECT_EQ(rows(d.a, kOrphansQuery), d.orphans.mid(1));
    const QStringList other = keysOf(d.orphans[1]), moved = keysOf(d.orphans[2]);
    testsupport::DaFuori(d.a.path, QStringLiteral("INSERT INTO L VALUES (9001, %1, %2);"
                                                  "UPDATE L SET CODCLI = %3, NUMORD = %4 WHERE N = %5;")
                                       .arg(other[0], other[1], moved[0], moved[1])
                                       .arg(d.strays[0]));
    EXPECT_EQ(rows(d.a, kOrphansQuery), d.orphans.mid(3));
}

TEST(AccentedKeys, TwoKeyJoinAnswersAlikeWhenTheLinesCannotBeKept)
{
    // Lines the look-up cannot keep by their rowid: one beyond 32 bits, or keys that are not valid
    // UTF-8 (another program's bytes). The table is then looked up key by key, and the answers are
    // the folded keys' still: the line found for its order, the bad bytes equal to nothing.
    for (const bool badBytes : {false, true}) {
        SCOPED_TRACE(badBytes);
        Keys keys(badBytes ? 515 : 514);
        Documents d(keys, 80);
        ASSERT_GE(d.orphans.size(), 2);
        const QString order = d.orphans[0];
        const QString both = rows(d.a, "SELECT CODCLI, NUMORD FROM O WHERE N = " + order).value(0);
        const QString customer = quoted(keys.respell(Keys::fold(both.section(u':', 0, 0))));
        const QString number = quoted(keys.respell(Keys::fold(both.section(u':', 1))));
        const QString line = badBytes ? QStringLiteral("9000") : QStringLiteral("5000000000");
        dbe::inside::Impl(d.a.db)->exec(
            QStringLiteral("INSERT INTO L (rowid, N, CODCLI, NUMORD) VALUES (%1, %1, %2, %3)")
                .arg(line, customer, number));
        if (badBytes) {
            dbe::inside::Impl(d.a.db)->exec(
                QStringLiteral("INSERT INTO L VALUES (9001, CAST(X'C3' AS TEXT) || %1, %2)").arg(customer, number));
        }
        QStringList pairs = d.pairs;
        pairs << order + u':' + line;
        pairs.sort();
        EXPECT_EQ(rows(d.a, kPairsQuery), pairs);
        EXPECT_EQ(rows(d.a, kOrphansQuery), d.orphans.mid(1));
    }
}

TEST(AccentedKeys, TablesJoinAndLookUpAsTheFoldedKeysDo)
{
    for (quint32 seed : {7u, 1913u}) {
        SCOPED_TRACE(seed);
        Keys keys(seed);
        Archives t(keys);
        const Archive& a = t.a;
        // Joins from either side (each looks up the other's index), WHERE over two tables.
        EXPECT_EQ(rows(a, "SELECT V.N, C.ID FROM V INNER JOIN C ON V.CODCLI = C.COD"), t.pairs);
        EXPECT_EQ(rows(a, "SELECT V.N, C.ID FROM C INNER JOIN V ON C.COD = V.CODCLI"), t.pairs);
        EXPECT_EQ(rows(a, "SELECT V.N, C.ID FROM V, C WHERE C.COD = V.CODCLI"), t.pairs);
        EXPECT_EQ(rows(a, "SELECT V.N, C.ID FROM V, C WHERE C.COD <> V.CODCLI"), t.differing);
        // The orphan check's forms: a join without a match, NOT IN, and IN.
        EXPECT_EQ(rows(a, "SELECT V.N FROM V LEFT JOIN C ON V.CODCLI = C.COD WHERE C.COD IS NULL"), t.orphans);
        EXPECT_EQ(rows(a, "SELECT N FROM V WHERE CODCLI NOT IN (SELECT DISTINCT COD FROM C)"), t.orphans);
        EXPECT_EQ(rows(a, "SELECT N FROM V WHERE CODCLI IN (SELECT COD FROM C)"), t.matched);
        // A subquery's field against its enclosing query's.
        EXPECT_EQ(rows(a, "SELECT N FROM V WHERE K IN (SELECT C.K FROM C WHERE C.COD = V.CODCLI)"), t.matched);
    }
}

TEST(AccentedKeys, LiteralsAndUniqueIndexesFollowTheFoldedKeys)
{
    Keys keys(2718);
    Archives t(keys);
    const Archive& a = t.a;
    for (int i = 0; i < t.masters.size(); ++i) {
        SCOPED_TRACE(t.masters[i].toStdString());
        QStringList lines;
        for (const QString& p : t.pairs) {
            if (p.section(u':', 1) == QString::number(i))
                lines << p.section(u':', 0, 0);
        }
        lines.sort();
        const QString respelled = keys.respell(Keys::fold(t.masters[i]));
        EXPECT_EQ(rows(a, "SELECT N FROM V WHERE CODCLI = " + quoted(respelled)), lines);
        EXPECT_EQ(rows(a, "SELECT ID FROM C WHERE " + quoted(respelled) + " = COD"), QStringList{QString::number(i)});
        EXPECT_EQ(a.count(("SELECT * FROM V WHERE CODCLI <> " + quoted(respelled)).toUtf8().constData()),
                  t.lines.size() - lines.size());
        const QString next = t.masters[(i + 1) % t.masters.size()];
        EXPECT_EQ(rows(a, QStringLiteral("SELECT ID FROM C WHERE COD IN (%1, %2)")
                              .arg(quoted(respelled), quoted(keys.respell(next))))
                      .size(),
                  2);

        // The unique index refuses the key in another case, by INSERT and by UPDATE, and takes a near
        // miss, which then stays.
        EXPECT_DB_ERROR(3022, a.db.Execute("INSERT INTO C (ID, COD) VALUES (-1, " + quoted(respelled) + ")"));
        EXPECT_DB_ERROR(
            3022,
            a.db.Execute(QStringLiteral("UPDATE C SET COD = %1 WHERE ID = %2").arg(quoted(keys.respell(next))).arg(i)));
        const QString miss = keys.nearMiss(Keys::fold(t.masters[i]));
        a.db.Execute(QStringLiteral("INSERT INTO C (ID, COD) VALUES (%1, %2)").arg(1000 + i).arg(quoted(miss)));
        EXPECT_EQ(rows(a, "SELECT ID FROM C WHERE COD = " + quoted(miss)), QStringList{QString::number(1000 + i)});
    }
    EXPECT_EQ(a.count("SELECT * FROM C"), 2 * t.masters.size());
}

TEST(AccentedKeys, KeptLinesTakeTheirRoomFromThePageCacheAndGiveItBack)
{
    // Lines whose every key has an accented letter are all kept by the look-up, 8 bytes each: the
    // page cache must give that room up while they are kept, or a large archive's check holds both
    // (tens of megabytes each), and take it back once they are no longer kept.
    Keys keys(1201);
    Documents d(keys, 40);
    const int lines = 400000;
    dbe::inside::Impl(d.a.db)->exec(
        QStringLiteral("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < %1) "
                       "INSERT INTO \"L\" SELECT 100000 + x, 'clì' || (x % 997), 'nÈ' || x FROM n")
            .arg(lines));
    const qint64 given = cacheKiB(d.a.db);
    ASSERT_GT(given, lines * 8 / 1024);
    int work = 0;
    EXPECT_EQ(rowsAndWork(d.a, kOrphansQuery, &work), d.orphans);
    const qint64 kept = cacheKiB(d.a.db);
    EXPECT_LE(kept + lines * 8 / 1024, given) << given << " -> " << kept;
    EXPECT_GE(kept, std::min<qint64>(given, 8 * 1024));
    // The same lines in ASCII: only the documents' own lines are kept (a few kilobytes), and the
    // cache is whole again but for them.
    dbe::inside::Impl(d.a.db)->exec(QStringLiteral("UPDATE \"L\" SET CODCLI = 'cli', NUMORD = 'n' WHERE N >= 100000"));
    EXPECT_EQ(rowsAndWork(d.a, kOrphansQuery, &work), d.orphans);
    EXPECT_LE(given - cacheKiB(d.a.db), 8) << given << " -> " << cacheKiB(d.a.db);
}
