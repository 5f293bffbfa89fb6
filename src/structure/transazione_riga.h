#pragma once
// TransazioneRiga: makes one structure correction all or nothing. It opens a transaction of the
// default workspace (which spans every open database) and rolls it back when it goes out of scope
// unconfirmed, so a correction that fails part-way, or a process killed during it, leaves the
// archive as it was before the correction.
#include "dbengine/dbengine.h"

namespace corvale {

class TransazioneRiga {
public:
    TransazioneRiga() { dbe::Workspace::Default().BeginTrans(); }
    ~TransazioneRiga()
    {
        if (!fatta) {
            try {
                dbe::Workspace::Default().Rollback();
            } catch (const dbe::DbError&) {
                // A destructor may not throw; the row's own error is already on its way.
            }
        }
    }
    void conferma()
    {
        dbe::Workspace::Default().CommitTrans();
        fatta = true;
    }
    TransazioneRiga(const TransazioneRiga&) = delete;
    TransazioneRiga& operator=(const TransazioneRiga&) = delete;

private:
    bool fatta = false;
};

}  // namespace corvale
