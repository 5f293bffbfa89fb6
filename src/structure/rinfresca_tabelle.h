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
    }
}

}  // namespace corvale
