#pragma once
// Dates as the engine computes with them: every stored form a date may have in an archive read to
// one day number, so that two stored forms of the same date compare, sort, group and subtract
// alike. The day number counts days since 30 December 1899, the fraction being the time of day;
// two equal dates always give the same number (to the millisecond).
//
// The stored forms read (and no others: a text that is none of them is no date, never a guess):
//   - a date: "yyyy-MM-dd" or "yyyy/MM/dd" (four-digit year from 100, two-digit month and day);
//   - a date and a time: the date, "T" or one blank, the time;
//   - a time alone (a time on 30 December 1899, the day number's day 0);
//   - a time: "H:mm" or "HH:mm", optionally ":ss", optionally "." and any number of fraction
//     digits (read to the millisecond, the rest cut); optionally followed by "Z" or an offset
//     "+hh:mm", "-hh:mm", "+hhmm", "+hh". The offset is read and ignored: the clock time as
//     written is the value (the archive keeps no time zone, and converting would move a date
//     across midnight depending on the machine), so "2024-03-05T00:00:00.000Z" is 5 March 2024;
//   - a day number written as text, under the Italian number rule ("45293", "45293,5") or with a
//     decimal point ("45293.5").
#include <QDateTime>
#include <QString>

namespace dbe {

// The day number of a date and time (to the millisecond).
double dateSerial(const QDateTime& dt);
// The day number of a stored text form (above), read from UTF-8 bytes without building a date:
// queries read one per record. False when the text is no such form.
bool serialFromStoredText(const char* text, int size, double* serial);
// Whether a day number is one a date may have (years 100 to 9999).
bool serialInRange(double serial);
// The date and time of a day number.
QDateTime dateFromSerial(double serial);
// A text in one of the forms above other than a day number (a text that is a number is a number,
// not a date, when a person or another field's value gives it); invalid when it is none.
QDateTime dateFromStoredText(const QString& text);
// True when a date is a time alone (its day is day 0, 30 December 1899): shown as a time only.
bool isTimeOnly(const QDateTime& dt);
// A date typed by a person under Italian settings: the stored forms, or day/month/year with "/",
// "-" or "." and an optional time of day ("31/12/2023", "1-2-2024 10:30"), of a year from 100 to
// 9999. Invalid when none.
QDateTime dateFromItalianText(const QString& text);

}  // namespace dbe
