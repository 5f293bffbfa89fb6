#pragma once
// A fresh archive file in a temporary folder for the record-set tests, made through the engine
// (CreateDatabase, then the test's own CREATE TABLE and INSERT statements), and a way to test
// which engine error a call raises.
#include "dbengine/dbengine.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

namespace rstest {

struct Archive {
    QTemporaryDir dir;
    QString path;
    dbe::Database db;

    Archive()
    {
        path = dir.filePath(QStringLiteral("lumera.mdb"));
        db = dbe::CreateDatabase(path);
    }
    void exec(const char* statement) const { db.Execute(QString::fromUtf8(statement)); }
    // The value of one field of the first record a query returns, through a fresh record set.
    QVariant first(const char* query, const char* field) const
    {
        dbe::Recordset rs = db.OpenRecordset(QString::fromUtf8(query));
        return rs.RecordCount() ? rs.Value(QString::fromUtf8(field)) : QVariant();
    }
    qint64 count(const char* query) const
    {
        dbe::Recordset rs = db.OpenRecordset(QString::fromUtf8(query));
        if (rs.RecordCount())
            rs.MoveLast();
        return rs.RecordCount();
    }
};

// Every record of a record set from where it stands, each as its fields joined by ':', sorted.
inline QStringList sortedRows(dbe::Recordset& rs)
{
    QStringList out;
    for (; !rs.Eof(); rs.MoveNext()) {
        QStringList fields;
        for (int i = 0; i < rs.FieldCount(); ++i)
            fields << rs.Value(i).toString();
        out << fields.join(u':');
    }
    out.sort();
    return out;
}

// The number of the engine error f raises; 0 when it raises none.
template <class F>
int errorOf(F&& f)
{
    try {
        f();
    } catch (const dbe::DbError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace rstest

#define EXPECT_DB_ERROR(number, expr) EXPECT_EQ(number, rstest::errorOf([&] { expr; }))
