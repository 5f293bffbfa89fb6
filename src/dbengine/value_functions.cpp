#include "value_functions.h"

#include "dbengine/date_value.h"
#include "dbengine/db_error.h"
#include "dbengine/db_types.h"
#include "dbengine/number_text.h"
#include "spelling_table.h"
#include "sqlite_call.h"

#include <QChar>
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <sqlite3.h>

namespace dbe {

namespace {

char32_t foldOutsideAscii(char32_t c)
{
    const char32_t lower = QChar::toLower(c);
    return lower < 0x80 ? c : lower;
}

}  // namespace

char32_t foldLetter(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    // The Latin, Greek and Cyrillic letters (below 0x800) from a table made once.
    static const std::array<char32_t, 0x800> table = [] {
        std::array<char32_t, 0x800> t{};
        for (char32_t k = 0x80; k < t.size(); ++k)
            t[k] = foldOutsideAscii(k);
        return t;
    }();
    return c < table.size() ? table[c] : foldOutsideAscii(c);
}

bool hasReading(short type)
{
    switch (type) {
    case dbBoolean:
    case dbByte:
    case dbInteger:
    case dbLong:
    case dbCurrency:
    case dbSingle:
    case dbDouble:
    case dbDecimal:
    case dbDate: return true;
    default: return false;
    }
}

Reading readStoredNumber(double d, short type, double* out)
{
    if (!hasReading(type))
        return Reading::Read;
    if (type == dbDate && !serialInRange(d))
        return Reading::Unreadable;
    *out = type == dbBoolean ? (d != 0 ? -1 : 0) : d;
    return Reading::Read;
}

Reading readStoredText(const char* utf8, int size, short type, double* out)
{
    if (!hasReading(type))
        return Reading::Read;
    bool ok = false;
    if (type == dbDate) {
        ok = serialFromStoredText(utf8, size, out);
    } else if (type == dbBoolean) {
        bool b = false;
        ok = yesNoFromStoredText(utf8, size, &b);
        *out = b ? -1 : 0;
    } else {
        ok = numberFromStoredText(utf8, size, out);
    }
    return ok ? Reading::Read : Reading::Unreadable;
}

QString nextCounterSql(const QString& column, const QString& table)
{
    return QStringLiteral("(SELECT max(coalesce((SELECT max(%1) FROM %2 WHERE %1 < ''), 0), "
                          "coalesce((SELECT max(%3(%1)) FROM %2 WHERE %1 >= ''), 0)) + 1)")
        .arg(column, table, QLatin1String(kNumberFunction));
}

Reading readStored(sqlite3_value* v, short type, double* out)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        if (type != dbBoolean)
            return Reading::Null;
        *out = 0;  // a yes/no left empty by another program is False
        return Reading::Read;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: return readStoredNumber(sqlite3_value_double(v), type, out);
    case SQLITE_BLOB: return hasReading(type) ? Reading::Unreadable : Reading::Read;
    default:
        return readStoredText(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v), type, out);
    }
}

