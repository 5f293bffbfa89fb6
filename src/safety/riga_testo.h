#pragma once
// The journal's text form of a stored record: a JSON array of [field, kind, value] triples, kind
// "i" integer, "r" real, "t" text, "b" blob (base64), "n" null, every value a JSON string (reals
// with seventeen significant digits), so that reading it back gives the stored values exactly.
// Callers may rely on: TestoDaRiga and RigaDaTesto are inverse; a text that is not of this form
// reads as nullopt. The compact form (DatiDaRiga) keeps the values only, in field order, each as
// a kind byte and its bytes, for a list of names kept once elsewhere: DatiDaRiga and RigaDaDati
// are inverse for the same names, and bytes that are not of that form, or hold another number of
// values than names, read as nullopt. The comparisons below tell whether a record in the archive
// is the one the journal describes.
#include "dbengine/stored_rows.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace corvale {

// In UTF-8.
QByteArray TestoDaRiga(const dbe::StoredRow& riga);
std::optional<dbe::StoredRow> RigaDaTesto(const QString& testo);
// The compact form: the id of riga's list of names (kept elsewhere), then its values, appended to
// `dati`.
void DatiDaRiga(qint64 idNomi, const dbe::StoredRow& riga, QByteArray& dati);
// The id of the list of names at the start of `dati`; *da is where the values start. Nullopt when
// the bytes hold none.
std::optional<qint64> IdNomiDaDati(const QByteArray& dati, qsizetype* da);
// The record of the values `dati` holds from byte `da` on, under the names `nomi`.
std::optional<dbe::StoredRow> RigaDaDati(const QByteArray& dati, qsizetype da, const QStringList& nomi);
// Stored values compared as the journal keeps them: same kind and value; a value written by the
// engine (a text, a number) equals its stored form when both read the same.
bool StessoValore(const QVariant& a, const QVariant& b);
// True when every field of `campi` holds in `riga` the value `campi` gives.
bool HaCampi(const dbe::StoredRow& riga, const dbe::StoredRow& campi);
// The fields of `campi` with the values `riga` has.
dbe::StoredRow ValoriPrima(const dbe::StoredRow& riga, const dbe::StoredRow& campi);
// A value as the operator reads it in a message: Null, a number, or a text between quotes.
QString ValoreLeggibile(const QVariant& v);

}  // namespace corvale
