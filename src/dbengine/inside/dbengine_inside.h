#pragma once
// The engine's one door to its inside, for tests, benchmarks and the fuzzer alone: the connection
// with its raw statements and write scopes, the stored-value helpers, the SQL functions as they are
// registered on a bare SQLite handle, and the query translator. Only test, bench and fuzz targets
// have this folder (and the engine's private headers behind it) on their include path; the
// program's libraries see the public headers of dbengine/include alone, and the layering test
// fails any other include of an engine header from outside the engine.
#include "connection.h"
#include "dbengine/dbengine.h"
#include "dialect/dialect.h"
#include "dialect/functions.h"
#include "impl_access.h"
#include "query_functions.h"
#include "value_functions.h"
#include "values.h"

namespace dbe::inside {

// The implementation behind a public handle: a Database's connection (DatabaseImpl), a
// Recordset's RecordsetImpl, ... Null for a null handle.
template <class Handle>
auto Impl(const Handle& h)
{
    return detail::implOf(h);
}

}  // namespace dbe::inside
