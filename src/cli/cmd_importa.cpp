// corvale-cli importa SORGENTE DESTINAZIONE: converts an Access file into a new archive, one line
// per table on stderr (none with --silenzioso) and, on a terminal, the records copied so far.
#include "ambiente_cli.h"
#include "comandi.h"

#include "access/importazione.h"

#include <QDir>
#include <QTextStream>

namespace corvale::cli {

namespace {

const char* kImportHelp =
    "Uso: corvale-cli importa SORGENTE DESTINAZIONE\n"
    "\n"
    "Converte il file Access SORGENTE (Jet 3 .mdb di Access 97, Jet 4 .mdb di Access 2000-2003,\n"
    "ACE .accdb) nel nuovo archivio DESTINAZIONE, che non deve esistere: ogni tabella utente con\n"
    "campi, indici, proprieta' e record. SORGENTE e' solo letto. Su stderr una riga per tabella\n"
    "e, se stderr e' un terminale, i record copiati finora (nulla di questo con --silenzioso).\n"
    "Un errore scrive il motivo su stderr, non lascia DESTINAZIONE ed esce con stato 2.\n";

}  // namespace

int ComandoImporta(const QStringList& args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (args.size() == 1 && (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))) {
        out << kImportHelp;
        return kEsitoRiuscito;
    }
    if (args.size() != 2) {
        err << kImportHelp;
        return kEsitoNonEseguito;
    }
    try {
        qint64 totale = 0;
        int tabelle = 0;
        Progresso progresso;
        const auto tabella = [&](const access::TabellaAccess& t, qint64 record) {
            progresso.Riga(QStringLiteral("Tabella %1: %2 record").arg(t.nome).arg(record));
            for (const QString& saltato : t.saltati)
                progresso.Riga(QStringLiteral("  non importato: ") + saltato);
            totale += record;
            ++tabelle;
        };
        access::ImportaAccess(args[0], args[1], tabella, [&](qint64 copiati, qint64 annunciati) {
            progresso.Mostra(QStringLiteral("Importazione: record copiati"), copiati, annunciati);
        });
        progresso.Chiudi();
        out << "Importate " << tabelle << " tabelle, " << totale << " record, in " << QDir::toNativeSeparators(args[1])
            << "\n";
    } catch (const access::ErroreAccess& e) {
        // The import's own text, whatever the cause, is the command's answer.
        out.flush();
        err << e.message() << "\n";
        return kEsitoNonEseguito;
    }
    return kEsitoRiuscito;
}

}  // namespace corvale::cli
