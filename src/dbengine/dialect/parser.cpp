// The query grammar: SELECT (with joins, parenthesised on either side, queries read as tables,
// subqueries, grouping and ordering, INTO a new table), UPDATE, DELETE, INSERT and the
// expressions, read by recursive descent into the syntax tree; the data-definition statements are
// handed to the definition parser.
#include "parser.h"

#include "ddl_parser.h"
#include "functions.h"
#include "literals.h"
#include "token_cursor.h"

#include <QSet>

namespace dbe::dialect {

namespace {

class Parser : public TokenCursor {
public:
    explicit Parser(const QString& text) : TokenCursor(text) {}

    ParsedStatement statement()
    {
        ParsedStatement out;
        const Token& first = peek();
        if (first.isKeyword("SELECT")) {
            out.kind = Statement::Select;
            intoAllowed = true;
            out.select = select();
            unionParts(*out.select);
            if (!out.select->into.isEmpty()) {
                if (!out.select->unionParts.empty())
                    throw DbError::make(err::SyntaxErrorInSelect);
                out.kind = Statement::SelectInto;
            }
        } else if (first.isKeyword("UPDATE")) {
            out.kind = Statement::Update;
            out.update = update();
        } else if (first.isKeyword("DELETE")) {
            out.kind = Statement::Delete;
            out.remove = remove();
        } else if (first.isKeyword("INSERT")) {
            out.kind = Statement::Insert;
            out.insert = insert();
        } else if (first.isKeyword("CREATE") || first.isKeyword("DROP") || first.isKeyword("ALTER")) {
            out.ddl = parseDefinition(*this);
            out.kind = out.ddl.kind;
        } else {
            throw DbError::make(err::InvalidSqlStatement);
        }
        if (peek().isOp(";"))
            next();
        if (peek().kind != Token::End)
            throw DbError::make(err::CharactersAfterEnd);
        return out;
    }

private:
    bool intoAllowed = false;  // the next SELECT read may say INTO table

    // ---- SELECT ----
    std::unique_ptr<SelectQuery> select()
    {
        auto q = std::make_unique<SelectQuery>();
        const int savedStart = exprStart;
        const int savedError = clauseError;
        exprStart = -1;
        clauseError = err::SyntaxErrorInSelect;
        expectKeyword("SELECT");
        const bool into = intoAllowed;  // only the statement's own query, not its subqueries
        intoAllowed = false;
        if (acceptKeyword("DISTINCT"))
            q->distinct = true;
        else if (acceptKeyword("DISTINCTROW"))
            q->distinctRow = true;
        else
            acceptKeyword("ALL");
        if (acceptKeyword("TOP")) {
            if (peek().kind != Token::Number)
                fail();
            bool ok = false;
            q->top = next().text.toLongLong(&ok);
            if (!ok || q->top < 0)
                fail();
            if (acceptKeyword("PERCENT")) {
                q->topPercent = true;
                if (q->top > 100)
                    fail();
            }
        }
        do {
            q->items.push_back(selectItem());
        } while (acceptOp(","));
        if (into && acceptKeyword("INTO"))
            q->into = name();
        clauseError = err::SyntaxErrorInFrom;
        expectKeyword("FROM");
        fromList(*q);
        if (acceptKeyword("WHERE"))
            q->where = clauseExpr();
        if (peek().isKeyword("GROUP")) {
            next();
            clauseError = err::SyntaxErrorInSelect;
            expectKeyword("BY");
            do {
                q->groupBy.push_back(clauseExpr());
            } while (acceptOp(","));
        }
        if (acceptKeyword("HAVING"))
            q->having = clauseExpr();
        if (peek().isKeyword("ORDER")) {
            next();
            clauseError = err::SyntaxErrorInOrderBy;
            expectKeyword("BY");
            do {
                OrderItem item;
                item.expr = clauseExpr();
                if (acceptKeyword("DESC"))
                    item.descending = true;
                else
                    acceptKeyword("ASC");
                q->orderBy.push_back(std::move(item));
            } while (acceptOp(","));
        }
        exprStart = savedStart;
        clauseError = savedError;
        return q;
    }

