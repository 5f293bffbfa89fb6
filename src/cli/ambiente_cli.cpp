#include "ambiente_cli.h"

#include "access/fileaccess.h"
#include "access/sololettura.h"
#include "core/sessione.h"
#include "core/avvio.h"
#include "core/versione.h"
#include "core/manutenzione.h"

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

QString LeggiVersioneDbSolaLettura(Sessione& s)
{
    try {
        return LeggiVersioneDb(s.DbArchivi, false);
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

int ApriArchivi(Sessione& s, const OpzioniArchivi& o, QString& errore)
{
    if (!o.home.isEmpty())
        s.ImpostaCartellaProgramma(o.home);
    if (!o.master.isEmpty())
        s.ImpostaPercorsoMaster(o.master);
    s.PathArchivi = o.archivioDato ? o.archive : LeggiCartellaArchivi(FileImpostazioni(s.CartellaProgramma()));
    s.VersioneMaster = LeggiVersioneMaster(s);
    try {
        s.DbArchivi = access::ApriDatabase(PercorsoArchivio(s.PathArchivi));
    } catch (const dbe::DbError& e) {
        errore = QStringLiteral("Impossibile aprire il database.\n") + e.description();
        const QString avviso = o.archivioDato ? QString() : AvvisoFileImpostazioni(s.CartellaProgramma());
        if (!avviso.isEmpty())
            errore += QLatin1Char('\n') + avviso;
        return 2;
    } catch (const access::ErroreAccess& e) {
        errore = QStringLiteral("Impossibile aprire il database.\n") + e.message();
        return 2;
    }
    try {
        s.DbMaster = access::ApriDatabase(s.PercorsoMaster(), true);
    } catch (const dbe::DbError& e) {
        errore = QStringLiteral("Problemi nell'aperture del DB Master.\n") + e.description();
        return 2;
    } catch (const access::ErroreAccess& e) {
        errore = QStringLiteral("Problemi nell'aperture del DB Master.\n") + e.message();
        return 2;
    }
    return 0;
}

int AttendiArchivioLibero(Sessione& s, QString& errore)
{
    try {
        dbe::WaitWritable(s.DbArchivi);
    } catch (const dbe::DbError& e) {
        errore = QStringLiteral("Impossibile aprire il database.\n") + SpiegazioneErrore(e);
        return 2;
    }
    return 0;
}

int ApriArchiviPerCorreggere(Sessione& s, const OpzioniArchivi& o, QString& errore)
{
    const int apertura = ApriArchivi(s, o, errore);
    if (apertura == 0 && access::AccessInSolaLettura(s.DbArchivi)) {
        errore = access::MessaggioSolaLettura(s.DbArchivi);
        return 2;
    }
    return apertura != 0 ? apertura : AttendiArchivioLibero(s, errore);
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

Risposta OperatoreRiga::Mostra(const QString& testo, Pulsanti pulsanti)
{
    if (pulsanti == Pulsanti::SiNo)
        return allaDomanda_;
    QTextStream(stderr) << SuUnaRiga(testo) << "\n";
    return Risposta::Ok;
}

QString OperatoreRiga::Chiedi(const QString&) { return QString(); }

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
