#pragma once
// How the problem-record view writes a field's value as text (grid cells, combo box entries) and
// reads an operator's text back for a field of a given type. Null is the empty text both ways;
// numbers use the C locale, dates the day/month/year order.
#include <QString>
#include <QVariant>

namespace corvale {

QString TestoValore(const QVariant& valore);

// The value to write for the text an operator typed into a field of that engine type: the empty
// text gives Null; dates are read as dd/MM/yyyy with an optional HH:mm[:ss]; numbers in C locale;
// yes/no as Vero/Falso, Sì/No, True/False, -1/0. ok is false when the text does not convert.
QVariant ValoreDaTesto(const QString& testo, short tipo, bool* ok);

}  // namespace corvale
