#pragma once
// The data-definition operations on the file: each checks every rule first, then writes the SQLite
// schema and the metadata tables in one transaction, so that a refused or failed operation changes
// nothing. The object model (TableDefs, Fields, Indexes, Properties) and Execute's CREATE, DROP
// and ALTER statements both call these, so both follow the same rules.
#include "connection.h"

namespace dbe::detail::ddl {

struct NewTable {
    QString name;
    qint32 attributes = 0;
    QVector<FieldInfo> fields;
    QVector<IndexInfo> indexes;
    QVector<PropertyInfo> properties;
    QVector<bool> attributesGiven;  // per field: false takes the type's default flags
};

// Raises 3125 for a name the engine does not accept (empty, longer than 64 characters, with
// . ! ` [ ] or control characters, a leading space).
void checkName(const QString& name);
// Checks a new field and completes it: size from the type (text and binary 1..255, 0 meaning 255),
// attribute flags (the type's default fixed/variable flag added), declared type.
FieldInfo prepareField(FieldInfo f, bool attributesGiven);

void createTable(DatabaseImpl& d, NewTable t);
void dropTable(DatabaseImpl& d, const QString& table, int missingError = 3265);
// takenError: 3191 (Fields.Append) or 3380 (ALTER TABLE ADD COLUMN).
void addField(DatabaseImpl& d, const QString& table, FieldInfo f, bool attributesGiven, int takenError = 3191);
void renameField(DatabaseImpl& d, const QString& table, const QString& from, const QString& to);
void setAllowZeroLength(DatabaseImpl& d, const QString& table, const QString& field, bool allow);
void dropField(DatabaseImpl& d, const QString& table, const QString& field);
// ALTER COLUMN: the field f.name takes f's type, size and NOT NULL. The table is written anew in
// its field order with every record's value converted as a value written into the new field is
// (dbe_fit); a value that does not convert refuses the change with an error that names it, its
// field and its record, and nothing changes. Indexes, rowids and the other fields stay.
void alterField(DatabaseImpl& d, const QString& table, FieldInfo f);
void createIndex(DatabaseImpl& d, const QString& table, IndexInfo ix);
void dropIndex(DatabaseImpl& d, const QString& table, const QString& index);

// The properties every table reports before its own, in that order.
const QStringList& builtinProperties();
bool isBuiltinProperty(const QString& name);
void appendProperty(DatabaseImpl& d, const QString& table, const PropertyInfo& p);
void setProperty(DatabaseImpl& d, const QString& table, const QString& name, const QVariant& value);
void deleteProperty(DatabaseImpl& d, const QString& table, const QString& name);

}  // namespace dbe::detail::ddl
