#include "riga_testo.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace corvale {

namespace {

bool daProteggere(const QString& t)
{
    for (const QChar c : t)
        if (c.unicode() < 0x20 || c == QLatin1Char('"') || c == QLatin1Char('\\'))
            return true;
    return false;
}

void aggiungiStringa(QString& s, const QString& t)
{
    s += QLatin1Char('"');
    if (!daProteggere(t)) {  // the common case: appended whole
        s += t;
        s += QLatin1Char('"');
        return;
    }
    for (const QChar c : t) {
        switch (c.unicode()) {
        case '"': s += QLatin1String("\\\""); break;
        case '\\': s += QLatin1String("\\\\"); break;
        case '\n': s += QLatin1String("\\n"); break;
        case '\r': s += QLatin1String("\\r"); break;
        case '\t': s += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                s += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                s += c;
        }
    }
    s += QLatin1Char('"');
}

}  // namespace

QString TestoDaRiga(const dbe::StoredRow& riga)
{
    QString s;
    s.reserve(32 * riga.columns.size());
    s += QLatin1Char('[');
    for (int i = 0; i < riga.columns.size(); ++i) {
        if (i > 0)
            s += QLatin1Char(',');
        s += QLatin1Char('[');
        aggiungiStringa(s, riga.columns.at(i));
        const QVariant& v = riga.values.at(i);
        switch (v.typeId()) {
        case QMetaType::UnknownType:
            s += QLatin1String(",\"n\",null]");
            continue;
        case QMetaType::LongLong:
        case QMetaType::Int:
            s += QLatin1String(",\"i\",\"") + QString::number(v.toLongLong()) + QLatin1String("\"]");
            continue;
        case QMetaType::Double:
            s += QLatin1String(",\"r\",\"") + QString::number(v.toDouble(), 'g', 17) + QLatin1String("\"]");
            continue;
        case QMetaType::QByteArray:
            s += QLatin1String(",\"b\",\"") + QString::fromLatin1(v.toByteArray().toBase64()) + QLatin1String("\"]");
            continue;
        default:
            if (v.isNull()) {
                s += QLatin1String(",\"n\",null]");
                continue;
            }
            s += QLatin1String(",\"t\",");
            aggiungiStringa(s, v.toString());
            s += QLatin1Char(']');
        }
    }
    s += QLatin1Char(']');
    return s;
}

std::optional<dbe::StoredRow> RigaDaTesto(const QString& testo)
{
    QJsonParseError e;
    const QJsonDocument d = QJsonDocument::fromJson(testo.toUtf8(), &e);
    if (e.error != QJsonParseError::NoError || !d.isArray())
        return std::nullopt;
    dbe::StoredRow r;
    for (const QJsonValue& x : d.array()) {
        const QJsonArray t = x.toArray();
        if (t.size() != 3 || !t.at(0).isString() || !t.at(1).isString())
            return std::nullopt;
        const QString tipo = t.at(1).toString();
        const QString val = t.at(2).toString();
        QVariant v;
        bool ok = true;
        if (tipo == QLatin1String("i"))
            v = QVariant(qlonglong(val.toLongLong(&ok)));
        else if (tipo == QLatin1String("r"))
            v = QVariant(val.toDouble(&ok));
        else if (tipo == QLatin1String("t"))
            v = QVariant(val);
        else if (tipo == QLatin1String("b"))
            v = QVariant(QByteArray::fromBase64(val.toLatin1()));
        else if (tipo != QLatin1String("n"))
            ok = false;
        if (!ok)
            return std::nullopt;
        r.columns << t.at(0).toString();
        r.values << v;
    }
    return r;
}

// Stored values compared as the journal keeps them: same kind and value; a value written by the
// engine (a text, a number) equals its stored form when both read the same.
bool StessoValore(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    if (a.typeId() == b.typeId())
        return a == b;
    return a.toString() == b.toString();
}

// True when every field of `campi` holds in `riga` the value `campi` gives.
bool HaCampi(const dbe::StoredRow& riga, const dbe::StoredRow& campi)
{
    for (int i = 0; i < campi.columns.size(); ++i) {
        const int at = riga.indexOf(campi.columns.at(i));
        if (at < 0 || !StessoValore(riga.values.at(at), campi.values.at(i)))
            return false;
    }
    return true;
}

// The fields of `campi` with the values `riga` had.
dbe::StoredRow ValoriPrima(const dbe::StoredRow& riga, const dbe::StoredRow& campi)
{
    dbe::StoredRow r;
    for (const QString& c : campi.columns) {
        const int at = riga.indexOf(c);
        r.columns << c;
        r.values << (at >= 0 ? riga.values.at(at) : QVariant());
    }
    return r;
}

QString ValoreLeggibile(const QVariant& v)
{
    if (v.isNull() || !v.isValid())
        return QStringLiteral("Null");
    if (v.typeId() == QMetaType::QString)
        return QLatin1Char('\'') + v.toString() + QLatin1Char('\'');
    if (v.typeId() == QMetaType::QByteArray)
        return QStringLiteral("(%1 byte)").arg(v.toByteArray().size());
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 17);
    return v.toString();
}

}  // namespace corvale
