#include "conversione_valori.h"

#include <QDateTime>
#include <QStringDecoder>
#include <charconv>
#include <cmath>

namespace corvale {

namespace {

bool eTesto(short tipo) { return tipo == dbe::dbText || tipo == dbe::dbMemo; }

bool eNumero(short tipo)
{
    switch (tipo) {
    case dbe::dbBoolean:
    case dbe::dbByte:
    case dbe::dbInteger:
    case dbe::dbLong:
    case dbe::dbCurrency:
    case dbe::dbSingle:
    case dbe::dbDouble:
    case dbe::dbDecimal: return true;
    default: return false;
    }
}

[[noreturn]] void cambierebbe(const QString& campo, const QString& valore)
{
    throw dbe::DbError(dbe::err::TypeMismatch, dbe::errorDescription(dbe::err::TypeMismatch)
                                                   + QStringLiteral(" Il valore '") + valore
                                                   + QStringLiteral("' del campo '") + campo
                                                   + QStringLiteral("' non si conserva nel nuovo tipo."));
}

// The text an operator reads for a value of the old field (for the messages and for text fields).
QString testoValore(const QVariant& v, short tipo)
{
    switch (v.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        if (dt.time() == QTime(0, 0))
            return dt.toString(QStringLiteral("dd/MM/yyyy"));
        return dt.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    }
    case QMetaType::Double:
    case QMetaType::Float: return TestoNumero(v.toDouble(), tipo == dbe::dbSingle);
    case QMetaType::LongLong:
    case QMetaType::Int: return QString::number(v.toLongLong());
    default: return v.toString();
    }
}

// The number an old value stands for; false when it is no number (then the engine decides).
bool numeroDi(const QVariant& v, short tipo, double* d)
{
    switch (v.typeId()) {
    case QMetaType::Bool: *d = v.toBool() ? -1 : 0; return true;
    case QMetaType::LongLong:
    case QMetaType::Int: *d = double(v.toLongLong()); return true;
    case QMetaType::Double:
    case QMetaType::Float:
        // A single counts as the figures it shows.
        *d = tipo == dbe::dbSingle
                 ? TestoNumero(v.toDouble(), true).replace(QLatin1Char(','), QLatin1Char('.')).toDouble()
                 : v.toDouble();
        return true;
    case QMetaType::QDateTime: *d = NumeroGiorno(v.toDateTime()); return true;
    case QMetaType::QString:
        *d = dbe::ConvertValue(v, dbe::dbDouble).toDouble();  // the engine's reading of the text
        return true;
    default: return false;
    }
}

bool stessoNumero(const QVariant& w, short tipoNuovo, double d)
{
    switch (tipoNuovo) {
    case dbe::dbBoolean: return (w.toBool() ? -1.0 : 0.0) == d;
    case dbe::dbByte:
    case dbe::dbInteger:
    case dbe::dbLong: return double(w.toLongLong()) == d;
    case dbe::dbSingle: return TestoNumero(w.toDouble(), true) == TestoNumero(d, false);
    default: return w.toDouble() == d;
    }
}

}  // namespace

QString TestoNumero(double d, bool single)
{
    // Plain figures between 0,00001 and a thousand million million, an exponent beyond.
    const double a = std::fabs(d);
    const auto forma = a == 0 || (a >= 1e-5 && a < 1e15) ? std::chars_format::fixed : std::chars_format::scientific;
    char buf[400];
    const auto r =
        single ? std::to_chars(buf, buf + sizeof buf, float(d), forma) : std::to_chars(buf, buf + sizeof buf, d, forma);
    QString t = QString::fromLatin1(buf, int(r.ptr - buf));
    t.replace(QLatin1Char('.'), QLatin1Char(',')).replace(QLatin1Char('e'), QLatin1Char('E'));
    return t;
}

double NumeroGiorno(const QDateTime& dt)
{
    const qint64 giorni = QDate(1899, 12, 30).daysTo(dt.date());
    const double frazione = dt.time().msecsSinceStartOfDay() / 86400000.0;
    // Before the first day the fraction still counts forward in the day: -1,25 is 29/12/1899 06:00.
    return giorni >= 0 ? double(giorni) + frazione : double(giorni) - frazione;
}

QVariant ValoreConvertito(const QVariant& vecchio, short tipoVecchio, short tipoNuovo, const QString& campo)
{
    if (!vecchio.isValid() || vecchio.isNull())
        return QVariant();
    const bool daTesto = vecchio.typeId() == QMetaType::QString;
    if (eTesto(tipoNuovo)) {
        if (vecchio.typeId() == QMetaType::QByteArray) {
            // Bytes become a text only when they are one (UTF-8), so that the text holds them all.
            const QByteArray byte = vecchio.toByteArray();
            QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString testo = utf8(byte);
            if (utf8.hasError() || testo.toUtf8() != byte)
                cambierebbe(campo, QStringLiteral("0x") + QString::fromLatin1(byte.left(32).toHex().toUpper())
                                       + (byte.size() > 32 ? QStringLiteral("...") : QString()));
            return dbe::ConvertValue(testo, tipoNuovo);
        }
        if (daTesto || vecchio.typeId() == QMetaType::Bool)
            return dbe::ConvertValue(vecchio, tipoNuovo);
        return testoValore(vecchio, tipoVecchio);
    }
    // An empty or blank text is no number, no date and no Yes/No value: it is refused, named, as any
    // other text that is none, never turned into Null.
    if (daTesto && vecchio.toString().trimmed().isEmpty())
        cambierebbe(campo, vecchio.toString());

    if (eNumero(tipoNuovo)) {
        double d = 0;
        if (!numeroDi(vecchio, tipoVecchio, &d))
            return dbe::ConvertValue(vecchio, tipoNuovo);
        const QVariant w = dbe::ConvertValue(d, tipoNuovo);
        if (!stessoNumero(w, tipoNuovo, d))
            cambierebbe(campo, testoValore(vecchio, tipoVecchio));
        return w;
    }
    if (tipoNuovo == dbe::dbDate) {
        if (daTesto || vecchio.typeId() == QMetaType::QDateTime)
            return dbe::ConvertValue(vecchio, dbe::dbDate);
        double d = 0;
        if (!numeroDi(vecchio, tipoVecchio, &d))
            return dbe::ConvertValue(vecchio, dbe::dbDate);
        const QVariant w = dbe::ConvertValue(d, dbe::dbDate);
        // The date keeps whole seconds: a day number finer than that would change.
        if (std::fabs(NumeroGiorno(w.toDateTime()) - d) * 86400.0 > 1e-3)
            cambierebbe(campo, testoValore(vecchio, tipoVecchio));
        return w;
    }
    return dbe::ConvertValue(vecchio, tipoNuovo);
}

}  // namespace corvale
