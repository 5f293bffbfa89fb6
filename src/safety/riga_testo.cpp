#include "riga_testo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtEndian>
#include <cstring>

namespace corvale {

namespace {

// A JSON string of t, in UTF-8.
void aggiungiStringa(QByteArray& s, const QString& t)
{
    s += '"';
    const QChar* p = t.constData();
    const qsizetype n = t.size();
    for (qsizetype i = 0; i < n;) {
        const char16_t u = p[i].unicode();
        if (u >= 0x80) {  // a run of letters outside ASCII, converted whole
            qsizetype j = i + 1;
            while (j < n && p[j].unicode() >= 0x80)
                ++j;
            s += QStringView(p + i, j - i).toUtf8();
            i = j;
            continue;
        }
        if (u >= 0x20 && u != '"' && u != '\\') {  // a run of plain ASCII, written at once
            qsizetype j = i + 1;
            while (j < n && p[j].unicode() >= 0x20 && p[j].unicode() < 0x80 && p[j] != u'"' && p[j] != u'\\')
                ++j;
            const qsizetype at = s.size();
            s.resize(at + (j - i));
            char* out = s.data() + at;
            for (; i < j; ++i)
                *out++ = char(p[i].unicode());
            continue;
        }
        ++i;
        switch (u) {
        case '"': s += "\\\""; break;
        case '\\': s += "\\\\"; break;
        case '\n': s += "\\n"; break;
        case '\r': s += "\\r"; break;
        case '\t': s += "\\t"; break;
        default:  // the other control characters
            s += "\\u00";
            s += "0123456789abcdef"[u >> 4];
            s += "0123456789abcdef"[u & 15];
        }
    }
    s += '"';
}

// The JSON strings of a record's field names. The last list is kept: a walk journals the records
// of one table, whose names come as one shared list.
const QList<QByteArray>& nomiJson(const QStringList& nomi)
{
    thread_local QStringList ultimi;
    thread_local QList<QByteArray> json;
    if (ultimi != nomi) {
        ultimi = nomi;
        json.clear();
        for (const QString& n : nomi) {
            QByteArray j;
            aggiungiStringa(j, n);
            json << j;
        }
    }
    return json;
}

// The kinds of the compact form: one byte before each value.
enum Tipo : char { kNullo = 'n', kIntero = 'i', kReale = 'r', kTesto = 't', kDati = 'b' };

void aggiungiNumero(QByteArray& s, quint64 v)
{
    while (v >= 0x80) {
        s += char(v | 0x80);
        v >>= 7;
    }
    s += char(v);
}

bool leggiNumero(const QByteArray& s, qsizetype& at, quint64& v)
{
    v = 0;
    for (int shift = 0; shift < 64 && at < s.size(); shift += 7) {
        const quint8 b = quint8(s.at(at++));
        v |= quint64(b & 0x7f) << shift;
        if (!(b & 0x80))
            return true;
    }
    return false;
}

}  // namespace

std::optional<qint64> IdNomiDaDati(const QByteArray& dati, qsizetype* da)
{
    qsizetype at = 0;
    quint64 id = 0;
    if (!leggiNumero(dati, at, id))
        return std::nullopt;
    *da = at;
    return qint64(id);
}

void DatiDaRiga(qint64 idNomi, const dbe::StoredRow& riga, QByteArray& dati)
{
    dati.reserve(dati.size() + 16 + 8 * riga.values.size());
    aggiungiNumero(dati, quint64(idNomi));
    for (const QVariant& v : riga.values) {
        switch (v.typeId()) {
        case QMetaType::UnknownType: dati += kNullo; continue;
        case QMetaType::LongLong:
        case QMetaType::Int: {
            // Zigzag, so that a small negative number takes as few bytes as a small positive one.
            const qint64 n = v.toLongLong();
            dati += kIntero;
            aggiungiNumero(dati, (quint64(n) << 1) ^ quint64(n >> 63));
            continue;
        }
        case QMetaType::Double: {
            quint64 bit;
            const double d = v.toDouble();
            std::memcpy(&bit, &d, sizeof bit);
            dati += kReale;
            const quint64 le = qToLittleEndian(bit);
            dati.append(reinterpret_cast<const char*>(&le), sizeof le);
            continue;
        }
        case QMetaType::QByteArray: {
            const QByteArray b = v.toByteArray();
            dati += kDati;
            aggiungiNumero(dati, quint64(b.size()));
            dati += b;
            continue;
        }
        default: {
            if (v.isNull()) {
                dati += kNullo;
                continue;
            }
            dati += kTesto;
            if (v.typeId() == QMetaType::QString) {
                // The texts of a record are mostly plain ASCII: written as they are, without a
                // converted copy.
                const QString& t = *static_cast<const QString*>(v.constData());
                const QChar* p = t.constData();
                const qsizetype n = t.size();
                qsizetype i = 0;
                while (i < n && p[i].unicode() < 0x80)
                    ++i;
                if (i == n) {
                    aggiungiNumero(dati, quint64(n));
                    const qsizetype at = dati.size();
                    dati.resize(at + n);
                    char* out = dati.data() + at;
                    for (i = 0; i < n; ++i)
                        out[i] = char(p[i].unicode());
                    continue;
                }
            }
            const QByteArray t = v.toString().toUtf8();
            aggiungiNumero(dati, quint64(t.size()));
            dati += t;
        }
        }
    }
}

std::optional<dbe::StoredRow> RigaDaDati(const QByteArray& dati, qsizetype da, const QStringList& nomi)
{
    dbe::StoredRow r;
    r.columns = nomi;
    r.values.reserve(nomi.size());
    qsizetype at = da;
    while (at < dati.size()) {
        const char tipo = dati.at(at++);
        quint64 n = 0;
        switch (tipo) {
        case kNullo: r.values << QVariant(); continue;
        case kIntero:
            if (!leggiNumero(dati, at, n))
                return std::nullopt;
            r.values << QVariant(qlonglong(qint64(n >> 1) ^ -qint64(n & 1)));
            continue;
        case kReale: {
            if (dati.size() - at < 8)
                return std::nullopt;
            quint64 le;
            std::memcpy(&le, dati.constData() + at, sizeof le);
            at += 8;
            const quint64 bit = qFromLittleEndian(le);
            double d;
            std::memcpy(&d, &bit, sizeof d);
            r.values << QVariant(d);
            continue;
        }
        case kTesto:
        case kDati:
            if (!leggiNumero(dati, at, n) || n > quint64(dati.size() - at))
                return std::nullopt;
            if (tipo == kTesto)
                r.values << QVariant(QString::fromUtf8(dati.constData() + at, qsizetype(n)));
            else
                r.values << QVariant(dati.mid(at, qsizetype(n)));
            at += qsizetype(n);
            continue;
        default: return std::nullopt;
        }
    }
    if (r.values.size() != nomi.size())
        return std::nullopt;
    return r;
}

QByteArray TestoDaRiga(const dbe::StoredRow& riga)
{
    QByteArray s;
    s.reserve(40 * riga.columns.size());
    s += '[';
    const QList<QByteArray>& nomi = nomiJson(riga.columns);
    for (int i = 0; i < riga.columns.size(); ++i) {
        if (i > 0)
            s += ',';
        s += '[';
        s += nomi.at(i);
        const QVariant& v = riga.values.at(i);
        switch (v.typeId()) {
        case QMetaType::UnknownType: s += ",\"n\",null]"; continue;
        case QMetaType::LongLong:
        case QMetaType::Int: s += ",\"i\",\"" + QByteArray::number(v.toLongLong()) + "\"]"; continue;
        case QMetaType::Double: s += ",\"r\",\"" + QByteArray::number(v.toDouble(), 'g', 17) + "\"]"; continue;
        case QMetaType::QByteArray: s += ",\"b\",\"" + v.toByteArray().toBase64() + "\"]"; continue;
        default:
            if (v.isNull()) {
                s += ",\"n\",null]";
                continue;
            }
            s += ",\"t\",";
            aggiungiStringa(s, v.toString());
            s += ']';
        }
    }
    s += ']';
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
