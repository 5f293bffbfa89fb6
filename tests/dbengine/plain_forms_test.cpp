// Joins over fields whose values are all in the engine's own forms compare them as stored; one value
// in another form, written anywhere (seeded), by this connection or by another program, after the
// record set was opened, must give the same records as before at its next requery: equal keys in
// another case of their accented letters, the same date in another stored form.
#include "recordset_fixture.h"
#include "support/altro_programma.h"
#include "support/stampa_qt.h"

#include "dbengine/conversion.h"
#include "dbengine_inside.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using rstest::Archive;

namespace {

const char* const kPairs = "SELECT O.N, L.N FROM O INNER JOIN L ON O.CODCLI = L.CODCLI AND O.NUMORD = L.NUMORD "
                           "AND O.DATA = L.DATA";
const char* const kOrphans = "SELECT COUNT(*) FROM O LEFT JOIN L ON O.CODCLI = L.CODCLI AND O.NUMORD = L.NUMORD "
                             "AND O.DATA = L.DATA WHERE L.N IS NULL";

// Orders O and their lines L, every key ASCII and every date in the engine's own form; some orders
// without lines, and lines that miss their order by a day. The answers are known from the making.
struct Orders {
    Archive a;
    QStringList pairs;
    qint64 orphans = 0;
    QVector<int> withLines;  // orders that have lines
    QRandomGenerator random;

    explicit Orders(quint32 seed) : random(seed)
    {
        a.exec("CREATE TABLE O (N LONG, CODCLI TEXT(20), NUMORD TEXT(20), DATA DATETIME)");
        a.exec("CREATE TABLE L (N LONG, CODCLI TEXT(20), NUMORD TEXT(20), DATA DATETIME)");
        a.exec("CREATE INDEX DOCUMENTO ON O (CODCLI, NUMORD, DATA)");
        a.exec("CREATE INDEX DOCUMENTO ON L (CODCLI, NUMORD, DATA)");
        dbe::Workspace::Default().BeginTrans();
        int line = 0;
        for (int o = 0; o < 40; ++o) {
            const QString keys = QStringLiteral("'c%1', 'n%2'").arg(o % 7).arg(o);
            a.db.Execute(
                QStringLiteral("INSERT INTO O VALUES (%1, %2, #%3/1/2024 10:30:00#)").arg(o).arg(keys).arg(1 + o % 12));
            const int own = int(random.bounded(3));
            for (int j = 0; j < own; ++j, ++line) {
                a.db.Execute(QStringLiteral("INSERT INTO L VALUES (%1, %2, #%3/1/2024 10:30:00#)")
                                 .arg(line)
                                 .arg(keys)
                                 .arg(1 + o % 12));
                pairs << QStringLiteral("%1:%2").arg(o).arg(line);
            }
            if (own)
                withLines << o;
            else
                ++orphans;
            a.db.Execute(QStringLiteral("INSERT INTO L VALUES (%1, %2, #%3/2/2024 10:30:00#)")
                             .arg(line++)
                             .arg(keys)
                             .arg(1 + o % 12));
        }
        dbe::Workspace::Default().CommitTrans();
        pairs.sort();
    }

