#pragma once
// The objects behind the data-definition handles of table_def.h. A new object holds its own
// definition until it is appended; an attached one reads its table's definition from the
// connection (always the file as it is now) and keeps the last one read, so that it still answers
// after its table or field is gone.
#include "connection.h"
#include "dbengine/table_def.h"

#include <QHash>
#include <vector>

namespace dbe::detail {

class FieldImpl;
class IndexImpl;
class PropertyImpl;

class TableDefImpl : public std::enable_shared_from_this<TableDefImpl> {
public:
    std::shared_ptr<DatabaseImpl> db;
    bool attached = false;
    QString name;
    qint32 attributes = 0;
    // A new table's definition.
    std::vector<std::shared_ptr<FieldImpl>> newFields;
    std::vector<std::shared_ptr<IndexImpl>> newIndexes;
    std::vector<std::shared_ptr<PropertyImpl>> newProperties;
    // Attached: the objects handed out, so that a field or index is the same object each time.
    QHash<QString, std::weak_ptr<FieldImpl>> fieldObjects;
    QHash<QString, std::weak_ptr<IndexImpl>> indexObjects;
    TableInfo last;

    const TableInfo* live();  // the file's definition now; null when the table is gone
    const TableInfo& info();  // live, or the last one read
    std::shared_ptr<FieldImpl> fieldObject(const FieldInfo& f);
    std::shared_ptr<IndexImpl> indexObject(const IndexInfo& i);
};

class FieldImpl {
public:
    FieldInfo info;
    bool attached = false;
    bool attributesSet = false;
    bool indexField = false;
    std::shared_ptr<TableDefImpl> table;  // attached table fields
    const FieldInfo& current();
};

class IndexImpl {
public:
    IndexInfo info;
    bool attached = false;
    std::shared_ptr<TableDefImpl> table;  // attached indexes
    std::vector<std::shared_ptr<FieldImpl>> newFields;
    const IndexInfo& current();
};

class PropertyImpl {
public:
    PropertyInfo info;
    bool builtin = false;
    bool attached = false;
    std::shared_ptr<TableDefImpl> table;  // attached properties and every built-in one
};

class FieldList {
public:
    std::shared_ptr<TableDefImpl> table;  // a table's fields, or
    std::shared_ptr<IndexImpl> index;  // an index's fields
};

class IndexList {
public:
    std::shared_ptr<TableDefImpl> table;
};

class PropertyList {
public:
    std::shared_ptr<TableDefImpl> table;
};

class TableList {
public:
    std::shared_ptr<DatabaseImpl> db;
};

// The attached table definition of a stored table name (the same object while it is in use).
std::shared_ptr<TableDefImpl> attachedTable(const std::shared_ptr<DatabaseImpl>& db, const QString& stored);

}  // namespace dbe::detail
