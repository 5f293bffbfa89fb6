#include "ambiente_cli.h"
#include "comandi.h"

#include "checks/catalogo.h"
#include "core/presenza_archivio.h"

#include "access/file_access.h"
#include "access/solo_lettura.h"
#include "core/sessione.h"
#include "core/avvio.h"
#include "core/versione.h"
#include "core/manutenzione.h"

#include <QElapsedTimer>
#include <QTextStream>

#include <sys/ioctl.h>
#include <unistd.h>
#include <cstdio>

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
        if (a == QLatin1String("--programma")) {
            if (!valore(o.home))
                return false;
        } else if (a == QLatin1String("--archivio")) {
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
        // A stamp that cannot be read, whatever the reason, is shown as empty.
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
        PresenzaArchivio::FinoAllaFine(s, s.DbArchivi.Name());  // no restore under this command
    } catch (const dbe::DbError& e) {
        // Any failure to open is the command's answer, reported with its description.
        errore = QStringLiteral("Impossibile aprire il database.\n") + e.description();
        const QString avviso = o.archivioDato ? QString() : AvvisoFileImpostazioni(s.CartellaProgramma());
        if (!avviso.isEmpty())
            errore += QLatin1Char('\n') + avviso;
        return kEsitoNonEseguito;
    } catch (const access::ErroreAccess& e) {
        // An Access file that cannot be read: reported, whatever its cause.
        errore = QStringLiteral("Impossibile aprire il database.\n") + e.message();
        return kEsitoNonEseguito;
    }
    try {
        s.DbMaster = access::ApriDatabase(s.PercorsoMaster(), true);
    } catch (const dbe::DbError& e) {
        // Any failure to open the master is the command's answer, reported with its description.
        errore = QStringLiteral("Problemi nell'aperture del DB Master.\n") + e.description();
        return kEsitoNonEseguito;
    } catch (const access::ErroreAccess& e) {
        // An Access master that cannot be read: reported, whatever its cause.
        errore = QStringLiteral("Problemi nell'aperture del DB Master.\n") + e.message();
        return kEsitoNonEseguito;
    }
    return kEsitoRiuscito;
}

int AttendiArchivioLibero(Sessione& s, QString& errore)
{
    try {
        dbe::WaitWritable(s.DbArchivi);
    } catch (const dbe::DbError& e) {
        // The archive still busy, or any other failure: reported, and the command stops.
        errore = QStringLiteral("Impossibile aprire il database.\n") + SpiegazioneErrore(e);
        return kEsitoNonEseguito;
    }
    return kEsitoRiuscito;
}

int ApriArchiviPerCorreggere(Sessione& s, const OpzioniArchivi& o, QString& errore)
{
    const int apertura = ApriArchivi(s, o, errore);
    if (apertura == kEsitoRiuscito && access::AccessInSolaLettura(s.DbArchivi)) {
        errore = access::MessaggioSolaLettura(s.DbArchivi);
        return kEsitoNonEseguito;
    }
    return apertura != kEsitoRiuscito ? apertura : AttendiArchivioLibero(s, errore);
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
        CaricaTask(m);
        return true;
    } catch (const dbe::DbError& e) {
        // Any failure reading the master's tables is reported, and the command stops.
        err << "Impossibile leggere le tabelle del DB Master.\n" << e.description() << "\n";
        return false;
    }
}

namespace {
bool silenzioso = false;
}

void ImpostaSilenzioso(bool s) { silenzioso = s; }
bool Silenzioso() { return silenzioso; }

struct Progresso::Impl {
    bool attivo = false;
    bool disegnata = false;
    int larghezza = 80;
    QElapsedTimer orologio;  // since the first count
    QElapsedTimer ultimo;  // since the last drawing
    qint64 totaleContato = -1;  // the count the estimate is for (another one restarts it)
    qint64 ultimoFatto = 0;
};

Progresso::Progresso() : d(std::make_unique<Impl>())
{
    d->attivo = SulTerminale();
    winsize w{};
    if (d->attivo && ::ioctl(STDERR_FILENO, TIOCGWINSZ, &w) == 0 && w.ws_col > 10)
        d->larghezza = w.ws_col;
}

Progresso::~Progresso() { Chiudi(); }

bool Progresso::SulTerminale() { return !silenzioso && ::isatty(STDERR_FILENO) == 1; }

namespace {

QString durata(qint64 secondi)
{
    if (secondi < 60)
        return QStringLiteral("%1 s").arg(qMax<qint64>(secondi, 1));
    if (secondi < 3600)
        return QStringLiteral("%1 min").arg((secondi + 30) / 60);
    return QStringLiteral("%1 h %2 min").arg(secondi / 3600).arg((secondi % 3600) / 60);
}

}  // namespace

void Progresso::Mostra(const QString& cosa, qint64 fatto, qint64 totale)
{
    if (!d->attivo)
        return;
    if (totale != d->totaleContato || fatto < d->ultimoFatto || !d->orologio.isValid()) {
        d->totaleContato = totale;
        d->orologio.start();
    }
    d->ultimoFatto = fatto;
    const bool finito = totale > 0 && fatto >= totale;
    if (d->ultimo.isValid() && d->ultimo.elapsed() < 100 && !finito)
        return;
    d->ultimo.start();
    QString riga = cosa;
    if (totale > 0) {
        const qint64 percento = qBound(qint64(0), fatto * 100 / totale, qint64(100));
        riga += QStringLiteral(" — %1 di %2 (%3%)").arg(fatto).arg(totale).arg(percento);
        const qint64 trascorsi = d->orologio.elapsed();
        if (fatto * 10 >= totale && fatto < totale && trascorsi > 1000)
            riga += QStringLiteral(", circa %1 ancora").arg(durata(trascorsi * (totale - fatto) / fatto / 1000));
    }
    if (riga.size() > d->larghezza - 1)
        riga = riga.left(d->larghezza - 2) + QChar(0x2026);
    QTextStream(stderr) << '\r' << riga.leftJustified(d->larghezza - 1) << Qt::flush;
    d->disegnata = true;
}

void Progresso::Riga(const QString& testo)
{
    if (silenzioso)
        return;
    if (d->disegnata)
        QTextStream(stderr) << '\r' << QString(d->larghezza - 1, QLatin1Char(' ')) << '\r';
    d->disegnata = false;
    d->ultimo.invalidate();  // the line comes back at the next Mostra
    QTextStream(stderr) << testo << "\n" << Qt::flush;
}

dbe::Progress ProgressoRiga(const QString& cosa)
{
    return [p = std::make_shared<Progresso>(), cosa](qint64 fatto, qint64 totale) {
        p->Mostra(cosa, fatto, totale);
        if (totale > 0 && fatto >= totale)
            p->Chiudi();
    };
}

void Progresso::Chiudi()
{
    if (!d->disegnata)
        return;
    QTextStream(stderr) << '\r' << QString(d->larghezza - 1, QLatin1Char(' ')) << '\r' << Qt::flush;
    d->disegnata = false;
}

}  // namespace corvale::cli
