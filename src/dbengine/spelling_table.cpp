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

// The rows of one table whose key fields (the columns dbe_keyspellings is asked about, together)
// hold a letter outside ASCII that has another case, in any case, by the hash of their folded
// keys: a look-up of keys with such a letter tries only the keys these rows hold (those in another
// case than the folded one are the rows a NOCASE look-up of the folded keys would miss). A row's
// keys are its folded keys with each such letter put in one case of its class, so most rows are
// kept as that choice of cases: one 64-bit entry, the hash above the class index of each letter
// (`spelled`, see KeyCase), from which a look-up spells the row's keys without reading the row;
// rows with more such letters than that holds are kept as the hash above the rowid, and their
// keys read from the row (`entries`). A table whose rowids do not fit, or whose keys are not all
// valid UTF-8, is looked up key by key instead (`byColumn`). Read again on the same terms as ColumnSpellings, within
// kKeyEntries entries for all tables together (those of the other tables are dropped when one table needs the room).
struct KeyRows {
    bool byColumn = false;
    QByteArray rowidName;  // the name the table's rowid goes by
    std::vector<quint64> spelled;  // sorted, each once
    std::vector<quint64> entries;  // sorted
};

inline constexpr qsizetype kKeyEntries = 6'000'000;  // 48 MB
// The least the page cache keeps while rows are kept, and how many kept entries (2 MB) go by
// between two settings of its size while a table's rows are read (an eighth as many texts of
// dbe_numberforms, which take 16 bytes and their own).
inline constexpr qint64 kLeastCacheKiB = 8 * 1024;
inline constexpr qsizetype kCacheStep = qsizetype(1) << 18;
inline constexpr int kMaxKeyColumns = kKeySpellingsColumns;

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
    std::map<QByteArray, KeyRows> keyRows;  // dbe_keyspellings: by table '\0' columns
    qsizetype keyEntries = 0;  // kept in keyRows, all tables together
    sqlite3_stmt* keyRead = nullptr;  // a row's keys by its rowid, for the table and columns keyReadOf
    QByteArray keyReadOf;
    // dbe_keyspellings' last look-up: its table and columns and their kept rows (null once the
    // kept rows are dropped), and room for the next one's keys and names.
    QByteArray lastKeysOf;
    const KeyRows* lastKeyRows = nullptr;
    QSet<QByteArray> droppedKeyRows;  // the tables whose kept rows were dropped to make room
    QByteArray keysOf;
    std::u32string folded;
    // The page cache gives up the room the kept rows take, so that the two together stay within
    // what the cache alone was given: its size before the first kept row (KiB; 0 while nothing
    // is kept) and the size last set.
    qint64 cacheKiB = 0;
    qint64 cacheSetKiB = 0;
    ~Table() { sqlite3_finalize(keyRead); }
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

// --- dbe_keyspellings ---------------------------------------------------------------------------

// The folded letters of a UTF-8 text appended to *out, as DBE_NOCASE reads them; *unfolded is set
// when one of its letters outside ASCII is not in its folded case. False when the text is not
// valid UTF-8.
bool foldUtf8(const unsigned char* p, int n, std::u32string* out, bool* unfolded)
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
        const char32_t f = foldLetter(c);
        *unfolded = *unfolded || f != c;
        *o++ = f;
    }
    out->resize(size_t(o - out->data()));
    return valid;
}

// The folded keys of one row (or of the looked-up texts), each key ended by a character that no
// text holds.
inline constexpr char32_t kKeyEnd = 0xFFFFFFFFu;

quint32 keysHash(const std::u32string& folded) { return foldedHash(folded); }

QByteArray utf8Of(const char32_t* p, qsizetype n)
{
    QByteArray out(n * 4, Qt::Uninitialized);
    char* o = out.data();
    for (const char32_t* end = p + n; p < end; ++p) {
        const char32_t c = *p;
        if (c < 0x80) {
            *o++ = char(c);
        } else if (c < 0x800) {
            *o++ = char(0xC0 | (c >> 6));
            *o++ = char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *o++ = char(0xE0 | (c >> 12));
            *o++ = char(0x80 | ((c >> 6) & 0x3F));
            *o++ = char(0x80 | (c & 0x3F));
        } else {
            *o++ = char(0xF0 | (c >> 18));
            *o++ = char(0x80 | ((c >> 12) & 0x3F));
            *o++ = char(0x80 | ((c >> 6) & 0x3F));
            *o++ = char(0x80 | (c & 0x3F));
        }
    }
    out.truncate(o - out.constData());
    return out;
}

