#include "spellingtable.h"

#include "valuefunctions.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <sqlite3.h>
#include <string>

namespace dbe {

namespace {

// Beyond this many spellings (seven letters outside ASCII with a case in one text) only the text
// itself is looked up.
constexpr int kMaxSpellings = 128;

// The argument is copied: SQLite keeps it only for the call to filter.
struct Cursor : sqlite3_vtab_cursor {
    sqlite3_value* other = nullptr;  // x, when it is no text
    std::string text;                // x, when it is a text
    QList<QByteArray> more;          // every spelling, x first, when there are more than x
    int row = 0;
    ~Cursor() { sqlite3_value_free(other); }
};

Cursor* cur(sqlite3_vtab_cursor* c) { return static_cast<Cursor*>(c); }

int connect(sqlite3* db, void*, int, const char* const*, sqlite3_vtab** out, char**)
{
    const int rc = sqlite3_declare_vtab(db, "CREATE TABLE x(value, arg HIDDEN)");
    if (rc != SQLITE_OK)
        return rc;
    auto* t = static_cast<sqlite3_vtab*>(sqlite3_malloc(sizeof(sqlite3_vtab)));
    if (!t)
        return SQLITE_NOMEM;
    *t = sqlite3_vtab{};
    sqlite3_vtab_config(db, SQLITE_VTAB_INNOCUOUS);
    *out = t;
    return SQLITE_OK;
}

int disconnect(sqlite3_vtab* t)
{
    sqlite3_free(t);
    return SQLITE_OK;
}

// The argument is the only plan: without it there is nothing to list.
int bestIndex(sqlite3_vtab*, sqlite3_index_info* info)
{
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto& c = info->aConstraint[i];
        if (c.iColumn != 1 || c.op != SQLITE_INDEX_CONSTRAINT_EQ)
            continue;
        if (!c.usable)
            return SQLITE_CONSTRAINT;
        info->aConstraintUsage[i].argvIndex = 1;
        info->aConstraintUsage[i].omit = 1;
        info->idxNum = 1;
        info->estimatedCost = 1;
        info->estimatedRows = 1;
        return SQLITE_OK;
    }
    return SQLITE_CONSTRAINT;
}

int open(sqlite3_vtab*, sqlite3_vtab_cursor** out)
{
    *out = new Cursor{};
    return SQLITE_OK;
}

int close(sqlite3_vtab_cursor* c)
{
    delete cur(c);
    return SQLITE_OK;
}

int filter(sqlite3_vtab_cursor* c, int, const char*, int argc, sqlite3_value** argv)
{
    Cursor* k = cur(c);
    k->row = 0;
    k->more.clear();
    sqlite3_value_free(k->other);
    k->other = nullptr;
    sqlite3_value* x = argc > 0 ? argv[0] : nullptr;
    if (!x || sqlite3_value_type(x) != SQLITE_TEXT) {
        k->other = x ? sqlite3_value_dup(x) : nullptr;
        return x && !k->other ? SQLITE_NOMEM : SQLITE_OK;
    }
    const auto* p = sqlite3_value_text(x);
    const int n = sqlite3_value_bytes(x);
    k->text.assign(reinterpret_cast<const char*>(p), size_t(n));
    int i = 0;
    while (i < n && p[i] < 0x80)
        ++i;
    if (i == n)  // ASCII: NOCASE covers every spelling
        return SQLITE_OK;
    const QStringList all = caseSpellings(QString::fromUtf8(reinterpret_cast<const char*>(p), n), kMaxSpellings);
    if (all.size() > 1) {
        for (const QString& s : all)
            k->more.append(s.toUtf8());
    }
    return SQLITE_OK;
}

int next(sqlite3_vtab_cursor* c)
{
    ++cur(c)->row;
    return SQLITE_OK;
}

int eof(sqlite3_vtab_cursor* c)
{
    const Cursor* k = cur(c);
    return k->row >= (k->more.isEmpty() ? 1 : k->more.size());
}

int column(sqlite3_vtab_cursor* c, sqlite3_context* ctx, int col)
{
    const Cursor* k = cur(c);
    if (col != 0)
        sqlite3_result_null(ctx);
    else if (!k->more.isEmpty())
        sqlite3_result_text(ctx, k->more[k->row].constData(), int(k->more[k->row].size()), SQLITE_TRANSIENT);
    else if (k->other)
        sqlite3_result_value(ctx, k->other);
    else
        sqlite3_result_text(ctx, k->text.data(), int(k->text.size()), SQLITE_TRANSIENT);
    return SQLITE_OK;
}

int rowid(sqlite3_vtab_cursor* c, sqlite_int64* out)
{
    *out = cur(c)->row;
    return SQLITE_OK;
}

// Eponymous only (no xCreate): the table exists on every connection under its name.
const sqlite3_module kModule = {
    .iVersion = 0,
    .xCreate = nullptr,
    .xConnect = connect,
    .xBestIndex = bestIndex,
    .xDisconnect = disconnect,
    .xDestroy = disconnect,
    .xOpen = open,
    .xClose = close,
    .xFilter = filter,
    .xNext = next,
    .xEof = eof,
    .xColumn = column,
    .xRowid = rowid,
    .xUpdate = nullptr,
    .xBegin = nullptr,
    .xSync = nullptr,
    .xCommit = nullptr,
    .xRollback = nullptr,
    .xFindFunction = nullptr,
    .xRename = nullptr,
    .xSavepoint = nullptr,
    .xRelease = nullptr,
    .xRollbackTo = nullptr,
    .xShadowName = nullptr,
};

}  // namespace

namespace detail {

void registerSpellingTable(sqlite3* db)
{
    sqlite3_create_module_v2(db, kSpellingsTable, &kModule, nullptr, nullptr);
}

}  // namespace detail

}  // namespace dbe
