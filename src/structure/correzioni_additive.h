#pragma once
// The additive structure corrections: a table, a field, an index (also for a missing index field)
// or a table property that the archive lacks is copied from the master (the session's DbMaster) into the archive
// (its DbArchivi). Each returns done when the object was added, and failed with the engine's error
// when any engine operation failed; none shows a message. A failure leaves the archive as it was, with one exception
// kept on purpose: AggiungiIndice removes an existing index of that name before building the new one, and when the new
// one cannot be appended the table stays without it; its reason then says so, and how to get the index back from the
// session's safety copy.
#include "motivo_errore.h"
#include <QString>

namespace corvale {

class Sessione;

EsitoCorrezione AggiungiTabella(Sessione& s, const QString& Nm);
EsitoCorrezione AggiungiCampo(Sessione& s, const QString& NmTab, const QString& NmCmp);
EsitoCorrezione AggiungiIndice(Sessione& s, const QString& Nm, const QString& NmId);
EsitoCorrezione AggiungiProprieta(Sessione& s, const QString& NmTab, const QString& NmProp);

}  // namespace corvale
