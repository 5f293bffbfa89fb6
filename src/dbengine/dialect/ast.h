#pragma once
// The syntax tree of one dialect statement, as the parser reads it: names still as written, not
// yet looked up in the schema. The emitter resolves the names and writes SQLite SQL from it.
// Data-definition statements need no tree: the parser fills a Statement for them directly.
#include "dialect.h"

#include <QString>
#include <memory>
#include <vector>

namespace dbe::dialect {

struct SelectQuery;

struct Expr {
    enum Kind {
        Null,
        Bool,  // TRUE / FALSE: boolValue
        Number,  // text: the number as written
        Text,  // text: the value
        Date,  // text: the storage text yyyy-MM-dd HH:mm:ss
        Column,  // table (empty when not qualified) and field as written
        Star,  // * or table.* (table empty for *): select lists and COUNT(*)
        Unary,  // op "NOT" or "-"; args[0]
        Binary,  // op AND OR = <> < > <= >= + - * / \ MOD &; args[0], args[1]
        Func,  // text: the function name in upper case; args
        IsNull,  // args[0] IS [NOT] NULL
        Like,  // args[0] [NOT] LIKE args[1]
        Between,  // args[0] [NOT] BETWEEN args[1] AND args[2]
        InList,  // args[0] [NOT] IN (args[1..])
        InSelect,  // args[0] [NOT] IN (subquery)
        Exists,  // [NOT] EXISTS (subquery)
        Subquery,  // (subquery) as a value: one field, at most one record
        Quantified,  // args[0] op ANY|ALL (subquery); text "ANY" (SOME too) or "ALL"
    };
    Kind kind = Null;
    QString op;
    QString text;
    QString table;
    QString field;
    bool boolValue = false;
    bool negated = false;
    std::vector<std::unique_ptr<Expr>> args;
    std::unique_ptr<SelectQuery> subquery;
    int pos = 0;  // source range, for messages
    int end = 0;
    int depth = 1;  // height of the tree below and including this node, a chain of one of
                    // AND, OR and & counted as one level (they are written flat)
    int chain = 1;  // operands of the chain of AND, OR or & this node ends
};
using ExprPtr = std::unique_ptr<Expr>;

// A table in a FROM clause or the target of a statement; or, in a FROM clause, a query read as a
// table: (SELECT ...) [AS] alias.
struct TableRef {
    QString name;  // as written; empty for a query
    QString alias;  // AS alias; empty when none
    int pos = 0;
    std::shared_ptr<const SelectQuery> query;  // the query of (SELECT ...); null for a table
};

// How the tables of a FROM clause are joined, as written: a table (first == last, no parts), or
// the tables first..last joined as left JOIN right (their join's kind and ON condition are those
// the query lists at right->first). A join written in parentheses on the right,
// A JOIN (B JOIN C ON ...) ON ..., is a join whose right part is itself a join.
struct FromNode {
    int first = 0;
    int last = 0;
    std::unique_ptr<FromNode> left, right;
};

struct SelectItem {
    ExprPtr expr;  // a Star expression for * and table.*
    QString alias;  // AS alias; empty when none
};

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
};

struct SelectQuery {
    enum JoinKind { First, Comma, Inner, Left, Right };
    bool distinct = false;
    bool distinctRow = false;  // DISTINCTROW: each record of the tables shown once
    qint64 top = -1;  // TOP n; -1 when absent
    bool topPercent = false;  // TOP n PERCENT: n in hundredths of the records
    std::vector<SelectItem> items;
    QString into;  // SELECT ... INTO table FROM ...: the table it creates
    std::vector<TableRef> from;  // in FROM order
    std::vector<JoinKind> joins;  // one per table of from; First for the first
    std::vector<ExprPtr> on;  // one per table of from; null for First and Comma
    // joins[i] and on[i] belong to the join whose right part begins with table i.
    std::unique_ptr<FromNode> fromTree;
    ExprPtr where;
    std::vector<ExprPtr> groupBy;
    ExprPtr having;
    std::vector<OrderItem> orderBy;
    // UNION [ALL] SELECT ...: the queries after this one, whether each keeps duplicates, and the
    // ORDER BY written after the last one, which orders the whole union.
    std::vector<std::unique_ptr<SelectQuery>> unionParts;
    std::vector<bool> unionAll;
    std::vector<OrderItem> unionOrderBy;
};

struct Assignment {
    ExprPtr target;  // a Column expression
    ExprPtr value;
};

// UPDATE and DELETE name one table, or several joined as in a SELECT (joined then holds the FROM
// list: its from, joins and on; table is its first table).
struct UpdateQuery {
    TableRef table;
    std::unique_ptr<SelectQuery> joined;
    std::vector<Assignment> sets;
    ExprPtr where;
};

struct DeleteQuery {
    TableRef table;
    std::unique_ptr<SelectQuery> joined;
    QString starTable;  // X of DELETE X.* FROM ...; empty when not written
    ExprPtr where;
};

struct InsertQuery {
    TableRef table;
    bool hasFieldList = false;
    std::vector<ExprPtr> fields;  // Column expressions
    std::vector<ExprPtr> values;
    std::unique_ptr<SelectQuery> select;  // INSERT INTO ... SELECT: the query instead of values
};

// One parsed statement: the query kinds carry a tree, data definition a filled Statement whose
// names are as written.
struct ParsedStatement {
    Statement::Kind kind = Statement::Select;
    std::unique_ptr<SelectQuery> select;
    std::unique_ptr<UpdateQuery> update;
    std::unique_ptr<DeleteQuery> remove;
    std::unique_ptr<InsertQuery> insert;
    Statement ddl;
};

}  // namespace dbe::dialect
