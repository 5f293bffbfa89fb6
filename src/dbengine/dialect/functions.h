#pragma once
// The functions of the query language other than the aggregates: which names exist and with how
// many arguments (an unknown name raises 3085 naming it), and how a call is written in SQLite SQL.
// Most of them are run by SQL functions that the engine registers on every connection
// (runtimeFunctions() lists them, so that whoever prepares the translated SQL can register them);
// their behaviour, Null rules and errors are those of the original engine: conversions of Null
// raise 94, a division by zero 11, an argument out of range (a negative start of MID) 5.
#include "emitter.h"

#include <vector>

namespace dbe::dialect {

// The argument counts of a function (name in upper case); false when the language has none.
bool functionArity(const QString& name, int* minArgs, int* maxArgs);
bool isAggregateFunction(const QString& name);

// Whether an expression names a field (outside subqueries), or calls an aggregate function. An
// expression that names no field has one value for every record: grouping or ordering by it
// changes nothing, and it must never reach SQLite as a bare number (a column position there).
bool refersToColumn(const Expr& e);
bool containsAggregate(const Expr& e);

// The SQL of a call of a function that is not an aggregate (ISNULL included).
Value emitFunction(Emitter& em, const Expr& e);

// The operators run by SQL functions: a / b, a \ b, a MOD b and a & b.
QString divisionSql(const QString& op, const QString& a, const QString& b);
// a & b & ...: Null only when every operand is Null.
QString concatenationSql(const QVector<Value>& operands);

struct RuntimeFunction {
    const char* name;
    int arguments;  // -1: any number
    bool deterministic;  // false for the current date and time
};
// Every SQL function that translated SQL may call (dbe_fit aside).
const std::vector<RuntimeFunction>& runtimeFunctions();

// The function that yields a record's identity in its table (see SelectPlan::keySql).
inline constexpr const char* kIdentityFunction = "dbe_ident";

}  // namespace dbe::dialect
