#pragma once
// RinfrescaTabelleArchivio: after a structure correction, the shared archive handle reloads its
// table definitions. A refresh that fails changes nothing and is not the correction's failure, so
// it is passed over.
#include "core/sessione.h"

namespace corvale {

inline void RinfrescaTabelleArchivio(Sessione& s)
{
    try {
        s.DbArchivi.TableDefs().Refresh();
    } catch (const dbe::DbError&) {
        // A refresh is a courtesy after a correction: a stale list is read afresh at its next use.
    }
}

}  // namespace corvale
