#pragma once
// ModificaRegistrata: one change to the session's archive as it goes into the journal. The code
// that changes the archive creates one before the change, reports each record before touching it,
// and lets it go (or calls Fine) after. While it lives, the archive's guard lets the session's
// archive be written (core/guardia_archivio.h) and the journal's pending records are committed just
// before every commit of the archive's connection, so no archive change is ever committed before
// its record. It settles itself at the end: when the archive's connection changed fewer
// records than were journaled (a refused delete, a walk stopped part-way), each record is checked
// against the archive and marked done or not.
//
// Without a journal (no change was prepared with PrimaDellaModifica, as in a test of one routine)
// it records nothing, costs nothing and opens nothing: on a guarded archive the writes are refused.
#include "core/guardia_archivio.h"
#include "registro.h"

#include "core/sessione.h"
#include "dbengine/dbengine.h"

#include <memory>

namespace corvale {

// Why a record of a change was left alone, as the operator and the journal read it.
inline const QString kMotivoLasciato = QStringLiteral("modificato o sostituito da un altro programma");
// "Record non corretti: N (modificato o sostituito da un altro programma)."
QString MessaggioLasciati(qint64 n);

class ModificaRegistrata {
public:
    ModificaRegistrata(const Sessione& s, const QString& tipo, const QString& tabella,
                       const QString& chiave = QString(), const QString& descrizione = QString(), qint64 annulla = 0);
    ~ModificaRegistrata();
    ModificaRegistrata(const ModificaRegistrata&) = delete;
    ModificaRegistrata& operator=(const ModificaRegistrata&) = delete;

    bool Attiva() const { return id_ != 0; }
    qint64 Id() const { return id_; }

    // Before the current record of rs is deleted (dopo absent) or its fields `dopo` rewritten.
    void Record(const dbe::Recordset& rs, const std::optional<dbe::StoredRow>& dopo = std::nullopt);
    // Before the record with that rowid is deleted or rewritten, read from the archive here.
    void Record(const QString& tabella, qint64 riga, const std::optional<dbe::StoredRow>& dopo);
    // A record given whole (an undo's insert has no record before).
    void Record(const RecordRegistro& r);
    // A record the change left alone because another program changed or replaced it since it was
    // read (described for the operator: table and key); counted, and named in the entry's message.
    void Lasciato(const QString& descrizione);
    qint64 Lasciati() const { return lasciati_; }
    // The change stopped part-way for this reason (the engine's message): Fine settles every
    // journaled record against the archive and ends the entry "interrotta" with the reason, or
    // "non riuscita" when no record was changed.
    void Fermata(const QString& motivo) { fermata_ = motivo; }
    // True when the journal could not be written for lack of room: the archive's writes it refused
    // then failed for a full disk, whatever the engine said of them.
    bool RegistroPieno() const { return reg_ && reg_->Pieno(); }
    // Commits what is pending now (before a change made through another connection).
    bool Scrivi();
    // Ends the entry: "fatta", or "interrotta" when some records were not changed, with the outcome
    // and the engine's message; "non riuscita" when records were left alone and none was changed.
    // Called by the destructor when not called before.
    void Fine(const QString& esito = QString(), const QString& messaggio = QString());
    // Ends the entry as "non riuscita".
    void Fallita(const QString& esito, const QString& messaggio);

private:
    void concludi(const QString& stato, const QString& esito, const QString& messaggio);

    std::shared_ptr<Registro> reg_;
    dbe::Database db_;
    qint64 id_ = 0;
    qint64 n_ = 0;
    qint64 lasciati_ = 0;
    QStringList nomiLasciati_;
    QString fermata_;
    qint64 modifiche0_ = 0;
    bool concluso_ = false;
    std::unique_ptr<ScritturaConsentita> scrittura_;  // while the entry is open
};

// Settles the records of entry `id` against the archive: a record is done when the archive holds
// what the change left (the record gone, the fields written), not done when it still holds the
// record as it was. Returns the number of records not done.
qint64 RiconciliaVoce(const dbe::Database& db, Registro& reg, qint64 id);
// Settles every entry a previous session left "in corso" and marks it "interrotta".
void RiconciliaInCorso(const dbe::Database& db, Registro& reg);

}  // namespace corvale
