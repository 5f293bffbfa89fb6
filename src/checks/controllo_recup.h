#pragma once
// The orphan-record checks ("ENC" tasks): the records of P(0) whose reference P(2) matches no key
// P(3) of the master table P(1). CreaSqlNotIn builds the query; the problem-record view uses the
// same builder, so that it shows exactly what the check counted. Changes no data.
#include <QString>

namespace corvale {

class Manutenzione;

// "SELECT * FROM T WHERE F NOT IN (SELECT DISTINCT K FROM M)"; names inserted as they are.
QString CreaSqlNotIn(const QString& tabella, const QString& master, const QString& campo, const QString& chiave);

void ControlloEliminaRecup(Manutenzione& m, int li);

}  // namespace corvale
