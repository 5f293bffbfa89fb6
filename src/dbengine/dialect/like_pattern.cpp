#include "like_pattern.h"

#include "../value_functions.h"

namespace dbe::dialect {

namespace {

QString sqlText(const QString& s)
{
    QString out = s;
    out.replace(u'\'', QStringLiteral("''"));
    out.replace(QChar(0), QStringLiteral("' || char(0) || '"));
    return u'\'' + out + u'\'';
}

// The letter in both cases for a GLOB list, or the character itself.
QString bothCases(QChar c)
{
    const QChar lo = c.toLower(), up = c.toUpper();
    if (lo == up)
        return QString(c);
    return QString(lo) + up;
}

// Reads a character list of a pattern starting after '['; returns the GLOB list (with brackets) and moves
// i past the closing ']'. Returns an empty string when the list is not closed.
QString globList(const QString& p, int& i)
{
    const int n = p.size();
    QString body;
    bool negate = false;
    if (i < n && p[i] == u'!') {
        negate = true;
        ++i;
    }
    QString items;
    bool first = true;
    while (i < n && (p[i] != u']' || first)) {
        first = false;
        const QChar a = p[i];
        if (i + 2 < n && p[i + 1] == u'-' && p[i + 2] != u']') {
            const QChar b = p[i + 2];
            if (b < a)
                return QString();  // a range written backwards, [b-a], is no pattern
            items += QString(a) + u'-' + b;
            const QChar la = a.toLower(), lb = b.toLower(), ua = a.toUpper(), ub = b.toUpper();
            if (la != ua && lb != ub) {
                items += QString(la) + u'-' + lb;
                items += QString(ua) + u'-' + ub;
            }
            i += 3;
            continue;
        }
        items += bothCases(a);
        ++i;
    }
    if (i >= n)
        return QString();
    ++i;  // past ']'
    if (items.isEmpty())
        return QString();
    // In a GLOB list ']' must come first and '^' must not; keep them safe.
    QString ordered;
    if (items.contains(u']')) {
        ordered += u']';
        items.remove(u']');
    }
    bool caret = items.contains(u'^');
    items.remove(u'^');
    ordered += items;
    if (caret)
        ordered += u'^';
    return QStringLiteral("[") + (negate ? QStringLiteral("^") : QString()) + ordered + u']';
}

}  // namespace

QString likeCondition(const QString& subjectSql, const QString& pattern, bool negated)
{
    // First try a plain LIKE: only *, ? and the one-character lists [*] [?] [#] [[].
    QString like;
    bool escaped = false;
    bool plain = true;
    const int n = pattern.size();
    for (int i = 0; i < n && plain; ++i) {
        QChar c = pattern[i];
        if (c == u'*') {
            like += u'%';
        } else if (c == u'?') {
            like += u'_';
        } else if (c == u'#') {
            plain = false;
        } else if (c == u'[') {
            // [x] of one character, unless x is a letter beyond ASCII (SQLite's LIKE would not
            // fold its case).
            const QChar x = i + 1 < n ? pattern[i + 1] : QChar();
            if (i + 2 < n && pattern[i + 2] == u']' && x != u'!'
                && !(x.unicode() >= 0x80 && x.toLower() != x.toUpper())) {
                c = pattern[i + 1];
                i += 2;
                if (c == u'%' || c == u'_' || c == u'\\') {
                    like += u'\\';
                    escaped = true;
                }
                like += c;
            } else {
                plain = false;
            }
        } else if (c.unicode() >= 0x80 && c.toLower() != c.toUpper()) {
            plain = false;  // SQLite's LIKE folds only ASCII letters
        } else {
            if (c == u'%' || c == u'_' || c == u'\\') {
                like += u'\\';
                escaped = true;
            }
            like += c;
        }
    }
    if (plain) {
        return QStringLiteral("(%1 %2LIKE %3%4)")
            .arg(subjectSql, negated ? QStringLiteral("NOT ") : QString(), sqlText(like),
                 escaped ? QStringLiteral(" ESCAPE '\\'") : QString());
    }
    // A GLOB with both cases of every letter.
    QString glob;
    for (int i = 0; i < n;) {
        const QChar c = pattern[i];
        if (c == u'*') {
            glob += u'*';
            ++i;
        } else if (c == u'?') {
            glob += u'?';
            ++i;
        } else if (c == u'#') {
            glob += QStringLiteral("[0-9]");
            ++i;
        } else if (c == u'[') {
            ++i;
            const QString list = globList(pattern, i);
            if (list.isEmpty())
                return QString();  // an unclosed or empty list
            glob += list;
        } else {
            const QString both = bothCases(c);
            glob += both.size() > 1 ? u'[' + both + u']' : both;
            ++i;
        }
    }
    return QStringLiteral("(%1 %2GLOB %3)")
        .arg(subjectSql, negated ? QStringLiteral("NOT ") : QString(), sqlText(glob));
}

QString likeConditionDynamic(const QString& subjectSql, const QString& patternSql, bool negated)
{
    return QStringLiteral("(%1%2(%3, %4))")
        .arg(negated ? QStringLiteral("NOT ") : QString(), QString::fromLatin1(kLikeFunction), subjectSql, patternSql);
}

}  // namespace dbe::dialect
