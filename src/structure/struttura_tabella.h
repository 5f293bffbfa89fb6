#pragma once
// StrutturaTabella: the structure check of one "ST" task of the task list. It compares the task's
// table P(0) of the archive database with the master database (ConfrontaStruttura), leaving the
// coded problems in P(1)..P(10), and ends the task "VER_OK", or "VER_PRB" with the report as its
// detail. Changes neither database.
#include <QString>

namespace corvale {

class Manutenzione;

void StrutturaTabella(Manutenzione& m, int li);

}  // namespace corvale