    // The queries joined to the first one by UNION [ALL]; only the last one may have ORDER BY,
    // which then orders the whole union.
    void unionParts(SelectQuery& q)
    {
        while (acceptKeyword("UNION")) {
            if (!q.unionParts.empty() ? !q.unionParts.back()->orderBy.empty() : !q.orderBy.empty())
                throw DbError::make(err::SyntaxErrorInOrderBy);
            q.unionAll.push_back(acceptKeyword("ALL"));
            if (!peek().isKeyword("SELECT"))
                throw DbError::make(err::SyntaxErrorInSelect);
            q.unionParts.push_back(select());
        }
        if (!q.unionParts.empty())
            q.unionOrderBy = std::move(q.unionParts.back()->orderBy);
    }

    SelectItem selectItem()
    {
        SelectItem item;
        const Token& t = peek();
        if (t.isOp("*")) {
            next();
            item.expr = std::make_unique<Expr>();
            item.expr->kind = Expr::Star;
            item.expr->pos = t.pos;
            item.expr->end = t.end;
            return item;
        }
        if (atName() && (peek(1).isOp(".") || peek(1).isOp("!")) && peek(2).isOp("*")) {
            item.expr = std::make_unique<Expr>();
            item.expr->kind = Expr::Star;
            item.expr->pos = t.pos;
            item.expr->table = name();
            next();
            item.expr->end = next().end;
            return item;
        }
        if (t.isKeyword("FROM") || t.kind == Token::End)
            fail();
        item.expr = clauseExpr();
        if (acceptKeyword("AS")) {
            item.alias = name();
        } else if (atName()) {
            fail();
        }
        return item;
    }

    // An expression that makes up a clause: a syntax error in it reports its text.
    ExprPtr clauseExpr()
    {
        const int saved = exprStart;
        exprStart = peek().pos;
        ExprPtr e = expr();
        // An operand right after the expression: an operator is missing.
        const Token& t = peek();
        if ((t.kind == Token::Name && !isReserved(t)) || t.kind == Token::Bracketed || t.kind == Token::String
            || t.kind == Token::Number || t.kind == Token::Date || t.kind == Token::Invalid || t.isOp("("))
            fail();
        exprStart = saved;
        return e;
    }

    void fromList(SelectQuery& q, int error = err::SyntaxErrorInFrom)
    {
        const int savedStart = exprStart;
        exprStart = -1;
        const int savedError = clauseError;
        clauseError = error;
        q.fromTree = joinedTables(q);
        clauseError = savedError;
        exprStart = savedStart;
    }

    // Tables joined one after the other: A, B JOIN C ON ... JOIN D ON ...
    std::unique_ptr<FromNode> joinedTables(SelectQuery& q)
    {
        std::unique_ptr<FromNode> node = fromItem(q);
        for (;;) {
            SelectQuery::JoinKind kind;
            if (acceptOp(",")) {
                kind = SelectQuery::Comma;
            } else if (acceptKeyword("INNER")) {
                kind = SelectQuery::Inner;
            } else if (acceptKeyword("LEFT")) {
                acceptKeyword("OUTER");
                kind = SelectQuery::Left;
            } else if (acceptKeyword("RIGHT")) {
                acceptKeyword("OUTER");
                kind = SelectQuery::Right;
            } else {
                break;
            }
            if (kind != SelectQuery::Comma)
                expectKeyword("JOIN");
            std::unique_ptr<FromNode> right = fromItem(q);
            const int at = right->first;
            q.joins[at] = kind;
            if (kind != SelectQuery::Comma) {
                expectKeyword("ON");
                q.on[at] = clauseExpr();
            }
            auto join = std::make_unique<FromNode>();
            join->first = node->first;
            join->last = right->last;
            join->left = std::move(node);
            join->right = std::move(right);
            node = std::move(join);
        }
        return node;
    }

