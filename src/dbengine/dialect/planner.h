#pragma once
// The planners that turn a parsed statement into the Statement that translate() returns: the
// SELECT plan (keyset or snapshot), the data statements (UPDATE, DELETE, INSERT, every value
// written wrapped in dbe_fit()), and the data-definition statements checked against the schema.
#include "ast.h"
#include "emitter.h"

namespace dbe::dialect {

SelectPlan planSelect(const SelectQuery& q, Emitter& emitter);
// The plan of a query whose values are written somewhere (INSERT INTO ... SELECT): never a keyset,
// its valuesSql giving the fields' values as they are.
SelectPlan planValues(const SelectQuery& q, Emitter& emitter);

Statement planUpdate(const UpdateQuery& q, Emitter& emitter);
Statement planDelete(const DeleteQuery& q, Emitter& emitter);
Statement planInsert(const InsertQuery& q, Emitter& emitter);
// SELECT ... INTO T FROM ...: the new table's fields (st.fields, typed as the query's fields) and
// the SQL that copies the query's records into it once it exists; an existing T raises 3010.
Statement planSelectInto(const SelectQuery& q, Emitter& emitter, const SchemaProvider& schema);

// Data definition: names resolved to the stored ones where the table exists. CREATE TABLE of an
// existing table raises 3010; every other statement on a missing table raises 3376.
Statement planDefinition(Statement ddl, const SchemaProvider& schema);

}  // namespace dbe::dialect
