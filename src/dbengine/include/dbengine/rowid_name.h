#pragma once
// The name under which SQL reaches a table's rowid. A table may have fields named rowid, _rowid_
// or oid (another tool added them); such a field shadows that name, and a statement that used it
// would read or change the field instead of the row. Every place that addresses rows by their
// rowid asks here, so that all of them pick the same name.
#include <QString>
#include <QStringList>

namespace dbe {

// rowid, else _rowid_, else oid: the first that is not one of `fields` (compared without regard
// to case). Empty when all three are fields: such a table's rows cannot be addressed (the engine
// refuses it with 3998).
inline QString UnshadowedRowid(const QStringList& fields)
{
    for (const char* candidate : {"rowid", "_rowid_", "oid"}) {
        const QString name = QString::fromLatin1(candidate);
        if (!fields.contains(name, Qt::CaseInsensitive))
            return name;
    }
    return QString();
}

}  // namespace dbe
