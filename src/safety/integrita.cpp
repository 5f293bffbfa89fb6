#include "integrita.h"

#include "archivio_diretto.h"
#include "copia_sicurezza.h"
#include "core/guardia_archivio.h"
#include "dbengine/rowid_name.h"
#include "sessione_sicurezza.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QMap>
#include <QRegularExpression>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <signal.h>
#include <sys/stat.h>
#include <sqlite3.h>
#include <memory>
#include <thread>
#include <vector>

namespace corvale {

namespace {

// How long the repair waits for other programs to stop writing before it gives up.
constexpr int kAttesaScrittoriMs = 60000;

// True for bytes that are UTF-8 text (what every text of an archive is; the text a damaged page
// yields is not).
bool Utf8Valido(const unsigned char* p, int n)
{
    int i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        int segue = 0;
        unsigned minimo = 0, cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            segue = 1, minimo = 0x80, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            segue = 2, minimo = 0x800, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            segue = 3, minimo = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        for (int k = 1; k <= segue; ++k) {
            if (i + k >= n || (p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (cp < minimo || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += segue + 1;
    }
    return true;
}

// Two values of SQLite equal in storage class and in every byte.
bool StessoValoreSqlite(sqlite3_stmt* a, int i, sqlite3_stmt* b, int j)
{
    const int t = sqlite3_column_type(a, i);
    if (t != sqlite3_column_type(b, j))
        return false;
    switch (t) {
    case SQLITE_INTEGER: return sqlite3_column_int64(a, i) == sqlite3_column_int64(b, j);
    case SQLITE_FLOAT: {
        const double x = sqlite3_column_double(a, i), y = sqlite3_column_double(b, j);
        return std::memcmp(&x, &y, sizeof x) == 0;
    }
    case SQLITE_NULL: return true;
    default: {
        const void* x =
            t == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(a, i)) : sqlite3_column_blob(a, i);
        const void* y =
            t == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(b, j)) : sqlite3_column_blob(b, j);
        const int n = sqlite3_column_bytes(a, i);
        return n == sqlite3_column_bytes(b, j) && (n == 0 || std::memcmp(x, y, size_t(n)) == 0);
    }
    }
}

struct Stmt {
    sqlite3_stmt* st = nullptr;
    Stmt(sqlite3* db, const QString& sql) { sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr); }
    Stmt(const Stmt&) = delete;  // one owner finalizes the statement
    Stmt& operator=(const Stmt&) = delete;
    ~Stmt() { sqlite3_finalize(st); }
};

// Takes out of the fresh file every record that was not read back whole: one holding a text that
// is not UTF-8, or one that the archive, asked again for that record alone, gives back otherwise
// or not at all (a cell of a damaged page that only a walk of the page took for a record). A
// record whose second reading fails on the damage itself stays. One line per record taken out in
// `scartati`; the tables' records afterwards in `conteggi`. False with the reason on failure.
bool ScartaRecordGuasti(ArchivioDiretto& archivio, ArchivioDiretto& fresco, QStringList& scartati,
                        QMap<QString, qint64>& conteggi, QString& errore)
{
    const std::optional<QStringList> tabelle = fresco.tabelle();
    if (!tabelle) {
        errore = fresco.errore();
        return false;
    }
    QVector<QPair<QString, qint64>> via;
    for (const QString& t : *tabelle) {
        QStringList colonne;
        const auto info = fresco.righe(QStringLiteral("SELECT name FROM pragma_table_info(?1) ORDER BY cid"), {t});
        for (const QVariantList& c : info.value_or(QVector<QVariantList>()))
            colonne << c.value(0).toString();
        QStringList quotate;
        for (const QString& c : colonne)
            quotate << NomeSqlite(c);
        const QString elenco = quotate.join(QLatin1Char(','));
        Stmt tutti(fresco.get(), QStringLiteral("SELECT rowid, %1 FROM %2 ORDER BY rowid").arg(elenco, NomeSqlite(t)));
        Stmt uno(archivio.get(), QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?1").arg(elenco, NomeSqlite(t)));
        if (!tutti.st || !uno.st) {
            errore = QString::fromUtf8(sqlite3_errmsg(tutti.st ? archivio.get() : fresco.get()));
            return false;
        }
        while (sqlite3_step(tutti.st) == SQLITE_ROW) {
            const qint64 riga = sqlite3_column_int64(tutti.st, 0);
            QString perche;
            for (int c = 0; c < colonne.size() && perche.isEmpty(); ++c)
                if (sqlite3_column_type(tutti.st, c + 1) == SQLITE_TEXT
                    && !Utf8Valido(sqlite3_column_text(tutti.st, c + 1), sqlite3_column_bytes(tutti.st, c + 1)))
                    perche = QStringLiteral("testo non valido nel campo %1").arg(colonne[c]);
            if (perche.isEmpty()) {
                sqlite3_reset(uno.st);
                sqlite3_bind_int64(uno.st, 1, riga);
                const int rc = sqlite3_step(uno.st);
                if (rc == SQLITE_DONE) {
                    perche = QStringLiteral("l'archivio non lo ritrova al suo posto");
                } else if (rc == SQLITE_ROW) {
                    for (int c = 0; c < colonne.size() && perche.isEmpty(); ++c)
                        if (!StessoValoreSqlite(tutti.st, c + 1, uno.st, c))
                            perche = QStringLiteral("riletto, il campo %1 è diverso").arg(colonne[c]);
                }
            }
            if (!perche.isEmpty()) {
                scartati << QStringLiteral("%1, record %2: non riletto per intero (%3), non ripreso.")
                                .arg(t)
                                .arg(riga)
                                .arg(perche);
                via.append({t, riga});
            }
        }
    }
    fresco.esegui(QStringLiteral("BEGIN"));
    for (const auto& [t, riga] : via) {
        Stmt del(fresco.get(), QStringLiteral("DELETE FROM %1 WHERE rowid = ?1").arg(NomeSqlite(t)));
        sqlite3_bind_int64(del.st, 1, riga);
        if (!del.st || sqlite3_step(del.st) != SQLITE_DONE) {
            errore = fresco.errore();
            fresco.esegui(QStringLiteral("ROLLBACK"));
            return false;
        }
    }
    if (!fresco.esegui(QStringLiteral("COMMIT"))) {
        errore = fresco.errore();
        return false;
    }
    for (const QString& t : *tabelle)
        conteggi.insert(
            t, fresco.valore(QStringLiteral("SELECT count(*) FROM %1").arg(NomeSqlite(t))).value_or(0).toLongLong());
    return true;
}

// Takes the archive's write lock through `tenuta`, waiting while another program writes (and
// saying so, once).
bool PrendiScrittura(const Sessione& s, ArchivioDiretto& tenuta, QString& errore)
{
    QElapsedTimer orologio;
    orologio.start();
    bool detto = false;
    while (!tenuta.esegui(QStringLiteral("BEGIN IMMEDIATE"))) {
        if (tenuta.codice() != SQLITE_BUSY && tenuta.codice() != SQLITE_LOCKED) {
            errore = tenuta.errore();
            return false;
        }
        if (orologio.elapsed() > kAttesaScrittoriMs) {
            errore = QStringLiteral("un altro programma scrive nell'archivio da oltre %1 secondi; riprovare quando ha "
                                    "finito.")
                         .arg(kAttesaScrittoriMs / 1000);
            return false;
        }
        if (!detto && Sicurezza(s).avviso)
            Sicurezza(s).avviso(QStringLiteral("Un altro programma sta scrivendo nell'archivio: la riparazione attende "
                                               "che finisca, per non perdere le sue modifiche."));
        detto = true;
    }
    return true;
}

enum class Sostituzione { Fatta, Cambiato, NonRiuscita };

// Puts the content of `fonte` in place of the archive's through `tenuta`, provided that no other
// program committed to the archive since `osserva` read `versione` (its data_version): the backup's
// first step copies nothing and takes the archive's write lock, which it keeps to the end, and
// only then is the version read again.
Sostituzione Sostituisci(ArchivioDiretto& tenuta, ArchivioDiretto& osserva, qint64 versione, const QString& fonte,
                         QString& errore)
{
    ArchivioDiretto f(fonte, false);
    if (!f.ok()) {
        errore = f.errore();
        return Sostituzione::NonRiuscita;
    }
    sqlite3_backup* b = sqlite3_backup_init(tenuta.get(), "main", f.get(), "main");
    if (!b) {
        errore = QString::fromUtf8(sqlite3_errmsg(tenuta.get()));
        return Sostituzione::NonRiuscita;
    }
    QElapsedTimer orologio;
    orologio.start();
    int rc;
    while (((rc = sqlite3_backup_step(b, 0)) == SQLITE_BUSY || rc == SQLITE_LOCKED)
           && orologio.elapsed() < kAttesaScrittoriMs)
        sqlite3_sleep(20);
    if (rc != SQLITE_OK) {
        sqlite3_backup_finish(b);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            return Sostituzione::Cambiato;
        errore = QString::fromUtf8(sqlite3_errstr(rc));
        return Sostituzione::NonRiuscita;
    }
    const std::optional<QVariant> ora = osserva.valore(QStringLiteral("PRAGMA data_version"));
    if (!ora || ora->toLongLong() != versione) {
        sqlite3_backup_finish(b);  // rolls back: nothing of the archive changed
        return Sostituzione::Cambiato;
    }
    rc = sqlite3_backup_step(b, -1);
    const int fine = sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE || fine != SQLITE_OK) {
        errore = QString::fromUtf8(sqlite3_errmsg(tenuta.get()));
        return Sostituzione::NonRiuscita;
    }
    return Sostituzione::Fatta;
}

// The entries of an index as a whole: how many, and the sum (modulo 2^64) of a strong 64-bit hash
// of each entry (its rowid and its values as the index stores them). Two walks that hold the same
// entries, in whatever order, give the same count and sum; one entry missing, added or holding
// another value gives another sum but with a chance of 2^-64.
struct SommaVoci {
    qint64 voci = 0;
    quint64 somma = 0;
};

// The mixer of MurmurHash3's finaliser: every bit of the input reaches every bit of the output.
inline quint64 Mescola(quint64 x)
{
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return x;
}

// The hash of one entry: the values of columns `colonne` of the statement's row, each with its
// storage class (an integer 1 and a text "1" differ), the texts and blobs byte by byte.
quint64 HashVoce(sqlite3_stmt* st, const QVector<int>& colonne)
{
    quint64 h = 0x9e3779b97f4a7c15ULL;
    for (int j = 0; j < colonne.size(); ++j) {
        const int c = colonne[j];
        const int tipo = sqlite3_column_type(st, c);
        h = Mescola(h ^ (quint64(tipo) << 56) ^ quint64(j));
        switch (tipo) {
        case SQLITE_INTEGER: h = Mescola(h + quint64(sqlite3_column_int64(st, c))); break;
        case SQLITE_FLOAT: {
            const double d = sqlite3_column_double(st, c);
            quint64 b = 0;
            std::memcpy(&b, &d, sizeof b);
            h = Mescola(h + b);
            break;
        }
        case SQLITE_NULL: break;
        default: {
            const auto* p = static_cast<const unsigned char*>(tipo == SQLITE_TEXT
                                                                  ? static_cast<const void*>(sqlite3_column_text(st, c))
                                                                  : sqlite3_column_blob(st, c));
            const int n = sqlite3_column_bytes(st, c);
            h = Mescola(h + quint64(n));
            int i = 0;
            for (; i + 8 <= n; i += 8) {
                quint64 w = 0;
                std::memcpy(&w, p + i, 8);
                h = Mescola(h + w);
            }
            if (i < n) {
                quint64 w = 0;
                std::memcpy(&w, p + i, size_t(n - i));
                h = Mescola(h + w + 1);
            }
        }
        }
    }
    return h;
}

// Two values the same for a unique index under its collation (BINARY, NOCASE, RTRIM; any other
// collation compared byte by byte). A NULL is never the same as anything.
bool StessaChiave(sqlite3_stmt* a, int c, const QString& collazione, const QByteArray& prima)
{
    const int t = sqlite3_column_type(a, c);
    if (t == SQLITE_NULL || prima.isNull())
        return false;
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT)
        return prima.size() == 8 + 1 && prima[0] == char(t) && [&] {
            const double x = sqlite3_column_double(a, c);
            double y = 0;
            std::memcpy(&y, prima.constData() + 1, 8);
            return x == y;
        }();
    const auto* p = reinterpret_cast<const char*>(t == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(a, c))
                                                                   : sqlite3_column_blob(a, c));
    QByteArray ora(p ? p : "", sqlite3_column_bytes(a, c));
    QByteArray prec = prima.mid(1);
    if (prima[0] != char(t))
        return false;
    if (t == SQLITE_TEXT && collazione.compare(QLatin1String("RTRIM"), Qt::CaseInsensitive) == 0) {
        while (ora.endsWith(' '))
            ora.chop(1);
        while (prec.endsWith(' '))
            prec.chop(1);
    }
    if (t == SQLITE_TEXT && collazione.compare(QLatin1String("NOCASE"), Qt::CaseInsensitive) == 0)
        return ora.size() == prec.size() && qstrnicmp(ora.constData(), prec.constData(), ora.size()) == 0;
    return ora == prec;
}

