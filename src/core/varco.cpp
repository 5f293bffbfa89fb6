#include "varco.h"

#include "access/solo_lettura.h"
#include "core/sessione.h"
#include "versione.h"

namespace corvale {

bool VarcoVersione(Sessione& s)
{
    s.operatore().Mostra(
        QStringLiteral("Attenzione !!! Prima di effettuare correzioni sul database e fortemente consigliato di "
                       "effettuare una copia dello stesso."));

    // Each press opens the master anew; the new handle replaces, and so releases, the old one.
    try {
        s.DbMaster = access::ApriDatabase(s.PercorsoMaster(), true);
    } catch (const dbe::DbError& e) {
        s.operatore().Mostra(QStringLiteral("Problemi nell'aperture del DB Master.") + QChar(u'\r') + e.description());
        return false;
    } catch (const std::exception& e) {
        s.operatore().Mostra(QStringLiteral("Problemi nell'aperture del DB Master.") + QChar(u'\r')
                             + QString::fromLocal8Bit(e.what()));
        return false;
    }

    if (s.VersioneMaster.isEmpty()) {
        s.operatore().Mostra(AvvisoVersioneMasterAssente());
        return false;
    }

    // An archive stamp that cannot be read counts as the empty text, smaller than any master stamp.
    const auto versioneDb = [&s]() -> QString {
        try {
            return VersioneDb(s);
        } catch (...) {
            return QString();
        }
    };
    const QString avviso = AvvisoVersioni(s.VersioneMaster, versioneDb);
    if (!avviso.isEmpty())
        s.operatore().Mostra(avviso);
    return true;
}

}  // namespace corvale
