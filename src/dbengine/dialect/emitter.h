#pragma once
// The emitter: resolves the names of a parsed query against the schema and writes the SQLite SQL
// of its expressions and FROM clauses. It carries the dialect's rules: text compared without
// regard to case (an explicit COLLATE NOCASE on every comparison that involves a text column, or
// a text value compared with anything but a non-text column, which keeps indexes on numeric and
// date columns usable), TRUE as -1, ISNULL, & as text concatenation, #dates# as storage text.
// Missing tables raise 3078 at once; unknown names are collected and raise 3061 with their count
// from finish(); a bare name found in two tables of one FROM clause raises 3079.
#include "ast.h"

#include <QSet>
#include <QVector>
#include <deque>
#include <functional>

namespace dbe::dialect {

struct JoinCondition;

// An emitted expression and what is known of its value.
struct Value {
    enum Kind { Bool, Text, Number, Date, Null, Other };
    QString sql;
    Kind kind = Other;
    bool column = false;  // a plain column reference
    bool aggregate = false;  // contains an aggregate function
    short type = 0;  // the column's type (0 when not a column)
    qint32 size = 0;
    int source = -1;  // the column's source in the innermost scope, -1 otherwise
    int columnIndex = -1;
    QString table, field;  // a plain column's table and field, as stored
};

// A table of a FROM clause (or a statement's target) found in the schema, or a query read as a
// table: then table describes its fields (named as the query names them, typed as their values,
// so that they compare and sort as those values), and query holds the SQL that yields them.
struct Source {
    const Table* table = nullptr;
    QString written;  // how the query calls it: the alias, else the name as written
    QString sqlName;  // how the SQL calls it: the alias, else the stored name
    QString query;  // the SQL of (SELECT ...) read as a table; empty for a table
};

class Emitter {
public:
    Emitter(const SchemaProvider& schema, const QString& statementText);

    // The sources of a FROM list, in order; a missing table raises 3078, two sources called by
    // the same name 3081. A query read as a table is planned here, apart from the query around it.
    QVector<Source> resolveSources(const std::vector<TableRef>& from);
    // The target table of a statement; a missing table raises 3078.
    Source resolveTarget(const TableRef& ref) const;

    // Names are looked up in the innermost scope first, then outwards.
    void pushScope(const QVector<Source>* sources) { scopes_.append(sources); }
    void popScope() { scopes_.removeLast(); }

    // An expression used as a value: a condition gives -1 or 0, as the dialect's TRUE and FALSE.
    Value value(const Expr& e);
    // An expression used as a condition (WHERE, ON, HAVING).
    Value condition(const Expr& e);
    // The condition of a WHERE clause: an aggregate in it raises 3096 naming it.
    Value whereCondition(const Expr& e);

    // Whether aggregate functions are allowed where the next expressions are emitted.
    void setAggregatesAllowed(bool allowed) { aggregatesAllowed_ = allowed; }
    // How many aggregate functions have been emitted so far.
    int aggregateCount() const { return aggregateCount_; }

    // The FROM clause of a query whose sources are given (right joins of two tables are written as
    // left joins with the tables swapped, which SQLite plans well), without the word FROM. Joins
    // written in parentheses keep them.
    QString fromClause(const SelectQuery& q, const QVector<Source>& sources);
    // True when fromClause() writes the two tables of a right join the other way round.
    static bool swapsSides(const SelectQuery& q);
    // True when one of the sources is a query read as a table (its records have no rowid).
    static bool hasQuerySource(const QVector<Source>& sources);
    // The sources joined in parentheses on the right of a join, A JOIN (B JOIN C ON ...) ON ...:
    // SQLite reads such a join as a query of its own, so their records have no rowid either.
    static QSet<int> nestedSources(const SelectQuery& q);

