#include "modifica_registrata.h"

#include "riga_testo.h"
#include "sessione_sicurezza.h"


namespace corvale {

namespace {

// Whether the change the record describes is in the archive now.
bool RecordFatto(const dbe::Database& db, const RecordRegistro& r)
{
    const std::optional<dbe::StoredRow> ora = dbe::ReadStoredRow(db, r.tabella, r.riga);
    if (r.prima && !r.dopo)  // deleted: not done while the same record is still there
        return !(ora && HaCampi(*ora, *r.prima));
    if (!r.prima && r.dopo)  // inserted
        return ora && HaCampi(*ora, *r.dopo);
    if (r.prima && r.dopo)  // rewritten: not done while the fields still hold their old values
        return !(ora && HaCampi(*ora, ValoriPrima(*r.prima, *r.dopo)) && !HaCampi(*ora, *r.dopo));
    return true;
}

// The records left alone that the entry's message names one by one.
constexpr int kLasciatiNominati = 50;

}  // namespace

QString MessaggioLasciati(qint64 n)
{
    return QStringLiteral("Record non corretti: %1 (%2).").arg(n).arg(kMotivoLasciato);
}

ModificaRegistrata::ModificaRegistrata(const Sessione& s, const QString& tipo, const QString& tabella,
                                       const QString& chiave, const QString& descrizione, qint64 annulla)
{
    reg_ = RegistroSessione(s);
    if (!reg_ || s.DbArchivi.isNull() || !s.DbArchivi.IsOpen())
        return;
    db_ = s.DbArchivi;
    VoceRegistro v;
    v.tipo = tipo;
    v.tabella = tabella;
    v.chiave = chiave;
    v.descrizione = descrizione;
    v.copia = CopiaSessione(s);
    v.annulla = annulla;
    id_ = reg_->Inizia(v);
    if (!id_)
        return;
    try {
        modifiche0_ = dbe::TotalChanges(db_);
    } catch (const dbe::DbError&) {
        // Swallowed: the starting count then stays at zero, and the end either finds the count
        // exact or looks at each record; both are safe.
    }
    std::weak_ptr<Registro> r = reg_;
    scrittura_ = std::make_unique<ScritturaConsentita>(s, [r] {
        auto reg = r.lock();
        return !reg || reg->Scrivi();
    });
}

ModificaRegistrata::~ModificaRegistrata()
{
    try {
        if (!concluso_)
            Fine();
    } catch (...) {
        // Swallowed, whatever it is: a destructor must not throw, and an entry left in progress is
        // reconciled the next time the journal is opened.
    }
}

void ModificaRegistrata::Record(const dbe::Recordset& rs, const std::optional<dbe::StoredRow>& dopo)
{
    if (!id_)
        return;
    if (const auto ref = dbe::CurrentRow(rs))
        Record(ref->table, ref->rowid, dopo);
}

void ModificaRegistrata::Record(const QString& tabella, qint64 riga, const std::optional<dbe::StoredRow>& dopo)
{
    if (!id_)
        return;
    RecordRegistro r;
    r.tabella = tabella;
    r.riga = riga;
    r.prima = dbe::ReadStoredRow(db_, tabella, riga);
    if (!r.prima)
        return;
    r.dopo = dopo;
    Record(r);
}

void ModificaRegistrata::Record(const RecordRegistro& r)
{
    if (!id_)
        return;
    RecordRegistro c = r;
    c.n = ++n_;
    // A record that cannot be journaled must not be changed: the error stops the change.
    if (!reg_->AggiungiRecord(id_, c)) {
        if (reg_->Pieno())
            throw dbe::DbError::make(dbe::err::DiskFull);
        throw dbe::DbError(dbe::err::ReservedError,
                           QStringLiteral("Impossibile scrivere il registro delle modifiche: ") + reg_->Errore());
    }
}

void ModificaRegistrata::Lasciato(const QString& descrizione)
{
    ++lasciati_;
    if (nomiLasciati_.size() < kLasciatiNominati)
        nomiLasciati_ << descrizione;
}

bool ModificaRegistrata::Scrivi() { return !id_ || reg_->Scrivi(); }

void ModificaRegistrata::Fine(const QString& esito, const QString& messaggio)
{
    if (concluso_ || !id_) {
        concluso_ = true;
        return;
    }
    auto aggiungi = [](QString& a, const QString& b, QLatin1String separa) { a = a.isEmpty() ? b : a + separa + b; };
    QString e = esito;
    QString m = messaggio;
    if (!fermata_.isEmpty())
        aggiungi(m, fermata_, QLatin1String("\n"));
    if (lasciati_ > 0) {
        // The records left alone, with their reason, in the entry's outcome and message.
        QString testo = MessaggioLasciati(lasciati_) + QLatin1Char('\n') + nomiLasciati_.join(QLatin1Char('\n'));
        if (lasciati_ > nomiLasciati_.size())
            testo += QStringLiteral("\n...");
        aggiungi(e, QStringLiteral("%1 record lasciati").arg(lasciati_), QLatin1String(", "));
        aggiungi(m, testo, QLatin1String("\n"));
        if (n_ == 0) {
            Fallita(e, m);
            return;
        }
    }
    qint64 nonFatti = 0;
    if (!fermata_.isEmpty()) {
        // Stopped part-way: what reached the archive is known only record by record.
        nonFatti = RiconciliaVoce(db_, *reg_, id_);
        concludi(nonFatti == n_ ? stato_modifica::NonRiuscita : stato_modifica::Interrotta, e, m);
        return;
    }
    try {
        reg_->Scrivi();
        // Each journaled record is one change of the connection when all went through.
        if (dbe::TotalChanges(db_) - modifiche0_ != n_)
            nonFatti = RiconciliaVoce(db_, *reg_, id_);
    } catch (const dbe::DbError&) {
        // Every engine error: the count cannot be trusted, so each record is looked at instead.
        nonFatti = RiconciliaVoce(db_, *reg_, id_);
    }
    concludi(nonFatti > 0 ? stato_modifica::Interrotta : stato_modifica::Fatta, e, m);
}

void ModificaRegistrata::Fallita(const QString& esito, const QString& messaggio)
{
    if (concluso_ || !id_) {
        concluso_ = true;
        return;
    }
    if (n_ > 0)
        RiconciliaVoce(db_, *reg_, id_);
    concludi(stato_modifica::NonRiuscita, esito, messaggio);
}

void ModificaRegistrata::concludi(const QString& stato, const QString& esito, const QString& messaggio)
{
    concluso_ = true;
    scrittura_.reset();
    reg_->Concludi(id_, stato, esito, messaggio);
}

qint64 RiconciliaVoce(const dbe::Database& db, Registro& reg, qint64 id)
{
    reg.Scrivi();
    auto segna = [&] {
        qint64 nonFatti = 0;
        for (const RecordRegistro& r : reg.Record(id)) {
            bool fatto = r.fatto;
            try {
                fatto = RecordFatto(db, r);
            } catch (const dbe::DbError&) {
                // Swallowed: a record that cannot be read keeps the state the journal gave it.
            }
            if (!fatto)
                ++nonFatti;
            if (fatto != r.fatto)
                reg.SegnaRecord(id, r.n, fatto);
        }
        return nonFatti;
    };
    qint64 nonFatti = segna();
    // On a full disk the marks are made again once the journal has made room in itself.
    if (!reg.Scrivi() && reg.Pieno()) {
        reg.FaiSpazio();
        nonFatti = segna();
        reg.Scrivi();
    }
    return nonFatti;
}

void RiconciliaInCorso(const dbe::Database& db, Registro& reg)
{
    for (qint64 id : reg.InCorso()) {
        RiconciliaVoce(db, reg, id);
        const auto v = reg.Voce(id);
        reg.Concludi(id, stato_modifica::Interrotta,
                     v && v->tipo == tipo_modifica::Struttura ? QStringLiteral("esito sconosciuto")
                     : v                                      ? v->esito
                                                              : QString(),
                     QStringLiteral("La sessione si è interrotta prima della fine della modifica."));
    }
}

}  // namespace corvale
