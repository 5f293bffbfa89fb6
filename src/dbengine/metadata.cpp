#include "metadata.h"

#include "conn_state.h"
#include "values.h"

#include <sqlite3.h>

namespace dbe::detail::meta {

const QStringList& createStatements()
{
    static const QStringList s = {
        QStringLiteral("CREATE TABLE IF NOT EXISTS MSysTables (Name TEXT NOT NULL COLLATE NOCASE "
                       "PRIMARY KEY, Attributes INTEGER NOT NULL DEFAULT 0, DateCreated TEXT, "
                       "LastUpdated TEXT)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS MSysFields (TableName TEXT NOT NULL COLLATE NOCASE, "
                       "FieldName TEXT NOT NULL COLLATE NOCASE, Attributes INTEGER, AllowZeroLength "
                       "INTEGER NOT NULL DEFAULT 0, Required INTEGER NOT NULL DEFAULT 0, "
                       "PRIMARY KEY (TableName, FieldName))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS MSysIndexes (SqliteName TEXT NOT NULL COLLATE "
                       "NOCASE PRIMARY KEY, IsPrimary INTEGER NOT NULL DEFAULT 0, IsRequired INTEGER "
                       "NOT NULL DEFAULT 0, IgnoreNulls INTEGER NOT NULL DEFAULT 0)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS MSysProperties (TableName TEXT NOT NULL COLLATE "
                       "NOCASE, Ordinal INTEGER NOT NULL, Name TEXT NOT NULL COLLATE NOCASE, Type "
                       "INTEGER NOT NULL, Value, PRIMARY KEY (TableName, Name))"),
    };
    return s;
}

void ensureTables(DatabaseImpl& d)
{
    const QStringList names = d.tableNames();
    auto has = [&](const char* n) {
        for (const QString& x : names)
            if (x.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
                return true;
        return false;
    };
    if (has("MSysTables") && has("MSysFields") && has("MSysIndexes") && has("MSysProperties"))
        return;
    for (const QString& s : createStatements())
        d.exec(s);
    d.invalidateSchema();
}

namespace {

QString now() { return dateToStorage(QDateTime::currentDateTime()); }

void run(DatabaseImpl& d, const QString& sql, const QVariantList& args)
{
    Stmt st = d.prepare(sql);
    for (int i = 0; i < args.size(); ++i)
        bind(st, i + 1, args[i]);
    st.step(d);
}

}  // namespace

void writeTable(DatabaseImpl& d, const QString& table, qint32 attributes, bool created)
{
    const QString t = now();
    run(d, QStringLiteral("DELETE FROM MSysTables WHERE Name = ?1 COLLATE NOCASE"), {table});
    run(d,
        QStringLiteral("INSERT INTO MSysTables (Name, Attributes, DateCreated, LastUpdated) "
                       "VALUES (?1, ?2, ?3, ?4)"),
        {table, qint64(attributes), created ? QVariant(t) : QVariant(), t});
}

void touchTable(DatabaseImpl& d, const QString& table)
{
    run(d, QStringLiteral("UPDATE MSysTables SET LastUpdated = ?2 WHERE Name = ?1 COLLATE NOCASE"), {table, now()});
    if (d.changes() == 0)
        run(d, QStringLiteral("INSERT INTO MSysTables (Name, Attributes, LastUpdated) VALUES (?1, 0, ?2)"),
            {table, now()});
}

void writeField(DatabaseImpl& d, const QString& table, const FieldInfo& f)
{
    deleteField(d, table, f.name);
    run(d,
        QStringLiteral("INSERT INTO MSysFields (TableName, FieldName, Attributes, AllowZeroLength, "
                       "Required) VALUES (?1, ?2, ?3, ?4, ?5)"),
        {table, f.name, qint64(f.attributes), qint64(f.allowZeroLength ? 1 : 0), qint64(f.required ? 1 : 0)});
}

void renameField(DatabaseImpl& d, const QString& table, const QString& from, const QString& to)
{
    run(d,
        QStringLiteral("UPDATE MSysFields SET FieldName = ?3 WHERE TableName = ?1 COLLATE NOCASE "
                       "AND FieldName = ?2 COLLATE NOCASE"),
        {table, from, to});
}

void setAllowZeroLength(DatabaseImpl& d, const QString& table, const FieldInfo& f, bool allow)
{
    run(d,
        QStringLiteral("UPDATE MSysFields SET AllowZeroLength = ?3 WHERE TableName = ?1 COLLATE "
                       "NOCASE AND FieldName = ?2 COLLATE NOCASE"),
        {table, f.name, qint64(allow ? 1 : 0)});
    if (d.changes() == 0) {
        FieldInfo g = f;
        g.allowZeroLength = allow;
        g.required = false;  // a NOT NULL column stays required by its declaration
        writeField(d, table, g);
    }
}

void deleteField(DatabaseImpl& d, const QString& table, const QString& field)
{
    run(d,
        QStringLiteral("DELETE FROM MSysFields WHERE TableName = ?1 COLLATE NOCASE AND "
                       "FieldName = ?2 COLLATE NOCASE"),
        {table, field});
}

void writeIndex(DatabaseImpl& d, const IndexInfo& i)
{
    deleteIndex(d, i.sqliteName);
    run(d,
        QStringLiteral("INSERT INTO MSysIndexes (SqliteName, IsPrimary, IsRequired, IgnoreNulls) "
                       "VALUES (?1, ?2, ?3, ?4)"),
        {i.sqliteName, qint64(i.primary), qint64(i.required), qint64(i.ignoreNulls)});
}

void deleteIndex(DatabaseImpl& d, const QString& sqliteName)
{
    run(d, QStringLiteral("DELETE FROM MSysIndexes WHERE SqliteName = ?1 COLLATE NOCASE"), {sqliteName});
}

void appendProperty(DatabaseImpl& d, const QString& table, const PropertyInfo& p)
{
    qint64 ordinal = 1;
    {
        Stmt st = d.prepare(QStringLiteral(
            "SELECT coalesce(max(Ordinal), 0) + 1 FROM MSysProperties WHERE TableName = ?1 COLLATE NOCASE"));
        bind(st, 1, table);
        if (st.step(d))
            ordinal = sqlite3_column_int64(st, 0);
    }
    run(d,
        QStringLiteral("INSERT INTO MSysProperties (TableName, Ordinal, Name, Type, Value) "
                       "VALUES (?1, ?2, ?3, ?4, ?5)"),
        {table, ordinal, p.name, qint64(p.type), toStorage(p.value, p.type)});
}

void setProperty(DatabaseImpl& d, const QString& table, const PropertyInfo& p)
{
    run(d,
        QStringLiteral("UPDATE MSysProperties SET Value = ?3 WHERE TableName = ?1 COLLATE NOCASE "
                       "AND Name = ?2 COLLATE NOCASE"),
        {table, p.name, toStorage(p.value, p.type)});
}

void deleteProperty(DatabaseImpl& d, const QString& table, const QString& name)
{
    run(d,
        QStringLiteral("DELETE FROM MSysProperties WHERE TableName = ?1 COLLATE NOCASE AND "
                       "Name = ?2 COLLATE NOCASE"),
        {table, name});
}

void deleteTable(DatabaseImpl& d, const QString& table, const QStringList& sqliteIndexNames)
{
    run(d, QStringLiteral("DELETE FROM MSysTables WHERE Name = ?1 COLLATE NOCASE"), {table});
    run(d, QStringLiteral("DELETE FROM MSysFields WHERE TableName = ?1 COLLATE NOCASE"), {table});
    run(d, QStringLiteral("DELETE FROM MSysProperties WHERE TableName = ?1 COLLATE NOCASE"), {table});
    for (const QString& i : sqliteIndexNames)
        deleteIndex(d, i);
}

}  // namespace dbe::detail::meta