    // The name under which the table's rowid is reached: rowid, else _rowid_, else oid (a table
    // may have fields so named); raises 3998 when the table has a field of each name.
    static QString rowidName(const Table& table);
    // The identity of a record of the table (dbe_ident of its primary key's fields, or of its
    // first field when it has none), its columns qualified with the source's SQL name unless empty.
    static QString identitySql(const Table& table, const QString& sqlName);
    // The content of a record: dbe_ident of every stored value of the row (storage class included),
    // by which a write makes sure the record is still the one that was read.
    static QString contentSql(const Table& table, const QString& sqlName);

    // Counts a name that designates nothing (reported by finish()).
    void noteUnknown(const QString& name);
    // Raises 3061 with the number of unknown names when there were any.
    void finish() const;

    static QString quote(const QString& identifier);
    static QString textLiteral(const QString& text);
    static bool isTextType(short type) { return type == 10 || type == 12; }

    // Whether the plain column v (of a table, not of a query read as a table) holds plain values
    // only (SchemaProvider::plainColumn).
    bool plainColumn(const Value& v) const;
    // Whether both are plain; when they are, the plain form of their comparison is written, and
    // both are kept in plainColumns().
    bool assumePlain(const QVector<const Value*>& columns);
    const QVector<PlainColumn>& plainColumns() const { return plainColumns_; }

    // Raises 3075 for the expression e with its text.
    [[noreturn]] void expressionError(const Expr& e) const;

private:
    Value emitExpr(const Expr& e);
    Value column(const Expr& e);
    Value function(const Expr& e);
    Value unary(const Expr& e);  // NOT x, - x
    Value binary(const Expr& e);  // one of the four below
    // a AND b AND c (or OR), written flat in groups SQLite's parser takes.
    Value logicalChain(const Expr& e);
    // a & b & c, as one call.
    Value concatenation(const Expr& e);
    Value comparison(const Expr& e);
    Value arithmetic(const Expr& e);  // + - * / \ MOD ^
    Value like(const Expr& e);
    Value inList(const Expr& e);
    Value inSelect(const Expr& e);
    Value exists(const Expr& e);
    Value scalarSubquery(const Expr& e);
    Value quantified(const Expr& e);
    // The SQL of the subquery q, its select list written by selectList with q's sources in scope;
    // its ORDER BY written when ordered, then LIMIT and OFFSET when not negative.
    QString subquerySql(const SelectQuery& q, const std::function<QString()>& selectList, bool ordered, qint64 limit,
                        qint64 offset = -1);
    // The subquery of "x IN (SELECT k ...)" or "x op ANY (SELECT k ...)" selecting its one field
    // (named keyAlias when not empty) in the form x is compared with; *left gets x in that form.
    QString keyedSubquerySql(const Expr& e, const QString& keyAlias, QString* left);
    QString asValue(const Value& v) const;
    // The source of (SELECT ...) [AS] alias: the query planned, its fields as a table's.
    Source querySource(const TableRef& ref);
    QString joinSql(const SelectQuery& q, const FromNode& node, const QVector<Source>& sources);
    // In the ON condition of the join that adds source inner: the text and number fields of inner to
    // look up by the spellings or stored forms of the other side, those of the index that seeks on
    // most of its equalities.
    QSet<int> seekLookups(const Expr& on, int inner, const QVector<Source>& sources);
    // Of those lookups, the text fields that are looked up together (join->keys), when there are
    // two or more.
    void keyLookups(const Expr& on, const Source& inner, JoinCondition* join);

    const SchemaProvider& schema_;
    std::deque<Table> queryTables_;  // the fields of each query read as a table
    const QString& text_;
    QVector<const QVector<Source>*> scopes_;
    QStringList unknown_;
    bool aggregatesAllowed_ = false;
    bool inWhere_ = false;
    JoinCondition* join_ = nullptr;  // while a join's ON condition is emitted
    int aggregateCount_ = 0;
    QVector<PlainColumn> plainColumns_;
};

}  // namespace dbe::dialect