// A value kept for the comparison with the next entry of a unique index: its storage class, then
// its bytes (a number as a double).
QByteArray ChiaveTenuta(sqlite3_stmt* st, int c)
{
    const int t = sqlite3_column_type(st, c);
    if (t == SQLITE_NULL)
        return QByteArray();
    QByteArray k(1, char(t));
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
        const double d = sqlite3_column_double(st, c);
        k.append(reinterpret_cast<const char*>(&d), 8);
    } else {
        const auto* p = reinterpret_cast<const char*>(
            t == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(st, c)) : sqlite3_column_blob(st, c));
        k.append(p ? p : "", sqlite3_column_bytes(st, c));
    }
    return k;
}

// An index of the walk's table as the sequential comparison reads it.
struct IndiceLetto {
    QString nome;
    bool unico;
    QVector<int> inTabella;  // the index's fields among the table walk's fields (0: the rowid)
    QStringList campi;  // quoted, in the index's order
    QStringList collazioni;
    SommaVoci daTabella;
};

// The indexes of `tabella` with their key fields, and in `colonneTabella` the fields the table's
// walk reads (the rowid first, then each field an index holds, once). Nullopt for what the
// sequential comparison does not handle: an index on an expression or a partial one.
std::optional<QVector<IndiceLetto>> LeggiIndici(ArchivioDiretto& a, const QString& tabella, const QString& rowid,
                                                QStringList& colonneTabella)
{
    const auto indici =
        a.righe(QStringLiteral("SELECT name, \"unique\", partial FROM pragma_index_list(?1) ORDER BY name"), {tabella});
    if (!indici)
        return std::nullopt;
    colonneTabella = QStringList{rowid};
    QVector<IndiceLetto> elenco;
    for (const QVariantList& i : *indici) {
        if (i.value(2).toInt() != 0)
            return std::nullopt;
        IndiceLetto x{i.value(0).toString(), i.value(1).toInt() != 0, {}, {}, {}, {}};
        const auto chiave =
            a.righe(QStringLiteral("SELECT cid, name, coll FROM pragma_index_xinfo(?1) WHERE key = 1 ORDER BY seqno"),
                    {x.nome});
        if (!chiave || chiave->isEmpty())
            return std::nullopt;
        for (const QVariantList& c : *chiave) {
            if (c.value(0).toInt() == -2)
                return std::nullopt;
            const QString campo = c.value(0).toInt() == -1 ? rowid : NomeSqlite(c.value(1).toString());
            if (!colonneTabella.contains(campo))
                colonneTabella << campo;
            x.inTabella << int(colonneTabella.indexOf(campo));
            x.campi << campo;
            x.collazioni << c.value(2).toString();
        }
        x.inTabella << 0;
        elenco << x;
    }
    return elenco;
}

