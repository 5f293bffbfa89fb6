#include "text_format.h"

#include "dbengine/date_value.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace dbe::detail {

namespace {

const QLocale& italian()
{
    static const QLocale l(QLocale::Italian, QLocale::Italy);
    return l;
}

QString two(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

// A number by a pattern of 0 # . , % and E+00, everything else copied; the output has the
// decimal comma and the point between groups of three digits.
QString formatSection(double value, const QString& pattern)
{
    QString prefix, suffix, digits;
    int first = -1, last = -1;
    for (int i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'"') {
            const int close = pattern.indexOf(u'"', i + 1);
            i = close < 0 ? int(pattern.size()) : close;
            continue;
        }
        if (c == u'\\') {
            ++i;
            continue;
        }
        if (c == u'0' || c == u'#' || c == u'.' || (c == u',' && first >= 0)) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    // Literal text before and after the placeholders, quotes and escapes undone.
    auto literal = [&pattern](int from, int to, double* scale, int* exponentDigits, bool* expSign) {
        QString out;
        for (int i = from; i < to; ++i) {
            const QChar c = pattern[i];
            if (c == u'"') {
                const int close = pattern.indexOf(u'"', i + 1);
                const int end = close < 0 ? int(pattern.size()) : close;
                out += pattern.mid(i + 1, end - i - 1);
                i = end;
            } else if (c == u'\\') {
                out += pattern.mid(i + 1, 1);
                ++i;
            } else if (c == u'%') {
                *scale *= 100;
                out += c;
            } else if ((c == u'E' || c == u'e') && i + 1 < to && (pattern[i + 1] == u'+' || pattern[i + 1] == u'-')
                       && exponentDigits && *exponentDigits < 0) {
                *expSign = pattern[i + 1] == u'+';
                int k = i + 2, n = 0;
                while (k < to && (pattern[k] == u'0' || pattern[k] == u'#'))
                    ++k, ++n;
                *exponentDigits = n;
                out += QChar(0xE000);  // where the exponent goes
                i = k - 1;
            } else {
                out += c;
            }
        }
        return out;
    };
    double scale = 1;
    int exponentDigits = -1;
    bool expSign = false;
    if (first < 0)
        return literal(0, int(pattern.size()), &scale, nullptr, &expSign);
    prefix = literal(0, first, &scale, nullptr, &expSign);
    suffix = literal(last + 1, int(pattern.size()), &scale, &exponentDigits, &expSign);
    digits = pattern.mid(first, last - first + 1);
    const int point = int(digits.indexOf(u'.'));
    const QString intPart = point < 0 ? digits : digits.left(point);
    const QString decPart = point < 0 ? QString() : digits.mid(point + 1);
    const bool grouping = intPart.contains(u',');
    const int minInt = int(intPart.count(u'0'));
    const int decimals = int(decPart.count(u'0') + decPart.count(u'#'));
    const int minDec = int(decPart.count(u'0'));
    double v = std::fabs(value) * scale;
    int exponent = 0;
    if (exponentDigits >= 0 && v != 0) {
        exponent = int(std::floor(std::log10(v))) - qMax(minInt, 1) + 1;
        v /= std::pow(10.0, exponent);
    }
    QString fixed = QString::number(v, 'f', decimals);
    const int dot = int(fixed.indexOf(u'.'));
    QString whole = dot < 0 ? fixed : fixed.left(dot);
    QString frac = dot < 0 ? QString() : fixed.mid(dot + 1);
    while (frac.size() > minDec && frac.endsWith(u'0'))
        frac.chop(1);
    if (whole == u"0" && minInt == 0)
        whole.clear();
    while (whole.size() < minInt)
        whole.prepend(u'0');
    if (grouping) {
        for (int k = int(whole.size()) - 3; k > 0; k -= 3)
            whole.insert(k, u'.');
    }
    QString body = whole + (point >= 0 ? QStringLiteral(",") + frac : QString());
    if (exponentDigits >= 0) {
        const QString e = QStringLiteral("%1").arg(std::abs(exponent), exponentDigits, 10, QLatin1Char('0'));
        const QString sign = exponent < 0 ? QStringLiteral("-") : expSign ? QStringLiteral("+") : QString();
        suffix.replace(QChar(0xE000), QStringLiteral("E") + sign + e);
    }
    return prefix + body + suffix;
}

// The sections of a pattern, split at the semicolons outside quotes.
QStringList sections(const QString& pattern)
{
    QStringList out{QString()};
    bool quoted = false;
    for (int i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'"')
            quoted = !quoted;
        if (c == u';' && !quoted) {
            out.append(QString());
            continue;
        }
        out.last() += c;
        if (c == u'\\' && i + 1 < pattern.size())
            out.last() += pattern[++i];
    }
    return out;
}

}  // namespace

QString numberText(double d)
{
    if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15)
        return QString::number(qint64(d));
    QString t = QString::number(d, 'g', QLocale::FloatingPointShortest).toUpper();
    t.replace(u'.', u',');
    return t;
}

QString generalDate(const QDateTime& dt)
{
    // A time alone (day 0) is shown as the time only.
    const bool noTime = dt.time() == QTime(0, 0);
    if (isTimeOnly(dt))
        return dt.time().toString(QStringLiteral("HH:mm:ss"));
    const QString day = dt.date().toString(QStringLiteral("dd/MM/yyyy"));
    return noTime ? day : day + u' ' + dt.time().toString(QStringLiteral("HH:mm:ss"));
}

