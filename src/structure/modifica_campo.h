#pragma once
// The field attribute and type changes: a field of the archive is given the master's attribute
// flags or the master's type by rebuilding it as a new column "<field>_NEW", copying the values
// with an update statement, dropping the old column and renaming the new one, while the indexes
// that contain the field are set aside and created again. Each change is one transaction: applied
// whole or not at all, and values that do not convert to the new type refuse it.
#include "motivo_errore.h"

#include <QString>

namespace corvale {

class Sessione;

// Attr: the master's attribute flags as decimal text. Done when applied; failed, with the archive
// unchanged and the reason, otherwise. No message.
EsitoCorrezione ModificaAttributoCampo(Sessione& s, const QString& NmTab, const QString& NmCmp, const QString& Attr);
// NmTipo: the master's type code.
EsitoCorrezione ModificaTipoCampo(Sessione& s, const QString& NmTab, const QString& NmCampo, qint32 NmTipo);

}  // namespace corvale