namespace {

// One code point of UTF-8 text at p (before end), moving p past it. Bytes that are not valid
// UTF-8 are taken one by one, as themselves.
char32_t nextCodePoint(const unsigned char*& p, const unsigned char* end)
{
    const unsigned char b = *p++;
    if (b < 0xC0)
        return b;
    const int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
    char32_t c = b & (0x3F >> more);
    for (int k = 0; k < more; ++k) {
        if (p == end || (*p & 0xC0) != 0x80)
            return b;
        c = (c << 6) | (*p++ & 0x3F);
    }
    return c;
}

// The letter a letter is sorted with: its base letter without accents, in lower case ("À" and
// "à" with "a"), for the Latin letters an Italian archive holds; any other character itself.
char32_t sortLetter(char32_t c)
{
    static const std::array<char32_t, 0x250> table = [] {
        std::array<char32_t, 0x250> t{};
        for (char32_t k = 0; k < t.size(); ++k) {
            const QString d = QChar(char16_t(k)).decomposition();
            const char32_t base = QChar(char16_t(k)).decompositionTag() == QChar::Canonical && !d.isEmpty()
                                      ? char32_t(d[0].unicode())
                                      : k;
            t[k] = foldLetter(base);
        }
        return t;
    }();
    return c < table.size() ? table[c] : foldLetter(c);
}

// Equal texts are those equal letter by letter after folding the case; they sort by their
// letters without accents first ("àbc" before "b"), then by the accents. One pass over both: the
// first letters that differ without their accents decide; texts equal so decide by their first
// letters that differ after folding.
int nocaseCompare(void*, int n1, const void* s1, int n2, const void* s2)
{
    // The same bytes are the same text: a join's keys mostly are.
    if (n1 == n2 && (n1 == 0 || std::memcmp(s1, s2, size_t(n1)) == 0))
        return 0;
    auto* a = static_cast<const unsigned char*>(s1);
    auto* b = static_cast<const unsigned char*>(s2);
    const unsigned char *ea = a + n1, *eb = b + n2;
    int folded = 0;  // the first difference after folding, once there is one
    while (a < ea && b < eb) {
        if (*a < 0x80 && *b < 0x80) {  // the common case: two ASCII characters
            unsigned char ca = *a++, cb = *b++;
            if (ca >= 'A' && ca <= 'Z')
                ca += 32;
            if (cb >= 'A' && cb <= 'Z')
                cb += 32;
            if (ca != cb)
                return ca < cb ? -1 : 1;
            continue;
        }
        const char32_t ra = nextCodePoint(a, ea), rb = nextCodePoint(b, eb);
        if (ra == rb)
            continue;
        const char32_t sa = sortLetter(ra), sb = sortLetter(rb);
        if (sa != sb)
            return sa < sb ? -1 : 1;
        if (folded == 0) {
            const char32_t fa = foldLetter(ra), fb = foldLetter(rb);
            if (fa != fb)
                folded = fa < fb ? -1 : 1;
        }
    }
    if (a < ea)
        return 1;
    return b < eb ? -1 : folded;
}

QString textOf(sqlite3_value* v)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
}

// dbe_date, dbe_number and dbe_yesno: the reading of their type, and what an unreadable value gives
// in each mode.
void readFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv, short type)
{
    sqlite3_value* v = argv[0];
    double d = 0;
    switch (readStored(v, type, &d)) {
    case Reading::Null: sqlite3_result_null(ctx); return;
    case Reading::Read:
        if (sqlite3_value_type(v) == SQLITE_INTEGER && type != dbBoolean)
            sqlite3_result_int64(ctx, sqlite3_value_int64(v));
        else if (type == dbBoolean)
            sqlite3_result_int(ctx, d != 0 ? -1 : 0);
        else
            sqlite3_result_double(ctx, d);
        return;
    case Reading::Unreadable: break;
    }
    switch (argc > 1 ? sqlite3_value_int(argv[1]) : kReadCompare) {
    case kReadStrict:
        if (type == dbDate && sqlite3_value_type(v) == SQLITE_TEXT) {
            // A text compared with a date may be one typed by a person.
            const QDateTime dt = dateFromItalianText(textOf(v));
            if (dt.isValid()) {
                sqlite3_result_double(ctx, dateSerial(dt));
                return;
            }
        }
        detail::resultError(ctx, DbError::make(err::TypeMismatch));
        return;
    case kReadSort:
        // As stored: a text or bytes sort after every number; a number out of range as its text.
        if (sqlite3_value_type(v) == SQLITE_INTEGER || sqlite3_value_type(v) == SQLITE_FLOAT)
            sqlite3_result_text(ctx, reinterpret_cast<const char*>(sqlite3_value_text(v)), -1, SQLITE_TRANSIENT);
        else
            sqlite3_result_value(ctx, v);
        return;
    default: sqlite3_result_null(ctx);
    }
}

// Days from 1 March of year 0 of the proleptic Gregorian calendar to the given day.
qint64 civilDays(int y, int m, int d)
{
    y -= m <= 2 ? 1 : 0;
    const qint64 era = y / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy;
}

