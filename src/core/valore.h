#pragma once
// Val: reads the number at the start of a text the way the program reads keys and counters:
// leading blanks are skipped, reading stops at the first character that cannot continue the
// number, and a text without digits gives 0. Never fails.
#include <QString>

namespace corvale {

double Val(const QString& testo);
// The integer part of Val, limited to the range of a signed 16-bit integer.
qint16 ValIntero16(const QString& testo);

}  // namespace corvale
