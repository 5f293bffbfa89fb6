#pragma once
// Unique indexes that tell texts apart as the dialect does. The file's indexes are SQLite's NOCASE
// indexes, which other programs can read and write; NOCASE folds only ASCII letters, so 'àbc' and
// 'ÀBC' would both be admitted. The engine adds what is missing without touching the file: on each
// connection that writes, every unique index with a text field gets TEMP triggers (in the
// connection's own temporary schema, never in the archive) that refuse with 3022 an inserted or
// changed record equal under DBE_NOCASE to another one, whatever the key's length. Only a key with
// a letter outside ASCII that has a case is looked up (through dbe_spellings and the index itself),
// so other writes cost one function call.
#include "connection.h"

namespace dbe::detail {

// Brings the connection's triggers for table t in line with its unique indexes (nothing to do when
// they already are). Not for a connection opened only to be read.
void syncUniqueTextTriggers(DatabaseImpl& d, const TableInfo& t);

// True when two records of the table would be one key of the unique index ix under DBE_NOCASE
// (they differ only in the case of letters outside ASCII).
bool hasCaseTwins(DatabaseImpl& d, const QString& table, const QVector<FieldInfo>& fields, const IndexInfo& ix);

}  // namespace dbe::detail
