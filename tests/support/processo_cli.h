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
// minutes at most).
EsitoCli EseguiCli(const QStringList& argomenti);

}  // namespace corvale::prova
