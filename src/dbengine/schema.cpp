// Reading the definitions of the tables from the file: the SQLite schema for columns and indexes,
// the MSys tables for what SQLite does not hold. Cached per table, reloaded when this or another
// connection changed the schema or the metadata.
#include "column_type.h"
#include "conn_state.h"
#include "dbengine/db_types.h"
#include "unique_text.h"
#include "values.h"

#include <algorithm>
#include <sqlite3.h>

namespace dbe::detail {

int TableInfo::fieldIndex(const QString& name) const
{
    for (int i = 0; i < fields.size(); ++i)
        if (sameName(fields[i].name, name))
            return i;
    return -1;
}

int TableInfo::indexIndex(const QString& name) const
{
    for (int i = 0; i < indexes.size(); ++i)
        if (sameName(indexes[i].name, name))
            return i;
    return -1;
}

namespace {

QString text(sqlite3_stmt* st, int col)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, col)),
                             sqlite3_column_bytes(st, col));
}

// A query on a metadata table. A hand-made metadata table that lacks a column (SQLite's "no such
// column", which the engine reports as its reserved error) is ignored, its settings taking the
// defaults, rather than making the whole archive unreadable. A locked or damaged file is not a
// missing setting: that error goes on to the caller.
Stmt metaStatement(DatabaseImpl& d, const QString& sql)
{
    try {
        return d.prepare(sql);
    } catch (const DbError& e) {
        if (e.number() != err::ReservedError)
            throw;
        return Stmt();
    }
}

bool isMetaTable(const QString& lower) { return lower.startsWith(QLatin1String("msys")); }

