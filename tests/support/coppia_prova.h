#pragma once
// Small master/archive pairs for the structure tests: two files made in a temporary folder through
// the engine, opened as DbMaster and DbArchivi, and a dump of a file read with plain SQLite (not
// through the engine) to prove that a refused correction left it exactly as it was.
#include "core/sessione.h"
#include "core/manutenzione.h"
#include "dbengine/dbengine.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QVariantList>

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

// The row of the structure task of a table in a loaded catalogue; -1 when there is none.
int RigaStruttura(const Manutenzione& m, const QString& tabella);
// A maintenance logic with the catalogue loaded and the structure corrections hooked up.
void Prepara(Manutenzione& m);
// One round as the operator runs it: the table's structure check, its corrections listed and all
// applied by the dispatcher. The rows afterwards, each as "text|state|note".
QStringList Correggi(Manutenzione& m, const QString& tabella);
// Every value of a field of the session's archive, in record order, as the engine reads it.
QVariantList Valori(const QString& tabella, const QString& campo);
// Lets the fields of a table of the file hold the empty text.
void PermettiVuoto(const QString& file, const QString& tabella, const QStringList& campi);

}  // namespace corvale::prova
