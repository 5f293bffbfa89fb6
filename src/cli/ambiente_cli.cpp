#include "ambiente_cli.h"

#include "app/ambiente.h"
#include "app/avvio.h"
#include "access/fileaccess.h"
#include "access/sololettura.h"
#include "app/versione.h"
#include "maintenance/manutenzione.h"

#include <QTextStream>

namespace corvale::cli {

bool LeggiOpzioni(const QStringList& args, OpzioniArchivi& o, QString& errore, bool ammessoJson)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto valore = [&](QString& dest) {
            if (i + 1 >= args.size()) {
                errore = QStringLiteral("Valore mancante per %1.").arg(a);
                return false;
            }
            dest = args[++i];
            return true;
        };
        if (a == QLatin1String("--home")) {
            if (!valore(o.home))
                return false;
        } else if (a == QLatin1String("--archive")) {
            if (!valore(o.archive))
                return false;
            o.archivioDato = true;
        } else if (a == QLatin1String("--master")) {
            if (!valore(o.master))
                return false;
        } else if (a == QLatin1String("--json") && ammessoJson) {
            o.json = true;
        } else {
            errore = QStringLiteral("Opzione sconosciuta: %1").arg(a);
            return false;
        }
    }
    return true;
}

QString LeggiVersioneDbSolaLettura()
{
    try {
        return LeggiVersioneDb(DbArchivi, false);
    } catch (const dbe::DbError&) {
        return QString();
    }
}

QString AvvisoVersione(const QString& versioneMaster, const QString& versioneDb)
{
    if (versioneMaster.isEmpty())
        return QStringLiteral("Impossibile ricavare la versione di riferimento del nel Db Master.");
    return AvvisoVersioni(versioneMaster, versioneDb);
}

int ApriArchivi(const OpzioniArchivi& o, QString& errore)
{
    if (!o.home.isEmpty())
        ImpostaCartellaProgramma(o.home);
    if (!o.master.isEmpty())
        ImpostaPercorsoMaster(o.master);
    PathArchivi = o.archivioDato ? o.archive : LeggiCartellaArchivi(FileImpostazioni(CartellaProgramma()));
    VersioneMaster = LeggiVersioneMaster();
    try {
        DbArchivi = access::ApriDatabase(PercorsoArchivio(PathArchivi));
    } catch (const dbe::DbError& e) {
        errore = QStringLiteral("Impossibile aprire il database.\n") + e.description();
        return 2;
    } catch (const access::ErroreAccess& e) {
        errore = QStringLiteral("Impossibile aprire il database.\n") + e.message();
        return 2;
    }
    try {
        DbMaster = access::ApriDatabase(PercorsoMaster());
    } catch (const dbe::DbError& e) {
        errore = QStringLiteral("Problemi nell'aperture del DB Master.\n") + e.description();
        return 2;
    } catch (const access::ErroreAccess& e) {
        errore = QStringLiteral("Problemi nell'aperture del DB Master.\n") + e.message();
        return 2;
    }
    return 0;
}

int AttendiArchivioLibero(QString& errore)
{
    try {
        dbe::WaitWritable(DbArchivi);
    } catch (const dbe::DbError& e) {
        errore = QStringLiteral("Impossibile aprire il database.\n") + e.description();
        return 2;
    }
    return 0;
}

int ApriArchiviPerCorreggere(const OpzioniArchivi& o, QString& errore)
{
    const int apertura = ApriArchivi(o, errore);
    if (apertura == 0 && access::AccessInSolaLettura(DbArchivi)) {
        errore = access::MessaggioSolaLettura(DbArchivi);
        return 2;
    }
    return apertura != 0 ? apertura : AttendiArchivioLibero(errore);
}

QString SuUnaRiga(QString testo)
{
    while (testo.endsWith(QLatin1Char('\n')) || testo.endsWith(QLatin1Char('\r')))
        testo.chop(1);
    testo.replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
    testo.replace(QLatin1Char('\r'), QStringLiteral(" / "));
    testo.replace(QLatin1Char('\n'), QStringLiteral(" / "));
    return testo;
}

void SenzaOperatore(Risposta allaDomanda)
{
    Messaggi::ImpostaRisponditore([allaDomanda](const QString& testo, Pulsanti p) {
        if (p == Pulsanti::SiNo)
            return allaDomanda;
        QTextStream(stderr) << SuUnaRiga(testo) << "\n";
        return Risposta::Ok;
    });
}

bool CaricaCatalogo(Manutenzione& m, QTextStream& err)
{
    m.CreaLista();
    try {
        m.CaricaTask();
        return true;
    } catch (const dbe::DbError& e) {
        err << "Impossibile leggere le tabelle del DB Master.\n" << e.description() << "\n";
        return false;
    }
}

}  // namespace corvale::cli
