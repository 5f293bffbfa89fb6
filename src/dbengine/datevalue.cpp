#include "datevalue.h"

#include <cmath>

namespace dbe {

namespace {

const qint64 kEpochJulianDay = QDate(1899, 12, 30).toJulianDay();
constexpr double kMsPerDay = 86400000.0;

}  // namespace

bool serialFromStoredText(const char* text, int n, double* serial)
{
    auto num = [text](int from, int len) {
        int v = 0;
        for (int i = from; i < from + len; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return -1;
            v = v * 10 + (text[i] - '0');
        }
        return v;
    };
    if ((n != 10 && n != 16 && n < 19) || n > 23 || text[4] != '-' || text[7] != '-')
        return false;
    const int y = num(0, 4), mo = num(5, 2), da = num(8, 2);
    if (y <= 0 || !QDate::isValid(y, mo, da))
        return false;
    int h = 0, mi = 0, se = 0, ms = 0;
    if (n > 10) {
        if ((text[10] != ' ' && text[10] != 'T') || text[13] != ':')
            return false;
        h = num(11, 2);
        mi = num(14, 2);
        if (n > 16) {
            if (text[16] != ':')
                return false;
            se = num(17, 2);
            if (n > 19) {
                if (text[19] != '.' || n == 20)
                    return false;
                ms = num(20, n - 20);
                for (int k = n - 20; k < 3; ++k)
                    ms *= 10;
            }
        }
        if (!QTime::isValid(h, mi, se, ms))
            return false;
    }
    const double days = double(QDate(y, mo, da).toJulianDay() - kEpochJulianDay);
    *serial = days + double(((h * 60 + mi) * 60 + se) * 1000 + ms) / kMsPerDay;
    return true;
}

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
    if (!serialFromStoredText(utf8.constData(), int(utf8.size()), &serial))
        return QDateTime();
    return dateFromSerial(serial);
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
