#include "unique_text.h"

#include "column_type.h"
#include "conn_state.h"
#include "dbengine/rowid_name.h"
#include "spelling_table.h"
#include "value_functions.h"
#include "values.h"

#include <QSet>
#include <sqlite3.h>

namespace dbe::detail {

namespace {

const FieldInfo* field(const QVector<FieldInfo>& fields, const QString& name)
{
    for (const FieldInfo& f : fields)
        if (sameName(f.name, name))
            return &f;
    return nullptr;
}

bool hasTextField(const QVector<FieldInfo>& fields, const IndexInfo& ix)
{
    for (const QString& n : ix.fields) {
        const FieldInfo* f = field(fields, n);
        if (f && isTextType(f->type))
            return true;
    }
    return false;
}

QString sqlText(const QString& s)
{
    QString out = s;
    out.replace(u'\'', QStringLiteral("''"));
    return u'\'' + out + u'\'';
}

// The name under which the table's rowid is reached (a table may have a field named rowid).
QString rowidName(const QVector<FieldInfo>& fields)
{
    QStringList names;
    for (const FieldInfo& f : fields)
        names << f.name;
    return UnshadowedRowid(names);
}

bool withoutRowid(DatabaseImpl& d, const QString& table)
{
    Stmt st = d.prepare(QStringLiteral("SELECT wr FROM pragma_table_list WHERE schema = 'main' AND name = ?1"));
    bind(st, 1, table);
    return st.step(d) && sqlite3_column_int(st, 0) != 0;
}

// The two triggers (insert, update of the key) of one unique index, by name.
void triggersFor(const TableInfo& t, const IndexInfo& ix, const QString& rowid, QHash<QString, QString>* out)
{
    const QString table = QStringLiteral("main.") + quoteId(t.name);
    QStringList when, match, columns;
    for (const QString& n : ix.fields) {
        const FieldInfo* f = field(t.fields, n);
        const QString col = quoteId(f->name);
        columns << col;
        if (isTextType(f->type)) {
            when << QStringLiteral("%1(NEW.%2)").arg(QLatin1String(kHasCaseFunction), col);
            // The table and field let a key with many letters outside ASCII be looked up too.
            match << QStringLiteral("o.%1 COLLATE NOCASE IN (SELECT value FROM %2(NEW.%1, %3, %4))")
                         .arg(col, QLatin1String(kSpellingsTable), sqlText(t.name), sqlText(f->name));
        } else {
            match << QStringLiteral("o.%1 = NEW.%1").arg(col);
        }
    }
    const QString body =
        QStringLiteral(" ON %1 WHEN %2 BEGIN SELECT RAISE(ABORT, %3) WHERE EXISTS (SELECT 1 FROM %1 AS o "
                       "WHERE %4 AND o.%5 <> NEW.%5); END")
            .arg(table, when.join(QStringLiteral(" OR ")),
                 sqlText(QStringLiteral("DBE%1:%2")
                             .arg(err::DuplicateKey)
                             .arg(DbError::make(err::DuplicateKey).description())),
                 match.join(QStringLiteral(" AND ")), rowid);
    for (const QString& event : {QStringLiteral("INSERT"), QStringLiteral("UPDATE OF ") + columns.join(u',')}) {
        const QString def = QStringLiteral("AFTER ") + event + body;
        // The name carries the definition's hash: a trigger of that name is this definition.
        const QString name =
            QStringLiteral("dbe_uq_%1").arg(qulonglong(qHash(t.name + u'\n' + def)), 16, 16, QLatin1Char('0'));
        out->insert(name, QStringLiteral("CREATE TEMP TRIGGER ") + quoteId(name) + u' ' + def);
    }
}

}  // namespace

void syncUniqueTextTriggers(DatabaseImpl& d, const TableInfo& t)
{
    QHash<QString, QString> wanted;
    const QString rowid = rowidName(t.fields);
    bool checked = false, rowids = true;
    for (const IndexInfo& ix : t.indexes) {
        if (!ix.unique || !hasTextField(t.fields, ix))
            continue;
        if (!checked) {
            checked = true;
            rowids = !rowid.isEmpty() && !withoutRowid(d, t.name);
        }
        if (rowids)
            triggersFor(t, ix, rowid, &wanted);
    }
    QStringList present;
    {
        Stmt st =
            d.prepare(QStringLiteral("SELECT name FROM temp.sqlite_master WHERE type = 'trigger' AND tbl_name = ?1 "
                                     "AND name LIKE 'dbe\\_uq\\_%' ESCAPE '\\'"));
        bind(st, 1, t.name);
        while (st.step(d))
            present << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    }
    for (const QString& name : present) {
        if (!wanted.remove(name))
            d.exec(QStringLiteral("DROP TRIGGER temp.") + quoteId(name));
    }
    for (const QString& sql : std::as_const(wanted))
        d.exec(sql);
}

bool hasCaseTwins(DatabaseImpl& d, const QString& table, const QVector<FieldInfo>& fields, const IndexInfo& ix)
{
    if (!ix.unique || !hasTextField(fields, ix))
        return false;
    // Twins that NOCASE tells apart differ in a letter outside ASCII: both have one.
    QStringList when, notNull, groups;
    for (const QString& n : ix.fields) {
        const FieldInfo* f = field(fields, n);
        const QString col = quoteId(f->name);
        notNull << col + QStringLiteral(" IS NOT NULL");
        if (isTextType(f->type)) {
            when << QStringLiteral("%1(%2)").arg(QLatin1String(kHasCaseFunction), col);
            groups << col + QStringLiteral(" COLLATE ") + QLatin1String(kNocaseCollation);
        } else {
            groups << col;
        }
    }
    Stmt st = d.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE (%2) AND %3 GROUP BY %4 HAVING count(*) > 1 LIMIT 1")
                            .arg(quoteId(table), when.join(QStringLiteral(" OR ")),
                                 notNull.join(QStringLiteral(" AND ")), groups.join(QStringLiteral(", "))));
    return st.step(d);
}

}  // namespace dbe::detail
