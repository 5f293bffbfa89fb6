#pragma once
// Reading a report page back in the tests as a reader sees it: its visible text and the cells of
// its tables; and corvale-cli run as a process, for the tests that drive the real tool.
#include <QList>
#include <QString>
#include <QStringList>

namespace corvale::prova {

// Tags removed, the entities the page uses decoded, runs of blanks made one space.
QString TestoPagina(const QString& html);

// The body rows of every table of class classe, in page order, each as its cells' visible texts.
QList<QStringList> RigheTabella(const QString& html, const QString& classe);

struct EsitoCli {
    int stato = -1;  // exit status, -1 when the program crashed or did not end
    QString out;
    QString err;
};
// Runs corvale-cli with args and waits for it.
EsitoCli Cli(const QStringList& args);

}  // namespace corvale::prova
