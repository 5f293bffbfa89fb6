#pragma once
// The properties of an Access table as the engine holds them: libmdb hands each one as text, and
// this gives it back its type (from the property's name when Access fixes it, otherwise from its
// text) and its value in that type. What the archive cannot hold is listed, with why.
#include "file_access.h"

namespace corvale::access {

// props: libmdb's properties of a table (may be null), by name. Names that the engine keeps for its
// own built-in properties go to *saltati; binary values (libmdb reports them only by length) are
// left out.
QVector<ProprietaAccess> ProprietaTabella(const void* props, QStringList* saltati);

// The engine's type code of an Access property named nome holding testo.
short TipoProprieta(const QString& nome, const QString& testo);

}  // namespace corvale::access
