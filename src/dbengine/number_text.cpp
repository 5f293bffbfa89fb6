// The Italian number rule, read by hand: a locale's reader would accept groupings of any length
// and a point where the comma belongs.
#include "dbengine/number_text.h"

#include <QByteArray>
#include <cmath>

namespace dbe {

namespace {

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

}  // namespace

bool parseItalianNumber(const QString& text, double* value)
{
    const QString t = text.trimmed();
    const int n = int(t.size());
    int i = 0;
    QByteArray c;  // the number in the C library's form
    if (i < n && (t[i] == u'+' || t[i] == u'-')) {
        c += char(t[i].unicode());
        ++i;
    }
    // The whole part: plain digits, or 1 to 3 digits followed by groups of a point and three digits.
    const int wholeStart = i;
    while (i < n && isDigit(t[i]))
        c += char(t[i++].unicode());
    const int firstRun = i - wholeStart;
    if (i < n && t[i] == u'.') {
        if (firstRun < 1 || firstRun > 3)
            return false;
        while (i < n && t[i] == u'.') {
            for (int k = 1; k <= 3; ++k) {
                if (i + k >= n || !isDigit(t[i + k]))
                    return false;
                c += char(t[i + k].unicode());
            }
            i += 4;
            if (i < n && isDigit(t[i]))
                return false;  // a group of more than three digits
        }
    }
    const bool hasWhole = i > wholeStart;
    bool hasFraction = false;
    if (i < n && t[i] == u',') {
        c += '.';
        ++i;
        while (i < n && isDigit(t[i])) {
            c += char(t[i++].unicode());
            hasFraction = true;
        }
        if (!hasFraction)
            return false;
    }
    if (!hasWhole && !hasFraction)
        return false;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        c += 'e';
        ++i;
        if (i < n && (t[i] == u'+' || t[i] == u'-'))
            c += char(t[i++].unicode());
        const int expStart = i;
        while (i < n && isDigit(t[i]))
            c += char(t[i++].unicode());
        if (i == expStart)
            return false;
    }
    if (i != n)
        return false;
    bool ok = false;
    const double d = c.toDouble(&ok);  // the C form, whatever the process's locale
    if (!ok || !std::isfinite(d))
        return false;
    *value = d;
    return true;
}

bool numberFromStoredText(const char* utf8, int size, double* value)
{
    if (size <= 0 || size > 400)
        return false;
    return parseItalianNumber(QString::fromUtf8(utf8, size), value);
}

bool yesNoFromStoredText(const char* utf8, int size, bool* value)
{
    double d = 0;
    if (numberFromStoredText(utf8, size, &d)) {
        *value = d != 0;
        return true;
    }
    const QString t = QString::fromUtf8(utf8, size).trimmed();
    for (const char* word : {"vero", "true"}) {
        if (t.compare(QLatin1String(word), Qt::CaseInsensitive) == 0) {
            *value = true;
            return true;
        }
    }
    for (const char* word : {"falso", "false"}) {
        if (t.compare(QLatin1String(word), Qt::CaseInsensitive) == 0) {
            *value = false;
            return true;
        }
    }
    return false;
}

}  // namespace dbe