// The engine's own date form, "yyyy-MM-dd HH:mm:ss" of a real day and time from year 100, read
// straight into its day number: the same number the full reading gives, at a fraction of its cost.
// False for any other value, which the full reading then takes.
bool engineDateSerial(sqlite3_value* v, double* serial)
{
    if (sqlite3_value_type(v) != SQLITE_TEXT || sqlite3_value_bytes(v) != 19)
        return false;
    const unsigned char* t = sqlite3_value_text(v);
    static const char shape[] = "0000-00-00 00:00:00";
    for (int i = 0; i < 19; ++i) {
        if (shape[i] == '0' ? (t[i] < '0' || t[i] > '9') : t[i] != shape[i])
            return false;
    }
    const auto two = [t](int i) { return (t[i] - '0') * 10 + (t[i + 1] - '0'); };
    const int y = two(0) * 100 + two(2), m = two(5), d = two(8), h = two(11), mi = two(14), se = two(17);
    if (y < 100 || m < 1 || m > 12 || d < 1 || h > 23 || mi > 59 || se > 59)
        return false;
    static const int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (d > monthDays[m - 1] + (m == 2 && leap ? 1 : 0))
        return false;
    static const qint64 epoch = civilDays(1899, 12, 30);
    const int msOfDay = ((h * 60 + mi) * 60 + se) * 1000;
    *serial = double(civilDays(y, m, d) - epoch) + double(msOfDay) / 86400000.0;
    return true;
}

void dateFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    double serial = 0;
    if (engineDateSerial(argv[0], &serial)) {
        sqlite3_result_double(ctx, serial);
        return;
    }
    readFunction(ctx, argc, argv, dbDate);
}

void numberFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) { readFunction(ctx, argc, argv, dbDouble); }

void yesNoFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) { readFunction(ctx, argc, argv, dbBoolean); }

void unreadableFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double d = 0;
    const short type = short(sqlite3_value_int(argv[1]));
    const bool unreadable =
        sqlite3_value_type(argv[0]) != SQLITE_NULL && readStored(argv[0], type, &d) == Reading::Unreadable;
    sqlite3_result_int(ctx, unreadable ? 1 : 0);
}

// True when v is a date text of the engine's own form ("yyyy-MM-dd HH:mm:ss") of a real day and
// time from year 100: surely read, told without the full reading.
bool plainStoredDate(sqlite3_value* v)
{
    double serial = 0;
    return engineDateSerial(v, &serial);
}

// dbe_unreadable_count(x, type): the aggregate count of the values of x that are unreadable as
// dbe_unreadable says; the engine's own date texts and the numbers of a number field cost no reading.
void unreadableCountStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* count = static_cast<sqlite3_int64*>(sqlite3_aggregate_context(ctx, sizeof(sqlite3_int64)));
    if (!count)
        return;
    const int kind = sqlite3_value_type(argv[0]);
    if (kind == SQLITE_NULL)
        return;
    const short type = short(sqlite3_value_int(argv[1]));
    if (type == dbDate ? plainStoredDate(argv[0]) : (kind == SQLITE_INTEGER || kind == SQLITE_FLOAT))
        return;
    double d = 0;
    if (readStored(argv[0], type, &d) == Reading::Unreadable)
        ++*count;
}

void unreadableCountFinal(sqlite3_context* ctx)
{
    auto* count = static_cast<sqlite3_int64*>(sqlite3_aggregate_context(ctx, 0));
    sqlite3_result_int64(ctx, count ? *count : 0);
}

// Whether a stored value of a text field is plain: Null, or a text of valid UTF-8 with no letter
// outside ASCII that has another case (SQLite's NOCASE then tells it apart from another such text
// exactly as DBE_NOCASE does).
bool plainStoredText(sqlite3_value* v)
{
    const int kind = sqlite3_value_type(v);
    if (kind == SQLITE_NULL)
        return true;
    if (kind != SQLITE_TEXT)
        return false;
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
    const int n = sqlite3_value_bytes(v);
    int i = 0;
    while (i < n && static_cast<unsigned char>(t[i]) < 0x80)
        ++i;
    if (i == n)
        return true;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(QByteArrayView(t + i, n - i));
    return !utf8.hasError() && !hasNonAsciiCase(text);
}

