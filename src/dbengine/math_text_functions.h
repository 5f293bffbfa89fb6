#pragma once
// The SQL functions behind the query language's arithmetic and text functions that people who
// write queries by hand reach for (the ^ operator, Round, Int, Fix, Sgn, Sqr, Exp, Log, Replace,
// IsNumeric, IsDate, Space, Chr, Asc, StrComp, StrReverse, InStrRev) and behind the aggregates
// First, Last, StDev, StDevP, Var and VarP, registered on every connection of the engine.
// They keep the original engine's rules under Italian settings: a Null argument gives Null (a
// Null where a number of characters or a code is needed raises 94), a text argument is read as a
// number by the Italian rule (3464 when it is none), Round rounds half to even, an argument out of
// range raises 5 and 0 raised to a negative power raises 11.
struct sqlite3;

namespace dbe::detail {

void registerMathTextFunctions(sqlite3* db);

}  // namespace dbe::detail