// The index of a letter in its class (classOf of its folded case): kNoClass for a character
// without one, kNoIndex for a letter not in its folded case that has no class either. Computed once
// for the letters below kFoldedBelow (the Latin, Greek and Cyrillic ones).
inline constexpr char32_t kFoldedBelow = 0x800;
inline constexpr int kNoClass = -1;
inline constexpr int kNoIndex = -2;

int classIndexOf(char32_t c)
{
    const char32_t f = foldLetter(c);
    const QVector<char32_t>* cls = classOf(f);
    if (!cls)
        return f == c ? kNoClass : kNoIndex;
    const qsizetype at = cls->indexOf(c);
    return at < 0 ? kNoIndex : int(at);
}

int classIndex(char32_t c)
{
    static const std::array<qint8, kFoldedBelow> below = [] {
        std::array<qint8, kFoldedBelow> t{};
        for (char32_t k = 0; k < kFoldedBelow; ++k)
            t[k] = qint8(std::clamp(classIndexOf(k), -2, 127));
        return t;
    }();
    return c < kFoldedBelow ? below[c] : classIndexOf(c);
}

// The cases of the letters outside ASCII of a row's keys (valid UTF-8, as foldUtf8 found them), as
// the index of each letter in its class (classOf), in the order of the letters: one bit a letter,
// up to kOneBitLetters of them, when each index is 0 or 1 (the Latin letters: one lower, one upper
// case), with kOneBitCase set; else two bits a letter, up to kPatternLetters, the top two bits
// clear. Added letter by letter over the keys; false once neither form holds them, or a letter not
// in its folded case has no class.
inline constexpr int kOneBitLetters = 30;
inline constexpr quint32 kOneBitCase = 0x80000000u;

struct KeyCase {
    int letters = 0;
    quint32 one = 0, two = 0;
    bool oneFits = true, twoFits = true;

    bool add(const unsigned char* p, int n)
    {
        const unsigned char* end = p + n;
        while (p < end) {
            const unsigned char b = *p++;
            if (b < 0x80)
                continue;
            const int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
            char32_t c = b & (0x3F >> more);
            for (int k = 0; k < more && p < end; ++k)
                c = (c << 6) | (*p++ & 0x3F);
            const int at = classIndex(c);
            if (at == kNoClass)
                continue;
            if (at < 0)
                return false;
            oneFits = oneFits && letters < kOneBitLetters && at <= 1;
            twoFits = twoFits && letters < kPatternLetters && at <= 3;
            if (!oneFits && !twoFits)
                return false;
            if (oneFits)
                one |= quint32(at) << letters;
            if (twoFits)
                two |= quint32(at) << (2 * letters);
            ++letters;
        }
        return true;
    }
    quint32 cases() const { return oneFits ? one | kOneBitCase : two; }
};

// The keys that the folded keys spell in the cases of a KeyCase, one UTF-8 text a key; false when
// the cases do not fit these letters (the entry is another key's of the same hash).
bool spellKeys(const std::u32string& folded, quint32 cases, std::vector<QByteArray>* out)
{
    const bool oneBit = (cases & kOneBitCase) != 0;
    const int most = oneBit ? kOneBitLetters : kPatternLetters;
    std::u32string spelled = folded;
    int letters = 0;
    for (char32_t& f : spelled) {
        const QVector<char32_t>* cls = f == kKeyEnd ? nullptr : classOf(f);
        if (!cls)
            continue;
        if (letters == most)
            return false;
        const int at = int(oneBit ? (cases >> letters) & 1 : (cases >> (2 * letters)) & 3);
        ++letters;
        if (at >= cls->size())
            return false;
        f = (*cls)[at];
    }
    out->clear();
    qsizetype from = 0;
    while (from < qsizetype(spelled.size())) {
        const qsizetype to = qsizetype(spelled.find(kKeyEnd, size_t(from)));
        out->push_back(utf8Of(spelled.data() + from, to - from));
        from = to + 1;
    }
    return true;
}

