#include "varco.h"

#include "access/sololettura.h"
#include "ambiente.h"
#include "messaggi.h"
#include "versione.h"

namespace corvale {

bool VarcoVersione()
{
    Messaggi::Mostra(QStringLiteral(
        "Attenzione !!! Prima di effettuare correzioni sul database e fortemente consigliato di "
        "effettuare una copia dello stesso."));

    // Each press opens the master anew; the new handle replaces, and so releases, the old one.
    try {
        DbMaster = access::ApriDatabase(PercorsoMaster());
    } catch (const dbe::DbError& e) {
        Messaggi::Mostra(QStringLiteral("Problemi nell'aperture del DB Master.") + QChar(u'\r') +
                         e.description());
        return false;
    } catch (const std::exception& e) {
        Messaggi::Mostra(QStringLiteral("Problemi nell'aperture del DB Master.") + QChar(u'\r') +
                         QString::fromLocal8Bit(e.what()));
        return false;
    }

    if (VersioneMaster.isEmpty()) {
        Messaggi::Mostra(AvvisoVersioneMasterAssente());
        return false;
    }

    // An archive stamp that cannot be read counts as the empty text, smaller than any master stamp.
    const auto versioneDb = []() -> QString {
        try {
            return VersioneDb();
        } catch (...) {
            return QString();
        }
    };
    const QString avviso = AvvisoVersioni(VersioneMaster, versioneDb);
    if (!avviso.isEmpty())
        Messaggi::Mostra(avviso);
    return true;
}

}  // namespace corvale