    // SQL that writes, for one order with lines, either its keys (in O and in its lines) with an
    // accented letter in a different case on each side, or one of its dates in another stored form:
    // the same records join as before.
    QString respelling()
    {
        const int o = withLines[random.bounded(withLines.size())];
        const QString inOrder = QStringLiteral("N = %1").arg(o);
        const QString inLines = QStringLiteral("CODCLI = 'c%1' AND NUMORD = 'n%2'").arg(o % 7).arg(o);
        const QString month = QStringLiteral("%1").arg(1 + o % 12, 2, 10, QLatin1Char('0'));
        static const QStringList kDates = {QStringLiteral("2024-%1-01T10:30:00.000Z"),
                                           QStringLiteral("2024/%1/01 10:30"), QStringLiteral("2024-%1-01T10:30")};
        switch (random.bounded(4)) {
        case 0:
            return QStringLiteral("UPDATE L SET CODCLI = 'C%1Ò' WHERE %2; UPDATE O SET CODCLI = 'c%1ò' WHERE %3;")
                .arg(o % 7)
                .arg(inLines, inOrder);
        case 1:
            return QStringLiteral("UPDATE O SET NUMORD = 'N%1À' WHERE %2; UPDATE L SET NUMORD = 'n%1à' WHERE %3;")
                .arg(o)
                .arg(inOrder, inLines);
        case 2:
            return QStringLiteral("UPDATE O SET DATA = '%1' WHERE %2;")
                .arg(kDates[random.bounded(kDates.size())].arg(month), inOrder);
        default:  // the lines of the order, not the one that misses it by a day
            return QStringLiteral("UPDATE L SET DATA = '%1' WHERE %2 AND DATA = '2024-%3-01 10:30:00';")
                .arg(kDates[random.bounded(kDates.size())].arg(month), inLines, month);
        }
    }

    // The fields the query's translation compares in their plain form now.
    int plainFields(const char* query) const
    {
        auto* d = dbe::inside::Impl(a.db).get();
        return int(dbe::dialect::translate(QString::fromUtf8(query), d->schemaProvider()).plainColumns.size());
    }
};

// Opens both queries on the plain archive, lets write change it, and requires the same answers
// from the sets' requery and from sets opened afresh.
void checkRequery(Orders& d, const std::function<void(const QString&)>& write)
{
    ASSERT_EQ(d.plainFields(kPairs), 6);
    dbe::Recordset pairs = d.a.db.OpenRecordset(QString::fromUtf8(kPairs));
    dbe::Recordset orphans = d.a.db.OpenRecordset(QString::fromUtf8(kOrphans), dbe::dbOpenSnapshot);
    ASSERT_EQ(rstest::sortedRows(pairs), d.pairs);
    ASSERT_EQ(orphans.Value(0).toLongLong(), d.orphans);
    const QString sql = d.respelling();
    SCOPED_TRACE(sql.toStdString());
    write(sql);
    EXPECT_LT(d.plainFields(kPairs), 6);
    pairs.Requery();
    orphans.Requery();
    EXPECT_EQ(rstest::sortedRows(pairs), d.pairs);
    EXPECT_EQ(orphans.Value(0).toLongLong(), d.orphans);
    dbe::Recordset fresh = d.a.db.OpenRecordset(QString::fromUtf8(kPairs));
    EXPECT_EQ(rstest::sortedRows(fresh), d.pairs);
    // The unreadable dates the join's census counted are those of the file as it is now.
    const auto unreadable = [&] {
        return dbe::CountUnreadable(d.a.db, QStringLiteral("L"), {QStringLiteral("DATA")})[0];
    };
    EXPECT_EQ(unreadable(), 0);
    write(QStringLiteral("UPDATE L SET DATA = 'domani' WHERE N = 0;"));
    EXPECT_EQ(unreadable(), 1);
}

}  // namespace

TEST(PlainForms, ValuesInOtherFormsWrittenByThisConnectionAreSeenAtTheNextRequery)
{
    for (quint32 seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        Orders d(seed);
        checkRequery(d, [&](const QString& sql) { dbe::inside::Impl(d.a.db)->exec(sql); });
    }
}

TEST(PlainForms, ValuesInOtherFormsWrittenByAnotherProgramAreSeenAtTheNextRequery)
{
    if (!testsupport::Sqlite3Disponibile())
        GTEST_SKIP() << "sqlite3 non disponibile";
    for (quint32 seed = 101; seed <= 104; ++seed) {
        SCOPED_TRACE(seed);
        Orders d(seed);
        checkRequery(d, [&](const QString& sql) { testsupport::DaFuori(d.a.path, sql); });
    }
}
