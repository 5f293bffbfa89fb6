#pragma once
// The census of a table's text and date fields, kept on the connection: whether every value a field
// holds is plain (a text or memo field: Null or valid UTF-8 text with no letter outside ASCII that
// has another case; a date field: Null or a text in the engine's own form "yyyy-MM-dd HH:mm:ss"; no
// other type is ever plain). A field is read with the other text and date fields of the index that
// holds it with the most of them, in one read of that index alone (the aggregate dbe_census,
// value_functions.h); a field that no index holds is not plain (reading the whole table to find out
// would cost more than the plain form saves). The answers are kept until the file's data version or
// the connection's count of changed records moves, as the kept spellings are (spelling_table.h), so
// a second question at the same data version reads nothing.
//
// The translator writes a join's comparison of two plain fields as SQLite compares stored values
// (dialect::SchemaProvider::plainColumn) and lists the fields it so assumed. Whoever runs that SQL
// asks plainStillHolds() first and, when it answers false, translates the statement again with
// dialect::GeneralForms; a statement run outside the write lock asks unchangedSincePlain() after
// it ran, and runs again in the general form when the file moved meanwhile. Callers may rely on a
// true answer meaning: as the file is now (or was when the census was read, for the latter), every
// value of those fields is plain.
#include "dialect/dialect.h"

#include <QHash>
#include <QStringList>
#include <QVector>

namespace dbe::detail {

class DatabaseImpl;
struct TableInfo;

class ColumnCensus {
public:
    // Whether the field of the table (both as stored) is plain now; false when either is unknown.
    bool plain(DatabaseImpl& d, const QString& table, const QString& field);
    bool holds(DatabaseImpl& d, const QVector<dialect::PlainColumn>& columns);
    // How many values of the field (f: its position in the table) no rule of its type reads, when
    // a census read it at the file's present data version; -1 when none did (nothing is read).
    qint64 unreadableKnown(DatabaseImpl& d, const TableInfo& table, int f);
    bool unchanged(DatabaseImpl& d, const QVector<dialect::PlainColumn>& columns);

private:
    struct Stamp {
        qint64 dataVersion = -1;
        qint64 changes = -1;
        bool operator==(const Stamp&) const = default;
    };
    struct Field {
        bool known = false;
        bool plain = false;
        qint64 unreadable = -1;  // as dbe_census counted them; -1 when the field was not read
    };
    struct Entry {
        Stamp at;
        QStringList names;
        QVector<short> types;
        QVector<Field> fields;  // in field order
    };
    static Stamp stamp(DatabaseImpl& d);
    // The table's entry for the file as it is now (emptied when it was for another version).
    Entry& current(const TableInfo& table, const Stamp& now);
    void read(DatabaseImpl& d, const TableInfo& table, int field, Entry& e);
    QHash<QString, Entry> tables_;  // lower-case table name
};

// Whether each column is still plain as the file is now (reading what changed).
bool plainStillHolds(DatabaseImpl& d, const QVector<dialect::PlainColumn>& columns);
// Whether the file has not moved since each column's census was read: a statement that ran after
// plainStillHolds() answered true, and before this answers true, read plain values only.
bool unchangedSincePlain(DatabaseImpl& d, const QVector<dialect::PlainColumn>& columns);

}  // namespace dbe::detail
