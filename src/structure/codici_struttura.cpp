#include "codici_struttura.h"

namespace corvale {

bool AggiungiErroreStruttura(QString* P, const QString& COD)
{
    bool numero = false;
    P[1].trimmed().toDouble(&numero);
    if (!numero)
        P[1] = QStringLiteral("1");
    // The counter is read as a 16-bit integer: its highest slot in use.
    const int n = static_cast<qint16>(P[1].trimmed().toDouble());
    if (n >= 10 || n < 1)
        return false;
    P[n + 1] = COD;
    P[1] = QString::number(n + 1);
    return true;
}

QString RicavaDatoDaCod(const QString& Cosa, const QString& COD)
{
    const int gt = COD.indexOf(QLatin1Char('>'));
    const QString codice = gt < 0 ? COD : COD.left(gt);
    const QString resto = gt < 0 ? QString() : COD.mid(gt + 1);

    QString campo, indice, numero, proprieta;
    auto dividi = [&resto](QString& primo, QString& secondo) {
        const int h = resto.indexOf(QLatin1Char('#'));
        primo = h < 0 ? resto : resto.left(h);
        secondo = h < 0 ? QString() : resto.mid(h + 1);
    };
    if (codice == cod::NoFld) {
        campo = resto;
    } else if (codice == cod::Len || codice == cod::Attr || codice == cod::Tipo) {
        dividi(campo, numero);
    } else if (codice == cod::NoIdx) {
        indice = resto;
    } else if (codice == cod::NoFldIdx) {
        dividi(indice, campo);
    } else if (codice == cod::NoProp) {
        proprieta = resto;
    }

    if (Cosa == QLatin1String("CODICE"))
        return codice;
    if (Cosa == QLatin1String("CAMPO"))
        return campo;
    if (Cosa == QLatin1String("INDICE"))
        return indice;
    if (Cosa == QLatin1String("PROPRIETA"))
        return proprieta;
    if (Cosa == QLatin1String("ATTRIBUTO"))
        return codice == cod::Attr ? numero : QString();
    if (Cosa == QLatin1String("TIPO"))
        return codice == cod::Tipo ? numero : QString();
    if (Cosa == QLatin1String("LUNGHEZZA"))
        return codice == cod::Len ? numero : QString();
    return QString();
}

QString TestoCorrezione(const QString& nomeTabella, const QString& COD)
{
    const QString codice = RicavaDatoDaCod(QStringLiteral("CODICE"), COD);
    const QString campo = RicavaDatoDaCod(QStringLiteral("CAMPO"), COD);
    const QString indice = RicavaDatoDaCod(QStringLiteral("INDICE"), COD);
    if (codice == cod::NoTab)
        return QStringLiteral("Aggiunta tabella ") + nomeTabella;
    if (codice == cod::NoFld)
        return QStringLiteral("Aggiunta Campo ") + campo;
    if (codice == cod::Len)
        return QStringLiteral("Correzione Lunghezza Campo ") + campo + QStringLiteral(" a ")
               + RicavaDatoDaCod(QStringLiteral("LUNGHEZZA"), COD);
    if (codice == cod::Attr)
        return QStringLiteral("Correzione Attributi Campo ") + campo + QStringLiteral(" a ")
               + RicavaDatoDaCod(QStringLiteral("ATTRIBUTO"), COD);
    if (codice == cod::Tipo)
        return QStringLiteral("Correzione Tipo Campo ") + campo + QStringLiteral(" a ")
               + RicavaDatoDaCod(QStringLiteral("TIPO"), COD);
    if (codice == cod::NoIdx)
        return QStringLiteral("Aggiunta Indice ") + indice;
    if (codice == cod::NoFldIdx)
        return QStringLiteral("Aggiunta Campo ") + campo + QStringLiteral(" all'indice ") + indice;
    if (codice == cod::NoProp)
        return QStringLiteral("Aggiunta Proprieta ") + RicavaDatoDaCod(QStringLiteral("PROPRIETA"), COD);
    return COD;
}

}  // namespace corvale
