// translate(): parse, then plan the statement by its kind.
#include "dialect.h"

#include "parser.h"
#include "planner.h"

namespace dbe::dialect {

namespace {

// How deep SQLite's parser must go for the SQL: parentheses, and each subquery as two more levels
// (its clauses keep the parser's stack busy). Quoted texts and names do not count.
int nesting(const QString& sql)
{
    int depth = 0, deepest = 0, selects = 0;
    QVector<int> selectAt;  // the depth at which each open subquery began
    QChar quote;
    for (int i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'(') {
            ++depth;
            if (sql.mid(i + 1, 7).compare(QLatin1String("SELECT "), Qt::CaseInsensitive) == 0) {
                selectAt.append(depth);
                ++selects;
            }
        } else if (c == u')') {
            if (!selectAt.isEmpty() && selectAt.last() == depth) {
                selectAt.removeLast();
                --selects;
            }
            --depth;
        }
        deepest = qMax(deepest, depth + 2 * selects);
    }
    return deepest;
}

// SQLite's parser refuses SQL nested more deeply than about thirty levels; the translation
// refuses it first, with the engine's own message.
constexpr int kMaxSqlNesting = 24;

Statement checked(Statement st)
{
    for (const QString* sql : {&st.sql, &st.select.keySql, &st.select.valuesSql}) {
        if (nesting(*sql) > kMaxSqlNesting)
            throw DbError::make(err::QueryTooComplex);
    }
    return st;
}

// The statement's plan, with the fields its SQL assumed plain (Emitter::assumePlain).
Statement planWith(ParsedStatement& parsed, Emitter& emitter, const SchemaProvider& schema)
{
    switch (parsed.kind) {
    case Statement::Select: {
        Statement st;
        st.kind = Statement::Select;
        st.select = planSelect(*parsed.select, emitter);
        emitter.finish();
        if (!st.select.sources.isEmpty())
            st.table = st.select.sources.first().table;
        return st;
    }
    case Statement::SelectInto: return planSelectInto(*parsed.select, emitter, schema);
    case Statement::Update: return planUpdate(*parsed.update, emitter);
    case Statement::Delete: {
        Statement st = planDelete(*parsed.remove, emitter);
        emitter.finish();
        return st;
    }
    case Statement::Insert: return planInsert(*parsed.insert, emitter);
    default: return planDefinition(std::move(parsed.ddl), schema);
    }
}

Statement plan(const QString& text, const SchemaProvider& schema)
{
    ParsedStatement parsed = parse(text);
    Emitter emitter(schema, text);
    Statement st = planWith(parsed, emitter, schema);
    st.plainColumns = emitter.plainColumns();
    return st;
}

}  // namespace

Statement translate(const QString& text, const SchemaProvider& schema) { return checked(plan(text, schema)); }

}  // namespace dbe::dialect
