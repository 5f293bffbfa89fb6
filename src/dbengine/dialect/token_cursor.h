#pragma once
// TokenCursor: the parsers' walk over a statement's tokens, with the error rules they share. A
// syntax error is raised with the number of the clause being read (clauseError), or as 3075 with
// the expression's text while an expression is read (exprStart >= 0). Nest bounds the nesting of
// the recursive descent.
#include "dbengine/db_error.h"
#include "lexer.h"

#include <algorithm>

namespace dbe::dialect {

// Words that end a clause or belong to the grammar: never a column name or an alias unless
// bracketed.
bool isReserved(const Token& t);

class TokenCursor {
public:
    explicit TokenCursor(const QString& text) : text_(text), toks_(tokenize(text)) {}

    const Token& peek(int ahead = 0) const
    {
        const int i = qMin(pos_ + ahead, int(toks_.size()) - 1);
        return toks_[i];
    }
    const Token& next()
    {
        const Token& t = toks_[pos_];
        if (pos_ < toks_.size() - 1)
            ++pos_;
        return t;
    }
    // The token read last.
    const Token& previous() const { return toks_[qMax(pos_ - 1, 0)]; }
    bool acceptKeyword(const char* word)
    {
        if (!peek().isKeyword(word))
            return false;
        next();
        return true;
    }
    bool acceptOp(const char* op)
    {
        if (!peek().isOp(op))
            return false;
        next();
        return true;
    }

    // The error of the clause being read: a malformed expression reports its own text.
    [[noreturn]] void fail() const;
    void expectKeyword(const char* word)
    {
        if (!acceptKeyword(word))
            fail();
    }
    void expectOp(const char* op)
    {
        if (!acceptOp(op))
            fail();
    }

    // A name: plain (not a reserved word) or bracketed.
    bool atName() const
    {
        const Token& t = peek();
        return (t.kind == Token::Name && !isReserved(t)) || (t.kind == Token::Bracketed && !t.text.trimmed().isEmpty());
    }
    // A control character makes a name invalid (3125), as the engine's rule for names has it; a NUL
    // would also end the statement SQLite reads.
    QString name()
    {
        if (!atName())
            fail();
        QString text = next().text;
        if (std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x20; }))
            throw DbError::make(err::InvalidName, {text});
        return text;
    }

    // One level of nesting for as long as it lives; too deep a nesting is a syntax error.
    struct Nest {
        Nest(TokenCursor& c, int limit) : c_(c)
        {
            if (++c_.depth_ > limit)
                c_.fail();
        }
        ~Nest() { --c_.depth_; }
        Nest(const Nest&) = delete;
        Nest& operator=(const Nest&) = delete;
        TokenCursor& c_;
    };

    int exprStart = -1;  // where the expression being read began
    int clauseError = err::SyntaxErrorInUpdate;  // the error of the clause being read

private:
    const QString& text_;
    QVector<Token> toks_;
    int pos_ = 0;
    int depth_ = 0;
};

}  // namespace dbe::dialect
