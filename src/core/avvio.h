#pragma once
// Start-up: where the archive folder comes from. LeggiPathArchivi reads LUMERA.INI in the
// program's own folder (section "Path", key "Archivi", never written) into PathArchivi and the
// master's stamp into VersioneMaster. Nothing here shows a message or throws.
#include <QString>

namespace corvale {

class Sessione;

// The settings file of a program folder: "LUMERA.INI" in it (on a file system that tells case
// apart, a file of that name in any case when the exact name is absent).
QString FileImpostazioni(const QString& cartellaProgramma);
// The archive folder the settings file gives: at most 255 characters, without surrounding spaces;
// empty when the file, the section or the key is absent. Used as written (no separator added or
// removed).
QString LeggiCartellaArchivi(const QString& fileImpostazioni);
// Shown beside a failed open of the archive whose folder was to come from the settings file: when
// that file is missing, or is there but no plain file (a folder, a pipe, a device: start-up reads
// nothing from it), the line that names it and says which; otherwise empty.
QString AvvisoFileImpostazioni(const QString& cartellaProgramma);
// s.PathArchivi := the folder from the settings file of s.CartellaProgramma();
// s.VersioneMaster := LeggiVersioneMaster(s).
void LeggiPathArchivi(Sessione& s);

}  // namespace corvale
