#pragma once
// Reading a report page back in the tests as a reader sees it: its visible text and the cells of
// its tables.
#include <QList>
#include <QString>
#include <QStringList>

namespace corvale::prova {

// Tags removed, the entities the page uses decoded, runs of blanks made one space.
QString TestoPagina(const QString& html);

// The body rows of every table of class classe, in page order, each as its cells' visible texts.
QList<QStringList> RigheTabella(const QString& html, const QString& classe);

}  // namespace corvale::prova
