#include "sessione_sicurezza.h"

#include "copia_sicurezza.h"
#include "integrita.h"
#include "modifica_registrata.h"


#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace corvale {

namespace {

// The archives whose session passed the gate, with their copy.
QHash<QString, QString>& Preparati()
{
    static QHash<QString, QString> p;
    return p;
}

QString Chiave(const QString& archivio) { return QFileInfo(archivio).absoluteFilePath(); }

QString ArchivioAperto(const Sessione& s)
{
    try {
        return !s.DbArchivi.isNull() && s.DbArchivi.IsOpen() ? Chiave(s.DbArchivi.Name()) : QString();
    } catch (const dbe::DbError&) {
        return QString();
    }
}

dbe::Progress Avanzamento(const QString& cosa)
{
    if (!Sicurezza().avanzamento)
        return {};
    return [cosa](qint64 fatto, qint64 totale) { Sicurezza().avanzamento(cosa, fatto, totale); };
}

const QString kNessunaModifica = QStringLiteral("Nessuna modifica è stata fatta.");

}  // namespace

ImpostazioniSicurezza& Sicurezza()
{
    static ImpostazioniSicurezza s;
    return s;
}

QString MessaggioArchivioDanneggiato(const QStringList& problemi)
{
    return QStringLiteral("L'archivio è danneggiato: nessuna correzione è consentita finché non viene "
                          "riparato.\r")
           + ElencoProblemi(problemi, 3);
}

QString AvvisoCopia(const QString& copia)
{
    return QStringLiteral("Copia di sicurezza dell'archivio salvata in %1").arg(QDir::toNativeSeparators(copia));
}

bool PrimaDellaModifica(const Sessione& s)
{
    const QString archivio = ArchivioAperto(s);
    if (archivio.isEmpty())
        return true;  // the change itself will report the closed archive
    if (Preparati().contains(archivio))
        return true;
    QString errore;
    const std::shared_ptr<Registro> reg = RegistroPer(archivio, &errore);
    if (!reg) {
        s.operatore().Mostra(QStringLiteral("Impossibile scrivere il registro delle modifiche %1.\r%2\r")
                             .arg(QDir::toNativeSeparators(Registro::FilePer(archivio)), errore)
                         + kNessunaModifica);
        return false;
    }
    RiconciliaInCorso(s.DbArchivi, *reg);

    const QStringList problemi = ProblemiIntegrita(s.DbArchivi, Avanzamento(QStringLiteral("Verifica dell'archivio")));
    QString copia;
    if (!problemi.isEmpty()) {
        const QString testo = MessaggioArchivioDanneggiato(problemi);
        const QString domanda = testo + QStringLiteral("\r\rRiparare ora l'archivio? Prima della riparazione ne "
                                                       "viene salvata una copia di sicurezza.");
        const bool ripara = Sicurezza().offriRiparazione
                                ? Sicurezza().offriRiparazione(testo)
                                : s.operatore().Mostra(domanda, Pulsanti::SiNo) == Risposta::Si;
        if (!ripara)
            return false;
        const EsitoRiparazione e = RiparaArchivio(s.DbArchivi, *reg, Sicurezza().senzaCopia, CopieDaConservare(s),
                                                  Avanzamento(QStringLiteral("Verifica dell'archivio")));
        s.operatore().Mostra((e.riuscita ? QStringLiteral("Archivio riparato.\r") : QStringLiteral("Riparazione non riuscita.\r"))
                         + e.rapporto);
        if (!e.riuscita)
            return false;
        copia = e.copia;
    } else if (!Sicurezza().senzaCopia) {
        copia = ScriviCopiaSicurezza(s.DbArchivi, *reg, CopieDaConservare(s), errore,
                                     Avanzamento(QStringLiteral("Copia di sicurezza")));
        if (copia.isEmpty()) {
            s.operatore().Mostra(errore + QLatin1Char('\r') + kNessunaModifica);
            return false;
        }
        if (Sicurezza().avviso)
            Sicurezza().avviso(AvvisoCopia(copia));
    }
    Preparati().insert(archivio, copia);
    return true;
}

std::shared_ptr<Registro> RegistroSessione(const Sessione& s)
{
    const QString archivio = ArchivioAperto(s);
    if (archivio.isEmpty() || !Preparati().contains(archivio))
        return nullptr;
    return RegistroPer(archivio);
}

QString CopiaSessione(const Sessione& s) { return Preparati().value(ArchivioAperto(s)); }

void AzzeraSessione()
{
    Preparati().clear();
    ChiudiRegistri();
}

}  // namespace corvale
