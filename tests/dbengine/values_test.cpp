// The field rules and value storage, through the functions and through dbe_fit() in SQL, so that
// record sets and statements check alike.
#include "dbengine_inside.h"
#include "dbengine/dbengine.h"
#include "recordset_fixture.h"
#include "support/sqlite_file.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>
#include <sqlite3.h>

using namespace dbe;
using namespace dbe::detail;

namespace {

int errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const DbError& e) {
        return e.number();
    }
    return 0;
}

FieldInfo field(short type, qint32 size, bool azl, bool required)
{
    FieldInfo f;
    f.name = QStringLiteral("RAGSOC");
    f.type = type;
    f.size = size;
    f.allowZeroLength = azl;
    f.required = required;
    return f;
}

}  // namespace

TEST(ValuesTest, StorageFormsAndRules)
{
    EXPECT_EQ(toStorage(true, dbBoolean), QVariant(qint64(-1)));
    EXPECT_EQ(toStorage(QStringLiteral("0"), dbBoolean), QVariant(qint64(0)));
    EXPECT_EQ(toStorage(QStringLiteral("12"), dbInteger), QVariant(qint64(12)));
    EXPECT_EQ(toStorage(2.5, dbLong), QVariant(qint64(2)));  // half to even
    EXPECT_EQ(toStorage(12.34567, dbCurrency), QVariant(12.3457));
    EXPECT_EQ(toStorage(42, dbText), QVariant(QStringLiteral("42")));
    EXPECT_EQ(toStorage(QDate(2024, 2, 29), dbDate), QVariant(QStringLiteral("2024-02-29 00:00:00")));
    EXPECT_EQ(toStorage(QStringLiteral("31/12/2023 23:59:58"), dbDate),
              QVariant(QStringLiteral("2023-12-31 23:59:58")));
    EXPECT_EQ(toStorage(QStringLiteral("{6f9619ff-8b86-d011-b42d-00c04fc964ff}"), dbGUID),
              QVariant(QStringLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964FF}")));
    EXPECT_TRUE(toStorage(QVariant(), dbText).isNull());
    EXPECT_EQ(errorOf([] { toStorage(QStringLiteral("abc"), dbLong); }), 3464);
    EXPECT_EQ(errorOf([] { toStorage(QStringLiteral("non è una data"), dbDate); }), 3464);
    EXPECT_EQ(errorOf([] { toStorage(300, dbByte); }), 3349);
    EXPECT_EQ(dateFromStorage(QStringLiteral("2024-01-02 03:04:05")), QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)));
    EXPECT_FALSE(dateFromStorage(QStringLiteral("2024-13-02 03:04:05")).isValid());

    EXPECT_EQ(errorOf([] { checkRules(field(dbText, 5, true, false), QStringLiteral("ROSSIX")); }), 3163);
    EXPECT_EQ(errorOf([] { checkRules(field(dbText, 5, true, false), QStringLiteral("ROSSI")); }), 0);
    EXPECT_EQ(errorOf([] { checkRules(field(dbText, 5, false, false), QString(QLatin1String(""))); }), 3315);
    EXPECT_EQ(errorOf([] { checkRules(field(dbMemo, 0, true, false), QString(QLatin1String(""))); }), 0);
    EXPECT_EQ(errorOf([] { checkRules(field(dbLong, 4, false, true), QVariant()); }), 3314);
    FieldInfo pk = field(dbLong, 4, false, false);
    pk.primaryKey = true;
    EXPECT_EQ(errorOf([&] { checkRules(pk, QVariant()); }), 3058);
    try {
        checkRules(field(dbText, 5, false, false), QString(QLatin1String("")));
    } catch (const DbError& e) {
        EXPECT_EQ(e.description(), QStringLiteral("Il campo 'RAGSOC' non può essere una stringa di lunghezza zero."));
    }
}

