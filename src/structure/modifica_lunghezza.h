#pragma once
// The field length change: a text field of the archive whose length differs from the master's is
// rebuilt with the new length: a new column "NEW<field>" is added, the values copied into it, the
// old column dropped and the new one renamed, while every index containing the field is set aside
// and created again. The whole change runs on a second connection to the archive, in one
// transaction: it is applied whole or not at all, and values that would not fit the new length
// refuse it before anything changes.
#include "motivo_errore.h"

#include "dbengine/dbengine.h"

#include <QString>

namespace corvale {

class Sessione;

// Entry point: Lung is the new length as decimal text. Done when the field has the new length
// (also when it had it already); failed, with the archive unchanged and the reason, otherwise. No
// message.
EsitoCorrezione ModificaLunghezzaCampo(Sessione& s, const QString& NmTab, const QString& NmCmp, const QString& Lung);

// The indexes around the rebuild, on a second connection to the archive, in one transaction.
// Errors go to the caller, after the transaction was rolled back.
void NewDimCampoIndicizzato(Sessione& s, const QString& NomeCampo, const QString& Tabella, qint16 NewDim);

// The column rebuild on connection C: the three statements, then the rename and the zero-length
// setting (b and the old field's setting). Errors go to the caller. C stays the same connection:
// the rebuild is part of the caller's transaction, whose rollback undoes a failed one; without one
// open, the three statements run in a transaction of their own.
void RicreaCampoTesto(dbe::Database& C, const QString& t, const QString& f, qint16 n, bool b);

}  // namespace corvale
