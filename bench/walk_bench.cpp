// bench_walk: how fast a record-by-record correction walk runs on a large archive. Builds an
// archive of N records (default 1,000,000) with three indexes, opens a query selecting a tenth of
// them, collects their bookmarks as "Seleziona Tutti" does, then deletes them one at a time by
// bookmark (each delete its own transaction, as the delete correction does), and edits another
// tenth the same way. Prints records_per_second for each walk.
//
// Usage: bench_walk [N] [--dir FOLDER]   (the archive is written to FOLDER, default a temporary one)
#include "dbengine_inside.h"
#include "dbengine/dbengine.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <sqlite3.h>
#include <sys/resource.h>

namespace {

QTextStream out(stdout);

// Fills T with n records in one transaction on the engine's own connection, in the storage form
// the engine reads.
void fill(dbe::Database& db, qint64 n)
{
    auto impl = dbe::inside::Impl(db);
    impl->exec(QStringLiteral("BEGIN"));
    {
        dbe::detail::Stmt st = impl->prepare(
            QStringLiteral("INSERT INTO \"T\" (\"ID\",\"CODICE\",\"RAGSOC\",\"GRUPPO\",\"IMPORTO\",\"DATA\") "
                           "VALUES (?,?,?,?,?,?)"));
        const QDateTime base(QDate(2001, 1, 1), QTime(0, 0));
        for (qint64 i = 0; i < n; ++i) {
            const QByteArray code = "C" + QByteArray::number(i);
            const QByteArray name = "Ragione sociale numero " + QByteArray::number(i * 7919 % n);
            const QByteArray date = dbe::detail::dateToStorage(base.addSecs((i * 3571) % (86400LL * 3650))).toUtf8();
            sqlite3_bind_int64(st, 1, i + 1);
            sqlite3_bind_text(st, 2, code.constData(), int(code.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 3, name.constData(), int(name.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(st, 4, i % 10);
            sqlite3_bind_double(st, 5, double(i % 1000) / 4.0);
            sqlite3_bind_text(st, 6, date.constData(), int(date.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(st) != SQLITE_DONE)
                impl->raise(sqlite3_errcode(impl->db()));
            sqlite3_reset(st);
        }
    }
    impl->exec(QStringLiteral("COMMIT"));
}

QVector<dbe::Bookmark> selectAll(dbe::Recordset& rs)
{
    QVector<dbe::Bookmark> marks;
    rs.MoveLast();
    marks.reserve(int(rs.RecordCount()));
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        marks << rs.GetBookmark();
    return marks;
}

// Processor time used by this process so far, in milliseconds: the machine may be shared, so the
// walks are also reported per processor second.
qint64 cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return qint64(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
}

qint64 cpuStart = 0;

void report(const char* what, qint64 records, qint64 ms)
{
    const qint64 cpu = cpuMs() - cpuStart;
    const double seconds = ms > 0 ? ms / 1000.0 : 0.001;
    const double cpuSeconds = cpu > 0 ? cpu / 1000.0 : 0.001;
    out << what << ": " << records << " records in " << ms << " ms (" << cpu << " ms processor), records_per_second "
        << qint64(records / seconds) << ", per_processor_second " << qint64(records / cpuSeconds) << "\n";
    out.flush();
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qint64 n = 1000000;
    QString folder;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--dir") && i + 1 < args.size())
            folder = args[++i];
        else
            n = args[i].toLongLong();
    }
    if (n < 10) {
        QTextStream(stderr) << "Uso: bench_walk [N] [--dir CARTELLA]\n";
        return 2;
    }
    QTemporaryDir tmp;
    const QString path = (folder.isEmpty() ? tmp.path() : folder) + QStringLiteral("/walk.mdb");
    QFile::remove(path);

    try {
        QElapsedTimer t;
        t.start();
        cpuStart = cpuMs();
        dbe::Database db = dbe::CreateDatabase(path);
        db.Execute(QStringLiteral("CREATE TABLE T (ID COUNTER, CODICE TEXT(10), RAGSOC TEXT(50), "
                                  "GRUPPO LONG, IMPORTO DOUBLE, DATA DATETIME)"));
        fill(db, n);
        db.Execute(QStringLiteral("CREATE UNIQUE INDEX PrimaryKey ON T (ID) WITH PRIMARY"));
        db.Execute(QStringLiteral("CREATE INDEX CODICE ON T (CODICE)"));
        db.Execute(QStringLiteral("CREATE INDEX DATA ON T (DATA)"));
        db.Close();
        report("build", n, t.elapsed());

        db = dbe::OpenDatabase(path);
        if (qEnvironmentVariableIsSet("BENCH_PRAGMAS"))  // for experiments: BENCH_PRAGMAS="PRAGMA ..."
            dbe::inside::Impl(db)->exec(qEnvironmentVariable("BENCH_PRAGMAS"));
        t.restart();
        cpuStart = cpuMs();
        dbe::Recordset rs = db.OpenRecordset(QStringLiteral("SELECT * FROM T WHERE GRUPPO=3"));
        report("open", rs.RecordCount(), t.elapsed());
        t.restart();
        cpuStart = cpuMs();
        QVector<dbe::Bookmark> marks = selectAll(rs);
        report("select all", marks.size(), t.elapsed());

        t.restart();
        cpuStart = cpuMs();
        for (dbe::Bookmark b : marks) {
            rs.SetBookmark(b);
            rs.Delete();
        }
        report("delete walk", marks.size(), t.elapsed());
        rs.Requery();
        if (rs.RecordCount() != 0) {
            QTextStream(stderr) << "records left after the delete walk\n";
            return 1;
        }

        dbe::Recordset ed = db.OpenRecordset(QStringLiteral("SELECT * FROM T WHERE GRUPPO=4"));
        marks = selectAll(ed);
        t.restart();
        cpuStart = cpuMs();
        for (dbe::Bookmark b : marks) {
            ed.SetBookmark(b);
            ed.Edit();
            ed.SetValue(QStringLiteral("CODICE"), QStringLiteral("VARIE"));
            ed.Update();
        }
        report("edit walk", marks.size(), t.elapsed());

        t.restart();
        cpuStart = cpuMs();
        dbe::Recordset table = db.OpenRecordset(QStringLiteral("T"));
        report("open table", table.RecordCount(), t.elapsed());
    } catch (const dbe::DbError& e) {
        QTextStream(stderr) << "Errore " << e.number() << ": " << e.description() << "\n";
        return 2;
    }
    return 0;
}
