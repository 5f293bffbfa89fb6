#include "registro.h"

#include <cerrno>

#include <QJsonArray>
#include <QJsonDocument>

#include "riga_testo.h"

#include <QDateTime>
#include <QHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace corvale {

namespace {

const char* kSchema =
    "CREATE TABLE IF NOT EXISTS modifiche ("
    " id INTEGER PRIMARY KEY, ora TEXT NOT NULL, utente TEXT NOT NULL, archivio TEXT NOT NULL,"
    " chiave TEXT NOT NULL DEFAULT '', descrizione TEXT NOT NULL DEFAULT '', tipo TEXT NOT NULL,"
    " tabella TEXT NOT NULL DEFAULT '', stato TEXT NOT NULL, esito TEXT NOT NULL DEFAULT '',"
    " messaggio TEXT NOT NULL DEFAULT '', copia TEXT NOT NULL DEFAULT '',"
    " annulla INTEGER NOT NULL DEFAULT 0, annullata_da INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE IF NOT EXISTS record ("
    " modifica INTEGER NOT NULL, n INTEGER NOT NULL, tabella TEXT NOT NULL, riga INTEGER NOT NULL,"
    " prima TEXT, dopo TEXT, fatto INTEGER NOT NULL DEFAULT 1, PRIMARY KEY (modifica, n)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS copie (file TEXT PRIMARY KEY, ora TEXT NOT NULL, byte INTEGER NOT NULL);";
// Made with the first stamp of a copy, so that opening a journal written before it writes nothing.
const char* kImpronte = "CREATE TABLE IF NOT EXISTS impronte (file TEXT PRIMARY KEY, impronta TEXT NOT NULL)";
// The lists of field names the records' compact form refers to, each kept once; made with the first
// record written in that form.
const char* kCampi = "CREATE TABLE IF NOT EXISTS campi (id INTEGER PRIMARY KEY, nomi TEXT NOT NULL UNIQUE)";

QString UtenteSistema()
{
    QString u = qEnvironmentVariable("USER");
    if (u.isEmpty())
        u = qEnvironmentVariable("USERNAME");
#ifdef Q_OS_UNIX
    if (u.isEmpty()) {
        if (const passwd* p = getpwuid(geteuid()))
            u = QString::fromLocal8Bit(p->pw_name);
    }
#endif
    return u;
}

// A prepared statement finalized on scope exit.
class Q {
public:
    Q(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &s_, nullptr); }
    Q(const Q&) = delete;  // one owner finalizes the statement
    Q& operator=(const Q&) = delete;
    ~Q() { sqlite3_finalize(s_); }
    operator sqlite3_stmt*() const { return s_; }
    bool ok() const { return s_ != nullptr; }
    void testo(int i, const QString& t)
    {
        const QByteArray b = t.toUtf8();
        sqlite3_bind_text(s_, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    }
    void intero(int i, qint64 v) { sqlite3_bind_int64(s_, i, v); }
    bool riga() { return s_ && sqlite3_step(s_) == SQLITE_ROW; }
    bool fatto() { return s_ && sqlite3_step(s_) == SQLITE_DONE; }
    QString t(int i) const
    {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s_, i)),
                                 sqlite3_column_bytes(s_, i));
    }
    qint64 n(int i) const { return sqlite3_column_int64(s_, i); }
    bool nullo(int i) const { return sqlite3_column_type(s_, i) == SQLITE_NULL; }

private:
    sqlite3_stmt* s_ = nullptr;
};

const char* kColonneVoce =
    "SELECT id, ora, utente, chiave, descrizione, tipo, tabella, stato, esito, messaggio, copia, annulla,"
    " annullata_da, (SELECT count(*) FROM record r WHERE r.modifica = m.id),"
    " (SELECT count(*) FROM record r WHERE r.modifica = m.id AND r.fatto) FROM modifiche m ";

