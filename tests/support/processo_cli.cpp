#include "processo_cli.h"

#include <QProcess>

namespace testsupport {

EsitoCli EseguiCli(const QStringList& argomenti)
{
    QProcess p;
    p.start(QStringLiteral(CORVALE_CLI_PATH), argomenti);
    EsitoCli e;
    if (p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit)
        e.stato = p.exitCode();
    e.out = QString::fromUtf8(p.readAllStandardOutput());
    e.err = QString::fromUtf8(p.readAllStandardError());
    return e;
}

}  // namespace testsupport
