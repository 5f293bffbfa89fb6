#include "processo_cli.h"

#include <QProcess>

namespace corvale::prova {

EsitoCli EseguiCli(const QStringList& argomenti)
{
    QProcess p;
    p.start(QStringLiteral(CORVALE_CLI_PATH), argomenti);
    p.waitForFinished(600000);
    EsitoCli e;
    e.stato = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    e.out = QString::fromUtf8(p.readAllStandardOutput());
    e.err = QString::fromUtf8(p.readAllStandardError());
    return e;
}

}  // namespace corvale::prova
