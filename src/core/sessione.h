#pragma once
// Sessione: the program's shared place, owned by whoever runs the program (the main window or
// corvale-cli) and passed to everything that needs it. It holds the archive folder read at
// start-up, the master's stamp, the two open databases, the program's own folder and the master's
// file, and the operator to ask. Every procedure takes the archive handle from here at each use:
// the structure corrections replace it by a fresh handle after every row.
#include "core/operatore.h"
#include "dbengine/dbengine.h"

#include <QString>
#include <memory>

namespace corvale {

struct StatoSicurezza;  // safety/sessione_sicurezza.h
class GuardiaArchivio;  // core/guardia_archivio.h

// The session's archive handle: a dbe::Database that puts the session's guard on every connection
// set into it, so that the archive is written only inside a journaled change, whichever code set
// the handle (core/guardia_archivio.h). Copies of it are plain handles of the same connection.
class ArchivioSessione : public dbe::Database {
public:
    ArchivioSessione();
    ArchivioSessione(const ArchivioSessione&) = delete;
    ArchivioSessione& operator=(const ArchivioSessione& altro)
    {
        return *this = static_cast<const dbe::Database&>(altro);
    }
    ArchivioSessione& operator=(const dbe::Database& db);

    const std::shared_ptr<GuardiaArchivio>& Guardia() const { return guardia_; }

private:
    std::shared_ptr<GuardiaArchivio> guardia_;
};

class Sessione {
public:
    explicit Sessione(Operatore& operatore) : operatore_(&operatore) {}
    Sessione(const Sessione&) = delete;
    Sessione& operator=(const Sessione&) = delete;

    QString PathArchivi;  // folder of lumera.mdb, without file name
    QString VersioneMaster;  // the master's stamp, read once at start-up; empty if unreadable
    ArchivioSessione DbArchivi;  // the open archive database, guarded
    dbe::Database DbMaster;  // the master database, opened by the version gate

    Operatore& operatore() const { return *operatore_; }
    void ImpostaOperatore(Operatore& operatore) { operatore_ = &operatore; }

    // The program's own folder: the one set, else CORVALE_HOME when set, else the folder of the
    // executable.
    QString CartellaProgramma() const;
    // Replaces the program's folder (corvale-cli --home); an empty text restores the default.
    void ImpostaCartellaProgramma(const QString& cartella) { cartella_ = cartella; }
    // The master database file: the program's folder followed by "/esempio.mdb", unless replaced
    // (corvale-cli --master).
    QString PercorsoMaster() const;
    void ImpostaPercorsoMaster(const QString& file) { master_ = file; }

    // Drops both database handles (the end of the program, or of a test).
    void ChiudiDatabase();

    // The safety gate of this session: the archives it prepared, their journals and copies, and how
    // it talks to the operator. Made on first use by safety/sessione_sicurezza.cpp.
    mutable std::shared_ptr<StatoSicurezza> Protezione;

private:
    Operatore* operatore_;
    QString cartella_;
    QString master_;
};

// The engine's description of e, followed, when another program keeps a write transaction open on
// the archive (3218), by what that means for the operator.
QString SpiegazioneErrore(const dbe::DbError& e);

// The archive file for a folder: the folder followed by "/lumera.mdb" (a folder ending in a
// separator gives a doubled one, which the file system resolves).
QString PercorsoArchivio(const QString& cartella);

}  // namespace corvale
