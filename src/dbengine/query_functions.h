#pragma once
// The SQL functions behind the query language's functions and operators (dbe_div, dbe_format,
// dbe_dateadd, ...; dialect/functions.h lists them), registered on every connection of the engine.
// They follow the original engine under Italian regional settings: numbers are written with a
// decimal comma, dates as dd/mm/yyyy, month and day names in Italian; a date argument may be any
// stored form of a date the engine reads (values.h). An error is raised as the engine's error
// (94 for a Null a conversion cannot take, 11 for a division by zero, 5 for an argument out of
// range), through the "DBE<number>:<description>" text that the connection turns back into it.
struct sqlite3;

namespace dbe::detail {

void registerQueryFunctions(sqlite3* db);

}  // namespace dbe::detail