// One index walked in the index itself (st) against what the table's records gave it: its count
// and sum of entries, and for a unique index no two neighbouring entries with one key. What does
// not match goes into `problemi`.
void ConfrontaIndice(sqlite3* db, const QString& tabella, const IndiceLetto& x, const Stmt& st, QStringList& problemi)
{
    QVector<int> colonne;
    for (int c = 0; c <= x.campi.size(); ++c)
        colonne << c;
    SommaVoci dallIndice;
    QVector<QByteArray> prima(x.campi.size());
    qint64 doppie = 0, rigaDoppia = 0;
    int rc;
    while ((rc = sqlite3_step(st.st)) == SQLITE_ROW) {
        ++dallIndice.voci;
        dallIndice.somma += HashVoce(st.st, colonne);
        if (x.unico) {
            bool uguale = true;
            for (int c = 0; c < x.campi.size(); ++c) {
                uguale = uguale && StessaChiave(st.st, c, x.collazioni[c], prima[c]);
                prima[c] = ChiaveTenuta(st.st, c);
            }
            if (uguale && !x.campi.isEmpty() && doppie++ == 0)
                rigaDoppia = sqlite3_column_int64(st.st, int(x.campi.size()));
        }
    }
    if (rc != SQLITE_DONE)
        problemi << QStringLiteral("Indice %1 della tabella %2 illeggibile: %3")
                        .arg(x.nome, tabella, QString::fromUtf8(sqlite3_errmsg(db)));
    else if (dallIndice.voci != x.daTabella.voci)
        problemi << QStringLiteral("Indice %1 della tabella %2: %3 voci per %4 record.")
                        .arg(x.nome, tabella)
                        .arg(dallIndice.voci)
                        .arg(x.daTabella.voci);
    else if (dallIndice.somma != x.daTabella.somma)
        problemi << QStringLiteral(
                        "Indice %1 della tabella %2: le sue voci non sono quelle dei record (valori diversi, "
                        "o record mancanti al posto di altri in più).")
                        .arg(x.nome, tabella);
    if (doppie > 0)
        problemi << QStringLiteral(
                        "Indice univoco %1 della tabella %2: %3 voci con la chiave di quella precedente (la prima "
                        "al record %4).")
                        .arg(x.nome, tabella)
                        .arg(doppie)
                        .arg(rigaDoppia);
}

