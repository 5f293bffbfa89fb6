#pragma once
// ImprontaArchivio: what a window remembers of the archive when it fills a view, to tell before it
// acts whether another program or another Corvale wrote to the archive since. It reads SQLite's
// data_version on the session's connection, which moves with every commit of another connection and
// never with this connection's own; a connection opened afresh since (the structure corrections
// reopen the archive) counts as a change, since nothing then tells what happened in between.
// PresenzaArchivio: the mark each Corvale holds on the archive while a window works on it (a shared
// flock on the file "<archive>.presenza" beside it, one per session), and the check a restore makes
// that no other Corvale (another process, or another session of this one) has it open. Where that
// file cannot be made (a read-only folder) there is no mark, and nothing is refused for it.
#include <QString>
#include <functional>

namespace dbe { class Database; }

namespace corvale {

class Sessione;

struct ImprontaArchivio {
    const void* connessione = nullptr;
    qint64 versione = -1;
    // The archive as it is now (nothing when it is closed).
    static ImprontaArchivio Di(const dbe::Database& db);
    // True when the archive is known to be as it was when this was taken.
    bool Uguale(const dbe::Database& db) const;
};

class PresenzaArchivio {
public:
    // Takes the session's mark on the file (shared with its other windows); nothing for an empty name.
    PresenzaArchivio(const Sessione& s, const QString& file);
    ~PresenzaArchivio();
    PresenzaArchivio(const PresenzaArchivio&) = delete;
    PresenzaArchivio& operator=(const PresenzaArchivio&) = delete;

    // Runs azione holding the file alone: false, and nothing run, while another Corvale has it open.
    // The session's own mark is shared again afterwards.
    static bool DaSolo(const Sessione& s, const QString& file, const std::function<void()>& azione);

private:
    const Sessione* sessione_;
    QString chiave_;
};

}  // namespace corvale
