// The data-definition handles: TableDef, Field, Index, Property and their collections. Reads of
// attached objects go to the connection's current definitions; appends, deletes and the writable
// properties go through the data-definition operations (ddl.h).
#include "dbengine/table_def.h"

#include "impl_access.h"
#include "column_type.h"
#include "conn_state.h"
#include "ddl.h"
#include "objects.h"
#include "values.h"

#include <sqlite3.h>

namespace dbe {

using namespace detail;

namespace {

[[noreturn]] void notFound() { throw DbError::make(err::ItemNotFound); }

// The lookups the field, index and property collections share, over the objects of one list in
// order: by position, and by name as the engine compares names (null when absent).
template <class Impl>
std::shared_ptr<Impl> itemAt(const std::vector<std::shared_ptr<Impl>>& all, int index)
{
    if (index < 0 || index >= int(all.size()))
        notFound();
    return all[size_t(index)];
}

template <class Impl>
std::shared_ptr<Impl> findNamed(const std::vector<std::shared_ptr<Impl>>& all, const QString& name)
{
    for (const auto& o : all)
        if (sameName(o->info.name, name))
            return o;
    return nullptr;
}

template <class Impl>
std::shared_ptr<Impl> itemNamed(const std::vector<std::shared_ptr<Impl>>& all, const QString& name)
{
    auto o = findNamed(all, name);
    if (!o)
        notFound();
    return o;
}

template <typename T>
T& checked(const std::shared_ptr<T>& p)
{
    if (!p)
        throw DbError::make(err::ObjectInvalid);
    return *p;
}

}  // namespace

namespace detail {

const TableInfo* TableDefImpl::live()
{
    const TableInfo* t = db->tableInfo(name);
    if (t) {
        last = *t;
        name = t->name;
    }
    return t;
}

const TableInfo& TableDefImpl::info()
{
    live();
    return last;
}

std::shared_ptr<FieldImpl> TableDefImpl::fieldObject(const FieldInfo& f)
{
    const QString key = f.name.toLower();
    std::shared_ptr<FieldImpl> o = fieldObjects.value(key).lock();
    if (!o) {
        o = std::make_shared<FieldImpl>();
        o->attached = true;
        o->table = shared_from_this();
        fieldObjects.insert(key, o);
    }
    o->info = f;
    return o;
}

std::shared_ptr<IndexImpl> TableDefImpl::indexObject(const IndexInfo& i)
{
    const QString key = i.name.toLower();
    std::shared_ptr<IndexImpl> o = indexObjects.value(key).lock();
    if (!o) {
        o = std::make_shared<IndexImpl>();
        o->attached = true;
        o->table = shared_from_this();
        indexObjects.insert(key, o);
    }
    o->info = i;
    return o;
}

const FieldInfo& FieldImpl::current()
{
    if (attached && table) {
        if (const TableInfo* t = table->live()) {
            const int i = t->fieldIndex(info.name);
            if (i >= 0)
                info = t->fields[i];
        }
    }
    return info;
}

const IndexInfo& IndexImpl::current()
{
    if (attached && table) {
        if (const TableInfo* t = table->live()) {
            const int i = t->indexIndex(info.name);
            if (i >= 0)
                info = t->indexes[i];
        }
    }
    return info;
}

std::shared_ptr<TableDefImpl> attachedTable(const std::shared_ptr<DatabaseImpl>& db, const QString& stored)
{
    auto& cache = db->s->tableDefs;
    const QString key = stored.toLower();
    std::shared_ptr<TableDefImpl> t = cache.value(key).lock();
    if (!t) {
        t = std::make_shared<TableDefImpl>();
        t->db = db;
        t->attached = true;
        t->name = stored;
        cache.insert(key, t);
    }
    return t;
}

}  // namespace detail

// ---- Field ----------------------------------------------------------------------------------------

QString Field::Name() const { return checked(d_).current().name; }

void Field::SetName(const QString& name)
{
    FieldImpl& f = checked(d_);
    if (f.attached && f.table) {
        const QString old = f.current().name;
        ddl::renameField(*f.table->db, f.table->name, old, name);
        f.table->fieldObjects.remove(old.toLower());
        f.info.name = name;
        f.table->fieldObjects.insert(name.toLower(), d_);
        f.current();
        return;
    }
    f.info.name = name;
}

short Field::Type() const { return checked(d_).current().type; }

void Field::SetType(short type)
{
    FieldImpl& f = checked(d_);
    if (f.attached)
        throw DbError::make(err::InvalidOperation);
    f.info.type = type;
}

qint32 Field::Size() const
{
    FieldImpl& f = checked(d_);
    const FieldInfo& i = f.current();
    if (f.attached || i.type == dbText || i.type == dbBinary || i.type == 0)
        return i.size;
    return fixedSize(i.type);
}

void Field::SetSize(qint32 size)
{
    FieldImpl& f = checked(d_);
    if (f.attached)
        throw DbError::make(err::InvalidOperation);
    f.info.size = size;
}

qint32 Field::Attributes() const
{
    FieldImpl& f = checked(d_);
    const FieldInfo& i = f.current();
    if (f.attached || f.attributesSet || f.indexField)
        return i.attributes;
    return defaultAttributes(i.type, false);
}

void Field::SetAttributes(qint32 attributes)
{
    FieldImpl& f = checked(d_);
    if (f.attached)
        throw DbError::make(err::InvalidOperation);
    f.info.attributes = attributes;
    f.attributesSet = true;
}

bool Field::AllowZeroLength() const { return checked(d_).current().allowZeroLength; }

void Field::SetAllowZeroLength(bool allow)
{
    FieldImpl& f = checked(d_);
    if (f.attached && f.table) {
        ddl::setAllowZeroLength(*f.table->db, f.table->name, f.current().name, allow);
        f.current();
        return;
    }
    f.info.allowZeroLength = allow;
}

bool Field::Required() const { return checked(d_).current().required; }

void Field::SetRequired(bool required)
{
    FieldImpl& f = checked(d_);
    if (f.attached)
        throw DbError::make(err::InvalidOperation);
    f.info.required = required;
}

int Field::OrdinalPosition() const
{
    FieldImpl& f = checked(d_);
    if (f.attached && f.table) {
        if (const TableInfo* t = f.table->live())
            return t->fieldIndex(f.info.name);
    }
    return -1;
}

// ---- FieldCollection --------------------------------------------------------------------------

namespace {

// The fields a collection shows now.
std::vector<std::shared_ptr<FieldImpl>> fieldsOf(FieldList& l)
{
    std::vector<std::shared_ptr<FieldImpl>> out;
    if (l.index) {
        IndexImpl& ix = *l.index;
        if (!ix.attached)
            return ix.newFields;
        const IndexInfo& info = ix.current();
        const TableInfo* t = ix.table ? &ix.table->info() : nullptr;
        for (const QString& name : info.fields) {
            auto f = std::make_shared<FieldImpl>();
            f->indexField = true;
            f->info.name = name;
            if (t) {
                const int i = t->fieldIndex(name);
                if (i >= 0) {
                    f->info.type = t->fields[i].type;
                    f->info.size = t->fields[i].size;
                }
            }
            f->info.attributes = 0;  // ascending
            out.push_back(f);
        }
        return out;
    }
    TableDefImpl& t = checked(l.table);
    if (!t.attached)
        return t.newFields;
    for (const FieldInfo& f : t.info().fields)
        out.push_back(t.fieldObject(f));
    return out;
}

}  // namespace

int FieldCollection::Count() const { return int(fieldsOf(checked(d_)).size()); }

Field FieldCollection::Item(int index) const { return Field(itemAt(fieldsOf(checked(d_)), index)); }

Field FieldCollection::Item(const QString& name) const { return Field(itemNamed(fieldsOf(checked(d_)), name)); }

bool FieldCollection::Contains(const QString& name) const { return findNamed(fieldsOf(checked(d_)), name) != nullptr; }

void FieldCollection::Append(const Field& field)
{
    FieldList& l = checked(d_);
    auto f = detail::implOf(field);
    if (!f)
        throw DbError::make(err::InvalidArgument);
    if (f->attached)
        throw DbError::make(err::ObjectExists, {f->info.name});
    if (l.index) {
        IndexImpl& ix = *l.index;
        if (ix.attached)
            throw DbError::make(err::InvalidOperation);
        ddl::checkName(f->info.name);
        for (const auto& e : ix.newFields)
            if (sameName(e->info.name, f->info.name))
                throw DbError::make(err::FieldDefinedTwice, {f->info.name});
        f->indexField = true;
        ix.newFields.push_back(f);
        return;
    }
    TableDefImpl& t = checked(l.table);
    if (!t.attached) {
        ddl::checkName(f->info.name);
        for (const auto& e : t.newFields)
            if (sameName(e->info.name, f->info.name))
                throw DbError::make(err::FieldDefinedTwice, {f->info.name});
        t.newFields.push_back(f);
        return;
    }
    ddl::addField(*t.db, t.name, f->info, f->attributesSet, err::FieldDefinedTwice);
    f->attached = true;
    f->table = l.table;
    t.fieldObjects.insert(f->info.name.toLower(), f);
    f->current();
}

void FieldCollection::Delete(const QString& name)
{
    FieldList& l = checked(d_);
    auto removeFrom = [&](std::vector<std::shared_ptr<FieldImpl>>& v) {
        for (auto it = v.begin(); it != v.end(); ++it) {
            if (sameName((*it)->info.name, name)) {
                v.erase(it);
                return;
            }
        }
        notFound();
    };
    if (l.index) {
        if (l.index->attached)
            throw DbError::make(err::InvalidOperation);
        removeFrom(l.index->newFields);
        return;
    }
    TableDefImpl& t = checked(l.table);
    if (!t.attached) {
        removeFrom(t.newFields);
        return;
    }
    ddl::dropField(*t.db, t.name, name);
    t.fieldObjects.remove(name.toLower());
}

void FieldCollection::Refresh()
{
    FieldList& l = checked(d_);
    if (l.table && l.table->attached)
        l.table->db->invalidateSchema();
    else if (l.index && l.index->attached && l.index->table)
        l.index->table->db->invalidateSchema();
}

// ---- Index ------------------------------------------------------------------------------------------

QString Index::Name() const { return checked(d_).current().name; }

namespace {
IndexImpl& newIndex(const std::shared_ptr<IndexImpl>& d)
{
    IndexImpl& i = checked(d);
    if (i.attached)
        throw DbError::make(err::InvalidOperation);
    return i;
}
}  // namespace

void Index::SetName(const QString& name) { newIndex(d_).info.name = name; }
bool Index::Primary() const { return checked(d_).current().primary; }
void Index::SetPrimary(bool primary) { newIndex(d_).info.primary = primary; }
bool Index::Unique() const
{
    const IndexInfo& i = checked(d_).current();
    return i.unique || i.primary;
}
void Index::SetUnique(bool unique) { newIndex(d_).info.unique = unique; }
bool Index::Required() const { return checked(d_).current().required; }
void Index::SetRequired(bool required) { newIndex(d_).info.required = required; }
bool Index::IgnoreNulls() const { return checked(d_).current().ignoreNulls; }
void Index::SetIgnoreNulls(bool ignore) { newIndex(d_).info.ignoreNulls = ignore; }

FieldCollection Index::Fields() const
{
    auto l = std::make_shared<FieldList>();
    l->index = d_;
    checked(d_);
    return FieldCollection(l);
}

Field Index::CreateField(const QString& name, short type, qint32 size) const
{
    checked(d_);
    auto f = std::make_shared<FieldImpl>();
    f->indexField = true;
    f->info.name = name;
    f->info.type = type;
    f->info.size = size;
    return Field(f);
}

// ---- IndexCollection ------------------------------------------------------------------------------

namespace {

std::vector<std::shared_ptr<IndexImpl>> indexesOf(IndexList& l)
{
    TableDefImpl& t = checked(l.table);
    if (!t.attached)
        return t.newIndexes;
    std::vector<std::shared_ptr<IndexImpl>> out;
    for (const IndexInfo& i : t.info().indexes)
        out.push_back(t.indexObject(i));
    return out;
}

IndexInfo definitionOf(IndexImpl& ix)
{
    IndexInfo i = ix.info;
    i.fields.clear();
    for (const auto& f : ix.newFields)
        i.fields << f->info.name;
    return i;
}

}  // namespace

int IndexCollection::Count() const { return int(indexesOf(checked(d_)).size()); }

Index IndexCollection::Item(int index) const { return Index(itemAt(indexesOf(checked(d_)), index)); }

Index IndexCollection::Item(const QString& name) const { return Index(itemNamed(indexesOf(checked(d_)), name)); }

bool IndexCollection::Contains(const QString& name) const { return findNamed(indexesOf(checked(d_)), name) != nullptr; }

void IndexCollection::Append(const Index& index)
{
    IndexList& l = checked(d_);
    TableDefImpl& t = checked(l.table);
    auto ix = detail::implOf(index);
    if (!ix)
        throw DbError::make(err::InvalidArgument);
    if (ix->attached)
        throw DbError::make(err::ObjectExists, {ix->info.name});
    IndexInfo def = definitionOf(*ix);
    if (!t.attached) {
        ddl::checkName(def.name);
        if (def.fields.isEmpty())
            throw DbError::make(err::NoFieldDefined);
        for (const auto& e : t.newIndexes) {
            if (sameName(e->info.name, def.name))
                throw DbError::make(err::IndexExists);
            if (def.primary && e->info.primary)
                throw DbError::make(err::PrimaryKeyExists);
        }
        t.newIndexes.push_back(ix);
        return;
    }
    ddl::createIndex(*t.db, t.name, def);
    ix->attached = true;
    ix->table = l.table;
    ix->newFields.clear();
    t.indexObjects.insert(def.name.toLower(), ix);
    ix->current();
}

void IndexCollection::Delete(const QString& name)
{
    IndexList& l = checked(d_);
    TableDefImpl& t = checked(l.table);
    if (!t.attached) {
        for (auto it = t.newIndexes.begin(); it != t.newIndexes.end(); ++it) {
            if (sameName((*it)->info.name, name)) {
                t.newIndexes.erase(it);
                return;
            }
        }
        notFound();
    }
    ddl::dropIndex(*t.db, t.name, name);
    t.indexObjects.remove(name.toLower());
}

void IndexCollection::Refresh()
{
    IndexList& l = checked(d_);
    if (l.table && l.table->attached)
        l.table->db->invalidateSchema();
}

// ---- Property ---------------------------------------------------------------------------------------

namespace {

short builtinType(const QString& name)
{
    if (sameName(name, QStringLiteral("Updatable")))
        return dbBoolean;
    if (sameName(name, QStringLiteral("DateCreated")) || sameName(name, QStringLiteral("LastUpdated")))
        return dbDate;
    if (sameName(name, QStringLiteral("Attributes")) || sameName(name, QStringLiteral("RecordCount")))
        return dbLong;
    return dbText;
}

}  // namespace

QString Property::Name() const { return checked(d_).info.name; }
short Property::Type() const { return checked(d_).info.type; }

QVariant Property::Value() const
{
    PropertyImpl& p = checked(d_);
    if (!p.builtin) {
        if (p.attached && p.table) {
            for (const PropertyInfo& e : p.table->info().properties)
                if (sameName(e.name, p.info.name))
                    p.info.value = e.value;
        }
        return p.info.value;
    }
    TableDef t(p.table);
    const QString& n = p.info.name;
    if (sameName(n, QStringLiteral("Name")))
        return t.Name();
    if (sameName(n, QStringLiteral("Updatable")))
        return true;
    if (sameName(n, QStringLiteral("Attributes")))
        return qint64(t.Attributes());
    if (sameName(n, QStringLiteral("RecordCount")))
        return t.RecordCount();
    if (p.table->attached) {
        if (sameName(n, QStringLiteral("DateCreated")))
            return p.table->info().dateCreated;
        if (sameName(n, QStringLiteral("LastUpdated")))
            return p.table->info().lastUpdated;
    } else if (sameName(n, QStringLiteral("DateCreated")) || sameName(n, QStringLiteral("LastUpdated"))) {
        return QVariant();
    }
    return QString();
}

void Property::SetValue(const QVariant& value)
{
    PropertyImpl& p = checked(d_);
    if (p.builtin)
        throw DbError::make(err::InvalidOperation);
    if (p.attached && p.table) {
        ddl::setProperty(*p.table->db, p.table->name, p.info.name, value);
        p.info.value = value;
        return;
    }
    p.info.value = value;
}

bool Property::Inherited() const
{
    checked(d_);
    return false;
}

// ---- PropertyCollection -----------------------------------------------------------------------------

namespace {

std::vector<std::shared_ptr<PropertyImpl>> propertiesOf(PropertyList& l)
{
    std::vector<std::shared_ptr<PropertyImpl>> out;
    TableDefImpl& t = checked(l.table);
    for (const QString& n : ddl::builtinProperties()) {
        auto p = std::make_shared<PropertyImpl>();
        p->builtin = true;
        p->attached = t.attached;
        p->table = l.table;
        p->info.name = n;
        p->info.type = builtinType(n);
        out.push_back(p);
    }
    if (!t.attached) {
        out.insert(out.end(), t.newProperties.begin(), t.newProperties.end());
        return out;
    }
    for (const PropertyInfo& e : t.info().properties) {
        auto p = std::make_shared<PropertyImpl>();
        p->attached = true;
        p->table = l.table;
        p->info = e;
        out.push_back(p);
    }
    return out;
}

}  // namespace

int PropertyCollection::Count() const
{
    TableDefImpl& t = checked(checked(d_).table);
    if (!t.attached)
        return int(ddl::builtinProperties().size() + t.newProperties.size());
    return int(ddl::builtinProperties().size() + t.info().properties.size());
}

Property PropertyCollection::Item(int index) const { return Property(itemAt(propertiesOf(checked(d_)), index)); }

Property PropertyCollection::Item(const QString& name) const
{
    return Property(itemNamed(propertiesOf(checked(d_)), name));
}

bool PropertyCollection::Contains(const QString& name) const
{
    return findNamed(propertiesOf(checked(d_)), name) != nullptr;
}

void PropertyCollection::Append(const Property& property)
{
    PropertyList& l = checked(d_);
    TableDefImpl& t = checked(l.table);
    auto p = detail::implOf(property);
    if (!p)
        throw DbError::make(err::InvalidArgument);
    if (p->attached || p->builtin)
        throw DbError::make(err::ObjectExists, {p->info.name});
    if (!t.attached) {
        if (ddl::isBuiltinProperty(p->info.name))
            throw DbError::make(err::ObjectExists, {p->info.name});
        for (const auto& e : t.newProperties)
            if (sameName(e->info.name, p->info.name))
                throw DbError::make(err::ObjectExists, {p->info.name});
        t.newProperties.push_back(p);
        return;
    }
    ddl::appendProperty(*t.db, t.name, p->info);
    p->attached = true;
    p->table = l.table;
}

void PropertyCollection::Delete(const QString& name)
{
    PropertyList& l = checked(d_);
    TableDefImpl& t = checked(l.table);
    if (!t.attached) {
        for (auto it = t.newProperties.begin(); it != t.newProperties.end(); ++it) {
            if (sameName((*it)->info.name, name)) {
                t.newProperties.erase(it);
                return;
            }
        }
        throw DbError::make(ddl::isBuiltinProperty(name) ? err::InvalidOperation : err::ItemNotFound);
    }
    ddl::deleteProperty(*t.db, t.name, name);
}

void PropertyCollection::Refresh()
{
    PropertyList& l = checked(d_);
    if (l.table && l.table->attached)
        l.table->db->invalidateSchema();
}

// ---- TableDef -------------------------------------------------------------------------------------

QString TableDef::Name() const
{
    TableDefImpl& t = checked(d_);
    return t.attached ? t.info().name : t.name;
}

void TableDef::SetName(const QString& name)
{
    TableDefImpl& t = checked(d_);
    if (t.attached)
        throw DbError::make(err::InvalidOperation);
    t.name = name;
}

qint32 TableDef::Attributes() const
{
    TableDefImpl& t = checked(d_);
    return t.attached ? t.info().attributes : t.attributes;
}

void TableDef::SetAttributes(qint32 attributes)
{
    TableDefImpl& t = checked(d_);
    if (t.attached)
        throw DbError::make(err::InvalidOperation);
    t.attributes = attributes;
}

FieldCollection TableDef::Fields() const
{
    auto l = std::make_shared<FieldList>();
    l->table = d_;
    checked(d_);
    return FieldCollection(l);
}

IndexCollection TableDef::Indexes() const
{
    auto l = std::make_shared<IndexList>();
    l->table = d_;
    checked(d_);
    return IndexCollection(l);
}

PropertyCollection TableDef::Properties() const
{
    auto l = std::make_shared<PropertyList>();
    l->table = d_;
    checked(d_);
    return PropertyCollection(l);
}

Field TableDef::CreateField(const QString& name, short type, qint32 size) const
{
    checked(d_);
    auto f = std::make_shared<FieldImpl>();
    f->info.name = name;
    f->info.type = type;
    f->info.size = size;
    return Field(f);
}

Index TableDef::CreateIndex(const QString& name) const
{
    checked(d_);
    auto i = std::make_shared<IndexImpl>();
    i->info.name = name;
    return Index(i);
}

Property TableDef::CreateProperty(const QString& name, short type, const QVariant& value) const
{
    checked(d_);
    auto p = std::make_shared<PropertyImpl>();
    p->info.name = name;
    p->info.type = type;
    p->info.value = value;
    return Property(p);
}

qint64 TableDef::RecordCount() const
{
    TableDefImpl& t = checked(d_);
    if (!t.attached)
        return 0;
    const QString stored = t.info().name;
    Stmt st = t.db->prepare(QStringLiteral("SELECT count(*) FROM ") + quoteId(stored));
    return st.step(*t.db) ? sqlite3_column_int64(st, 0) : 0;
}

// ---- TableDefCollection -----------------------------------------------------------------------------

int TableDefCollection::Count() const
{
    TableList& l = checked(d_);
    return int(l.db->tableNames().size());
}

TableDef TableDefCollection::Item(int index) const
{
    TableList& l = checked(d_);
    const QStringList names = l.db->tableNames();
    if (index < 0 || index >= names.size())
        notFound();
    return TableDef(attachedTable(l.db, names[index]));
}

TableDef TableDefCollection::Item(const QString& name) const
{
    TableList& l = checked(d_);
    const TableInfo* t = l.db->tableInfo(name);
    if (!t)
        notFound();
    return TableDef(attachedTable(l.db, t->name));
}

bool TableDefCollection::Contains(const QString& name) const
{
    TableList& l = checked(d_);
    return l.db->tableInfo(name) != nullptr;
}

void TableDefCollection::Append(const TableDef& table)
{
    TableList& l = checked(d_);
    auto t = detail::implOf(table);
    if (!t)
        throw DbError::make(err::InvalidArgument);
    if (t->attached)
        throw DbError::make(err::TableExists, {t->name});
    ddl::NewTable def;
    def.name = t->name;
    def.attributes = t->attributes;
    for (const auto& f : t->newFields) {
        def.fields.append(f->info);
        def.attributesGiven.append(f->attributesSet);
    }
    for (const auto& i : t->newIndexes)
        def.indexes.append(definitionOf(*i));
    for (const auto& p : t->newProperties)
        def.properties.append(p->info);
    ddl::createTable(*l.db, def);

    // The new definition becomes the attached table: its objects now read the file.
    t->db = l.db;
    t->attached = true;
    const TableInfo& now = t->info();
    l.db->s->tableDefs.insert(now.name.toLower(), t);
    for (const auto& f : t->newFields) {
        f->attached = true;
        f->table = t;
        t->fieldObjects.insert(f->info.name.toLower(), f);
        f->current();
    }
    for (const auto& i : t->newIndexes) {
        i->attached = true;
        i->table = t;
        i->newFields.clear();
        t->indexObjects.insert(i->info.name.toLower(), i);
        i->current();
    }
    for (const auto& p : t->newProperties) {
        p->attached = true;
        p->table = t;
    }
    t->newFields.clear();
    t->newIndexes.clear();
    t->newProperties.clear();
}

void TableDefCollection::Delete(const QString& name)
{
    TableList& l = checked(d_);
    ddl::dropTable(*l.db, name, err::ItemNotFound);
    l.db->s->tableDefs.remove(name.toLower());
}

void TableDefCollection::Refresh()
{
    TableList& l = checked(d_);
    l.db->db();
    l.db->invalidateSchema();
}

bool IsBuiltinProperty(const QString& name) { return detail::ddl::isBuiltinProperty(name); }

}  // namespace dbe