// The walk's table against its indexes, each read once from end to end: SQLite's quick check of the
// table (every page of the table and of its indexes, each record's form, NOT NULL and CHECK), then,
// for every index, the count and sum of its entries walked in the index itself against those the
// table's records give, and for a unique index no two neighbouring entries with the same key. What
// SQLite's full check finds by looking each record up in each index (an index that misses rows,
// holds rows its table has not, or holds other values), found in reads that follow the file's
// order. Nullopt when the table has what this does not handle (an index on an expression, a
// partial index, a table without rowid): the caller then runs SQLite's full check.
std::optional<QStringList> ConfrontoSequenziale(ArchivioDiretto& a, const QString& tabella)
{
    sqlite3* db = a.get();
    if (a.valore(QStringLiteral("SELECT wr FROM pragma_table_list(?1)"), {tabella}).value_or(QVariant(1)).toInt() != 0)
        return std::nullopt;
    const QString rowid = [&] {
        const auto campi = a.righe(QStringLiteral("SELECT name FROM pragma_table_info(?1)"), {tabella});
        QStringList nomi;
        for (const QVariantList& r : campi.value_or(QVector<QVariantList>()))
            nomi << r.value(0).toString();
        return dbe::UnshadowedRowid(nomi);
    }();
    if (rowid.isEmpty())
        return std::nullopt;
    QStringList colonneTabella;  // the fields the indexes hold, once each, as the table's walk reads them
    auto letti = LeggiIndici(a, tabella, rowid, colonneTabella);
    if (!letti)
        return std::nullopt;
    QVector<IndiceLetto>& elenco = *letti;
    // Each index walked in the index itself (every field it needs is in it, so the table is not
    // read): a plan SQLite will not make leaves the table to its full check.
    std::vector<std::unique_ptr<Stmt>> walks;
    for (const IndiceLetto& x : elenco) {
        walks.push_back(
            std::make_unique<Stmt>(db, QStringLiteral("SELECT %1, %2 FROM %3 INDEXED BY %4 WHERE +%2 IS NOT NULL")
                                           .arg(x.campi.join(QLatin1Char(',')), rowid, NomeSqlite(tabella),
                                                NomeSqlite(x.nome))));
        if (!walks.back()->st)
            return std::nullopt;
    }
    QStringList problemi;
    if (const auto righe = a.righe(QStringLiteral("PRAGMA quick_check(%1)").arg(NomeSqlite(tabella)))) {
        for (const QVariantList& r : *righe)
            if (r.value(0).toString() != QLatin1String("ok"))
                problemi << r.value(0).toString();
    } else {
        return QStringList{QStringLiteral("%1: %2").arg(tabella, a.errore())};
    }
    if (elenco.isEmpty() || !problemi.isEmpty())
        return problemi;
    // One walk of the table for every index at once.
    {
        Stmt st(db, QStringLiteral("SELECT %1 FROM %2 NOT INDEXED")
                        .arg(colonneTabella.join(QLatin1Char(',')), NomeSqlite(tabella)));
        if (!st.st)
            return QStringList{QStringLiteral("%1: %2").arg(tabella, QString::fromUtf8(sqlite3_errmsg(db)))};
        int rc;
        while ((rc = sqlite3_step(st.st)) == SQLITE_ROW)
            for (IndiceLetto& x : elenco) {
                ++x.daTabella.voci;
                x.daTabella.somma += HashVoce(st.st, x.inTabella);
            }
        if (rc != SQLITE_DONE)
            return QStringList{
                QStringLiteral("Tabella %1 illeggibile: %2").arg(tabella, QString::fromUtf8(sqlite3_errmsg(db)))};
    }
    for (int n = 0; n < elenco.size(); ++n)
        ConfrontaIndice(db, tabella, elenco[n], *walks[size_t(n)], problemi);
    return problemi;
}

}  // namespace

