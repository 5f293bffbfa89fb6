#pragma once
// The demo's folder: what it holds (LUMERA.INI, esempio.mdb, archivi/lumera.mdb), whether a folder
// may receive a demo, and the removal of an earlier demo's files before a new one is written.
// Callers may rely on never losing a file the demo did not make: a folder that is not empty and
// does not look like a demo is refused, and only the demo's own files are ever removed.
#include <QString>

namespace corvale::cli::demo {

struct CartellaDemo {
    QString cartella;  // absolute
    QString ini;  // cartella/LUMERA.INI
    QString master;  // cartella/esempio.mdb
    QString archivi;  // cartella/archivi
    QString archivio;  // cartella/archivi/lumera.mdb
    // Where the archive is written before it takes its name: a demo stopped half-way leaves no
    // lumera.mdb, only this file, which the next demo in the folder removes.
    QString archivioParziale;  // cartella/archivi/lumera.mdb.parziale

    explicit CartellaDemo(const QString& percorso);

    // Creates the folder (and archivi) if missing and removes an earlier demo's files (an archive
    // left half-written by a stopped demo among them). Returns an
    // empty text on success, otherwise the Italian message saying why nothing was done.
    QString Prepara() const;
    // Writes LUMERA.INI naming the archive folder by its absolute path.
    bool ScriviIni() const;
};

}  // namespace corvale::cli::demo
