#pragma once
// The lookup by key of the joined-record correction: from the key fields of a grid row (name,
// engine type code, value) it builds the query that finds the same record in the table to be
// corrected, "SELECT * FROM T WHERE TRUE AND ...", one clause per key field. Pure functions.
//
// A value goes into the text as it is (a text between apostrophes, a date between "#" as
// mm/dd/yyyy, a number in plain C-locale form). A value that could end its quotes or otherwise be
// read as part of the query (an apostrophe, a control character), or whose type has no plain form
// (binary, GUID, a number that is not finite), makes the builder refuse the row: no key value can
// change what the lookup selects.
#include "task_correzione.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <optional>

namespace corvale {

struct ValoreChiave {
    QString Nome;  // as in the grid's record set ("VENDITE.CODCLI", "TIPODEP")
    short Tipo = 0;  // the engine's type code of that field
    QVariant Valore;  // Null is a null QVariant
};

// The key fields of an "ENP" task: P(3)..P(N+2), N = P(2) (1 to 6); a name beginning with "." gets
// P(1) in front. Empty when P(2) is not a number from 1 to 6 or a name is missing.
QStringList CampiChiave(const TaskCorrezione& task);

// True when a text value can stand between apostrophes in the lookup unchanged.
bool TestoChiaveUtilizzabile(const QString& testo);

// One clause, "AND name=value " or "AND ISNULL(name) "; nothing when the value is refused.
std::optional<QString> ClausolaChiave(const ValoreChiave& chiave);

// "SELECT * FROM " + tabella + " WHERE TRUE " followed by the clauses; nothing when any value is
// refused.
std::optional<QString> CreaSqlRicerca(const QString& tabella, const QVector<ValoreChiave>& chiavi);

// The field of the table itself that a key name designates: "VENDITE.CODCLI" gives "CODCLI".
QString CampoTabella(const QString& nome);

// True when a value read from a found record is the key value of the row: both Null, texts equal
// without regard to case, numbers equal, dates and times equal.
bool StessaChiave(const QVariant& trovato, const QVariant& cercato);

}  // namespace corvale
