// The salvage of every readable record of an open archive into a fresh file.
#include "dbengine/file_copy.h"

#include "conn_state.h"
#include "dbengine/rowid_name.h"
#include "raw_file.h"
#include "whole_file.h"

#include <QFileInfo>
#include <QVector>
#include <limits>
#include <sqlite3.h>

namespace dbe {

using detail::columnText;
using detail::connectionOf;
using detail::DatabaseImpl;
using detail::pragmaInt;
using detail::quoteId;
using detail::RawFile;
using detail::Stmt;

namespace {

// A table, an index or a view as sqlite_master lists it.
struct Object {
    QString type, name, sql;
};

// Creates table o in out and copies every record of it that can still be read; what was lost goes
// into notes.
void salvageTable(DatabaseImpl& d, const RawFile& out, const Object& o, QStringList& notes)
{
    out.exec(o.sql);
    // Records in rowid order from the front until an unreadable page stops the walk, then from
    // the back down to the same place: what lies between is lost.
    sqlite3_stmt* ins = nullptr;
    QStringList colNames, fieldNames;
    {
        Stmt info = d.prepare(QStringLiteral("SELECT name FROM pragma_table_info(?) ORDER BY cid"));
        const QByteArray n = o.name.toUtf8();
        sqlite3_bind_text(info, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
        while (info.step(d)) {
            fieldNames << columnText(info, 0);
            colNames << quoteId(fieldNames.last());
        }
    }
    // The rowid under a name no field of the table shadows.
    const QString rowid = UnshadowedRowid(fieldNames);
    if (rowid.isEmpty())
        throw DbError::make(err::RowNumberShadowed, {o.name});
    QStringList params;
    for (int i = 0; i <= colNames.size(); ++i)
        params << QStringLiteral("?");
    if (sqlite3_prepare_v2(out.get(),
                           QStringLiteral("INSERT OR IGNORE INTO %1 (%4,%2) VALUES (%3)")
                               .arg(quoteId(o.name), colNames.join(QLatin1Char(',')), params.join(QLatin1Char(',')),
                                    rowid)
                               .toUtf8()
                               .constData(),
                           -1, &ins, nullptr)
        != SQLITE_OK)
        out.fail();
    qint64 copied = 0, lastFront = std::numeric_limits<qint64>::min();
    bool broken = false;
    const auto pass = [&](const QString& sql, bool front) {
        sqlite3_stmt* rd = nullptr;
        if (sqlite3_prepare_v2(d.db(), sql.toUtf8().constData(), -1, &rd, nullptr) != SQLITE_OK) {
            broken = true;
            return;
        }
        if (!front)
            sqlite3_bind_int64(rd, 1, lastFront);
        int rc;
        while ((rc = sqlite3_step(rd)) == SQLITE_ROW) {
            const qint64 rowid = sqlite3_column_int64(rd, 0);
            for (int i = 0; i < sqlite3_column_count(rd); ++i)
                sqlite3_bind_value(ins, i + 1, sqlite3_column_value(rd, i));
            if (sqlite3_step(ins) == SQLITE_DONE)
                ++copied;
            sqlite3_reset(ins);
            if (front)
                lastFront = rowid;
        }
        if (rc != SQLITE_DONE)
            broken = true;
        sqlite3_finalize(rd);
    };
    const QString all =
        QStringLiteral("SELECT %3, %1 FROM %2").arg(colNames.join(QLatin1Char(',')), quoteId(o.name), rowid);
    pass(all + QStringLiteral(" ORDER BY ") + rowid, true);
    if (broken) {
        pass(all + QStringLiteral(" WHERE %1 > ?1 ORDER BY %1 DESC").arg(rowid), false);
        notes << QStringLiteral("%1: recuperati %2 record; quelli in parti illeggibili del file sono persi.")
                     .arg(o.name)
                     .arg(copied);
    }
    sqlite3_finalize(ins);
}

}  // namespace

void SalvageInto(const Database& db, const QString& fresh, QStringList& notes)
{
    DatabaseImpl& d = connectionOf(db);
    if (QFileInfo::exists(fresh))
        throw DbError::make(err::TableExists, {fresh});
    QVector<Object> objects;
    {
        Stmt st =
            d.prepare(QStringLiteral("SELECT type, name, sql FROM sqlite_master WHERE sql IS NOT NULL AND name NOT "
                                     "LIKE 'sqlite\\_%' ESCAPE '\\' "
                                     "ORDER BY CASE type WHEN 'table' THEN 0 WHEN 'index' THEN 1 ELSE 2 END, rowid"));
        while (st.step(d))
            objects.append({columnText(st, 0), columnText(st, 1), columnText(st, 2)});
    }
    RawFile out(fresh, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    out.exec(QStringLiteral("PRAGMA page_size=%1; PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF")
                 .arg(pragmaInt(d, QStringLiteral("page_size"))));
    out.exec(QStringLiteral("PRAGMA user_version=%1").arg(pragmaInt(d, QStringLiteral("user_version"))));
    out.exec(QStringLiteral("BEGIN"));
    for (const Object& o : objects) {
        if (o.type == QLatin1String("table"))
            salvageTable(d, out, o, notes);
    }
    for (const Object& o : objects) {
        if (o.type == QLatin1String("table"))
            continue;
        try {
            out.exec(o.sql);
        } catch (const DbError& e) {
            // An index or view that cannot be made again is noted; the rows saved matter more.
            notes << QStringLiteral("%1 non ricreato: %2").arg(o.name, e.description());
        }
    }
    out.exec(QStringLiteral("COMMIT"));
    out.exec(QStringLiteral("PRAGMA synchronous=FULL; PRAGMA journal_mode=DELETE"));
}

}  // namespace dbe
