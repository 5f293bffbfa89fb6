#include "token_cursor.h"

#include <QSet>

namespace dbe::dialect {

bool isReserved(const Token& t)
{
    static const QSet<QString> words = {
        QStringLiteral("SELECT"), QStringLiteral("FROM"),        QStringLiteral("WHERE"),    QStringLiteral("AND"),
        QStringLiteral("OR"),     QStringLiteral("NOT"),         QStringLiteral("IN"),       QStringLiteral("IS"),
        QStringLiteral("LIKE"),   QStringLiteral("BETWEEN"),     QStringLiteral("NULL"),     QStringLiteral("ORDER"),
        QStringLiteral("BY"),     QStringLiteral("GROUP"),       QStringLiteral("HAVING"),   QStringLiteral("JOIN"),
        QStringLiteral("ON"),     QStringLiteral("INNER"),       QStringLiteral("LEFT"),     QStringLiteral("RIGHT"),
        QStringLiteral("OUTER"),  QStringLiteral("AS"),          QStringLiteral("DISTINCT"), QStringLiteral("UNION"),
        QStringLiteral("INTO"),   QStringLiteral("VALUES"),      QStringLiteral("SET"),      QStringLiteral("MOD"),
        QStringLiteral("ASC"),    QStringLiteral("DESC"),        QStringLiteral("TRUE"),     QStringLiteral("FALSE"),
        QStringLiteral("TOP"),    QStringLiteral("DISTINCTROW"), QStringLiteral("ALL"),      QStringLiteral("WITH"),
    };
    return t.kind == Token::Name && words.contains(t.text.toUpper());
}

void TokenCursor::fail() const
{
    if (exprStart >= 0) {
        QString shown = text_.mid(exprStart).trimmed();
        if (shown.endsWith(u';'))
            shown.chop(1);
        throw DbError::make(err::SyntaxErrorInExpression, {shown.trimmed()});
    }
    throw DbError::make(clauseError);
}

}  // namespace dbe::dialect
