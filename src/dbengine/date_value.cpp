#include "dbengine/date_value.h"

#include "dbengine/number_text.h"

#include <cmath>

namespace dbe {

namespace {

const qint64 kEpochJulianDay = QDate(1899, 12, 30).toJulianDay();
constexpr double kMsPerDay = 86400000.0;
// Day numbers of 1 January 100 and of the day after 31 December 9999.
const double kFirstSerial = double(QDate(100, 1, 1).toJulianDay() - kEpochJulianDay);
const double kEndSerial = double(QDate(10000, 1, 1).toJulianDay() - kEpochJulianDay);

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A cursor over the bytes of a stored text.
struct Reader {
    const char* p;
    const char* end;

    bool atEnd() const { return p == end; }
    bool take(char c)
    {
        if (p == end || *p != c)
            return false;
        ++p;
        return true;
    }
    // Exactly n digits; -1 when they are not there.
    int digits(int n)
    {
        if (end - p < n)
            return -1;
        int v = 0;
        for (int i = 0; i < n; ++i) {
            if (!isDigit(p[i]))
                return -1;
            v = v * 10 + (p[i] - '0');
        }
        p += n;
        return v;
    }
    // One or two digits; -1 when there are none.
    int oneOrTwo()
    {
        if (p == end || !isDigit(*p))
            return -1;
        int v = *p++ - '0';
        if (p != end && isDigit(*p))
            v = v * 10 + (*p++ - '0');
        return v;
    }
};

// "H:mm[:ss[.f...]]" and an optional zone, to the end of the text; false when it is not that.
bool readTime(Reader& r, int* msOfDay)
{
    const int h = r.oneOrTwo();
    if (h < 0 || !r.take(':'))
        return false;
    const int mi = r.digits(2);
    int se = 0, ms = 0;
    if (mi < 0)
        return false;
    if (r.take(':')) {
        se = r.digits(2);
        if (se < 0)
            return false;
        if (r.take('.')) {
            int n = 0;
            for (; !r.atEnd() && isDigit(*r.p); ++r.p, ++n) {
                if (n < 3)
                    ms = ms * 10 + (*r.p - '0');
            }
            if (n == 0)
                return false;
            for (; n < 3; ++n)
                ms *= 10;
        }
    }
    // The zone: read, and left out of the value.
    if (!r.take('Z') && !r.take('z') && !r.atEnd()) {
        if (!r.take('+') && !r.take('-'))
            return false;
        if (r.digits(2) < 0)
            return false;
        if (!r.atEnd()) {
            r.take(':');
            if (r.digits(2) < 0)
                return false;
        }
    }
    if (!r.atEnd() || h > 23 || mi > 59 || se > 59)
        return false;
    *msOfDay = ((h * 60 + mi) * 60 + se) * 1000 + ms;
    return true;
}

// A day number written as text.
bool readDayNumber(const char* text, int n, double* serial)
{
    if (n == 0 || n > 40)
        return false;
    const QString t = QString::fromLatin1(text, n);
    double d = 0;
    bool ok = parseItalianNumber(t, &d);
    if (!ok) {
        // A decimal point: digits, a point, digits, nothing else.
        int i = (text[0] == '-' || text[0] == '+') ? 1 : 0, points = 0, digits = 0;
        for (; i < n; ++i) {
            if (text[i] == '.')
                ++points;
            else if (isDigit(text[i]))
                ++digits;
            else
                return false;
        }
        if (points != 1 || digits == 0)
            return false;
        d = t.toDouble(&ok);
    }
    if (!ok || !serialInRange(d))
        return false;
    *serial = d;
    return true;
}

}  // namespace

bool serialInRange(double serial) { return std::isfinite(serial) && serial >= kFirstSerial && serial < kEndSerial; }

namespace {

// The stored forms; day numbers written as text only when dayNumbers.
bool readStoredForm(const char* text, int n, double* serial, bool dayNumbers)
{
    if (n <= 0)
        return false;
    Reader r{text, text + n};
    int msOfDay = 0;
    // A time alone.
    if (n >= 3 && (text[1] == ':' || text[2] == ':')) {
        if (!readTime(r, &msOfDay))
            return false;
        *serial = double(msOfDay) / kMsPerDay;
        return true;
    }
    if (n < 10 || (text[4] != '-' && text[4] != '/'))
        return dayNumbers && readDayNumber(text, n, serial);
    const char sep = text[4];
    const int y = r.digits(4);
    r.take(sep);
    const int mo = r.digits(2);
    if (!r.take(sep))
        return false;
    const int da = r.digits(2);
    if (y < 100 || mo < 0 || da < 0 || !QDate::isValid(y, mo, da))
        return false;
    if (!r.atEnd()) {
        if (!r.take('T') && !r.take(' '))
            return false;
        if (!readTime(r, &msOfDay))
            return false;
    }
    const double days = double(QDate(y, mo, da).toJulianDay() - kEpochJulianDay);
    *serial = days + double(msOfDay) / kMsPerDay;
    return true;
}

}  // namespace

bool serialFromStoredText(const char* text, int n, double* serial) { return readStoredForm(text, n, serial, true); }

double dateSerial(const QDateTime& dt)
{
    const double days = double(dt.date().toJulianDay() - kEpochJulianDay);
    return days + double(dt.time().msecsSinceStartOfDay()) / kMsPerDay;
}

QDateTime dateFromSerial(double serial)
{
    const qint64 ms = qint64(std::llround(serial * kMsPerDay));
    qint64 days = ms / qint64(kMsPerDay);
    qint64 rest = ms % qint64(kMsPerDay);
    if (rest < 0) {
        rest += qint64(kMsPerDay);
        --days;
    }
    return QDateTime(QDate::fromJulianDay(kEpochJulianDay + days), QTime::fromMSecsSinceStartOfDay(int(rest)));
}

QDateTime dateFromStoredText(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    double serial = 0;
    if (!readStoredForm(utf8.constData(), int(utf8.size()), &serial, false))
        return QDateTime();
    return dateFromSerial(serial);
}

bool isTimeOnly(const QDateTime& dt) { return dt.date() == QDate(1899, 12, 30); }

QDateTime dateFromItalianText(const QString& text)
{
    const QString t = text.trimmed();
    QDateTime dt = dateFromStoredText(t);
    if (dt.isValid())
        return dt;
    static const char* const kForms[] = {"d/M/yyyy H:mm:ss", "d/M/yyyy H:mm", "d/M/yyyy",         "d-M-yyyy H:mm:ss",
                                         "d-M-yyyy H:mm",    "d-M-yyyy",      "d.M.yyyy H:mm:ss", "d.M.yyyy"};
    for (const char* f : kForms) {
        dt = QDateTime::fromString(t, QString::fromLatin1(f));
        // Years the stored forms read, and no others: a typed 5/3/0050 would be written as a text
        // the engine itself could not read back.
        if (dt.isValid() && dt.date().year() >= 100 && dt.date().year() <= 9999)
            return QDateTime(dt.date(), dt.time());
    }
    return QDateTime();
}

}  // namespace dbe
