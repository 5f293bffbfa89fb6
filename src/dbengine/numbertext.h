#pragma once
// The one rule by which the engine reads a number written as text, wherever a text becomes a
// number: INSERT and UPDATE statements, record-set writes, the rebuild of a text field into a
// number field and the conversion functions. The rule is the Italian one: the comma is the decimal
// separator, and a point may only group the digits before the comma in threes ("1.234,5" is
// 1234.5); a text that is not a well-formed number under it is no number at all, never a guess.
#include <QString>

namespace dbe {

// Reads text (spaces around it ignored) as a number: an optional sign, the digits (grouped in
// threes by points, or not grouped at all), an optional decimal part after a comma, and an optional
// exponent (E or e, an optional sign, digits). Returns false, leaving *value alone, for anything
// else: the empty text, "1,2,3", "1.25", "12.34.5", "1.2345", "1,", letters, a point as decimal
// separator.
bool parseItalianNumber(const QString& text, double* value);

}  // namespace dbe
