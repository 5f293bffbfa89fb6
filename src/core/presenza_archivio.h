#pragma once
// PresenzaArchivio: the mark each Corvale holds on the archive while it has it open (a shared flock
// on the small file "<archive>.presenza" beside it, one per session and file, shared by the
// session's windows): the main window while its archive is open, the maintenance window, and every
// corvale-cli command that opens the archive, for the whole command. A restore, which replaces the
// file, first makes sure through DaSolo that no other Corvale (another process, or another session
// of this one) holds one. Where that file cannot be made (a read-only folder) there is no mark, and
// nothing is refused for it. The mark goes with the process, however it ends.
#include <QString>
#include <functional>

namespace corvale {

class Sessione;

class PresenzaArchivio {
public:
    // Takes the session's mark on the file (shared with its other holders); nothing for an empty name.
    PresenzaArchivio(const Sessione& s, const QString& file);
    ~PresenzaArchivio();
    PresenzaArchivio(const PresenzaArchivio&) = delete;
    PresenzaArchivio& operator=(const PresenzaArchivio&) = delete;

    // Takes the session's mark on the file until the process ends (a corvale-cli command).
    static void FinoAllaFine(const Sessione& s, const QString& file);

    // Runs azione holding the file alone: false, and nothing run, while another Corvale has it open.
    // The session's own mark is shared again afterwards.
    static bool DaSolo(const Sessione& s, const QString& file, const std::function<void()>& azione);

private:
    const Sessione* sessione_;
    QString chiave_;
};

// What a restore refused by another Corvale's mark tells the operator (lines parted by '\r').
QString RipristinoRifiutatoAltroCorvale();

}  // namespace corvale
