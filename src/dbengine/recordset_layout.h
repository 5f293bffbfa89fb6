#pragma once
// RecordLayout: what a record set's records are made of. Its fields (the names the set shows, the
// table and column each comes from, type, size and rules) and its sources (the tables whose rows
// make a record, with the SQL that reads, changes and deletes one row by rowid; a change or delete
// carries the content the row must still have, so that the check and the write are one statement). Built once when
// the set is opened, from a table's definition or from a translated SELECT; the SQL texts are fixed
// so that the connection's statement cache serves them on every record.
#include "connection.h"
#include "dialect/dialect.h"

#include <QHash>
#include <QString>
#include <QVector>

namespace dbe::detail {

struct LayoutField {
    QString name;  // as the set shows it ("TABLE.FIELD" for a field both joined tables have)
    int source = -1;  // index into the sources; -1 for a computed column of a snapshot
    int slot = -1;  // the field's column in its source's readSql
    FieldInfo info;  // type, size and rules; info.name is the column as stored
};

struct LayoutSource {
    QString table;  // stored name
    QVector<int> fields;  // the set's fields read from this source, in readSql's column order
    QString rowid;  // the name of the rowid in T: rowid, or _rowid_ or oid when a field is so named
    QString identity;  // dbe_ident(...) of a row's key (Emitter::identitySql)
    QString content;  // dbe_ident(...) of all a row's values (Emitter::contentSql)
    QString readSql;  // SELECT "a","b",identity,content FROM "T" WHERE rowid=?
    QString checkSql;  // SELECT identity,content FROM "T" WHERE rowid=?
    QString deleteSql;  // DELETE FROM "T" WHERE rowid=?1 AND content IS ?2
};

class RecordLayout {
public:
    // All the fields of one table, by their stored names.
    static RecordLayout forTable(const TableInfo& table, DatabaseImpl& db);
    // The output columns of a SELECT; rules are taken from the tables' definitions.
    static RecordLayout forPlan(const dialect::SelectPlan& plan, DatabaseImpl& db);

    int count() const { return int(fields_.size()); }
    const LayoutField& field(int i) const { return fields_[i]; }
    // Case-insensitive; -1 when the set has no field of that name.
    int indexOf(const QString& name) const;

    int sourceCount() const { return int(sources_.size()); }
    const LayoutSource& source(int s) const { return sources_[s]; }

    // UPDATE "T" SET "a"=?,"b"=? WHERE rowid=? AND content IS ? RETURNING content, for these
    // fields of source s (set field indexes, in the source's order); built once per set of fields.
    const QString& updateSql(int s, const QVector<int>& fields) const;

    // "name" with double quotes doubled: a name as SQLite reads it.
    static QString quote(const QString& name);

private:
    void finish(DatabaseImpl& db);

    QVector<LayoutField> fields_;
    QVector<LayoutSource> sources_;
    QHash<QString, int> exact_;
    mutable QHash<QString, QString> updates_;  // key: source and field indexes
};

}  // namespace dbe::detail
