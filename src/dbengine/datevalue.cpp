#include "datevalue.h"

#include <cmath>

namespace dbe {

namespace {

const qint64 kEpochJulianDay = QDate(1899, 12, 30).toJulianDay();
constexpr double kMsPerDay = 86400000.0;

// The digits of text from..from+n-1 as a number; -1 when one of them is not a digit.
int digits(const QString& text, int from, int n)
{
    int v = 0;
    for (int i = from; i < from + n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        v = v * 10 + (c - u'0');
    }
    return v;
}

}  // namespace

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
    const int n = int(text.size());
    if (n != 10 && n < 16)
        return QDateTime();
    const int y = digits(text, 0, 4), mo = digits(text, 5, 2), da = digits(text, 8, 2);
    if (y <= 0 || mo < 0 || da < 0 || text[4] != u'-' || text[7] != u'-')
        return QDateTime();
    const QDate d(y, mo, da);
    if (!d.isValid())
        return QDateTime();
    if (n == 10)
        return QDateTime(d, QTime(0, 0));
    // "yyyy-MM-dd HH:mm[:ss[.zzz]]", with a blank or a "T".
    if ((text[10] != u' ' && text[10] != u'T') || text[13] != u':')
        return QDateTime();
    const int h = digits(text, 11, 2), mi = digits(text, 14, 2);
    int se = 0, ms = 0;
    if (n > 16) {
        if (n < 19 || text[16] != u':')
            return QDateTime();
        se = digits(text, 17, 2);
        if (n > 19) {
            if (text[19] != u'.' || n == 20 || n > 23)
                return QDateTime();
            ms = digits(text, 20, n - 20);
            for (int k = n - 20; k < 3; ++k)
                ms *= 10;
        }
    }
    const QTime t(h, mi, se, ms);
    if (h < 0 || mi < 0 || se < 0 || ms < 0 || !t.isValid())
        return QDateTime();
    return QDateTime(d, t);
}

QDateTime dateFromItalianText(const QString& text)
{
    const QString t = text.trimmed();
    QDateTime dt = dateFromStoredText(t);
    if (dt.isValid())
        return dt;
    static const char* const kForms[] = {"d/M/yyyy H:mm:ss", "d/M/yyyy H:mm", "d/M/yyyy", "d-M-yyyy H:mm:ss",
                                         "d-M-yyyy H:mm", "d-M-yyyy", "d.M.yyyy H:mm:ss", "d.M.yyyy"};
    for (const char* f : kForms) {
        dt = QDateTime::fromString(t, QString::fromLatin1(f));
        if (dt.isValid())
            return QDateTime(dt.date(), dt.time());
    }
    return QDateTime();
}

QStringList storedDateTexts(const QDateTime& dt)
{
    const QString day = dt.date().toString(QStringLiteral("yyyy-MM-dd"));
    const QString time = dt.time().toString(QStringLiteral("HH:mm:ss"));
    QStringList forms{day + u' ' + time, day + u'T' + time};
    if (dt.time() == QTime(0, 0))
        forms.append(day);
    return forms;
}

}  // namespace dbe
