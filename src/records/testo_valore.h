#pragma once
// How the problem-record view writes a field's value as text (grid cells, combo box entries) and
// reads an operator's text back for a field of a given type. Null is the empty text both ways;
// numbers are written and read by the engine's Italian number rule (decimal comma), dates in the
// day/month/year order.
#include <QString>
#include <QVariant>

namespace corvale {

QString TestoValore(const QVariant& valore);

// The value to write for the text an operator typed into a field of that engine type: the empty
// text gives Null; dates as the engine reads a typed date (dbe::dateFromItalianText: dd/MM/yyyy
// with an optional HH:mm[:ss], the stored forms, years 100 to 9999); numbers by
// dbe::parseItalianNumber ("1.234,5");
// yes/no as Vero/Falso, Sì/No, True/False, -1/0. ok is false when the text does not convert.
QVariant ValoreDaTesto(const QString& testo, short tipo, bool* ok);

}  // namespace corvale
