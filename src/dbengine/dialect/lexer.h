#pragma once
// The dialect's lexer: splits a statement into tokens (names plain or [bracketed], quoted texts,
// numbers, #date# literals, operators). It never throws: a character it cannot read, an unclosed
// quote, bracket or date becomes an Invalid token at that place, and the parser reports the syntax
// error of the clause it is in. Keywords are plain Name tokens; the parser compares them without
// regard to case.
#include <QString>
#include <QVector>

namespace dbe::dialect {

struct Token {
    enum Kind {
        Name,  // plain name or keyword: text holds it as written
        Bracketed,  // [name]: text holds the name without the brackets
        String,  // 'text' or "text": text holds the value, doubled quotes undone
        Number,  // text holds the digits as written
        Date,  // #...#: text holds what is between the hashes
        Op,  // = <> < > <= >= + - * / \ & ( ) , . ; !
        Invalid,  // something the lexer cannot read
        End,
    };
    Kind kind = End;
    QString text;
    int pos = 0;  // offset of the token's first character in the statement
    int end = 0;  // offset just past the token

    bool isOp(const char* op) const { return kind == Op && text == QLatin1String(op); }
    // A plain name equal to the keyword, without regard to case.
    bool isKeyword(const char* word) const
    {
        return kind == Name && text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
};

// The tokens of the statement, always ending with one End token.
QVector<Token> tokenize(const QString& text);

}  // namespace dbe::dialect
