#pragma once
// StrutturaTabella: the structure check of one "ST" task, which compares its table P(0) of the
// archive database with the master database and records the coded problems in P(1)..P(10).
// For now the comparison is not available: the task is cleared (P(1) "1", no problems) and ends
// "VER_PRB" with a detail that says so, so that no table is ever reported as verified unchecked.
#include <QString>

namespace corvale {

class Manutenzione;

extern const QString kStrutturaNonDisponibile;

void StrutturaTabella(Manutenzione& m, int li);

}  // namespace corvale
