#include "motivo_errore.h"

#include "core/sessione.h"

namespace corvale {

namespace {
MotivoErrore ultimo;
}  // namespace

QString MotivoErrore::testo() const
{
    if (vuoto())
        return QString();
    return QStringLiteral("Errore %1: %2").arg(numero).arg(descrizione);
}

void AzzeraMotivoErrore()
{
    ultimo = MotivoErrore();
}

void RegistraMotivoErrore(const dbe::DbError& e)
{
    if (!ultimo.vuoto())
        return;
    ultimo.numero = e.number();
    ultimo.descrizione = SpiegazioneErrore(e);
}

const MotivoErrore& UltimoMotivoErrore()
{
    return ultimo;
}

}  // namespace corvale
