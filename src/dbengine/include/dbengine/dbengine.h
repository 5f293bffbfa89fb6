#pragma once
// The database engine the rest of the program calls: include this one header.
#include "conversion.h"
#include "database.h"
#include "db_error.h"
#include "progress.h"
#include "db_types.h"
#include "recordset.h"
#include "table_def.h"
