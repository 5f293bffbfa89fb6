#include "sicurezza_cli.h"
#include "comandi.h"

#include "core/presenza_archivio.h"

#include "access/solo_lettura.h"
#include "core/avvio.h"
#include "core/sessione.h"
#include "safety/sessione_sicurezza.h"

#include <QTextStream>

namespace corvale::cli {

void PreparaSicurezzaCli(const Sessione& sessione, bool senzaCopia)
{
    ImpostazioniSicurezza& s = Sicurezza(sessione);
    s.senzaCopia = senzaCopia;
    s.avviso = [](const QString& testo) { QTextStream(stderr) << SuUnaRiga(testo) << "\n"; };
    s.offriRiparazione = [](const QString& testo) {
        QTextStream(stderr) << SuUnaRiga(testo) << "\n"
                            << "Per riparare l'archivio: corvale-cli ripara. Nessuna modifica è stata fatta.\n";
        return false;
    };
    // On a terminal, one line rewritten in place.
    s.avanzamento = [p = std::make_shared<Progresso>()](const QString& cosa, qint64 fatto, qint64 totale) {
        p->Mostra(cosa, fatto, totale);
        if (totale > 0 && fatto >= totale)
            p->Chiudi();
    };
}

bool TogliSenzaCopia(QStringList& args) { return args.removeAll(QStringLiteral("--senza-copia")) > 0; }

int ApriSoloArchivio(Sessione& s, const QStringList& args, QString& errore, int* numero)
{
    OpzioniArchivi o;
    if (!LeggiOpzioni(args, o, errore, false))
        return kEsitoNonEseguito;
    if (!o.home.isEmpty())
        s.ImpostaCartellaProgramma(o.home);
    s.PathArchivi = o.archivioDato ? o.archive : LeggiCartellaArchivi(FileImpostazioni(s.CartellaProgramma()));
    try {
        s.DbArchivi = dbe::OpenDatabase(PercorsoArchivio(s.PathArchivi));
        PresenzaArchivio::FinoAllaFine(s, s.DbArchivi.Name());  // no restore under this command
    } catch (const dbe::DbError& e) {
        if (numero)
            *numero = e.number();
        errore = access::RifiutoArchivioAccess(PercorsoArchivio(s.PathArchivi), e);
        if (errore.isEmpty())
            errore = QStringLiteral("Impossibile aprire il database.\n") + e.description();
        return kEsitoNonEseguito;
    }
    return kEsitoRiuscito;
}

}  // namespace corvale::cli