void PulisciRecuperiInterrotti(const QString& archivio)
{
    const QString cartella = CartellaCopie(archivio);
    const QString base = QFileInfo(archivio).completeBaseName();
    static const QRegularExpression provvisorio(QStringLiteral("\\.(\\d+)\\.parziale(-journal)?$"));
    for (const QFileInfo& f :
         QDir(cartella).entryInfoList({base + QStringLiteral("-recupero-*.parziale*")}, QDir::Files)) {
        const QRegularExpressionMatch m = provvisorio.match(f.fileName());
        if (!m.hasMatch())
            continue;
        const qint64 pid = m.captured(1).toLongLong();
        if (pid == QCoreApplication::applicationPid() || (::kill(pid_t(pid), 0) != 0 && errno == ESRCH))
            QFile::remove(f.absoluteFilePath());
    }
}

bool RecuperaRecord(const Sessione& s, QStringList& righe, QString& errore)
{
    const dbe::Database& db = s.DbArchivi;
    const QString cartella = CartellaCopie(db.Name());
    const QString base = QFileInfo(db.Name()).completeBaseName();
    if (!QDir().mkpath(cartella)) {
        errore = QStringLiteral("impossibile creare la cartella %1.").arg(QDir::toNativeSeparators(cartella));
        return false;
    }
    PulisciRecuperiInterrotti(db.Name());
    const QString nome =
        base + QStringLiteral("-recupero-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString nuovo = QDir(cartella).filePath(nome + QStringLiteral(".mdb"));
    for (int i = 2; QFileInfo::exists(nuovo); ++i)
        nuovo = QDir(cartella).filePath(QStringLiteral("%1-%2.mdb").arg(nome).arg(i));
    // Written under a provisional name of this process, renamed once the archive has its content.
    const QString parziale = nuovo + QStringLiteral(".%1.parziale").arg(QCoreApplication::applicationPid());
    const auto togliParziale = [&] {
        QFile::remove(parziale);
        QFile::remove(parziale + QStringLiteral("-journal"));
    };

    ArchivioDiretto tenuta(db.Name(), true, 200);
    ArchivioDiretto osserva(db.Name(), false, 3000);
    if (!tenuta.ok() || !osserva.ok()) {
        errore = tenuta.ok() ? osserva.errore() : tenuta.errore();
        return false;
    }
    QStringList note, scartati;
    QMap<QString, qint64> conteggi;
    bool fatto = false;
    // Other programs are held off while the records are read and checked; a program that slips a
    // commit in between that and the replacement makes the whole round start again.
    for (int giro = 0; giro < 3 && !fatto; ++giro) {
        if (!PrendiScrittura(s, tenuta, errore))
            return false;
        const qint64 versione = osserva.valore(QStringLiteral("PRAGMA data_version")).value_or(-1).toLongLong();
        togliParziale();
        note.clear();
        scartati.clear();
        conteggi.clear();
        bool letto = true;
        try {
            dbe::SalvageInto(db, parziale, note);
            ArchivioDiretto fresco(parziale, true);
            letto = fresco.ok() && ScartaRecordGuasti(osserva, fresco, scartati, conteggi, errore);
            if (!fresco.ok())
                errore = fresco.errore();
        } catch (const dbe::DbError& e) {
            // Every engine error: the partial copy is dropped below and the archive stays as it
            // was, whatever stopped the reading; the operator reads the engine's description.
            errore = e.description();
            letto = false;
        }
        tenuta.esegui(QStringLiteral("COMMIT"));
        if (!letto) {
            togliParziale();
            return false;
        }
        switch (Sostituisci(tenuta, osserva, versione, parziale, errore)) {
        case Sostituzione::Fatta: fatto = true; break;
        case Sostituzione::Cambiato: break;
        case Sostituzione::NonRiuscita: togliParziale(); return false;
        }
    }
    if (!fatto) {
        togliParziale();
        errore = QStringLiteral("un altro programma ha scritto nell'archivio a ogni tentativo; nulla è cambiato.");
        return false;
    }
    if (!QFile::rename(parziale, nuovo))
        nuovo = parziale;
    righe << QStringLiteral("Record leggibili copiati in un archivio nuovo (%1), che ha preso il posto dell'archivio.")
                 .arg(QDir::toNativeSeparators(nuovo));
    // The counts are those of the tables as they now are.
    for (QString& n : note)
        for (auto it = conteggi.cbegin(); it != conteggi.cend(); ++it)
            if (n.startsWith(it.key() + QStringLiteral(": recuperati ")))
                n = QStringLiteral("%1: recuperati %2 record; quelli in parti illeggibili del file sono persi.")
                        .arg(it.key())
                        .arg(it.value());
    righe << note << scartati;
    return true;
}

QStringList ProblemiIntegrita(const dbe::Database& db, const dbe::Progress& avanzamento)
{
    try {
        return dbe::IntegrityProblems(db, avanzamento);
    } catch (const dbe::DbError& e) {
        // Every engine error: an archive the check cannot even read is itself a problem found, so it
        // is reported among the others rather than stopping the caller.
        return {e.description()};
    }
}

QStringList ProblemiIntegritaTabelle(const QString& archivio, const QStringList& tabelle,
                                     const dbe::Progress& avanzamento,
                                     const std::function<void(bool soloFile)>& durante)
{
    ArchivioDiretto a(archivio, false, 3000);
    const std::optional<QStringList> presenti = a.ok() ? a.tabelle() : std::nullopt;
    if (!presenti) {
        if (durante)
            durante(false);
        return {QStringLiteral("Impossibile leggere l'archivio: %1").arg(a.errore())};
    }
    QStringList problemi;
    qint64 fatte = 0;
    if (avanzamento)
        avanzamento(0, tabelle.size());
    // The pages read through a memory map of the file rather than copied in by a read call each:
    // the check reads every page of the table and of its indexes once, and on a big archive the
    // copies cost about as much processor time as the check itself. The map is this connection's
    // only, which reads and never writes; pages not yet committed to the file still come from the
    // write-ahead log, as without it.
    a.esegui(QStringLiteral("PRAGMA mmap_size=2147418112"));
    // One read transaction: every table as of one state of the file. Begun on an empty log, it
    // reads the file alone, and while it lasts no checkpoint writes the file.
    a.esegui(QStringLiteral("BEGIN; SELECT count(*) FROM sqlite_master"));
    std::thread accanto;
    if (durante) {
        struct stat log {};
        const bool soloFile = ::stat(QFile::encodeName(archivio + QStringLiteral("-wal")).constData(), &log) != 0
                                  ? errno == ENOENT
                                  : log.st_size == 0;
        accanto = std::thread([&durante, soloFile] { durante(soloFile); });
    }
    for (const QString& t : tabelle) {
        QString nome;
        for (const QString& p : *presenti)
            if (p.compare(t, Qt::CaseInsensitive) == 0)
                nome = p;
        if (nome.isEmpty()) {
            problemi << QStringLiteral("Tabella %1 non trovata nell'archivio.").arg(t);
        } else if (const std::optional<QStringList> trovati = ConfrontoSequenziale(a, nome);
                   !trovati || !trovati->isEmpty()) {
            // SQLite's full check: on a table the walks above do not handle, and on a damaged one,
            // whose damage is then told in SQLite's own words (each record missing from each index).
            QStringList sue;
            if (const auto righe = a.righe(QStringLiteral("PRAGMA integrity_check(%1)").arg(NomeSqlite(nome)))) {
                for (const QVariantList& r : *righe)
                    if (r.value(0).toString() != QLatin1String("ok"))
                        sue << r.value(0).toString();
            } else {
                sue << QStringLiteral("%1: %2").arg(nome, a.errore());
            }
            // What SQLite does not see (a value equal to the record's under the index's collation
            // only) is said in ours.
            problemi << (sue.isEmpty() && trovati ? *trovati : sue);
        }
        if (avanzamento)
            avanzamento(++fatte, tabelle.size());
    }
    if (accanto.joinable())
        accanto.join();
    a.esegui(QStringLiteral("COMMIT"));
    return problemi;
}

QByteArray ImprontaArchivio(const QString& archivio)
{
    QByteArray impronta;
    for (const QString& f : {archivio, archivio + QStringLiteral("-wal")}) {
        struct stat st {};
        if (::stat(QFile::encodeName(f).constData(), &st) != 0) {
            if (f == archivio)
                return QByteArray();
            impronta += "-";
            continue;
        }
        impronta += QByteArray::number(quint64(st.st_dev)) + ':' + QByteArray::number(quint64(st.st_ino)) + ':'
                    + QByteArray::number(qint64(st.st_size)) + ':' + QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.'
                    + QByteArray::number(qint64(st.st_mtim.tv_nsec)) + ';';
        // Never opened here: closing a descriptor of a file SQLite holds would drop the process's
        // locks on it.
    }
    return impronta;
}

QStringList IndiciIncompleti(const QString& archivio)
{
    ArchivioDiretto a(archivio, false, 3000);
    const std::optional<QStringList> tabelle = a.ok() ? a.tabelle() : std::nullopt;
    if (!tabelle)
        return {QStringLiteral("Impossibile leggere l'archivio: %1").arg(a.errore())};
    QStringList problemi;
    // One read transaction: the counts are of one state of the file whatever others commit.
    a.esegui(QStringLiteral("BEGIN"));
    for (const QString& t : *tabelle) {
        const auto indici =
            a.righe(QStringLiteral("SELECT name FROM pragma_index_list(?1) WHERE partial = 0 ORDER BY name"), {t});
        if (!indici || indici->isEmpty())
            continue;
        // A table without rowid is its own index: nothing to compare.
        if (a.valore(QStringLiteral("SELECT wr FROM pragma_table_list(?1)"), {t}).value_or(QVariant(0)).toInt() != 0)
            continue;
        const auto record = a.valore(QStringLiteral("SELECT count(*) FROM %1 NOT INDEXED").arg(NomeSqlite(t)));
        if (!record) {
            problemi << QStringLiteral("Tabella %1 illeggibile: %2").arg(t, a.errore());
            continue;
        }
        for (const QVariantList& i : *indici) {
            const QString indice = i.value(0).toString();
            // Each entry of this index, walked in the index itself (a plain count would take the
            // smallest index instead).
            const auto voci = a.valore(QStringLiteral("SELECT count(*) FROM %1 INDEXED BY %2 WHERE +rowid IS NOT NULL")
                                           .arg(NomeSqlite(t), NomeSqlite(indice)));
            if (!voci)
                problemi << QStringLiteral("Indice %1 della tabella %2 illeggibile: %3").arg(indice, t, a.errore());
            else if (voci->toLongLong() != record->toLongLong())
                problemi << QStringLiteral("Indice %1 della tabella %2: %3 voci per %4 record.")
                                .arg(indice, t)
                                .arg(voci->toLongLong())
                                .arg(record->toLongLong());
        }
    }
    a.esegui(QStringLiteral("COMMIT"));
    return problemi;
}

QString ElencoProblemi(const QStringList& problemi, int quanti)
{
    QStringList righe = problemi.mid(0, quanti);
    if (problemi.size() > quanti)
        righe << QStringLiteral("... e altri %1 problemi.").arg(problemi.size() - quanti);
    return righe.join(QLatin1Char('\r'));
}

EsitoRiparazione RiparaArchivio(const Sessione& s, Registro& reg, const dbe::Progress& avanzamento)
{
    const dbe::Database& db = s.DbArchivi;
    EsitoRiparazione e;
    QStringList righe;
    if (!Sicurezza(s).senzaCopia) {
        QString errore;
        e.copia = ScriviCopiaSicurezza(s, reg, CopieDaConservare(s), errore);
        if (e.copia.isEmpty()) {
            e.rapporto = errore + QStringLiteral("\rL'archivio non è stato riparato.");
            return e;
        }
        righe << QStringLiteral("Copia di sicurezza dell'archivio danneggiato: %1")
                     .arg(QDir::toNativeSeparators(e.copia));
    }
    VoceRegistro v;
    v.tipo = tipo_modifica::Riparazione;
    v.descrizione = QStringLiteral("Riparazione dell'archivio");
    v.copia = e.copia;
    const qint64 id = reg.Inizia(v);
    const ScritturaConsentita scrittura(s);
    QStringList problemi;
    try {
        dbe::RebuildIndexes(db);
        righe << QStringLiteral("Indici ricostruiti.");
        problemi = ProblemiIntegrita(db, avanzamento);
    } catch (const dbe::DbError& err) {
        // Every engine error: whatever stopped the rebuild, the records are then recovered into a
        // fresh archive below, which is the repair's next step either way.
        righe << QStringLiteral("Ricostruzione degli indici non riuscita: %1").arg(err.description());
        problemi = {err.description()};
    }
    if (!problemi.isEmpty()) {
        QString errore;
        if (RecuperaRecord(s, righe, errore))
            problemi = ProblemiIntegrita(db, avanzamento);
        else
            righe << QStringLiteral("Recupero dei record non riuscito: %1").arg(errore);
    }
    e.riuscita = problemi.isEmpty();
    righe << (e.riuscita ? QStringLiteral("Verifica dell'archivio superata.")
                         : QStringLiteral("L'archivio resta danneggiato:\r") + ElencoProblemi(problemi));
    e.rapporto = righe.join(QLatin1Char('\r'));
    if (id)
        reg.Concludi(id, e.riuscita ? stato_modifica::Fatta : stato_modifica::NonRiuscita,
                     e.riuscita ? QStringLiteral("riparato") : QStringLiteral("ancora danneggiato"), e.rapporto);
    return e;
}

}  // namespace corvale
