#include "recordset_layout.h"

#include "dialect/emitter.h"

namespace dbe::detail {

QString RecordLayout::quote(const QString& name)
{
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

RecordLayout RecordLayout::forTable(const TableInfo& table, DatabaseImpl& db)
{
    RecordLayout l;
    LayoutSource src;
    src.table = table.name;
    for (const FieldInfo& f : table.fields) {
        LayoutField lf;
        lf.name = f.name;
        lf.source = 0;
        lf.info = f;
        src.fields.append(int(l.fields_.size()));
        l.fields_.append(lf);
    }
    l.sources_.append(src);
    l.finish(db);
    return l;
}

RecordLayout RecordLayout::forPlan(const dialect::SelectPlan& plan, DatabaseImpl& db)
{
    RecordLayout l;
    for (const auto& s : plan.sources) {
        LayoutSource src;
        src.table = s.table;
        l.sources_.append(src);
    }
    const dialect::SchemaProvider& schema = db.schemaProvider();
    for (const auto& c : plan.columns) {
        LayoutField lf;
        lf.name = c.name;
        lf.info.name = c.name;
        lf.info.type = c.type;
        lf.info.size = c.size;
        if (c.source >= 0 && c.source < plan.sources.size()) {
            lf.source = c.source;
            const QString& tableName = plan.sources[c.source].table;
            const dialect::Table* t = schema.table(tableName);
            if (t && c.column >= 0 && c.column < t->columns.size()) {
                const dialect::Column& col = t->columns[c.column];
                lf.info.name = col.name;
                lf.info.type = col.type;
                lf.info.size = col.size;
                lf.info.attributes = col.attributes;
                lf.info.allowZeroLength = col.allowZeroLength;
                lf.info.required = col.required;
            }
            if (const TableInfo* ti = db.tableInfo(tableName)) {
                const int k = ti->fieldIndex(lf.info.name);
                if (k >= 0)
                    lf.info = ti->fields[k];
            }
            l.sources_[c.source].fields.append(int(l.fields_.size()));
        }
        l.fields_.append(lf);
    }
    l.finish(db);
    return l;
}

void RecordLayout::finish(DatabaseImpl& db)
{
    for (int s = 0; s < sources_.size(); ++s) {
        LayoutSource& src = sources_[s];
        QStringList cols;
        for (int k = 0; k < src.fields.size(); ++k) {
            fields_[src.fields[k]].slot = k;
            cols << quote(fields_[src.fields[k]].info.name);
        }
        src.rowid = QStringLiteral("rowid");
        src.identity = QStringLiteral("NULL");
        src.content = QStringLiteral("NULL");
        if (const dialect::Table* t = db.schemaProvider().table(src.table)) {
            src.rowid = dialect::Emitter::rowidName(*t);
            src.identity = dialect::Emitter::identitySql(*t, QString());
            src.content = dialect::Emitter::contentSql(*t, QString());
        }
        cols << src.identity << src.content;
        const QString t = quote(src.table);
        src.readSql = QStringLiteral("SELECT %1 FROM %2 WHERE %3=?").arg(cols.join(QLatin1Char(',')), t, src.rowid);
        src.checkSql = QStringLiteral("SELECT %1,%2 FROM %3 WHERE %4=?").arg(src.identity, src.content, t, src.rowid);
        src.deleteSql = QStringLiteral("DELETE FROM %1 WHERE %2=?1 AND %3 IS ?2").arg(t, src.rowid, src.content);
    }
    for (int i = 0; i < fields_.size(); ++i)
        if (!exact_.contains(fields_[i].name))
            exact_.insert(fields_[i].name, i);
}

const QString& RecordLayout::updateSql(int s, const QVector<int>& fields) const
{
    QString key(fields.size() + 1, Qt::Uninitialized);
    key[0] = QChar(char16_t(s));
    for (int k = 0; k < fields.size(); ++k)
        key[k + 1] = QChar(char16_t(fields[k]));
    auto it = updates_.find(key);
    if (it != updates_.end())
        return it.value();
    QString sql = QStringLiteral("UPDATE ") + quote(sources_[s].table) + QStringLiteral(" SET ");
    for (int k = 0; k < fields.size(); ++k) {
        if (k)
            sql += QLatin1Char(',');
        sql += quote(fields_[fields[k]].info.name) + QStringLiteral("=?");
    }
    sql += QStringLiteral(" WHERE ") + sources_[s].rowid + QStringLiteral("=? AND ") + sources_[s].content
           + QStringLiteral(" IS ? RETURNING ") + sources_[s].content;
    return updates_.insert(key, sql).value();
}

int RecordLayout::indexOf(const QString& name) const
{
    const auto it = exact_.constFind(name);
    if (it != exact_.constEnd())
        return it.value();
    for (int i = 0; i < fields_.size(); ++i)
        if (fields_[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

}  // namespace dbe::detail
