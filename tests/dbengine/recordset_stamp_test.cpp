// The version stamp's reading and writing as the main window does it: a second connection on the
// open archive's file, the table AGENZIA as a table-type set, a first record added when the table
// is empty, the stamp edited in place and visible to the first connection.
#include "recordset_fixture.h"

#include <gtest/gtest.h>

using dbe::Recordset;
using rstest::Archive;

namespace {

QString readStamp(const dbe::Database& archive)
{
    dbe::Database db = dbe::OpenDatabase(archive.Name());
    Recordset rs = db.OpenRecordset(QStringLiteral("AGENZIA"));
    if (rs.RecordCount() == 0) {
        rs.AddNew();
        rs.Update();
    }
    rs.MoveFirst();
    const QVariant v = rs.Value(QStringLiteral("VERSDB"));
    rs.Close();
    db.Close();
    return v.isNull() ? QStringLiteral("0") : v.toString();
}

void writeStamp(const dbe::Database& archive, const QString& value)
{
    dbe::Database db = dbe::OpenDatabase(archive.Name());
    Recordset rs = db.OpenRecordset(QStringLiteral("AGENZIA"));
    rs.MoveFirst();
    rs.Edit();
    rs.SetValue(QStringLiteral("VERSDB"), value);
    rs.Update();
    rs.Close();
    db.Close();
}

}  // namespace

TEST(RecordsetStampTest, TheStampIsReadAndWrittenThroughASecondConnection)
{
    Archive a;
    a.exec("CREATE TABLE AGENZIA (RAGSOC TEXT(40), VERSDB TEXT(5))");
    a.db.TableDefs().Item(QStringLiteral("AGENZIA")).Fields().Item(QStringLiteral("VERSDB")).SetAllowZeroLength(true);

    // An empty table gets its first record at the first read; its stamp is Null.
    EXPECT_EQ(readStamp(a.db), QStringLiteral("0"));
    EXPECT_EQ(a.count("SELECT * FROM AGENZIA"), 1);
    EXPECT_EQ(readStamp(a.db), QStringLiteral("0"));
    EXPECT_EQ(a.count("SELECT * FROM AGENZIA"), 1);

    writeStamp(a.db, QStringLiteral("A.05 "));
    EXPECT_EQ(readStamp(a.db), QStringLiteral("A.05 "));
    // The archive's own connection sees it at once.
    EXPECT_EQ(a.first("AGENZIA", "VERSDB").toString(), QStringLiteral("A.05 "));

    // Only the first record carries the stamp.
    a.exec("INSERT INTO AGENZIA (RAGSOC, VERSDB) VALUES ('seconda', 'A.99 ')");
    writeStamp(a.db, QString());
    EXPECT_EQ(readStamp(a.db), QString());
    EXPECT_EQ(a.first("SELECT * FROM AGENZIA WHERE RAGSOC='seconda'", "VERSDB").toString(), QStringLiteral("A.99 "));

    // A stamp too long for the field is refused and the old one stays.
    EXPECT_DB_ERROR(3163, writeStamp(a.db, QStringLiteral("A.1234")));
    EXPECT_EQ(readStamp(a.db), QString());

    // Without the table both directions raise the engine's error to the caller.
    a.exec("DROP TABLE AGENZIA");
    EXPECT_DB_ERROR(3078, readStamp(a.db));
    EXPECT_DB_ERROR(3078, writeStamp(a.db, QStringLiteral("A.05 ")));
}
