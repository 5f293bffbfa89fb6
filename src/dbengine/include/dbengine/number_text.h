#pragma once
// The one rule by which the engine reads a number written as text, wherever a text becomes a
// number: INSERT and UPDATE statements, record-set writes, the rebuild of a text field into a
// number field, the conversion functions, and the reading of a number or yes/no field that another
// program filled with text (queries, arithmetic and record sets alike). The rule is the Italian one: the comma is the
// decimal separator, and a point may only group the digits before the comma in threes ("1.234,5" is 1234.5); a text
// that is not a well-formed number under it is no number at all, never a guess.
#include <QString>

namespace dbe {

// Reads text (spaces around it ignored) as a number: an optional sign, the digits (grouped in
// threes by points, or not grouped at all), an optional decimal part after a comma, and an optional
// exponent (E or e, an optional sign, digits). Returns false, leaving *value alone, for anything
// else: the empty text, "1,2,3", "1.25", "12.34.5", "1.2345", "1,", letters, a point as decimal
// separator.
bool parseItalianNumber(const QString& text, double* value);

// The same rule on UTF-8 bytes as a column holds them.
bool numberFromStoredText(const char* utf8, int size, double* value);
// A yes/no value stored as text: a number by the rule above (any but 0 is True), or "Vero",
// "Falso", "True", "False" in any case. False when the text is none of them.
bool yesNoFromStoredText(const char* utf8, int size, bool* value);

}  // namespace dbe
