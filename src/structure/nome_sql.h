#pragma once
// NomeSql: a table or field name as the structure corrections write it into their statements:
// unchanged when it is a plain name (letters, digits and underscores, not starting with a digit,
// and not a word of the query dialect), so that the statements read exactly as the corrections
// have always sent them; between brackets otherwise (spaces, apostrophes, accented letters, or a
// word such as ORDER, GROUP, DESC, SET, DATE or NOTE), so that it still reads as one name.
// ControllaNomeSql refuses, with the engine's invalid-name error 3125, a name that no statement can
// carry: an empty one, or one holding a closing bracket (a bracketed name ends at the first one).
#include "dbengine/db_error.h"

#include <QSet>
#include <QString>

namespace corvale {

// The words of the query dialect and of its data types, in upper case: as a bare name they would
// be read as part of the statement.
inline bool ParolaRiservata(const QString& nome)
{
    static const QSet<QString> parole = [] {
        QSet<QString> s;
        for (const char* p : {"ADD",        "ALL",       "ALTER",       "AND",
                              "ANY",        "AS",        "ASC",         "AUTOINCREMENT",
                              "AVG",        "BETWEEN",   "BINARY",      "BIT",
                              "BOOL",       "BOOLEAN",   "BY",          "BYTE",
                              "CHAR",       "CHARACTER", "CLOB",        "COLUMN",
                              "CONSTRAINT", "COUNT",     "COUNTER",     "CREATE",
                              "CURRENCY",   "DATABASE",  "DATE",        "DATETIME",
                              "DEC",        "DECIMAL",   "DELETE",      "DESC",
                              "DISALLOW",   "DISTINCT",  "DISTINCTROW", "DOUBLE",
                              "DROP",       "EQV",       "EXISTS",      "FALSE",
                              "FIRST",      "FLOAT",     "FLOAT4",      "FLOAT8",
                              "FOREIGN",    "FROM",      "FULL",        "GROUP",
                              "GUID",       "HAVING",    "IGNORE",      "IIF",
                              "IMAGE",      "IMP",       "IN",          "INDEX",
                              "INNER",      "INSERT",    "INT",         "INTEGER",
                              "INTO",       "IS",        "ISNULL",      "JOIN",
                              "KEY",        "LAST",      "LEFT",        "LIKE",
                              "LOGICAL",    "LONG",      "LONGBINARY",  "LONGTEXT",
                              "MAX",        "MEMO",      "MIN",         "MOD",
                              "MONEY",      "NOT",       "NOTE",        "NULL",
                              "NUMBER",     "NUMERIC",   "OLEOBJECT",   "ON",
                              "OR",         "ORDER",     "OUTER",       "PERCENT",
                              "PIVOT",      "PRIMARY",   "PROCEDURE",   "REAL",
                              "REFERENCES", "RIGHT",     "SELECT",      "SET",
                              "SHORT",      "SINGLE",    "SMALLINT",    "SOME",
                              "STRING",     "SUM",       "TABLE",       "TEXT",
                              "TIME",       "TIMESTAMP", "TINYINT",     "TO",
                              "TOP",        "TRANSFORM", "TRIM",        "TRUE",
                              "UNION",      "UNIQUE",    "UPDATE",      "VALUE",
                              "VALUES",     "VARBINARY", "VARCHAR",     "WHERE",
                              "WITH",       "XOR",       "YESNO"})
            s.insert(QString::fromLatin1(p));
        return s;
    }();
    return parole.contains(nome.toUpper());
}

inline bool NomeSemplice(const QString& nome)
{
    if (nome.isEmpty() || nome.front().isDigit())
        return false;
    for (const QChar c : nome) {
        const ushort u = c.unicode();
        const bool ok = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_';
        if (!ok)
            return false;
    }
    return !ParolaRiservata(nome);
}

inline void ControllaNomeSql(const QString& nome)
{
    if (nome.isEmpty() || nome.contains(QLatin1Char(']')))
        throw dbe::DbError::make(dbe::err::InvalidName, {nome});
}

inline QString NomeSql(const QString& nome)
{
    ControllaNomeSql(nome);
    return NomeSemplice(nome) ? nome : QLatin1Char('[') + nome + QLatin1Char(']');
}

}  // namespace corvale