VoceRegistro LeggiVoce(const Q& q)
{
    VoceRegistro v;
    v.id = q.n(0);
    v.ora = q.t(1);
    v.utente = q.t(2);
    v.chiave = q.t(3);
    v.descrizione = q.t(4);
    v.tipo = q.t(5);
    v.tabella = q.t(6);
    v.stato = q.t(7);
    v.esito = q.t(8);
    v.messaggio = q.t(9);
    v.copia = q.t(10);
    v.annulla = q.n(11);
    v.annullataDa = q.n(12);
    v.record = q.n(13);
    v.recordFatti = q.n(14);
    return v;
}

}  // namespace

QString Registro::FilePer(const QString& archivio)
{
    const QFileInfo fi(archivio);
    return fi.absoluteDir().filePath(fi.completeBaseName() + QStringLiteral("-registro.db"));
}

Registro::Registro(const QString& archivio)
    : archivio_(QFileInfo(archivio).absoluteFilePath()), file_(FilePer(archivio))
{
    if (apri(false))
        return;
    // A journal in log mode is read through an index shared by the programs that have it open
    // (the "-shm" file, 32 KB). With no room for that file (a full disk) the journal could not even
    // be read. It is then opened with the exclusive lock, which keeps that index in this process's
    // memory and needs no room to read. Of the ways to read without room this one is safe while
    // another Corvale writes the journal: the exclusive lock is refused while another program has
    // the journal open (and that program's shared index is then there, so the ordinary opening is
    // tried once more and needs no room either), and while it is held no other program can write
    // behind this one's back. It reads the log too, so nothing committed is missed. (Reading the
    // file as immutable would need no lock but would miss the changes still in the log, and could
    // read pages another program's checkpoint is rewriting.)
    const QString primo = errore_;
    if (apri(true)) {
        privato_ = true;
        // The shared index the failed opening began is no one's: while the exclusive lock is held no
        // other program has the journal open.
        QFile::remove(file_ + QStringLiteral("-shm"));
        return;
    }
    if (apri(false))
        return;
    errore_ = primo;
}

bool Registro::apri(bool esclusivo)
{
    sqlite3* h = nullptr;
    errno = 0;
    if (sqlite3_open_v2(file_.toUtf8().constData(), &h, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
        != SQLITE_OK) {
        errore_ = h ? QString::fromUtf8(sqlite3_errmsg(h)) : QStringLiteral("memoria esaurita");
        sqlite3_close_v2(h);
        return false;
    }
    sqlite3_busy_timeout(h, 3000);
    db_ = h;
    // Log mode with a sync at every commit: an entry committed here is on disk before the archive
    // change it describes is committed.
    if ((esclusivo && !esegui("PRAGMA locking_mode=EXCLUSIVE"))
        || !esegui("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL") || !esegui(kSchema)) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
        return false;
    }
    return true;
}

Registro::~Registro()
{
    if (db_) {
        Scrivi();
        sqlite3_finalize(insRecord_);
        sqlite3_close_v2(db_);
    }
}

bool Registro::esegui(const char* sql)
{
    char* msg = nullptr;
    errno = 0;
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &msg);
    if (rc != SQLITE_OK) {
        fallito(rc);
        errore_ = msg ? QString::fromUtf8(msg) : QString::fromUtf8(sqlite3_errstr(rc));
    }
    sqlite3_free(msg);
    return rc == SQLITE_OK;
}

void Registro::fallito(int rc)
{
    errore_ = QString::fromUtf8(sqlite3_errmsg(db_));
    // The system's error of the failed write, read before anything else can change it.
    const int os = sqlite3_system_errno(db_) != 0 ? sqlite3_system_errno(db_) : errno;
    pieno_ =
        (rc & 0xff) == SQLITE_FULL || ((rc & 0xff) == SQLITE_IOERR && (os == ENOSPC || os == EDQUOT || os == EFBIG));
}

bool Registro::apriTransazione()
{
    if (transazione_)
        return true;
    transazione_ = esegui("BEGIN IMMEDIATE");
    ++transazioni_;
    return transazione_;
}