    // A table of the FROM clause; a query read as a table, (SELECT ...) [AS] alias; or joined
    // tables in parentheses, on either side of a join: (A JOIN B ON ...) JOIN C, A JOIN (B JOIN C).
    std::unique_ptr<FromNode> fromItem(SelectQuery& q)
    {
        Nest nest(*this, kMaxNesting);
        TableRef ref;
        ref.pos = peek().pos;
        if (peek().isOp("(")) {
            next();
            if (!peek().isKeyword("SELECT")) {
                std::unique_ptr<FromNode> inner = joinedTables(q);
                expectOp(")");
                return inner;
            }
            const int savedError = clauseError;
            std::unique_ptr<SelectQuery> sub = select();
            unionParts(*sub);
            clauseError = savedError;
            expectOp(")");
            ref.query = std::move(sub);
        } else {
            ref.name = name();
        }
        if (acceptKeyword("AS"))
            ref.alias = name();
        else if (atName())
            ref.alias = name();
        auto leaf = std::make_unique<FromNode>();
        leaf->first = leaf->last = int(q.from.size());
        q.from.push_back(std::move(ref));
        q.joins.push_back(SelectQuery::First);
        q.on.push_back(nullptr);
        return leaf;
    }

    // ---- expressions ----
    ExprPtr make(Expr::Kind kind, int pos, int end)
    {
        auto e = std::make_unique<Expr>();
        e->kind = kind;
        e->pos = pos;
        e->end = end;
        return e;
    }
    ExprPtr binary(const QString& op, ExprPtr a, ExprPtr b)
    {
        auto e = make(Expr::Binary, a->pos, b->end);
        e->op = op;
        const bool chained = (op == u"AND" || op == u"OR" || op == u"&") && a->kind == Expr::Binary && a->op == op;
        if (chained) {
            // One more operand of a chain that is written flat: as high as its highest operand.
            e->chain = a->chain + 1;
            e->depth = qMax(a->depth, b->depth + 1);
            if (e->chain > kMaxChain || e->depth > kMaxTreeHeight)
                fail();
            e->args.push_back(std::move(a));
            e->args.push_back(std::move(b));
            return e;
        }
        e->args.push_back(std::move(a));
        e->args.push_back(std::move(b));
        return grown(std::move(e));
    }
    // A node whose children are set: its height computed and bounded.
    ExprPtr grown(ExprPtr e)
    {
        int height = 0;
        for (const ExprPtr& a : e->args)
            height = qMax(height, a->depth);
        if (const SelectQuery* q = e->subquery.get()) {
            auto take = [&height](const ExprPtr& x) {
                if (x)
                    height = qMax(height, x->depth);
            };
            for (const SelectItem& i : q->items)
                take(i.expr);
            for (const ExprPtr& x : q->on)
                take(x);
            take(q->where);
            for (const ExprPtr& x : q->groupBy)
                take(x);
            take(q->having);
            for (const OrderItem& o : q->orderBy)
                take(o.expr);
        }
        e->depth = height + 1;
        if (e->depth > kMaxTreeHeight)
            fail();
        return e;
    }

