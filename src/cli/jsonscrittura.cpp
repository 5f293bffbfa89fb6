#include "jsonscrittura.h"

namespace corvale::cli {

namespace {
QString virgolette(const QString& s)
{
    QString r = QStringLiteral("\"");
    for (QChar c : s) {
        switch (c.unicode()) {
        case '"': r += QStringLiteral("\\\""); break;
        case '\\': r += QStringLiteral("\\\\"); break;
        case '\n': r += QStringLiteral("\\n"); break;
        case '\r': r += QStringLiteral("\\r"); break;
        case '\t': r += QStringLiteral("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                r += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                r += c;
        }
    }
    return r + QLatin1Char('"');
}
}  // namespace

Json Json::oggetto() { return Json(); }

Json Json::elenco(const QList<Json>& valori)
{
    Json j;
    j.tipo_ = Elenco;
    j.valori_ = valori;
    return j;
}

Json Json::elenco(const QStringList& valori)
{
    QList<Json> l;
    for (const QString& v : valori)
        l << Json(v);
    return elenco(l);
}

void Json::aggiungi(const char* nome, const Json& valore) { membri_.append({QString::fromUtf8(nome), valore}); }

QString Json::testo(int livello) const
{
    const QString rientro(2 * (livello + 1), QLatin1Char(' '));
    const QString chiusura(2 * livello, QLatin1Char(' '));
    switch (tipo_) {
    case Testo:
        return virgolette(testo_);
    case Oggetto: {
        if (membri_.isEmpty())
            return QStringLiteral("{}");
        QStringList parti;
        for (const auto& m : membri_)
            parti << rientro + virgolette(m.first) + QStringLiteral(": ") + m.second.testo(livello + 1);
        return QStringLiteral("{\n") + parti.join(QStringLiteral(",\n")) + QLatin1Char('\n') + chiusura + QLatin1Char('}');
    }
    case Elenco: {
        if (valori_.isEmpty())
            return QStringLiteral("[]");
        QStringList parti;
        for (const Json& v : valori_)
            parti << rientro + v.testo(livello + 1);
        return QStringLiteral("[\n") + parti.join(QStringLiteral(",\n")) + QLatin1Char('\n') + chiusura + QLatin1Char(']');
    }
    }
    return QString();
}

}  // namespace corvale::cli