bool Registro::Scrivi()
{
    if (!db_)
        return false;
    if (!transazione_)
        return true;
    transazione_ = false;
    if (esegui("COMMIT"))
        return true;
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);  // the commit's failure is the one to tell
    return false;
}

qint64 Registro::Inizia(VoceRegistro v)
{
    if (!db_ || !Scrivi())
        return 0;
    Q q(db_, "INSERT INTO modifiche (ora, utente, archivio, chiave, descrizione, tipo, tabella, stato,"
             " esito, messaggio, copia, annulla) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)");
    q.testo(1, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    q.testo(2, UtenteSistema());
    q.testo(3, archivio_);
    q.testo(4, v.chiave);
    q.testo(5, v.descrizione);
    q.testo(6, v.tipo);
    q.testo(7, v.tabella);
    q.testo(8, stato_modifica::InCorso);
    q.testo(9, v.esito);
    q.testo(10, v.messaggio);
    q.testo(11, v.copia);
    q.intero(12, v.annulla);
    if (!q.fatto()) {
        fallito(sqlite3_extended_errcode(db_));
        return 0;
    }
    return sqlite3_last_insert_rowid(db_);
}

bool Registro::AggiungiRecord(qint64 voce, const RecordRegistro& r)
{
    if (!db_ || !apriTransazione())
        return false;
    // Prepared once: the record walks add one record per change.
    if (!insRecord_
        && sqlite3_prepare_v3(db_,
                              "INSERT INTO record (modifica, n, tabella, riga, prima, dopo, fatto) "
                              "VALUES (?,?,?,?,?,?,?)",
                              -1, SQLITE_PREPARE_PERSISTENT, &insRecord_, nullptr)
               != SQLITE_OK)
        return false;
    sqlite3_stmt* q = insRecord_;
    const QByteArray tabella = r.tabella.toUtf8();
    QByteArray prima, dopo;
    if ((r.prima && !compatta(*r.prima, prima)) || (r.dopo && !compatta(*r.dopo, dopo)))
        return false;
    sqlite3_bind_int64(q, 1, voce);
    sqlite3_bind_int64(q, 2, r.n);
    sqlite3_bind_text(q, 3, tabella.constData(), int(tabella.size()), SQLITE_STATIC);
    sqlite3_bind_int64(q, 4, r.riga);
    if (r.prima)
        sqlite3_bind_blob(q, 5, prima.constData(), int(prima.size()), SQLITE_STATIC);
    else
        sqlite3_bind_null(q, 5);
    if (r.dopo)
        sqlite3_bind_blob(q, 6, dopo.constData(), int(dopo.size()), SQLITE_STATIC);
    else
        sqlite3_bind_null(q, 6);
    sqlite3_bind_int(q, 7, r.fatto ? 1 : 0);
    errno = 0;
    const int rc = sqlite3_step(q);
    sqlite3_reset(q);
    sqlite3_clear_bindings(q);
    if (rc != SQLITE_DONE) {
        fallito(rc);
        return false;
    }
    return true;
}

bool Registro::compatta(const dbe::StoredRow& riga, QByteArray& dati)
{
    // The names' id is looked up once in each transaction: a list added by a transaction that was
    // then rolled back (or by another program) is never taken on trust from an earlier one.
    if (transazioneNomi_ != transazioni_ || riga.columns != nomi_) {
        const QByteArray testo = QJsonDocument(QJsonArray::fromStringList(riga.columns)).toJson(QJsonDocument::Compact);
        if (!esegui(kCampi))
            return false;
        qint64 id = 0;
        {
            Q cerca(db_, "SELECT id FROM campi WHERE nomi = ?");
            sqlite3_bind_text(cerca, 1, testo.constData(), int(testo.size()), SQLITE_STATIC);
            if (cerca.riga())
                id = cerca.n(0);
        }
        if (!id) {
            Q ins(db_, "INSERT INTO campi (nomi) VALUES (?)");
            sqlite3_bind_text(ins, 1, testo.constData(), int(testo.size()), SQLITE_STATIC);
            errno = 0;
            if (!ins.fatto()) {
                fallito(sqlite3_extended_errcode(db_));
                return false;
            }
            id = sqlite3_last_insert_rowid(db_);
        }
        nomi_ = riga.columns;
        idNomi_ = id;
        transazioneNomi_ = transazioni_;
    }
    DatiDaRiga(idNomi_, riga, dati);
    return true;
}

std::optional<dbe::StoredRow> Registro::leggiRiga(sqlite3_stmt* q, int colonna, QHash<qint64, QStringList>& nomi)
{
    if (sqlite3_column_type(q, colonna) != SQLITE_BLOB)
        return RigaDaTesto(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(q, colonna)),
                                             sqlite3_column_bytes(q, colonna)));
    const QByteArray dati(static_cast<const char*>(sqlite3_column_blob(q, colonna)), sqlite3_column_bytes(q, colonna));
    qsizetype at = 0;
    const std::optional<qint64> id = IdNomiDaDati(dati, &at);
    if (!id)
        return std::nullopt;
    auto it = nomi.find(*id);
    if (it == nomi.end()) {
        Q cerca(db_, "SELECT nomi FROM campi WHERE id = ?");
        cerca.intero(1, *id);
        if (!cerca.riga())
            return std::nullopt;
        QStringList l;
        for (const QJsonValue& n : QJsonDocument::fromJson(cerca.t(0).toUtf8()).array())
            l << n.toString();
        it = nomi.insert(*id, l);
    }
    return RigaDaDati(dati, at, *it);
}

