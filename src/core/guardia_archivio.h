#pragma once
// GuardiaArchivio: the lock on the session's archive handle, so that nothing reaches the archive
// outside a journaled change. The session puts its guard on every connection it takes as its
// archive (Sessione::DbArchivi, core/sessione.h); from then on every commit of that connection that
// changes the file is refused (the transaction is rolled back and the writing call raises the
// engine's error "Scrittura rifiutata: ...") unless a ScritturaConsentita of the session is alive:
// a journaled change (ModificaRegistrata), the repair, the restore of a copy. Commits that only
// touch the connection's own temporary objects (the engine's upkeep while it reads) always pass.
//
// Callers may rely on: one guard per session, the same for every handle the session takes (the
// structure corrections reopen the archive after each row); scopes nest and are counted; what a
// scope asks to run before each commit (the journal's pending records) runs, in opening order, just
// before every commit made while it lives, and when it fails the commit is refused too. A guard
// that is not armed (the tests' session, which builds its archives through the session's handle)
// refuses nothing but still runs the scopes' work before each commit.
#include "dbengine/dbengine.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace corvale {

class Sessione;

class GuardiaArchivio : public std::enable_shared_from_this<GuardiaArchivio> {
public:
    // Puts the guard on db's connection (a null or closed handle: nothing to guard).
    void Installa(const dbe::Database& db);
    // Armed (the default): commits outside a scope are refused.
    void Arma(bool armata) { armata_ = armata; }
    bool Armata() const { return armata_; }
    // Scopes alive now; commits refused since the session began.
    int ScopiAperti() const { return int(scopi_.size()); }
    qint64 Rifiutati() const { return rifiutati_; }

private:
    friend class ScritturaConsentita;
    bool primaDelCommit(const dbe::Database& db);

    struct Scopo {
        const void* chi;
        std::function<bool()> primaDelCommit;
    };
    std::vector<Scopo> scopi_;
    bool armata_ = true;
    qint64 rifiutati_ = 0;
};

// The session's archive may be written while this lives. `primaDelCommit`, when given, runs just
// before each commit of the archive made meanwhile (false refuses that commit).
class ScritturaConsentita {
public:
    explicit ScritturaConsentita(const Sessione& s, std::function<bool()> primaDelCommit = {});
    ~ScritturaConsentita();
    ScritturaConsentita(const ScritturaConsentita&) = delete;
    ScritturaConsentita& operator=(const ScritturaConsentita&) = delete;

private:
    std::shared_ptr<GuardiaArchivio> guardia_;
};

}  // namespace corvale
