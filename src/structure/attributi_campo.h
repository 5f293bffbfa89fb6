#pragma once
// Which of the master's attribute flags the engine can give a field of the archive. The engine
// holds some flags only on some types (a counter only on a Long, a hyperlink only on a Memo) and
// gives every type but Text and Binary the width of its type whatever is asked, so a rebuild with
// the master's flags can end with other flags than the master's. The answer is the engine's own: a
// field of that type is made with those flags in a scratch archive of its own (a temporary file,
// removed afterwards; the archive is not touched), so it never differs from what a rebuild gets.
// Call it outside a transaction.
#include <QString>

namespace corvale {

// Empty when a field of type tipo can carry exactly the flags voluti; otherwise, in Italian, which
// flag cannot be set on field campo ("... non può avere l'attributo «contatore» (16) ...") or which
// one the engine always gives it and the master's lacks.
QString AttributiNonImpostabili(const QString& campo, short tipo, qint32 voluti);

// The same sentence for a field that was given voluti and reads back ottenuti.
QString AttributiMancati(const QString& campo, short tipo, qint32 voluti, qint32 ottenuti);

}  // namespace corvale
