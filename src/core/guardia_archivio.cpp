#include "guardia_archivio.h"

#include "core/sessione.h"
#include "dbengine/stored_rows.h"

#include <algorithm>

namespace corvale {

void GuardiaArchivio::Installa(const dbe::Database& db)
{
    if (db.isNull() || !db.IsOpen())
        return;
    // The hook keeps neither the guard nor the connection alive: the connection owns the hook.
    std::weak_ptr<GuardiaArchivio> g = weak_from_this();
    const dbe::WeakDatabase c(db);
    dbe::SetCommitHook(db, [g, c] {
        const auto guardia = g.lock();
        const dbe::Database conn = c.Lock();
        return !guardia || conn.isNull() || guardia->primaDelCommit(conn);
    });
}

bool GuardiaArchivio::primaDelCommit(const dbe::Database& db)
{
    if (scopi_.empty()) {
        if (!armata_ || !dbe::WritesFile(db))
            return true;
        ++rifiutati_;
        return false;
    }
    // A copy: the work may end a scope (it never should, but the list must survive it).
    const std::vector<Scopo> scopi = scopi_;
    for (const Scopo& s : scopi) {
        if (s.primaDelCommit && !s.primaDelCommit())
            return false;
    }
    return true;
}

ScritturaConsentita::ScritturaConsentita(const Sessione& s, std::function<bool()> primaDelCommit)
    : guardia_(s.DbArchivi.Guardia())
{
    guardia_->scopi_.push_back({this, std::move(primaDelCommit)});
}

ScritturaConsentita::~ScritturaConsentita()
{
    auto& scopi = guardia_->scopi_;
    scopi.erase(std::remove_if(scopi.begin(), scopi.end(),
                               [this](const GuardiaArchivio::Scopo& x) { return x.chi == this; }),
                scopi.end());
}

}  // namespace corvale