TEST(ValuesTest, BindAndReadRoundTripAndDbeFitInStatements)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/lumera.mdb");
    testsupport::sqliteExec(path, QStringLiteral(
                                      "CREATE TABLE T (A YESNO, D DATETIME, B LONGBINARY, S TEXT(5) COLLATE NOCASE)"));
    Database db = OpenDatabase(path);
    DatabaseImpl& d = *dbe::inside::Impl(db);
    {
        Stmt st = d.prepare(QStringLiteral("INSERT INTO T VALUES (?1, ?2, ?3, ?4)"));
        bind(st, 1, toStorage(true, dbBoolean));
        bind(st, 2, toStorage(QDateTime(QDate(2023, 5, 6), QTime(7, 8, 9)), dbDate));
        bind(st, 3, QByteArray());
        bind(st, 4, QStringLiteral("àè"));
        EXPECT_FALSE(st.step(d));
    }
    {
        Stmt st = d.prepare(QStringLiteral("SELECT A, D, B, S, typeof(B) FROM T"));
        ASSERT_TRUE(st.step(d));
        EXPECT_EQ(readValue(st, 0, dbBoolean), QVariant(true));
        EXPECT_EQ(readValue(st, 1, dbDate), QVariant(QDateTime(QDate(2023, 5, 6), QTime(7, 8, 9))));
        EXPECT_EQ(readValue(st, 2, dbLongBinary), QVariant(QByteArray()));  // empty, not Null
        EXPECT_EQ(readValue(st, 3, dbText), QVariant(QStringLiteral("àè")));
        EXPECT_EQ(readValue(st, 4, 0).toString(), QStringLiteral("blob"));
    }
    EXPECT_EQ(testsupport::sqliteValue(path, QStringLiteral("SELECT D || '|' || A FROM T")).toString(),
              QStringLiteral("2023-05-06 07:08:09|-1"));

    // dbe_fit converts to the storage form, or fails the statement with the rule's number.
    auto fit = [&](const QString& args) {
        Stmt st = d.prepare(QStringLiteral("SELECT dbe_fit(%1)").arg(args));
        st.step(d);
        return readValue(st, 0, 0);
    };
    EXPECT_EQ(fit(QStringLiteral("'1', 1, 0, 0, 0, 'A'")), QVariant(qint64(-1)));
    EXPECT_EQ(fit(QStringLiteral("'2024-01-02', 8, 0, 0, 0, 'D'")), QVariant(QStringLiteral("2024-01-02 00:00:00")));
    EXPECT_EQ(errorOf([&] { fit(QStringLiteral("'ROSSIX', 10, 5, 0, 0, 'S'")); }), 3163);
    EXPECT_EQ(errorOf([&] { fit(QStringLiteral("'', 10, 5, 0, 0, 'S'")); }), 3315);
    EXPECT_EQ(errorOf([&] { fit(QStringLiteral("NULL, 10, 5, 0, 1, 'S'")); }), 3314);
    EXPECT_EQ(errorOf([&] { fit(QStringLiteral("'x', 4, 4, 0, 0, 'N'")); }), 3464);

    // A failing row leaves the whole statement unapplied.
    testsupport::sqliteExec(path, QStringLiteral("INSERT INTO T (S) VALUES ('AB'), ('ABCD')"));
    const int err = errorOf([&] {
        DatabaseImpl::WriteScope ws(d);
        d.exec(QStringLiteral("UPDATE T SET S = dbe_fit(S || 'XY', 10, 5, 0, 0, 'S')"));
        ws.commit();
    });
    EXPECT_EQ(err, 3163);
    EXPECT_EQ(testsupport::sqliteValue(path, QStringLiteral("SELECT group_concat(S, ',') FROM T")).toString(),
              QStringLiteral("àè,AB,ABCD"));
}

// A date typed by a person is taken only in the years the stored forms read back (100 to 9999):
// by the conversion record sets use, by IsDate, by CDate and by an INSERT, all alike. A typed
// 5/3/0050 was once written as a text the engine then read as no date at all.
TEST(ValuesTest, TypedDatesAreTakenOnlyInTheYearsTheEngineReadsBack)
{
    rstest::Archive a;
    a.exec("CREATE TABLE T (N LONG, D DATETIME)");
    a.exec("INSERT INTO T (N) VALUES (0)");
    std::mt19937 rng(20261206);
    const char* const forms[] = {"%1/%2/%3", "%1-%2-%3 10:30", "%1.%2.%3 23:59:58"};
    int taken = 0;
    for (int i = 1; i <= 120; ++i) {
        const int pick = int(rng() % 4);
        const int year = pick == 0   ? 1 + int(rng() % 99)
                         : pick == 1 ? 100 + int(rng() % 9900)
                         : pick == 2 ? 99 + int(rng() % 2)
                                     : 9999;
        const int month = 1 + int(rng() % 12), dayOfMonth = 1 + int(rng() % 28);
        const QString text =
            QString::fromLatin1(forms[rng() % 3]).arg(dayOfMonth).arg(month).arg(year, 4, 10, QLatin1Char('0'));
        const bool readable = year >= 100;
        SCOPED_TRACE(text.toStdString());
        taken += readable;

        QVariant stored;
        EXPECT_EQ(errorOf([&] { stored = toStorage(text, dbDate); }), readable ? 0 : 3464);
        if (readable) {
            EXPECT_EQ(dateFromStorage(stored.toString()).date(), QDate(year, month, dayOfMonth));
        }
        const QByteArray literal = "'" + text.toUtf8() + "'";
        const QByteArray isDate = "SELECT IsDate(" + literal + ") AS X FROM T WHERE N = 0";
        const QByteArray cdate = "SELECT CDate(" + literal + ") AS X FROM T WHERE N = 0";
        const QByteArray insert = "INSERT INTO T (N, D) VALUES (" + QByteArray::number(i) + ", " + literal + ")";
        EXPECT_EQ(a.first(isDate.constData(), "X").toInt(), readable ? -1 : 0);
        EXPECT_EQ(rstest::errorOf([&] { a.first(cdate.constData(), "X"); }), readable ? 0 : 3464);
        EXPECT_EQ(rstest::errorOf([&] { a.exec(insert.constData()); }), readable ? 0 : 3464);
    }
    // What was taken reads back as a date in every record, with no unreadable value left behind.
    EXPECT_EQ(a.count("SELECT N FROM T WHERE Year(D) >= 100"), taken);
}
