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
    "  controlla [OPZIONI]      esegue tutti i controlli sull'archivio\n"
    "  demo CARTELLA            scrive un archivio dimostrativo completo in CARTELLA\n"
    "  correggi-struttura [OPZIONI]  applica tutte le correzioni di struttura\n"
    "  correggi CHIAVE (--elimina | --associa VALORE | --associa-chiave CODICE | --fisso) [OPZIONI]\n"
    "                           corregge i record di un controllo; --associa VALORE sceglie il record\n"
    "                           del master mostrato con quel valore (se sono più di uno li elenca e\n"
    "                           non cambia nulla), --associa-chiave CODICE quello con quel codice\n"
    "  registro [N] [--json]    elenca le modifiche fatte all'archivio (con N: una, con i record)\n"
    "  annulla N                rimette i record che la modifica N ha eliminato o cambiato\n"
    "  ripristina COPIA         rimette una copia di sicurezza al posto dell'archivio\n"
    "  ripara                   ripara un archivio danneggiato\n"
    "  importa SORGENTE DESTINAZIONE  converte un file Access in un nuovo archivio\n"
    "  --help                   mostra questo aiuto\n"
    "\n"
    "Opzioni di controlla, correggi-struttura e correggi:\n"
    "  --programma CARTELLA  cartella del programma (LUMERA.INI ed esempio.mdb)\n"
    "  --archivio CARTELLA   cartella di lumera.mdb, invece di quella di LUMERA.INI\n"
    "  --master FILE         database master, invece di esempio.mdb nella cartella del programma\n"
    "  --json                (controlla) risultato in JSON\n"
    "  --html FILE           (controlla) scrive anche il rapporto in una pagina HTML\n"
    "  --senza-copia         (correggi, correggi-struttura, annulla, ripristina, ripara) nessuna copia\n"
    "                        di sicurezza prima della prima modifica\n"
    "  --silenzioso          (ogni comando) nessun avanzamento e nessuna riga informativa su stderr;\n"
    "                        l'avanzamento compare solo se stderr è un terminale\n"
    "\n"
    "Prima della prima modifica l'archivio viene verificato e ne viene salvata una copia di sicurezza\n"
    "in archivi/copie; ogni modifica entra nel registro accanto all'archivio (lumera-registro.db).\n"
    "\n"
    "Stato d'uscita: 0 riuscito (controlla: nessun problema); 1 eseguito, con problemi rilevati o\n"
    "rimasti; 2 non eseguito (argomenti errati, archivio che non si apre, modifica rifiutata).\n"
    "I nomi inglesi delle prime versioni valgono ancora: check, correct, repair-structure, import,\n"
    "--home, --archive, --orders.\n";

// The English names of the first releases, kept so that scripts written for them keep working.
const struct {
    const char* inglese;
    const char* italiano;
} kNomiInglesi[] = {{"check", "controlla"},  {"correct", "correggi"},   {"repair-structure", "correggi-struttura"},
                    {"import", "importa"},   {"--home", "--programma"}, {"--archive", "--archivio"},
                    {"--orders", "--ordini"}};
}  // namespace

namespace corvale::cli {

QString NomeItaliano(const QString& parola)
{
    for (const auto& n : kNomiInglesi) {
        if (parola == QLatin1String(n.inglese))
            return QString::fromLatin1(n.italiano);
    }
    return parola;
}

}  // namespace corvale::cli

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    corvale::access::InstallaPuliziaAllInterruzione();
    QCoreApplication::setApplicationName(QStringLiteral("Corvale"));
    QStringList args = app.arguments();
    args.removeFirst();
    QTextStream out(stdout);
    using namespace corvale::cli;
    if (args.isEmpty()) {
        QTextStream(stderr) << kUsage;
        return kEsitoNonEseguito;
    }
    ImpostaSilenzioso(args.removeAll(QStringLiteral("--silenzioso")) > 0);
    if (args.isEmpty()) {
        QTextStream(stderr) << kUsage;
        return kEsitoNonEseguito;
    }
    // The command and every option by its Italian name; the statement of "sql" is left as typed.
    const QString cmd = NomeItaliano(args.takeFirst());
    if (cmd != QLatin1String("sql")) {
        for (QString& a : args)
            a = NomeItaliano(a);
    }
    if (cmd == QLatin1String("--help") || cmd == QLatin1String("-h") || cmd == QLatin1String("help")) {
        out << kUsage;
        return kEsitoRiuscito;
    }
    const struct {
        const char* nome;
        int (*esegui)(const QStringList&);
    } comandi[] = {{"sql", ComandoSql},           {"controlla", ComandoControlla},
                   {"demo", ComandoDemo},         {"correggi-struttura", ComandoCorreggiStruttura},
                   {"correggi", ComandoCorreggi}, {"registro", ComandoRegistro},
                   {"annulla", ComandoAnnulla},   {"ripristina", ComandoRipristina},
                   {"ripara", ComandoRipara},     {"importa", ComandoImporta}};
    for (const auto& c : comandi) {
        if (cmd == QLatin1String(c.nome))
            return c.esegui(args);
    }
    QTextStream(stderr) << "Comando sconosciuto: " << cmd << "\n" << kUsage;
    return kEsitoNonEseguito;
}
