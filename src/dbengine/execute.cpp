// Database::Execute: one statement of the dialect, translated, then run as data changes inside a
// write scope, or mapped onto the data-definition operations. Kept apart from database.cpp so that
// only callers of Execute need the translator.
#include "dbengine/database.h"

#include "conn_state.h"
#include "ddl.h"

#include <sqlite3.h>

namespace dbe {

using namespace detail;

namespace {

// A field as the statement defines it: a counter is a Long with the auto-increment attributes.
FieldInfo fieldInfoOf(const dialect::FieldDef& f)
{
    FieldInfo fi;
    fi.name = f.name;
    fi.type = f.autoIncrement ? short(4) : f.type;
    fi.size = f.size;
    fi.required = f.notNull;
    fi.attributes = f.autoIncrement ? 17 : 0;
    fi.allowZeroLength = f.allowZeroLength;
    return fi;
}

IndexInfo indexInfoOf(const dialect::IndexDef& c)
{
    IndexInfo ix;
    ix.name = c.name;
    ix.fields = c.fields;
    ix.primary = c.primary;
    ix.unique = c.unique || c.primary;
    ix.required = c.disallowNull;
    ix.ignoreNulls = c.ignoreNull;
    return ix;
}

// Runs a data change to its end inside the caller's write scope; the records it changed.
qint64 runChange(DatabaseImpl& d, const QString& sql)
{
    Stmt s = d.prepare(sql);
    while (s.step(d)) {}
    return d.changes();
}

// Whether an UPDATE may write its values as they are: it has a plain form, this connection holds
// the write lock (so no other program changes a record between the check and the change), and no
// record holds a value dbe_fit() would convert or refuse. Otherwise the statement runs with
// dbe_fit(), which refuses the first value that does not fit, as it always did.
bool allFitAsTheyAre(DatabaseImpl& d, const dialect::Statement& st)
{
    if (st.plainSql.isEmpty() || sqlite3_txn_state(d.db(), "main") != SQLITE_TXN_WRITE)
        return false;
    Stmt check = d.prepare(st.plainCheck);
    return !check.step(d);
}

}  // namespace

void Database::Execute(const QString& statement, int options) const
{
    Q_UNUSED(options);
    DatabaseImpl& d = openImpl(d_);
    dialect::Statement st = dialect::translate(statement, d.schemaProvider());
    // A join written for plain fields runs only on plain fields: asked again once the write lock
    // is held, when nothing can change them before the statement has run.
    const auto general = [&] {
        if (!plainStillHolds(d, st.plainColumns))
            st = dialect::translate(statement, dialect::GeneralForms(d.schemaProvider()));
    };
    using K = dialect::Statement::Kind;
    switch (st.kind) {
    case K::Update:
    case K::Delete:
    case K::Insert: {
        // The plain form, when it applies, is one statement that cannot fail half-way on a value:
        // inside a transaction it needs no savepoint, under which every page it changes would be
        // journaled a second time.
        const bool writing = sqlite3_txn_state(d.db(), "main") == SQLITE_TXN_WRITE;
        if (writing)
            general();
        bool plain = writing && allFitAsTheyAre(d, st);
        DatabaseImpl::WriteScope ws(d,
                                    plain ? DatabaseImpl::WriteScope::OneStatement : DatabaseImpl::WriteScope::Several);
        if (!writing) {  // the scope has just taken the write lock
            general();
            plain = allFitAsTheyAre(d, st);
        }
        const qint64 n = runChange(d, plain ? st.plainSql : st.sql);
        ws.commit();
        d.s->recordsAffected = n;
        return;
    }
    case K::SelectInto: {
        // The new table and its records: both or neither.
        DatabaseImpl::WriteScope ws(d);
        general();
        ddl::NewTable t;
        t.name = st.table;
        for (const dialect::FieldDef& f : st.fields) {
            t.fields.append(fieldInfoOf(f));
            t.attributesGiven.append(false);
        }
        ddl::createTable(d, t);
        const qint64 n = runChange(d, st.sql);
        ws.commit();
        d.s->recordsAffected = n;
        return;
    }
    case K::CreateTable: {
        ddl::NewTable t;
        t.name = st.table;
        for (const dialect::FieldDef& f : st.fields) {
            t.fields.append(fieldInfoOf(f));
            t.attributesGiven.append(f.autoIncrement);
        }
        for (const dialect::IndexDef& c : st.constraints)
            t.indexes.append(indexInfoOf(c));
        ddl::createTable(d, t);
        break;
    }
    case K::CreateIndex:
        ddl::createIndex(d, st.index.table.isEmpty() ? st.table : st.index.table, indexInfoOf(st.index));
        break;
    case K::DropIndex: ddl::dropIndex(d, st.index.table.isEmpty() ? st.table : st.index.table, st.index.name); break;
    case K::DropTable: ddl::dropTable(d, st.table, err::TableNotFound); break;
    case K::AlterAddColumn: {
        DatabaseImpl::WriteScope ws(d);  // several columns: all or none
        for (const dialect::FieldDef& f : st.fields)
            ddl::addField(d, st.table, fieldInfoOf(f), f.autoIncrement, err::FieldExists);
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
    case K::AlterDropColumn: ddl::dropField(d, st.table, st.field); break;
    case K::Select: throw DbError::make(err::InvalidOperation);
    }
    d.s->recordsAffected = 0;
}

}  // namespace dbe
