#pragma once
// The database engine the rest of the program calls: include this one header.
#include "database.h"
#include "dberror.h"
#include "progress.h"
#include "dbtypes.h"
#include "recordset.h"
#include "tabledef.h"
