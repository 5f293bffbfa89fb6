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
    // Where the order lines are built, on a thread of their own, before they join the archive;
    // removed once they are in it (and, left by a stopped demo, by the next one).
    QString righeParziali;  // cartella/archivi/lumera.mdb.righe

    explicit CartellaDemo(const QString& percorso);

    // Creates the folder (and archivi) if missing and removes an earlier demo's files (an archive
    // left half-written by a stopped demo among them). Returns an
    // empty text on success, otherwise the Italian message saying why nothing was done.
    QString Prepara() const;
    // Writes LUMERA.INI naming the archive folder by its absolute path.
    bool ScriviIni() const;
};

// Removes a database file and the engine's companion files beside it (log, its index, journal);
// false when one of them stays.
bool RimuoviDatabase(const QString& file);

}  // namespace corvale::cli::demo
