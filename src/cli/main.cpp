// corvale-cli: the headless tool. Runs the same engine, catalogue, checks and corrections as the
// windowed program, without windows.
#include "access/pulizia.h"
#include "ambiente_cli.h"
#include "comandi.h"
#include "sicurezza_cli.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {
const char* kUsage =
    "Uso: corvale-cli COMANDO [ARGOMENTI]\n"
    "\n"
    "Comandi:\n"
    "  sql FILE ISTRUZIONE      esegue un'istruzione sul database FILE\n"
    "  check [OPZIONI]          esegue tutti i controlli sull'archivio\n"
    "  demo CARTELLA            scrive un archivio dimostrativo completo in CARTELLA\n"
    "  repair-structure [OPZIONI]  applica tutte le correzioni di struttura\n"
    "  correct CHIAVE (--elimina | --associa VALORE | --associa-chiave CODICE | --fisso) [OPZIONI]\n"
    "                           corregge i record di un controllo; --associa VALORE sceglie il record\n"
    "                           del master mostrato con quel valore (se sono più di uno li elenca e\n"
    "                           non cambia nulla), --associa-chiave CODICE quello con quel codice\n"
    "  registro [N] [--json]    elenca le modifiche fatte all'archivio (con N: una, con i record)\n"
    "  annulla N                rimette i record che la modifica N ha eliminato o cambiato\n"
    "  ripristina COPIA         rimette una copia di sicurezza al posto dell'archivio\n"
    "  ripara                   ripara un archivio danneggiato\n"
    "  import SORGENTE DESTINAZIONE  converte un file Access in un nuovo archivio\n"
    "  --help                   mostra questo aiuto\n"
    "\n"
    "Opzioni di check, repair-structure e correct:\n"
    "  --home CARTELLA    cartella del programma (LUMERA.INI ed esempio.mdb)\n"
    "  --archive CARTELLA cartella di lumera.mdb, invece di quella di LUMERA.INI\n"
    "  --master FILE      database master, invece di esempio.mdb nella cartella del programma\n"
    "  --json             (check) risultato in JSON\n"
    "  --html FILE        (check) scrive anche il rapporto in una pagina HTML\n"
    "  --senza-copia      (correct, repair-structure, annulla, ripristina, ripara) nessuna copia di\n"
    "                     sicurezza prima della prima modifica\n"
    "  --silenzioso       (ogni comando) nessun avanzamento e nessuna riga informativa su stderr;\n"
    "                     l'avanzamento compare solo se stderr è un terminale\n"
    "\n"
    "Prima della prima modifica l'archivio viene verificato e ne viene salvata una copia di sicurezza\n"
    "in archivi/copie; ogni modifica entra nel registro accanto all'archivio (lumera-registro.db).\n";
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    corvale::access::InstallaPuliziaAllInterruzione();
    QCoreApplication::setApplicationName(QStringLiteral("Corvale"));
    QStringList args = app.arguments();
    args.removeFirst();
    QTextStream out(stdout);
    if (args.isEmpty()) {
        QTextStream(stderr) << kUsage;
        return 2;
    }
    using namespace corvale::cli;
    ImpostaSilenzioso(args.removeAll(QStringLiteral("--silenzioso")) > 0);
    if (args.isEmpty()) {
        QTextStream(stderr) << kUsage;
        return 2;
    }
    const QString cmd = args.takeFirst();
    if (cmd == QLatin1String("--help") || cmd == QLatin1String("-h") || cmd == QLatin1String("help")) {
        out << kUsage;
        return 0;
    }
    const struct {
        const char* nome;
        int (*esegui)(const QStringList&);
    } comandi[] = {{"sql", ComandoSql},           {"check", ComandoCheck},         {"demo", ComandoDemo},
                   {"repair-structure", ComandoRepairStructure}, {"correct", ComandoCorrect},
                   {"registro", ComandoRegistro}, {"annulla", ComandoAnnulla},     {"ripristina", ComandoRipristina},
                   {"ripara", ComandoRipara},     {"import", ComandoImport}};
    for (const auto& c : comandi) {
        if (cmd == QLatin1String(c.nome))
            return c.esegui(args);
    }
    QTextStream(stderr) << "Comando sconosciuto: " << cmd << "\n" << kUsage;
    return 2;
}
