#include "ddl.h"

#include "column_type.h"
#include "conn_state.h"
#include "dbengine/db_types.h"
#include "metadata.h"
#include "dbengine/rowid_name.h"
#include "unique_text.h"
#include "values.h"

#include <sqlite3.h>

#include <algorithm>

namespace dbe::detail::ddl {

namespace {

using WriteScope = DatabaseImpl::WriteScope;

const TableInfo& table(DatabaseImpl& d, const QString& name, int missingError = err::TableNotFound)
{
    const TableInfo* t = d.tableInfo(name);
    if (!t) {
        if (missingError == err::TableNotFound)
            throw DbError::make(missingError, {name});
        throw DbError::make(missingError);
    }
    return *t;
}

bool objectExists(DatabaseImpl& d, const QString& name)
{
    Stmt st = d.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = ?1 COLLATE NOCASE"));
    bind(st, 1, name);
    return st.step(d);
}

QString columnDefinition(const FieldInfo& f, bool notNull)
{
    QString s = quoteId(f.name) + QLatin1Char(' ') + declaredType(f.type, f.size);
    if (notNull)
        s += QStringLiteral(" NOT NULL");
    return s;
}

// Checks an index against its table's fields and indexes and completes it (flags, SQLite name).
void prepareIndex(const QString& tableName, const QVector<FieldInfo>& fields, const QVector<IndexInfo>& existing,
                  IndexInfo& ix)
{
    checkName(ix.name);
    for (const IndexInfo& e : existing) {
        if (sameName(e.name, ix.name))
            throw DbError::make(err::IndexExists);
    }
    if (ix.fields.isEmpty())
        throw DbError::make(err::NoFieldDefined);
    for (int i = 0; i < ix.fields.size(); ++i) {
        bool found = false;
        for (const FieldInfo& f : fields) {
            if (sameName(f.name, ix.fields[i])) {
                ix.fields[i] = f.name;
                found = true;
            }
        }
        if (!found)
            throw DbError::make(err::ItemNotFound);
        for (int j = 0; j < i; ++j)
            if (sameName(ix.fields[j], ix.fields[i]))
                throw DbError::make(err::FieldDefinedTwice, {ix.fields[i]});
    }
    if (ix.primary) {
        ix.unique = true;
        for (const IndexInfo& e : existing)
            if (e.primary)
                throw DbError::make(err::PrimaryKeyExists);
    }
    ix.sqliteName = tableName + QLatin1Char('.') + ix.name;
}

QString createIndexSql(const QString& tableName, const QVector<FieldInfo>& fields, const IndexInfo& ix)
{
    QStringList cols;
    for (const QString& name : ix.fields) {
        QString c = quoteId(name);
        for (const FieldInfo& f : fields)
            if (sameName(f.name, name) && isTextType(f.type))
                c += QStringLiteral(" COLLATE NOCASE");
        cols << c;
    }
    return QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
        .arg(ix.unique ? QStringLiteral("UNIQUE ") : QString(), quoteId(ix.sqliteName), quoteId(tableName),
             cols.join(QStringLiteral(", ")));
}

void checkProperty(const PropertyInfo& p)
{
    if (p.name.trimmed().isEmpty())
        throw DbError::make(err::InvalidName, {p.name});
    if (isBuiltinProperty(p.name))
        throw DbError::make(err::ObjectExists, {p.name});
    if (!isValidType(p.type))
        throw DbError::make(err::InvalidFieldType);
    toStorage(p.value, p.type);  // raises when the value does not convert
}

}  // namespace

void checkName(const QString& name)
{
    bool bad = name.isEmpty() || name.size() > 64 || name.startsWith(QLatin1Char(' '))
               || name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive);
    for (const QChar c : name) {
        if (c.unicode() < 32 || c == QLatin1Char('.') || c == QLatin1Char('!') || c == QLatin1Char('`')
            || c == QLatin1Char('[') || c == QLatin1Char(']'))
            bad = true;
    }
    if (bad)
        throw DbError::make(err::InvalidName, {name});
}

