#pragma once
// The two ends of an SQL function the engine registers on its connections: an argument read as a
// QVariant (Null as an invalid QVariant, integers as qint64, texts as UTF-8 decoded QString, blobs
// as QByteArray), and a result or an engine error handed back to SQLite. An error travels as the
// text "DBE<number>:<description>", which the connection turns back into the engine's error.
#include "dbengine/db_error.h"

#include <QVariant>
#include <QVector>

struct sqlite3_context;
struct sqlite3_value;

namespace dbe::detail {

QVariant fromSqlite(sqlite3_value* v);
void resultValue(sqlite3_context* ctx, const QVariant& value);
void resultError(sqlite3_context* ctx, const DbError& e);

// An SQL function written as a C++ function of its arguments: register callScalar with the C++
// function as the user data; it reads the arguments, calls it, and hands back its value or error.
using ScalarFunction = QVariant (*)(const QVector<QVariant>& args);
void callScalar(sqlite3_context* ctx, int argc, sqlite3_value** argv);

}  // namespace dbe::detail