// dbe_census(type1, x1, type2, x2, ...): for each field, one 64-bit word of the blob it returns:
// bit 0 set when a value is not plain (plainStoredText for a text or memo field, the engine's own
// date text or Null for a date field; any other type is never plain), the rest twice the count of
// unreadable values as dbe_unreadable_count gives it. Null when the table has no record.
void censusStep(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    const int n = argc / 2;
    // words[0]: the number of fields, set at the first record; then one word a field.
    auto* words = static_cast<sqlite3_int64*>(sqlite3_aggregate_context(ctx, int(sizeof(sqlite3_int64)) * (n + 1)));
    if (!words)
        return;
    sqlite3_int64* field = words + 1;
    if (words[0] == 0) {
        for (int c = 0; c < n; ++c) {
            const short type = short(sqlite3_value_int(argv[2 * c]));
            if (type != dbText && type != dbMemo && type != dbDate)
                field[c] |= 1;
        }
        words[0] = n;
    }
    for (int c = 0; c < n; ++c) {
        const short type = short(sqlite3_value_int(argv[2 * c]));
        sqlite3_value* v = argv[2 * c + 1];
        if (type == dbText || type == dbMemo) {
            if (!(field[c] & 1) && !plainStoredText(v))
                field[c] |= 1;
            continue;
        }
        const int kind = sqlite3_value_type(v);
        if (kind == SQLITE_NULL || !hasReading(type))
            continue;
        if (type == dbDate ? plainStoredDate(v) : (kind == SQLITE_INTEGER || kind == SQLITE_FLOAT))
            continue;
        field[c] |= 1;
        double d = 0;
        if (readStored(v, type, &d) == Reading::Unreadable)
            field[c] += 2;
    }
}

void censusFinal(sqlite3_context* ctx)
{
    const auto* words = static_cast<const sqlite3_int64*>(sqlite3_aggregate_context(ctx, 0));
    if (!words || words[0] == 0) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_blob(ctx, words + 1, int(words[0] * sqlite3_int64(sizeof(sqlite3_int64))), SQLITE_TRANSIENT);
}