// The table's columns from SQLite, with the defaults of their types; the position of a column that
// is the table's INTEGER PRIMARY KEY (SQLite keeps it without an index), or -1.
int loadColumns(DatabaseImpl& d, const QString& stored, TableInfo& t)
{
    int rowidPk = -1;
    Stmt st = d.prepare(QStringLiteral("SELECT name, type, \"notnull\", pk FROM pragma_table_info(?1) ORDER BY cid"));
    bind(st, 1, stored);
    int pkCount = 0;
    while (st.step(d)) {
        FieldInfo f;
        f.name = text(st, 0);
        f.declaredType = text(st, 1);
        const ColumnType ct = parseDeclaredType(f.declaredType);
        f.type = ct.type;
        f.size = ct.size;
        f.required = sqlite3_column_int(st, 2) != 0;
        f.attributes = defaultAttributes(ct.type, ct.autoIncrement);
        if (sqlite3_column_int(st, 3) > 0) {
            ++pkCount;
            if (f.declaredType.trimmed().compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
                rowidPk = t.fields.size();
        }
        t.fields.append(f);
    }
    if (pkCount != 1)
        rowidPk = -1;
    return rowidPk;
}

// The table's attributes and dates, from MSysTables.
void loadTableMeta(DatabaseImpl& d, const QString& stored, TableInfo& t)
{
    Stmt st = metaStatement(
        d,
        QStringLiteral("SELECT Attributes, DateCreated, LastUpdated FROM MSysTables WHERE Name = ?1 COLLATE NOCASE"));
    if (st.get())
        bind(st, 1, stored);
    if (st.get() && st.step(d)) {
        t.attributes = qint32(sqlite3_column_int64(st, 0));
        t.dateCreated = readValue(st, 1, dbDate);
        t.lastUpdated = readValue(st, 2, dbDate);
    }
}

// The fields' attributes, zero-length and required settings, from MSysFields.
void loadFieldMeta(DatabaseImpl& d, const QString& stored, TableInfo& t)
{
    Stmt st = metaStatement(d, QStringLiteral("SELECT FieldName, Attributes, AllowZeroLength, Required FROM MSysFields "
                                              "WHERE TableName = ?1 COLLATE NOCASE"));
    if (st.get())
        bind(st, 1, stored);
    while (st.get() && st.step(d)) {
        const int i = t.fieldIndex(text(st, 0));
        if (i < 0)
            continue;
        FieldInfo& f = t.fields[i];
        if (sqlite3_column_type(st, 1) != SQLITE_NULL)
            f.attributes = qint32(sqlite3_column_int64(st, 1));
        f.allowZeroLength = sqlite3_column_int64(st, 2) != 0;
        f.required = f.required || sqlite3_column_int64(st, 3) != 0;
    }
}

// The table's indexes (SQLite's, named as the engine names them, with MSysIndexes' settings when
// hasIndexMeta), sorted by name; an INTEGER PRIMARY KEY column made by hand becomes PrimaryKey.
void loadIndexes(DatabaseImpl& d, const QString& stored, bool hasIndexMeta, int rowidPk, TableInfo& t)
{
    struct Raw {
        QString name;
        bool unique;
        QString origin;
    };
    QVector<Raw> raw;
    {
        Stmt st = d.prepare(QStringLiteral("SELECT name, \"unique\", origin FROM pragma_index_list(?1)"));
        bind(st, 1, stored);
        while (st.step(d))
            raw.append({text(st, 0), sqlite3_column_int(st, 1) != 0, text(st, 2)});
    }
    const QString prefix = stored + QLatin1Char('.');
    bool hasPrimary = false;
    for (const Raw& r : raw) {
        IndexInfo ix;
        ix.sqliteName = r.name;
        ix.unique = r.unique;
        bool expression = false;
        {
            Stmt st = d.prepare(QStringLiteral("SELECT name FROM pragma_index_info(?1) ORDER BY seqno"));
            bind(st, 1, r.name);
            while (st.step(d)) {
                if (sqlite3_column_type(st, 0) == SQLITE_NULL)
                    expression = true;
                else
                    ix.fields.append(text(st, 0));
            }
        }
        if (expression || ix.fields.isEmpty())
            continue;  // an index on expressions is no index of the engine's kind
        if (r.origin == QLatin1String("pk")) {
            ix.name = QStringLiteral("PrimaryKey");
            ix.primary = true;
        } else if (r.name.startsWith(prefix, Qt::CaseInsensitive) && r.name.size() > prefix.size()) {
            ix.name = r.name.mid(prefix.size());
        } else {
            ix.name = r.name;
        }
        if (hasIndexMeta) {
            Stmt st = metaStatement(d, QStringLiteral("SELECT IsPrimary, IsRequired, IgnoreNulls FROM MSysIndexes "
                                                      "WHERE SqliteName = ?1 COLLATE NOCASE"));
            if (st.get())
                bind(st, 1, r.name);
            if (st.get() && st.step(d)) {
                ix.primary = ix.primary || sqlite3_column_int64(st, 0) != 0;
                ix.required = sqlite3_column_int64(st, 1) != 0;
                ix.ignoreNulls = sqlite3_column_int64(st, 2) != 0;
            }
        }
        if (ix.primary) {
            if (hasPrimary)
                ix.primary = false;  // one primary index per table: the first one found
            hasPrimary = true;
            ix.unique = true;
        }
        t.indexes.append(ix);
    }
    if (rowidPk >= 0 && !hasPrimary) {
        // An INTEGER PRIMARY KEY column made by hand: SQLite keeps it without an index.
        IndexInfo ix;
        ix.name = QStringLiteral("PrimaryKey");
        ix.primary = ix.unique = true;
        ix.fields = {t.fields[rowidPk].name};
        t.indexes.append(ix);
    }
    std::sort(t.indexes.begin(), t.indexes.end(),
              [](const IndexInfo& a, const IndexInfo& b) { return a.name.compare(b.name, Qt::CaseInsensitive) < 0; });
    for (const IndexInfo& ix : t.indexes) {
        if (!ix.primary && !ix.required)
            continue;
        for (const QString& f : ix.fields) {
            const int i = t.fieldIndex(f);
            if (i >= 0)
                t.fields[i].primaryKey = true;
        }
    }
}

// The table's own properties, from MSysProperties.
void loadProperties(DatabaseImpl& d, const QString& stored, TableInfo& t)
{
    Stmt st = metaStatement(d, QStringLiteral(
                                   "SELECT Name, Type, Value FROM MSysProperties WHERE TableName = ?1 COLLATE NOCASE "
                                   "ORDER BY Ordinal, rowid"));
    if (st.get())
        bind(st, 1, stored);
    while (st.get() && st.step(d)) {
        PropertyInfo p;
        p.name = text(st, 0);
        p.type = short(sqlite3_column_int(st, 1));
        p.value = readValue(st, 2, p.type);
        t.properties.append(p);
    }
}

void loadTable(DatabaseImpl& d, DatabaseImpl::State& s, const QString& stored, TableInfo& t)
{
    t = TableInfo();
    t.name = stored;
    const int rowidPk = loadColumns(d, stored, t);
    if (isMetaTable(stored.toLower()))
        t.attributes = dbSystemObject;
    else if (s.storedName.contains(QStringLiteral("msystables")))
        loadTableMeta(d, stored, t);
    if (s.storedName.contains(QStringLiteral("msysfields")))
        loadFieldMeta(d, stored, t);
    loadIndexes(d, stored, s.storedName.contains(QStringLiteral("msysindexes")), rowidPk, t);
    if (s.storedName.contains(QStringLiteral("msysproperties")))
        loadProperties(d, stored, t);
}

void buildDialectTable(const TableInfo& t, dialect::Table& out)
{
    out.name = t.name;
    out.columns.clear();
    out.columns.reserve(t.fields.size());
    for (const FieldInfo& f : t.fields) {
        dialect::Column c;
        c.name = f.name;
        c.type = f.type;
        c.size = f.size;
        c.attributes = f.attributes;
        c.allowZeroLength = f.allowZeroLength;
        c.required = f.required || f.primaryKey;
        c.primaryKey = f.primaryKey;
        out.columns.append(c);
    }
    out.indexes.clear();
    for (const IndexInfo& ix : t.indexes) {
        QVector<int> cols;
        for (const QString& f : ix.fields)
            cols.append(t.fieldIndex(f));
        out.indexes.append(cols);
    }
}

}  // namespace