    ExprPtr expr()
    {
        Nest nest(*this, kMaxNesting);
        ExprPtr left = andExpr();
        while (acceptKeyword("OR"))
            left = binary(QStringLiteral("OR"), std::move(left), andExpr());
        return left;
    }
    ExprPtr andExpr()
    {
        ExprPtr left = notExpr();
        while (acceptKeyword("AND"))
            left = binary(QStringLiteral("AND"), std::move(left), notExpr());
        return left;
    }
    ExprPtr notExpr()
    {
        if (peek().isKeyword("NOT")) {
            Nest nest(*this, kMaxNesting);
            const int pos = next().pos;
            ExprPtr operand = notExpr();
            auto e = make(Expr::Unary, pos, operand->end);
            e->op = QStringLiteral("NOT");
            e->args.push_back(std::move(operand));
            return grown(std::move(e));
        }
        return comparison();
    }
    ExprPtr comparison()
    {
        ExprPtr left = concat();
        for (;;) {
            const Token& t = peek();
            static const char* const ops[] = {"=", "<>", "<", ">", "<=", ">="};
            bool isCmp = false;
            for (const char* op : ops)
                isCmp = isCmp || t.isOp(op);
            if (isCmp) {
                const QString op = next().text;
                const Token& q = peek();
                if ((q.isKeyword("ANY") || q.isKeyword("SOME") || q.isKeyword("ALL")) && peek(1).isOp("(")
                    && peek(2).isKeyword("SELECT")) {
                    // x > ALL (SELECT ...), x = ANY (SELECT ...): compared with every record's value.
                    const QString quantifier = q.isKeyword("ALL") ? QStringLiteral("ALL") : QStringLiteral("ANY");
                    next();
                    const int pos = left->pos;
                    next();
                    ExprPtr e = subquery(Expr::Quantified, pos);
                    if (e->subquery->items.size() != 1)
                        fail();
                    e->op = op;
                    e->text = quantifier;
                    e->args.push_back(std::move(left));
                    left = grown(std::move(e));
                    continue;
                }
                left = binary(op, std::move(left), concat());
                continue;
            }
            if (t.isKeyword("IS")) {
                next();
                auto e = make(Expr::IsNull, left->pos, 0);
                e->negated = acceptKeyword("NOT");
                e->end = peek().end;
                expectKeyword("NULL");
                e->args.push_back(std::move(left));
                left = grown(std::move(e));
                continue;
            }
            bool negated = false;
            if (t.isKeyword("NOT")
                && (peek(1).isKeyword("LIKE") || peek(1).isKeyword("BETWEEN") || peek(1).isKeyword("IN"))) {
                next();
                negated = true;
            }
            const Token& k = peek();
            if (k.isKeyword("LIKE")) {
                next();
                ExprPtr pattern = concat();
                auto e = make(Expr::Like, left->pos, pattern->end);
                e->negated = negated;
                e->args.push_back(std::move(left));
                e->args.push_back(std::move(pattern));
                left = grown(std::move(e));
            } else if (k.isKeyword("BETWEEN")) {
                next();
                ExprPtr low = concat();
                expectKeyword("AND");
                ExprPtr high = concat();
                auto e = make(Expr::Between, left->pos, high->end);
                e->negated = negated;
                e->args.push_back(std::move(left));
                e->args.push_back(std::move(low));
                e->args.push_back(std::move(high));
                left = grown(std::move(e));
            } else if (k.isKeyword("IN")) {
                next();
                expectOp("(");
                auto e = make(Expr::InList, left->pos, 0);
                e->negated = negated;
                e->args.push_back(std::move(left));
                if (peek().isKeyword("SELECT")) {
                    Nest nest(*this, kMaxNesting);
                    e->kind = Expr::InSelect;
                    e->subquery = select();
                    if (e->subquery->items.size() != 1)
                        fail();
                } else {
                    do {
                        e->args.push_back(expr());
                    } while (acceptOp(","));
                }
                e->end = peek().end;
                expectOp(")");
                left = grown(std::move(e));
            } else {
                if (negated)
                    fail();
                break;
            }
        }
        return left;
    }
    ExprPtr concat()
    {
        ExprPtr left = additive();
        while (acceptOp("&"))
            left = binary(QStringLiteral("&"), std::move(left), additive());
        return left;
    }
    ExprPtr additive()
    {
        ExprPtr left = modulo();
        while (peek().isOp("+") || peek().isOp("-")) {
            const QString op = next().text;
            left = binary(op, std::move(left), modulo());
        }
        return left;
    }
    ExprPtr modulo()
    {
        ExprPtr left = intDivision();
        while (acceptKeyword("MOD"))
            left = binary(QStringLiteral("MOD"), std::move(left), intDivision());
        return left;
    }
    ExprPtr intDivision()
    {
        ExprPtr left = multiplicative();
        while (acceptOp("\\"))
            left = binary(QStringLiteral("\\"), std::move(left), multiplicative());
        return left;
    }
    ExprPtr multiplicative()
    {
        ExprPtr left = unary();
        while (peek().isOp("*") || peek().isOp("/")) {
            const QString op = next().text;
            left = binary(op, std::move(left), unary());
        }
        return left;
    }
    ExprPtr unary()
    {
        if (peek().isOp("-") || peek().isOp("+")) {
            Nest nest(*this, kMaxNesting);
            const Token& t = next();
            const bool minus = t.text == u"-";
            const int pos = t.pos;
            ExprPtr operand = unary();
            if (!minus)
                return operand;
            auto e = make(Expr::Unary, pos, operand->end);
            e->op = QStringLiteral("-");
            e->args.push_back(std::move(operand));
            return grown(std::move(e));
        }
        return power();
    }
    // a ^ b binds tighter than a sign before it (-2 ^ 2 is -4) and is read from left to right; the
    // exponent may carry its own sign (2 ^ -1).
    ExprPtr power()
    {
        ExprPtr left = primary();
        while (acceptOp("^")) {
            ExprPtr right;
            if (peek().isOp("-") || peek().isOp("+")) {
                const Token& t = next();
                ExprPtr operand = primary();
                if (t.text == u"-") {
                    auto e = make(Expr::Unary, t.pos, operand->end);
                    e->op = QStringLiteral("-");
                    e->args.push_back(std::move(operand));
                    operand = grown(std::move(e));
                }
                right = std::move(operand);
            } else {
                right = primary();
            }
            left = binary(QStringLiteral("^"), std::move(left), std::move(right));
        }
        return left;
    }