void Registro::FaiSpazio()
{
    // The log's pages go into the journal's own file and the log starts again from its beginning,
    // on room it already holds.
    if (db_ && !transazione_)
        sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_RESTART, nullptr, nullptr);
}

bool Registro::conSpazio(const std::function<bool()>& scrittura)
{
    errno = 0;
    if (scrittura())
        return true;
    fallito(sqlite3_extended_errcode(db_));
    if (!pieno_)
        return false;
    FaiSpazio();
    errno = 0;
    if (scrittura())
        return true;
    fallito(sqlite3_extended_errcode(db_));
    return false;
}

bool Registro::Concludi(qint64 voce, const QString& stato, const QString& esito, const QString& messaggio)
{
    if (!db_)
        return false;
    // Records that could not be committed belong to archive changes that were refused with them:
    // the entry is settled all the same.
    Scrivi();
    return conSpazio([&] {
        Q q(db_, "UPDATE modifiche SET stato = ?, esito = ?, messaggio = ? WHERE id = ?");
        q.testo(1, stato);
        q.testo(2, esito);
        q.testo(3, messaggio);
        q.intero(4, voce);
        return q.fatto();
    });
}

bool Registro::SegnaRecord(qint64 voce, qint64 n, bool fatto)
{
    if (!db_ || !apriTransazione())
        return false;
    Q q(db_, "UPDATE record SET fatto = ? WHERE modifica = ? AND n = ?");
    q.intero(1, fatto ? 1 : 0);
    q.intero(2, voce);
    q.intero(3, n);
    return q.fatto();
}

bool Registro::SegnaAnnullata(qint64 voce, qint64 da)
{
    if (!db_ || !Scrivi())
        return false;
    Q q(db_, "UPDATE modifiche SET annullata_da = ? WHERE id = ?");
    q.intero(1, da);
    q.intero(2, voce);
    return q.fatto();
}

qint64 Registro::Pagina()
{
    if (!db_)
        return 4096;
    Q q(db_, "PRAGMA page_size");
    return q.riga() && q.n(0) >= 512 ? q.n(0) : 4096;
}

QVector<VoceRegistro> Registro::Elenco()
{
    QVector<VoceRegistro> l;
    if (!db_)
        return l;
    Q q(db_, (QByteArray(kColonneVoce) + "ORDER BY id DESC").constData());
    while (q.riga())
        l << LeggiVoce(q);
    return l;
}

