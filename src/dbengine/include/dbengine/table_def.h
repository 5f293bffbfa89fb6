#pragma once
// The data-definition object model: TableDef, Field, Index, Property and their collections, shaped
// like the original engine's. All are handles (copies share the object).
//
// An object is either attached (reached through a database's TableDefs, or appended) or new
// (made by CreateTableDef, CreateField, CreateIndex, CreateProperty and not yet appended). Reading an
// attached object reports the file's definition as it is now (also after changes made through
// another connection or program; Refresh forces a reload); an object whose table, field or index
// is gone keeps answering with its last definition. Writing an attached field's Name renames the
// column, writing its AllowZeroLength changes the setting (refused with 3219 on a field that is
// neither text nor memo); other writes to attached objects raise 3219. Appending
// writes the definition to the file at once; a failed append changes nothing.
//
// Lookup by name is case-insensitive; an absent name raises 3265. Enumeration order: tables by
// name; fields in their column order; indexes by name; properties: the built-in ones every table
// has (Name, Updatable, DateCreated, LastUpdated, Connect, Attributes, SourceTableName, RecordCount,
// ValidationRule, ValidationText, ConflictTable, ReplicaFilter), then the table's own in the
// order they were appended.
#include "db_error.h"
#include "db_types.h"

#include <QString>
#include <QVariant>
#include <memory>

namespace dbe {

namespace detail {
struct ImplAccess;
class TableDefImpl;
class FieldImpl;
class IndexImpl;
class PropertyImpl;
class FieldList;
class IndexList;
class PropertyList;
class TableList;
}  // namespace detail

class Field {
public:
    Field() = default;
    bool isNull() const { return !d_; }

    QString Name() const;
    void SetName(const QString& name);
    short Type() const;
    void SetType(short type);
    qint32 Size() const;
    void SetSize(qint32 size);
    qint32 Attributes() const;
    void SetAttributes(qint32 attributes);
    bool AllowZeroLength() const;
    void SetAllowZeroLength(bool allow);
    bool Required() const;
    void SetRequired(bool required);
    int OrdinalPosition() const;

    explicit Field(std::shared_ptr<detail::FieldImpl> d) : d_(std::move(d)) {}

private:
    friend struct detail::ImplAccess;  // the engine's own files reach the implementation
    std::shared_ptr<detail::FieldImpl> impl() const { return d_; }
    std::shared_ptr<detail::FieldImpl> d_;
};

class FieldCollection {
public:
    int Count() const;
    Field Item(int index) const;  // 0-based; out of range raises 3265
    Field Item(const QString& name) const;  // absent raises 3265
    bool Contains(const QString& name) const;
    void Append(const Field& field);
    void Delete(const QString& name);
    void Refresh();

    explicit FieldCollection(std::shared_ptr<detail::FieldList> d) : d_(std::move(d)) {}

private:
    std::shared_ptr<detail::FieldList> d_;
};

class Index {
public:
    Index() = default;
    bool isNull() const { return !d_; }

    QString Name() const;
    void SetName(const QString& name);
    bool Primary() const;
    void SetPrimary(bool primary);
    bool Unique() const;
    void SetUnique(bool unique);
    bool Required() const;
    void SetRequired(bool required);
    bool IgnoreNulls() const;
    void SetIgnoreNulls(bool ignore);
    FieldCollection Fields() const;
    // An index field: name only matters (type and size are ignored).
    Field CreateField(const QString& name, short type = 0, qint32 size = 0) const;

    explicit Index(std::shared_ptr<detail::IndexImpl> d) : d_(std::move(d)) {}

private:
    friend struct detail::ImplAccess;  // the engine's own files reach the implementation
    std::shared_ptr<detail::IndexImpl> impl() const { return d_; }
    std::shared_ptr<detail::IndexImpl> d_;
};

class IndexCollection {
public:
    int Count() const;
    Index Item(int index) const;
    Index Item(const QString& name) const;
    bool Contains(const QString& name) const;
    void Append(const Index& index);
    void Delete(const QString& name);
    void Refresh();

    explicit IndexCollection(std::shared_ptr<detail::IndexList> d) : d_(std::move(d)) {}

private:
    std::shared_ptr<detail::IndexList> d_;
};

class Property {
public:
    Property() = default;
    bool isNull() const { return !d_; }

    QString Name() const;
    short Type() const;
    QVariant Value() const;
    void SetValue(const QVariant& value);  // attached user-defined property: stored at once
    bool Inherited() const;

    explicit Property(std::shared_ptr<detail::PropertyImpl> d) : d_(std::move(d)) {}

private:
    friend struct detail::ImplAccess;  // the engine's own files reach the implementation
    std::shared_ptr<detail::PropertyImpl> impl() const { return d_; }
    std::shared_ptr<detail::PropertyImpl> d_;
};

// True for the name (in any case) of a property the engine gives every table itself (Name,
// Updatable, DateCreated, ...), which a table's Properties() lists before its own and which no
// property appended to a table may take.
bool IsBuiltinProperty(const QString& name);

class PropertyCollection {
public:
    int Count() const;
    Property Item(int index) const;
    Property Item(const QString& name) const;
    bool Contains(const QString& name) const;
    void Append(const Property& property);  // user-defined properties only; a taken name raises 3367
    void Delete(const QString& name);
    void Refresh();

    explicit PropertyCollection(std::shared_ptr<detail::PropertyList> d) : d_(std::move(d)) {}

private:
    std::shared_ptr<detail::PropertyList> d_;
};

class TableDef {
public:
    TableDef() = default;
    bool isNull() const { return !d_; }

    QString Name() const;
    void SetName(const QString& name);  // new table definitions only
    qint32 Attributes() const;
    void SetAttributes(qint32 attributes);
    FieldCollection Fields() const;
    IndexCollection Indexes() const;
    PropertyCollection Properties() const;
    Field CreateField(const QString& name = QString(), short type = 0, qint32 size = 0) const;
    Index CreateIndex(const QString& name = QString()) const;
    Property CreateProperty(const QString& name, short type, const QVariant& value) const;
    qint64 RecordCount() const;

    explicit TableDef(std::shared_ptr<detail::TableDefImpl> d) : d_(std::move(d)) {}

private:
    friend struct detail::ImplAccess;  // the engine's own files reach the implementation
    std::shared_ptr<detail::TableDefImpl> impl() const { return d_; }
    std::shared_ptr<detail::TableDefImpl> d_;
};

class TableDefCollection {
public:
    int Count() const;
    TableDef Item(int index) const;
    TableDef Item(const QString& name) const;
    bool Contains(const QString& name) const;
    void Append(const TableDef& table);
    void Delete(const QString& name);
    void Refresh();

    explicit TableDefCollection(std::shared_ptr<detail::TableList> d) : d_(std::move(d)) {}

private:
    std::shared_ptr<detail::TableList> d_;
};

}  // namespace dbe