FieldInfo prepareField(FieldInfo f, bool attributesGiven)
{
    checkName(f.name);
    if (!isValidType(f.type))
        throw DbError::make(err::InvalidFieldType);
    if (f.type == dbText || f.type == dbBinary) {
        if (f.size == 0)
            f.size = 255;
        if (f.size < 1 || f.size > 255)
            throw DbError::make(err::InvalidArgument);
    } else {
        f.size = fixedSize(f.type);
    }
    qint32 a = attributesGiven ? f.attributes : 0;
    constexpr qint32 known =
        dbFixedField | dbVariableField | dbAutoIncrField | dbUpdatableField | dbSystemField | dbHyperlinkField;
    if ((a & ~known) != 0 || ((a & dbFixedField) && (a & dbVariableField)))
        throw DbError::make(err::InvalidArgument);
    if ((a & dbAutoIncrField) && f.type != dbLong)
        throw DbError::make(err::InvalidFieldType);
    if ((a & dbHyperlinkField) && f.type != dbMemo)
        throw DbError::make(err::InvalidFieldType);
    // Only text and binary fields may be either fixed or variable; every other type has the width
    // its type gives it, whatever flags were asked for (a field rebuilt with another type keeps its
    // old flags, and must not carry a width its new type cannot have).
    const qint32 width = defaultAttributes(f.type, a & dbAutoIncrField) & (dbFixedField | dbVariableField);
    if (f.type != dbText && f.type != dbBinary)
        a = (a & ~(dbFixedField | dbVariableField)) | width;
    else if (!(a & (dbFixedField | dbVariableField)))
        a |= width;
    f.attributes = a;
    if (f.allowZeroLength && !isTextType(f.type))
        throw DbError::make(err::InvalidOperation);
    f.primaryKey = false;
    f.declaredType = declaredType(f.type, f.size);
    return f;
}

void createTable(DatabaseImpl& d, NewTable t)
{
    checkName(t.name);
    if (d.tableInfo(t.name) || objectExists(d, t.name))
        throw DbError::make(err::TableExists, {t.name});
    if ((t.attributes & ~dbHiddenObject) != 0)
        throw DbError::make(err::InvalidArgument);
    if (t.fields.isEmpty())
        throw DbError::make(err::NoFieldDefined);
    for (int i = 0; i < t.fields.size(); ++i) {
        t.fields[i] = prepareField(t.fields[i], i < t.attributesGiven.size() && t.attributesGiven[i]);
        for (int j = 0; j < i; ++j)
            if (sameName(t.fields[j].name, t.fields[i].name))
                throw DbError::make(err::FieldDefinedTwice, {t.fields[i].name});
    }
    QVector<IndexInfo> done;
    for (IndexInfo& ix : t.indexes) {
        prepareIndex(t.name, t.fields, done, ix);
        if (objectExists(d, ix.sqliteName))
            throw DbError::make(err::IndexExists);
        done.append(ix);
    }
    for (int i = 0; i < t.properties.size(); ++i) {
        checkProperty(t.properties[i]);
        for (int j = 0; j < i; ++j)
            if (sameName(t.properties[j].name, t.properties[i].name))
                throw DbError::make(err::ObjectExists, {t.properties[i].name});
    }

    WriteScope ws(d);
    meta::ensureTables(d);
    QStringList cols;
    for (const FieldInfo& f : t.fields)
        cols << columnDefinition(f, f.required);
    d.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(quoteId(t.name), cols.join(QStringLiteral(", "))));
    meta::writeTable(d, t.name, t.attributes, true);
    for (const FieldInfo& f : t.fields)
        meta::writeField(d, t.name, f);
    for (const IndexInfo& ix : t.indexes) {
        d.exec(createIndexSql(t.name, t.fields, ix));
        meta::writeIndex(d, ix);
    }
    for (const PropertyInfo& p : t.properties)
        meta::appendProperty(d, t.name, p);
    ws.commit();
    d.invalidateSchema();
}

void dropTable(DatabaseImpl& d, const QString& name, int missingError)
{
    const TableInfo& t = table(d, name, missingError);
    if (t.isSystem())
        throw DbError::make(err::InvalidOperation);
    const QString stored = t.name;
    QStringList indexNames;
    for (const IndexInfo& ix : t.indexes)
        if (!ix.sqliteName.isEmpty())
            indexNames << ix.sqliteName;
    WriteScope ws(d);
    meta::ensureTables(d);
    try {
        d.exec(QStringLiteral("DROP TABLE ") + quoteId(stored));
    } catch (const DbError& e) {
        if (e.number() == err::TableLocked)
            throw DbError::make(err::TableLocked, {stored});
        throw;
    }
    meta::deleteTable(d, stored, indexNames);
    ws.commit();
    d.invalidateSchema();
}

