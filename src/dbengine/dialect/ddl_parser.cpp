// The data-definition statements: CREATE TABLE, CREATE [UNIQUE] INDEX, DROP INDEX, DROP TABLE
// and ALTER TABLE ADD/DROP [COLUMN] or CONSTRAINT and ALTER [COLUMN], read into a Statement whose names are as
// written. Errors are 3290.
#include "ddl_parser.h"

#include "literals.h"
#include "dbengine/db_types.h"

namespace dbe::dialect {

namespace {

class DefinitionParser {
public:
    explicit DefinitionParser(TokenCursor& c) : c_(c) {}

    Statement definition()
    {
        c_.clauseError = err::SyntaxErrorInDdl;
        Statement s;
        if (c_.acceptKeyword("CREATE")) {
            if (c_.acceptKeyword("TABLE")) {
                s.kind = Statement::CreateTable;
                s.table = c_.name();
                c_.expectOp("(");
                do {
                    if (c_.peek().isKeyword("CONSTRAINT"))
                        s.constraints.append(tableConstraint(s.table));
                    else
                        fieldDefinition(s, s.table);
                } while (c_.acceptOp(","));
                c_.expectOp(")");
                if (s.fields.isEmpty())
                    c_.fail();
                return s;
            }
            s.kind = Statement::CreateIndex;
            s.index.unique = c_.acceptKeyword("UNIQUE");
            c_.expectKeyword("INDEX");
            s.index.name = c_.name();
            c_.expectKeyword("ON");
            s.index.table = c_.name();
            s.table = s.index.table;
            indexFields(s.index, true);
            if (c_.acceptKeyword("WITH")) {
                do {
                    if (c_.acceptKeyword("PRIMARY")) {
                        s.index.primary = true;
                    } else if (c_.acceptKeyword("DISALLOW")) {
                        c_.expectKeyword("NULL");
                        s.index.disallowNull = true;
                    } else if (c_.acceptKeyword("IGNORE")) {
                        c_.expectKeyword("NULL");
                        s.index.ignoreNull = true;
                    } else {
                        c_.fail();
                    }
                } while (c_.peek().kind == Token::Name);
            }
            return s;
        }
        if (c_.acceptKeyword("DROP")) {
            if (c_.acceptKeyword("TABLE")) {
                s.kind = Statement::DropTable;
                s.table = c_.name();
                return s;
            }
            c_.expectKeyword("INDEX");
            s.kind = Statement::DropIndex;
            s.index.name = c_.name();
            c_.expectKeyword("ON");
            s.index.table = c_.name();
            s.table = s.index.table;
            return s;
        }
        c_.expectKeyword("ALTER");
        c_.expectKeyword("TABLE");
        s.table = c_.name();
        if (c_.acceptKeyword("ADD")) {
            if (c_.peek().isKeyword("CONSTRAINT")) {
                s.kind = Statement::CreateIndex;
                s.index = tableConstraint(s.table);
                return s;
            }
            c_.acceptKeyword("COLUMN");
            s.kind = Statement::AlterAddColumn;
            fieldDefinition(s, s.table);
            return s;
        }
        if (c_.acceptKeyword("ALTER")) {
            // ALTER [COLUMN] f TYPE[(n)] [NOT NULL]: the field's new type and size.
            c_.acceptKeyword("COLUMN");
            s.kind = Statement::AlterColumn;
            fieldDefinition(s, s.table);
            if (!s.constraints.isEmpty() || s.fields.front().autoIncrement)
                c_.fail();
            return s;
        }
        c_.expectKeyword("DROP");
        if (c_.acceptKeyword("CONSTRAINT")) {
            s.kind = Statement::DropIndex;
            s.index.name = c_.name();
            s.index.table = s.table;
            return s;
        }
        c_.acceptKeyword("COLUMN");
        s.kind = Statement::AlterDropColumn;
        s.field = c_.name();
        return s;
    }

    // f TYPE[(n)] [NOT NULL] [CONSTRAINT name PRIMARY KEY | UNIQUE]
    void fieldDefinition(Statement& s, const QString& table)
    {
        FieldDef f;
        f.name = c_.name();
        if (c_.peek().kind != Token::Name)
            c_.fail();
        TypeName type;
        if (!lookupTypeName(c_.next().text, &type))
            c_.fail();
        f.type = type.type;
        f.size = type.size;
        f.autoIncrement = type.autoIncrement;
        if (c_.acceptOp("(")) {
            if (c_.peek().kind != Token::Number)
                c_.fail();
            bool ok = false;
            const int n = c_.next().text.toInt(&ok);
            if (type.sized) {
                const int limit = type.type == dbText ? 255 : 510;
                if (!ok || n < 1 || n > limit)
                    c_.fail();
                f.size = n;
            } else if (type.type == dbDecimal) {
                if (c_.acceptOp(",") && c_.peek().kind != Token::Number)
                    c_.fail();
                if (c_.peek().kind == Token::Number)
                    c_.next();
            } else if (type.autoIncrement) {
                // COUNTER(seed, increment): the seed and step are not kept.
                if (c_.acceptOp(",")) {
                    if (c_.peek().kind != Token::Number)
                        c_.fail();
                    c_.next();
                }
            } else {
                c_.fail();
            }
            c_.expectOp(")");
        }
        for (;;) {
            if (c_.acceptKeyword("NOT")) {
                c_.expectKeyword("NULL");
                f.notNull = true;
            } else if (c_.acceptKeyword("NULL")) {
                f.notNull = false;
            } else if (c_.peek().isKeyword("WITH")
                       && (c_.peek(1).isKeyword("COMPRESSION") || c_.peek(1).isKeyword("COMP"))) {
                c_.next();
                c_.next();
            } else if (c_.peek().isKeyword("CONSTRAINT") || c_.peek().isKeyword("PRIMARY")
                       || c_.peek().isKeyword("UNIQUE")) {
                IndexDef index;
                index.table = table;
                if (c_.acceptKeyword("CONSTRAINT"))
                    index.name = c_.name();
                constraintKind(index);
                index.fields.append(f.name);
                index.descending.append(false);
                if (index.name.isEmpty())
                    index.name = index.primary ? QStringLiteral("PrimaryKey") : QStringLiteral("Index_") + f.name;
                s.constraints.append(index);
            } else {
                break;
            }
        }
        s.fields.append(f);
    }

    void constraintKind(IndexDef& index)
    {
        if (c_.acceptKeyword("PRIMARY")) {
            c_.expectKeyword("KEY");
            index.primary = true;
            index.unique = true;
            index.disallowNull = true;
        } else if (c_.acceptKeyword("UNIQUE")) {
            index.unique = true;
        } else {
            c_.fail();
        }
    }

    // CONSTRAINT name PRIMARY KEY|UNIQUE (f1, f2)
    IndexDef tableConstraint(const QString& table)
    {
        c_.expectKeyword("CONSTRAINT");
        IndexDef index;
        index.table = table;
        index.name = c_.name();
        constraintKind(index);
        indexFields(index, false);
        return index;
    }

    void indexFields(IndexDef& index, bool allowOrder)
    {
        c_.expectOp("(");
        do {
            index.fields.append(c_.name());
            bool descending = false;
            if (allowOrder) {
                if (c_.acceptKeyword("DESC"))
                    descending = true;
                else
                    c_.acceptKeyword("ASC");
            }
            index.descending.append(descending);
        } while (c_.acceptOp(","));
        c_.expectOp(")");
    }

private:
    TokenCursor& c_;
};

}  // namespace

Statement parseDefinition(TokenCursor& cursor) { return DefinitionParser(cursor).definition(); }

}  // namespace dbe::dialect
