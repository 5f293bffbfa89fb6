#include "dbengine/inserter.h"

#include "impl_access.h"
#include "conn_state.h"
#include "connection.h"
#include "values.h"

#include <QFile>
#include <QStringEncoder>
#include <sqlite3.h>

#include <cstdio>
#include <limits>
#include <optional>
#include <vector>

namespace dbe {

namespace {

QString quoted(const QString& name)
{
    QString s = name;
    s.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

bool isText(short type) { return type == dbText || type == dbMemo; }

}  // namespace

struct Inserter::Impl {
    std::shared_ptr<detail::DatabaseImpl> db;
    std::vector<detail::FieldInfo> fields;
    sqlite3_stmt* stmt = nullptr;
    std::optional<detail::DatabaseImpl::WriteScope> scope;
    qint64 count = 0;

    Impl() = default;
    Impl(const Impl&) = delete;  // one owner finalizes the statement and ends the write
    Impl& operator=(const Impl&) = delete;
    ~Impl()
    {
        if (stmt)
            sqlite3_finalize(stmt);
    }

    const detail::FieldInfo& field(int i) const
    {
        if (i < 0 || i >= int(fields.size()))
            throw DbError::make(err::ItemNotFound);
        return fields[size_t(i)];
    }

    // One buffer a field, kept from record to record: a text is converted into its field's buffer
    // and bound without a copy, which stays valid until the insert has run (each field has its own,
    // so setting one field never moves the bytes bound to another).
    std::vector<QByteArray> texts;
    // A date field's last day and its text: the lines of one document share their date, which is
    // then bound again without being written out again.
    struct DateText {
        qint64 day = std::numeric_limits<qint64>::min();
        char text[24] = {};
        int size = 0;
    };
    std::vector<DateText> dates;
    QStringEncoder toUtf8{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};

