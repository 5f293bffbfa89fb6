#include "annulla.h"

#include "archivio_diretto.h"
#include "copia_sicurezza.h"
#include "modifica_registrata.h"
#include "riga_testo.h"
#include "sessione_sicurezza.h"

#include "dbengine/file_copy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <sys/resource.h>
#include <sys/stat.h>

namespace corvale {

namespace {

QString Chiavi(const QStringList& chiavi) { return chiavi.join(QStringLiteral("; ")); }

// The record's key fields as the operator knows them: the taken key, else the first field.
QString Descrivi(const RecordRegistro& r, const dbe::StoredRow& riga)
{
    QString chi;
    if (!riga.columns.isEmpty())
        chi = riga.columns.first() + QStringLiteral(" = ") + ValoreLeggibile(riga.values.first());
    return QStringLiteral("Record %1 di %2 (%3)").arg(r.n).arg(r.tabella, chi);
}

// A rowid for a record put back: its own when free, else a free one further on.
qint64 RigaLibera(const dbe::Database& db, const QString& tabella, qint64 riga)
{
    qint64 prova = riga;
    for (qint64 passo = 1; dbe::ReadStoredRow(db, tabella, prova); passo *= 2)
        prova = riga + passo;
    return prova;
}

const QString kPrefissoRipristino = QStringLiteral("Ripristino della copia ");

QString Assoluto(const QString& file) { return QFileInfo(QDir::fromNativeSeparators(file)).absoluteFilePath(); }

// The last entry of the journal made before the safety copy `copia` was written: the copy holds
// every change up to it and none after. A copy is written before the first change that names it as
// its session's copy; a copy no change names was followed by the first change naming a later copy.
// nullopt for a file the journal does not list as a copy.
std::optional<qint64> PuntoDellaCopia(Registro& reg, const QVector<VoceRegistro>& voci, const QString& copia)
{
    const QStringList copie = reg.Copie();
    qsizetype dove = -1;
    for (qsizetype i = 0; i < copie.size(); ++i)
        if (Assoluto(copie.at(i)) == copia)
            dove = i;
    if (dove < 0)
        return std::nullopt;
    QSet<QString> daQui;
    for (qsizetype i = dove; i < copie.size(); ++i)
        daQui.insert(Assoluto(copie.at(i)));
    qint64 primo = 0;
    for (const VoceRegistro& v : voci)  // newest first
        if (!v.copia.isEmpty() && daQui.contains(Assoluto(v.copia)))
            primo = v.id;
    if (primo == 0)
        return voci.isEmpty() ? 0 : voci.first().id;
    return primo - 1;
}

// The restore that already took change `v` back: the newest restore done after it, when the copy
// it put back was written before the change. A later restore of a copy written after the change
// brought the change back, and then it is undone as usual.
std::optional<VoceRegistro> RipristinoCheLaRiprese(Registro& reg, const VoceRegistro& v)
{
    const QVector<VoceRegistro> voci = reg.Elenco();
    for (const VoceRegistro& r : voci) {
        if (r.id <= v.id)
            break;
        if (r.tipo != tipo_modifica::Ripristino || r.stato != stato_modifica::Fatta
            || !r.descrizione.startsWith(kPrefissoRipristino))
            continue;
        const auto punto = PuntoDellaCopia(reg, voci, Assoluto(r.descrizione.mid(kPrefissoRipristino.size())));
        if (punto && *punto < v.id)
            return r;
        return std::nullopt;
    }
    return std::nullopt;
}

QString Mega(qint64 byte) { return QString::number(double(byte) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB"); }

qint64 Dimensione(const QString& file)
{
    struct stat st {};
    return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? qint64(st.st_size) : 0;
}

// The page size of the archive, asked of SQLite (which shares its descriptors and locks among the
// connections of this process). When SQLite cannot open it (no room for its shared index), no
// connection of this process has it open either, and its header is read directly.
qint64 Pagina(const QString& archivio)
{
    ArchivioDiretto a(archivio, false);
    if (const auto v = a.ok() ? a.valore(QStringLiteral("PRAGMA page_size")) : std::nullopt;
        v && v->toLongLong() >= 512)
        return v->toLongLong();
    QFile f(archivio);
    const QByteArray h = f.open(QIODevice::ReadOnly) ? f.read(100) : QByteArray();
    if (h.size() < 100)
        return 65536;  // unknown: the largest page SQLite writes
    const qint64 p = (quint8(h.at(16)) << 8) | quint8(h.at(17));
    return p == 1 ? 65536 : p >= 512 ? p : 65536;
}

// The room a file may take in a folder: the disk's free room, no more than the largest file this
// process may write (-1 when unknown).
qint64 Spazio(const Sessione& s, const QString& cartella)
{
    qint64 libero = SpazioLibero(s, cartella);
    rlimit r{};
    if (getrlimit(RLIMIT_FSIZE, &r) == 0 && r.rlim_cur != RLIM_INFINITY)
        libero = libero < 0 ? qint64(r.rlim_cur) : std::min(libero, qint64(r.rlim_cur));
    return libero;
}

dev_t Disco(const QString& cartella)
{
    struct stat st {};
    return ::stat(QFile::encodeName(cartella).constData(), &st) == 0 ? st.st_dev : dev_t(-1);
}

}  // namespace

QString SpazioMancantePerAnnullare(const Sessione& s, Registro& reg, qint64 id, const QString& archivio, bool conCopia)
{
    // Each frame of a log holds one page and a 24-byte header; the log itself a 32-byte header.
    // A record put back or taken away touches its table's page and one page of each index, and a
    // split may touch their parents: eight pages a record at most on the archives this program
    // knows, and never more pages than the archive holds.
    constexpr qint64 kIndice = 32768;
    constexpr qint64 kPagineRecord = 8;
    const qint64 pagina = Pagina(archivio);
    qint64 record = 0, testo = 0;
    for (const RecordRegistro& r : reg.Record(id)) {
        if (!r.fatto)
            continue;
        ++record;
        testo += (r.prima ? TestoDaRiga(*r.prima).size() : 0) + (r.dopo ? TestoDaRiga(*r.dopo).size() : 0);
    }
    const qint64 pagineArchivio = std::max<qint64>(1, Dimensione(archivio) / pagina);
    qint64 serve = 32 + (std::min(record * kPagineRecord, pagineArchivio) + 2) * (pagina + 24);
    if (Dimensione(archivio + QStringLiteral("-shm")) < kIndice)
        serve += kIndice;
    const qint64 paginaRegistro = reg.Pagina();
    serve += 32 + (2 * testo / paginaRegistro + 4) * (paginaRegistro + 24);

    const QString cartella = QFileInfo(archivio).absolutePath();
    const QString rifiuto = QStringLiteral("Spazio insufficiente: servono %1 in %2.\rNessuna modifica è stata fatta.");
    // The gate's copy, with the margin it asks for; on the archive's disk it adds to the undo's room.
    qint64 copia = 0;
    QString copie = cartella;
    if (conCopia && reg.CopiaConImpronta(ImprontaContenuto(archivio)).isEmpty()) {
        const qint64 byte = Dimensione(archivio) + Dimensione(archivio + QStringLiteral("-wal"));
        copia = byte + byte / 20 + 1024 * 1024;
        if (QFileInfo::exists(CartellaCopie(archivio)))
            copie = CartellaCopie(archivio);
        if (Disco(copie) == Disco(cartella)) {
            serve += copia;
            copia = 0;
        }
    }
    if (const qint64 qui = Spazio(s, cartella); qui >= 0 && qui < serve)
        return rifiuto.arg(Mega(serve), QDir::toNativeSeparators(cartella));
    if (const qint64 la = Spazio(s, copie); copia > 0 && la >= 0 && la < copia)
        return rifiuto.arg(Mega(copia), QDir::toNativeSeparators(copie));
    return QString();
}

QString PerchéNonAnnullabile(Registro& reg, qint64 id)
{
    const std::optional<VoceRegistro> v = reg.Voce(id);
    if (!v)
        return QStringLiteral("Il registro non contiene la modifica %1.").arg(id);
    if (v->annullataDa)
        return QStringLiteral("La modifica %1 è già stata annullata (modifica %2).").arg(id).arg(v->annullataDa);
    if (v->tipo == tipo_modifica::Verifica)
        return QStringLiteral("La voce %1 (%2) non è una modifica: nulla da annullare.").arg(id).arg(v->tipo);
    if (v->tipo == tipo_modifica::Struttura || v->tipo == tipo_modifica::Riparazione
        || v->tipo == tipo_modifica::Ripristino)
        return QStringLiteral("La modifica %1 (%2) non si annulla record per record: per tornare indietro "
                              "ripristinare la copia di sicurezza %3.")
            .arg(id)
            .arg(v->tipo, v->copia.isEmpty() ? QStringLiteral("precedente") : QDir::toNativeSeparators(v->copia));
    if (v->recordFatti == 0)
        return QStringLiteral("La modifica %1 non ha cambiato alcun record: nulla da annullare.").arg(id);
    return QString();
}

namespace {

// A record the change deleted: inserted again with its old values, unless its key is now taken.
bool RimettiEliminato(const dbe::Database& DbArchivi, ModificaRegistrata& m, const RecordRegistro& r,
                      QStringList& rifiutati)
{
    const QStringList prese = dbe::TakenKeys(DbArchivi, r.tabella, *r.prima);
    if (!prese.isEmpty()) {
        rifiutati << QStringLiteral("%1: non rimesso, la chiave %2 appartiene ora a un altro record.")
                         .arg(Descrivi(r, *r.prima), Chiavi(prese));
        return false;
    }
    RecordRegistro n;
    n.tabella = r.tabella;
    n.riga = RigaLibera(DbArchivi, r.tabella, r.riga);
    n.dopo = r.prima;
    m.Record(n);
    dbe::InsertStoredRow(DbArchivi, r.tabella, *r.prima, n.riga);
    return true;
}

// A record the change added: removed, only while it still holds what the change put there.
bool TogliAggiunto(const dbe::Database& DbArchivi, ModificaRegistrata& m, const RecordRegistro& r,
                   const std::optional<dbe::StoredRow>& ora, QStringList& rifiutati)
{
    if (!ora || !HaCampi(*ora, *r.dopo) || ora->columns.size() != r.dopo->columns.size()) {
        rifiutati << QStringLiteral("%1: non tolto, è stato modificato o eliminato dopo.").arg(Descrivi(r, *r.dopo));
        return false;
    }
    m.Record(r.tabella, r.riga, std::nullopt);
    // Removed only while it holds what the undo put back (the delete checks).
    if (!dbe::DeleteStoredRow(DbArchivi, r.tabella, r.riga, &*ora)) {
        rifiutati << QStringLiteral("%1: non tolto, è stato modificato o eliminato dopo.").arg(Descrivi(r, *r.dopo));
        return false;
    }
    return true;
}

// A record the change rewrote: its old values written back, only while it is still as the change
// left it and its old key is free.
bool RiscriviModificato(const dbe::Database& DbArchivi, ModificaRegistrata& m, const RecordRegistro& r,
                        const std::optional<dbe::StoredRow>& ora, QStringList& rifiutati)
{
    // Rewritten: the record must still be as the change left it.
    dbe::StoredRow altri = *r.prima;
    for (const QString& c : r.dopo->columns) {
        const int at = altri.indexOf(c);
        if (at >= 0) {
            altri.columns.removeAt(at);
            altri.values.removeAt(at);
        }
    }
    if (!ora || !HaCampi(*ora, *r.dopo) || !HaCampi(*ora, altri)) {
        rifiutati << QStringLiteral("%1: non rimesso, è stato modificato o eliminato dopo la correzione.")
                         .arg(Descrivi(r, *r.prima));
        return false;
    }
    const dbe::StoredRow vecchi = ValoriPrima(*r.prima, *r.dopo);
    const QStringList prese = dbe::TakenKeys(DbArchivi, r.tabella, *r.prima, r.riga);
    if (!prese.isEmpty()) {
        rifiutati << QStringLiteral("%1: non rimesso, la chiave %2 appartiene ora a un altro record.")
                         .arg(Descrivi(r, *r.prima), Chiavi(prese));
        return false;
    }
    m.Record(r.tabella, r.riga, vecchi);
    // Rewritten only while it holds what was read above (the write checks).
    if (!dbe::UpdateStoredRow(DbArchivi, r.tabella, r.riga, vecchi, &*ora)) {
        rifiutati << QStringLiteral("%1: non rimesso, è stato modificato o eliminato dopo la correzione.")
                         .arg(Descrivi(r, *r.prima));
        return false;
    }
    return true;
}

// One record of the change put back as it was before it; false (and the reason in rifiutati) when
// it is left as it is.
bool RimettiRecord(const dbe::Database& DbArchivi, ModificaRegistrata& m, const RecordRegistro& r,
                   QStringList& rifiutati)
{
    if (r.prima && !r.dopo)
        return RimettiEliminato(DbArchivi, m, r, rifiutati);
    const std::optional<dbe::StoredRow> ora = dbe::ReadStoredRow(DbArchivi, r.tabella, r.riga);
    if (!r.prima && r.dopo)
        return TogliAggiunto(DbArchivi, m, r, ora, rifiutati);
    if (!r.prima || !r.dopo)
        return false;
    return RiscriviModificato(DbArchivi, m, r, ora, rifiutati);
}

}  // namespace

EsitoAnnulla AnnullaModifica(const Sessione& s, qint64 id)
{
    const dbe::Database& DbArchivi = s.DbArchivi;
    EsitoAnnulla e;
    const std::shared_ptr<Registro> reg = RegistroSessione(s);
    if (!reg) {
        e.errore = QStringLiteral("Registro delle modifiche non disponibile: nessuna modifica è stata fatta.");
        return e;
    }
    e.errore = PerchéNonAnnullabile(*reg, id);
    if (e.errore.isEmpty())
        e.errore = SpazioMancantePerAnnullare(s, *reg, id, DbArchivi.Name(), false);
    if (!e.errore.isEmpty())
        return e;
    const std::optional<VoceRegistro> v = reg->Voce(id);
    QVector<RecordRegistro> record = reg->Record(id);
    record.erase(std::remove_if(record.begin(), record.end(), [](const RecordRegistro& r) { return !r.fatto; }),
                 record.end());

    ModificaRegistrata m(s, tipo_modifica::Annulla, v->tabella, v->chiave,
                         QStringLiteral("Annullamento della modifica %1: %2").arg(id).arg(v->descrizione), id);
    // A restore of a copy written before the change put every one of its records back as it was:
    // undoing it now would put back a record that is already there, or take back what the restore
    // brought back. Each record is refused with that reason.
    if (const auto r = RipristinoCheLaRiprese(*reg, *v)) {
        const QString copia = r->descrizione.mid(kPrefissoRipristino.size());
        for (const RecordRegistro& x : record)
            e.rifiutati << QStringLiteral("%1: lasciato com'è, il ripristino della copia %2 (modifica %3) lo ha già "
                                          "riportato a prima della modifica %4.")
                               .arg(Descrivi(x, x.prima  ? *x.prima
                                                : x.dopo ? *x.dopo
                                                         : dbe::StoredRow{}),
                                    copia)
                               .arg(r->id)
                               .arg(id);
        m.Fallita(QStringLiteral("0 record rimessi, %1 rifiutati").arg(e.rifiutati.size()),
                  e.rifiutati.join(QLatin1Char('\n')));
        e.voce = m.Id();
        e.eseguito = true;
        return e;
    }
    dbe::Workspace& ws = dbe::Workspace::Default();
    ws.BeginTrans();
    try {
        // Last change first, so that a record changed twice gets its oldest values back.
        for (auto it = record.crbegin(); it != record.crend(); ++it) {
            if (RimettiRecord(DbArchivi, m, *it, e.rifiutati))
                ++e.rimessi;
        }
        ws.CommitTrans();
    } catch (const dbe::DbError& err) {
        // Every engine error: the undo is all or nothing, so it is rolled back whole, journaled as
        // failed and reported with the engine's own description.
        try {
            ws.Rollback();
        } catch (const dbe::DbError&) {
            // Swallowed: a rollback that fails leaves nothing committed; err is what is reported.
        }
        m.Fallita(QStringLiteral("non riuscito"), err.description());
        e.errore = QStringLiteral("Annullamento della modifica %1 non riuscito: nessun record è stato rimesso.\r%2")
                       .arg(id)
                       .arg(err.description());
        e.rimessi = 0;
        return e;
    }
    const QString esito = QStringLiteral("%1 record rimessi, %2 rifiutati").arg(e.rimessi).arg(e.rifiutati.size());
    // An undo that put nothing back is journaled as refused.
    if (e.rimessi == 0)
        m.Fallita(esito, e.rifiutati.join(QLatin1Char('\n')));
    else
        m.Fine(esito, e.rifiutati.join(QLatin1Char('\n')));
    e.voce = m.Id();
    if (e.rimessi > 0)
        reg->SegnaAnnullata(id, e.voce);
    e.eseguito = true;
    return e;
}

bool RipristinaCopia(const Sessione& s, const QString& copia, QString& testo)
{
    const dbe::Database& DbArchivi = s.DbArchivi;
    const QFileInfo fi(copia);
    const QString nessuna = QStringLiteral("\rCopia non ripristinata: nessuna modifica è stata fatta.");
    if (!fi.isFile()) {
        testo = QStringLiteral("Copia di sicurezza non trovata: %1").arg(QDir::toNativeSeparators(copia));
        return false;
    }
    if (DbArchivi.isNull() || !DbArchivi.IsOpen()) {
        testo = QStringLiteral("Nessun archivio aperto.");
        return false;
    }
    QString errore;
    const std::shared_ptr<Registro> reg = RegistroPer(s, &errore);
    if (!reg) {
        testo = QStringLiteral("Impossibile scrivere il registro delle modifiche.\r%1").arg(errore);
        return false;
    }
    // Only a copy of this archive replaces it.
    const QString no = PerchéNonCopia(DbArchivi, *reg, fi.absoluteFilePath());
    if (!no.isEmpty()) {
        testo = no + nessuna;
        return false;
    }
    RiconciliaInCorso(DbArchivi, *reg);
    try {
        dbe::WaitWritable(DbArchivi);
    } catch (const dbe::DbError& e) {
        // Every engine error (3218 busy, 3045 file replaced, ...): nothing is restored and the
        // operator reads why.
        testo = QStringLiteral("L'archivio è in uso da un altro programma: copia non ripristinata.\r%1")
                    .arg(e.description());
        return false;
    }
    QString attuale;
    if (!Sicurezza(s).senzaCopia) {
        // The copy chosen is the one copy the retention must not take away now.
        attuale = ScriviCopiaSicurezza(s, *reg, CopieDaConservare(s), errore, {}, fi.absoluteFilePath());
        if (attuale.isEmpty()) {
            testo = errore + nessuna;
            return false;
        }
    }
    VoceRegistro v;
    v.tipo = tipo_modifica::Ripristino;
    v.descrizione = kPrefissoRipristino + QDir::toNativeSeparators(fi.absoluteFilePath());
    v.copia = attuale;
    const qint64 id = reg->Inizia(v);
    try {
        const ScritturaConsentita scrittura(s);
        dbe::RestoreFrom(DbArchivi, fi.absoluteFilePath());
    } catch (const dbe::DbError& e) {
        // Every engine error: the restore is one transaction, so the archive is as it was; 3218
        // (another program writing) gets its own first line, any other its description.
        reg->Concludi(id, stato_modifica::NonRiuscita, QStringLiteral("non ripristinata"), e.description());
        testo = (e.number() == dbe::err::CouldNotUpdateLocked
                     ? QStringLiteral("L'archivio è in uso da un altro programma: copia non ripristinata.\r")
                     : QStringLiteral("Copia non ripristinata.\r"))
                + e.description();
        return false;
    }
    reg->Concludi(id, stato_modifica::Fatta, QStringLiteral("ripristinata"));
    testo = QStringLiteral("Copia %1 ripristinata.").arg(QDir::toNativeSeparators(fi.absoluteFilePath()));
    if (!attuale.isEmpty())
        testo += QStringLiteral("\rLo stato precedente dell'archivio è nella copia %1.")
                     .arg(QDir::toNativeSeparators(attuale));
    return true;
}

}  // namespace corvale
