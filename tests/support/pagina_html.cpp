#include "pagina_html.h"

#include <QRegularExpression>

namespace corvale::prova {

QString TestoPagina(const QString& html)
{
    QString t = html;
    t.remove(QRegularExpression(QStringLiteral("<style>.*</style>"), QRegularExpression::DotMatchesEverythingOption));
    t.replace(QRegularExpression(QStringLiteral("<[^>]*>")), QStringLiteral(" "));
    t.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&#39;"), QStringLiteral("'"))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return t.simplified();
}

QList<QStringList> RigheTabella(const QString& html, const QString& classe)
{
    QList<QStringList> righe;
    const QRegularExpression tabella(
        QStringLiteral("<table class=\"%1\">(.*?)</table>").arg(QRegularExpression::escape(classe)),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpression riga(QStringLiteral("<tr>(.*?)</tr>"), QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpression cella(QStringLiteral("<td[^>]*>(.*?)</td>"),
                                   QRegularExpression::DotMatchesEverythingOption);
    for (const auto& t : tabella.globalMatch(html)) {
        for (const auto& r : riga.globalMatch(t.captured(1))) {
            QStringList celle;
            for (const auto& c : cella.globalMatch(r.captured(1)))
                celle << TestoPagina(c.captured(1));
            if (!celle.isEmpty())
                righe << celle;
        }
    }
    return righe;
}

}  // namespace corvale::prova
