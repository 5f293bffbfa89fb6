// What the problem-record grid shows of a date as other programs store it: a time stored alone (a
// day number below one, or a time text) shows as the time only, a date at midnight as the day, any
// other as day and time, whatever the stored form.
#include "records/testo_valore.h"
#include "support/sqlite_file.h"

#include "dbengine/dbengine.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace corvale;

TEST(TestoValore, DatesShowAsJetShowsThemWhateverTheirStoredForm)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("a.mdb");
    dbe::Database db = dbe::CreateDatabase(file);
    db.Execute("CREATE TABLE T (N LONG, D DATETIME)");
    db.Close();
    testsupport::sqliteExec(file, "INSERT INTO T VALUES (1, 0.4375), (2, '10:30:00'), (3, '10:30'), "
                                  "(4, '1899-12-30 10:30:00'), (5, 45356), (6, '2024-03-05T00:00:00.000Z'), "
                                  "(7, 45356.4375), (8, '2024/03/05 10:30')");
    const QStringList attesi{
        "10:30:00",           "10:30:00", "10:30:00", "10:30:00", "05/03/2024", "05/03/2024", "05/03/2024 10:30:00",
        "05/03/2024 10:30:00"};
    db = dbe::OpenDatabase(file);
    dbe::Recordset rs = db.OpenRecordset("SELECT N, D FROM T ORDER BY N", dbe::dbOpenSnapshot);
    for (const QString& atteso : attesi) {
        ASSERT_FALSE(rs.Eof());
        EXPECT_EQ(TestoValore(rs.Value(1)), atteso) << "record " << rs.Value(0).toLongLong();
        rs.MoveNext();
    }
    rs.Close();
    db.Close();
}
