#pragma once
// The readable form of a coded structure problem, for the report of a run: the object concerned,
// what the archive has and what the master wants, in words. The coded text is taken apart with
// RicavaDatoDaCod; what it does not carry (the archive's side, the definition of a missing field or
// index, a property's value) is looked up in the two databases, and a lookup that fails reads as
// "non rilevabile". Reads both databases and changes neither.
#include "dbengine/dbengine.h"

#include <QString>

namespace corvale {

struct DifferenzaStruttura {
    QString Oggetto;  // "Campo INDIRIZZO", "Indice RAGSOC, campo CITTA", "Tabella MODPAGAM", ...
    QString Archivio;  // what the archive has
    QString Master;  // what the master wants
};

// The coded problem COD of table tabella (the master's name), described from both databases.
DifferenzaStruttura DescriviDifferenza(const dbe::Database& master, const dbe::Database& archivio,
                                       const QString& tabella, const QString& COD);

// The Italian name of an engine field type, with its size for a text field: "Testo (40)",
// "Intero lungo"; an unknown code gives "tipo N".
QString NomeTipoCampo(short tipo, qint32 dimensione = 0);
// Field attribute flags in words ("lunghezza variabile, aggiornabile"); bits without a name are
// given as a number; no flag at all gives "nessuno".
QString DescriviAttributi(qint32 attributi);

}  // namespace corvale