void addField(DatabaseImpl& d, const QString& tableName, FieldInfo f, bool attributesGiven, int takenError)
{
    const TableInfo& t = table(d, tableName);
    const QString stored = t.name;
    f = prepareField(f, attributesGiven);
    if (t.fieldIndex(f.name) >= 0) {
        if (takenError == err::FieldExists)
            throw DbError::make(err::FieldExists, {f.name, stored});
        throw DbError::make(takenError, {f.name});
    }
    WriteScope ws(d);
    meta::ensureTables(d);
    // A column added to a table cannot be declared NOT NULL: required stays in the metadata.
    d.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(quoteId(stored), columnDefinition(f, false)));
    if (f.attributes & dbAutoIncrField)  // existing records get their numbers
        d.exec(QStringLiteral("UPDATE %1 SET %2 = rowid").arg(quoteId(stored), quoteId(f.name)));
    meta::writeField(d, stored, f);
    meta::touchTable(d, stored);
    ws.commit();
    d.invalidateSchema();
}

void renameField(DatabaseImpl& d, const QString& tableName, const QString& from, const QString& to)
{
    const TableInfo& t = table(d, tableName);
    const QString stored = t.name;
    const int i = t.fieldIndex(from);
    if (i < 0)
        throw DbError::make(err::ItemNotFound);
    const QString old = t.fields[i].name;
    if (old == to)
        return;
    checkName(to);
    const int j = t.fieldIndex(to);
    if (j >= 0 && j != i)
        throw DbError::make(err::FieldDefinedTwice, {to});
    WriteScope ws(d);
    meta::ensureTables(d);
    auto rename = [&](const QString& a, const QString& b) {
        d.exec(QStringLiteral("ALTER TABLE %1 RENAME COLUMN %2 TO %3").arg(quoteId(stored), quoteId(a), quoteId(b)));
    };
    if (sameName(old, to)) {  // only the case changes: through a temporary name
        const QString tmp = QStringLiteral("dbe_rename_") + to;
        rename(old, tmp);
        rename(tmp, to);
    } else {
        rename(old, to);
    }
    meta::renameField(d, stored, old, to);
    meta::touchTable(d, stored);
    ws.commit();
    d.invalidateSchema();
}

void setAllowZeroLength(DatabaseImpl& d, const QString& tableName, const QString& field, bool allow)
{
    const TableInfo& t = table(d, tableName);
    const int i = t.fieldIndex(field);
    if (i < 0)
        throw DbError::make(err::ItemNotFound);
    const FieldInfo f = t.fields[i];
    const QString stored = t.name;
    if (!isTextType(f.type)) {
        if (allow)
            throw DbError::make(err::InvalidOperation);
        return;
    }
    if (f.allowZeroLength == allow)
        return;
    WriteScope ws(d);
    meta::ensureTables(d);
    meta::setAllowZeroLength(d, stored, f, allow);
    meta::touchTable(d, stored);
    ws.commit();
    d.invalidateSchema();
}

void dropField(DatabaseImpl& d, const QString& tableName, const QString& field)
{
    const TableInfo& t = table(d, tableName);
    const int i = t.fieldIndex(field);
    if (i < 0)
        throw DbError::make(err::ItemNotFound);
    const QString stored = t.name;
    const QString name = t.fields[i].name;
    for (const IndexInfo& ix : t.indexes)
        for (const QString& f : ix.fields)
            if (sameName(f, name))
                throw DbError::make(err::FieldInIndex);
    if (t.fields.size() == 1)
        throw DbError::make(err::NoFieldDefined);
    WriteScope ws(d);
    meta::ensureTables(d);
    d.exec(QStringLiteral("ALTER TABLE %1 DROP COLUMN %2").arg(quoteId(stored), quoteId(name)));
    meta::deleteField(d, stored, name);
    meta::touchTable(d, stored);
    ws.commit();
    d.invalidateSchema();
}

namespace {

QString columnText(sqlite3_stmt* st, int i)
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
    return p ? QString::fromUtf8(p, sqlite3_column_bytes(st, i)) : QString();
}

// The first record of the table (in rowid order) whose value of the field fitSql refuses: an
// error naming the value, the field and the record's number, with the refusal's number.
DbError refusedRecord(DatabaseImpl& d, const QString& table, const QString& rowid, const QString& field,
                      const QString& fitSql, const DbError& bulk)
{
    Stmt rows = d.prepare(
        QStringLiteral("SELECT %1, CAST(%2 AS TEXT) FROM %3 ORDER BY %1").arg(rowid, quoteId(field), quoteId(table)));
    qint64 number = 0;
    while (rows.step(d)) {
        ++number;
        const qint64 id = sqlite3_column_int64(rows, 0);
        const QString value =
            sqlite3_column_type(rows, 1) == SQLITE_NULL ? QStringLiteral("Null") : columnText(rows, 1);
        try {
            Stmt one = d.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = %4")
                                     .arg(fitSql, quoteId(table), rowid, QString::number(id)));
            one.step(d);
        } catch (const DbError& e) {
            return DbError(e.number(),
                           QStringLiteral("Impossibile modificare il tipo del campo '%1': il valore '%2' del record "
                                          "%3 della tabella '%4' non può essere convertito. %5")
                               .arg(field, value, QString::number(number), table, e.description()));
        }
    }
    return bulk;
}

}  // namespace

