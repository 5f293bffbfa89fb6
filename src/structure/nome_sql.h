#pragma once
// NomeSql: a table or field name as the structure corrections write it into their statements:
// unchanged when it is a plain name (letters, digits and underscores, not starting with a digit),
// so that the statements read exactly as the corrections have always sent them; between brackets
// when it holds anything else (spaces, apostrophes, accented letters), so that it still reads as
// one name.
#include <QString>

namespace corvale {

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
    return true;
}

inline QString NomeSql(const QString& nome)
{
    return NomeSemplice(nome) ? nome : QLatin1Char('[') + nome + QLatin1Char(']');
}

}  // namespace corvale