void caseFunction(sqlite3_context* ctx, sqlite3_value* v, bool upper)
{
    if (sqlite3_value_type(v) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
    const QByteArray out = (upper ? text.toUpper() : text.toLower()).toUtf8();
    sqlite3_result_text64(ctx, out.constData(), sqlite3_uint64(out.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void upperFunction(sqlite3_context* ctx, int, sqlite3_value** argv) { caseFunction(ctx, argv[0], true); }

void lowerFunction(sqlite3_context* ctx, int, sqlite3_value** argv) { caseFunction(ctx, argv[0], false); }

void hasCaseFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_value* v = argv[0];
    if (sqlite3_value_type(v) != SQLITE_TEXT) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    const auto* p = sqlite3_value_text(v);
    const int n = sqlite3_value_bytes(v);
    int i = 0;
    while (i < n && p[i] < 0x80)
        ++i;
    sqlite3_result_int(ctx, i < n && hasNonAsciiCase(textOf(v)) ? 1 : 0);
}

// The dialect's LIKE over code points: * any text, ? one character, # one digit, [list] [!list]
// with ranges; letters compared by their folded case. A '[' that opens no closed list is itself.
bool likeMatch(const char32_t* s, const char32_t* se, const char32_t* p, const char32_t* pe)
{
    while (p < pe) {
        if (*p == U'*') {
            while (p < pe && *p == U'*')
                ++p;
            if (p == pe)
                return true;
            for (const char32_t* k = s; k <= se; ++k) {
                if (likeMatch(k, se, p, pe))
                    return true;
            }
            return false;
        }
        if (s == se)
            return false;
        const char32_t c = *s;
        if (*p == U'?') {
            ++p;
        } else if (*p == U'#') {
            if (c < U'0' || c > U'9')
                return false;
            ++p;
        } else if (*p == U'[' && pe - p >= 3 && std::find(p + 2, pe, U']') != pe) {
            const char32_t* q = p + 1;
            const bool negate = *q == U'!' && q + 1 < pe && q[1] != U']';
            if (negate)
                ++q;
            bool found = false;
            bool first = true;
            for (; q < pe && (*q != U']' || first); first = false) {
                char32_t lo = *q, hi = *q;
                if (q + 2 < pe && q[1] == U'-' && q[2] != U']') {
                    hi = q[2];
                    q += 3;
                } else {
                    ++q;
                }
                const char32_t f = foldLetter(c), u = QChar::toUpper(c);
                found = found || (c >= lo && c <= hi) || (f >= foldLetter(lo) && f <= foldLetter(hi))
                        || (u >= char32_t(QChar::toUpper(lo)) && u <= char32_t(QChar::toUpper(hi)));
            }
            if (found == negate)
                return false;
            p = q + 1;
        } else {
            if (foldLetter(c) != foldLetter(*p))
                return false;
            ++p;
        }
        ++s;
    }
    return s == se;
}

void likeFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QList<uint> s = textOf(argv[0]).toUcs4(), p = textOf(argv[1]).toUcs4();
    const auto* sb = reinterpret_cast<const char32_t*>(s.constData());
    const auto* pb = reinterpret_cast<const char32_t*>(p.constData());
    sqlite3_result_int(ctx, likeMatch(sb, sb + s.size(), pb, pb + p.size()) ? 1 : 0);
}

// The running sum of dbe_cursum: whole ten-thousandths.
struct CurrencySum {
    qint64 total;
    bool any;
};

void currencyStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* s = static_cast<CurrencySum*>(sqlite3_aggregate_context(ctx, sizeof(CurrencySum)));
    if (!s)
        return;
    sqlite3_value* v = argv[0];
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL: return;
    case SQLITE_INTEGER: s->total += sqlite3_value_int64(v) * 10000; break;
    default: s->total += std::llround(sqlite3_value_double(v) * 10000.0); break;
    }
    s->any = true;
}

void currencyFinal(sqlite3_context* ctx)
{
    auto* s = static_cast<CurrencySum*>(sqlite3_aggregate_context(ctx, 0));
    if (!s || !s->any) {
        sqlite3_result_null(ctx);
        return;
    }
    // The double nearest to the exact decimal sum, the one its text reads as.
    sqlite3_result_double(ctx, double(s->total) / 10000.0);
}

}  // namespace

namespace detail {

void registerValueFunctions(sqlite3* db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    sqlite3_create_function_v2(db, kDateFunction, 1, flags, nullptr, dateFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, kDateFunction, 2, flags, nullptr, dateFunction, nullptr, nullptr, nullptr);
    for (const int n : {1, 2}) {
        sqlite3_create_function_v2(db, kNumberFunction, n, flags, nullptr, numberFunction, nullptr, nullptr, nullptr);
        sqlite3_create_function_v2(db, kYesNoFunction, n, flags, nullptr, yesNoFunction, nullptr, nullptr, nullptr);
    }
    sqlite3_create_function_v2(db, kUnreadableFunction, 2, flags, nullptr, unreadableFunction, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, kUnreadableCountFunction, 2, flags, nullptr, nullptr, unreadableCountStep,
                               unreadableCountFinal, nullptr);
    sqlite3_create_function_v2(db, kCensusFunction, -1, flags, nullptr, nullptr, censusStep, censusFinal, nullptr);
    sqlite3_create_function_v2(db, kUpperFunction, 1, flags, nullptr, upperFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, kLowerFunction, 1, flags, nullptr, lowerFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, kHasCaseFunction, 1, flags, nullptr, hasCaseFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, kLikeFunction, 2, flags, nullptr, likeFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, kCurrencySumFunction, 1, flags, nullptr, nullptr, currencyStep, currencyFinal,
                               nullptr);
    registerSpellingTable(db);
    sqlite3_create_collation_v2(db, kNocaseCollation, SQLITE_UTF8, nullptr, nocaseCompare, nullptr);
}

}  // namespace detail

}  // namespace dbe
