#pragma once
// The structure comparison of one table: every field, index, index field and table property of the
// master table must exist in the archive's table, with the master's type, text size and attribute
// flags. Each difference becomes a coded problem (stored in the task's slots, at most nine) and a
// line of the report. Reads both databases and changes neither.
#include "dbengine/dbengine.h"

#include <QString>

namespace corvale {

struct EsitoStruttura {
    bool problemi = false;  // any difference found (or the master table is gone)
    QString report;  // the report lines of the problems stored, in the order found
};

// Compares table nomeTabella (the master's name) of master with the archive's. P points to the
// task's eleven parameter texts: P[2]..P[10] are cleared and P[1] set to "1" first, then each problem
// is stored with AggiungiErroreStruttura; the comparison stops at the tenth. An object is missing
// only when the archive says it has no object of that name; any other engine error (a database
// that cannot be read) is thrown to the caller. A master that no longer has the table gives
// problemi with a report that says so and no coded problem.
EsitoStruttura ConfrontaStruttura(const dbe::Database& master, const dbe::Database& archivio,
                                  const QString& nomeTabella, QString* P);

}  // namespace corvale
