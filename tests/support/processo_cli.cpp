#include "processo_cli.h"

#include <QProcess>
#include <csignal>
#include <sys/resource.h>

namespace corvale::prova {

EsitoCli EseguiCli(const QStringList& argomenti, qint64 limiteFile)
{
    QProcess p;
    if (limiteFile >= 0) {
        p.setChildProcessModifier([limiteFile] {
            std::signal(SIGXFSZ, SIG_IGN);  // the write fails instead of ending the process
            const rlimit r{rlim_t(limiteFile), rlim_t(limiteFile)};
            setrlimit(RLIMIT_FSIZE, &r);
        });
    }
    p.start(QStringLiteral(CORVALE_CLI_PATH), argomenti);
    p.waitForFinished(600000);
    EsitoCli e;
    e.stato = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    e.out = QString::fromUtf8(p.readAllStandardOutput());
    e.err = QString::fromUtf8(p.readAllStandardError());
    return e;
}

}  // namespace corvale::prova
