// Database: the handle's own operations (name, close, table definitions, statements). Opening is
// in open.cpp, record sets in recordset.cpp.
#include "dbengine/database.h"

#include "conn_state.h"
#include "ddl.h"
#include "objects.h"

namespace dbe {

using namespace detail;

bool Database::IsOpen() const { return d_ && d_->isOpen(); }

QString Database::Name() const { return openImpl(d_).path(); }

void Database::Close() { openImpl(d_).close(); }

TableDefCollection Database::TableDefs() const
{
    openImpl(d_);
    auto l = std::make_shared<TableList>();
    l->db = d_;
    return TableDefCollection(l);
}

TableDef Database::CreateTableDef(const QString& name, qint32 attributes) const
{
    openImpl(d_);
    auto t = std::make_shared<TableDefImpl>();
    t->db = d_;
    t->name = name;
    t->attributes = attributes;
    return TableDef(t);
}

qint64 Database::RecordsAffected() const { return openImpl(d_).s->recordsAffected; }

}  // namespace dbe