struct KeyCursor : sqlite3_vtab_cursor {
    int columns = 0;
    std::vector<sqlite3_value*> values;  // the looked-up values that are no texts, copied
    // Each row's cells: a text, or (when text is null) values[index].
    struct Cell {
        QByteArray text;
        int value = -1;
    };
    std::vector<std::vector<Cell>> rows;
    size_t row = 0;
    ~KeyCursor()
    {
        for (sqlite3_value* v : values)
            sqlite3_value_free(v);
    }
};

KeyCursor* keyCur(sqlite3_vtab_cursor* c) { return static_cast<KeyCursor*>(c); }

// v1..v4: the keys of a row; then the table, and each column with the value looked up in it.
int connectKeys(sqlite3* db, void*, int, const char* const*, sqlite3_vtab** out, char**)
{
    const int rc = sqlite3_declare_vtab(db, "CREATE TABLE x(v1, v2, v3, v4, tab HIDDEN, c1 HIDDEN, a1 HIDDEN, "
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
        if (c.iColumn < kMaxKeyColumns || c.op != SQLITE_INDEX_CONSTRAINT_EQ)
            continue;
        if (!c.usable)
            return SQLITE_CONSTRAINT;
        at[c.iColumn - kMaxKeyColumns] = i;
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
    *out = new KeyCursor{};
    return SQLITE_OK;
}

int closeKeys(sqlite3_vtab_cursor* c)
{
    delete keyCur(c);
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

// The rows of tab whose keys a NOCASE look-up of the folded keys misses, as they are now.
const KeyRows* keyRows(Table* t, const QByteArray& key, const QByteArray& tab, const QList<QByteArray>& cols, int* rc)
{
    *rc = SQLITE_OK;
    if (!keptAreCurrent(t))
        return nullptr;
    const auto found = t->keyRows.find(key);
    if (found != t->keyRows.end())
        return &found->second;
    KeyRows k;
    // The table's fields, for the name its rowid goes by.
    QStringList fields;
    {
        sqlite3_stmt* st = nullptr;
        *rc = sqlite3_prepare_v2(t->db, "SELECT name FROM pragma_table_info(?1)", -1, &st, nullptr);
        if (*rc != SQLITE_OK)
            return nullptr;
        sqlite3_bind_text(st, 1, tab.constData(), int(tab.size()), SQLITE_STATIC);
        while (sqlite3_step(st) == SQLITE_ROW)
            fields << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        *rc = sqlite3_finalize(st);
        if (*rc != SQLITE_OK)
            return nullptr;
    }
    k.rowidName = UnshadowedRowid(fields).toUtf8();
    k.byColumn = k.rowidName.isEmpty();
    if (!k.byColumn) {
        QByteArray sql = "SELECT " + k.rowidName;
        for (const QByteArray& c : cols)
            sql += ", " + quoted(c);
        sql += " FROM " + quoted(tab);
        // Room for as many entries as the table can give, made once: grown by doubling, the
        // vectors would hold up to twice their entries and copy them at each step, and the copy
        // of a trimmed vector would hold them twice once more. Pages never written take no memory.
        const qsizetype most = std::min(tableRowsAtMost(t->db, tab, k.rowidName, rc), kKeyEntries);
        if (*rc != SQLITE_OK)
            return nullptr;
        k.spelled.reserve(size_t(most));
        k.entries.reserve(size_t(most));
        sqlite3_stmt* st = nullptr;
        *rc = sqlite3_prepare_v2(t->db, sql.constData(), int(sql.size()), &st, nullptr);
        if (*rc != SQLITE_OK)
            return nullptr;
        std::u32string folded;
        while ((*rc = sqlite3_step(st)) == SQLITE_ROW) {
            bool unfolded = false, valid = true, spelled = true;
            KeyCase cases;
            folded.clear();
            for (int i = 1; i <= int(cols.size()) && valid; ++i) {
                if (sqlite3_column_type(st, i) == SQLITE_TEXT) {
                    const auto* p = sqlite3_column_text(st, i);
                    const int size = sqlite3_column_bytes(st, i);
                    valid = foldUtf8(p, size, &folded, &unfolded);
                    spelled = spelled && cases.add(p, size);
                }
                folded.push_back(kKeyEnd);
            }
            // Every row with a letter that has another case is kept, in its folded case too: a
            // look-up of keys with such a letter then seeks only the spellings the table holds.
            const bool kept = !spelled || cases.letters > 0;
            const sqlite3_int64 rowid = sqlite3_column_int64(st, 0);
            if (t->keyEntries > 0 && t->keyEntries + qsizetype(k.spelled.size() + k.entries.size()) >= kKeyEntries
                && !t->droppedKeyRows.contains(key)) {
                // Room for this table before the others: theirs are read again if asked for, but
                // do not take the room back from it (two tables looked up in turn would read
                // each other's away at every look-up).
                for (const auto& kept : t->keyRows)
                    t->droppedKeyRows.insert(kept.first);
                t->keyRows.clear();
                t->lastKeyRows = nullptr;
                t->keyEntries = 0;
            }
            if (!valid || (kept && !spelled && (rowid < 0 || rowid > 0xFFFFFFFFll))
                || t->keyEntries + qsizetype(k.spelled.size() + k.entries.size()) >= kKeyEntries) {
                k.byColumn = true;
                k.spelled = {};
                k.entries = {};
                *rc = SQLITE_DONE;
                break;
            }
            if (kept && spelled)
                k.spelled.push_back(quint64(keysHash(folded)) << 32 | cases.cases());
            else if (kept)
                k.entries.push_back(quint64(keysHash(folded)) << 32 | quint64(rowid));
            const qsizetype now = qsizetype(k.spelled.size() + k.entries.size());
            if (kept && now % kCacheStep == 0)
                fitCache(t, keptBytes(t) + now * 8);
        }
        sqlite3_finalize(st);
        if (*rc != SQLITE_DONE)
            return nullptr;
        *rc = SQLITE_OK;
        std::sort(k.spelled.begin(), k.spelled.end());
        k.spelled.erase(std::unique(k.spelled.begin(), k.spelled.end()), k.spelled.end());
        std::sort(k.entries.begin(), k.entries.end());
        t->keyEntries += qsizetype(k.spelled.size() + k.entries.size());
    }
    fitCache(t, keptBytes(t));
    return &(t->keyRows[key] = std::move(k));
}

// Each column's own look-up (what dbe_spellings gives for it), and every combination of them.
int keysByColumn(KeyCursor* k, Table* t, int n, sqlite3_value** argv)
{
    std::vector<std::vector<KeyCursor::Cell>> lists(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        Cursor one;
        one.pVtab = t;
        sqlite3_value* args[3] = {argv[2 + 2 * i], argv[0], argv[1 + 2 * i]};
        const int rc = filter(&one, 3, nullptr, 3, args);
        if (rc != SQLITE_OK)
            return rc;
        for (; !eof(&one); next(&one)) {
            KeyCursor::Cell cell;
            if (one.listed)
                cell.text = one.more[one.row];
            else if (one.other) {
                k->values.push_back(sqlite3_value_dup(one.other));
                cell.value = int(k->values.size()) - 1;
            } else
                cell.text = QByteArray(one.text.data(), qsizetype(one.text.size()));
            lists[size_t(i)].push_back(std::move(cell));
        }
    }
    std::vector<std::vector<KeyCursor::Cell>> rows{{}};
    for (const auto& list : lists) {
        std::vector<std::vector<KeyCursor::Cell>> more;
        for (const auto& r : rows) {
            for (const KeyCursor::Cell& cell : list) {
                more.push_back(r);
                more.back().push_back(cell);
            }
        }
        rows = std::move(more);
    }
    k->rows = std::move(rows);
    return SQLITE_OK;
}

// What the looked-up values x1, x2, ... are: None when one is Null or a column is not named by a
// text (no row then).
enum class KeyValues { None, Ascii, Texts, Other };

KeyValues keyValues(int n, sqlite3_value** argv)
{
    bool texts = true, ascii = true;
    for (int i = 0; i < n; ++i) {
        sqlite3_value* x = argv[2 + 2 * i];
        if (sqlite3_value_type(x) == SQLITE_NULL)
            return KeyValues::None;
        if (sqlite3_value_type(argv[1 + 2 * i]) != SQLITE_TEXT)
            return KeyValues::None;
        if (sqlite3_value_type(x) != SQLITE_TEXT) {
            texts = false;
            continue;
        }
        const auto* p = sqlite3_value_text(x);
        ascii = ascii && std::all_of(p, p + sqlite3_value_bytes(x), [](unsigned char b) { return b < 0x80; });
    }
    if (!texts)
        return KeyValues::Other;
    return ascii ? KeyValues::Ascii : KeyValues::Texts;
}

// The folded keys as a row, each ended by kKeyEnd in folded.
std::vector<KeyCursor::Cell> foldedRow(const std::u32string& folded, int n)
{
    std::vector<KeyCursor::Cell> row;
    qsizetype from = 0;
    for (int i = 0; i < n; ++i) {
        const qsizetype to = qsizetype(folded.find(kKeyEnd, size_t(from)));
        row.push_back({utf8Of(folded.data() + from, to - from), -1});
        from = to + 1;
    }
    return row;
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

// Adds a row of keys unless NOCASE tells it from none of the rows already there (the rows are
// few: a linear search).
void addKeys(KeyCursor* k, std::vector<KeyCursor::Cell>&& row)
{
    const auto same = [&](const std::vector<KeyCursor::Cell>& other) {
        for (size_t i = 0; i < row.size(); ++i) {
            const QByteArray &a = row[i].text, &b = other[i].text;
            if (a.size() != b.size() || sqlite3_strnicmp(a.constData(), b.constData(), int(a.size())) != 0)
                return false;
        }
        return true;
    };
    if (std::none_of(k->rows.begin(), k->rows.end(), same))
        k->rows.push_back(std::move(row));
}

// The keys of the kept spellings filed under the folded keys' hash.
void addSpelledKeys(KeyCursor* k, const KeyRows& kept, const std::u32string& folded, quint64 hash)
{
    std::vector<QByteArray> keys;
    for (auto at = std::lower_bound(kept.spelled.begin(), kept.spelled.end(), hash);
         at != kept.spelled.end() && (*at >> 32) == (hash >> 32); ++at) {
        if (spellKeys(folded, quint32(*at), &keys)) {
            std::vector<KeyCursor::Cell> row;
            for (QByteArray& key : keys)
                row.push_back({std::move(key), -1});
            addKeys(k, std::move(row));
        }
    }
}

// The keys of the kept rows filed under the folded keys' hash, read from the table by their rowid,
// those whose folded keys are the same.
int addReadKeys(sqlite3_vtab_cursor* c, int n, sqlite3_value** argv, const KeyRows& kept, quint64 hash)
{
    auto* t = static_cast<Table*>(c->pVtab);
    auto it = std::lower_bound(kept.entries.begin(), kept.entries.end(), hash);
    if (it == kept.entries.end() || (*it >> 32) != (hash >> 32))
        return SQLITE_OK;
    int rc = SQLITE_OK;
    if (!t->keyRead || t->keyReadOf != t->keysOf) {
        sqlite3_finalize(t->keyRead);
        t->keyRead = nullptr;
        QByteArray sql = "SELECT ";
        for (int i = 0; i < n; ++i)
            sql += (i ? ", " : "") + quoted(textArg(argv[1 + 2 * i]));
        sql += " FROM " + quoted(textArg(argv[0])) + " WHERE " + kept.rowidName + " = ?1";
        rc = sqlite3_prepare_v2(t->db, sql.constData(), int(sql.size()), &t->keyRead, nullptr);
        if (rc != SQLITE_OK)
            return fail(c, t->db, rc);
        t->keyReadOf = t->keysOf;
    }
    sqlite3_stmt* read = t->keyRead;
    std::u32string theirs;
    for (; it != kept.entries.end() && (*it >> 32) == (hash >> 32); ++it) {
        sqlite3_bind_int64(read, 1, sqlite3_int64(*it & 0xFFFFFFFFu));
        if ((rc = sqlite3_step(read)) == SQLITE_ROW) {
            theirs.clear();
            bool ignored = false, valid = true;
            std::vector<KeyCursor::Cell> row;
            for (int i = 0; i < n && valid; ++i) {
                const auto* p = sqlite3_column_text(read, i);
                const int size = sqlite3_column_bytes(read, i);
                valid = sqlite3_column_type(read, i) == SQLITE_TEXT && foldUtf8(p, size, &theirs, &ignored);
                theirs.push_back(kKeyEnd);
                row.push_back({QByteArray(reinterpret_cast<const char*>(p), size), -1});
            }
            if (valid && theirs == t->folded)
                addKeys(keyCur(c), std::move(row));
        }
        sqlite3_reset(read);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            return fail(c, t->db, rc);
    }
    return SQLITE_OK;
}

// dbe_keyspellings(table, column1, x1 [, column2, x2 ...]): the keys that a NOCASE look-up of
// (column1, column2, ...) must try so that it finds exactly the rows whose keys equal x1, x2, ...
// each under DBE_NOCASE: the folded keys, then the keys of every row of the table that the folded
// keys miss and that are equal to them, each once. No row when an x is Null.
int filterKeys(sqlite3_vtab_cursor* c, int idxNum, const char*, int argc, sqlite3_value** argv)
{
    KeyCursor* k = keyCur(c);
    auto* t = static_cast<Table*>(c->pVtab);
    k->row = 0;
    k->rows.clear();
    for (sqlite3_value* v : k->values)
        sqlite3_value_free(v);
    k->values.clear();
    const int n = std::min(idxNum, (argc - 1) / 2);
    k->columns = n;
    if (n <= 0 || sqlite3_value_type(argv[0]) != SQLITE_TEXT)
        return SQLITE_OK;
    switch (keyValues(n, argv)) {
    case KeyValues::None: return SQLITE_OK;
    case KeyValues::Ascii: {  // NOCASE finds every spelling
        std::vector<KeyCursor::Cell> row;
        for (int i = 0; i < n; ++i)
            row.push_back({textArg(argv[2 + 2 * i]), -1});
        k->rows.push_back(std::move(row));
        return SQLITE_OK;
    }
    case KeyValues::Other: return keysByColumn(k, t, n, argv);
    case KeyValues::Texts: break;
    }
    // The looked-up keys, folded.
    std::u32string& folded = t->folded;
    folded.clear();
    bool unfolded = false;
    for (int i = 0; i < n; ++i) {
        sqlite3_value* x = argv[2 + 2 * i];
        if (!foldUtf8(sqlite3_value_text(x), sqlite3_value_bytes(x), &folded, &unfolded))
            return keysByColumn(k, t, n, argv);
        folded.push_back(kKeyEnd);
    }
    // Keys without a letter that has another case: the folded keys alone, which NOCASE finds in
    // every spelling.
    if (std::none_of(folded.begin(), folded.end(), [](char32_t f) { return f != kKeyEnd && classIndex(f) >= 0; })) {
        k->rows.push_back(foldedRow(folded, n));
        return SQLITE_OK;
    }
    const KeyRows* kept = nullptr;
    if (const int rc = currentKeyRows(t, n, argv, &kept); rc != SQLITE_OK)
        return fail(c, t->db, rc);
    if (!kept || kept->byColumn)
        return keysByColumn(k, t, n, argv);
    // The keys of the kept rows whose folded keys are the same: every row with a letter that has
    // another case is kept. Each once, as NOCASE tells them apart.
    const quint64 hash = quint64(keysHash(folded)) << 32;
    addSpelledKeys(k, *kept, folded, hash);
    return addReadKeys(c, n, argv, *kept, hash);
}

int nextKeys(sqlite3_vtab_cursor* c)
{
    ++keyCur(c)->row;
    return SQLITE_OK;
}

int eofKeys(sqlite3_vtab_cursor* c) { return keyCur(c)->row >= keyCur(c)->rows.size(); }

int columnKeys(sqlite3_vtab_cursor* c, sqlite3_context* ctx, int col)
{
    const KeyCursor* k = keyCur(c);
    if (col >= k->columns || col >= kMaxKeyColumns) {
        sqlite3_result_null(ctx);
        return SQLITE_OK;
    }
    const KeyCursor::Cell& cell = k->rows[k->row][size_t(col)];
    if (cell.value >= 0)
        sqlite3_result_value(ctx, k->values[size_t(cell.value)]);
    else
        sqlite3_result_text(ctx, cell.text.constData(), int(cell.text.size()), SQLITE_TRANSIENT);
    return SQLITE_OK;
}

int rowidKeys(sqlite3_vtab_cursor* c, sqlite_int64* out)
{
    *out = sqlite_int64(keyCur(c)->row);
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
    sqlite3_create_module_v2(db, kKeySpellingsTable, &kKeysModule, nullptr, nullptr);
}

}  // namespace detail

}  // namespace dbe
