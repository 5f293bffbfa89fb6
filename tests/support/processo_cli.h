#pragma once
// corvale-cli run as a process by the tests: its exit status and what it wrote.
#include <QString>
#include <QStringList>

namespace testsupport {

struct EsitoCli {
    int stato = -1;  // -1 when it crashed or did not end within two minutes
    QString out;
    QString err;
};

EsitoCli EseguiCli(const QStringList& argomenti);

}  // namespace testsupport