    ExprPtr primary()
    {
        const Token& t = peek();
        switch (t.kind) {
        case Token::Number: {
            next();
            auto e = make(Expr::Number, t.pos, t.end);
            e->text = t.text;
            return e;
        }
        case Token::String: {
            next();
            auto e = make(Expr::Text, t.pos, t.end);
            e->text = t.text;
            return e;
        }
        case Token::Date: {
            const QString storage = dateLiteralToStorage(t.text);
            if (storage.isEmpty())
                fail();
            next();
            auto e = make(Expr::Date, t.pos, t.end);
            e->text = storage;
            return e;
        }
        case Token::Op:
            if (t.isOp("(")) {
                next();
                if (peek().isKeyword("SELECT"))
                    return subquery(Expr::Subquery, t.pos);
                ExprPtr inner = expr();
                expectOp(")");
                return inner;
            }
            fail();
        case Token::Name:
            if (t.isKeyword("NULL")) {
                next();
                return make(Expr::Null, t.pos, t.end);
            }
            if (t.isKeyword("TRUE") || t.isKeyword("FALSE")) {
                next();
                auto e = make(Expr::Bool, t.pos, t.end);
                e->boolValue = t.isKeyword("TRUE");
                return e;
            }
            if (t.isKeyword("EXISTS") && peek(1).isOp("(") && peek(2).isKeyword("SELECT")) {
                next();
                next();
                return subquery(Expr::Exists, t.pos);
            }
            if (peek(1).isOp("(")
                && (!isReserved(t) || t.isKeyword("LEFT") || t.isKeyword("RIGHT") || t.isKeyword("ASC")))
                return function();
            [[fallthrough]];
        case Token::Bracketed: return column();
        default: fail();
        }
    }

    // A subquery used as a value or after EXISTS, its opening parenthesis read: up to the closing one.
    ExprPtr subquery(Expr::Kind kind, int pos)
    {
        Nest nest(*this, kMaxNesting);
        auto e = make(kind, pos, 0);
        e->subquery = select();
        if (kind == Expr::Subquery && e->subquery->items.size() != 1)
            fail();
        e->end = peek().end;
        expectOp(")");
        return grown(std::move(e));
    }

    ExprPtr column()
    {
        const int pos = peek().pos;
        QString first = name();
        int end = previous().end;
        auto e = make(Expr::Column, pos, end);
        if (peek().isOp(".") || peek().isOp("!")) {
            next();
            e->table = first;
            e->field = name();
            e->end = previous().end;
        } else {
            e->field = first;
        }
        return e;
    }

