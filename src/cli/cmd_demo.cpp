#include "comandi.h"

#include <QTextStream>

namespace corvale::cli {

int ComandoDemo(const QStringList&)
{
    QTextStream(stderr) << "Comando non ancora disponibile.\n";
    return 2;
}

}  // namespace corvale::cli
