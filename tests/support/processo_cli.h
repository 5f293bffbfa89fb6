#pragma once
// corvale-cli run as a process by the tests: its exit status and what it printed.
#include <QString>
#include <QStringList>

namespace corvale::prova {

struct EsitoCli {
    int stato = -1;  // -1 when the process did not end normally
    QString out;
    QString err;
};

// Runs the corvale-cli built with the tests with the given arguments and waits for it (ten
// minutes at most). With limiteFile, no file the process writes may grow beyond that many bytes:
// a write past it fails (EFBIG) as it does on a full disk.
EsitoCli EseguiCli(const QStringList& argomenti, qint64 limiteFile = -1);

}  // namespace corvale::prova
