#include "sessione_sicurezza.h"

#include "copia_sicurezza.h"
#include "integrita.h"
#include "modifica_registrata.h"

#include "app/ambiente.h"
#include "app/messaggi.h"

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

QString ArchivioAperto()
{
    try {
        return !DbArchivi.isNull() && DbArchivi.IsOpen() ? Chiave(DbArchivi.Name()) : QString();
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

bool PrimaDellaModifica()
{
    const QString archivio = ArchivioAperto();
    if (archivio.isEmpty())
        return true;  // the change itself will report the closed archive
    if (Preparati().contains(archivio))
        return true;
    QString errore;
    const std::shared_ptr<Registro> reg = RegistroPer(archivio, &errore);
    if (!reg) {
        Messaggi::Mostra(QStringLiteral("Impossibile scrivere il registro delle modifiche %1.\r%2\r")
                             .arg(QDir::toNativeSeparators(Registro::FilePer(archivio)), errore)
                         + kNessunaModifica);
        return false;
    }
    RiconciliaInCorso(DbArchivi, *reg);

    const QStringList problemi = ProblemiIntegrita(DbArchivi, Avanzamento(QStringLiteral("Verifica dell'archivio")));
    QString copia;
    if (!problemi.isEmpty()) {
        const QString testo = MessaggioArchivioDanneggiato(problemi);
        const QString domanda = testo + QStringLiteral("\r\rRiparare ora l'archivio? Prima della riparazione ne "
                                                       "viene salvata una copia di sicurezza.");
        const bool ripara = Sicurezza().offriRiparazione
                                ? Sicurezza().offriRiparazione(testo)
                                : Messaggi::Mostra(domanda, Pulsanti::SiNo) == Risposta::Si;
        if (!ripara)
            return false;
        const EsitoRiparazione e = RiparaArchivio(DbArchivi, *reg, Sicurezza().senzaCopia, CopieDaConservare(),
                                                  Avanzamento(QStringLiteral("Verifica dell'archivio")));
        Messaggi::Mostra((e.riuscita ? QStringLiteral("Archivio riparato.\r") : QStringLiteral("Riparazione non riuscita.\r"))
                         + e.rapporto);
        if (!e.riuscita)
            return false;
        copia = e.copia;
    } else if (!Sicurezza().senzaCopia) {
        copia = ScriviCopiaSicurezza(DbArchivi, *reg, CopieDaConservare(), errore,
                                     Avanzamento(QStringLiteral("Copia di sicurezza")));
        if (copia.isEmpty()) {
            Messaggi::Mostra(errore + QLatin1Char('\r') + kNessunaModifica);
            return false;
        }
        if (Sicurezza().avviso)
            Sicurezza().avviso(AvvisoCopia(copia));
    }
    Preparati().insert(archivio, copia);
    return true;
}

std::shared_ptr<Registro> RegistroSessione()
{
    const QString archivio = ArchivioAperto();
    if (archivio.isEmpty() || !Preparati().contains(archivio))
        return nullptr;
    return RegistroPer(archivio);
}

QString CopiaSessione() { return Preparati().value(ArchivioAperto()); }

void AzzeraSessione()
{
    Preparati().clear();
    ChiudiRegistri();
}

}  // namespace corvale
