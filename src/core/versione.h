#pragma once
// The version stamp: the text field VERSDB of the first record of AGENZIA, in the archive and in
// the master database. Reading, writing, the operator's entry rules and the comparison of two
// stamps live here, free of widgets, so that the main window and corvale-cli share them.
// Reading and writing the archive's stamp go through a second connection of their own and let
// engine errors (dbe::DbError) through; the master's stamp never fails (empty text instead).
#include "dbengine/dbengine.h"

#include <QString>
#include <functional>

namespace corvale {

class Sessione;

// Where the stamp is kept: the table and its text field.
inline constexpr char kTabellaVersione[] = "AGENZIA";
inline constexpr char kCampoVersione[] = "VERSDB";

// The stamp of an open database, read through a second connection to the same file: an empty
// AGENZIA gains one record at its defaults (with `aggiungiRecord` false, as a check that changes
// nothing wants, it reads as "0" and stays empty); a Null VERSDB reads as "0".
QString LeggiVersioneDb(const dbe::Database& db, bool aggiungiRecord = true);
// Writes `valore` into VERSDB of the first record of AGENZIA through a second connection.
void ScriviVersioneDb(const dbe::Database& db, const QString& valore);
// The same on the session's DbArchivi (the journaled write is in safety/versione_registrata.h).
QString VersioneDb(const Sessione& s);

// The master's stamp: VERSDB of the current (first) record of AGENZIA of the master file (by
// default the session's PercorsoMaster()), Null as the empty text; any failure gives the empty text.
QString LeggiVersioneMaster(const Sessione& s);
QString LeggiVersioneMaster(const QString& fileMaster);

// The operator's entry for "Imposta Numero Versione".
enum class EsitoVoce {
    Vuota,  // nothing entered (or the box cancelled): nothing happens
    NonValida,  // "Versione non valida."
    Valida,  // `valore` is the stamp to write
};
struct VoceVersione {
    EsitoVoce esito;
    QString valore;  // the stamp to write: five characters, or empty to clear it
};
// The first five characters in upper case, padded with spaces to five; "0" clears the stamp;
// otherwise the stamp must begin with "A." and end in three characters that form a number.
VoceVersione ValutaVoceVersione(const QString& voce);
// The general number test the entry rules use: surrounding spaces allowed, a sign, digits with one
// decimal separator ("," or "."), an exponent, or a hexadecimal/octal literal (&H1F, &O17).
bool TestoNumerico(QStringView testo);

// The ordinal comparison of two stamps: character codes one by one, a proper prefix the smaller.
// Negative, zero or positive.
int ConfrontaVersioni(const QString& a, const QString& b);
// The gate's warning for the master's stamp against the archive's, or the empty text when the
// two are equal. `versioneDb` is read once, and a second time when the master is not newer.
QString AvvisoVersioni(const QString& master, const std::function<QString()>& versioneDb);
QString AvvisoVersioni(const QString& master, const QString& versioneDb);
// The gate's message when the master's stamp is unknown (empty VersioneMaster); the gate stops
// there.
QString AvvisoVersioneMasterAssente();

}  // namespace corvale
