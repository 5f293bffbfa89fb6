#include "motivo_errore.h"

#include "core/sessione.h"

namespace corvale {

QString MotivoErrore::testo() const
{
    if (vuoto())
        return QString();
    return QStringLiteral("Errore %1: %2").arg(numero).arg(descrizione);
}

EsitoCorrezione EsitoCorrezione::Fallita(const dbe::DbError& e)
{
    return EsitoCorrezione{false, {e.number(), SpiegazioneErrore(e)}};
}

}  // namespace corvale
