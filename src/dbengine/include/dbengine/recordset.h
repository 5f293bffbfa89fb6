#pragma once
// Recordset: the records of a table or of a SELECT, as a keyset. The records are fixed when the
// set is opened (a million of them open without their values being read); their values are read
// when a record is visited. A record deleted meanwhile (through another record set or a statement)
// raises 3167 when one of its fields is read. Bookmarks stay valid until Requery or Close.
//
// RecordCount: 0 right after opening exactly when the result is empty; exact at all times. A
// one-table query without grouping, ORDER BY or TOP lists its records in rowid order a part at a
// time (the first part when opened, more as the moves reach the end of it; RecordCount and
// MoveLast list them all), so that a grid shows the first rows of a large result at once; other
// sets list every record when opened. Rowids only: values are read when visited. A record deleted
// through this set leaves the count, the moves and the positions (AbsolutePosition) at once, but
// stays current until the next move; a record deleted elsewhere keeps its place. Over a join, a
// field that both tables have is named "TABLE.FIELD", the others by their bare name;
// Value/FieldType of a name the result lacks raise 3265. Edits (Edit/AddNew, SetValue, Update) are checked against the
// fields' rules (size, zero-length, required, unique indexes) and written at Update; a refused Update changes nothing
// and leaves the edit pending. With dbInconsistent, an edit of a join record writes each changed
// field into its own table's row.
#include "db_error.h"
#include "db_types.h"

#include <QString>
#include <QVariant>
#include <memory>

namespace dbe {

namespace detail {
struct ImplAccess;
class RecordsetImpl;
}  // namespace detail

using Bookmark = qint64;

class Recordset {
public:
    Recordset() = default;
    bool isNull() const { return !d_; }
    bool IsOpen() const;

    qint64 RecordCount() const;  // lists every record first
    // Live records listed so far, without listing more; all of them once AllListed.
    qint64 ListedCount() const;
    bool AllListed() const;
    // Lists up to n more records; the number listed (0 at the end).
    qint64 ListMore(qint64 n);
    bool Eof() const;
    bool Bof() const;
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    // 0-based position of the current record; -1 when there is none.
    qint64 AbsolutePosition() const;
    void SetAbsolutePosition(qint64 position);
    // Until Requery, the bookmarks of the set's records in its order are consecutive integers
    // (a record deleted through the set leaves its value unused).
    Bookmark GetBookmark() const;  // 3021 without a current record
    void SetBookmark(Bookmark bookmark);  // an unknown bookmark raises 3001
    // The bookmark of the record last changed or added by Update; 3021 when there is none.
    Bookmark LastModified() const;

    int FieldCount() const;
    QString FieldName(int index) const;
    int FieldIndex(const QString& name) const;  // 3265 when absent
    short FieldType(int index) const;
    short FieldType(const QString& name) const;
    qint32 FieldSize(int index) const;
    QVariant Value(int index) const;  // Null is a null QVariant
    QVariant Value(const QString& name) const;
    void SetValue(int index, const QVariant& value);  // only while editing (3020 otherwise)
    void SetValue(const QString& name, const QVariant& value);

    void AddNew();
    void Edit();
    void Update();
    void CancelUpdate();
    void Delete();
    int EditMode() const;
    bool Updatable() const;

    // Runs the query again, positioned on the first record. When nothing but the set's own deletes
    // changed the file since it was listed, and the query's answer for a record depends on that
    // record alone (one table, no subquery on that table, no current time), the set keeps its
    // records less the deleted ones without reading the table again: the same records either way.
    void Requery();
    void Close();

    explicit Recordset(std::shared_ptr<detail::RecordsetImpl> d) : d_(std::move(d)) {}

private:
    friend struct detail::ImplAccess;  // the engine's own files reach the implementation
    std::shared_ptr<detail::RecordsetImpl> impl() const { return d_; }
    std::shared_ptr<detail::RecordsetImpl> d_;
};

}  // namespace dbe