    void bindText(int i, const QString& text)
    {
        QByteArray& utf8 = texts[size_t(i)];
        utf8.resize(toUtf8.requiredSpace(text.size()));
        utf8.truncate(toUtf8.appendToBuffer(utf8.data(), text) - utf8.constData());
        const int rc = sqlite3_bind_text(stmt, i + 1, utf8.constData(), int(utf8.size()), SQLITE_STATIC);
        if (rc != SQLITE_OK)
            db->raise(rc);
    }
};

Inserter::Inserter(const Database& db, const QString& table, const QStringList& fields) : d(std::make_unique<Impl>())
{
    if (db.isNull())
        throw DbError::make(err::ObjectInvalid);
    d->db = detail::implOf(db);
    const detail::TableInfo* t = d->db->tableInfo(table);
    if (!t)
        throw DbError::make(err::InputTableNotFound, {table});
    QStringList cols, params;
    for (const QString& name : fields) {
        const int i = t->fieldIndex(name);
        if (i < 0)
            throw DbError::make(err::ItemNotFound);
        d->fields.push_back(t->fields[i]);
        d->texts.emplace_back();
        d->dates.emplace_back();
        cols << quoted(t->fields[i].name);
        params << QStringLiteral("?");
    }
    const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(quoted(t->name), cols.join(QLatin1Char(',')), params.join(QLatin1Char(',')));
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(d->db->db(), utf8.constData(), int(utf8.size()), &d->stmt, nullptr);
    if (rc != SQLITE_OK)
        d->db->raise(rc, sql);
    d->scope.emplace(*d->db);
}

Inserter::~Inserter()
{
    if (d->stmt) {
        sqlite3_finalize(d->stmt);
        d->stmt = nullptr;
    }
    d->scope.reset();  // rolls back unless committed
}

int Inserter::FieldCount() const { return int(d->fields.size()); }
short Inserter::FieldType(int field) const { return d->field(field).type; }

void Inserter::SetNull(int field)
{
    d->field(field);
    sqlite3_bind_null(d->stmt, field + 1);
}

void Inserter::SetTextAsFound(int field, const QString& value)
{
    const detail::FieldInfo& f = d->field(field);
    if (value.isEmpty() && !value.isNull() && isText(f.type)) {
        d->bindText(field, value);
        return;
    }
    SetText(field, value);
}

void Inserter::SetText(int field, const QString& value)
{
    const detail::FieldInfo& f = d->field(field);
    if (value.isNull()) {
        SetNull(field);
        return;
    }
    if (isText(f.type)) {
        if (value.isEmpty() && !f.allowZeroLength)
            throw DbError::make(err::ZeroLengthNotAllowed, {f.name});
        if (f.type == dbText && f.size > 0 && value.size() > f.size)
            throw DbError::make(err::FieldTooSmall);
        d->bindText(field, value);
        return;
    }
    // Any other type: the engine's own conversion.
    const QVariant stored = detail::toStorage(value, f.type);
    detail::checkRules(f, stored);
    detail::bind(d->stmt, field + 1, stored);
}

void Inserter::SetInteger(int field, qint64 value)
{
    const detail::FieldInfo& f = d->field(field);
    if (isText(f.type)) {
        SetText(field, QString::number(value));
        return;
    }
    if (f.type == dbDate) {
        SetText(field, QString::number(value));
        return;
    }
    sqlite3_bind_int64(d->stmt, field + 1, value);
}

void Inserter::SetReal(int field, double value)
{
    const detail::FieldInfo& f = d->field(field);
    switch (f.type) {
    case dbSingle:
    case dbDouble:
    case dbCurrency:
    case dbDecimal: sqlite3_bind_double(d->stmt, field + 1, value); return;
    default: {
        const QVariant stored = detail::toStorage(value, f.type);
        detail::checkRules(f, stored);
        detail::bind(d->stmt, field + 1, stored);
    }
    }
}

void Inserter::SetCurrency(int field, qint64 tenThousandths)
{
    const detail::FieldInfo& f = d->field(field);
    // Up to 2^51 ten-thousandths the nearest real to the value, times 10,000 and rounded, gives
    // the count back.
    constexpr qint64 kExactAsReal = qint64(1) << 51;
    if (f.type != dbCurrency || (tenThousandths > -kExactAsReal && tenThousandths < kExactAsReal)) {
        SetReal(field, double(tenThousandths) / 10000.0);
        return;
    }
    if (tenThousandths % 10000 == 0) {
        sqlite3_bind_int64(d->stmt, field + 1, tenThousandths / 10000);
        return;
    }
    // The digits of the count, never through a real; a comma, so that the column's numeric
    // affinity leaves it as text rather than turning it into an approximate real.
    const bool negative = tenThousandths < 0;
    const quint64 magnitude = negative ? quint64(0) - quint64(tenThousandths) : quint64(tenThousandths);
    const QString text = QStringLiteral("%1%2,%3")
                             .arg(negative ? QStringLiteral("-") : QString())
                             .arg(magnitude / 10000)
                             .arg(magnitude % 10000, 4, 10, QLatin1Char('0'));
    d->bindText(field, text);
}

void Inserter::SetDate(int field, const QDate& value)
{
    const detail::FieldInfo& f = d->field(field);
    if (!value.isValid()) {
        SetNull(field);
        return;
    }
    if (f.type == dbDate) {
        // Written out by hand: the text dateToStorage gives for midnight, without the trip through
        // the local time zone (a look at the zone's file on every call) and Qt's date formatter,
        // which cost more than the insert itself in a bulk load.
        Impl::DateText& cached = d->dates[size_t(field)];
        int y = 0, m = 0, g = 0;
        if (cached.day != value.toJulianDay()) {
            value.getDate(&y, &m, &g);
            if (y >= 1 && y <= 9999) {
                cached.size = std::snprintf(cached.text, sizeof cached.text, "%04d-%02d-%02d 00:00:00", y, m, g);
                cached.day = value.toJulianDay();
            }
        }
        if (cached.day == value.toJulianDay()) {
            // The text stays where it is until the field's next date, after the insert has run.
            const int rc = sqlite3_bind_text(d->stmt, field + 1, cached.text, cached.size, SQLITE_STATIC);
            if (rc != SQLITE_OK)
                d->db->raise(rc);
            return;
        }
        d->bindText(field, detail::dateToStorage(value.startOfDay()));
        return;
    }
    const QVariant stored = detail::toStorage(value, f.type);
    detail::checkRules(f, stored);
    detail::bind(d->stmt, field + 1, stored);
}

void Inserter::SetDateTime(int field, const QDateTime& value)
{
    const detail::FieldInfo& f = d->field(field);
    if (!value.isValid()) {
        SetNull(field);
        return;
    }
    const QTime t = value.time();
    const QDateTime plain(value.date(), QTime(t.hour(), t.minute(), t.second()), Qt::UTC);
    if (f.type == dbDate) {
        d->bindText(field, detail::dateToStorage(plain));
        return;
    }
    const QVariant stored = detail::toStorage(plain, f.type);
    detail::checkRules(f, stored);
    detail::bind(d->stmt, field + 1, stored);
}

void Inserter::SetBytes(int field, const QByteArray& value)
{
    const detail::FieldInfo& f = d->field(field);
    if (value.isNull()) {
        SetNull(field);
        return;
    }
    if (f.type == dbBinary || f.type == dbLongBinary) {
        if (f.type == dbBinary && f.size > 0 && value.size() > f.size)
            throw DbError::make(err::FieldTooSmall);
        const int rc = sqlite3_bind_blob(d->stmt, field + 1, value.constData(), int(value.size()), SQLITE_TRANSIENT);
        if (rc != SQLITE_OK)
            d->db->raise(rc);
        return;
    }
    const QVariant stored = detail::toStorage(value, f.type);
    detail::checkRules(f, stored);
    detail::bind(d->stmt, field + 1, stored);
}

void Inserter::Insert()
{
    if (!d->scope)
        throw DbError::make(err::InvalidOperation);
    const int rc = sqlite3_step(d->stmt);
    sqlite3_reset(d->stmt);
    sqlite3_clear_bindings(d->stmt);
    if (rc != SQLITE_DONE)
        d->db->raise(rc);
    ++d->count;
}

qint64 Inserter::Count() const { return d->count; }

void Inserter::Commit()
{
    if (!d->scope)
        return;
    d->scope->commit();
    d->scope.reset();
    d->db->invalidateSchema();  // the table's record count changed
}

void PrepareForBulkLoad(const Database& db)
{
    if (db.isNull())
        throw DbError::make(err::ObjectInvalid);
    detail::implOf(db)->exec(
        QStringLiteral("PRAGMA journal_mode=MEMORY; PRAGMA synchronous=OFF; PRAGMA cache_size=-8000; "
                       "PRAGMA temp_store=MEMORY; PRAGMA threads=2"));
}

namespace {

// The other file attached to a connection for the length of one copy, under a name no archive
// table can take; the connection's limit of attached files (none) is put back afterwards.
class AttachedSource {
public:
    AttachedSource(detail::DatabaseImpl& d, const QString& file) : d_(d), h_(d.db())
    {
        limit_ = sqlite3_limit(h_, SQLITE_LIMIT_ATTACHED, 1);
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(h_, "ATTACH DATABASE ?1 AS dbe_source", -1, &st, nullptr);
        const QByteArray name = file.toUtf8();
        if (rc == SQLITE_OK)
            rc = sqlite3_bind_text(st, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        if (rc == SQLITE_OK)
            rc = sqlite3_step(st) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(h_);
        sqlite3_finalize(st);
        if (rc != SQLITE_OK) {
            sqlite3_limit(h_, SQLITE_LIMIT_ATTACHED, limit_);
            d_.raise(rc, file);
        }
    }
    ~AttachedSource()
    {
        sqlite3_exec(h_, "DETACH DATABASE dbe_source", nullptr, nullptr, nullptr);
        sqlite3_limit(h_, SQLITE_LIMIT_ATTACHED, limit_);
    }
    AttachedSource(const AttachedSource&) = delete;  // one attach, one detach
    AttachedSource& operator=(const AttachedSource&) = delete;

private:
    detail::DatabaseImpl& d_;
    sqlite3* h_;
    int limit_ = 0;
};

// True when SQLite compiled the statement as a copy of stored records and index entries (its
// transfer of whole rows), rather than as a read of every value and an insert of each record.
bool copiesStoredRows(detail::DatabaseImpl& d, const QString& sql)
{
    sqlite3_stmt* st = nullptr;
    const QByteArray utf8 = (QStringLiteral("EXPLAIN ") + sql).toUtf8();
    if (sqlite3_prepare_v2(d.db(), utf8.constData(), int(utf8.size()), &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return false;
    }
    bool whole = false;
    while (sqlite3_step(st) == SQLITE_ROW) {
        const QByteArray op(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
        if (op == "RowCell" || op == "RowData")
            whole = true;
    }
    sqlite3_finalize(st);
    return whole;
}

}  // namespace

bool PrepareProcessForParallelLoad() { return sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK; }

qint64 AppendTableFromFile(const Database& db, const QString& table, const QString& sourceFile)
{
    if (db.isNull())
        throw DbError::make(err::ObjectInvalid);
    const auto d = detail::implOf(db);
    const detail::TableInfo* t = d->tableInfo(table);
    if (!t)
        throw DbError::make(err::InputTableNotFound, {table});
    const QString name = quoted(t->name);
    {
        detail::Stmt any = d->prepare(QStringLiteral("SELECT 1 FROM main.%1 LIMIT 1").arg(name));
        if (any.step(*d))
            throw DbError::make(err::ItemNotFound);
    }
    const AttachedSource source(*d, sourceFile);
    const QString sql = QStringLiteral("INSERT INTO main.%1 SELECT * FROM dbe_source.%1").arg(name);
    if (!copiesStoredRows(*d, sql))
        throw DbError::make(err::ItemNotFound);
    qint64 moved = 0;
    {
        detail::DatabaseImpl::WriteScope scope(*d, detail::DatabaseImpl::WriteScope::OneStatement);
        d->exec(sql);
        moved = d->changes();
        scope.commit();
    }
    d->invalidateSchema();  // the table's record count changed
    return moved;
}

void DiscardScratchFile(const Database& db)
{
    const auto d = detail::implOf(db);
    if (!d || !d->isOpen())
        return;
    const QString path = d->path();
    d->s->unsynced = false;  // nothing of it is kept: syncing would only write it all out first
    d->close();
    for (const char* tail : {"", "-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(tail));
}

}  // namespace dbe
