#include "ricerca_chiave.h"

#include "dbengine/db_types.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>

namespace corvale {

QStringList CampiChiave(const TaskCorrezione& task)
{
    bool ok = false;
    const int n = task.Param(2).trimmed().toInt(&ok);
    if (!ok || n < 1 || n > 6)
        return {};
    QStringList campi;
    for (int i = 1; i <= n; ++i) {
        const QString p = task.Param(i + 2);
        if (p.isEmpty())
            return {};
        campi << (p.startsWith(QLatin1Char('.')) ? task.Param(1) + p : p);
    }
    return campi;
}

bool TestoChiaveUtilizzabile(const QString& testo)
{
    for (const QChar c : testo) {
        if (c == QLatin1Char('\'') || c.category() == QChar::Other_Control || c.category() == QChar::Other_Format
            || c.isSurrogate() || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            return false;
    }
    return true;
}

namespace {

std::optional<QString> TestoNumero(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Long:
    case QMetaType::ULong: return v.toString();
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        if (!std::isfinite(d))
            return std::nullopt;
        // The shortest form that reads back as the same number, without an exponent.
        return QString::number(d, 'f', QLocale::FloatingPointShortest);
    }
    default: return std::nullopt;
    }
}

}  // namespace

std::optional<QString> ClausolaChiave(const ValoreChiave& chiave)
{
    const QString& nome = chiave.Nome;
    const QVariant& v = chiave.Valore;
    if (v.isNull() || !v.isValid())
        return QStringLiteral("AND ISNULL(") + nome + QStringLiteral(") ");
    if (chiave.Tipo == dbe::dbText || chiave.Tipo == dbe::dbMemo) {
        const QString testo = v.toString();
        if (!TestoChiaveUtilizzabile(testo))
            return std::nullopt;
        return QStringLiteral("AND ") + nome + QStringLiteral("='") + testo + QStringLiteral("' ");
    }
    if (chiave.Tipo == dbe::dbDate) {
        const QDateTime dt = v.toDateTime();
        if (!dt.isValid() || dt.date().year() < 100 || dt.date().year() > 9999)
            return std::nullopt;
        return QStringLiteral("AND ") + nome + QStringLiteral("=#") + dt.date().toString(QStringLiteral("MM/dd/yyyy"))
               + QStringLiteral("# ");
    }
    if (chiave.Tipo == dbe::dbBinary || chiave.Tipo == dbe::dbLongBinary || chiave.Tipo == dbe::dbGUID)
        return std::nullopt;
    const std::optional<QString> numero = TestoNumero(v);
    if (!numero)
        return std::nullopt;
    return QStringLiteral("AND ") + nome + QStringLiteral("=") + *numero + QStringLiteral(" ");
}

std::optional<QString> CreaSqlRicerca(const QString& tabella, const QVector<ValoreChiave>& chiavi)
{
    QString condizione = QStringLiteral("TRUE ");
    for (const ValoreChiave& k : chiavi) {
        const std::optional<QString> clausola = ClausolaChiave(k);
        if (!clausola)
            return std::nullopt;
        condizione += *clausola;
    }
    return QStringLiteral("SELECT * FROM ") + tabella + QStringLiteral(" WHERE ") + condizione;
}

QString CampoTabella(const QString& nome)
{
    const int punto = nome.lastIndexOf(QLatin1Char('.'));
    return punto < 0 ? nome : nome.mid(punto + 1);
}

bool StessaChiave(const QVariant& trovato, const QVariant& cercato)
{
    const bool nullo1 = trovato.isNull() || !trovato.isValid();
    const bool nullo2 = cercato.isNull() || !cercato.isValid();
    if (nullo1 || nullo2)
        return nullo1 && nullo2;
    const int t1 = trovato.typeId();
    const int t2 = cercato.typeId();
    if (t1 == QMetaType::QString || t2 == QMetaType::QString)
        return t1 == t2 && trovato.toString().compare(cercato.toString(), Qt::CaseInsensitive) == 0;
    if (t1 == QMetaType::QDateTime || t2 == QMetaType::QDateTime)
        return t1 == t2 && trovato.toDateTime() == cercato.toDateTime();
    if (t1 == QMetaType::QByteArray || t2 == QMetaType::QByteArray)
        return false;
    if (t1 == QMetaType::Bool || t2 == QMetaType::Bool)
        return trovato.toBool() == cercato.toBool();
    bool ok1 = false, ok2 = false;
    const double d1 = trovato.toDouble(&ok1);
    const double d2 = cercato.toDouble(&ok2);
    if (!ok1 || !ok2)
        return false;
    if ((t1 == QMetaType::LongLong || t1 == QMetaType::Int) && (t2 == QMetaType::LongLong || t2 == QMetaType::Int))
        return trovato.toLongLong() == cercato.toLongLong();
    return d1 == d2;
}

}  // namespace corvale