qint64 DatabaseImpl::dataVersion()
{
    // The pragma has its own statement, kept prepared: a reading costs one step (microseconds).
    sqlite3* h = db();  // raises 3420 once closed
    sqlite3_stmt*& st = s->dataVersionStmt;
    if (!st) {
        if (sqlite3_prepare_v3(h, "PRAGMA data_version", -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) {
            sqlite3_finalize(st);
            st = nullptr;
            raise(sqlite3_errcode(h));
        }
    }
    const int rc = sqlite3_step(st);
    const qint64 dv = rc == SQLITE_ROW ? sqlite3_column_int64(st, 0) : -1;
    sqlite3_reset(st);
    if (rc != SQLITE_ROW)
        raise(rc);
    return dv;
}

void DatabaseImpl::State::ensureCurrent(DatabaseImpl& d)
{
    // Another connection's commit (schema or metadata) changes the data version; this
    // connection's own definition changes mark the cache stale themselves.
    const qint64 dv = d.dataVersion();
    if (dv != dataVersion || stale) {
        dataVersion = dv;
        stale = false;
        ++gen;
    }
    if (namesGen != gen) {
        names.clear();
        storedName.clear();
        Stmt st = d.prepare(QStringLiteral(
            "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"));
        while (st.step(d)) {
            const QString n = text(st, 0);
            names.append(n);
            storedName.insert(n.toLower(), n);
        }
        std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
            const int c = a.compare(b, Qt::CaseInsensitive);
            return c != 0 ? c < 0 : a < b;
        });
        namesGen = gen;
    }
}

SchemaEntry* DatabaseImpl::State::entry(DatabaseImpl& d, const QString& name)
{
    ensureCurrent(d);
    SchemaEntry* e = nullptr;
    if (lastEntry && name == lastName) {  // the same table again: no lower-casing, no hashing
        e = lastEntry;
    } else {
        const QString key = name.toLower();
        auto it = tables.find(key);
        if (it == tables.end())
            it = tables.insert(key, std::make_shared<SchemaEntry>());
        e = it->get();
        lastName = name;
        lastEntry = e;
    }
    if (e->gen != gen) {
        const auto sn = storedName.constFind(name.toLower());
        e->exists = sn != storedName.constEnd();
        if (e->exists) {
            loadTable(d, *this, *sn, e->info);
            buildDialectTable(e->info, e->dtable);
            if (!readOnly)
                syncUniqueTextTriggers(d, e->info);
        }
        e->gen = gen;
    }
    return e;
}

const TableInfo* DatabaseImpl::tableInfo(const QString& name)
{
    db();
    SchemaEntry* e = s->entry(*this, name);
    return e->exists ? &e->info : nullptr;
}

QStringList DatabaseImpl::tableNames()
{
    db();
    s->ensureCurrent(*this);
    return s->names;
}

const dialect::SchemaProvider& DatabaseImpl::schemaProvider()
{
    db();
    return s->provider;
}

void DatabaseImpl::invalidateSchema()
{
    if (s)
        s->stale = true;
}

const dialect::Table* SchemaProviderImpl::table(const QString& name) const
{
    SchemaEntry* e = d_->s->entry(*d_, name);
    return e->exists ? &e->dtable : nullptr;
}

bool SchemaProviderImpl::plainColumn(const QString& table, const QString& field) const
{
    return d_->s->census.plain(*d_, table, field);
}

}  // namespace dbe::detail
