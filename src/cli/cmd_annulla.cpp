// corvale-cli annulla N, ripristina COPIA, ripara: going back. `annulla N` puts back the records
// that change N of the journal deleted or rewrote (after the safety gate: integrity check and safety
// copy), refusing record by record where that is no longer possible; exit 0 when every record went
// back, 1 when some were refused, 2 when nothing was done. `ripristina COPIA` restores a safety copy
// over the archive after copying the current state; `ripara` repairs a damaged archive. Both exit 0
// on success, 1 when the archive stays damaged, 2 on an error. --senza-copia: no safety copy.
#include "comandi.h"
#include "core/presenza_archivio.h"
#include "sicurezza_cli.h"

#include "core/sessione.h"
#include "safety/annulla.h"
#include "safety/copia_sicurezza.h"
#include "safety/integrita.h"
#include "safety/registro.h"
#include "safety/sessione_sicurezza.h"

#include "dbengine/db_error.h"

#include <QFileInfo>
#include <QTextStream>

namespace corvale::cli {

int ComandoAnnulla(const QStringList& argomenti)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = argomenti;
    const bool senzaCopia = TogliSenzaCopia(args);
    const char* uso = "Uso: corvale-cli annulla N [--senza-copia] [--programma CARTELLA] [--archivio CARTELLA]\n";
    bool ok = false;
    const qint64 id = args.isEmpty() ? 0 : args.takeFirst().toLongLong(&ok);
    if (!ok || id <= 0) {
        err << "Numero di modifica mancante o non valido.\n" << uso;
        return kEsitoNonEseguito;
    }
    QString errore;
    int numero = 0;
    OperatoreRiga operatore(Risposta::No);
    Sessione s(operatore);
    PreparaSicurezzaCli(s, senzaCopia);
    if (ApriSoloArchivio(s, args, errore, &numero) != kEsitoRiuscito) {
        // On a full disk the archive cannot even be opened: the journal still says whether the
        // change can be undone, and how much room the undo needs.
        const QString archivio = QFileInfo(PercorsoArchivio(s.PathArchivi)).absoluteFilePath();
        if (numero == dbe::err::DiskFull && QFileInfo::exists(Registro::FilePer(archivio))) {
            Registro reg(archivio);
            if (reg.Aperto()) {
                QString no = PerchéNonAnnullabile(reg, id);
                if (no.isEmpty())
                    no = SpazioMancantePerAnnullare(s, reg, id, archivio, !senzaCopia);
                if (!no.isEmpty()) {
                    err << SuUnaRiga(no) << "\n";
                    return kEsitoNonEseguito;
                }
            }
        }
        err << errore << "\n" << uso;
        return kEsitoNonEseguito;
    }
    // An entry that cannot be undone, or for which the disk has no room, is refused before the
    // gate makes a copy.
    if (const auto reg = RegistroPer(s, &errore)) {
        QString no = PerchéNonAnnullabile(*reg, id);
        if (no.isEmpty())
            no = SpazioMancantePerAnnullare(s, *reg, id, s.DbArchivi.Name(), !senzaCopia);
        if (!no.isEmpty()) {
            err << SuUnaRiga(no) << "\n";
            return kEsitoNonEseguito;
        }
    }
    if (!PrimaDellaModifica(s))
        return kEsitoNonEseguito;
    const EsitoAnnulla e = AnnullaModifica(s, id);
    if (!e.eseguito) {
        err << SuUnaRiga(e.errore) << "\n";
        return kEsitoNonEseguito;
    }
    for (const QString& r : e.rifiutati)
        err << r << "\n";
    out << "Modifica " << id << " annullata: " << e.rimessi << " record rimessi, " << e.rifiutati.size()
        << " rifiutati (modifica " << e.voce << " del registro).\n";
    return e.rifiutati.isEmpty() ? kEsitoRiuscito : kEsitoProblemi;
}

int ComandoRipristina(const QStringList& argomenti)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = argomenti;
    const bool senzaCopia = TogliSenzaCopia(args);
    const char* uso =
        "Uso: corvale-cli ripristina COPIA [--senza-copia] [--programma CARTELLA] [--archivio CARTELLA]\n";
    if (args.isEmpty() || args.first().startsWith(QLatin1String("--"))) {
        err << "Copia di sicurezza da ripristinare mancante.\n" << uso;
        return kEsitoNonEseguito;
    }
    const QString copia = args.takeFirst();
    QString errore;
    OperatoreRiga operatore(Risposta::No);
    Sessione s(operatore);
    PreparaSicurezzaCli(s, senzaCopia);
    if (ApriSoloArchivio(s, args, errore) != kEsitoRiuscito) {
        err << errore << "\n" << uso;
        return kEsitoNonEseguito;
    }
    QString testo;
    bool fatto = false;
    // The copy replaces the file: never under another Corvale that has it open.
    if (!PresenzaArchivio::DaSolo(s, s.DbArchivi.Name(), [&] { fatto = RipristinaCopia(s, copia, testo); }))
        testo = RipristinoRifiutatoAltroCorvale();
    (fatto ? out : err) << SuUnaRiga(testo) << "\n";
    return fatto ? kEsitoRiuscito : kEsitoNonEseguito;
}

int ComandoRipara(const QStringList& argomenti)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = argomenti;
    const bool senzaCopia = TogliSenzaCopia(args);
    QString errore;
    OperatoreRiga operatore(Risposta::No);
    Sessione s(operatore);
    PreparaSicurezzaCli(s, senzaCopia);
    if (ApriSoloArchivio(s, args, errore) != kEsitoRiuscito) {
        err << errore << "\nUso: corvale-cli ripara [--senza-copia] [--programma CARTELLA] [--archivio CARTELLA]\n";
        return kEsitoNonEseguito;
    }
    PulisciRecuperiInterrotti(s.DbArchivi.Name());
    const QStringList problemi =
        ProblemiIntegrita(s.DbArchivi, ProgressoRiga(QStringLiteral("Verifica dell'archivio")));
    const std::shared_ptr<Registro> reg = RegistroPer(s, &errore);
    if (reg)
        RegistraVerifica(*reg, problemi);
    if (problemi.isEmpty()) {
        out << "Verifica dell'archivio superata: nessuna riparazione necessaria.\n";
        return kEsitoRiuscito;
    }
    err << SuUnaRiga(MessaggioArchivioDanneggiato(problemi)) << "\n";
    if (!reg) {
        err << "Impossibile scrivere il registro delle modifiche.\n" << errore << "\n";
        return kEsitoNonEseguito;
    }
    const EsitoRiparazione e = RiparaArchivio(s, *reg, ProgressoRiga(QStringLiteral("Riparazione dell'archivio")));
    (e.riuscita ? out : err) << (e.riuscita ? "Archivio riparato." : "Riparazione non riuscita.") << "\n";
    for (const QString& riga : e.rapporto.split(QLatin1Char('\r')))
        (e.riuscita ? out : err) << "  " << riga << "\n";
    return e.riuscita ? kEsitoRiuscito : kEsitoProblemi;
}

}  // namespace corvale::cli
