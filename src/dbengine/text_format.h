#pragma once
// How the query language writes a value as text for the operator, under Italian settings: a number
// with a decimal comma, a date as dd/mm/yyyy, month and day names in Italian, and the patterns of
// Format (dates: d m y h n s q w ww c and AM/PM; numbers: 0 # . , % E+00, up to three sections
// split by semicolons). Callers may rely on: nothing here reads or writes a database, and the same
// value and pattern always give the same text.
#include <QDate>
#include <QDateTime>
#include <QString>

namespace dbe::detail {

// A number as the engine writes it for the operator: a decimal comma, no grouping, a whole number
// without decimals.
QString numberText(double d);

// A date as Format's "General Date" writes it: dd/MM/yyyy, then HH:mm:ss unless it is midnight; a
// time alone (day 0) as the time only.
QString generalDate(const QDateTime& dt);

// The day of the week, Sunday 1 .. Saturday 7.
int weekday(const QDate& d);
// The week of the year, the week of 1 January being 1 and weeks starting on Sunday.
int weekOfYear(const QDate& d);

// True when pattern holds one of chars outside quotes and backslash escapes.
bool hasToken(const QString& pattern, const QString& chars);

// A date by a pattern of Format's date tokens, everything else copied.
QString formatDate(const QDateTime& dt, const QString& pattern);

// A number by a pattern of 0 # . , % and E+00 in up to three sections (positive; negative; zero),
// everything else copied; the output has the decimal comma and the point between groups of three
// digits.
QString formatByPattern(double value, const QString& pattern);

}  // namespace dbe::detail