std::optional<VoceRegistro> Registro::Voce(qint64 id)
{
    if (!db_)
        return std::nullopt;
    Q q(db_, (QByteArray(kColonneVoce) + "WHERE id = ?").constData());
    q.intero(1, id);
    if (!q.riga())
        return std::nullopt;
    return LeggiVoce(q);
}

std::optional<VoceRegistro> Registro::Ultima(const QStringList& tipi)
{
    std::optional<VoceRegistro> ultima;
    if (!db_)
        return ultima;
    Q q(db_, (QByteArray(kColonneVoce) + "WHERE tipo IN (SELECT value FROM json_each(?)) ORDER BY id DESC LIMIT 1")
                 .constData());
    q.testo(1, QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(tipi)).toJson(QJsonDocument::Compact)));
    if (q.riga())
        ultima = LeggiVoce(q);
    return ultima;
}

QVector<RecordRegistro> Registro::Record(qint64 voce)
{
    QVector<RecordRegistro> l;
    if (!db_)
        return l;
    Q q(db_, "SELECT n, tabella, riga, prima, dopo, fatto FROM record WHERE modifica = ? ORDER BY n");
    q.intero(1, voce);
    QHash<qint64, QStringList> nomi;
    while (q.riga()) {
        RecordRegistro r;
        r.n = q.n(0);
        r.tabella = q.t(1);
        r.riga = q.n(2);
        if (!q.nullo(3))
            r.prima = leggiRiga(q, 3, nomi);
        if (!q.nullo(4))
            r.dopo = leggiRiga(q, 4, nomi);
        r.fatto = q.n(5) != 0;
        l << r;
    }
    return l;
}

QVector<qint64> Registro::InCorso()
{
    QVector<qint64> l;
    if (!db_)
        return l;
    Q q(db_, "SELECT id FROM modifiche WHERE stato = 'in corso' ORDER BY id");
    while (q.riga())
        l << q.n(0);
    return l;
}

void Registro::AggiungiCopia(const QString& file, qint64 byte)
{
    if (!db_ || !Scrivi())
        return;
    Q q(db_, "INSERT OR REPLACE INTO copie (file, ora, byte) VALUES (?, ?, ?)");
    q.testo(1, QFileInfo(file).absoluteFilePath());
    q.testo(2, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    q.intero(3, byte);
    q.fatto();
}

QStringList Registro::Copie()
{
    QStringList l;
    if (!db_)
        return l;
    Q q(db_, "SELECT file FROM copie ORDER BY ora, rowid");
    while (q.riga())
        l << q.t(0);
    return l;
}

void Registro::SegnaImpronta(const QString& file, const QString& impronta)
{
    if (!db_ || !Scrivi() || !esegui(kImpronte))
        return;
    Q q(db_, "INSERT OR REPLACE INTO impronte (file, impronta) VALUES (?, ?)");
    q.testo(1, QFileInfo(file).absoluteFilePath());
    q.testo(2, impronta);
    q.fatto();
}

QString Registro::CopiaConImpronta(const QString& impronta)
{
    if (!db_ || impronta.isEmpty())
        return QString();
    Q q(db_, "SELECT c.file FROM copie c JOIN impronte i ON i.file = c.file WHERE i.impronta = ? ORDER BY c.ora DESC, "
             "c.rowid DESC");
    q.testo(1, impronta);
    while (q.riga())
        if (QFileInfo(q.t(0)).isFile())
            return q.t(0);
    return QString();
}

void Registro::TogliCopia(const QString& file)
{
    if (!db_ || !Scrivi())
        return;
    {
        Q i(db_, "DELETE FROM impronte WHERE file = ?");
        i.testo(1, file);
        i.fatto();
    }
    Q q(db_, "DELETE FROM copie WHERE file = ?");
    q.testo(1, file);
    q.fatto();
}

}  // namespace corvale
