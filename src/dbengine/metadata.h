#pragma once
// The engine's metadata tables (MSysTables, MSysFields, MSysIndexes, MSysProperties): their
// definitions, and the writes that keep them in step with the SQLite schema. Reads are in the
// schema loader. Every write here runs inside the caller's write scope.
#include "connection.h"

namespace dbe::detail::meta {

// The CREATE TABLE statements of the four tables (IF NOT EXISTS).
const QStringList& createStatements();
// Creates the metadata tables the file lacks (a hand-made archive may have none).
void ensureTables(DatabaseImpl& d);

void writeTable(DatabaseImpl& d, const QString& table, qint32 attributes, bool created);
void touchTable(DatabaseImpl& d, const QString& table);  // LastUpdated := now
void writeField(DatabaseImpl& d, const QString& table, const FieldInfo& f);
void renameField(DatabaseImpl& d, const QString& table, const QString& from, const QString& to);
void setAllowZeroLength(DatabaseImpl& d, const QString& table, const FieldInfo& f, bool allow);
void deleteField(DatabaseImpl& d, const QString& table, const QString& field);
void writeIndex(DatabaseImpl& d, const IndexInfo& i);
void deleteIndex(DatabaseImpl& d, const QString& sqliteName);
void appendProperty(DatabaseImpl& d, const QString& table, const PropertyInfo& p);
void setProperty(DatabaseImpl& d, const QString& table, const PropertyInfo& p);
void deleteProperty(DatabaseImpl& d, const QString& table, const QString& name);
void deleteTable(DatabaseImpl& d, const QString& table, const QStringList& sqliteIndexNames);

}  // namespace dbe::detail::meta
