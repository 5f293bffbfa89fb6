#include "lexer.h"

namespace dbe::dialect {

namespace {

bool isNameStart(QChar c) { return c.isLetter() || c == u'_'; }

bool isNameChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

}  // namespace

QVector<Token> tokenize(const QString& text)
{
    QVector<Token> out;
    const int n = text.size();
    int i = 0;
    auto push = [&](Token::Kind kind, QString value, int start, int end) {
        Token t;
        t.kind = kind;
        t.text = std::move(value);
        t.pos = start;
        t.end = end;
        out.append(std::move(t));
    };
    while (i < n) {
        const QChar c = text[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        const int start = i;
        if (c == u'[') {
            const int close = text.indexOf(u']', i + 1);
            if (close < 0) {
                push(Token::Invalid, text.mid(i), start, n);
                break;
            }
            push(Token::Bracketed, text.mid(i + 1, close - i - 1), start, close + 1);
            i = close + 1;
        } else if (c == u'\'' || c == u'"') {
            QString value;
            int j = i + 1;
            bool closed = false;
            while (j < n) {
                if (text[j] == c) {
                    if (j + 1 < n && text[j + 1] == c) {
                        value += c;
                        j += 2;
                        continue;
                    }
                    closed = true;
                    break;
                }
                value += text[j++];
            }
            if (!closed) {
                push(Token::Invalid, text.mid(i), start, n);
                break;
            }
            push(Token::String, value, start, j + 1);
            i = j + 1;
        } else if (c == u'#') {
            const int close = text.indexOf(u'#', i + 1);
            if (close < 0) {
                push(Token::Invalid, text.mid(i), start, n);
                break;
            }
            push(Token::Date, text.mid(i + 1, close - i - 1), start, close + 1);
            i = close + 1;
        } else if (isDigit(c)
                   || (c == u'.' && i + 1 < n && isDigit(text[i + 1])
                       && (out.isEmpty() || (out.last().kind == Token::Op && out.last().text != u")")))) {
            int j = i;
            while (j < n && isDigit(text[j]))
                ++j;
            if (j < n && text[j] == u'.') {
                ++j;
                while (j < n && isDigit(text[j]))
                    ++j;
            }
            if (j < n && (text[j] == u'e' || text[j] == u'E')) {
                int k = j + 1;
                if (k < n && (text[k] == u'+' || text[k] == u'-'))
                    ++k;
                if (k < n && isDigit(text[k])) {
                    while (k < n && isDigit(text[k]))
                        ++k;
                    j = k;
                }
            }
            if (j < n && isNameStart(text[j])) {
                // "12abc" is neither a number nor a name.
                int k = j;
                while (k < n && isNameChar(text[k]))
                    ++k;
                push(Token::Invalid, text.mid(i, k - i), start, k);
                i = k;
                continue;
            }
            push(Token::Number, text.mid(i, j - i), start, j);
            i = j;
        } else if (isNameStart(c)) {
            int j = i;
            while (j < n && isNameChar(text[j]))
                ++j;
            push(Token::Name, text.mid(i, j - i), start, j);
            i = j;
        } else {
            static const char* const twoChar[] = {"<=", ">=", "<>"};
            bool matched = false;
            if (i + 1 < n) {
                for (const char* op : twoChar) {
                    if (c == QLatin1Char(op[0]) && text[i + 1] == QLatin1Char(op[1])) {
                        push(Token::Op, QString::fromLatin1(op), start, i + 2);
                        i += 2;
                        matched = true;
                        break;
                    }
                }
            }
            if (matched)
                continue;
            static const QString oneChar = QStringLiteral("=<>+-*/\\^&(),.;!");
            push(oneChar.contains(c) ? Token::Op : Token::Invalid, QString(c), start, i + 1);
            ++i;
        }
    }
    push(Token::End, QString(), n, n);
    return out;
}

}  // namespace dbe::dialect