    ExprPtr function()
    {
        const Token& t = next();
        const QString fn = t.text.toUpper();
        auto e = make(Expr::Func, t.pos, t.end);
        e->text = fn;
        expectOp("(");
        int minArgs = 0, maxArgs = 0;
        if (fn == u"COUNT" && peek().isOp("*")) {
            const Token& star = next();
            e->args.push_back(make(Expr::Star, star.pos, star.end));
        } else if (!peek().isOp(")")) {
            do {
                e->args.push_back(expr());
            } while (acceptOp(","));
        }
        e->end = peek().end;
        expectOp(")");
        if (!functionArity(fn, &minArgs, &maxArgs))
            throw DbError::make(err::UndefinedFunction, {t.text});
        if (int(e->args.size()) < minArgs || int(e->args.size()) > maxArgs)
            fail();
        return grown(std::move(e));
    }

    // ---- UPDATE, DELETE, INSERT ----
    TableRef tableRef()
    {
        TableRef ref;
        ref.pos = peek().pos;
        ref.name = name();
        return ref;
    }

    std::unique_ptr<UpdateQuery> update()
    {
        clauseError = err::SyntaxErrorInUpdate;
        auto q = std::make_unique<UpdateQuery>();
        expectKeyword("UPDATE");
        q->joined = targets();
        q->table = q->joined->from.front();
        if (q->joined->from.size() == 1)
            q->joined.reset();
        clauseError = err::SyntaxErrorInUpdate;
        expectKeyword("SET");
        do {
            Assignment a;
            a.target = column();
            expectOp("=");
            a.value = clauseExpr();
            q->sets.push_back(std::move(a));
        } while (acceptOp(","));
        if (acceptKeyword("WHERE"))
            q->where = clauseExpr();
        return q;
    }

    std::unique_ptr<DeleteQuery> remove()
    {
        clauseError = err::SyntaxErrorInUpdate;
        auto q = std::make_unique<DeleteQuery>();
        expectKeyword("DELETE");
        acceptKeyword("DISTINCTROW");  // each record of the table once: what a delete does anyway
        if (!acceptOp("*") && atName() && (peek(1).isOp(".") || peek(1).isOp("!"))) {
            q->starTable = name();  // DELETE table.* FROM table
            next();
            expectOp("*");
        }
        expectKeyword("FROM");
        q->joined = targets();
        q->table = q->joined->from.front();
        if (q->joined->from.size() == 1)
            q->joined.reset();
        clauseError = err::SyntaxErrorInUpdate;
        if (acceptKeyword("WHERE"))
            q->where = clauseExpr();
        return q;
    }

    // The table of an UPDATE or DELETE, or the tables joined as in a FROM clause.
    std::unique_ptr<SelectQuery> targets()
    {
        auto from = std::make_unique<SelectQuery>();
        fromList(*from, err::SyntaxErrorInUpdate);
        return from;
    }

    std::unique_ptr<InsertQuery> insert()
    {
        clauseError = err::SyntaxErrorInInsert;
        auto q = std::make_unique<InsertQuery>();
        expectKeyword("INSERT");
        expectKeyword("INTO");
        q->table = tableRef();
        if (acceptOp("(")) {
            q->hasFieldList = true;
            do {
                q->fields.push_back(column());
            } while (acceptOp(","));
            expectOp(")");
        }
        if (peek().isKeyword("SELECT")) {
            q->select = select();
            unionParts(*q->select);
            clauseError = err::SyntaxErrorInInsert;
            return q;
        }
        expectKeyword("VALUES");
        expectOp("(");
        do {
            q->values.push_back(clauseExpr());
        } while (acceptOp(","));
        expectOp(")");
        return q;
    }
};

}  // namespace

ParsedStatement parse(const QString& text)
{
    Parser p(text);
    return p.statement();
}

}  // namespace dbe::dialect