void alterField(DatabaseImpl& d, const QString& tableName, FieldInfo f)
{
    const TableInfo& t = table(d, tableName);
    if (t.isSystem())
        throw DbError::make(err::ReadOnlyDatabase);
    const int at = t.fieldIndex(f.name);
    if (at < 0)
        throw DbError::make(err::ItemNotFound);
    const QString stored = t.name;
    const QVector<FieldInfo> fields = t.fields;
    f.name = fields[at].name;
    f.allowZeroLength = fields[at].allowZeroLength && isTextType(f.type);
    f = prepareField(f, false);
    QStringList fieldNames;
    for (const FieldInfo& x : fields)
        fieldNames << x.name;
    const QString rowid = UnshadowedRowid(fieldNames);
    if (rowid.isEmpty())  // the rows could not be copied with their row numbers
        throw DbError::make(err::RowNumberShadowed, {stored});

    // The columns as SQLite declares them now; the engine's own declarations are written as the
    // engine writes them (texts compared without regard to case), any other one as it is.
    QStringList columns, names, values, primary;
    {
        Stmt st = d.prepare(
            QStringLiteral("SELECT name, type, \"notnull\", dflt_value, pk FROM pragma_table_info(?1) ORDER BY cid"));
        bind(st, 1, stored);
        QVector<QPair<int, QString>> keys;
        int i = 0;
        while (st.step(d)) {
            const QString name = columnText(st, 0);
            QString type = columnText(st, 1);
            bool notNull = sqlite3_column_int(st, 2) != 0;
            if (i == at) {
                type = declaredType(f.type, f.size);
                notNull = f.required;
            } else if (i < fields.size()) {
                const QString own = declaredType(fields[i].type, fields[i].size);
                if (own.section(QStringLiteral(" COLLATE"), 0, 0).compare(type, Qt::CaseInsensitive) == 0)
                    type = own;
            }
            QString column = quoteId(name) + (type.isEmpty() ? QString() : u' ' + type);
            if (notNull)
                column += QStringLiteral(" NOT NULL");
            if (sqlite3_column_type(st, 3) != SQLITE_NULL)
                column += QStringLiteral(" DEFAULT ") + columnText(st, 3);
            if (sqlite3_column_int(st, 4) > 0)
                keys.append({sqlite3_column_int(st, 4), quoteId(name)});
            columns << column;
            names << quoteId(name);
            values << quoteId(name);
            ++i;
        }
        std::sort(keys.begin(), keys.end());
        for (const auto& k : keys)
            primary << k.second;
    }
    if (!primary.isEmpty())
        columns << QStringLiteral("PRIMARY KEY (%1)").arg(primary.join(QStringLiteral(", ")));
    const QString fitSql = QStringLiteral("dbe_fit(%1, %2, %3, %4, %5, %6)")
                               .arg(quoteId(f.name), QString::number(f.type), QString::number(f.size),
                                    f.allowZeroLength ? QStringLiteral("1") : QStringLiteral("0"),
                                    f.required ? QStringLiteral("1") : QStringLiteral("0"),
                                    u'\'' + QString(f.name).replace(u'\'', QStringLiteral("''")) + u'\'');
    values[at] = fitSql;
    QStringList indexSql;
    {
        Stmt st = d.prepare(
            QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'index' AND tbl_name = ?1 AND sql IS NOT NULL"));
        bind(st, 1, stored);
        while (st.step(d))
            indexSql << columnText(st, 0);
    }

    WriteScope ws(d);
    meta::ensureTables(d);
    const QString fresh = QStringLiteral("dbe_alter_") + stored;
    d.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(quoteId(fresh), columns.join(QStringLiteral(", "))));
    try {
        d.exec(QStringLiteral("INSERT INTO %1 (%2, %3) SELECT %2, %4 FROM %5")
                   .arg(quoteId(fresh), rowid, names.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")),
                        quoteId(stored)));
    } catch (const DbError& e) {
        throw refusedRecord(d, stored, rowid, f.name, fitSql, e);
    }
    d.exec(QStringLiteral("DROP TABLE ") + quoteId(stored));
    d.exec(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(quoteId(fresh), quoteId(stored)));
    for (const QString& sql : indexSql)
        d.exec(sql);
    meta::writeField(d, stored, f);
    meta::touchTable(d, stored);
    ws.commit();
    d.invalidateSchema();
}

