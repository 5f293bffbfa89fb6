#include "lexer.h"

namespace dbe::dialect {

namespace {

bool isNameStart(QChar c) { return c.isLetter() || c == u'_'; }

bool isNameChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// The scanner's state: the text, where it stands and the tokens read so far. Each reader starts at
// the first character of its token and leaves i after it.
struct Scanner {
    const QString& text;
    const int n;
    int i = 0;
    QVector<Token> out;

    void push(Token::Kind kind, QString value, int start, int end)
    {
        Token t;
        t.kind = kind;
        t.text = std::move(value);
        t.pos = start;
        t.end = end;
        out.append(std::move(t));
    }

    // The rest of the text as one invalid token: an opening character never closed.
    void unclosed() { push(Token::Invalid, text.mid(i), i, n); }

    // A token between an opening character and its closing one ([name], #date#), which it does not
    // escape; false when the text ends first.
    bool delimited(QChar close, Token::Kind kind)
    {
        const int end = text.indexOf(close, i + 1);
        if (end < 0) {
            unclosed();
            return false;
        }
        push(kind, text.mid(i + 1, end - i - 1), i, end + 1);
        i = end + 1;
        return true;
    }

    // A string in single or double quotes, the quote doubled inside it; false when the text ends
    // first.
    bool quoted(QChar quote)
    {
        QString value;
        int j = i + 1;
        bool closed = false;
        while (j < n) {
            if (text[j] == quote) {
                if (j + 1 < n && text[j + 1] == quote) {
                    value += quote;
                    j += 2;
                    continue;
                }
                closed = true;
                break;
            }
            value += text[j++];
        }
        if (!closed) {
            unclosed();
            return false;
        }
        push(Token::String, value, i, j + 1);
        i = j + 1;
        return true;
    }

    // A digit, or a point before a digit where an operand may start (not after a name or ")").
    bool atNumber() const
    {
        const QChar c = text[i];
        return isDigit(c)
               || (c == u'.' && i + 1 < n && isDigit(text[i + 1])
                   && (out.isEmpty() || (out.last().kind == Token::Op && out.last().text != u")")));
    }

    int digitsFrom(int j) const
    {
        while (j < n && isDigit(text[j]))
            ++j;
        return j;
    }

    // Digits, a fraction and an exponent; "12abc" is neither a number nor a name.
    void number()
    {
        int j = digitsFrom(i);
        if (j < n && text[j] == u'.')
            j = digitsFrom(j + 1);
        if (j < n && (text[j] == u'e' || text[j] == u'E')) {
            int k = j + 1;
            if (k < n && (text[k] == u'+' || text[k] == u'-'))
                ++k;
            if (k < n && isDigit(text[k]))
                j = digitsFrom(k);
        }
        if (j < n && isNameStart(text[j])) {
            int k = j;
            while (k < n && isNameChar(text[k]))
                ++k;
            push(Token::Invalid, text.mid(i, k - i), i, k);
            i = k;
            return;
        }
        push(Token::Number, text.mid(i, j - i), i, j);
        i = j;
    }

    void name()
    {
        int j = i;
        while (j < n && isNameChar(text[j]))
            ++j;
        push(Token::Name, text.mid(i, j - i), i, j);
        i = j;
    }

    // An operator of two characters or of one; any other character is invalid on its own.
    void op()
    {
        static const char* const twoChar[] = {"<=", ">=", "<>"};
        const QChar c = text[i];
        if (i + 1 < n) {
            for (const char* o : twoChar) {
                if (c == QLatin1Char(o[0]) && text[i + 1] == QLatin1Char(o[1])) {
                    push(Token::Op, QString::fromLatin1(o), i, i + 2);
                    i += 2;
                    return;
                }
            }
        }
        static const QString oneChar = QStringLiteral("=<>+-*/\\^&(),.;!");
        push(oneChar.contains(c) ? Token::Op : Token::Invalid, QString(c), i, i + 1);
        ++i;
    }
};

}  // namespace

QVector<Token> tokenize(const QString& text)
{
    Scanner s{text, int(text.size())};
    while (s.i < s.n) {
        const QChar c = text[s.i];
        bool more = true;
        if (c.isSpace())
            ++s.i;
        else if (c == u'[')
            more = s.delimited(u']', Token::Bracketed);
        else if (c == u'\'' || c == u'"')
            more = s.quoted(c);
        else if (c == u'#')
            more = s.delimited(u'#', Token::Date);
        else if (s.atNumber())
            s.number();
        else if (isNameStart(c))
            s.name();
        else
            s.op();
        if (!more)
            break;
    }
    s.push(Token::End, QString(), s.n, s.n);
    return s.out;
}

}  // namespace dbe::dialect
