#pragma once
// The parser of the data-definition statements (CREATE, DROP, ALTER): reads one from the cursor
// into a Statement with the names as written, raising 3290 on a syntax error.
#include "dialect.h"
#include "token_cursor.h"

namespace dbe::dialect {

Statement parseDefinition(TokenCursor& cursor);

}  // namespace dbe::dialect
