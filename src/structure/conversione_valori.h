#pragma once
// ValoreConvertito: the value a field rebuilt with another type takes from one value of the old
// field, or the refusal of the whole rebuild when that value would not be kept. A value is kept
// when the new field shows what the old one showed: a text read as a number or a date by the
// engine's own rule (ConvertValue) and stored without rounding; a number moved to a type that holds
// it exactly (a single as the figures it shows, so 0.1 stays 0,1); a date as its day number (days
// since 30 December 1899, the time of day as the fraction); a number or a date written as text the
// way an Italian operator reads it ("0,1", "31/12/2024", "31/12/2024 10:30:00"). An empty text, or
// one of blanks only, is no number, no date and no Yes/No value: a rebuild into such a field is
// refused for it, as for any other text that is none (only Null stays Null).
#include "dbengine/dbengine.h"

#include <QString>
#include <QVariant>

namespace corvale {

// vecchio as the engine reads the old field of type tipoVecchio (Null as a null QVariant); the
// result is written into the new field of type tipoNuovo, whose own rules (size, zero length) the
// engine checks on the write. Raises the engine's error when the value does not convert (3464,
// 3349), and 3464 naming the field and the value when it would change.
QVariant ValoreConvertito(const QVariant& vecchio, short tipoVecchio, short tipoNuovo, const QString& campo);

// A number as text: the decimal comma, no grouping, the fewest figures that read back as the same
// number (of a single when single is true), an exponent written E+20 or E-07.
QString TestoNumero(double d, bool single);

// The day number of a date.
double NumeroGiorno(const QDateTime& dt);

}  // namespace corvale
