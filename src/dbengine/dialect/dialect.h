#pragma once
// The query dialect: parses one statement of the Access-style SQL the catalogue and the corrections
// build (bracketed names, ISNULL, TRIM, #mm/dd/yyyy# dates, TRUE/FALSE, NOT IN subqueries, LEFT and
// RIGHT JOIN, and the data-definition and data statements) and turns it into SQLite SQL with the
// original engine's behaviour: text compared without regard to case, Null three-valued logic, dates
// compared as dates. Pure: it reads the schema only through SchemaProvider and runs nothing.
// Every failure is a DbError (3078 missing table, 3061 unknown name, 3075/3131/3134/3144/3290
// syntax), never a crash.
#include "dbengine/db_error.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace dbe::dialect {

struct Column {
    QString name;  // as stored
    short type = 0;
    qint32 size = 0;
    qint32 attributes = 0;
    bool allowZeroLength = false;
    bool required = false;
    bool primaryKey = false;  // in the primary index or an index that refuses Null: Null gives 3058
};

struct Table {
    QString name;  // as stored
    QVector<Column> columns;  // in field order
    QVector<QVector<int>> indexes;  // the columns of each index, in the index's order
};

// A field of a table, both as stored.
struct PlainColumn {
    QString table;
    QString field;
};

class SchemaProvider {
public:
    virtual ~SchemaProvider() = default;
    // Case-insensitive lookup; nullptr when the database has no such table.
    virtual const Table* table(const QString& name) const = 0;
    // Whether every value of a text or date field is, as the file is now, in the plain form: a
    // text with no letter outside ASCII that has another case, a date in the engine's own stored
    // form (or Null). Between two such fields a join compares the stored values as they are. The
    // answer holds for the file as it is now only: the statement records every field it assumed
    // plain (Statement::plainColumns) for whoever runs it to ask again. False by default.
    virtual bool plainColumn(const QString& table, const QString& field) const
    {
        Q_UNUSED(table);
        Q_UNUSED(field);
        return false;
    }
};

// The same schema with no field plain: the general form of every comparison.
class GeneralForms : public SchemaProvider {
public:
    explicit GeneralForms(const SchemaProvider& schema) : schema_(schema) {}
    const Table* table(const QString& name) const override { return schema_.table(name); }

private:
    const SchemaProvider& schema_;
};

// A SELECT. For a keyset plan, keySql yields one row per result record, in result order, whose
// columns are the rowids of the sources (NULL for the missing side of an outer join), then the
// identity of each source's record (Emitter::identitySql: a hash of its key), by which a record
// set tells its record from a new one that took the same rowid, then the content of each source's
// record (Emitter::contentSql: a hash of every stored value), which every write through the set
// requires the record still to have; the record's values are then read from each source table by
// rowid. A snapshot plan (DISTINCT, aggregates,
// expressions in the select list) has valuesSql yielding the values themselves.
struct SelectPlan {
    struct Source {
        QString table;  // stored name
        QString alias;  // the name used for it in keySql
        QString written;  // the name the query calls it by (its alias, else the name as written)
    };
    struct OutColumn {
        QString name;  // "TABLE.FIELD" when both joined tables have the field, else the bare name
        int source = -1;  // index into sources; -1 for a computed column of a snapshot
        int column = -1;  // index into the source table's columns
        QString field;  // the source column's stored name; empty for a computed column
        short type = 0;
        qint32 size = 0;
    };
    QVector<Source> sources;
    QVector<OutColumn> columns;
    bool keyset = true;
    QString keySql;
    // The same records a part at a time, for a one-table keyset in the table's own order: the next
    // at most :dbe_limit records (-1: all the rest) whose rowid is above :dbe_after, in rowid order.
    // Empty when the plan cannot be read so (joins, grouping, ORDER BY, TOP).
    QString keyChunkSql;
    QString valuesSql;
};

// The output column a record set's field lookup by name designates: the column's own name, or,
// for a column of a source, TABLE.FIELD with the source's name as the query writes it (so
// "DETT_ORD.LIB3" finds LIB3 of DETT_ORD even when only one table has it). Without regard to
// case; -1 when there is none.
int findOutColumn(const SelectPlan& plan, const QString& name);

// A field in CREATE TABLE or ALTER TABLE ADD COLUMN.
struct FieldDef {
    QString name;
    short type = 0;
    qint32 size = 0;  // TEXT(n), BINARY(n); 255 for TEXT and BINARY when not given, else the
                      // type's fixed size (LONG 4, DOUBLE 8, ...; 0 for MEMO and LONGBINARY)
    bool notNull = false;
    bool autoIncrement = false;  // COUNTER, AUTOINCREMENT
    bool allowZeroLength = false;  // a text field that takes "" (the fields SELECT ... INTO makes)
};

struct IndexDef {
    QString name;
    QString table;
    QStringList fields;
    QList<bool> descending;  // one per field: DESC in CREATE INDEX
    bool unique = false;
    bool primary = false;  // WITH PRIMARY
    bool disallowNull = false;  // WITH DISALLOW NULL
    bool ignoreNull = false;  // WITH IGNORE NULL
};

struct Statement {
    enum Kind {
        Select,
        Update,
        Delete,
        Insert,
        CreateTable,
        CreateIndex,
        DropIndex,
        DropTable,
        AlterAddColumn,
        AlterDropColumn,
        AlterColumn,  // ALTER TABLE t ALTER COLUMN: fields holds the field's new definition
        SelectInto,
    };
    Kind kind = Select;
    SelectPlan select;  // Select
    QString sql;  // Update, Delete, Insert, SelectInto: the SQLite statement, rules
                  // checked by dbe_fit() (SelectInto: the copy into the new table)
    QString table;  // target table (stored name where it exists, else as written)
    QVector<FieldDef> fields;  // CreateTable, AlterAddColumn, SelectInto (the new table's fields)
    IndexDef index;  // CreateIndex, DropIndex (name and table)
    QVector<IndexDef> constraints;  // CreateTable: CONSTRAINT name PRIMARY KEY/UNIQUE (f, ...)
    QString field;  // AlterDropColumn
    // Update: the same change with each value written as it is, and a query that finds a record
    // whose value dbe_fit() would refuse or change. When the query finds none inside the write
    // transaction, plainSql does exactly what sql does, without a function that may fail half-way
    // (SQLite then keeps no statement journal to undo a partial statement). Empty when the
    // statement's values are not plain fields of its own table or it has a WHERE clause.
    QString plainSql;
    QString plainCheck;
    // The fields the SQL compares in their plain form (SchemaProvider::plainColumn): right only
    // while each still holds plain values; otherwise translate again with GeneralForms.
    QVector<PlainColumn> plainColumns;
};

// Translates one statement. A trailing semicolon is allowed. Statement::table is, for a SELECT,
// the stored name of its first source.
Statement translate(const QString& text, const SchemaProvider& schema);

// The SQL function that checks and converts a value written into a field, registered on every
// connection by the engine: dbe_fit(value, type, size, allowZeroLength, required, fieldName). It
// returns the value in the field's storage form or fails the statement with the error text
// "DBE<number>:<description>".
inline constexpr const char* kFitFunction = "dbe_fit";

// dbe_fits_as_is(value, type, size, allowZeroLength, required, fieldName): 1 when dbe_fit() with the
// same arguments returns the value unchanged (same storage class, same bytes), 0 when it would
// convert or refuse it. Never fails.
inline constexpr const char* kFitsAsIsFunction = "dbe_fits_as_is";

}  // namespace dbe::dialect
