#pragma once
// Dates as the engine computes with them: every stored form a date may have in an archive (the
// engine's own "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd", ISO text with "T", a day number) read to one
// day number, so that two stored forms of the same date compare, sort, group and subtract alike.
// The day number counts days since 30 December 1899, the fraction being the time of day; two equal
// dates always give the same number.
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace dbe {

// The day number of a date and time (to the millisecond).
double dateSerial(const QDateTime& dt);
// The day number of a stored text form (the forms of dateFromStoredText), read from UTF-8 bytes
// without building a date: queries read one per record. False when the text is no such form.
bool serialFromStoredText(const char* text, int size, double* serial);
// The date and time of a day number.
QDateTime dateFromSerial(double serial);
// A stored text form of a date (the forms above, not the day number); invalid when it is none.
QDateTime dateFromStoredText(const QString& text);
// A date typed by a person under Italian settings: the stored forms, or day/month/year with "/",
// "-" or "." and an optional time of day ("31/12/2023", "1-2-2024 10:30"). Invalid when none.
QDateTime dateFromItalianText(const QString& text);
// The texts under which another program may have stored the date dt, besides its day number: the
// engine's form, and for a date at midnight "yyyy-MM-dd"; each also with "T" instead of the blank.
QStringList storedDateTexts(const QDateTime& dt);

}  // namespace dbe