void createIndex(DatabaseImpl& d, const QString& tableName, IndexInfo ix)
{
    const TableInfo& t = table(d, tableName);
    const QString stored = t.name;
    const QVector<FieldInfo> fields = t.fields;
    prepareIndex(stored, fields, t.indexes, ix);
    if (objectExists(d, ix.sqliteName))
        throw DbError::make(err::IndexExists);
    if (ix.primary || ix.required) {
        QStringList nulls;
        for (const QString& f : ix.fields)
            nulls << quoteId(f) + QStringLiteral(" IS NULL");
        Stmt st = d.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE %2 LIMIT 1")
                                .arg(quoteId(stored), nulls.join(QStringLiteral(" OR "))));
        if (st.step(d))
            throw DbError::make(err::NullInPrimaryKey);
    }
    WriteScope ws(d);
    meta::ensureTables(d);
    d.exec(createIndexSql(stored, fields, ix));  // duplicates in the records: 3022
    if (hasCaseTwins(d, stored, fields, ix))  // ... also those NOCASE tells apart ('àbc', 'ÀBC')
        throw DbError::make(err::DuplicateKey);
    meta::writeIndex(d, ix);
    meta::touchTable(d, stored);
    ws.commit();
    d.invalidateSchema();
}

void dropIndex(DatabaseImpl& d, const QString& tableName, const QString& index)
{
    const TableInfo& t = table(d, tableName);
    const int i = t.indexIndex(index);
    if (i < 0)
        throw DbError::make(err::ItemNotFound);
    const QString stored = t.name;
    const QString sqliteName = t.indexes[i].sqliteName;
    if (sqliteName.isEmpty() || sqliteName.startsWith(QLatin1String("sqlite_autoindex_")))
        throw DbError::make(err::InvalidOperation);  // part of the table's own declaration
    WriteScope ws(d);
    meta::ensureTables(d);
    d.exec(QStringLiteral("DROP INDEX ") + quoteId(sqliteName));
    meta::deleteIndex(d, sqliteName);
    meta::touchTable(d, stored);
    ws.commit();
    d.invalidateSchema();
}

const QStringList& builtinProperties()
{
    static const QStringList names = {
        QStringLiteral("Name"),
        QStringLiteral("Updatable"),
        QStringLiteral("DateCreated"),
        QStringLiteral("LastUpdated"),
        QStringLiteral("Connect"),
        QStringLiteral("Attributes"),
        QStringLiteral("SourceTableName"),
        QStringLiteral("RecordCount"),
        QStringLiteral("ValidationRule"),
        QStringLiteral("ValidationText"),
        QStringLiteral("ConflictTable"),
        QStringLiteral("ReplicaFilter"),
    };
    return names;
}

bool isBuiltinProperty(const QString& name) { return builtinProperties().contains(name, Qt::CaseInsensitive); }

void appendProperty(DatabaseImpl& d, const QString& tableName, const PropertyInfo& p)
{
    const TableInfo& t = table(d, tableName);
    checkProperty(p);
    for (const PropertyInfo& e : t.properties)
        if (sameName(e.name, p.name))
            throw DbError::make(err::ObjectExists, {p.name});
    const QString stored = t.name;
    WriteScope ws(d);
    meta::ensureTables(d);
    meta::appendProperty(d, stored, p);
    ws.commit();
    d.invalidateSchema();
}

void setProperty(DatabaseImpl& d, const QString& tableName, const QString& name, const QVariant& value)
{
    const TableInfo& t = table(d, tableName);
    for (const PropertyInfo& e : t.properties) {
        if (!sameName(e.name, name))
            continue;
        PropertyInfo p = e;
        p.value = value;
        toStorage(value, p.type);
        const QString stored = t.name;
        WriteScope ws(d);
        meta::setProperty(d, stored, p);
        ws.commit();
        d.invalidateSchema();
        return;
    }
    throw DbError::make(isBuiltinProperty(name) ? err::InvalidOperation : err::ItemNotFound);
}

void deleteProperty(DatabaseImpl& d, const QString& tableName, const QString& name)
{
    const TableInfo& t = table(d, tableName);
    for (const PropertyInfo& e : t.properties) {
        if (!sameName(e.name, name))
            continue;
        const QString stored = t.name;
        WriteScope ws(d);
        meta::deleteProperty(d, stored, e.name);
        ws.commit();
        d.invalidateSchema();
        return;
    }
    throw DbError::make(isBuiltinProperty(name) ? err::InvalidOperation : err::ItemNotFound);
}

}  // namespace dbe::detail::ddl
