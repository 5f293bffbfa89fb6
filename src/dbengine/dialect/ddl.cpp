// Data definition: the parser has read the statement; here its names are checked against the
// schema and replaced by the stored ones. A missing table is reported as 3376 ("La tabella ... non
// esiste.") for every statement that changes an existing table, as the engine does for DROP TABLE;
// queries report it as 3078.
#include "planner.h"

namespace dbe::dialect {

namespace {

int fieldIndex(const Table& t, const QString& name)
{
    for (int i = 0; i < t.columns.size(); ++i) {
        if (t.columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

const Table& existingTable(const SchemaProvider& schema, const QString& name)
{
    const Table* t = schema.table(name);
    if (!t)
        throw DbError::make(err::TableNotFound, {name});
    if (t->name.startsWith(QLatin1String("MSys"), Qt::CaseInsensitive))
        throw DbError::make(err::ReadOnlyDatabase);  // the engine's own metadata tables
    return *t;
}

// Index fields named by the stored names of the table's fields; a missing field raises 3265.
void resolveIndexFields(IndexDef& index, const Table& t)
{
    for (QString& f : index.fields) {
        const int i = fieldIndex(t, f);
        if (i < 0)
            throw DbError::make(err::ItemNotFound);
        f = t.columns[i].name;
    }
    index.table = t.name;
}

}  // namespace

Statement planDefinition(Statement s, const SchemaProvider& schema)
{
    switch (s.kind) {
    case Statement::CreateTable: {
        if (schema.table(s.table))
            throw DbError::make(err::TableExists, {s.table});
        for (int i = 0; i < s.fields.size(); ++i) {
            for (int j = 0; j < i; ++j) {
                if (s.fields[i].name.compare(s.fields[j].name, Qt::CaseInsensitive) == 0)
                    throw DbError::make(err::FieldDefinedTwice, {s.fields[i].name});
            }
        }
        for (IndexDef& index : s.constraints) {
            for (QString& f : index.fields) {
                bool found = false;
                for (const FieldDef& d : s.fields) {
                    if (d.name.compare(f, Qt::CaseInsensitive) == 0) {
                        f = d.name;
                        found = true;
                    }
                }
                if (!found)
                    throw DbError::make(err::SyntaxErrorInDdl);
            }
        }
        return s;
    }
    case Statement::CreateIndex: {
        const Table& t = existingTable(schema, s.index.table);
        resolveIndexFields(s.index, t);
        s.table = t.name;
        return s;
    }
    case Statement::DropIndex: {
        const Table& t = existingTable(schema, s.index.table);
        s.index.table = t.name;
        s.table = t.name;
        return s;
    }
    case Statement::DropTable: s.table = existingTable(schema, s.table).name; return s;
    case Statement::AlterAddColumn: {
        const Table& t = existingTable(schema, s.table);
        s.table = t.name;
        for (const FieldDef& f : s.fields) {
            if (fieldIndex(t, f.name) >= 0)
                throw DbError::make(err::FieldExists, {f.name, t.name});
        }
        for (IndexDef& index : s.constraints)
            index.table = t.name;
        return s;
    }
    case Statement::AlterColumn: {
        const Table& t = existingTable(schema, s.table);
        s.table = t.name;
        const int i = fieldIndex(t, s.fields.front().name);
        if (i < 0)
            throw DbError::make(err::ItemNotFound);
        s.fields.front().name = t.columns[i].name;
        return s;
    }
    case Statement::AlterDropColumn: {
        const Table& t = existingTable(schema, s.table);
        s.table = t.name;
        const int i = fieldIndex(t, s.field);
        if (i < 0)
            throw DbError::make(err::ItemNotFound);
        s.field = t.columns[i].name;
        return s;
    }
    default: throw DbError::make(err::SyntaxErrorInDdl);
    }
}

}  // namespace dbe::dialect
