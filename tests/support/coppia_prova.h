#pragma once
// Small master/archive pairs for the structure tests: two files made in a temporary folder through
// the engine, opened as DbMaster and DbArchivi, and a dump of a file read with plain SQLite (not
// through the engine) to prove that a refused correction left it exactly as it was.
#include "core/sessione.h"
#include "dbengine/dbengine.h"

#include <QStringList>
#include <QTemporaryDir>

namespace corvale::prova {

class Coppia {
public:
    Coppia();
    ~Coppia();
    // Runs each statement on the master, then on the archive (for the parts both share).
    void master(const QStringList& istruzioni);
    void archivio(const QStringList& istruzioni);
    void entrambi(const QStringList& istruzioni);
    // Opens both and makes them DbMaster and DbArchivi.
    void apri();
    QString percorsoMaster() const;
    QString percorsoArchivio() const;

private:
    QTemporaryDir dir_;
};

// Every table of the file (schema and rows, in rowid order), the metadata tables included, as text.
QString Dump(const QString& file);

}  // namespace corvale::prova
