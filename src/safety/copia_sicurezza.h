#pragma once
// The safety copies of an archive: consistent copies written with SQLite's online backup into the
// folder "copie" beside the archive, named after the archive and the moment
// ("copie/lumera-20240315-143012.mdb"). Before writing, the free space of that folder is checked
// against the archive's size. Each copy made is listed in the archive's journal; only listed copies
// are ever deleted, and only beyond what the retention keeps: the newest copies (the number to
// keep), the first copy of each of the last days on which copies were made (as many days as the
// number to keep: the state before that day's first change), and the copy a command is about to
// use. Callers may rely on: a copy under its final name is complete and synced; on failure nothing
// is left behind and the reason is an Italian sentence; a file offered as a copy is taken only when
// it is one (PerchéNonCopia).
#include "registro.h"

#include "core/sessione.h"

#include "dbengine/dbengine.h"
#include "dbengine/file_copy.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace corvale {

// The folder of the safety copies of an archive file.
QString CartellaCopie(const QString& archivio);

// The stamp of an archive file's content while its log holds no pages (then the file alone holds
// its state): device, inode, size and modification time; empty while the log holds pages or the
// file cannot be read. Any commit changes it (the log grows, or a checkpoint writes the file). A
// copy is not made again of a state a listed copy already holds under the same stamp.
QString ImprontaContenuto(const QString& archivio);

// The free bytes of a folder (the session's measure when it sets one, as the tests of a full disk
// do); -1 when unknown.
qint64 SpazioLibero(const Sessione& s, const QString& cartella);

// Writes a safety copy of the session's open archive; its path, or the empty text with the reason
// in errore. The copy is listed in `reg`, and the listed copies the retention does not keep are
// deleted (conserva 0: none is deleted); `serve` (a copy about to be restored) is never deleted.
QString ScriviCopiaSicurezza(const Sessione& s, Registro& reg, int conserva, QString& errore,
                             const dbe::Progress& avanzamento = {}, const QString& serve = QString());

// The gate's integrity check of `tabelle` (ProblemiIntegritaTabelle) and the safety copy at once:
// the copy is written in a second thread while the check reads, both from one state of the file
// (the log emptied first; the check's read transaction, begun on the file alone, keeps checkpoints
// from writing the file until both end). When another program wrote meanwhile (the copy could not
// be made from the file alone), the copy itself is checked afterwards. On damage no copy is kept
// (the file written is removed, nothing listed, no copy deleted); when the check finds none and the
// copy could not be made, `errore` says why. A listed copy of this very state is taken as is.
struct VerificaConCopia {
    QStringList problemi;  // the check's findings (empty: sound)
    QString copia;  // the copy, listed in the journal (empty on damage or failure)
    QString errore;  // why there is no copy of a sound archive
};
VerificaConCopia VerificaECopia(const Sessione& s, Registro& reg, int conserva, const QStringList& tabelle,
                                const dbe::Progress& avanzamento = {});

// Deletes the listed copies the retention does not keep (see above); `serve` is kept whatever its
// age.
void ApplicaConservazione(Registro& reg, int conserva, const QString& serve = QString());

// Why `file` cannot be restored over the open archive `db` (empty when it can): it must not be
// the archive or one of its working files, must not be empty, and must open as an SQLite file;
// a file the journal does not list as a copy must also have the archive's tables (compared without
// regard to case). Reads only, and opens no descriptor of the archive's files.
QString PerchéNonCopia(const dbe::Database& db, Registro& reg, const QString& file);

// The number of copies to keep: key "CopieConservate" of section "Sicurezza" of the settings file,
// 10 when absent or not a whole number from 0 up.
int CopieDaConservare(const Sessione& s);

}  // namespace corvale
