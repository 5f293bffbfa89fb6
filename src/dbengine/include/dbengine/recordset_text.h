#pragma once
// Plain-text forms of record-set values and records, for tab-separated output (the command-line
// tool's sql command). Callers may rely on: Null is the empty text, dates read
// "yyyy-MM-dd HH:mm:ss", yes/no -1 or 0, numbers in C-locale form without grouping (integers
// without a decimal part), binary values in hexadecimal, and tabs and line breaks inside a text
// become single spaces so that each record stays one line.
#include "recordset.h"

#include <QString>
#include <QTextStream>
#include <QVariant>

namespace dbe {

QString valueText(const QVariant& value);

// Writes a header line with the field names, then one line per record from the first, fields
// separated by tabs; returns the number of records written. The set is left past its last record.
qint64 writeRecords(Recordset& records, QTextStream& out);

}  // namespace dbe
