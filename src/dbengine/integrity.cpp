// The integrity check of an open archive, table by table, and the rebuild of its indexes.
#include "dbengine/file_copy.h"

#include "conn_state.h"
#include "whole_file.h"

#include <QVector>
#include <sqlite3.h>

namespace dbe {

using detail::columnText;
using detail::connectionOf;
using detail::DatabaseImpl;
using detail::quoteId;
using detail::Stmt;

QStringList IntegrityProblems(const Database& db, const Progress& progress)
{
    DatabaseImpl& d = connectionOf(db);
    struct Table {
        QString name;
        qint64 weight;
    };
    QVector<Table> tables;
    qint64 total = 0;
    QStringList problems;
    try {
        Stmt list = d.prepare(QStringLiteral(
            "SELECT name, (SELECT count(*) FROM sqlite_master i WHERE i.type = 'index' AND i.tbl_name = m.name) "
            "FROM sqlite_master m WHERE type = 'table' ORDER BY name"));
        while (list.step(d))
            tables.append({columnText(list, 0), 1 + sqlite3_column_int64(list, 1)});
        // Each table weighs its records (its largest rowid, read from the end of its tree) times
        // its trees.
        for (Table& t : tables) {
            try {
                Stmt mx = d.prepare(QStringLiteral("SELECT max(rowid) FROM ") + quoteId(t.name));
                t.weight *= 1 + (mx.step(d) ? qMax<qint64>(0, sqlite3_column_int64(mx, 0)) : 0);
            } catch (const DbError&) {
                // Swallowed: a table whose size cannot be read weighs its trees alone; the weight
                // only paces the bar, and the check below reads the table and reports its damage.
            }
            total += t.weight;
        }
    } catch (const DbError& e) {
        // Every engine error: an archive whose tables cannot even be listed is itself the problem
        // found, reported in the engine's words.
        return {e.description()};
    }
    qint64 done = 0;
    if (progress)
        progress(0, total);
    for (const Table& t : tables) {
        try {
            Stmt st = d.prepare(QStringLiteral("PRAGMA integrity_check(%1)").arg(quoteId(t.name)));
            while (st.step(d)) {
                const QString line = columnText(st, 0);
                if (line != QLatin1String("ok"))
                    problems << line;
            }
        } catch (const DbError& e) {
            // Each table's failure is one of the problems listed; the check goes on with the next table.
            problems << QStringLiteral("%1: %2").arg(t.name, e.description());
        }
        done += t.weight;
        if (progress)
            progress(done, total);
    }
    return problems;
}

void RebuildIndexes(const Database& db)
{
    DatabaseImpl& d = connectionOf(db);
    DatabaseImpl::WriteScope scope(d);
    d.exec(QStringLiteral("REINDEX"));
    scope.commit();
}

}  // namespace dbe
