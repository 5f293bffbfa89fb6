// Database::Execute: one statement of the dialect, translated, then run as data changes inside a
// write scope, or mapped onto the data-definition operations. Kept apart from database.cpp so that
// only callers of Execute need the translator.
#include "database.h"

#include "connstate.h"
#include "ddl.h"

namespace dbe {

using namespace detail;

void Database::Execute(const QString& statement, int options) const
{
    Q_UNUSED(options);
    DatabaseImpl& d = openImpl(d_);
    const dialect::Statement st = dialect::translate(statement, d.schemaProvider());
    using K = dialect::Statement::Kind;
    switch (st.kind) {
    case K::Update:
    case K::Delete:
    case K::Insert: {
        DatabaseImpl::WriteScope ws(d);
        Stmt s = d.prepare(st.sql);
        while (s.step(d)) {
        }
        const qint64 n = d.changes();
        ws.commit();
        d.s->recordsAffected = n;
        return;
    }
    case K::SelectInto: {
        // The new table and its records: both or neither.
        DatabaseImpl::WriteScope ws(d);
        ddl::NewTable t;
        t.name = st.table;
        for (const dialect::FieldDef& f : st.fields) {
            FieldInfo fi;
            fi.name = f.name;
            fi.type = f.type;
            fi.size = f.size;
            fi.allowZeroLength = f.allowZeroLength;
            t.fields.append(fi);
            t.attributesGiven.append(false);
        }
        ddl::createTable(d, t);
        Stmt s = d.prepare(st.sql);
        while (s.step(d)) {
        }
        const qint64 n = d.changes();
        ws.commit();
        d.s->recordsAffected = n;
        return;
    }
    case K::CreateTable: {
        ddl::NewTable t;
        t.name = st.table;
        for (const dialect::FieldDef& f : st.fields) {
            FieldInfo fi;
            fi.name = f.name;
            fi.type = f.autoIncrement ? short(4) : f.type;
            fi.size = f.size;
            fi.required = f.notNull;
            fi.attributes = f.autoIncrement ? 17 : 0;
            t.fields.append(fi);
            t.attributesGiven.append(f.autoIncrement);
        }
        for (const dialect::IndexDef& c : st.constraints) {
            IndexInfo ix;
            ix.name = c.name;
            ix.fields = c.fields;
            ix.primary = c.primary;
            ix.unique = c.unique || c.primary;
            ix.required = c.disallowNull;
            ix.ignoreNulls = c.ignoreNull;
            t.indexes.append(ix);
        }
        ddl::createTable(d, t);
        break;
    }
    case K::CreateIndex: {
        IndexInfo ix;
        ix.name = st.index.name;
        ix.fields = st.index.fields;
        ix.primary = st.index.primary;
        ix.unique = st.index.unique || st.index.primary;
        ix.required = st.index.disallowNull;
        ix.ignoreNulls = st.index.ignoreNull;
        ddl::createIndex(d, st.index.table.isEmpty() ? st.table : st.index.table, ix);
        break;
    }
    case K::DropIndex:
        ddl::dropIndex(d, st.index.table.isEmpty() ? st.table : st.index.table, st.index.name);
        break;
    case K::DropTable:
        ddl::dropTable(d, st.table, err::TableNotFound);
        break;
    case K::AlterAddColumn: {
        DatabaseImpl::WriteScope ws(d);  // several columns: all or none
        for (const dialect::FieldDef& f : st.fields) {
            FieldInfo fi;
            fi.name = f.name;
            fi.type = f.autoIncrement ? short(4) : f.type;
            fi.size = f.size;
            fi.required = f.notNull;
            fi.attributes = f.autoIncrement ? 17 : 0;
            ddl::addField(d, st.table, fi, f.autoIncrement, err::FieldExists);
        }
        ws.commit();
        break;
    }
    case K::AlterColumn: {
        const dialect::FieldDef& f = st.fields.front();
        FieldInfo fi;
        fi.name = f.name;
        fi.type = f.type;
        fi.size = f.size;
        fi.required = f.notNull;
        ddl::alterField(d, st.table, fi);
        break;
    }
    case K::AlterDropColumn:
        ddl::dropField(d, st.table, st.field);
        break;
    case K::Select:
        throw DbError::make(err::InvalidOperation);
    }
    d.s->recordsAffected = 0;
}

}  // namespace dbe
