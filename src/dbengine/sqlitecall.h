#pragma once
// The two ends of an SQL function the engine registers on its connections: an argument read as a
// QVariant (Null as an invalid QVariant, integers as qint64, texts as UTF-8 decoded QString, blobs
// as QByteArray), and a result or an engine error handed back to SQLite. An error travels as the
// text "DBE<number>:<description>", which the connection turns back into the engine's error.
#include "dberror.h"

#include <QVariant>

struct sqlite3_context;
struct sqlite3_value;

namespace dbe::detail {

QVariant fromSqlite(sqlite3_value* v);
void resultValue(sqlite3_context* ctx, const QVariant& value);
void resultError(sqlite3_context* ctx, const DbError& e);

}  // namespace dbe::detail
