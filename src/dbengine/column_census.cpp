#include "column_census.h"

#include "conn_state.h"
#include "value_functions.h"

#include <cstring>
#include <sqlite3.h>

namespace dbe::detail {

namespace {

// The types a census reads: text, memo and date.
bool censused(short type) { return type == 10 || type == 12 || type == 8; }

}  // namespace

ColumnCensus::Stamp ColumnCensus::stamp(DatabaseImpl& d)
{
    // The pragma starts a read of the file when none is under way, so the version is the file's
    // latest (or that of the read under way).
    Stamp s;
    s.dataVersion = d.dataVersion();
    s.changes = qint64(sqlite3_total_changes64(d.db()));
    return s;
}

ColumnCensus::Entry& ColumnCensus::current(const TableInfo& table, const Stamp& now)
{
    Entry& e = tables_[table.name.toLower()];
    bool same = e.at == now && e.names.size() == table.fields.size();
    for (int f = 0; same && f < table.fields.size(); ++f)
        same = e.names[f] == table.fields[f].name && e.types[f] == table.fields[f].type;
    if (!same) {
        e = Entry();
        e.at = now;
        for (const FieldInfo& f : table.fields) {
            e.names << f.name;
            e.types << f.type;
        }
        e.fields.resize(table.fields.size());
    }
    return e;
}

void ColumnCensus::read(DatabaseImpl& d, const TableInfo& table, int field, Entry& e)
{
    // The text and date fields of the index that holds the field with the most of them.
    QVector<int> best;
    for (const IndexInfo& ix : table.indexes) {
        QVector<int> fields;
        bool holds = false;
        for (const QString& name : ix.fields) {
            const int f = table.fieldIndex(name);
            if (f < 0 || !censused(table.fields[f].type))
                continue;
            fields << f;
            holds = holds || f == field;
        }
        if (holds && fields.size() > best.size())
            best = fields;
    }
    for (const int f : best)
        e.fields[f].known = true;
    e.fields[field].known = true;
    if (best.isEmpty())
        return;  // no index holds it: never plain
    QStringList args;
    for (const int f : best)
        args << QString::number(table.fields[f].type) << quoteId(table.fields[f].name);
    Stmt st = d.prepare(QStringLiteral("SELECT %1(%2) FROM %3")
                            .arg(QLatin1String(kCensusFunction), args.join(QStringLiteral(", ")), quoteId(table.name)));
    if (!st.step(d))
        return;
    // Taken while the read is still under way: the version of what was read.
    if (!(stamp(d) == e.at)) {
        for (const int f : best)
            e.fields[f].known = false;
        e.fields[field].known = true;  // not plain, as far as this connection knows now
        return;
    }
    const auto* blob = static_cast<const char*>(sqlite3_column_blob(st, 0));
    if (!blob) {
        for (const int f : best) {
            e.fields[f].plain = true;  // no record
            e.fields[f].unreadable = 0;
        }
        return;
    }
    if (sqlite3_column_bytes(st, 0) != int(best.size() * sizeof(qint64)))
        return;
    for (int k = 0; k < best.size(); ++k) {
        qint64 word = 0;
        std::memcpy(&word, blob + k * sizeof(qint64), sizeof word);
        e.fields[best[k]].plain = (word & 1) == 0;
        e.fields[best[k]].unreadable = word >> 1;
    }
}

bool ColumnCensus::plain(DatabaseImpl& d, const QString& table, const QString& field)
{
    const TableInfo* t = d.tableInfo(table);
    if (!t)
        return false;
    const int f = t->fieldIndex(field);
    if (f < 0 || !censused(t->fields[f].type))
        return false;
    Entry& e = current(*t, stamp(d));
    if (!e.fields[f].known)
        read(d, *t, f, e);
    return e.fields[f].plain;
}

qint64 ColumnCensus::unreadableKnown(DatabaseImpl& d, const TableInfo& table, int f)
{
    if (f < 0 || f >= table.fields.size() || !censused(table.fields[f].type))
        return -1;
    const Entry& e = current(table, stamp(d));
    return e.fields[f].known ? e.fields[f].unreadable : -1;
}

bool ColumnCensus::holds(DatabaseImpl& d, const QVector<dialect::PlainColumn>& columns)
{
    for (const dialect::PlainColumn& c : columns) {
        if (!plain(d, c.table, c.field))
            return false;
    }
    return true;
}

bool ColumnCensus::unchanged(DatabaseImpl& d, const QVector<dialect::PlainColumn>& columns)
{
    const Stamp now = stamp(d);
    for (const dialect::PlainColumn& c : columns) {
        const auto it = tables_.constFind(c.table.toLower());
        if (it == tables_.cend() || !(it->at == now))
            return false;
    }
    return true;
}

bool plainStillHolds(DatabaseImpl& d, const QVector<dialect::PlainColumn>& columns)
{
    return columns.isEmpty() || d.s->census.holds(d, columns);
}

bool unchangedSincePlain(DatabaseImpl& d, const QVector<dialect::PlainColumn>& columns)
{
    return columns.isEmpty() || d.s->census.unchanged(d, columns);
}

}  // namespace dbe::detail