int weekday(const QDate& d) { return d.dayOfWeek() % 7 + 1; }

int weekOfYear(const QDate& d) { return (d.dayOfYear() + weekday(QDate(d.year(), 1, 1)) - 2) / 7 + 1; }

bool hasToken(const QString& pattern, const QString& chars)
{
    for (int i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'"') {
            const int close = pattern.indexOf(u'"', i + 1);
            i = close < 0 ? int(pattern.size()) : close;
        } else if (c == u'\\') {
            ++i;
        } else if (chars.contains(c, Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

QString formatDate(const QDateTime& dt, const QString& pattern)
{
    const QDate d = dt.date();
    const QTime t = dt.time();
    const bool twelve = pattern.contains(QLatin1String("AM/PM"), Qt::CaseInsensitive)
                        || pattern.contains(QLatin1String("A/P"), Qt::CaseInsensitive)
                        || pattern.contains(QLatin1String("AMPM"), Qt::CaseInsensitive);
    const int hour = twelve ? (t.hour() % 12 == 0 ? 12 : t.hour() % 12) : t.hour();
    const bool morning = t.hour() < 12;
    QString out;
    bool afterHour = false;  // an m right after an hour is the minute
    for (int i = 0; i < pattern.size();) {
        const QChar c = pattern[i];
        if (c == u'"') {
            const int close = pattern.indexOf(u'"', i + 1);
            const int end = close < 0 ? int(pattern.size()) : close;
            out += pattern.mid(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (c == u'\\') {
            out += pattern.mid(i + 1, 1);
            i += 2;
            continue;
        }
        const QString rest = pattern.mid(i, 5);
        if (rest.compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
            const QString ampm = morning ? QStringLiteral("AM") : QStringLiteral("PM");
            out += c.isUpper() ? ampm : ampm.toLower();
            i += 5;
            continue;
        }
        if (rest.left(3).compare(QLatin1String("A/P"), Qt::CaseInsensitive) == 0) {
            const QString ap = morning ? QStringLiteral("A") : QStringLiteral("P");
            out += c.isUpper() ? ap : ap.toLower();
            i += 3;
            continue;
        }
        if (rest.left(4).compare(QLatin1String("AMPM"), Qt::CaseInsensitive) == 0) {
            out += morning ? QStringLiteral("AM") : QStringLiteral("PM");
            i += 4;
            continue;
        }
        const QChar lc = c.toLower();
        int run = 1;
        while (i + run < pattern.size() && pattern[i + run].toLower() == lc)
            ++run;
        switch (lc.unicode()) {
        case u'd':
            if (run == 1)
                out += QString::number(d.day());
            else if (run == 2)
                out += two(d.day());
            else if (run == 3)
                out += italian().dayName(d.dayOfWeek(), QLocale::ShortFormat);
            else if (run == 4)
                out += italian().dayName(d.dayOfWeek(), QLocale::LongFormat);
            else if (run == 5)
                out += d.toString(QStringLiteral("dd/MM/yyyy"));
            else
                out += formatDate(dt, QStringLiteral("dddd d mmmm yyyy"));
            break;
        case u'w': out += QString::number(run == 1 ? weekday(d) : weekOfYear(d)); break;
        case u'm':
            if (run <= 2 && afterHour)
                out += run == 1 ? QString::number(t.minute()) : two(t.minute());
            else if (run == 1)
                out += QString::number(d.month());
            else if (run == 2)
                out += two(d.month());
            else if (run == 3)
                out += italian().monthName(d.month(), QLocale::ShortFormat);
            else
                out += italian().monthName(d.month(), QLocale::LongFormat);
            break;
        case u'q': out += QString::number((d.month() - 1) / 3 + 1); break;
        case u'y':
            if (run == 1)
                out += QString::number(d.dayOfYear());
            else if (run <= 3)
                out += two(d.year() % 100);
            else
                out += QString::number(d.year());
            break;
        case u'h': out += run == 1 ? QString::number(hour) : two(hour); break;
        case u'n': out += run == 1 ? QString::number(t.minute()) : two(t.minute()); break;
        case u's': out += run == 1 ? QString::number(t.second()) : two(t.second()); break;
        case u't': out += run >= 5 ? t.toString(QStringLiteral("HH:mm:ss")) : pattern.mid(i, run); break;
        case u'c': out += generalDate(dt); break;
        default: out += pattern.mid(i, run); break;
        }
        if (lc == u'h')
            afterHour = true;
        else if (lc.isLetter())
            afterHour = false;
        i += run;
    }
    return out;
}

QString formatByPattern(double value, const QString& pattern)
{
    const QStringList parts = sections(pattern);
    if (value < 0 && parts.size() > 1 && !parts[1].isEmpty())
        return formatSection(value, parts[1]);
    if (value == 0 && parts.size() > 2 && !parts[2].isEmpty())
        return formatSection(value, parts[2]);
    const QString body = formatSection(value, parts[0]);
    // A negative number keeps its sign unless it has a section of its own; a zero shown as "0"
    // never does.
    const bool allZero = !body.contains(QRegularExpression(QStringLiteral("[1-9]")));
    return value < 0 && !allZero ? u'-' + body : body;
}

}  // namespace dbe::detail
