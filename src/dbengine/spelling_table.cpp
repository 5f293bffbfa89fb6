#include "spelling_table.h"

#include "dbengine/db_types.h"
#include "dbengine/rowid_name.h"
#include "value_functions.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <sqlite3.h>
#include <algorithm>
#include <array>
#include <deque>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <map>
#include <string>
#include <vector>

namespace dbe {

namespace {

// The letters outside ASCII that share their folded case with another letter, by folded case.
const QHash<char32_t, QVector<char32_t>>& letterClasses()
{
    static const QHash<char32_t, QVector<char32_t>> classes = [] {
        QHash<char32_t, QVector<char32_t>> all;
        for (char32_t c = 0x80; c < 0x20000; ++c) {  // the planes that hold letters with a case
            const char32_t f = foldLetter(c);
            if (f != c && (c < 0xD800 || c >= 0xE000))
                all[f].append(c);
        }
        for (auto it = all.begin(); it != all.end();) {
            if (foldLetter(it.key()) == it.key())
                it.value().prepend(it.key());
            it = it.value().size() > 1 ? std::next(it) : all.erase(it);
        }
        return all;
    }();
    return classes;
}

}  // namespace

QVector<char32_t> sameLetters(char32_t c)
{
    if (c < 0x80)
        return {c};
    const auto& classes = letterClasses();
    const auto it = classes.constFind(foldLetter(c));
    if (it == classes.cend())
        return {c};
    QVector<char32_t> out{c};
    for (const char32_t d : it.value()) {
        if (d != c)
            out.append(d);
    }
    return out;
}

QStringList spellingsOfPrefix(const QString& text, int max, qsizetype* covered)
{
    QStringList out{QString()};
    qsizetype at = 0;
    for (const char32_t c : text.toUcs4()) {
        const QVector<char32_t> forms = sameLetters(c);
        if (forms.size() > 1 && out.size() * forms.size() > max)
            break;
        QStringList next;
        next.reserve(out.size() * forms.size());
        for (const QString& s : out) {
            for (const char32_t d : forms)
                next.append(s + QString::fromUcs4(&d, 1));
        }
        out = std::move(next);
        at += QChar::requiresSurrogates(c) ? 2 : 1;
    }
    *covered = at;
    return out;
}

bool hasNonAsciiCase(const QString& text)
{
    for (const char32_t c : text.toUcs4()) {
        if (c >= 0x80 && sameLetters(c).size() > 1)
            return true;
    }
    return false;
}

QStringList caseSpellings(const QString& text, int max)
{
    qsizetype covered = 0;
    QStringList all = spellingsOfPrefix(text, max, &covered);
    return covered < text.size() ? QStringList{text} : all;
}

namespace {

// The spellings that one column holds of the texts with more than kRangeSpellings of them, for a
// column that no NOCASE index leads, where the range read would read the whole table for every
// text looked up. Each such value is kept as one 64-bit entry: a hash of its folded text and the
// case of each of its letters outside ASCII (which letter of the letter's class it is, two bits
// a letter, at most kPatternLetters of them); a value with more letters, or of letters beyond the
// fourth of their class, is kept as kWholeRead, which sends the texts of its hash back to the
// range read. A text looked up is then answered with its folded form (which NOCASE finds equal
// to every value whose letters outside ASCII are all folded) and its own letters put in the case
// of each entry of its hash: every such text is a spelling of it, so a hash shared by two folded
// texts can only add a spelling that matches nothing. Values whose letters outside ASCII are all
// folded are not kept, nor those with kRangeSpellings spellings or fewer (equal texts have as many
// spellings, and such texts are listed). The entries are read again, in one pass over the column,
// when the file's data version or this connection's count of changed records has moved since
// they were read: any commit by anyone, and any change of this connection, even uncommitted (every
// column's are then dropped at once). A column that a NOCASE index leads has its range read too:
// its values are kept only while all such columns together keep at most kLedEntries of them (the
// memory they take stays bounded on a large archive), else it is marked to be read by ranges.
struct ColumnSpellings {
    bool ranges = false;  // read by ranges: a NOCASE index leads it and its values did not fit
    bool anyWhole = false;  // a value was not valid UTF-8: every look-up reads the range
    std::deque<quint64> entries;  // hash << 32 | case of the letters, sorted, each once (in blocks:
                                  // growing never copies them all)
};

inline constexpr qsizetype kLedEntries = 2'000'000;  // 16 MB
inline constexpr int kPatternLetters = 15;
inline constexpr quint32 kWholeRead = 0xFFFFFFFFu;

// The texts that one number column holds, by their reading under the Italian rule (texts no rule
// reads left out), read again on the same terms as ColumnSpellings.
struct NumberTexts {
    struct Text {
        double number;
        quint32 at, size;  // where its bytes are in `bytes`
    };
    std::vector<Text> texts;  // by number, then by text; each once
    QByteArray bytes;  // the texts one after another, 16 bytes a text beside them at most
    QByteArrayView text(const Text& x) const { return QByteArrayView(bytes).sliced(x.at, x.size); }
    qsizetype memory() const { return qsizetype(texts.capacity() * sizeof(Text)) + bytes.capacity(); }
};

// The rows of one table whose key fields (the columns dbe_keyrows is asked about, together) hold
// a byte outside ASCII, by the hash of their folded keys: one 64-bit entry a row, the hash above
// its rowid, sorted, with the first entry of each value of the hash's top `bits` bits (`starts`),
// so that a look-up reads a few entries near each other rather than searching them all. The rows
// whose keys are all ASCII are not kept: a NOCASE look-up of the folded keys finds them. A table
// whose rowids do not fit in 32 bits, or whose keys are not all valid UTF-8, is looked up key by
// key instead (`byColumn`). Read again on the same terms as ColumnSpellings, within kKeyEntries
// entries for all tables together (those of the other tables are dropped when one table needs the
// room).
struct KeyRows {
    bool byColumn = false;
    QByteArray rowidName;  // the name the table's rowid goes by
    std::vector<quint64> entries;  // sorted
    std::vector<quint32> starts;  // 2^bits + 1 of them
    int bits = 0;
    qsizetype size() const { return qsizetype(entries.size() + starts.size() / 2); }  // in 8 bytes
};

inline constexpr qsizetype kKeyEntries = 6'000'000;  // 48 MB
// The least the page cache keeps while rows are kept, and how many kept entries (2 MB) go by
// between two settings of its size while a table's rows are read (an eighth as many texts of
// dbe_numberforms, which take 16 bytes and their own).
inline constexpr qint64 kLeastCacheKiB = 8 * 1024;
inline constexpr qsizetype kCacheStep = qsizetype(1) << 18;
inline constexpr int kMaxKeyColumns = kKeyRowsColumns;

struct Table : sqlite3_vtab {
    sqlite3* db = nullptr;
    bool numbers = false;  // dbe_numberforms rather than dbe_spellings
    // What the columns below were read under: the file's data version, the connection's count of
    // changed records (-1: nothing read yet, or a file without a version).
    unsigned version = 0;
    sqlite3_int64 changes = -1;
    std::map<QByteArray, ColumnSpellings> columns;  // by table '\0' column
    qsizetype ledEntries = 0;  // kept of the columns an index leads
    std::map<QByteArray, NumberTexts> numberTexts;  // likewise
    qsizetype numberBytes = 0;  // what they take, all together
    qsizetype spellingEntries = 0;  // kept in columns, all columns together
    std::map<QByteArray, KeyRows> keyRows;  // dbe_keyrows: by table '\0' columns
    qsizetype keyEntries = 0;  // kept in keyRows, all tables together
    // dbe_keyrows' last look-up: its table and columns and their kept rows (null once the kept
    // rows are dropped), the NOCASE look-up of their folded keys, and its folded keys and rows
    // (`lastValid` false once anything is dropped: the next look-up of the same keys reads again).
    QByteArray lastKeysOf;
    const KeyRows* lastKeyRows = nullptr;
    QSet<QByteArray> droppedKeyRows;  // the tables whose kept rows were dropped to make room
    QByteArray keysOf;
    sqlite3_stmt* keySeek = nullptr;  // the rowids of the rows whose keys NOCASE finds equal, for keySeekOf
    QByteArray keySeekOf;
    std::u32string folded;
    std::u32string lastFolded;
    std::vector<sqlite3_int64> lastRows;
    bool lastValid = false;
    // The page cache gives up the room the kept rows take, so that the two together stay within
    // what the cache alone was given: its size before the first kept row (KiB; 0 while nothing
    // is kept) and the size last set.
    qint64 cacheKiB = 0;
    qint64 cacheSetKiB = 0;
    ~Table() { sqlite3_finalize(keySeek); }
};

// The argument is copied: SQLite keeps it only for the call to filter.
struct Cursor : sqlite3_vtab_cursor {
    sqlite3_value* other = nullptr;  // x, when it is no text
    std::string text;  // x, when it is a text
    bool listed = false;  // the rows are `more` (possibly none), not x itself
    QList<QByteArray> more;
    bool hasNumber = false;  // dbe_numberforms: a first row, x's number, before `more`
    double number = 0;
    int row = 0;
    sqlite3_stmt* scan = nullptr;  // the range read of a long text, kept for the next row
    QByteArray scanOf;  // the table and column it reads
    ~Cursor()
    {
        sqlite3_value_free(other);
        sqlite3_finalize(scan);
    }
};

Cursor* cur(sqlite3_vtab_cursor* c) { return static_cast<Cursor*>(c); }

int connect(sqlite3* db, void* numbers, int, const char* const*, sqlite3_vtab** out, char**)
{
    const int rc = sqlite3_declare_vtab(db, "CREATE TABLE x(value, arg HIDDEN, tab HIDDEN, col HIDDEN)");
    if (rc != SQLITE_OK)
        return rc;
    auto* t = new (std::nothrow) Table{};
    if (!t)
        return SQLITE_NOMEM;
    t->db = db;
    t->numbers = numbers != nullptr;
    sqlite3_vtab_config(db, SQLITE_VTAB_INNOCUOUS);
    *out = t;
    return SQLITE_OK;
}

int disconnect(sqlite3_vtab* t)
{
    delete static_cast<Table*>(t);
    return SQLITE_OK;
}

// The argument is the only plan: without it there is nothing to list. The table and the column
// are taken when both are given (idxNum 3).
int bestIndex(sqlite3_vtab*, sqlite3_index_info* info)
{
    int at[4] = {-1, -1, -1, -1};
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto& c = info->aConstraint[i];
        if (c.iColumn < 1 || c.iColumn > 3 || c.op != SQLITE_INDEX_CONSTRAINT_EQ)
            continue;
        if (!c.usable)
            return SQLITE_CONSTRAINT;
        at[c.iColumn] = i;
    }
    if (at[1] < 0)
        return SQLITE_CONSTRAINT;
    const bool named = at[2] >= 0 && at[3] >= 0;
    for (int column = 1; column <= (named ? 3 : 1); ++column) {
        info->aConstraintUsage[at[column]].argvIndex = column;
        info->aConstraintUsage[at[column]].omit = 1;
    }
    info->idxNum = named ? 3 : 1;
    info->estimatedCost = 1;
    info->estimatedRows = 1;
    return SQLITE_OK;
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

QByteArray quoted(const QByteArray& name)
{
    QByteArray n = name;
    n.replace('"', "\"\"");
    return '"' + n + '"';
}

int fail(sqlite3_vtab_cursor* c, sqlite3* db, int rc)
{
    sqlite3_free(c->pVtab->zErrMsg);
    c->pVtab->zErrMsg = sqlite3_mprintf("%s", sqlite3_errmsg(db));
    return rc;
}

// The values of table.column equal to x under DBE_NOCASE, each once (NOCASE tells apart no two of
// them), read from the column's NOCASE index over the range of every spelling of x's beginning.
int readSpellings(Cursor* k, sqlite3* db, const QString& x, sqlite3_value* table, sqlite3_value* column)
{
    const QByteArray tab(reinterpret_cast<const char*>(sqlite3_value_text(table)), sqlite3_value_bytes(table));
    const QByteArray col(reinterpret_cast<const char*>(sqlite3_value_text(column)), sqlite3_value_bytes(column));
    const QByteArray of = tab + '\0' + col;
    if (!k->scan || k->scanOf != of) {
        sqlite3_finalize(k->scan);
        k->scan = nullptr;
        const QByteArray c = quoted(col);
        const QByteArray sql = "SELECT " + c + " FROM " + quoted(tab) + " WHERE " + c + " COLLATE NOCASE >= ?1 AND " + c
                               + " COLLATE NOCASE < ?2 AND " + c + " COLLATE " + kNocaseCollation + " = ?3";
        const int rc = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &k->scan, nullptr);
        if (rc != SQLITE_OK)
            return fail(k, db, rc);
        k->scanOf = of;
    }
    qsizetype covered = 0;
    QSet<QByteArray> seen;
    for (const QString& prefix : spellingsOfPrefix(x, kRangeSpellings, &covered)) {
        // Every text that begins with prefix (in any ASCII case) lies between prefix and prefix
        // followed by a byte that UTF-8 never holds.
        const QByteArray low = prefix.toUtf8();
        const QByteArray high = low + '\xFF';
        sqlite3_bind_text(k->scan, 1, low.constData(), int(low.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(k->scan, 2, high.constData(), int(high.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(k->scan, 3, k->text.data(), int(k->text.size()), SQLITE_STATIC);
        int rc;
        while ((rc = sqlite3_step(k->scan)) == SQLITE_ROW) {
            const QByteArray value(reinterpret_cast<const char*>(sqlite3_column_text(k->scan, 0)),
                                   sqlite3_column_bytes(k->scan, 0));
            const QByteArray folded = value.toLower();  // ASCII only: NOCASE's own folding
            if (!seen.contains(folded)) {
                seen.insert(folded);
                k->more.append(value);
            }
        }
        sqlite3_reset(k->scan);
        if (rc != SQLITE_DONE)
            return fail(k, db, rc);
    }
    return SQLITE_OK;
}

// The connection's page cache (schema main) in KiB, as it is set now; 0 when it cannot be told.
qint64 cacheSizeKiB(sqlite3* db)
{
    const auto pragma = [db](const char* sql) {
        sqlite3_stmt* st = nullptr;
        qint64 v = 0;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            v = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        return v;
    };
    const qint64 size = pragma("PRAGMA main.cache_size");
    return size < 0 ? -size : size * pragma("PRAGMA main.page_size") / 1024;
}

// Sizes the page cache for `kept` bytes of kept rows and texts: what it was given less their room
// and an eighth more (a cached page takes about that much beside its bytes), down to
// kLeastCacheKiB; given back whole once nothing is kept. The memory of the two together
// then stays what the cache alone was given, however many rows a look-up keeps. A cache that
// cannot be resized stays as it is: the look-up answers the same, with more memory.
void fitCache(Table* t, qsizetype kept)
{
    if (t->cacheKiB == 0) {
        if (kept == 0)
            return;
        t->cacheKiB = t->cacheSetKiB = cacheSizeKiB(t->db);
        if (t->cacheKiB == 0)
            return;
    }
    const qint64 want =
        kept == 0 ? t->cacheKiB
                  : std::max(std::min(kLeastCacheKiB, t->cacheKiB), t->cacheKiB - qint64(kept) * 9 / 8 / 1024);
    if (want != t->cacheSetKiB) {
        const QByteArray sql = "PRAGMA main.cache_size=-" + QByteArray::number(want);
        if (sqlite3_exec(t->db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK) {
#ifdef __GLIBC__
            // The pages the cache let go are free in the heap, between pages still in use: given
            // back to the system here, or the kept rows (one block of their own) would come on top.
            if (want < t->cacheSetKiB)
                malloc_trim(0);
#endif
            t->cacheSetKiB = want;
        }
    }
    if (kept == 0)
        t->cacheKiB = t->cacheSetKiB = 0;
}

// What the kept rows of the key look-ups, the kept spellings and the kept number texts take, in
// bytes.
qsizetype keptBytes(const Table* t) { return (t->keyEntries + t->spellingEntries) * 8 + t->numberBytes; }

// Drops every column's kept values when the file's data version or this connection's count of
// changed records has moved since they were read. False when the file gives no version: nothing
// is kept then.
bool keptAreCurrent(Table* t)
{
    unsigned version = 0;
    const bool stamped = sqlite3_file_control(t->db, "main", SQLITE_FCNTL_DATA_VERSION, &version) == SQLITE_OK;
    const sqlite3_int64 changes = stamped ? sqlite3_total_changes64(t->db) : -1;
    if (!stamped || version != t->version || changes != t->changes) {
        t->columns.clear();
        t->numberTexts.clear();
        t->numberBytes = 0;
        t->spellingEntries = 0;
        t->keyRows.clear();
        t->lastKeyRows = nullptr;
        t->lastValid = false;
        t->droppedKeyRows.clear();
        t->ledEntries = 0;
        t->keyEntries = 0;
        fitCache(t, 0);
        t->version = version;
        t->changes = changes;
    }
    return stamped;
}

// The letters of c's class (those equal to it under DBE_NOCASE) in a fixed order, or none when c
// has no other case.
const QVector<char32_t>* classLookup(char32_t foldedLetter)
{
    if (foldedLetter < 0x80)
        return nullptr;
    const auto& classes = letterClasses();
    const auto it = classes.constFind(foldedLetter);
    return it == classes.cend() ? nullptr : &it.value();
}

// The same, from a table for the letters below 0x800 (the Latin, Greek and Cyrillic ones).
const QVector<char32_t>* classOf(char32_t foldedLetter)
{
    static const std::array<const QVector<char32_t>*, 0x800> below = [] {
        std::array<const QVector<char32_t>*, 0x800> t{};
        for (char32_t k = 0; k < t.size(); ++k)
            t[k] = classLookup(k);
        return t;
    }();
    return foldedLetter < below.size() ? below[foldedLetter] : classLookup(foldedLetter);
}

quint32 foldedHash(const std::u32string& folded)
{
    const size_t h =
        qHash(QByteArrayView(reinterpret_cast<const char*>(folded.data()), qsizetype(folded.size() * sizeof(char32_t))),
              size_t(0));
    return quint32(h ^ (quint64(h) >> 32));
}

// The folded letters of text and, through *pattern, the case of its letters outside ASCII (the
// class index of each, two bits a letter, kWholeRead when that does not fit); *count is how many
// spellings it has, up to kRangeSpellings + 1. False when the text has no letter outside ASCII
// that is not folded (NOCASE finds it under its folded form).
bool caseOf(const QString& text, std::u32string* folded, quint32* pattern, int* count)
{
    folded->clear();
    *pattern = 0;
    *count = 1;
    int letters = 0;
    bool unfolded = false;
    for (const char32_t c : text.toUcs4()) {
        const char32_t f = foldLetter(c);
        folded->push_back(f);
        const QVector<char32_t>* cls = classOf(f);
        if (!cls)
            continue;
        *count = std::min(*count * int(cls->size()), kRangeSpellings + 1);
        const int at = int(cls->indexOf(c));
        unfolded = unfolded || c != f;
        if (*pattern == kWholeRead)
            continue;
        if (at < 0 || at > 3 || letters == kPatternLetters)
            *pattern = kWholeRead;
        else
            *pattern |= quint32(at) << (2 * letters++);
    }
    return unfolded;
}

// Whether a NOCASE index that takes every record leads tab.col.
bool nocaseIndexLeads(sqlite3* db, const QByteArray& tab, const QByteArray& col, int* rc)
{
    static const char sql[] = "SELECT 1 FROM pragma_index_list(?1) AS l, pragma_index_xinfo(l.name) AS x "
                              "WHERE l.partial = 0 AND x.seqno = 0 AND x.key = 1 AND x.coll = 'NOCASE' "
                              "AND x.name = ?2 COLLATE NOCASE LIMIT 1";
    sqlite3_stmt* st = nullptr;
    *rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    if (*rc != SQLITE_OK)
        return false;
    sqlite3_bind_text(st, 1, tab.constData(), int(tab.size()), SQLITE_STATIC);
    sqlite3_bind_text(st, 2, col.constData(), int(col.size()), SQLITE_STATIC);
    const int step = sqlite3_step(st);
    *rc = step == SQLITE_ROW || step == SQLITE_DONE ? SQLITE_OK : step;
    sqlite3_finalize(st);
    return step == SQLITE_ROW;
}

// The column's spellings as they are now (read again when anything changed since), or null when
// the range read is the cheaper way: a NOCASE index leads the column.
const ColumnSpellings* columnSpellings(Table* t, const QByteArray& tab, const QByteArray& col, int* rc)
{
    *rc = SQLITE_OK;
    if (!keptAreCurrent(t))
        return nullptr;  // no version to tell a stale reading by: read the range
    const QByteArray key = tab + '\0' + col;
    const auto found = t->columns.find(key);
    if (found != t->columns.end())
        return found->second.ranges ? nullptr : &found->second;
    const bool led = nocaseIndexLeads(t->db, tab, col, rc);
    if (*rc != SQLITE_OK)
        return nullptr;
    ColumnSpellings c;
    const QByteArray sql = "SELECT " + quoted(col) + " FROM " + quoted(tab);
    sqlite3_stmt* st = nullptr;
    *rc = sqlite3_prepare_v2(t->db, sql.constData(), int(sql.size()), &st, nullptr);
    if (*rc != SQLITE_OK)
        return nullptr;
    std::u32string folded;
    while ((*rc = sqlite3_step(st)) == SQLITE_ROW) {
        if (sqlite3_column_type(st, 0) != SQLITE_TEXT)
            continue;
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        const int n = sqlite3_column_bytes(st, 0);
        if (std::all_of(p, p + n, [](char b) { return uchar(b) < 0x80; }))
            continue;
        const QByteArray bytes = QByteArray::fromRawData(p, n);
        const QString text = QString::fromUtf8(bytes);
        if (text.toUtf8() != bytes) {
            c.anyWhole = true;
            c.entries.clear();
            break;
        }
        quint32 pattern = 0;
        int count = 0;
        if (caseOf(text, &folded, &pattern, &count) && count > kRangeSpellings) {
            c.entries.push_back(quint64(foldedHash(folded)) << 32 | pattern);
            if (led && t->ledEntries + qsizetype(c.entries.size()) > kLedEntries) {
                c.entries.clear();
                c.ranges = true;
                *rc = SQLITE_DONE;
                break;
            }
        }
    }
    sqlite3_finalize(st);
    if (*rc != SQLITE_ROW && *rc != SQLITE_DONE)
        return nullptr;
    *rc = SQLITE_OK;
    std::sort(c.entries.begin(), c.entries.end());
    c.entries.erase(std::unique(c.entries.begin(), c.entries.end()), c.entries.end());
    c.entries.shrink_to_fit();
    if (led)
        t->ledEntries += qsizetype(c.entries.size());
    t->spellingEntries += qsizetype(c.entries.size());
    fitCache(t, keptBytes(t));
    ColumnSpellings& kept = t->columns[key] = std::move(c);
    return kept.ranges ? nullptr : &kept;
}

// The spellings of x that tab.col holds, from the column's entries: x folded, and x in the case of
// each entry of its hash. False when an entry of x's hash sends it to the range read.
bool spellingsFromColumn(const ColumnSpellings& c, const QString& x, QList<QByteArray>* out)
{
    if (c.anyWhole)
        return false;
    std::u32string folded;
    quint32 ignored = 0;
    int count = 0;
    caseOf(x, &folded, &ignored, &count);
    const quint64 from = quint64(foldedHash(folded)) << 32;
    QSet<QByteArray> seen;
    const auto add = [&](const std::u32string& letters) {
        const QByteArray value = QString::fromUcs4(letters.data(), qsizetype(letters.size())).toUtf8();
        if (!seen.contains(value)) {
            seen.insert(value);
            out->append(value);
        }
    };
    add(folded);
    for (auto it = std::lower_bound(c.entries.begin(), c.entries.end(), from);
         it != c.entries.end() && (*it >> 32) == (from >> 32); ++it) {
        const quint32 pattern = quint32(*it);
        if (pattern == kWholeRead)
            return false;
        std::u32string spelled = folded;
        int letters = 0;
        bool fits = true;
        for (char32_t& f : spelled) {
            const QVector<char32_t>* cls = classOf(f);
            if (!cls)
                continue;
            const int at = letters < kPatternLetters ? int(pattern >> (2 * letters++)) & 3 : 0;
            if (at >= cls->size())
                fits = false;
            else
                f = (*cls)[at];
        }
        if (fits)
            add(spelled);
    }
    return true;
}

// The texts of tab.col by their reading as numbers, as they are now (read again when anything
// changed since, and at every call when the file gives no version); null on an error (*rc).
const NumberTexts* numberTexts(Table* t, const QByteArray& tab, const QByteArray& col, int* rc)
{
    *rc = SQLITE_OK;
    const bool stamped = keptAreCurrent(t);
    const QByteArray key = tab + '\0' + col;
    if (stamped && t->numberTexts.count(key))
        return &t->numberTexts[key];
    NumberTexts& n = t->numberTexts[key];
    t->numberBytes -= n.memory();
    n = NumberTexts{};
    // Texts sort after every number: an index on the column gives them alone.
    const QByteArray sql = "SELECT " + quoted(col) + " FROM " + quoted(tab) + " WHERE " + quoted(col) + " >= ''";
    sqlite3_stmt* st = nullptr;
    *rc = sqlite3_prepare_v2(t->db, sql.constData(), int(sql.size()), &st, nullptr);
    if (*rc == SQLITE_OK) {
        while ((*rc = sqlite3_step(st)) == SQLITE_ROW) {
            if (sqlite3_column_type(st, 0) != SQLITE_TEXT)
                continue;
            const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            const int size = sqlite3_column_bytes(st, 0);
            double d = 0;
            if (readStoredText(p, size, dbDouble, &d) == Reading::Read) {
                n.texts.push_back({d, quint32(n.bytes.size()), quint32(size)});
                n.bytes.append(p, size);
                if (n.texts.size() % (kCacheStep / 8) == 0)
                    fitCache(t, keptBytes(t) + n.memory());
            }
        }
        if (*rc == SQLITE_DONE)
            *rc = SQLITE_OK;
    }
    sqlite3_finalize(st);
    if (*rc != SQLITE_OK) {
        t->numberTexts.erase(key);
        return nullptr;
    }
    const auto before = [&n](const NumberTexts::Text& a, const NumberTexts::Text& b) {
        return a.number < b.number || (a.number == b.number && n.text(a) < n.text(b));
    };
    std::sort(n.texts.begin(), n.texts.end(), before);
    n.texts.erase(std::unique(n.texts.begin(), n.texts.end(),
                              [&n](const NumberTexts::Text& a, const NumberTexts::Text& b) {
                                  return a.number == b.number && n.text(a) == n.text(b);
                              }),
                  n.texts.end());
    t->numberBytes += n.memory();
    fitCache(t, keptBytes(t));
    return &n;
}

// dbe_numberforms(x, table, column): x's number, then every text of table.column that reads as
// that number; no row when x is Null or no number.
int filterNumbers(Cursor* k, Table* t, int idxNum, int argc, sqlite3_value** argv)
{
    k->listed = true;
    double d = 0;
    if (readStored(argv[0], dbDouble, &d) != Reading::Read)
        return SQLITE_OK;
    k->hasNumber = true;
    k->number = d;
    if (idxNum != 3 || argc < 3 || sqlite3_value_type(argv[1]) != SQLITE_TEXT
        || sqlite3_value_type(argv[2]) != SQLITE_TEXT)
        return SQLITE_OK;
    const QByteArray tab(reinterpret_cast<const char*>(sqlite3_value_text(argv[1])), sqlite3_value_bytes(argv[1]));
    const QByteArray col(reinterpret_cast<const char*>(sqlite3_value_text(argv[2])), sqlite3_value_bytes(argv[2]));
    int rc = SQLITE_OK;
    const NumberTexts* n = numberTexts(t, tab, col, &rc);
    if (!n)
        return fail(k, t->db, rc);
    const auto from = std::lower_bound(n->texts.begin(), n->texts.end(), d,
                                       [](const NumberTexts::Text& x, double number) { return x.number < number; });
    for (auto it = from; it != n->texts.end() && it->number == d; ++it)
        k->more.append(n->text(*it).toByteArray());
    return SQLITE_OK;
}

// How many spellings text has, counted up to max + 1.
int spellingCount(const QString& text, int max)
{
    int count = 1;
    for (const char32_t c : text.toUcs4()) {
        if (c >= 0x80)
            count *= int(sameLetters(c).size());
        if (count > max)
            return max + 1;
    }
    return count;
}

int filter(sqlite3_vtab_cursor* c, int idxNum, const char*, int argc, sqlite3_value** argv)
{
    Cursor* k = cur(c);
    k->row = 0;
    k->listed = false;
    k->hasNumber = false;
    k->more.clear();
    sqlite3_value_free(k->other);
    k->other = nullptr;
    if (static_cast<Table*>(c->pVtab)->numbers && argc > 0)
        return filterNumbers(k, static_cast<Table*>(c->pVtab), idxNum, argc, argv);
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
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(p), n);
    // Given the table and column, reading the index over a few ranges costs less than looking up
    // many spellings one by one.
    const bool named = idxNum == 3 && argc >= 3 && sqlite3_value_type(argv[1]) == SQLITE_TEXT
                       && sqlite3_value_type(argv[2]) == SQLITE_TEXT;
    const int listed = named ? kRangeSpellings : kListedSpellings;
    if (spellingCount(text, listed) <= listed) {
        qsizetype covered = 0;
        const QStringList all = spellingsOfPrefix(text, listed, &covered);
        if (all.size() > 1) {
            k->listed = true;
            for (const QString& s : all)
                k->more.append(s.toUtf8());
        }
        return SQLITE_OK;
    }
    if (!named)
        return SQLITE_OK;
    k->listed = true;
    auto* t = static_cast<Table*>(c->pVtab);
    const QByteArray tab(reinterpret_cast<const char*>(sqlite3_value_text(argv[1])), sqlite3_value_bytes(argv[1]));
    const QByteArray col(reinterpret_cast<const char*>(sqlite3_value_text(argv[2])), sqlite3_value_bytes(argv[2]));
    int rc = SQLITE_OK;
    const ColumnSpellings* spellings = columnSpellings(t, tab, col, &rc);
    if (rc != SQLITE_OK)
        return fail(k, t->db, rc);
    if (spellings && spellingsFromColumn(*spellings, text, &k->more))
        return SQLITE_OK;
    k->more.clear();
    return readSpellings(k, t->db, text, argv[1], argv[2]);
}

int next(sqlite3_vtab_cursor* c)
{
    ++cur(c)->row;
    return SQLITE_OK;
}

int eof(sqlite3_vtab_cursor* c)
{
    const Cursor* k = cur(c);
    return k->row >= (k->listed ? k->more.size() + (k->hasNumber ? 1 : 0) : 1);
}

int column(sqlite3_vtab_cursor* c, sqlite3_context* ctx, int col)
{
    const Cursor* k = cur(c);
    const int at = k->row - (k->hasNumber ? 1 : 0);
    if (col != 0)
        sqlite3_result_null(ctx);
    else if (k->listed && at < 0 && k->number == double(sqlite3_int64(k->number)))
        sqlite3_result_int64(ctx, sqlite3_int64(k->number));
    else if (k->listed && at < 0)
        sqlite3_result_double(ctx, k->number);
    else if (k->listed)
        sqlite3_result_text(ctx, k->more[at].constData(), int(k->more[at].size()), SQLITE_TRANSIENT);
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

// --- dbe_keyrows --------------------------------------------------------------------------------

// The folded letters of a UTF-8 text appended to *out, as DBE_NOCASE reads them. False when the
// text is not valid UTF-8.
bool foldUtf8(const unsigned char* p, int n, std::u32string* out)
{
    const size_t from = out->size();
    out->resize(from + size_t(n));  // at most one letter a byte
    char32_t* o = out->data() + from;
    const unsigned char* end = p + n;
    bool valid = true;
    while (p < end) {
        const unsigned char b = *p++;
        if (b < 0x80) {
            *o++ = b >= 'A' && b <= 'Z' ? b + 32 : b;
            continue;
        }
        const int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 ? 1 : -1;
        if (more < 0 || b > 0xF4 || end - p < more) {
            valid = false;
            break;
        }
        char32_t c = b & (0x3F >> more);
        for (int k = 0; k < more; ++k) {
            valid = valid && (p[k] & 0xC0) == 0x80;
            c = (c << 6) | (p[k] & 0x3F);
        }
        p += more;
        if (!valid || (more == 2 && c < 0x800) || (more == 3 && (c < 0x10000 || c > 0x10FFFF))
            || (c >= 0xD800 && c < 0xE000)) {
            valid = false;
            break;
        }
        *o++ = foldLetter(c);
    }
    out->resize(size_t(o - out->data()));
    return valid;
}

// The folded keys of one row (or of the looked-up texts), each key ended by a character that no
// text holds.
inline constexpr char32_t kKeyEnd = 0xFFFFFFFFu;

quint32 keysHash(const std::u32string& folded) { return foldedHash(folded); }

bool asciiOnly(const unsigned char* p, int n)
{
    return std::all_of(p, p + n, [](unsigned char b) { return b < 0x80; });
}

struct RowCursor : sqlite3_vtab_cursor {
    std::vector<sqlite3_int64> rows;
    size_t row = 0;
};

RowCursor* rowCur(sqlite3_vtab_cursor* c) { return static_cast<RowCursor*>(c); }

// r: a rowid; then the table, and each column with the value looked up in it.
int connectKeys(sqlite3* db, void*, int, const char* const*, sqlite3_vtab** out, char**)
{
    const int rc = sqlite3_declare_vtab(db, "CREATE TABLE x(r, tab HIDDEN, c1 HIDDEN, a1 HIDDEN, "
                                            "c2 HIDDEN, a2 HIDDEN, c3 HIDDEN, a3 HIDDEN, c4 HIDDEN, a4 HIDDEN)");
    if (rc != SQLITE_OK)
        return rc;
    auto* t = new (std::nothrow) Table{};
    if (!t)
        return SQLITE_NOMEM;
    t->db = db;
    sqlite3_vtab_config(db, SQLITE_VTAB_INNOCUOUS);
    *out = t;
    return SQLITE_OK;
}

// The table and the first n columns with their values (idxNum n), all of them required from the
// first on.
int bestIndexKeys(sqlite3_vtab*, sqlite3_index_info* info)
{
    int at[2 * kMaxKeyColumns + 1];
    std::fill(std::begin(at), std::end(at), -1);
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto& c = info->aConstraint[i];
        if (c.iColumn < 1 || c.op != SQLITE_INDEX_CONSTRAINT_EQ)
            continue;
        if (!c.usable)
            return SQLITE_CONSTRAINT;
        at[c.iColumn - 1] = i;
    }
    int n = 0;
    while (n < kMaxKeyColumns && at[1 + 2 * n] >= 0 && at[2 + 2 * n] >= 0)
        ++n;
    if (at[0] < 0 || n == 0)
        return SQLITE_CONSTRAINT;
    for (int k = 0; k <= 2 * n; ++k) {
        info->aConstraintUsage[at[k]].argvIndex = k + 1;
        info->aConstraintUsage[at[k]].omit = 1;
    }
    info->idxNum = n;
    info->estimatedCost = 1;
    info->estimatedRows = 1;
    return SQLITE_OK;
}

int openKeys(sqlite3_vtab*, sqlite3_vtab_cursor** out)
{
    *out = new RowCursor{};
    return SQLITE_OK;
}

int closeKeys(sqlite3_vtab_cursor* c)
{
    delete rowCur(c);
    return SQLITE_OK;
}

QByteArray textArg(sqlite3_value* v)
{
    return QByteArray(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
}

// At most how many rows tab holds, told by its least and greatest rowid (rowid names the rowid)
// without reading the rows.
qsizetype tableRowsAtMost(sqlite3* db, const QByteArray& tab, const QByteArray& rowid, int* rc)
{
    const QByteArray sql = "SELECT min(" + rowid + "), max(" + rowid + ") FROM " + quoted(tab);
    sqlite3_stmt* st = nullptr;
    *rc = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr);
    if (*rc != SQLITE_OK)
        return 0;
    qsizetype rows = 0;
    const int step = sqlite3_step(st);
    if (step == SQLITE_ROW && sqlite3_column_type(st, 0) == SQLITE_INTEGER) {
        const double span = double(sqlite3_column_int64(st, 1)) - double(sqlite3_column_int64(st, 0)) + 1;
        rows = span > double(kKeyEntries) ? kKeyEntries : qsizetype(span);
    }
    *rc = step == SQLITE_ROW || step == SQLITE_DONE ? SQLITE_OK : step;
    sqlite3_finalize(st);
    return rows;
}

// The first entry of each value of the hashes' top bits, about four entries a value.
void fileByHash(KeyRows* k)
{
    k->bits = 0;
    while (k->bits < 24 && (qsizetype(4) << k->bits) < qsizetype(k->entries.size()))
        ++k->bits;
    const size_t values = size_t(1) << k->bits;
    k->starts.assign(values + 1, quint32(k->entries.size()));
    size_t at = 0;
    for (size_t b = 0; b < values; ++b) {
        while (at < k->entries.size() && size_t(k->entries[at] >> 32 >> (32 - k->bits)) < b)
            ++at;
        k->starts[b] = quint32(at);
    }
}

// The name tab's rowid goes by (rowid_name.h); empty when its fields shadow every such name.
QByteArray rowidNameOf(sqlite3* db, const QByteArray& tab, int* rc)
{
    sqlite3_stmt* st = nullptr;
    *rc = sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_info(?1)", -1, &st, nullptr);
    if (*rc != SQLITE_OK)
        return QByteArray();
    sqlite3_bind_text(st, 1, tab.constData(), int(tab.size()), SQLITE_STATIC);
    QStringList fields;
    while (sqlite3_step(st) == SQLITE_ROW)
        fields << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    *rc = sqlite3_finalize(st);
    return UnshadowedRowid(fields).toUtf8();
}

// The rows of tab whose keys hold a byte outside ASCII, as they are now.
const KeyRows* keyRows(Table* t, const QByteArray& key, const QByteArray& tab, const QList<QByteArray>& cols, int* rc)
{
    *rc = SQLITE_OK;
    if (!keptAreCurrent(t))
        return nullptr;
    const auto found = t->keyRows.find(key);
    if (found != t->keyRows.end())
        return &found->second;
    KeyRows k;
    k.rowidName = rowidNameOf(t->db, tab, rc);
    if (*rc != SQLITE_OK)
        return nullptr;
    k.byColumn = k.rowidName.isEmpty();
    if (!k.byColumn) {
        QByteArray sql = "SELECT " + k.rowidName;
        for (const QByteArray& c : cols)
            sql += ", " + quoted(c);
        sql += " FROM " + quoted(tab);
        // Room for as many entries as the table can give, made once: grown by doubling, the
        // vector would hold up to twice its entries and copy them at each step. Pages never
        // written take no memory.
        const qsizetype most = std::min(tableRowsAtMost(t->db, tab, k.rowidName, rc), kKeyEntries);
        if (*rc != SQLITE_OK)
            return nullptr;
        k.entries.reserve(size_t(most));
        sqlite3_stmt* st = nullptr;
        *rc = sqlite3_prepare_v2(t->db, sql.constData(), int(sql.size()), &st, nullptr);
        if (*rc != SQLITE_OK)
            return nullptr;
        std::u32string folded;
        while ((*rc = sqlite3_step(st)) == SQLITE_ROW) {
            bool valid = true, ascii = true;
            folded.clear();
            for (int i = 1; i <= int(cols.size()) && valid; ++i) {
                if (sqlite3_column_type(st, i) == SQLITE_TEXT) {
                    const auto* p = sqlite3_column_text(st, i);
                    const int size = sqlite3_column_bytes(st, i);
                    ascii = ascii && asciiOnly(p, size);
                    valid = foldUtf8(p, size, &folded);
                }
                folded.push_back(kKeyEnd);
            }
            const sqlite3_int64 rowid = sqlite3_column_int64(st, 0);
            if (t->keyEntries > 0 && t->keyEntries + qsizetype(k.entries.size()) >= kKeyEntries
                && !t->droppedKeyRows.contains(key)) {
                // Room for this table before the others: theirs are read again if asked for, but
                // do not take the room back from it (two tables looked up in turn would read
                // each other's away at every look-up).
                for (const auto& kept : t->keyRows)
                    t->droppedKeyRows.insert(kept.first);
                t->keyRows.clear();
                t->lastKeyRows = nullptr;
                t->lastValid = false;
                t->keyEntries = 0;
            }
            if (!valid || (!ascii && (rowid < 0 || rowid > 0xFFFFFFFFll))
                || t->keyEntries + qsizetype(k.entries.size()) >= kKeyEntries) {
                k.byColumn = true;
                k.entries = {};
                *rc = SQLITE_DONE;
                break;
            }
            if (ascii)
                continue;
            k.entries.push_back(quint64(keysHash(folded)) << 32 | quint64(rowid));
            const qsizetype now = qsizetype(k.entries.size());
            if (now % kCacheStep == 0)
                fitCache(t, keptBytes(t) + now * 8);
        }
        sqlite3_finalize(st);
        if (*rc != SQLITE_DONE)
            return nullptr;
        *rc = SQLITE_OK;
        std::sort(k.entries.begin(), k.entries.end());
        fileByHash(&k);
        t->keyEntries += k.size();
    }
    fitCache(t, keptBytes(t));
    return &(t->keyRows[key] = std::move(k));
}

// The kept rows of the table and columns asked for (the last ones asked for are kept), filed under
// t->keysOf; *kept is null when none are kept.
int currentKeyRows(Table* t, int n, sqlite3_value** argv, const KeyRows** kept)
{
    QByteArray& of = t->keysOf;
    of.resize(0);
    of.append(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])), sqlite3_value_bytes(argv[0]));
    for (int i = 0; i < n; ++i) {
        of.append('\0');
        of.append(reinterpret_cast<const char*>(sqlite3_value_text(argv[1 + 2 * i])),
                  sqlite3_value_bytes(argv[1 + 2 * i]));
    }
    if (keptAreCurrent(t) && t->lastKeyRows && t->lastKeysOf == of) {
        *kept = t->lastKeyRows;
        return SQLITE_OK;
    }
    t->lastValid = false;
    QList<QByteArray> cols;
    for (int i = 0; i < n; ++i)
        cols << textArg(argv[1 + 2 * i]);
    int rc = SQLITE_OK;
    *kept = keyRows(t, of, textArg(argv[0]), cols, &rc);
    if (rc != SQLITE_OK)
        return rc;
    t->lastKeyRows = *kept;
    t->lastKeysOf = of;
    return SQLITE_OK;
}

// The look-up of the rows whose keys NOCASE finds equal to the values bound, for the table and
// columns of t->keysOf, prepared once for them.
int keySeek(sqlite3_vtab_cursor* c, int n, sqlite3_value** argv, sqlite3_stmt** out)
{
    auto* t = static_cast<Table*>(c->pVtab);
    if (!t->keySeek || t->keySeekOf != t->keysOf) {
        sqlite3_finalize(t->keySeek);
        t->keySeek = nullptr;
        // The table's rowid by a name its fields do not shadow (the kept rows know it; a table
        // whose rows are not kept asks here).
        QByteArray rowid = t->lastKeyRows ? t->lastKeyRows->rowidName : QByteArray();
        if (rowid.isEmpty()) {
            int rc = SQLITE_OK;
            rowid = rowidNameOf(t->db, textArg(argv[0]), &rc);
            if (rc != SQLITE_OK)
                return fail(c, t->db, rc);
            if (rowid.isEmpty())
                return SQLITE_MISMATCH;  // the emitter writes no look-up for such a table
        }
        QByteArray sql = "SELECT " + rowid + " FROM " + quoted(textArg(argv[0])) + " WHERE ";
        for (int i = 0; i < n; ++i) {
            sql += (i ? " AND " : "") + quoted(textArg(argv[1 + 2 * i])) + " = ?" + QByteArray::number(i + 1)
                   + " COLLATE NOCASE";
        }
        const int rc = sqlite3_prepare_v2(t->db, sql.constData(), int(sql.size()), &t->keySeek, nullptr);
        if (rc != SQLITE_OK)
            return fail(c, t->db, rc);
        t->keySeekOf = t->keysOf;
    }
    *out = t->keySeek;
    return SQLITE_OK;
}

// Adds the rowids that the look-up finds with its values bound, and resets it.
int addSought(sqlite3_vtab_cursor* c, sqlite3_stmt* seek)
{
    int rc;
    while ((rc = sqlite3_step(seek)) == SQLITE_ROW)
        rowCur(c)->rows.push_back(sqlite3_column_int64(seek, 0));
    sqlite3_reset(seek);
    sqlite3_clear_bindings(seek);
    return rc == SQLITE_DONE ? SQLITE_OK : fail(c, static_cast<Table*>(c->pVtab)->db, rc);
}

// The rows equal to each column's own look-up (what dbe_spellings gives for it), in every
// combination of them.
int rowsByColumn(sqlite3_vtab_cursor* c, int n, sqlite3_value** argv)
{
    auto* t = static_cast<Table*>(c->pVtab);
    // Each column's values: a text, or (when it is no text) the value itself.
    std::vector<std::vector<std::pair<QByteArray, sqlite3_value*>>> lists(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        Cursor one;
        one.pVtab = t;
        sqlite3_value* args[3] = {argv[2 + 2 * i], argv[0], argv[1 + 2 * i]};
        const int rc = filter(&one, 3, nullptr, 3, args);
        if (rc != SQLITE_OK)
            return rc;
        for (; !eof(&one); next(&one)) {
            if (one.listed)
                lists[size_t(i)].push_back({one.more[one.row], nullptr});
            else if (one.other)
                lists[size_t(i)].push_back({QByteArray(), argv[2 + 2 * i]});
            else
                lists[size_t(i)].push_back({QByteArray(one.text.data(), qsizetype(one.text.size())), nullptr});
        }
        if (lists[size_t(i)].empty())
            return SQLITE_OK;
    }
    sqlite3_stmt* seek = nullptr;
    if (const int rc = keySeek(c, n, argv, &seek); rc != SQLITE_OK)
        return rc;
    std::vector<size_t> at(size_t(n), 0);
    for (;;) {
        for (int i = 0; i < n; ++i) {
            const auto& [text, value] = lists[size_t(i)][at[size_t(i)]];
            if (value)
                sqlite3_bind_value(seek, i + 1, value);
            else
                sqlite3_bind_text(seek, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
        if (const int rc = addSought(c, seek); rc != SQLITE_OK)
            return rc;
        int i = n - 1;
        while (i >= 0 && ++at[size_t(i)] == lists[size_t(i)].size())
            at[size_t(i--)] = 0;
        if (i < 0)
            break;
    }
    auto& rows = rowCur(c)->rows;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return SQLITE_OK;
}

// dbe_keyrows(table, column1, x1 [, column2, x2 ...]): the rowids of the rows of the table whose
// keys may equal x1, x2, ... each under DBE_NOCASE: every row whose keys do, and perhaps some whose
// folded keys only share their hash, which the caller tells apart by comparing the keys. No row
// when an x is Null.
int filterKeys(sqlite3_vtab_cursor* c, int idxNum, const char*, int argc, sqlite3_value** argv)
{
    RowCursor* k = rowCur(c);
    auto* t = static_cast<Table*>(c->pVtab);
    k->row = 0;
    k->rows.clear();
    const int n = std::min(idxNum, (argc - 1) / 2);
    if (n <= 0 || sqlite3_value_type(argv[0]) != SQLITE_TEXT)
        return SQLITE_OK;
    bool texts = true;
    for (int i = 0; i < n; ++i) {
        const int type = sqlite3_value_type(argv[2 + 2 * i]);
        if (type == SQLITE_NULL || sqlite3_value_type(argv[1 + 2 * i]) != SQLITE_TEXT)
            return SQLITE_OK;
        texts = texts && type == SQLITE_TEXT;
    }
    const KeyRows* kept = nullptr;
    if (const int rc = currentKeyRows(t, n, argv, &kept); rc != SQLITE_OK)
        return fail(c, t->db, rc);
    if (!kept || kept->byColumn || !texts)
        return rowsByColumn(c, n, argv);
    // The looked-up keys, folded.
    std::u32string& folded = t->folded;
    folded.clear();
    for (int i = 0; i < n; ++i) {
        sqlite3_value* x = argv[2 + 2 * i];
        if (!foldUtf8(sqlite3_value_text(x), sqlite3_value_bytes(x), &folded))
            return rowsByColumn(c, n, argv);
        folded.push_back(kKeyEnd);
    }
    // The same keys as the last look-up's (an order's lines, one after another): its rows.
    if (t->lastValid && t->lastFolded == folded) {
        k->rows = t->lastRows;
        return SQLITE_OK;
    }
    if (std::any_of(folded.begin(), folded.end(), [](char32_t f) { return f >= 0x80 && f != kKeyEnd; })) {
        // Keys with a letter outside ASCII: the kept rows of the same hash.
        const quint64 hash = quint64(keysHash(folded));
        const size_t bucket = size_t(hash >> (32 - kept->bits));
        for (size_t at = kept->starts[bucket]; at < kept->starts[bucket + 1]; ++at) {
            if ((kept->entries[at] >> 32) == hash)
                k->rows.push_back(sqlite3_int64(kept->entries[at] & 0xFFFFFFFFu));
        }
    } else {
        // Keys all in ASCII, which only rows that are not kept hold (no letter outside ASCII
        // folds to one in ASCII): NOCASE finds those in every spelling.
        sqlite3_stmt* seek = nullptr;
        if (const int rc = keySeek(c, n, argv, &seek); rc != SQLITE_OK)
            return rc;
        size_t from = 0;
        for (int i = 0; i < n; ++i) {
            const size_t to = folded.find(kKeyEnd, from);
            QByteArray key(qsizetype(to - from), Qt::Uninitialized);
            for (size_t j = from; j < to; ++j)
                key[qsizetype(j - from)] = char(folded[j]);
            sqlite3_bind_text(seek, i + 1, key.constData(), int(key.size()), SQLITE_TRANSIENT);
            from = to + 1;
        }
        if (const int rc = addSought(c, seek); rc != SQLITE_OK)
            return rc;
    }
    t->lastFolded = folded;
    t->lastRows = k->rows;
    t->lastValid = true;
    return SQLITE_OK;
}

int nextKeys(sqlite3_vtab_cursor* c)
{
    ++rowCur(c)->row;
    return SQLITE_OK;
}

int eofKeys(sqlite3_vtab_cursor* c) { return rowCur(c)->row >= rowCur(c)->rows.size(); }

int columnKeys(sqlite3_vtab_cursor* c, sqlite3_context* ctx, int col)
{
    const RowCursor* k = rowCur(c);
    if (col == 0)
        sqlite3_result_int64(ctx, k->rows[k->row]);
    else
        sqlite3_result_null(ctx);
    return SQLITE_OK;
}

int rowidKeys(sqlite3_vtab_cursor* c, sqlite_int64* out)
{
    *out = sqlite_int64(rowCur(c)->row);
    return SQLITE_OK;
}

const sqlite3_module kKeysModule = {
    .iVersion = 0,
    .xCreate = nullptr,
    .xConnect = connectKeys,
    .xBestIndex = bestIndexKeys,
    .xDisconnect = disconnect,
    .xDestroy = disconnect,
    .xOpen = openKeys,
    .xClose = closeKeys,
    .xFilter = filterKeys,
    .xNext = nextKeys,
    .xEof = eofKeys,
    .xColumn = columnKeys,
    .xRowid = rowidKeys,
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
    static int numbers = 1;
    sqlite3_create_module_v2(db, kNumberFormsTable, &kModule, &numbers, nullptr);
    sqlite3_create_module_v2(db, kKeyRowsTable, &kKeysModule, nullptr, nullptr);
}

}  // namespace detail

}  // namespace dbe
