#include "motivo_errore.h"

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
    ultimo.descrizione = e.description();
}

const MotivoErrore& UltimoMotivoErrore()
{
    return ultimo;
}

}  // namespace corvale
